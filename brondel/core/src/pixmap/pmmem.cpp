// The memory class: pixel maps whose pixels are ordinary memory.
#include <string.h>

#include "pmint.h"

namespace {

bool drawable(const br_pixelmap *pm)
{
    return pm->pixels != nullptr && !(pm->flags & PIXELMAP_NO_ACCESS);
}

const br_uint_8 FAST_FLAGS = PIXELMAP_CONTIGUOUS | PIXELMAP_WHOLE_PIXEL_ROWS;

// Copies the absolute source rectangle sr to the absolute point dp. runner is the map whose method
// runs: a copy of its full width between maps of one layout is a single run.
br_error copy_area(br_pixelmap *dst, const br_point *dp, br_pixelmap *src, const br_rectangle *sr,
                   const br_pixelmap *runner)
{
    if ((dst->flags | src->flags) & PIXELMAP_NO_ACCESS)
        return BRE_UNSUPPORTED;
    int bpp = pm_bpp(dst);
    // Pixels of different sizes cannot be moved as bytes.
    if (bpp != pm_bpp(src))
        return BRE_FAIL;
    if (bpp == 0)
        return BRE_OK;
    if (dst->pixels == nullptr || src->pixels == nullptr)
        return BRE_FAIL;

    br_uint_8 *d = pm_addr(dst, dp->x, dp->y);
    const br_uint_8 *s = pm_addr(src, sr->x, sr->y);
    if (sr->w == runner->width && dst->row_bytes == src->row_bytes && (dst->flags & FAST_FLAGS) == FAST_FLAGS &&
        (src->flags & FAST_FLAGS) == FAST_FLAGS) {
        if (dst->row_bytes < 0) {
            // Inverted maps: the run starts at the lowest address, the last row.
            d += (intptr_t)dst->row_bytes * (sr->h - 1);
            s += (intptr_t)src->row_bytes * (sr->h - 1);
        }
        memmove(d, s, (br_size_t)sr->w * sr->h * bpp);
        return BRE_OK;
    }
    intptr_t ds = dst->row_bytes, ss = src->row_bytes;
    intptr_t ahead = (intptr_t)((uintptr_t)d - (uintptr_t)s) * (ss < 0 ? -1 : 1);
    intptr_t span = (intptr_t)sr->h * (ss < 0 ? -ss : ss);
    if (dst->pixels == src->pixels && ahead > 0 && ahead < span) {
        // The destination lies ahead of the source in one block: walk the rows from the other end.
        d += ds * (sr->h - 1);
        s += ss * (sr->h - 1);
        ds = -ds;
        ss = -ss;
    }
    pm_copy_rows(d, ds, s, ss, (br_size_t)sr->w * bpp, (br_size_t)sr->h);
    return BRE_OK;
}

// Fills an absolute, already clipped rectangle.
br_error fill_area(br_pixelmap *pm, const br_rectangle *r, br_uint_32 colour)
{
    int bpp = pm_bpp(pm);
    if (bpp == 0)
        return BRE_OK;
    if (!drawable(pm))
        return pm->flags & PIXELMAP_NO_ACCESS ? BRE_UNSUPPORTED : BRE_FAIL;
    br_uint_8 *d = pm_addr(pm, r->x, r->y);
    if (r->w == pm->width && (pm->flags & FAST_FLAGS) == FAST_FLAGS) {
        if (pm->row_bytes < 0)
            d += (intptr_t)pm->row_bytes * (r->h - 1);
        pm_fill_run(d, (br_size_t)r->w * r->h, bpp, colour);
        return BRE_OK;
    }
    pm_fill_rows(d, pm->row_bytes, (br_size_t)r->w, (br_size_t)r->h, bpp, colour);
    return BRE_OK;
}

br_uint_32 find_child(void *child, void *arg)
{
    return child == arg ? 1 : 0;
}

} // namespace

