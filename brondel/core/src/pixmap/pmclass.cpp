// The memory class's object operations, its match, and its operation table.
#include <stddef.h>

#include "pmint.h"

namespace {

br_pixelmap *pm_of(br_object *self)
{
    return (br_pixelmap *)self;
}

void mem_free(br_object *self)
{
    BrResFree(self);
}

const char *mem_identifier(br_object *self)
{
    return pm_of(self)->identifier;
}

br_token mem_type(br_object *self)
{
    return BRT_DEVICE_PIXELMAP;
}

br_boolean mem_isType(br_object *self, br_token t)
{
    return t == BRT_DEVICE_PIXELMAP || t == BRT_OBJECT;
}

struct br_device *mem_device(br_object *self)
{
    return nullptr; // a memory map belongs to no device
}

br_int_32 mem_space(br_object *self)
{
    return (br_int_32)BrResSizeTotal(self);
}

br_tv_template_entry query_entries[] = {
    {BRT_IDENTIFIER_CSTR, nullptr, offsetof(br_pixelmap, identifier), BRTV_QUERY | BRTV_ALL, BRTV_CONV_COPY, 0, 0},
    {BRT_WIDTH_I32, nullptr, offsetof(br_pixelmap, width), BRTV_QUERY | BRTV_ALL, BRTV_CONV_I32_U16, 0, 0},
    {BRT_HEIGHT_I32, nullptr, offsetof(br_pixelmap, height), BRTV_QUERY | BRTV_ALL, BRTV_CONV_I32_U16, 0, 0},
    {BRT_PIXEL_TYPE_U8, nullptr, offsetof(br_pixelmap, type), BRTV_QUERY | BRTV_ALL, BRTV_CONV_I32_U8, 0, 0},
};

br_tv_template *mem_templateQuery(br_object *self)
{
    if (PmState.device_pixelmap_template == nullptr)
        PmState.device_pixelmap_template =
            BrTVTemplateAllocate(PmState.res, query_entries, sizeof(query_entries) / sizeof(query_entries[0]));
    return PmState.device_pixelmap_template;
}

br_error mem_copy(br_pixelmap *self, br_pixelmap *src)
{
    return _M_br_device_pixelmap_mem_copyTo(self, src);
}

br_error mem_rectangleCopy(br_pixelmap *self, br_point *p, br_pixelmap *src, br_rectangle *r)
{
    return _M_br_device_pixelmap_mem_rectangleCopyTo(self, p, src, r);
}

br_error mem_rectangleStretchCopy(br_pixelmap *self, br_rectangle *d, br_pixelmap *src, br_rectangle *s)
{
    return _M_br_device_pixelmap_mem_rectangleStretchCopyTo(self, d, src, s);
}

// What a match list asks for.
struct match_args {
    br_token use;
    br_uint_8 type;
    br_int_32 bits;
    void *renderer; // not used by memory maps
    br_int_32 width, height;
};

br_tv_template_entry match_entries[] = {
    {BRT_USE_T, nullptr, offsetof(match_args, use), BRTV_SET, BRTV_CONV_COPY, 0, 0},
    {BRT_PIXEL_TYPE_U8, nullptr, offsetof(match_args, type), BRTV_SET, BRTV_CONV_I32_U8, 0, 0},
    {BRT_PIXEL_BITS_I32, nullptr, offsetof(match_args, bits), BRTV_SET, BRTV_CONV_COPY, 0, 0},
    {BRT_RENDERER_O, nullptr, offsetof(match_args, renderer), BRTV_SET, BRTV_CONV_COPY, 0, 0},
    {BRT_WIDTH_I32, nullptr, offsetof(match_args, width), BRTV_SET, BRTV_CONV_COPY, 0, 0},
    {BRT_HEIGHT_I32, nullptr, offsetof(match_args, height), BRTV_SET, BRTV_CONV_COPY, 0, 0},
};

// A depth map whose rows line up with self's rows.
br_pixelmap *match_depth(br_pixelmap *self, const match_args &a)
{
    br_uint_8 type;
    if (a.bits == 0 || a.bits == 16)
        type = BR_PMT_DEPTH_16;
    else if (a.bits == 32)
        type = BR_PMT_DEPTH_32;
    else
        return nullptr;
    if (a.height < 0 || a.height > 0xFFFF)
        return nullptr;

    br_pixelmap *pm = BrPixelmapAllocate(type, a.width, a.height, nullptr, PIXELMAP_ALLOCATE_NO_PIXELS);
    if (pm == nullptr)
        return nullptr;
    const int dbpp = PmTypeInfo[type].bits / 8;
    int sbpp = pm_bpp(self);
    int64_t row_pixels = a.width;
    if (sbpp > 0) {
        int64_t srb = self->row_bytes < 0 ? -(int64_t)self->row_bytes : self->row_bytes;
        int64_t self_row = (srb + sbpp - 1) / sbpp;
        if (self_row > row_pixels)
            row_pixels = self_row;
    }
    int64_t rb = row_pixels * dbpp;
    if (rb > 0x7FFF) {
        BrResFree(pm);
        return nullptr;
    }
    pm->row_bytes = (br_int_16)rb;
    pm->flags = PIXELMAP_WHOLE_PIXEL_ROWS;
    if (rb == (int64_t)a.width * dbpp)
        pm->flags |= PIXELMAP_CONTIGUOUS;
    pm->pixels = BrResAllocate(pm, (br_size_t)rb * a.height, BR_MEMORY_PIXELS);
    if (pm->pixels == nullptr) {
        BrResFree(pm);
        return nullptr;
    }
    if (self->row_bytes < 0 && a.height > 0) {
        pm->pixels = (br_uint_8 *)pm->pixels + rb * (a.height - 1);
        pm->row_bytes = (br_int_16)-rb;
    }
    return pm;
}

} // namespace

