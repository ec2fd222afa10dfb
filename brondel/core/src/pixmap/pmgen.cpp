// Generic methods, built from a class's primitive operations, and the null methods.
#include "pmint.h"

#define DISPATCH(pm, op) ((pm)->dispatch->op)

namespace {

br_rectangle whole_area(const br_pixelmap *pm)
{
    return {-pm->origin_x, -pm->origin_y, pm->width, pm->height};
}

bool same_size(const br_pixelmap *a, const br_pixelmap *b)
{
    return a->width == b->width && a->height == b->height;
}

} // namespace

br_error _M_br_device_pixelmap_gen_copy(br_pixelmap *self, br_pixelmap *src)
{
    br_point p = {-self->origin_x, -self->origin_y};
    br_rectangle r = whole_area(src);
    return DISPATCH(self, rectangleCopy)(self, &p, src, &r);
}

br_error _M_br_device_pixelmap_gen_copyTo(br_pixelmap *self, br_pixelmap *src)
{
    br_point p = {-self->origin_x, -self->origin_y};
    br_rectangle r = whole_area(src);
    return DISPATCH(self, rectangleCopyTo)(self, &p, src, &r);
}

br_error _M_br_device_pixelmap_gen_copyFrom(br_pixelmap *self, br_pixelmap *dest)
{
    // The point lies in the destination and the rectangle in self, the source.
    br_point p = {-dest->origin_x, -dest->origin_y};
    br_rectangle r = whole_area(self);
    return DISPATCH(self, rectangleCopyFrom)(self, &p, dest, &r);
}

br_error _M_br_device_pixelmap_gen_fill(br_pixelmap *self, br_uint_32 colour)
{
    br_rectangle r = whole_area(self);
    return DISPATCH(self, rectangleFill)(self, &r, colour);
}

br_error _M_br_device_pixelmap_gen_doubleBuffer(br_pixelmap *self, br_pixelmap *src)
{
    if (same_size(self, src))
        return pm_copy_choice(self, src);
    br_rectangle s = whole_area(src), d = whole_area(self);
    return pm_stretch_choice(self, &d, src, &s);
}

namespace {

using rect_copy_fn = br_error (*)(br_pixelmap *, br_point *, br_pixelmap *, br_rectangle *);

br_error copy_rects(br_pixelmap *self, br_pixelmap *other, rect_copy_fn fn, br_rectangle *dirty, br_int_32 n)
{
    for (br_int_32 i = 0; i < n; i++) {
        br_point p = {dirty[i].x, dirty[i].y};
        br_error r = fn(self, &p, other, &dirty[i]);
        if (r != BRE_OK)
            return r;
    }
    return BRE_OK;
}

} // namespace

br_error _M_br_device_pixelmap_gen_copyDirty(br_pixelmap *self, br_pixelmap *src, br_rectangle *dirty,
                                             br_int_32 num_rects)
{
    if (!same_size(self, src))
        return DISPATCH(self, copy)(self, src);
    return copy_rects(self, src, DISPATCH(self, rectangleCopy), dirty, num_rects);
}

br_error _M_br_device_pixelmap_gen_copyToDirty(br_pixelmap *self, br_pixelmap *src, br_rectangle *dirty,
                                               br_int_32 num_rects)
{
    if (!same_size(self, src))
        return DISPATCH(self, copyTo)(self, src);
    return copy_rects(self, src, DISPATCH(self, rectangleCopyTo), dirty, num_rects);
}

br_error _M_br_device_pixelmap_gen_copyFromDirty(br_pixelmap *self, br_pixelmap *dest, br_rectangle *dirty,
                                                 br_int_32 num_rects)
{
    if (!same_size(self, dest))
        return DISPATCH(self, copyFrom)(self, dest);
    return copy_rects(self, dest, DISPATCH(self, rectangleCopyFrom), dirty, num_rects);
}

br_error _M_br_device_pixelmap_gen_fillDirty(br_pixelmap *self, br_uint_32 colour, br_rectangle *dirty,
                                             br_int_32 num_rects)
{
    for (br_int_32 i = 0; i < num_rects; i++) {
        br_error r = DISPATCH(self, rectangleFill)(self, &dirty[i], colour);
        if (r != BRE_OK)
            return r;
    }
    return BRE_OK;
}