bool pm_row_layout(br_uint_8 type, br_int_32 width, br_int_16 *row_bytes, br_uint_8 *flags)
{
    if (type >= BR_PMT_MAX || width < 0 || width > 0xFFFF)
        return false;
    const pm_type_info &ti = PmTypeInfo[type];
    int64_t aligned = (width + ti.row_align - 1) / ti.row_align * ti.row_align;
    int64_t rb = ti.bits * aligned / 8;
    if (rb > 0x7FFF)
        return false;
    br_uint_8 f = 0;
    if ((rb * 8) % ti.bits == 0)
        f |= PIXELMAP_WHOLE_PIXEL_ROWS;
    if (rb == (int64_t)width * (ti.bits / 8))
        f |= PIXELMAP_CONTIGUOUS;
    *row_bytes = (br_int_16)rb;
    *flags = f;
    return true;
}

br_error _M_br_device_pixelmap_mem_resize(br_pixelmap *self, br_int_32 width, br_int_32 height)
{
    br_int_16 rb;
    br_uint_8 f;
    if (height < 0 || height > 0xFFFF || !pm_row_layout(self->type, width, &rb, &f))
        return BRE_FAIL;
    br_uint_8 *block = (br_uint_8 *)self->pixels;
    if (block != nullptr && self->row_bytes < 0)
        block += (intptr_t)self->row_bytes * (self->height - 1);
    void *pixels = BrResAllocate(self, (br_size_t)rb * height, BR_MEMORY_PIXELS);
    if (pixels == nullptr)
        return BRE_NO_MEMORY;
    // Only memory the record owns is freed; pixels handed in stay the caller's.
    if (block != nullptr && BrResChildEnum(self, find_child, block) != 0)
        BrResFree(block);
    bool inverted = self->row_bytes < 0;
    self->pixels = pixels;
    self->row_bytes = rb;
    self->width = (br_uint_16)width;
    self->height = (br_uint_16)height;
    self->base_x = self->base_y = 0;
    self->flags = (br_uint_8)((self->flags & ~FAST_FLAGS) | f);
    self->pixels_qualifier = 0;
    if (inverted && height > 0) {
        self->pixels = (br_uint_8 *)pixels + (intptr_t)rb * (height - 1);
        self->row_bytes = (br_int_16)-rb;
    }
    return BRE_OK;
}

br_error _M_br_device_pixelmap_mem_allocateSub(br_pixelmap *self, br_pixelmap **newpm, br_rectangle *rect)
{
    br_rectangle r;
    if (!PixelmapRectangleClip(&r, rect, self))
        return BRE_FAIL;
    br_pixelmap *pm = (br_pixelmap *)BrResAllocate(PmState.res, sizeof(br_pixelmap), BR_MEMORY_PIXELMAP);
    if (pm == nullptr)
        return BRE_NO_MEMORY;
    *pm = *self;
    pm->dispatch = &BrPixelmapMemDispatch;
    // The renderer's buffer stays the parent's: freeing the window must not free it.
    pm->stored = nullptr;
    pm->base_x = (br_uint_16)(self->base_x + r.x);
    pm->base_y = (br_uint_16)(self->base_y + r.y);
    pm->width = (br_uint_16)r.w;
    pm->height = (br_uint_16)r.h;
    pm->origin_x = pm->origin_y = 0;
    if (pm->width != self->width)
        pm->flags &= (br_uint_8)~PIXELMAP_CONTIGUOUS;
    *newpm = pm;
    return BRE_OK;
}

br_error _M_br_device_pixelmap_mem_copyTo(br_pixelmap *self, br_pixelmap *src)
{
    br_point p = {-self->origin_x, -self->origin_y};
    br_rectangle r = {-src->origin_x, -src->origin_y, src->width, src->height};
    br_rectangle sr;
    br_point dp;
    if (!PixelmapRectangleClipTwo(&sr, &dp, &r, &p, self, src))
        return BRE_OK;
    return copy_area(self, &dp, src, &sr, self);
}

br_error _M_br_device_pixelmap_mem_copyFrom(br_pixelmap *self, br_pixelmap *dest)
{
    br_point p = {-dest->origin_x, -dest->origin_y};
    br_rectangle r = {-self->origin_x, -self->origin_y, self->width, self->height};
    br_rectangle sr;
    br_point dp;
    if (!PixelmapRectangleClipTwo(&sr, &dp, &r, &p, dest, self))
        return BRE_OK;
    return copy_area(dest, &dp, self, &sr, self);
}

