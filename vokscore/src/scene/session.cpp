// Building sessions into pictures, opening what their ikons name, dirty rectangles, and composing and
// painting the scene picture.
#include <string.h>
#include <stdlib.h>
#include <strings.h>

#include <algorithm>
#include <string>
#include <vector>

#include "brondel/brpixmap.h"
#include "controls.h"
#include "pannix/pannix.h"
#include "media_layer.h"
#include "scenestate.h"
#include "texts.h"
#include "vokscore/vokpath.h"

namespace vok {

// Size hint of the ikon whose picture is being opened (placeholders only).
static struct {
    int x, y;
} g_pictureHint;

namespace {

const char *shown_text(const VokIkon *k);

// The clip of a ".mzi" ikon: its text names the file; it lies at the session's place plus the
// ikon's position in the window and takes its size from the clip.
int open_ikon_clip(VokScene *scene, VokSession *s, VokIkon *k, int *width, int *height)
{
    MediaClip *c = clip_for_ikon(shown_text(k), scene->curX + s->place.x + k->x, scene->curY + s->place.y + k->y,
                                 scene, s, k);
    if (!c)
        return 0;
    k->clip = c;
    *width = c->width;
    *height = c->height;
    return 1;
}

void close_ikon_clip(VokIkon *k)
{
    clip_free(static_cast<MediaClip *>(k->clip));
}

}  // namespace

int (*g_openIkonClip)(VokScene *, VokSession *, VokIkon *, int *, int *) = open_ikon_clip;
void (*g_closeIkonClip)(VokIkon *) = close_ikon_clip;

namespace {

int blit_plain(br_pixelmap *d, int32_t dx, int32_t dy, br_pixelmap *s, int32_t sx, int32_t sy, int32_t w, int32_t h,
               uint32_t)
{
    CopyRectangle(d, dx, dy, s, sx, sy, w, h);
    return 0;
}

int blit_alpha(br_pixelmap *d, int32_t dx, int32_t dy, br_pixelmap *s, int32_t sx, int32_t sy, int32_t w, int32_t h,
               uint32_t a)
{
    CopyRectTranspAlpha(d, dx, dy, s, sx, sy, w, h, a ? a : 255);
    return 0;
}

int blit_transp(br_pixelmap *d, int32_t dx, int32_t dy, br_pixelmap *s, int32_t sx, int32_t sy, int32_t w, int32_t h,
                uint32_t)
{
    CopyRectTransparent0(d, dx, dy, s, sx, sy, w, h);
    return 0;
}

VokBlitter blitter_for(uint32_t flags)
{
    return (flags & VOK_IK_PLAIN) ? blit_plain : (flags & VOK_IK_ALPHA) ? blit_alpha : blit_transp;
}

bool is_movie(const char *name, int *kind)
{
    size_t n = strlen(name);
    if (n < 4)
        return false;
    const char *e = name + n - 4;
    if (!strcasecmp(e, ".flc") || !strcasecmp(e, ".fli") || !strcasecmp(e, ".mzi")) {
        *kind = PMV_KIND_FLC;
        return true;
    }
    if (!strcasecmp(e, ".tmz")) {
        *kind = PMV_KIND_TMZ;
        return true;
    }
    return false;
}

bool has_entry(FFPACKHANDLE *pack, const char *name)
{
    FFFILEHANDLE *f = pack ? FFOpenP(pack, name) : nullptr;
    if (f)
        FFClose(f);
    return f != nullptr;
}

bool intersect(VokRect &r, const VokRect &clip)
{
    int x0 = std::max(r.x, clip.x), y0 = std::max(r.y, clip.y);
    int x1 = std::min(r.x + r.width, clip.x + clip.width), y1 = std::min(r.y + r.height, clip.y + clip.height);
    if (x1 <= x0 || y1 <= y0)
        return false;
    r = {x0, y0, x1 - x0, y1 - y0};
    return true;
}

bool holds(const VokRect &a, const VokRect &b)
{
    return b.x >= a.x && b.y >= a.y && b.x + b.width <= a.x + a.width && b.y + b.height <= a.y + a.height;
}

VokRect unite(const VokRect &a, const VokRect &b)
{
    int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    int x1 = std::max(a.x + a.width, b.x + b.width), y1 = std::max(a.y + a.height, b.y + b.height);
    return {x0, y0, x1 - x0, y1 - y0};
}

void grow_bounds(VokSession *s, const VokRect &r)
{
    if (s->dirtyBounds[2] <= s->dirtyBounds[0]) {
        s->dirtyBounds[0] = r.x, s->dirtyBounds[1] = r.y;
        s->dirtyBounds[2] = r.x + r.width, s->dirtyBounds[3] = r.y + r.height;
        return;
    }
    s->dirtyBounds[0] = std::min(s->dirtyBounds[0], r.x);
    s->dirtyBounds[1] = std::min(s->dirtyBounds[1], r.y);
    s->dirtyBounds[2] = std::max(s->dirtyBounds[2], r.x + r.width);
    s->dirtyBounds[3] = std::max(s->dirtyBounds[3], r.y + r.height);
}

void clear_dirty(VokSession *s)
{
    s->dirtyCount = 0;
    s->dirtyBounds[0] = s->dirtyBounds[1] = s->dirtyBounds[2] = s->dirtyBounds[3] = 0;
    s->state &= ~uint32_t(VOK_SST_DIRTY);
}

const char *shown_text(const VokIkon *k)
{
    if (k->text.string)
        return k->text.string;
    return k->text.number > 0 ? vok::text(k->text.number) : nullptr;
}

void text_size(const char *text, int font, int *w, int *h)
{
    *w = *h = 0;
    if (!text || !engine().fonts || !PxSelectFont(engine().fonts, font))
        return;
    PxGetTextWHMl(text, w, h);
}

int32_t type_of_depth(int bits, bool alpha)
{
    switch (bits) {
    case 8: return BR_PMT_INDEX_8;
    case 16: return alpha ? PX_PMT_ARGB_4444 : BR_PMT_RGB_565;
    case 24: return alpha ? PX_PMT_RGB565_ALPHA8 : BR_PMT_RGB_888;
    case 32: return alpha ? BR_PMT_RGBA_8888 : BR_PMT_RGBX_888;
    default: return -1;
    }
}

// Bits per pixel a movie file declares (TMZ: header byte 14; FLI/FLC: byte 12), 0 when unreadable.
// The player opens only depths it knows, so the header is read first to name the refused depth.
int declared_depth(const char *name, int kind)
{
    FFFILEHANDLE *f = FFOpen(name, FF_OPEN_FILE_FIRST);
    if (!f)
        return 0;
    uint8_t h[16];
    int bits = 0;
    if (FFRead(f, h, sizeof h) == int32_t(sizeof h))
        bits = kind == PMV_KIND_TMZ ? h[14] | h[15] << 8 : h[12] | h[13] << 8;
    FFClose(f);
    return bits;
}

// The owner window's client area at the scene's place, into `full` (RGB 565): clipped to the client
// area, centred when the scene is larger than the window; what the window does not cover keeps the fill.
void capture_client(VokScene *scene, br_pixelmap *full)
{
    HWND wnd = scene->window;
    RECT rc;
    if (!wnd || !GetClientRect(wnd, &rc))
        return;
    int sx = std::max(scene->curX, 0), sy = std::max(scene->curY, 0);
    int w = std::min<int>(full->width, rc.right - sx), h = std::min<int>(full->height, rc.bottom - sy);
    if (w <= 0 || h <= 0)
        return;
    int dx = (full->width - w) / 2, dy = (full->height - h) / 2;
    HDC wdc = GetDC(wnd);
    HDC mdc = CreateCompatibleDC(wdc);
    HBITMAP bm = CreateCompatibleBitmap(wdc, w, h);
    HGDIOBJ old = SelectObject(mdc, bm);
    BitBlt(mdc, 0, 0, w, h, wdc, sx, sy, SRCCOPY);
    SelectObject(mdc, old);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> px(size_t(w) * h);
    if (GetDIBits(mdc, bm, 0, UINT(h), px.data(), &bi, DIB_RGB_COLORS) == h) {
        for (int y = 0; y < h; y++) {
            auto *row = reinterpret_cast<uint16_t *>(static_cast<uint8_t *>(full->pixels) +
                                                     (full->base_y + dy + y) * full->row_bytes) +
                        full->base_x + dx;
            for (int x = 0; x < w; x++) {
                uint32_t c = px[size_t(y) * w + x];
                row[x] = uint16_t(((c >> 8) & 0xF800) | ((c >> 5) & 0x07E0) | ((c >> 3) & 0x001F));
            }
        }
    }
    DeleteObject(bm);
    DeleteDC(mdc);
    ReleaseDC(wnd, wdc);
}

}  // namespace

bool g_placeholders = false;

br_pixelmap *load_picture(VokScene *scene, const char *name, int width, int height)
{
    FFPACKHANDLE *remembered = FFGetCurrentPack();
    br_pixelmap *pm = nullptr;
    FFPACKHANDLE *packs[2] = {scene ? scene->langPackHandle : nullptr, scene ? scene->dataPackHandle : nullptr};
    for (FFPACKHANDLE *pack : packs)
        if (!pm && has_entry(pack, name)) {
            FFSetCurrentPack(pack);
            pm = FFLoadPix(name, 1);
        }
    if (!pm) {
        FFSetCurrentPack(scene && scene->dataPackHandle ? scene->dataPackHandle : remembered);
        pm = AmsgGetPixFile(name, PX_PIX_FROM_PACK);
    }
    FFSetCurrentPack(remembered);
    if (!pm && g_placeholders) {
        uint32_t hash = 2166136261u;
        for (const char *c = name; *c; c++)
            hash = (hash ^ uint8_t(*c)) * 16777619u;
        pm = PxAllocPix(BR_PMT_RGB_565, width > 0 ? width : 48, height > 0 ? height : 24, nullptr, 0);
        if (pm) {
            PxFillPix(pm, (hash & 0xFFFF) | 0x0821);
            PxBorder(pm, 0, 0, pm->width, pm->height, 0xFFFF);
        }
    }
    return pm;
}

void free_ikon(VokIkon *k)
{
    if (k->focusPix && !k->focusShared) {
        if (k->focusPixMovie)
            PxFreePixNP(k->focusPix);
        else
            PxFreePix(k->focusPix);
    } else if (k->focusPix && k->focusShared == 2) {
        PxFreePixNP(k->focusPix);
    }
    if (k->pix) {
        if (k->pixMovie)
            PxFreePixNP(k->pix);
        else
            PxFreePix(k->pix);
    }
    KillMovie(k->pixMovie);
    KillMovie(k->focusPixMovie);
    if (k->clip && g_closeIkonClip)
        g_closeIkonClip(k);
    k->pix = k->focusPix = nullptr;
    k->pixMovie = k->focusPixMovie = nullptr;
    k->focusShared = 0;
    k->clip = nullptr;
    free_control(k);
}

}  // namespace vok