br_error _M_br_device_pixelmap_gen_doubleBufferDirty(br_pixelmap *self, br_pixelmap *src, br_rectangle *dirty,
                                                     br_int_32 num_rects)
{
    if (!same_size(self, src))
        return DISPATCH(self, doubleBuffer)(self, src);
    return copy_rects(self, src, DISPATCH(self, rectangleCopy), dirty, num_rects);
}

br_error _M_br_device_pixelmap_gen_rectangle2(br_pixelmap *self, br_rectangle *rect, br_uint_32 colour_tl,
                                              br_uint_32 colour_br)
{
    const br_int_32 x = rect->x, y = rect->y;
    const br_int_32 r = rect->x + rect->w - 1, b = rect->y + rect->h - 1;
    struct {
        br_point s, e;
        br_uint_32 colour;
    } edges[4] = {
        {{x, y}, {r, y}, colour_tl}, // top
        {{x, y}, {x, b}, colour_tl}, // left
        {{x, b}, {r, b}, colour_br}, // bottom
        {{r, y}, {r, b}, colour_br}, // right
    };
    for (auto &e : edges) {
        br_error res = DISPATCH(self, line)(self, &e.s, &e.e, e.colour);
        if (res != BRE_OK)
            return res;
    }
    return BRE_OK;
}

br_error _M_br_device_pixelmap_gen_rectangle(br_pixelmap *self, br_rectangle *rect, br_uint_32 colour)
{
    return _M_br_device_pixelmap_gen_rectangle2(self, rect, colour, colour);
}

br_error _M_br_device_pixelmap_gen_line(br_pixelmap *self, br_point *s, br_point *e, br_uint_32 colour)
{
    br_point a, b;
    if (!PixelmapLineClip(&a, &b, s, e, self))
        return BRE_OK;
    const br_int_32 ox = self->origin_x, oy = self->origin_y;
    auto pixel_set = DISPATCH(self, pixelSet);
    pm_line_walk(a.x - ox, a.y - oy, b.x - ox, b.y - oy, [&](br_int_32 x, br_int_32 y) {
        br_point p = {x, y};
        pixel_set(self, &p, colour);
    });
    return BRE_OK;
}

br_error _M_br_device_pixelmap_gen_copyBits(br_pixelmap *self, br_point *point, const br_uint_8 *src,
                                            br_uint_16 s_stride, br_rectangle *bit_rect, br_uint_32 colour)
{
    // The first bit of the rectangle lands on the point, as in the memory class.
    br_rectangle r, b;
    br_point p, q;
    if (!pm_bits_start(&b, &q, bit_rect, point) || !PixelmapCopyBitsClip(&r, &p, &b, &q, self))
        return BRE_OK;
    auto pixel_set = DISPATCH(self, pixelSet);
    for (br_int_32 row = 0; row < r.h; row++) {
        const br_uint_8 *bits = src + (intptr_t)(r.y + row) * s_stride;
        for (br_int_32 i = 0; i < r.w; i++) {
            br_int_32 bit = r.x + i;
            if (bits[bit >> 3] & (0x80 >> (bit & 7))) {
                br_point at = {p.x + i - self->origin_x, p.y + row - self->origin_y};
                br_error res = pixel_set(self, &at, colour);
                if (res != BRE_OK)
                    return res;
            }
        }
    }
    return BRE_OK;
}

br_error _M_br_device_pixelmap_gen_text(br_pixelmap *self, br_point *point, const br_font *font, const char *text,
                                        br_uint_32 colour)
{
    if (font == nullptr)
        font = &BrPixelmapFontBuiltin;
    if (text == nullptr)
        return BRE_OK;
    const br_int_32 ox = self->origin_x, oy = self->origin_y;
    br_int_32 x = point->x;
    const br_int_32 y = point->y;
    if (y + oy <= -(br_int_32)font->glyph_y || y + oy >= self->height || x + ox >= self->width)
        return BRE_OK;

    for (const unsigned char *c = (const unsigned char *)text; *c != 0; c++) {
        br_int_32 w = pm_glyph_width(font, *c);
        if (w > 0 && x + ox + w > 0) {
            br_point p = {x, y};
            br_rectangle r = {0, 0, w, font->glyph_y};
            br_error res = DISPATCH(self, copyBits)(self, &p, font->glyph_data + font->encoding[*c],
                                                     (br_uint_16)((w + 7) / 8), &r, colour);
            if (res != BRE_OK)
                return res;
        }
        x += w + 1;
        if (x + ox >= self->width)
            break;
    }
    return BRE_OK;
}

