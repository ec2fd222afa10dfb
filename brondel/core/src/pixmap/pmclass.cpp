// The memory class's object operations, its match, and its operation table.
#include "pmint.h"

namespace {

void mem_free(br_pixelmap *self)
{
    BrResFree(self);
}

const char *mem_identifier(br_pixelmap *self)
{
    return self->identifier;
}

br_token mem_type(br_pixelmap *self)
{
    return PMT_DEVICE_PIXELMAP;
}

br_boolean mem_isType(br_pixelmap *self, br_token t)
{
    return t == PMT_DEVICE_PIXELMAP || t == PMT_OBJECT;
}

void *mem_device(br_pixelmap *self)
{
    return nullptr; // a memory map belongs to no device
}

br_size_t mem_space(br_pixelmap *self)
{
    return BrResSizeTotal(self);
}

struct br_tv_template *mem_templateQuery(br_pixelmap *self)
{
    return nullptr;
}

br_error mem_query(br_pixelmap *self, void *pvalue, br_token t)
{
    return BRE_UNKNOWN_TOKEN;
}

br_error mem_queryBuffer(br_pixelmap *self, void *pvalue, void *buffer, br_size_t buffer_size, br_token t)
{
    return BRE_UNKNOWN_TOKEN;
}

br_error mem_queryMany(br_pixelmap *self, struct br_token_value *tv, void *extra, br_size_t extra_size,
                       br_int_32 *pcount)
{
    return BRE_UNKNOWN_TOKEN;
}

br_error mem_queryManySize(br_pixelmap *self, br_size_t *pextra_size, struct br_token_value *tv)
{
    return BRE_UNKNOWN_TOKEN;
}

br_error mem_queryAll(br_pixelmap *self, struct br_token_value *buffer, br_size_t buffer_size)
{
    return BRE_UNKNOWN_TOKEN;
}

br_error mem_queryAllSize(br_pixelmap *self, br_size_t *psize)
{
    return BRE_UNKNOWN_TOKEN;
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
    br_token use = 0;
    br_int_32 type;
    br_int_32 bits = 0;
    br_int_32 width, height;
};

void read_match_list(match_args *a, const pm_token_value *tv)
{
    for (; tv != nullptr && tv->t != 0; tv++) {
        switch (tv->t) {
        case PMT_USE_T: a->use = (br_token)tv->v; break;
        case PMT_PIXEL_TYPE_U8: a->type = (br_uint_8)tv->v; break;
        case PMT_PIXEL_BITS_I32: a->bits = (br_int_32)tv->v; break;
        case PMT_WIDTH_I32: a->width = (br_int_32)tv->v; break;
        case PMT_HEIGHT_I32: a->height = (br_int_32)tv->v; break;
        default: break; // RENDERER_O and anything else: not used by memory maps
        }
    }
}

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

br_error _M_br_device_pixelmap_mem_match(br_pixelmap *self, br_pixelmap **newpm, struct br_token_value *tv)
{
    match_args a;
    a.type = self->type;
    a.width = self->width;
    a.height = self->height;
    read_match_list(&a, (const pm_token_value *)tv);

    br_pixelmap *pm = nullptr;
    switch (a.use) {
    case PMT_DEPTH:
        pm = match_depth(self, a);
        break;
    case PMT_OFFSCREEN:
    case PMT_HIDDEN:
    case PMT_CLONE:
    case PMT_HIDDEN_BUFFER:
    case PMT_NO_RENDER:
        // A new map of the asked type and size; no pixels are copied, not even for a clone.
        if (a.type >= 0 && a.type < BR_PMT_MAX)
            pm = BrPixelmapAllocate((br_uint_8)a.type, a.width, a.height, nullptr,
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
    mem_query,
    mem_queryBuffer,
    mem_queryMany,
    mem_queryManySize,
    mem_queryAll,
    mem_queryAllSize,
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