using namespace vok;

VOK_EXPORT int openPixOrMov(const char *name, const MOVIEDATA *movie, br_pixelmap **pix, PMVMOVIE **played)
{
    *pix = nullptr;
    auto hint = g_pictureHint;
    g_pictureHint = {};
    if (played)
        *played = nullptr;
    if (!name)
        return SetLastMsgError(PXERR_BADNAME);
    int kind;
    VokScene *scene = engine().running;
    if (!is_movie(name, &kind)) {
        *pix = load_picture(scene, name, hint.x, hint.y);
        return *pix != nullptr;
    }
    if (!movie)
        return SetLastMsgError("The MOVIEDATA pointer is NULL in 'openPixOrMov'");
    FFPACKHANDLE *remembered = FFGetCurrentPack();
    PMVMOVIE *mv = nullptr;
    FFPACKHANDLE *packs[2] = {scene ? scene->dataPackHandle : nullptr, scene ? scene->langPackHandle : nullptr};
    int bits = 0;
    for (FFPACKHANDLE *pack : packs)
        if (!mv && !bits && (pack || pack == packs[0])) {
            FFSetCurrentPack(pack);
            int declared = declared_depth(name, kind);
            if (declared && type_of_depth(declared, false) < 0)
                bits = declared;
            else
                mv = OpenMovie(name, kind, PMV_LOOP | PMV_TOPDOWN);
        }
    FFSetCurrentPack(remembered);
    if (bits)
        return SetLastMsgError("Not supported movie bpp: %d", bits);
    if (!mv)
        return SetLastMsgError(PXERR_NOTFOUND, name);
    int32_t type = type_of_depth(mv->bitsPerPixel, (mv->flags & PMV_ALPHA) != 0);
    if (type < 0) {
        int bits = mv->bitsPerPixel;
        KillMovie(mv);
        return SetLastMsgError("Not supported movie bpp: %d", bits);
    }
    if (movie->flags & VOK_MOVIE_LOOP)
        SetLoopFrames(mv, movie->loopStart, std::min(movie->loopEnd, mv->frameCount));
    if ((movie->flags & VOK_MOVIE_RATE) && movie->fps > 0) {
        mv->frameTime = 1000u / uint32_t(movie->fps);
        mv->fps = uint32_t(movie->fps);
        mv->flags |= PMV_KEEPTIME;
    }
    br_pixelmap *pm = PxAllocPix(type, mv->width, mv->height, mv->pixels, 0);
    if (!pm) {
        int w = mv->width, h = mv->height, bits = mv->bitsPerPixel;
        KillMovie(mv);
        return SetLastMsgError("Error allocating pixelmap for movie '%s': %dx%d/%d", name, w, h, bits);
    }
    if (!played) {
        // The caller wants the first frame only: keep a copy of it, the movie's frame goes with it.
        br_pixelmap *copy = PxAllocPix(type, mv->width, mv->height, nullptr, 0);
        if (copy) {
            int rb = pm->row_bytes, cb = copy->row_bytes;
            size_t n = size_t(std::min(abs(rb), abs(cb)));
            for (int y = 0; y < pm->height; y++)
                memcpy(static_cast<uint8_t *>(copy->pixels) + ptrdiff_t(y) * cb,
                       static_cast<uint8_t *>(pm->pixels) + ptrdiff_t(y) * rb, n);
        }
        PxFreePixNP(pm);
        int w = mv->width, h = mv->height, bits = mv->bitsPerPixel;
        KillMovie(mv);
        if (!copy)
            return SetLastMsgError("Error allocating pixelmap for movie '%s': %dx%d/%d", name, w, h, bits);
        pm = copy;
    }
    *pix = pm;
    if (played)
        *played = mv;
    return 1;
}

