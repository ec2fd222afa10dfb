// The status line's timed texts and the status bar under the view: the balls' strip up to the
// needed count, the rest of the bar and its marker.
#include <cstdio>
#include <cstring>

#include <brondel/brpixmap.h>

#include "gameint.h"
#include "terrow/trgame.h"
#include "terrow/trmodule.h"
#include "terrow/trplay.h"
#include "terrow/trshell.h"
#include "win32/wintime.h"

namespace {

char g_text[256] = "";
uint32_t g_holdEnd = 0;

void set(const char *text, int32_t ms)
{
    std::snprintf(g_text, sizeof g_text, "%s", text != nullptr ? text : "");
    g_holdEnd = timeGetTime() + (uint32_t)(ms > 0 ? ms : 0);
}

bool debug_line()
{
    return TrGetModule()->ini.DebugMode != 0;
}

int bytes_per_pixel(const br_pixelmap *pm)
{
    switch (pm->type) {
    case BR_PMT_INDEX_8:
        return 1;
    case BR_PMT_RGB_888:
        return 3;
    case BR_PMT_RGBX_888:
    case BR_PMT_RGBA_8888:
    case BR_PMT_DEPTH_32:
        return 4;
    default:
        return 2;
    }
}

}  // namespace

// Copies columns [sx, sx + w) of every row of `src` to `dst` at (dx, dy), clipped to both.
void tr_copy_rect(br_pixelmap *dst, int32_t dx, int32_t dy, const br_pixelmap *src, int32_t sx, int32_t sy, int32_t w,
                  int32_t h)
{
    if (dst == nullptr || src == nullptr || dst->pixels == nullptr || src->pixels == nullptr)
        return;
    const int bpp = bytes_per_pixel(dst);
    if (bpp != bytes_per_pixel(src))
        return;
    if (sx < 0) { dx -= sx; w += sx; sx = 0; }
    if (sy < 0) { dy -= sy; h += sy; sy = 0; }
    if (dx < 0) { sx -= dx; w += dx; dx = 0; }
    if (dy < 0) { sy -= dy; h += dy; dy = 0; }
    if (sx + w > src->width) w = src->width - sx;
    if (sy + h > src->height) h = src->height - sy;
    if (dx + w > dst->width) w = dst->width - dx;
    if (dy + h > dst->height) h = dst->height - dy;
    if (w <= 0 || h <= 0)
        return;
    for (int32_t y = 0; y < h; y++) {
        char *d = (char *)dst->pixels + (ptrdiff_t)(dy + y) * dst->row_bytes + (ptrdiff_t)dx * bpp;
        const char *s = (const char *)src->pixels + (ptrdiff_t)(sy + y) * src->row_bytes + (ptrdiff_t)sx * bpp;
        std::memmove(d, s, (size_t)w * bpp);
    }
}

void tr_fill_rect(br_pixelmap *dst, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t value)
{
    if (dst == nullptr || dst->pixels == nullptr)
        return;
    const int bpp = bytes_per_pixel(dst);
    if (x < 0) { w += x; x = 0; }
    if (y < 0) { h += y; y = 0; }
    if (x + w > dst->width) w = dst->width - x;
    if (y + h > dst->height) h = dst->height - y;
    for (int32_t r = 0; r < h; r++) {
        char *d = (char *)dst->pixels + (ptrdiff_t)(y + r) * dst->row_bytes + (ptrdiff_t)x * bpp;
        for (int32_t c = 0; c < w; c++, d += bpp)
            std::memcpy(d, &value, (size_t)bpp);
    }
}

extern "C" {

void TrStatusLong(const char *text)
{
    if (!debug_line())
        set(text, TR_STATUS_LONG_MS);
}

void TrStatusShort(const char *text)
{
    if (!debug_line())
        set(text, TR_STATUS_SHORT_MS);
}

void TrStatusTimed(const char *text, int32_t ms)
{
    if (!debug_line())
        set(text, ms);
}

void TrStatusPlain(const char *text)
{
    set(text, 0);
    const size_t n = text != nullptr ? std::strlen(text) : 0;
    if (n > 0 && text[n - 1] == '!')
        TrPlaySound(18);
}

void TrStatusClear(void)
{
    g_text[0] = '\0';
}

const char *TrStatusText(void)
{
    return g_text;
}

uint32_t TrStatusHoldEnd(void)
{
    return g_holdEnd;
}

int32_t TrStatusTick(uint32_t now)
{
    if (g_text[0] == '\0')
        return 0;
    // Compared as a difference, so that the clock's wrap changes nothing.
    if ((int32_t)(now - g_holdEnd) > TR_STATUS_LINGER_MS) {
        g_text[0] = '\0';
        return 0;
    }
    return 1;
}

int32_t TrStatusBarSplit(void)
{
    return (int32_t)(178 + 22.5 * Palya_BallsNeeded());
}

void TrStatusBarRange(int32_t x0, int32_t x1)
{
    TrShell *s = TrGetShell();
    br_pixelmap *screen = s->screenPix;
    if (screen == nullptr)
        return;
    const TrStatusPictures *p = tr_status_pictures();
    const int32_t top = screen->height - TR_STATUS_HEIGHT;
    const int32_t split = TrStatusBarSplit();
    if (x0 < 0)
        x0 = 0;
    if (x1 > screen->width)
        x1 = screen->width;
    if (x1 <= x0)
        return;
    // Left strip up to the split, right strip from there; the pictures stand in for nothing drawn.
    if (p->left != nullptr && split > x0)
        tr_copy_rect(screen, x0, top, p->left, x0, 0, (split < x1 ? split : x1) - x0, TR_STATUS_HEIGHT);
    if (p->right != nullptr && x1 > split) {
        const int32_t from = split > x0 ? split : x0;
        tr_copy_rect(screen, from, top, p->right, from, 0, x1 - from, TR_STATUS_HEIGHT);
    }
    const br_pixelmap *marker = p->markerFull != nullptr && p->withMarker ? p->markerFull : p->marker;
    if (marker != nullptr) {
        const int32_t mx = split - 5, my = marker == p->marker ? 8 : 0;
        const int32_t from = mx > x0 ? mx : x0, to = mx + marker->width < x1 ? mx + marker->width : x1;
        if (to > from)
            tr_copy_rect(screen, from, top + my, marker, from - mx, 0, to - from,
                         marker->height < TR_STATUS_HEIGHT - my ? marker->height : TR_STATUS_HEIGHT - my);
    }
}

void TrStatusBar(int32_t withMarker)
{
    tr_status_pictures()->withMarker = withMarker;
    TrShell *s = TrGetShell();
    if (s->screenPix != nullptr)
        TrStatusBarRange(0, s->screenPix->width);
}

}  // extern "C"
