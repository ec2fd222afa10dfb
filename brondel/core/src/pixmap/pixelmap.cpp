// Pixel maps: the type table, library start and end, and the public operations, each of which
// reaches the map's class through its operation table.
#include <string.h>

#include "pmint.h"
#include "fwstate.h"
#include "images.h"
#include "brondel/brdevice.h"

const pm_type_info PmTypeInfo[BR_PMT_MAX] = {
    {1, 1, 32, BR_PM_CHANNEL_INDEX},                      // INDEX_1
    {2, 1, 16, BR_PM_CHANNEL_INDEX},                      // INDEX_2
    {4, 1, 8, BR_PM_CHANNEL_INDEX},                       // INDEX_4
    {8, 1, 4, BR_PM_CHANNEL_INDEX},                       // INDEX_8
    {16, 2, 2, BR_PM_CHANNEL_COLOUR},                     // RGB_555
    {16, 2, 2, BR_PM_CHANNEL_COLOUR},                     // RGB_565
    {24, 3, 4, BR_PM_CHANNEL_COLOUR},                     // RGB_888
    {32, 4, 1, BR_PM_CHANNEL_COLOUR},                     // RGBX_888
    {32, 4, 1, BR_PM_CHANNEL_COLOUR | BR_PM_CHANNEL_ALPHA}, // RGBA_8888
    {16, 1, 2, BR_PM_CHANNEL_YUV},                        // YUYV_8888
    {32, 1, 1, BR_PM_CHANNEL_YUV},                        // YUV_888
    {16, 2, 4, BR_PM_CHANNEL_DEPTH},                      // DEPTH_16
    {32, 4, 4, BR_PM_CHANNEL_DEPTH},                      // DEPTH_32
    {8, 1, 4, BR_PM_CHANNEL_ALPHA},                       // ALPHA_8
    {16, 2, 2, BR_PM_CHANNEL_INDEX | BR_PM_CHANNEL_ALPHA}, // INDEXA_88
};

pm_state PmState;

namespace {

br_resource_class pixelmap_classes[] = {
    {0, "PIXELMAP", BR_MEMORY_PIXELMAP, nullptr, 0},
    {0, "PIXELS", BR_MEMORY_PIXELS, nullptr, 32},
};

// A record built by hand with no table is a memory pixel map.
inline br_pixelmap *ensure(br_pixelmap *pm)
{
    if (pm->dispatch == nullptr)
        pm->dispatch = &BrPixelmapMemDispatch;
    return pm;
}

enum choice { OWN, TO, NONE, FROM };

choice copy_choice(br_pixelmap *dst, br_pixelmap *src)
{
    ensure(dst);
    ensure(src);
    if (ObjectDevice(dst) == ObjectDevice(src))
        return OWN;
    if (!(src->flags & PIXELMAP_NO_ACCESS))
        return TO;
    if (dst->flags & PIXELMAP_NO_ACCESS)
        return NONE;
    return FROM;
}

br_error rect_copy_choice(br_pixelmap *dst, br_point *p, br_pixelmap *src, br_rectangle *r)
{
    switch (copy_choice(dst, src)) {
    case OWN: return dst->dispatch->rectangleCopy(dst, p, src, r);
    case TO: return dst->dispatch->rectangleCopyTo(dst, p, src, r);
    case FROM: return src->dispatch->rectangleCopyFrom(src, p, dst, r);
    default: return BRE_UNSUPPORTED;
    }
}

br_error dirty_copy_choice(br_pixelmap *dst, br_pixelmap *src, br_rectangle *r, br_int_32 n)
{
    switch (copy_choice(dst, src)) {
    case OWN: return dst->dispatch->copyDirty(dst, src, r, n);
    case TO: return dst->dispatch->copyToDirty(dst, src, r, n);
    case FROM: return src->dispatch->copyFromDirty(src, dst, r, n);
    default: return BRE_UNSUPPORTED;
    }
}

br_rectangle whole_area(const br_pixelmap *pm)
{
    return {-pm->origin_x, -pm->origin_y, pm->width, pm->height};
}

} // namespace

br_error pm_copy_choice(br_pixelmap *dst, br_pixelmap *src)
{
    switch (copy_choice(dst, src)) {
    case OWN: return dst->dispatch->copy(dst, src);
    case TO: return dst->dispatch->copyTo(dst, src);
    case FROM: return src->dispatch->copyFrom(src, dst);
    default: return BRE_UNSUPPORTED;
    }
}