VOK_EXPORT void VokAddDirtyRect(VokSession *s, const VokRect *rect)
{
    if (!s)
        return;
    VokRect r = rect ? *rect : s->place;
    if (!intersect(r, s->place))
        return;
    for (int i = 0; i < s->dirtyCount; i++)
        if (holds(s->dirty[i], r))
            return;
    int first = -1;
    for (int i = 0; i < s->dirtyCount;) {
        if (holds(r, s->dirty[i])) {
            if (first < 0) {
                first = i;
                s->dirty[i] = r;
                i++;
            } else {
                s->dirty[i] = s->dirty[--s->dirtyCount];
            }
        } else {
            i++;
        }
    }
    if (first < 0) {
        for (int i = 0; i < s->dirtyCount && first < 0; i++) {
            VokRect &k = s->dirty[i];
            bool hspan = k.x == r.x && k.width == r.width && r.y <= k.y + k.height && k.y <= r.y + r.height;
            bool vspan = k.y == r.y && k.height == r.height && r.x <= k.x + k.width && k.x <= r.x + r.width;
            if (hspan || vspan) {
                k = unite(k, r);
                first = i;
            }
        }
    }
    if (first < 0) {
        if (s->dirtyCount >= VOK_DIRTY_MAX) {
            // The table is full: the next paint copies the whole background, so nothing stays stale.
            s->state |= VOK_SST_FULL;
            r = s->place;
        } else {
            s->dirty[s->dirtyCount++] = r;
        }
    }
    grow_bounds(s, r);
    s->state |= VOK_SST_DIRTY;
}

VOK_EXPORT void VokAddSceneDirtyRect(VokScene *scene, const VokRect *rect)
{
    if (!scene || !rect)
        return;
    for (int i = scene->sessionCount - 1; i >= 0; i--)
        if (scene->sessions[i].state & VOK_SST_BUILT)
            VokAddDirtyRect(&scene->sessions[i], rect);
}