br_error _M_br_device_pixelmap_mem_match(br_pixelmap *self, br_pixelmap **newpm, br_token_value *tv)
{
    match_args a = {};
    a.type = self->type;
    a.width = self->width;
    a.height = self->height;
    if (PmState.pixelmap_match_template == nullptr)
        PmState.pixelmap_match_template =
            BrTVTemplateAllocate(PmState.res, match_entries, sizeof(match_entries) / sizeof(match_entries[0]));
    if (tv != nullptr)
        BrTokenValueSetMany(&a, nullptr, nullptr, tv, PmState.pixelmap_match_template);

    br_pixelmap *pm = nullptr;
    switch (a.use) {
    case BRT_DEPTH:
        pm = match_depth(self, a);
        break;
    case BRT_OFFSCREEN:
    case BRT_HIDDEN:
    case BRT_CLONE:
    case BRT_HIDDEN_BUFFER:
    case BRT_NO_RENDER:
        // A new map of the asked type and size; no pixels are copied, not even for a clone.
        if (a.type < BR_PMT_MAX)
            pm = BrPixelmapAllocate(a.type, a.width, a.height, nullptr,
                                    self->row_bytes < 0 ? PIXELMAP_ALLOCATE_INVERTED : 0);
        break;
    default:
        break;
    }
    if (pm == nullptr)
        return BRE_FAIL;
    pm->origin_x = self->origin_x;
    pm->origin_y = self->origin_y;
    *newpm = pm;
    return BRE_OK;
}

const br_pixelmap_dispatch BrPixelmapMemDispatch = {
    nullptr, nullptr, nullptr, nullptr,
    mem_free,
    mem_identifier,
    mem_type,
    mem_isType,
    mem_device,
    mem_space,
    mem_templateQuery,
    _M_br_object_query,
    _M_br_object_queryBuffer,
    _M_br_object_queryMany,
    _M_br_object_queryManySize,
    _M_br_object_queryAll,
    _M_br_object_queryAllSize,
    _M_br_device_pixelmap_mem_validSource,
    _M_br_device_pixelmap_mem_resize,
    _M_br_device_pixelmap_mem_match,
    _M_br_device_pixelmap_mem_allocateSub,
    mem_copy,
    _M_br_device_pixelmap_mem_copyTo,
    _M_br_device_pixelmap_mem_copyFrom,
    _M_br_device_pixelmap_mem_fill,
    _M_br_device_pixelmap_gen_doubleBuffer,
    _M_br_device_pixelmap_gen_copyDirty,
    _M_br_device_pixelmap_gen_copyToDirty,
    _M_br_device_pixelmap_gen_copyFromDirty,
    _M_br_device_pixelmap_gen_fillDirty,
    _M_br_device_pixelmap_gen_doubleBufferDirty,
    _M_br_device_pixelmap_gen_rectangle,
    _M_br_device_pixelmap_gen_rectangle2,
    mem_rectangleCopy,
    _M_br_device_pixelmap_mem_rectangleCopyTo,
    _M_br_device_pixelmap_mem_rectangleCopyFrom,
    mem_rectangleStretchCopy,
    _M_br_device_pixelmap_mem_rectangleStretchCopyTo,
    _M_br_device_pixelmap_mem_rectangleStretchCopyFrom,
    _M_br_device_pixelmap_mem_rectangleFill,
    _M_br_device_pixelmap_mem_pixelSet,
    _M_br_device_pixelmap_mem_line,
    _M_br_device_pixelmap_mem_copyBits,
    _M_br_device_pixelmap_gen_text,
    _M_br_device_pixelmap_gen_textBounds,
    _M_br_device_pixelmap_mem_rowSize,
    _M_br_device_pixelmap_mem_rowQuery,
    _M_br_device_pixelmap_mem_rowSet,
    _M_br_device_pixelmap_mem_pixelQuery,
    _M_br_device_pixelmap_mem_pixelAddressQuery,
    _M_br_device_pixelmap_mem_pixelAddressSet,
    _M_br_device_pixelmap_mem_originSet,
    _M_br_device_pixelmap_mem_flush,
    _M_br_device_pixelmap_mem_synchronise,
    _M_br_device_pixelmap_mem_directLock,
    _M_br_device_pixelmap_mem_directUnlock,
};