br_error _M_br_device_pixelmap_gen_textBounds(br_pixelmap *self, br_rectangle *rect, const br_font *font,
                                              const char *text)
{
    if (font == nullptr)
        font = &BrPixelmapFontBuiltin;
    rect->x = 0;
    rect->y = 0;
    rect->w = text != nullptr ? pm_text_width(font, text) : 0;
    rect->h = font->glyph_y;
    return BRE_OK;
}

br_error _M_br_device_pixelmap_gen_flush(br_pixelmap *self)
{
    return BRE_OK;
}

br_error _M_br_device_pixelmap_gen_synchronise(br_pixelmap *self, br_token sync_type, br_boolean block)
{
    return BRE_OK;
}

br_error _M_br_device_pixelmap_gen_directLock(br_pixelmap *self, br_boolean block)
{
    return BRE_OK;
}

br_error _M_br_device_pixelmap_gen_directUnlock(br_pixelmap *self)
{
    return BRE_OK;
}

// Null methods: places where a class does nothing.

br_error _M_br_device_pixelmap_null_resize(br_pixelmap *, br_int_32, br_int_32) { return BRE_OK; }
br_error _M_br_device_pixelmap_null_copyTo(br_pixelmap *, br_pixelmap *) { return BRE_OK; }
br_error _M_br_device_pixelmap_null_copyFrom(br_pixelmap *, br_pixelmap *) { return BRE_OK; }
br_error _M_br_device_pixelmap_null_fill(br_pixelmap *, br_uint_32) { return BRE_OK; }
br_error _M_br_device_pixelmap_null_doubleBuffer(br_pixelmap *, br_pixelmap *) { return BRE_OK; }
br_error _M_br_device_pixelmap_null_copyDirty(br_pixelmap *, br_pixelmap *, br_rectangle *, br_int_32) { return BRE_OK; }
br_error _M_br_device_pixelmap_null_copyToDirty(br_pixelmap *, br_pixelmap *, br_rectangle *, br_int_32)
{
    return BRE_OK;
}
br_error _M_br_device_pixelmap_null_copyFromDirty(br_pixelmap *, br_pixelmap *, br_rectangle *, br_int_32)
{
    return BRE_OK;
}
br_error _M_br_device_pixelmap_null_fillDirty(br_pixelmap *, br_uint_32, br_rectangle *, br_int_32) { return BRE_OK; }
br_error _M_br_device_pixelmap_null_doubleBufferDirty(br_pixelmap *, br_pixelmap *, br_rectangle *, br_int_32)
{
    return BRE_OK;
}
br_error _M_br_device_pixelmap_null_rectangleCopyTo(br_pixelmap *, br_point *, br_pixelmap *, br_rectangle *)
{
    return BRE_OK;
}
br_error _M_br_device_pixelmap_null_rectangleCopyFrom(br_pixelmap *, br_point *, br_pixelmap *, br_rectangle *)
{
    return BRE_OK;
}
br_error _M_br_device_pixelmap_null_rectangleStretchCopyTo(br_pixelmap *, br_rectangle *, br_pixelmap *,
                                                           br_rectangle *)
{
    return BRE_OK;
}
br_error _M_br_device_pixelmap_null_rectangleStretchCopyFrom(br_pixelmap *, br_rectangle *, br_pixelmap *,
                                                             br_rectangle *)
{
    return BRE_OK;
}
br_error _M_br_device_pixelmap_null_rectangleFill(br_pixelmap *, br_rectangle *, br_uint_32) { return BRE_OK; }
br_error _M_br_device_pixelmap_null_pixelSet(br_pixelmap *, br_point *, br_uint_32) { return BRE_OK; }
br_error _M_br_device_pixelmap_null_copyBits(br_pixelmap *, br_point *, const br_uint_8 *, br_uint_16, br_rectangle *,
                                             br_uint_32)
{
    return BRE_OK;
}
br_error _M_br_device_pixelmap_null_pixelQuery(br_pixelmap *, br_uint_32 *, br_point *) { return BRE_OK; }
br_error _M_br_device_pixelmap_null_pixelAddressQuery(br_pixelmap *, void **, br_uint_32 *, br_point *)
{
    return BRE_OK;
}
br_error _M_br_device_pixelmap_null_pixelAddressSet(br_pixelmap *, void *, br_uint_32 *) { return BRE_OK; }