VOK_EXPORT void VokMoveSession(VokSession *s, const VokRect *rect)
{
    VokScene *scene = engine().running;
    if (!s || !scene)
        return;
    VokRect old = s->place;
    VokRect r = rect ? *rect : s->home;
    s->place.x = r.x, s->place.y = r.y;
    s->inputRect.x += r.x - old.x, s->inputRect.y += r.y - old.y;
    VokAddSceneDirtyRect(scene, &old);
    VokAddSceneDirtyRect(scene, &s->place);
}

VOK_EXPORT int InitSession(VokScene *scene, VokSession *s, int index)
{
    SceneEngine &e = engine();
    s->index = index;
    s->state = 0;
    s->focused = nullptr;
    s->procs = nullptr;
    s->backgroundShared = 0;
    if (s->fontFile) {
        PXFONTSET *chain = PxLoadFontset(VokMakeDataPath(s->fontFile), BR_PMT_RGB_565, e.fonts);
        if (!chain && !g_placeholders)
            return 0;
        if (chain)
            e.fonts = chain;  // the screen viewer goes on without a missing font
    }
    s->blitter = blitter_for(s->flags);
    int w = s->width, h = s->height;
    br_pixelmap *bg = nullptr;
    bool first = index == 0;
    if (s->background && !strcmp(s->background, "*")) {
        VokSession *base = &scene->sessions[0];
        if (first || w <= 0 || h <= 0 || !base->backgroundPix)
            return SetLastMsgError("Background \"*\" is not allowed for session %d", s->id);
        bg = PxAllocSubPix(base->backgroundPix, s->x, s->y, w, h);
        if (!bg)
            return 0;
        s->backgroundShared = 1;
    } else if (s->background) {
        bg = load_picture(scene, s->background, w, h);
        if (!bg)
            return 0;
        if (w <= 0)
            w = bg->width;
        if (h <= 0)
            h = bg->height;
    }
    if (first)
        w = scene->curWidth, h = scene->curHeight;
    if (w <= 0 || h <= 0) {
        if (bg && !s->backgroundShared)
            PxFreePix(bg);
        return SetLastMsgError("Session %d has no size", s->id);
    }
    int visW = s->contentWidth > 0 && s->contentWidth < w ? s->contentWidth : w;
    int visH = s->contentHeight > 0 && s->contentHeight < h ? s->contentHeight : h;
    s->pixWidth = std::max(s->contentWidth, w);
    s->pixHeight = std::max(s->contentHeight, h);
    s->scrollX = s->scrollY = 0;
    int x = s->x, y = s->y;
    if (first)
        x = 0, y = 0;
    else {
        if (s->flags & VOK_SES_HCENTRE)
            x += (scene->curWidth - visW) / 2;
        else if (s->flags & VOK_SES_RIGHT)
            x = scene->curWidth - visW - x;
        if (s->flags & VOK_SES_VCENTRE)
            y += (scene->curHeight - visH) / 2;
        else if (s->flags & VOK_SES_BOTTOM)
            y = scene->curHeight - visH - y;
    }
    s->place = {x, y, visW, visH};
    int32_t type = first || (s->flags & VOK_SES_PLAIN) ? BR_PMT_RGB_565 : PX_PMT_RGB565_ALPHA8;
    // The background at content size, in the session's type.
    if (s->backgroundShared || (bg && bg->type == type && bg->width == s->pixWidth && bg->height == s->pixHeight &&
                                !first)) {
        s->backgroundPix = bg;
    } else {
        br_pixelmap *full = PxAllocPix(type, s->pixWidth, s->pixHeight, nullptr, 0);
        if (!full) {
            if (bg)
                PxFreePix(bg);
            return 0;
        }
        PxFillPix(full, s->fillColour);
        if (first && !scene->underPix)
            capture_client(scene, full);
        if (first && scene->underPix) {
            // The picture under the scene, centred; what it does not cover keeps the fill.
            br_pixelmap *u = scene->underPix;
            int cw = std::min<int>(u->width, full->width), ch = std::min<int>(u->height, full->height);
            CopyRectangle(full, (full->width - cw) / 2, (full->height - ch) / 2, u, (u->width - cw) / 2,
                          (u->height - ch) / 2, cw, ch);
        }
        if (bg) {
            if (first)
                CopyRectTransparent0(full, 0, 0, bg, 0, 0, bg->width, bg->height);
            else
                CopyRectangle(full, 0, 0, bg, 0, 0, std::min<int>(bg->width, full->width),
                              std::min<int>(bg->height, full->height));
            PxFreePix(bg);
        }
        s->backgroundPix = full;
    }
    // The session picture; the first session's is the scene DIB's.
    if (first) {
        s->pix = PxMatchPixToDib(BR_PMT_RGB_565, scene->dib);
    } else {
        s->pix = PxAllocPix(type, visW, visH, nullptr, 0);
    }
    if (!s->pix)
        return 0;
    CopyRectangle(s->pix, 0, 0, s->backgroundPix, 0, 0, visW, visH);
    s->inputRect = {x + s->inputX, y + s->inputY, s->inputWidth > 0 ? s->inputWidth : visW,
                    s->inputHeight > 0 ? s->inputHeight : visH};
    if (s->focusBackground) {
        s->focusBackgroundPix = load_picture(scene, s->focusBackground);
        if (!s->focusBackgroundPix)
            return 0;
    }
    if (s->initRoutine && !s->initRoutine(s))
        return 0;
    if (s->flags & VOK_SES_BORDER)
        PxBorder(s->backgroundPix, 0, 0, s->pixWidth, s->pixHeight, s->borderColour);

    static const MOVIEDATA kDefaults{VOK_MOVIE_DEFAULT_FLAGS, 16, 0, 1000};
    for (int i = 0; i < s->ikonCount; i++) {
        VokIkon *k = &s->ikons[i];
        uint32_t keptState = k->state & VOK_IST_NOMOUSE;
        k->state = 0;
        k->pix = k->focusPix = nullptr;
        k->pixMovie = k->focusPixMovie = nullptr;
        k->focusShared = 0;
        k->clip = nullptr;
        k->linked = nullptr;
        k->blitter = blitter_for(k->flags);
        VokRect r{k->x, k->y, k->width, k->height};
        const bool clip = k->picture && !strcasecmp(k->picture, ".mzi");
        if (clip) {
            int cw = 0, ch = 0;
            if (!g_openIkonClip || !g_openIkonClip(scene, s, k, &cw, &ch)) {
                k->state = keptState;  // a clip that does not open leaves its ikon unbuilt
                continue;
            }
            r.width = cw, r.height = ch;
        } else if (k->picture) {
            g_pictureHint = {k->width, k->height};
            if (!openPixOrMov(k->picture, k->movie ? k->movie : &kDefaults, &k->pix, &k->pixMovie))
                return 0;
        }
        if (k->width <= 0 && k->pix)
            r.width = k->pix->width - 2 * k->width;
        if (k->height <= 0 && k->pix)
            r.height = k->pix->height - 2 * k->height;
        if (k->focusPicture) {
            if (!strcmp(k->focusPicture, "*")) {
                if (s->focusBackgroundPix)
                    k->focusPix = PxAllocSubPix(s->focusBackgroundPix, k->x, k->y, std::max(r.width, 1),
                                                std::max(r.height, 1));
                k->focusShared = 2;
            } else if (!strcmp(k->focusPicture, "?")) {
                k->focusPix = k->pix;
                k->focusShared = 1;
            } else if ((g_pictureHint = {k->width, k->height}), !openPixOrMov(k->focusPicture, k->focusMovie ? k->focusMovie : &kDefaults, &k->focusPix,
                                     &k->focusPixMovie)) {
                return 0;
            }
            if (k->focusPix && !k->focusShared) {
                if (k->width <= 0)
                    r.width = std::max<int>(r.width, k->focusPix->width - 2 * k->width);
                if (k->height <= 0)
                    r.height = std::max<int>(r.height, k->focusPix->height - 2 * k->height);
            }
        }
        k->shownText = clip ? nullptr : shown_text(k);  // a clip's text is its file name
        if ((k->width <= 0 || k->height <= 0) && k->shownText) {
            int tw, th;
            text_size(k->shownText, k->font, &tw, &th);
            if (k->width <= 0)
                r.width = std::max(r.width, tw - 2 * k->width);
            if (k->height <= 0)
                r.height = std::max(r.height, th - 2 * k->height);
        }
        r.width = std::max(r.width, 0), r.height = std::max(r.height, 0);
        if ((k->flags & VOK_IK_AFTERPREV) && i > 0)
            r.x += s->ikons[i - 1].placeRect.x + s->ikons[i - 1].placeRect.width;
        else if (k->flags & VOK_IK_HCENTRE)
            r.x += (visW - r.width) / 2;
        else if (k->flags & VOK_IK_RIGHT)
            r.x = visW - r.width - r.x;
        if (k->flags & VOK_IK_VCENTRE)
            r.y += (visH - r.height) / 2;
        else if (k->flags & VOK_IK_BOTTOM)
            r.y = visH - r.height - r.y;
        k->placeRect = k->drawnRect = r;
        if (k->flags & VOK_IK_INACTIVE) {
            k->state = VOK_IST_SETUP | VOK_IST_INACTIVE | keptState;
            continue;
        }
        if (k->flags & VOK_IK_INBACKGROUND) {
            if (k->pix) {
                int pw = std::min<int>(k->pix->width, r.width), ph = std::min<int>(k->pix->height, r.height);
                k->blitter(s->backgroundPix, r.x + (r.width - pw) / 2, r.y + (r.height - ph) / 2, k->pix, 0, 0, pw,
                           ph, uint32_t(k->blitArg));
            }
            if (k->shownText && e.fonts && PxSelectFont(e.fonts, k->font))
                PxShowTextMl(s->backgroundPix, r.x, r.y, k->shownText);
            if (k->flags & VOK_IK_BORDER)
                PxBorder(s->backgroundPix, r.x, r.y, r.width, r.height, k->borderColour);
            free_ikon(k);
            k->state = VOK_IST_INACTIVE;
            continue;
        }
        k->state = VOK_IST_SETUP | VOK_IST_REDRAW | keptState;
        build_control(k);
        if (k->id && k->id == s->focusId)
            s->focused = k;
    }
    for (int i = 0; i < s->ikonCount; i++) {
        VokIkon *k = &s->ikons[i];
        if (k->linkId)
            for (int j = 0; j < s->ikonCount; j++)
                if (j != i && s->ikons[j].id == k->linkId)
                    k->linked = &s->ikons[j];
    }
    s->home = s->place;
    clear_dirty(s);
    s->state = VOK_SST_BUILT | VOK_SST_FULL;
    if (s->flags & VOK_SES_NOTSHOWN)
        s->state |= VOK_SST_NOTSHOWN;
    if (s->afterBuildRoutine)
        return s->afterBuildRoutine(s);
    return 1;
}