br_error pm_stretch_choice(br_pixelmap *dst, br_rectangle *d, br_pixelmap *src, br_rectangle *s)
{
    switch (copy_choice(dst, src)) {
    case OWN: return dst->dispatch->rectangleStretchCopy(dst, d, src, s);
    case TO: return dst->dispatch->rectangleStretchCopyTo(dst, d, src, s);
    case FROM: return src->dispatch->rectangleStretchCopyFrom(src, d, dst, s);
    default: return BRE_UNSUPPORTED;
    }
}

br_uint_16 pm_text_width(const br_font *font, const char *text)
{
    if (text == nullptr)
        return font->glyph_x;
    if (*text == 0)
        return 0;
    br_int_32 w = 0;
    if (!(font->flags & BR_FONTF_PROPORTIONAL)) {
        w = (br_int_32)(font->glyph_x + 1) * (br_int_32)strlen(text) - 1;
    } else {
        for (const unsigned char *c = (const unsigned char *)text; *c != 0; c++)
            w += pm_glyph_width(font, *c) + 1;
        w -= 1;
    }
    return (br_uint_16)w;
}

br_error BrPixelmapBegin(void)
{
    memset(&PmState, 0, sizeof(PmState));
    PmState.res = BrResAllocate(nullptr, 0, BR_MEMORY_ANCHOR);
    for (auto &rc : pixelmap_classes)
        BrResClassAdd(&rc);
    return BRE_OK;
}

void BrPixelmapEnd(void)
{
    // The pixel maps go with the library: a last-begun screen among them must not be read after.
    BrDevLastBeginSet(nullptr);
    if (PmState.res != nullptr)
        BrResFree(PmState.res);
    memset(&PmState, 0, sizeof(PmState));
}

// The framework's begin also offers "BRPMAP1" to drivers; its end takes it back.
br_error BrFwPixelmapBegin(void)
{
    br_error r = BrPixelmapBegin();
    if (r == BRE_OK)
        BrFwPmapImageAdd();
    return r;
}

void BrFwPixelmapEnd(void)
{
    BrFwPmapImageRemove();
    BrPixelmapEnd();
}

br_pixelmap *BrPixelmapAllocate(br_uint_8 type, br_int_32 w, br_int_32 h, void *pixels, int flags)
{
    br_int_16 rb;
    br_uint_8 pmflags;
    // The record keeps sizes in 16 bits: refuse what would not fit rather than wrap.
    if (h < 0 || h > 0xFFFF || !pm_row_layout(type, w, &rb, &pmflags))
        return nullptr;
    br_pixelmap *pm = (br_pixelmap *)BrResAllocate(PmState.res, sizeof(br_pixelmap), BR_MEMORY_PIXELMAP);
    if (pm == nullptr)
        return nullptr;
    memset(pm, 0, sizeof(*pm));
    pm->dispatch = &BrPixelmapMemDispatch;
    pm->type = type;
    pm->width = (br_uint_16)w;
    pm->height = (br_uint_16)h;
    pm->row_bytes = rb;
    pm->flags = pmflags;
    if (!(flags & PIXELMAP_ALLOCATE_NO_PIXELS)) {
        if (pixels == nullptr) {
            pixels = BrResAllocate(pm, (br_size_t)h * rb, BR_MEMORY_PIXELS);
            if (pixels == nullptr) {
                BrResFree(pm);
                return nullptr;
            }
        }
        pm->pixels = pixels;
    }
    pm->pixels_qualifier = 0; // flat memory: no segment
    if ((flags & PIXELMAP_ALLOCATE_INVERTED) && h > 0) {
        if (pm->pixels != nullptr)
            pm->pixels = (br_uint_8 *)pm->pixels + (intptr_t)rb * (h - 1);
        pm->row_bytes = (br_int_16)-rb;
    }
    return pm;
}

br_pixelmap *BrPixelmapAllocateSub(br_pixelmap *pm, br_int_32 x, br_int_32 y, br_int_32 w, br_int_32 h)
{
    br_rectangle r = {x, y, w, h};
    br_pixelmap *sub = nullptr;
    if (ensure(pm)->dispatch->allocateSub(pm, &sub, &r) != BRE_OK)
        return nullptr;
    return sub;
}