br_error _M_br_device_pixelmap_mem_rectangleCopyTo(br_pixelmap *self, br_point *p, br_pixelmap *src, br_rectangle *r)
{
    br_rectangle sr;
    br_point dp;
    if (!PixelmapRectangleClipTwo(&sr, &dp, r, p, self, src))
        return BRE_OK;
    return copy_area(self, &dp, src, &sr, self);
}

br_error _M_br_device_pixelmap_mem_rectangleCopyFrom(br_pixelmap *self, br_point *p, br_pixelmap *dest,
                                                     br_rectangle *r)
{
    br_rectangle sr;
    br_point dp;
    if (!PixelmapRectangleClipTwo(&sr, &dp, r, p, dest, self))
        return BRE_OK;
    return copy_area(dest, &dp, self, &sr, self);
}

br_error _M_br_device_pixelmap_mem_rectangleStretchCopyTo(br_pixelmap *self, br_rectangle *d, br_pixelmap *src,
                                                          br_rectangle *s)
{
    return BRE_FAIL; // memory maps do not stretch
}

br_error _M_br_device_pixelmap_mem_rectangleStretchCopyFrom(br_pixelmap *self, br_rectangle *d, br_pixelmap *dest,
                                                            br_rectangle *s)
{
    return BRE_FAIL;
}

br_error _M_br_device_pixelmap_mem_fill(br_pixelmap *self, br_uint_32 colour)
{
    br_rectangle r = {0, 0, self->width, self->height};
    if (r.w == 0 || r.h == 0)
        return BRE_OK;
    return fill_area(self, &r, colour);
}

br_error _M_br_device_pixelmap_mem_rectangleFill(br_pixelmap *self, br_rectangle *rect, br_uint_32 colour)
{
    br_rectangle r;
    if (!PixelmapRectangleClip(&r, rect, self))
        return BRE_OK;
    return fill_area(self, &r, colour);
}

br_error _M_br_device_pixelmap_mem_pixelSet(br_pixelmap *self, br_point *p, br_uint_32 colour)
{
    br_point a;
    if (!PixelmapPointClip(&a, p, self))
        return BRE_OK;
    if (!drawable(self))
        return BRE_FAIL;
    pm_put(pm_addr(self, a.x, a.y), pm_bpp(self), colour);
    return BRE_OK;
}

br_error _M_br_device_pixelmap_mem_pixelQuery(br_pixelmap *self, br_uint_32 *pcolour, br_point *p)
{
    br_point a;
    if (!PixelmapPointClip(&a, p, self) || !drawable(self))
        return BRE_FAIL;
    *pcolour = pm_get(pm_addr(self, a.x, a.y), pm_bpp(self));
    return BRE_OK;
}

br_error _M_br_device_pixelmap_mem_pixelAddressQuery(br_pixelmap *self, void **pptr, br_uint_32 *pqual, br_point *p)
{
    br_point a;
    if (!PixelmapPointClip(&a, p, self))
        return BRE_FAIL;
    if (pptr != nullptr)
        *pptr = pm_addr(self, a.x, a.y);
    if (pqual != nullptr)
        *pqual = self->pixels_qualifier;
    return BRE_OK;
}

br_error _M_br_device_pixelmap_mem_pixelAddressSet(br_pixelmap *self, void *ptr, br_uint_32 *qual)
{
    if (ptr != nullptr)
        self->pixels = ptr;
    if (qual != nullptr)
        self->pixels_qualifier = *qual;
    return BRE_OK;
}

br_error _M_br_device_pixelmap_mem_originSet(br_pixelmap *self, br_point *p)
{
    self->origin_x = (br_int_16)p->x;
    self->origin_y = (br_int_16)p->y;
    return BRE_OK;
}