namespace vok {

namespace {

void draw_ikon(VokScene *scene, VokSession *s, VokIkon *k);

// Shows an arrow ikon of a list or scroll view, or hides it giving back what lay under it. A shown
// one is drawn at once: the paint under way may have passed it already, and the loop may sleep next.
void set_arrow(VokScene *scene, VokSession *s, VokIkon *arrow, bool shown)
{
    bool hidden = (arrow->state & VOK_IST_HIDDEN) != 0;
    if (shown == !hidden)
        return;
    if (shown) {
        arrow->state = (arrow->state & ~uint32_t(VOK_IST_HIDDEN)) | VOK_IST_REDRAW;
        VokRect r = arrow->placeRect;
        if (intersect(r, VokRect{s->scrollX, s->scrollY, s->place.width, s->place.height}))
            draw_ikon(scene, s, arrow);
        return;
    }
    arrow->state |= VOK_IST_HIDDEN;
    VokRect r = arrow->drawnRect;
    CopyRectangle(s->pix, r.x - s->scrollX, r.y - s->scrollY, s->backgroundPix, r.x, r.y, r.width, r.height);
    VokRect sr{r.x - s->scrollX + s->place.x, r.y - s->scrollY + s->place.y, r.width, r.height};
    VokAddSceneDirtyRect(scene, &sr);
}

// The arrows of a control: the ikons linked to it with the Up and Down keys.
void set_arrows(VokScene *scene, VokSession *s, VokIkon *k, bool upShown, bool downShown)
{
    for (int i = 0; i < s->ikonCount; i++) {
        VokIkon *a = &s->ikons[i];
        if (a->linked != k || !(a->state & VOK_IST_SETUP) || (a->state & VOK_IST_INACTIVE))
            continue;
        if (a->key == VK_UP)
            set_arrow(scene, s, a, upShown);
        else if (a->key == VK_DOWN)
            set_arrow(scene, s, a, downShown);
    }
}

// One line of a control in font `font`, aligned inside the clip picture `clip` at height y.
void control_line(br_pixelmap *clip, uint32_t align, int font, int y, const char *text)
{
    SceneEngine &e = engine();
    if (!e.fonts || !PxSelectFont(e.fonts, font))
        return;
    int x = 0, w = PxGetTextWidth(text);
    if (align & VOK_ALIGN_HCENTRE)
        x = (clip->width - w) / 2;
    else if (align & VOK_ALIGN_RIGHT)
        x = clip->width - w;
    PxShowText(clip, x, y, text);
}

// Line height of a control's font: its glyph height, at least 1.
int line_height(int font)
{
    SceneEngine &e = engine();
    if (!e.fonts || !PxSelectFont(e.fonts, font))
        return 16;
    return std::max<int>(PxGetTextHeight1(), 1);
}

// Lists, edit fields and scroll views draw their own text, clipped to the ikon. False for other
// ikons (and controls without their record).
bool draw_control(VokScene *scene, VokSession *s, VokIkon *k, VokRect r)
{
    VokList *list = k->type == VOK_IKON_LIST ? list_of(k) : nullptr;
    VokEdit *edit = k->type == VOK_IKON_EDIT ? edit_of(k) : nullptr;
    VokScroll *view = k->type == VOK_IKON_SCROLL ? scroll_of(k) : nullptr;
    if (!list && !edit && !view)
        return false;
    // Only the part inside the session picture is drawn into.
    VokRect c = r;
    // Rows set closer than the font's height keep their descenders below the last one.
    if (list && list->rowHeight > 0)
        c.height += std::max(0, line_height(k->font) - list->rowHeight);
    c.x = std::max(r.x, 0), c.y = std::max(r.y, 0);
    c.width = std::min<int>(r.x + r.width, s->pix->width) - c.x;
    c.height = std::min<int>(r.y + c.height, s->pix->height) - c.y;
    br_pixelmap *clip = c.width > 0 && c.height > 0 ? PxAllocSubPix(s->pix, c.x, c.y, c.width, c.height) : nullptr;
    int ox = r.x - c.x, oy = r.y - c.y; // where the ikon's corner lies in the clip
    if (list) {
        int h = list->rowHeight > 0 ? list->rowHeight : line_height(k->font);
        int rows = std::max(0, std::min(list->visible, list->count - list->first));
        int y = oy;
        if (k->textAlign & VOK_ALIGN_VCENTRE)
            y += (r.height - rows * h) / 2;
        for (int i = 0; clip && i < rows; i++, y += h) {
            int row = list->first + i;
            const char *t = list->rows + size_t(row) * size_t(list->rowSize);
            size_t n = strnlen(t, size_t(list->rowSize));
            std::string text(t + std::min(size_t(std::max(list->offset, 0)), n), t + n);
            control_line(clip, uint32_t(k->textAlign), row == list->selected ? k->focusFont : k->font, y,
                         text.c_str());
        }
        set_arrows(scene, s, k, list->first > 0, list->first + list->visible < list->count);
    } else if (edit) {
        if (clip && edit->text && engine().fonts && PxSelectFont(engine().fonts, edit->font)) {
            int th = PxGetTextHeight1();
            int y = oy + ((k->textAlign & VOK_ALIGN_VCENTRE) ? (r.height - th) / 2 : 0);
            PxShowText(clip, ox - edit->scroll, y, edit->text);
            if (edit->caretShown && engine().focusSession == s) {
                std::string head(edit->text, size_t(std::clamp<int>(edit->caret, 0, int(strlen(edit->text)))));
                int cx = ox - edit->scroll + PxGetTextWidth(head.c_str());
                PxFillPixRect(clip, cx, y, 2, th, k->borderColour ? k->borderColour : 0xFFFF);
            }
        }
    } else {
        std::vector<std::string> lines;
        for (const char *p = k->shownText; p;) {
            const char *end = strchr(p, '\n');
            lines.emplace_back(p, end ? size_t(end - p) : strlen(p));
            p = end ? end + 1 : nullptr;
        }
        int h = line_height(k->font);
        int y = oy;
        for (int i = view->first; clip && i < int(lines.size()) && i < view->first + view->visible; i++, y += h)
            control_line(clip, uint32_t(k->textAlign) | (k->flags & VOK_IK_HCENTRE ? VOK_ALIGN_HCENTRE : 0u), k->font,
                         y, lines[size_t(i)].c_str());
        if (!(k->flags & VOK_IK_ARROWSKEPT))
            set_arrows(scene, s, k, view->first > 0, view->first + view->visible < view->length);
    }
    if (clip)
        PxFreePixNP(clip);
    return true;
}

void draw_ikon(VokScene *scene, VokSession *s, VokIkon *k)
{
    SceneEngine &e = engine();
    VokRect r = k->placeRect;
    r.x -= s->scrollX, r.y -= s->scrollY;
    // What lay under the ikon comes back first (its old place too when it moved).
    if (k->state & VOK_IST_MOVED) {
        VokRect o = k->drawnRect;
        CopyRectangle(s->pix, o.x - s->scrollX, o.y - s->scrollY, s->backgroundPix, o.x, o.y, o.width, o.height);
        VokRect so{o.x - s->scrollX + s->place.x, o.y - s->scrollY + s->place.y, o.width, o.height};
        VokAddSceneDirtyRect(scene, &so);
    }
    CopyRectangle(s->pix, r.x, r.y, s->backgroundPix, k->placeRect.x, k->placeRect.y, r.width, r.height);
    bool focused = s->focused == k;
    if (focused && (k->flags & VOK_IK_FOCUSFILL))
        PxFillPixRect(s->pix, r.x, r.y, r.width, r.height, k->fillColour);
    br_pixelmap *pm = focused && k->focusPix && !(k->flags & VOK_IK_KEEP) ? k->focusPix : k->pix;
    if (pm) {
        if (pm == k->pix && k->pixMovie)
            pm->pixels = k->pixMovie->pixels;
        if (pm == k->focusPix && k->focusPixMovie)
            pm->pixels = k->focusPixMovie->pixels;
        int pw = std::min<int>(pm->width, r.width), ph = std::min<int>(pm->height, r.height);
        int dx = r.x + (r.width - pw) / 2, dy = r.y + (r.height - ph) / 2;
        if (k->flags & VOK_IK_PLAIN)
            CopyRectangle(s->pix, dx, dy, pm, 0, 0, pw, ph);
        else
            CopyRectTransparent0(s->pix, dx, dy, pm, 0, 0, pw, ph);
    }
    if (draw_control(scene, s, k, r)) {
        // drawn with its rows, selection, caret or window
    } else if (k->shownText && e.fonts && PxSelectFont(e.fonts, focused ? k->focusFont : k->font)) {
        int tw, th;
        PxGetTextWHMl(k->shownText, &tw, &th);
        int tx = r.x, ty = r.y;
        if (k->textAlign & VOK_ALIGN_HCENTRE)
            tx += (r.width - tw) / 2;
        else if (k->textAlign & VOK_ALIGN_RIGHT)
            tx += r.width - tw;
        if (k->textAlign & VOK_ALIGN_VCENTRE)
            ty += (r.height - th) / 2;
        else if (k->textAlign & VOK_ALIGN_BOTTOM)
            ty += r.height - th;
        PxShowTextMl(s->pix, tx, ty, k->shownText);
    }
    if ((focused && (k->flags & VOK_IK_FOCUSBORDER)) || (k->flags & VOK_IK_BORDER))
        PxBorder(s->pix, r.x, r.y, r.width, r.height, k->borderColour);
    k->drawnRect = k->placeRect;
    k->state &= ~uint32_t(VOK_IST_REDRAW | VOK_IST_MOVED);
    VokRect sr{r.x + s->place.x, r.y + s->place.y, r.width, r.height};
    VokAddSceneDirtyRect(scene, &sr);
}

void run_frame_procs(VokSession *s, bool start)
{
    for (VokSessionProc *p = s->procs; p;) {
        VokProcRoutine fn = start ? p->frameStartProc : p->frameEndProc;
        if (fn && fn(p) < 0)
            p = RemoveProcFromSession(s, p);
        else
            p = p->next;
    }
}

}  // namespace

void paint_session(VokScene *scene, VokSession *s)
{
    if (!(s->state & VOK_SST_BUILT) || (s->state & VOK_SST_NOTSHOWN))
        return;
    if (s->state & VOK_SST_PENDING) {
        s->state &= ~uint32_t(VOK_SST_PENDING);
        s->state ^= VOK_SST_HIDDEN;
        // Hiding gives back what lay under the session; showing draws it whole.
        VokAddSceneDirtyRect(scene, &s->place);
        if (!(s->state & VOK_SST_HIDDEN))
            s->state |= VOK_SST_FULL;
    }
    if (s->state & VOK_SST_HIDDEN)
        return;
    if (s->paintDepth++ == 0)
        run_frame_procs(s, true);
    bool full = (s->state & VOK_SST_FULL) != 0;
    if (full) {
        CopyRectangle(s->pix, 0, 0, s->backgroundPix, s->scrollX, s->scrollY, s->place.width, s->place.height);
        s->state &= ~uint32_t(VOK_SST_FULL);
        VokAddSceneDirtyRect(scene, &s->place);
    }
    VokRect view{s->scrollX, s->scrollY, s->place.width, s->place.height};
    for (int i = 0; i < s->ikonCount; i++) {
        VokIkon *k = &s->ikons[i];
        if (!(k->state & VOK_IST_SETUP) || (k->state & (VOK_IST_INACTIVE | VOK_IST_HIDDEN)))
            continue;
        if (k->pixMovie && !(k->flags & VOK_IK_KEEP)) {
            PlayMovie(k->pixMovie);
            if (!(k->pixMovie->flags & PMV_NOFRAME))
                k->state |= VOK_IST_REDRAW;
        }
        if (k->focusPixMovie && s->focused == k && !(k->flags & VOK_IK_KEEP)) {
            PlayMovie(k->focusPixMovie);
            if (!(k->focusPixMovie->flags & PMV_NOFRAME))
                k->state |= VOK_IST_REDRAW;
        }
        VokRect r = k->placeRect;
        if (!intersect(r, view))
            continue;
        if (full || (k->state & VOK_IST_REDRAW))
            draw_ikon(scene, s, k);
    }
    if (--s->paintDepth == 0)
        run_frame_procs(s, false);
}

}  // namespace vok