namespace {
br_pixelmap_free_cbfn *pixelmap_free_hook = nullptr;
}

br_pixelmap_free_cbfn *BrPixelmapFreeHook(br_pixelmap_free_cbfn *hook)
{
    br_pixelmap_free_cbfn *old = pixelmap_free_hook;
    pixelmap_free_hook = hook;
    return old;
}

void BrPixelmapFree(br_pixelmap *pm)
{
    if (pm != nullptr && pixelmap_free_hook != nullptr)
        pixelmap_free_hook(pm);
    // The old device calls keep the last screen they began; it must not outlive the map.
    if (pm != nullptr && pm == BrDevLastBeginQuery())
        BrDevLastBeginSet(nullptr);
    ObjectFree(ensure(pm));
}

br_pixelmap *BrPixelmapResize(br_pixelmap *pm, br_int_32 width, br_int_32 height)
{
    return ensure(pm)->dispatch->resize(pm, width, height) == BRE_OK ? pm : nullptr;
}

namespace {

br_pixelmap *match(br_pixelmap *pm, br_uint_8 use, const br_uint_8 *type, const br_int_32 *width,
                   const br_int_32 *height)
{
    static const struct {
        br_token use;
        br_int_32 bits; // 0: no pixel-bits pair
    } uses[] = {
        {BRT_OFFSCREEN, 0}, {BRT_DEPTH, 16}, {BRT_DEPTH, 0}, {BRT_HIDDEN, 0}, {BRT_HIDDEN_BUFFER, 0}, {BRT_NO_RENDER, 0},
    };
    br_token_value tv[6] = {};
    int n = 0;
    tv[n].t = BRT_USE_T;
    tv[n++].v.t = use < 6 ? uses[use].use : 0;
    if (use < 6 && uses[use].bits != 0) {
        tv[n].t = BRT_PIXEL_BITS_I32;
        tv[n++].v.i32 = uses[use].bits;
    }
    if (type != nullptr) {
        tv[n].t = BRT_PIXEL_TYPE_U8;
        tv[n++].v.u32 = *type;
    }
    if (width != nullptr) {
        tv[n].t = BRT_WIDTH_I32;
        tv[n++].v.i32 = *width;
    }
    if (height != nullptr) {
        tv[n].t = BRT_HEIGHT_I32;
        tv[n++].v.i32 = *height;
    }

    br_pixelmap *newpm = nullptr;
    if (ensure(pm)->dispatch->match(pm, &newpm, tv) != BRE_OK || newpm == nullptr)
        return nullptr;
    if ((type != nullptr && newpm->type != *type) || (width != nullptr && newpm->width != *width) ||
        (height != nullptr && newpm->height != *height)) {
        BrPixelmapFree(newpm);
        return nullptr;
    }
    return newpm;
}

} // namespace

br_pixelmap *BrPixelmapMatch(br_pixelmap *pm, br_uint_8 match_type)
{
    return match(pm, match_type, nullptr, nullptr, nullptr);
}

br_pixelmap *BrPixelmapMatchSized(br_pixelmap *pm, br_uint_8 match_type, br_int_32 width, br_int_32 height)
{
    return match(pm, match_type, nullptr, &width, &height);
}

br_pixelmap *BrPixelmapMatchTyped(br_pixelmap *pm, br_uint_8 match_type, br_uint_8 pixel_type)
{
    return match(pm, match_type, &pixel_type, nullptr, nullptr);
}

br_pixelmap *BrPixelmapMatchTypedSized(br_pixelmap *pm, br_uint_8 match_type, br_uint_8 pixel_type, br_int_32 width,
                                       br_int_32 height)
{
    return match(pm, match_type, &pixel_type, &width, &height);
}

br_pixelmap *BrPixelmapClone(br_pixelmap *src)
{
    br_token_value tv[2] = {};
    tv[0].t = BRT_USE_T;
    tv[0].v.t = BRT_CLONE;
    br_pixelmap *newpm = nullptr;
    if (ensure(src)->dispatch->match(src, &newpm, tv) != BRE_OK)
        return nullptr;
    return newpm;
}