br_error _M_br_device_pixelmap_mem_line(br_pixelmap *self, br_point *s, br_point *e, br_uint_32 colour)
{
    br_point a, b;
    if (!PixelmapLineClip(&a, &b, s, e, self))
        return BRE_OK;
    int bpp = pm_bpp(self);
    if (bpp == 0)
        return BRE_OK;
    if (!drawable(self))
        return BRE_FAIL;
    pm_line_walk(a.x, a.y, b.x, b.y, [&](br_int_32 x, br_int_32 y) { pm_put(pm_addr(self, x, y), bpp, colour); });
    return BRE_OK;
}

br_error _M_br_device_pixelmap_mem_copyBits(br_pixelmap *self, br_point *point, const br_uint_8 *src,
                                            br_uint_16 s_stride, br_rectangle *bit_rect, br_uint_32 colour)
{
    br_rectangle r, b;
    br_point p, q;
    if (!pm_bits_start(&b, &q, bit_rect, point) || !PixelmapCopyBitsClip(&r, &p, &b, &q, self))
        return BRE_OK;
    int bpp = pm_bpp(self);
    if (bpp == 0)
        return BRE_OK;
    if (!drawable(self))
        return BRE_FAIL;
    for (br_int_32 row = 0; row < r.h; row++) {
        const br_uint_8 *bits = src + (intptr_t)(r.y + row) * s_stride;
        br_uint_8 *d = pm_addr(self, p.x, p.y + row);
        for (br_int_32 i = 0; i < r.w; i++) {
            br_int_32 bit = r.x + i;
            if (bits[bit >> 3] & (0x80 >> (bit & 7)))
                pm_put(d + (intptr_t)i * bpp, bpp, colour);
        }
    }
    return BRE_OK;
}

br_error _M_br_device_pixelmap_mem_validSource(br_pixelmap *self, void *source)
{
    return BRE_OK;
}

br_error _M_br_device_pixelmap_mem_rowSize(br_pixelmap *self, br_size_t *sizep)
{
    return BRE_OK;
}

br_error _M_br_device_pixelmap_mem_rowQuery(br_pixelmap *self, void *buffer, br_size_t buffer_size, br_int_32 row)
{
    return BRE_OK;
}

br_error _M_br_device_pixelmap_mem_rowSet(br_pixelmap *self, void *buffer, br_size_t buffer_size, br_int_32 row)
{
    return BRE_OK;
}

br_error _M_br_device_pixelmap_mem_flush(br_pixelmap *self)
{
    return BRE_OK;
}

br_error _M_br_device_pixelmap_mem_synchronise(br_pixelmap *self, br_token sync_type, br_boolean block)
{
    return BRE_OK;
}

br_error _M_br_device_pixelmap_mem_directLock(br_pixelmap *self, br_boolean block)
{
    return BRE_OK;
}

br_error _M_br_device_pixelmap_mem_directUnlock(br_pixelmap *self)
{
    return BRE_OK;
}

// The exported memory double buffer and dirty methods are not the ones the table uses.
br_error _M_br_device_pixelmap_mem_doubleBuffer(br_pixelmap *self, br_pixelmap *src)
{
    return BRE_UNSUPPORTED;
}

br_error _M_br_device_pixelmap_mem_copyDirty(br_pixelmap *self, br_pixelmap *src, br_rectangle *dirty,
                                             br_int_32 num_rects)
{
    return BRE_UNSUPPORTED;
}

br_error _M_br_device_pixelmap_mem_copyToDirty(br_pixelmap *self, br_pixelmap *src, br_rectangle *dirty,
                                               br_int_32 num_rects)
{
    return BRE_UNSUPPORTED;
}

br_error _M_br_device_pixelmap_mem_copyFromDirty(br_pixelmap *self, br_pixelmap *dest, br_rectangle *dirty,
                                                 br_int_32 num_rects)
{
    return BRE_UNSUPPORTED;
}

br_error _M_br_device_pixelmap_mem_fillDirty(br_pixelmap *self, br_uint_32 colour, br_rectangle *dirty,
                                             br_int_32 num_rects)
{
    return BRE_UNSUPPORTED;
}

br_error _M_br_device_pixelmap_mem_doubleBufferDirty(br_pixelmap *self, br_pixelmap *src, br_rectangle *dirty,
                                                     br_int_32 num_rects)
{
    return BRE_UNSUPPORTED;
}