VOK_EXPORT int MnuBuildScene(void)
{
    SceneEngine &e = engine();
    VokScene *scene = e.running;
    if (!scene || scene->sessionCount <= 0 || !(scene->sessions[0].state & VOK_SST_BUILT))
        return 0;
    if (e.pendingSwitch && timeGetTime() - e.pendingSince >= 500) {
        e.pendingSwitch = false;
        if (e.page)
            HideSession(e.page);
        e.page = e.pendingPage;
        if (e.page)
            ShowSession(e.page);
    }
    e.busy = true;
    for (int i = 1; i < scene->sessionCount; i++)
        paint_session(scene, &scene->sessions[i]);
    // The first session's dirty places come back from its background before its own ikons.
    VokSession *f = &scene->sessions[0];
    if (!(f->state & VOK_SST_FULL))
        for (int i = 0; i < f->dirtyCount; i++) {
            VokRect r = f->dirty[i];
            CopyRectangle(f->pix, r.x, r.y, f->backgroundPix, r.x, r.y, r.width, r.height);
            for (int j = 0; j < f->ikonCount; j++) {
                VokIkon *k = &f->ikons[j];
                VokRect kr = k->drawnRect;
                if ((k->state & VOK_IST_SETUP) && !(k->state & (VOK_IST_INACTIVE | VOK_IST_HIDDEN)) &&
                    intersect(kr, r))
                    k->state |= VOK_IST_REDRAW;
            }
        }
    paint_session(scene, f);
    e.busy = false;
    return (f->state & VOK_SST_DIRTY) != 0;
}