br_error BrPixelmapFill(br_pixelmap *dst, br_uint_32 colour)
{
    return ensure(dst)->dispatch->fill(dst, colour);
}

br_error BrPixelmapRectangle(br_pixelmap *dst, br_int_32 x, br_int_32 y, br_int_32 w, br_int_32 h, br_uint_32 colour)
{
    br_rectangle r = {x, y, w, h};
    return ensure(dst)->dispatch->rectangle(dst, &r, colour);
}

br_error BrPixelmapRectangle2(br_pixelmap *dst, br_int_32 x, br_int_32 y, br_int_32 w, br_int_32 h,
                              br_uint_32 colour_tl, br_uint_32 colour_br)
{
    br_rectangle r = {x, y, w, h};
    return ensure(dst)->dispatch->rectangle2(dst, &r, colour_tl, colour_br);
}

br_error BrPixelmapRectangleCopy(br_pixelmap *dst, br_int_32 dx, br_int_32 dy, br_pixelmap *src, br_int_32 sx,
                                 br_int_32 sy, br_int_32 w, br_int_32 h)
{
    br_point p = {dx, dy};
    br_rectangle r = {sx, sy, w, h};
    return rect_copy_choice(dst, &p, src, &r);
}

br_error BrPixelmapRectangleStretchCopy(br_pixelmap *dst, br_int_32 dx, br_int_32 dy, br_int_32 dw, br_int_32 dh,
                                        br_pixelmap *src, br_int_32 sx, br_int_32 sy, br_int_32 sw, br_int_32 sh)
{
    br_rectangle d = {dx, dy, dw, dh}, s = {sx, sy, sw, sh};
    return pm_stretch_choice(dst, &d, src, &s);
}

br_error BrPixelmapRectangleFill(br_pixelmap *dst, br_int_32 x, br_int_32 y, br_int_32 w, br_int_32 h,
                                 br_uint_32 colour)
{
    br_rectangle r = {x, y, w, h};
    return ensure(dst)->dispatch->rectangleFill(dst, &r, colour);
}

br_error BrPixelmapDirtyRectangleCopy(br_pixelmap *dst, br_pixelmap *src, br_int_32 x, br_int_32 y, br_int_32 w,
                                      br_int_32 h)
{
    br_rectangle r = {x, y, w, h};
    return dirty_copy_choice(dst, src, &r, 1);
}

br_error BrPixelmapDirtyRectangleFill(br_pixelmap *dst, br_int_32 x, br_int_32 y, br_int_32 w, br_int_32 h,
                                      br_uint_32 colour)
{
    br_rectangle r = {x, y, w, h};
    return ensure(dst)->dispatch->fillDirty(dst, colour, &r, 1);
}

br_error BrPixelmapDirtyRectangleDoubleBuffer(br_pixelmap *dst, br_pixelmap *src, br_int_32 x, br_int_32 y,
                                              br_int_32 w, br_int_32 h)
{
    br_rectangle r = {x, y, w, h};
    ensure(src);
    return ensure(dst)->dispatch->doubleBufferDirty(dst, src, &r, 1);
}

br_error BrPixelmapPixelSet(br_pixelmap *dst, br_int_32 x, br_int_32 y, br_uint_32 colour)
{
    br_point p = {x, y};
    return ensure(dst)->dispatch->pixelSet(dst, &p, colour);
}

br_uint_32 BrPixelmapPixelGet(br_pixelmap *dst, br_int_32 x, br_int_32 y)
{
    br_point p = {x, y};
    br_uint_32 colour = 0; // what a point outside the map reads
    ensure(dst)->dispatch->pixelQuery(dst, &colour, &p);
    return colour;
}

void BrPixelmapCopy(br_pixelmap *dst, br_pixelmap *src)
{
    ensure(dst);
    ensure(src);
    if (dst->width == src->width && dst->height == src->height) {
        pm_copy_choice(dst, src);
        return;
    }
    br_rectangle s = whole_area(src), d = whole_area(dst);
    pm_stretch_choice(dst, &d, src, &s);
}

br_error BrPixelmapLine(br_pixelmap *dst, br_int_32 x1, br_int_32 y1, br_int_32 x2, br_int_32 y2, br_uint_32 colour)
{
    br_point s = {x1, y1}, e = {x2, y2};
    return ensure(dst)->dispatch->line(dst, &s, &e, colour);
}

