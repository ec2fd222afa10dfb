// Clipping of points, lines, rectangles, rectangle pairs and bit rectangles against a pixel map.
// Inputs are relative to the map's origin; outputs are absolute pixel coordinates. The arithmetic
// runs in 64 bits so that extreme coordinates cannot overflow.
#include "pmint.h"

br_int_32 PixelmapPointClip(br_point *out, const br_point *in, const br_pixelmap *pm)
{
    int64_t x = (int64_t)in->x + pm->origin_x;
    int64_t y = (int64_t)in->y + pm->origin_y;
    if (x < 0 || y < 0 || x >= pm->width || y >= pm->height)
        return PIXELMAP_CLIP_REJECT;
    out->x = (br_int_32)x;
    out->y = (br_int_32)y;
    return PIXELMAP_CLIP_INSIDE;
}

br_int_32 PixelmapRectangleClip(br_rectangle *out, const br_rectangle *in, const br_pixelmap *pm)
{
    int64_t x = (int64_t)in->x + pm->origin_x, y = (int64_t)in->y + pm->origin_y;
    int64_t w = in->w, h = in->h;
    if (x >= pm->width || y >= pm->height || x + w <= 0 || y + h <= 0)
        return PIXELMAP_CLIP_REJECT;
    if (x < 0) {
        w += x;
        x = 0;
    }
    if (y < 0) {
        h += y;
        y = 0;
    }
    if (x + w > pm->width)
        w = pm->width - x;
    if (y + h > pm->height)
        h = pm->height - y;
    if (w <= 0 || h <= 0)
        return PIXELMAP_CLIP_REJECT;
    *out = {(br_int_32)x, (br_int_32)y, (br_int_32)w, (br_int_32)h};
    return PIXELMAP_CLIP_PARTIAL;
}

br_int_32 PixelmapRectangleClipTwo(br_rectangle *r_out, br_point *p_out, const br_rectangle *r_in,
                                   const br_point *p_in, const br_pixelmap *pm_dst, const br_pixelmap *pm_src)
{
    int64_t dx = (int64_t)p_in->x + pm_dst->origin_x, dy = (int64_t)p_in->y + pm_dst->origin_y;
    int64_t sx = (int64_t)r_in->x + pm_src->origin_x, sy = (int64_t)r_in->y + pm_src->origin_y;
    int64_t w = r_in->w, h = r_in->h;

    if (dx >= pm_dst->width || dy >= pm_dst->height || sx >= pm_src->width || sy >= pm_src->height)
        return PIXELMAP_CLIP_REJECT;
    if (dx + w <= 0 || dy + h <= 0 || sx + w <= 0 || sy + h <= 0)
        return PIXELMAP_CLIP_REJECT;

    // Destination first, then source; each cut moves the other side's start by the same amount.
    if (dx < 0) {
        w += dx;
        sx -= dx;
        dx = 0;
    }
    if (dy < 0) {
        h += dy;
        sy -= dy;
        dy = 0;
    }
    if (dx + w > pm_dst->width)
        w = pm_dst->width - dx;
    if (dy + h > pm_dst->height)
        h = pm_dst->height - dy;

    if (sx < 0) {
        w += sx;
        dx -= sx;
        sx = 0;
    }
    if (sy < 0) {
        h += sy;
        dy -= sy;
        sy = 0;
    }
    if (sx + w > pm_src->width)
        w = pm_src->width - sx;
    if (sy + h > pm_src->height)
        h = pm_src->height - sy;

    if (w <= 0 || h <= 0)
        return PIXELMAP_CLIP_REJECT;
    *r_out = {(br_int_32)sx, (br_int_32)sy, (br_int_32)w, (br_int_32)h};
    *p_out = {(br_int_32)dx, (br_int_32)dy};
    return PIXELMAP_CLIP_PARTIAL;
}