VOK_EXPORT int MnuBuildPic(VokScene *scene)
{
    if (!scene || scene->sessionCount <= 0)
        return 0;
    VokSession *f = &scene->sessions[0];
    if (f->state & (VOK_SST_HIDDEN | VOK_SST_NOTSHOWN))
        return 0;
    for (int i = 1; i < scene->sessionCount; i++) {
        VokSession *s = &scene->sessions[i];
        if (!(s->state & VOK_SST_BUILT) || (s->state & (VOK_SST_HIDDEN | VOK_SST_NOTSHOWN)) || !s->pix) {
            clear_dirty(s);
            continue;
        }
        if (!(s->state & VOK_SST_DIRTY))
            continue;
        // Every place the first session restored is composed again.
        for (int j = 0; j < f->dirtyCount || (f->state & VOK_SST_FULL && j == 0); j++) {
            VokRect r = (f->state & VOK_SST_FULL) ? s->place : f->dirty[j];
            if (!intersect(r, s->place))
                continue;
            s->blitter(f->pix, r.x, r.y, s->pix, r.x - s->place.x, r.y - s->place.y, r.width, r.height, 255);
            if (f->state & VOK_SST_FULL)
                break;
        }
        clear_dirty(s);
    }
    return 1;
}

VOK_EXPORT uint32_t MnuPaintScreen(VokScene *scene, int all)
{
    if (!scene || !MnuBuildPic(scene))
        return 0;
    VokSession *f = &scene->sessions[0];
    DIBUFFER *dib = scene->dib;
    if (dib && scene->dc) {
        int H = dib->bmiHeader.biHeight < 0 ? -dib->bmiHeader.biHeight : dib->bmiHeader.biHeight;
        // A scene's own window starts where the scene does; over the popup it sits at its place.
        bool own = (scene->flags & VOK_SCENE_OWNWINDOW) != 0;
        int ox = own ? 0 : scene->curX, oy = own ? 0 : scene->curY;
        if (all || own) {
            StretchDIBits(scene->dc, ox, oy, scene->curWidth, scene->curHeight, 0, 0,
                          scene->curWidth, scene->curHeight, dib->pBits, reinterpret_cast<BITMAPINFO *>(dib),
                          DIB_RGB_COLORS, SRCCOPY);
        } else if (f->dirtyBounds[2] > f->dirtyBounds[0] && f->dirtyBounds[3] > f->dirtyBounds[1]) {
            int x = f->dirtyBounds[0], y = f->dirtyBounds[1];
            int w = f->dirtyBounds[2] - x, h = f->dirtyBounds[3] - y;
            // Bottom-up DIB: the source y counts from its bottom line.
            StretchDIBits(scene->dc, ox + x, oy + y, w, h, x, H - y - h, w, h, dib->pBits,
                          reinterpret_cast<BITMAPINFO *>(dib), DIB_RGB_COLORS, SRCCOPY);
        }
    }
    clear_dirty(f);
    uint32_t now = timeGetTime();
    return now ? now : 1;
}