br_error BrPixelmapDoubleBuffer(br_pixelmap *dst, br_pixelmap *src)
{
    ensure(src);
    return ensure(dst)->dispatch->doubleBuffer(dst, src);
}

br_error BrPixelmapText(br_pixelmap *dst, br_int_32 x, br_int_32 y, br_uint_32 colour, const br_font *font,
                        const char *text)
{
    br_point p = {x, y};
    if (font == nullptr)
        font = &BrPixelmapFontBuiltin;
    return ensure(dst)->dispatch->text(dst, &p, font, text, colour);
}

br_error BrPixelmapTextF(br_pixelmap *dst, br_int_32 x, br_int_32 y, br_uint_32 colour, const br_font *font,
                         const char *fmt, ...)
{
    // The scratch string bounds the text.
    char *buf = BrScratchString();
    va_list args;
    va_start(args, fmt);
    BrVSprintfN(buf, BrScratchStringSize(), fmt, args);
    va_end(args);
    return BrPixelmapText(dst, x, y, colour, font, buf);
}

br_uint_16 BrPixelmapTextWidth(br_pixelmap *dst, const br_font *font, const char *text)
{
    return pm_text_width(font != nullptr ? font : &BrPixelmapFontBuiltin, text);
}

br_uint_16 BrPixelmapTextHeight(br_pixelmap *dst, const br_font *font)
{
    return (font != nullptr ? font : &BrPixelmapFontBuiltin)->glyph_y;
}

br_error BrPixelmapCopyBits(br_pixelmap *dst, br_int_32 x, br_int_32 y, const br_uint_8 *src, br_int_32 s_stride,
                            br_int_32 start_bit, br_int_32 end_bit, br_int_32 nrows, br_uint_32 colour)
{
    br_point p = {x, y};
    br_rectangle r = {start_bit, 0, end_bit - start_bit, nrows};
    return ensure(dst)->dispatch->copyBits(dst, &p, src, (br_uint_16)s_stride, &r, colour);
}

br_uint_16 BrPixelmapPixelBits(br_pixelmap *pm)
{
    return pm->type < BR_PMT_MAX ? PmTypeInfo[pm->type].bits : 0;
}

br_uint_16 BrPixelmapPixelBytes(br_pixelmap *pm)
{
    return pm->type < BR_PMT_MAX ? PmTypeInfo[pm->type].element_bytes : 0;
}

br_uint_16 BrPixelmapChannelMask(br_pixelmap *pm)
{
    return pm->type < BR_PMT_MAX ? PmTypeInfo[pm->type].channels : 0;
}

namespace {

br_device_clut *clut_of(br_pixelmap *pm)
{
    br_value value = {};
    if (ensure(pm)->dispatch->_query((br_object *)pm, &value, BRT_CLUT_O) != BRE_OK)
        return nullptr;
    return (br_device_clut *)value.p;
}

} // namespace

br_error BrPixelmapPaletteSet(br_pixelmap *pm, br_pixelmap *pal)
{
    br_device_clut *clut = clut_of(pm);
    if (clut == nullptr)
        return BRE_UNSUPPORTED;
    return clut->dispatch->entrySetMany(clut, 0, pal->height, (br_uint_32 *)pal->pixels);
}

void BrPixelmapPaletteEntrySet(br_pixelmap *pm, br_int_32 index, br_uint_32 colour)
{
    br_device_clut *clut = clut_of(pm);
    if (clut != nullptr)
        clut->dispatch->entrySet(clut, index, colour);
}

br_error BrPixelmapPaletteEntrySetMany(br_pixelmap *pm, br_int_32 index, br_int_32 ncolours, br_uint_32 *colours)
{
    br_device_clut *clut = clut_of(pm);
    if (clut == nullptr)
        return BRE_UNSUPPORTED;
    return clut->dispatch->entrySetMany(clut, index, ncolours, colours);
}

br_pixelmap *BrPixelmapDirectLock(br_pixelmap *src, br_boolean block)
{
    return ensure(src)->dispatch->directLock(src, block) == BRE_OK ? src : nullptr;
}

br_pixelmap *BrPixelmapDirectUnlock(br_pixelmap *src)
{
    return ensure(src)->dispatch->directUnlock(src) == BRE_OK ? src : nullptr;
}