br_int_32 PixelmapCopyBitsClip(br_rectangle *r_out, br_point *p_out, const br_rectangle *r_in, const br_point *p_in,
                               const br_pixelmap *pm)
{
    int64_t px = (int64_t)p_in->x + pm->origin_x, py = (int64_t)p_in->y + pm->origin_y;
    int64_t bx = r_in->x, by = r_in->y, w = r_in->w, h = r_in->h;

    if (px >= pm->width || py >= pm->height || px + w <= 0 || py + h <= 0)
        return PIXELMAP_CLIP_REJECT;
    if (px < 0) {
        w += px;
        bx -= px;
        px = 0;
    }
    if (py < 0) {
        h += py;
        by -= py;
        py = 0;
    }
    if (px + w > pm->width)
        w = pm->width - px;
    if (py + h > pm->height)
        h = pm->height - py;
    if (w <= 0 || h <= 0)
        return PIXELMAP_CLIP_REJECT;
    *r_out = {(br_int_32)bx, (br_int_32)by, (br_int_32)w, (br_int_32)h};
    *p_out = {(br_int_32)px, (br_int_32)py};
    return PIXELMAP_CLIP_PARTIAL;
}

br_int_32 PixelmapLineClip(br_point *s_out, br_point *e_out, const br_point *s_in, const br_point *e_in,
                           const br_pixelmap *pm)
{
    const int64_t w = pm->width, h = pm->height;
    int64_t x1 = (int64_t)s_in->x + pm->origin_x, y1 = (int64_t)s_in->y + pm->origin_y;
    int64_t x2 = (int64_t)e_in->x + pm->origin_x, y2 = (int64_t)e_in->y + pm->origin_y;

    if (x1 > x2) {
        int64_t t = x1; x1 = x2; x2 = t;
        t = y1; y1 = y2; y2 = t;
    }
    if (x2 < 0 || x1 > w - 1)
        return PIXELMAP_CLIP_REJECT;

    if (y1 < y2) {
        if (y2 < 0 || y1 > h - 1)
            return PIXELMAP_CLIP_REJECT;
        if (y1 < 0) {
            x1 += (-y1) * (x2 - x1) / (y2 - y1);
            y1 = 0;
            if (x1 > w - 1)
                return PIXELMAP_CLIP_REJECT;
        }
        if (y2 > h - 1) {
            x2 -= (y2 - h + 1) * (x2 - x1) / (y2 - y1);
            y2 = h - 1;
            if (x2 < 0)
                return PIXELMAP_CLIP_REJECT;
        }
        if (x1 < 0) {
            y1 += (-x1) * (y2 - y1) / (x2 - x1);
            x1 = 0;
        }
        if (x2 > w - 1) {
            y2 -= (x2 - w + 1) * (y2 - y1) / (x2 - x1);
            x2 = w - 1;
        }
    } else {
        if (y1 < 0 || y2 > h - 1)
            return PIXELMAP_CLIP_REJECT;
        if (y1 > h - 1) {
            x1 += (x2 - x1) * (y1 - h + 1) / (y1 - y2);
            y1 = h - 1;
            if (x1 > w - 1)
                return PIXELMAP_CLIP_REJECT;
        }
        if (y2 < 0) {
            x2 -= (x1 - x2) * y2 / (y1 - y2);
            y2 = 0;
            if (x2 < 0)
                return PIXELMAP_CLIP_REJECT;
        }
        if (x1 < 0) {
            y1 -= (y2 - y1) * x1 / (x2 - x1);
            x1 = 0;
        }
        if (x2 > w - 1) {
            y2 += (x2 - w + 1) * (y1 - y2) / (x2 - x1);
            x2 = w - 1;
        }
    }

    // Whatever the rounding did, nothing outside the map comes back.
    if (x1 < 0 || x2 > w - 1 || y1 < 0 || y1 > h - 1 || y2 < 0 || y2 > h - 1)
        return PIXELMAP_CLIP_REJECT;
    *s_out = {(br_int_32)x1, (br_int_32)y1};
    *e_out = {(br_int_32)x2, (br_int_32)y2};
    return PIXELMAP_CLIP_PARTIAL;
}
