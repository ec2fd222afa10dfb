// Device contexts and the GDI subset: window and memory DCs, brushes, bitmaps, palettes, DIB transfers
// in every format the programs hand over, BitBlt/GetDIBits capture, FillRect and DrawEdge.
// Window surfaces hold 0x00RRGGBB pixels; a window DC draws into its own window's surface only.
#include <algorithm>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "win/wnd.h"

namespace plat {
namespace {

struct GdiObj {
    enum Kind { Brush, Pen, Bitmap, Palette, Font } kind;
    COLORREF colour = 0;
    bool hollow = false;
    bool stock = false;
    int w = 0, h = 0;
    std::vector<uint32_t> px;
    std::vector<PALETTEENTRY> entries;
};

struct DC {
    enum Kind { WindowDC, MemoryDC, ScreenDC } kind;
    HWND hwnd = nullptr;
    bool own = false;  // a class or window DC that ReleaseDC keeps
    HGDIOBJ bitmap = nullptr, brush = nullptr, pen = nullptr, palette = nullptr, font = nullptr;
};

std::map<uintptr_t, std::shared_ptr<GdiObj>> g_objs;
std::map<uintptr_t, std::shared_ptr<DC>> g_dcs;
uintptr_t g_next = 0x50000;
HGDIOBJ g_stock[16];

void* new_handle() {
    void* h = reinterpret_cast<void*>(g_next);
    g_next += 4;
    return h;
}

GdiObj* obj_get(HGDIOBJ h) {
    auto it = g_objs.find(reinterpret_cast<uintptr_t>(h));
    return it == g_objs.end() ? nullptr : it->second.get();
}

DC* dc_get(HDC h) {
    auto it = g_dcs.find(reinterpret_cast<uintptr_t>(h));
    return it == g_dcs.end() ? nullptr : it->second.get();
}

HGDIOBJ add_obj(std::shared_ptr<GdiObj> o) {
    void* h = new_handle();
    g_objs[reinterpret_cast<uintptr_t>(h)] = std::move(o);
    return h;
}

HGDIOBJ stock(int i) {
    if (i < 0 || i >= 16) return nullptr;
    if (!g_stock[i]) {
        auto o = std::make_shared<GdiObj>();
        o->stock = true;
        switch (i) {
        case WHITE_BRUSH: o->kind = GdiObj::Brush; o->colour = RGB(255, 255, 255); break;
        case LTGRAY_BRUSH: o->kind = GdiObj::Brush; o->colour = RGB(192, 192, 192); break;
        case GRAY_BRUSH: o->kind = GdiObj::Brush; o->colour = RGB(128, 128, 128); break;
        case DKGRAY_BRUSH: o->kind = GdiObj::Brush; o->colour = RGB(64, 64, 64); break;
        case BLACK_BRUSH: o->kind = GdiObj::Brush; o->colour = RGB(0, 0, 0); break;
        case NULL_BRUSH: o->kind = GdiObj::Brush; o->hollow = true; break;
        case WHITE_PEN: o->kind = GdiObj::Pen; o->colour = RGB(255, 255, 255); break;
        case BLACK_PEN: o->kind = GdiObj::Pen; break;
        case NULL_PEN: o->kind = GdiObj::Pen; o->hollow = true; break;
        case DEFAULT_PALETTE: o->kind = GdiObj::Palette; break;
        case 14: o->kind = GdiObj::Bitmap; o->w = o->h = 1; o->px.assign(1, 0); break;  // a memory DC's first bitmap
        default: o->kind = GdiObj::Font; break;
        }
        g_stock[i] = add_obj(o);
    }
    return g_stock[i];
}

uint32_t to_px(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

// Colour of a brush, false for a hollow or unknown one; system-colour brushes are COLOR_x + 1.
bool brush_colour(HBRUSH b, uint32_t& out) {
    uintptr_t v = reinterpret_cast<uintptr_t>(b);
    if (v >= 1 && v <= 32) {
        out = to_px(GetSysColor(static_cast<int>(v - 1)));
        return true;
    }
    GdiObj* o = obj_get(b);
    if (!o || o->kind != GdiObj::Brush || o->hollow) return false;
    out = to_px(o->colour);
    return true;
}

struct Target {
    uint32_t* px = nullptr;
    int w = 0, h = 0;
    Window* win = nullptr;
};

Target target_of(HDC hdc) {
    Target t;
    DC* dc = dc_get(hdc);
    if (!dc) return t;
    if (dc->kind == DC::WindowDC) {
        Window* w = win_get(dc->hwnd);
        if (!w) return t;
        t.px = w->pixels.data();
        t.w = w->sw;
        t.h = w->sh;
        t.win = w;
    } else if (dc->kind == DC::MemoryDC) {
        GdiObj* b = obj_get(dc->bitmap);
        if (!b || b->kind != GdiObj::Bitmap) return t;
        t.px = b->px.data();
        t.w = b->w;
        t.h = b->h;
    }
    return t;
}

void fill(Target& t, RECT r, uint32_t c) {
    RECT all{0, 0, t.w, t.h};
    if (!t.px || !IntersectRect(&r, &r, &all)) return;
    for (int y = r.top; y < r.bottom; ++y) std::fill_n(t.px + static_cast<size_t>(y) * t.w + r.left, r.right - r.left, c);
    if (t.win) mark_dirty(t.win);
}

int replicate(uint32_t v, int bits) {
    if (bits <= 0) return 0;
    if (bits >= 8) return static_cast<int>(v >> (bits - 8)) & 0xFF;
    uint32_t r = v << (8 - bits);
    for (int have = bits; have < 8; have += bits) r |= r >> have;
    return static_cast<int>(r & 0xFF);
}

struct Mask {
    uint32_t m = 0;
    int shift = 0, bits = 0;
    void set(uint32_t mask) {
        m = mask;
        shift = mask ? __builtin_ctz(mask) : 0;
        bits = __builtin_popcount(mask);
    }
    int get(uint32_t v) const { return replicate((v & m) >> shift, bits); }
    uint32_t put(int c) const {
        if (!bits) return 0;
        return (static_cast<uint32_t>(c) >> (8 - std::min(bits, 8))) << (shift + std::max(0, bits - 8));
    }
};

// A DIB as the caller handed it over, readable pixel by pixel in top-down row terms.
struct Dib {
    const uint8_t* bits = nullptr;
    int w = 0, h = 0, bpp = 0;
    size_t stride = 0;
    bool bottom_up = true;
    Mask r, g, b;
    uint32_t pal[256] = {};
    // Rows present in memory, as DIB scan numbers (bottom-up scans count from the bottom line).
    int first_scan = 0, scans = 0;

    bool load(const BITMAPINFO* info, const void* data, UINT usage, DC* dc) {
        if (!info || !data) return false;
        const BITMAPINFOHEADER& hd = info->bmiHeader;
        if (hd.biSize < sizeof(BITMAPINFOHEADER) || hd.biWidth <= 0 || hd.biHeight == 0 ||
            hd.biWidth > 65536 || hd.biHeight > 65536 || hd.biHeight < -65536)
            return false;
        bits = static_cast<const uint8_t*>(data);
        w = hd.biWidth;
        h = hd.biHeight < 0 ? -hd.biHeight : hd.biHeight;
        bottom_up = hd.biHeight > 0;
        bpp = hd.biBitCount;
        stride = ((static_cast<size_t>(w) * bpp + 31) / 32) * 4;
        scans = h;
        const uint8_t* table = reinterpret_cast<const uint8_t*>(info) + hd.biSize;
        if (hd.biCompression == BI_BITFIELDS) {
            if (bpp != 16 && bpp != 32) return false;
            uint32_t m[3];
            std::memcpy(m, table, sizeof m);
            r.set(m[0]);
            g.set(m[1]);
            b.set(m[2]);
        } else if (hd.biCompression == BI_RGB) {
            if (bpp == 16) {
                r.set(0x7C00);
                g.set(0x03E0);
                b.set(0x001F);
            } else if (bpp == 24 || bpp == 32) {
                r.set(0xFF0000);
                g.set(0x00FF00);
                b.set(0x0000FF);
            } else if (bpp == 1 || bpp == 4 || bpp == 8) {
                int n = hd.biClrUsed ? static_cast<int>(std::min<DWORD>(hd.biClrUsed, 256)) : (1 << bpp);
                for (int i = 0; i < n; ++i) {
                    if (usage == DIB_PAL_COLORS) {
                        WORD idx;
                        std::memcpy(&idx, table + 2 * i, 2);
                        GdiObj* p = dc ? obj_get(dc->palette) : nullptr;
                        if (p && idx < p->entries.size()) {
                            const PALETTEENTRY& e = p->entries[idx];
                            pal[i] = (e.peRed << 16) | (e.peGreen << 8) | e.peBlue;
                        } else {
                            // No palette selected: indices read as a grey ramp.
                            int v = idx & 0xFF;
                            pal[i] = (v << 16) | (v << 8) | v;
                        }
                    } else {
                        const uint8_t* q = table + 4 * i;
                        pal[i] = (q[2] << 16) | (q[1] << 8) | q[0];
                    }
                }
            } else {
                return false;
            }
        } else {
            return false;
        }
        return true;
    }

    // Top-down row t -> pointer to its bytes, or null when that row was not handed over.
    const uint8_t* row(int t) const {
        if (t < 0 || t >= h) return nullptr;
        int scan = bottom_up ? h - 1 - t : t;
        if (scan < first_scan || scan >= first_scan + scans) return nullptr;
        return bits + static_cast<size_t>(scan - first_scan) * stride;
    }

    uint32_t at(const uint8_t* rp, int x) const {
        switch (bpp) {
        case 1: return pal[(rp[x >> 3] >> (7 - (x & 7))) & 1];
        case 4: return pal[(rp[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
        case 8: return pal[rp[x]];
        case 16: {
            uint32_t v = rp[2 * x] | (rp[2 * x + 1] << 8);
            return (r.get(v) << 16) | (g.get(v) << 8) | b.get(v);
        }
        case 24: return (rp[3 * x + 2] << 16) | (rp[3 * x + 1] << 8) | rp[3 * x];
        case 32: {
            uint32_t v;
            std::memcpy(&v, rp + 4 * x, 4);
            return (r.get(v) << 16) | (g.get(v) << 8) | b.get(v);
        }
        }
        return 0;
    }
};

// 16-bit rows as the games present them every frame (5-6-5 or 5-5-5), eight pixels a step; the
// channels widen exactly as Mask::get does (the top bits repeated into the low ones).
template <bool G6>
void row16(const uint8_t* src, uint32_t* out, int n) {
    int i = 0;
#ifdef __SSE2__
    const __m128i m5 = _mm_set1_epi16(31), mg = _mm_set1_epi16(G6 ? 63 : 31);
    for (; i + 8 <= n; i += 8) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * i));
        __m128i r = _mm_and_si128(_mm_srli_epi16(v, G6 ? 11 : 10), m5);
        __m128i g = _mm_and_si128(_mm_srli_epi16(v, 5), mg);
        __m128i b = _mm_and_si128(v, m5);
        r = _mm_or_si128(_mm_slli_epi16(r, 3), _mm_srli_epi16(r, 2));
        g = G6 ? _mm_or_si128(_mm_slli_epi16(g, 2), _mm_srli_epi16(g, 4))
               : _mm_or_si128(_mm_slli_epi16(g, 3), _mm_srli_epi16(g, 2));
        b = _mm_or_si128(_mm_slli_epi16(b, 3), _mm_srli_epi16(b, 2));
        // 16-bit G:B beside 16-bit 0:R makes the 0x00RRGGBB words.
        __m128i gb = _mm_or_si128(_mm_slli_epi16(g, 8), b);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi16(gb, r));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 4), _mm_unpackhi_epi16(gb, r));
    }
#endif
    for (; i < n; ++i) {
        uint32_t v = uint32_t(src[2 * i]) | uint32_t(src[2 * i + 1]) << 8;
        uint32_t r = (v >> (G6 ? 11 : 10)) & 31, b = v & 31;
        uint32_t g = G6 ? (v >> 5) & 63 : (v >> 5) & 31;
        uint32_t g8 = G6 ? (g << 2 | g >> 4) : (g << 3 | g >> 2);
        out[i] = (r << 3 | r >> 2) << 16 | g8 << 8 | (b << 3 | b >> 2);
    }
}

// The 1:1 copy of a 16-bit DIB in one of the two usual layouts: row by row, clipped once.
bool copy16(Target& t, int xd, int yd, int w, int h, const Dib& d, int xs, int ts) {
    bool g6;
    if (d.bpp != 16 || d.b.m != 0x001F) return false;
    if (d.r.m == 0xF800 && d.g.m == 0x07E0)
        g6 = true;
    else if (d.r.m == 0x7C00 && d.g.m == 0x03E0)
        g6 = false;
    else
        return false;
    // Clip against the target and the source at once.
    int x0 = std::max({0, xd, xd - xs}), x1 = std::min({t.w, xd + w, xd - xs + d.w});
    for (int dy = 0; dy < h && x0 < x1; ++dy) {
        int y = yd + dy;
        if (y < 0 || y >= t.h) continue;
        const uint8_t* rp = d.row(ts + dy);
        if (!rp) continue;
        uint32_t* out = t.px + static_cast<size_t>(y) * t.w + x0;
        const uint8_t* in = rp + 2 * static_cast<size_t>(x0 - xd + xs);
        if (g6)
            row16<true>(in, out, x1 - x0);
        else
            row16<false>(in, out, x1 - x0);
    }
    return true;
}

// Copies the source rectangle (top-down row terms) onto the destination rectangle, scaling by
// nearest sample; negative sizes mirror.
void stretch(Target& t, int xd, int yd, int wd, int hd, const Dib& d, int xs, int ts, int ws, int hs) {
    if (!t.px || !wd || !hd || !ws || !hs) return;
    bool mx = false, my = false;
    if (wd < 0) xd += wd + 1, wd = -wd, mx = !mx;
    if (hd < 0) yd += hd + 1, hd = -hd, my = !my;
    if (ws < 0) xs += ws + 1, ws = -ws, mx = !mx;
    if (hs < 0) ts += hs + 1, hs = -hs, my = !my;
    if (!mx && !my && wd == ws && hd == hs && copy16(t, xd, yd, wd, hd, d, xs, ts)) {
        if (t.win) mark_dirty(t.win);
        return;
    }
    for (int dy = 0; dy < hd; ++dy) {
        int y = yd + dy;
        if (y < 0 || y >= t.h) continue;
        int sy = static_cast<int>(static_cast<int64_t>(dy) * hs / hd);
        const uint8_t* rp = d.row(ts + (my ? hs - 1 - sy : sy));
        if (!rp) continue;
        uint32_t* out = t.px + static_cast<size_t>(y) * t.w;
        for (int dx = 0; dx < wd; ++dx) {
            int x = xd + dx;
            if (x < 0 || x >= t.w) continue;
            int sx = static_cast<int>(static_cast<int64_t>(dx) * ws / wd);
            int px = xs + (mx ? ws - 1 - sx : sx);
            if (px < 0 || px >= d.w) continue;
            out[x] = d.at(rp, px);
        }
    }
    if (t.win) mark_dirty(t.win);
}

void compose_into(Window* w, std::vector<uint32_t>& out) {
    out = w->pixels;
    for (HWND ch : w->children) {
        Window* c = win_get(ch);
        if (!c || !(c->style & WS_VISIBLE)) continue;
        std::vector<uint32_t> sub;
        compose_into(c, sub);
        RECT cr = client_rect_of(c);
        int ox = c->rect.left + cr.left, oy = c->rect.top + cr.top;
        for (int y = 0; y < c->sh; ++y) {
            int ty = oy + y;
            if (ty < 0 || ty >= w->sh) continue;
            for (int x = 0; x < c->sw; ++x) {
                int tx = ox + x;
                if (tx < 0 || tx >= w->sw) continue;
                out[static_cast<size_t>(ty) * w->sw + tx] = sub[static_cast<size_t>(y) * c->sw + x];
            }
        }
    }
}

HDC new_dc(DC::Kind kind, HWND hwnd) {
    auto dc = std::make_shared<DC>();
    dc->kind = kind;
    dc->hwnd = hwnd;
    dc->brush = stock(WHITE_BRUSH);
    dc->pen = stock(BLACK_PEN);
    dc->palette = stock(DEFAULT_PALETTE);
    if (kind == DC::MemoryDC) dc->bitmap = stock(14);
    HDC h = static_cast<HDC>(new_handle());
    g_dcs[reinterpret_cast<uintptr_t>(h)] = dc;
    return h;
}

// Reads a rectangle of what a DC shows (a window's client area with its children) as 0x00RRGGBB.
bool read_source(HDC src, std::vector<uint32_t>& px, int& w, int& h) {
    DC* dc = dc_get(src);
    if (!dc) return false;
    if (dc->kind == DC::WindowDC) {
        Window* win = win_get(dc->hwnd);
        if (!win) return false;
        compose_into(win, px);
        w = win->sw;
        h = win->sh;
        return true;
    }
    if (dc->kind == DC::MemoryDC) {
        GdiObj* b = obj_get(dc->bitmap);
        if (!b) return false;
        px = b->px;
        w = b->w;
        h = b->h;
        return true;
    }
    return false;
}

}  // namespace

bool compose(HWND top, std::vector<uint32_t>& out, int& w, int& h) {
    Window* win = win_get(top);
    if (!win) return false;
    compose_into(win, out);
    w = win->sw;
    h = win->sh;
    return true;
}

HDC window_dc_locked(HWND hwnd) {
    Window* w = win_get(hwnd);
    if (!w) return nullptr;
    if (w->cls->style & CS_OWNDC) {
        if (!w->own_dc) {
            w->own_dc = new_dc(DC::WindowDC, hwnd);
            dc_get(w->own_dc)->own = true;
        }
        return w->own_dc;
    }
    return new_dc(DC::WindowDC, hwnd);
}

}  // namespace plat

using namespace plat;

WIN32_BEGIN

HDC WINAPI GetDC(HWND hwnd) {
    std::lock_guard<std::mutex> g(wlock());
    if (!hwnd) return new_dc(DC::ScreenDC, nullptr);
    return window_dc_locked(hwnd);
}

HDC WINAPI GetWindowDC(HWND hwnd) { return GetDC(hwnd); }

int WINAPI ReleaseDC(HWND, HDC hdc) {
    std::lock_guard<std::mutex> g(wlock());
    DC* dc = dc_get(hdc);
    if (!dc) return 0;
    if (dc->own) return 1;
    g_dcs.erase(reinterpret_cast<uintptr_t>(hdc));
    return 1;
}

HDC WINAPI CreateCompatibleDC(HDC) {
    std::lock_guard<std::mutex> g(wlock());
    return new_dc(DC::MemoryDC, nullptr);
}

BOOL WINAPI DeleteDC(HDC hdc) {
    std::lock_guard<std::mutex> g(wlock());
    return g_dcs.erase(reinterpret_cast<uintptr_t>(hdc)) ? TRUE : FALSE;
}

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
    if (!ps) return nullptr;
    HDC hdc;
    bool erase;
    {
        std::lock_guard<std::mutex> g(wlock());
        Window* w = win_get(hwnd);
        if (!w) return nullptr;
        *ps = PAINTSTRUCT{};
        ps->rcPaint = w->update;
        erase = w->erase;
        w->update = RECT{};
        w->erase = false;
        hdc = window_dc_locked(hwnd);
        ps->hdc = hdc;
    }
    if (erase) ps->fErase = SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0) == 0;
    return hdc;
}

BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
    if (!ps) return FALSE;
    ReleaseDC(hwnd, ps->hdc);
    return TRUE;
}

int WINAPI GetDeviceCaps(HDC, int index) {
    switch (index) {
    case BITSPIXEL: return desktop_bits();
    case PLANES: return 1;
    case HORZRES: return GetSystemMetrics(SM_CXSCREEN);
    case VERTRES: return GetSystemMetrics(SM_CYSCREEN);
    case NUMCOLORS: return -1;
    case RASTERCAPS: return 0;
    case SIZEPALETTE: return 0;
    }
    return 0;
}

HGDIOBJ WINAPI GetStockObject(int index) {
    std::lock_guard<std::mutex> g(wlock());
    if (index == 14) return nullptr;
    return stock(index);
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ obj) {
    std::lock_guard<std::mutex> g(wlock());
    DC* dc = dc_get(hdc);
    GdiObj* o = obj_get(obj);
    if (!dc || !o) return nullptr;
    HGDIOBJ* slot = nullptr;
    switch (o->kind) {
    case GdiObj::Brush: slot = &dc->brush; break;
    case GdiObj::Pen: slot = &dc->pen; break;
    case GdiObj::Font: slot = &dc->font; break;
    case GdiObj::Palette: slot = &dc->palette; break;
    case GdiObj::Bitmap:
        if (dc->kind != DC::MemoryDC) return nullptr;
        slot = &dc->bitmap;
        break;
    }
    HGDIOBJ old = *slot;
    *slot = obj;
    return old;
}

BOOL WINAPI DeleteObject(HGDIOBJ obj) {
    std::lock_guard<std::mutex> g(wlock());
    GdiObj* o = obj_get(obj);
    if (!o) return FALSE;
    if (o->stock) return TRUE;
    g_objs.erase(reinterpret_cast<uintptr_t>(obj));
    return TRUE;
}

int WINAPI GetObjectA(HGDIOBJ obj, int size, LPVOID out) {
    std::lock_guard<std::mutex> g(wlock());
    GdiObj* o = obj_get(obj);
    if (!o || o->kind != GdiObj::Bitmap) return 0;
    if (!out) return sizeof(BITMAP);
    if (size < static_cast<int>(sizeof(BITMAP))) return 0;
    BITMAP bm{0, o->w, o->h, o->w * 4, 1, 32, nullptr};
    std::memcpy(out, &bm, sizeof bm);
    return sizeof(BITMAP);
}

HBRUSH WINAPI CreateSolidBrush(COLORREF c) {
    std::lock_guard<std::mutex> g(wlock());
    auto o = std::make_shared<GdiObj>();
    o->kind = GdiObj::Brush;
    o->colour = c & 0xFFFFFF;
    return static_cast<HBRUSH>(add_obj(o));
}

HBRUSH WINAPI GetSysColorBrush(int index) {
    return reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(index + 1));
}

HBITMAP WINAPI CreateCompatibleBitmap(HDC, int w, int h) {
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384) return nullptr;
    std::lock_guard<std::mutex> g(wlock());
    auto o = std::make_shared<GdiObj>();
    o->kind = GdiObj::Bitmap;
    o->w = w;
    o->h = h;
    o->px.assign(static_cast<size_t>(w) * h, 0);
    return static_cast<HBITMAP>(add_obj(o));
}

int WINAPI StretchDIBits(HDC hdc, int xd, int yd, int wd, int hd, int xs, int ys, int ws, int hs,
                         const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
    std::lock_guard<std::mutex> g(wlock());
    DC* dc = dc_get(hdc);
    Dib d;
    if (!dc || !d.load(info, bits, usage, dc)) return 0;
    if (rop != SRCCOPY) return 0;
    Target t = target_of(hdc);
    // Bottom-up DIBs measure the source rectangle from their bottom line; a negative source height
    // mirrors like a negative destination height does.
    int abs_hs = hs < 0 ? -hs : hs;
    if (hs < 0) hd = -hd;
    int top = d.bottom_up ? d.h - ys - abs_hs : ys;
    stretch(t, xd, yd, wd, hd, d, xs, top, ws, abs_hs);
    return abs_hs;
}

int WINAPI SetDIBitsToDevice(HDC hdc, int xd, int yd, DWORD w, DWORD h, int xs, int ys, UINT start, UINT lines,
                             const void* bits, const BITMAPINFO* info, UINT usage) {
    std::lock_guard<std::mutex> g(wlock());
    DC* dc = dc_get(hdc);
    Dib d;
    if (!dc || !d.load(info, bits, usage, dc)) return 0;
    if (w > 65536 || h > 65536) return 0;
    d.first_scan = static_cast<int>(start);
    d.scans = static_cast<int>(std::min<UINT>(lines, static_cast<UINT>(d.h)));
    Target t = target_of(hdc);
    int top = d.bottom_up ? d.h - ys - static_cast<int>(h) : ys;
    stretch(t, xd, yd, static_cast<int>(w), static_cast<int>(h), d, xs, top, static_cast<int>(w), static_cast<int>(h));
    return static_cast<int>(lines);
}

BOOL WINAPI StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int xs, int ys, int ws, int hs, DWORD rop) {
    std::lock_guard<std::mutex> g(wlock());
    Target t = target_of(dst);
    if (!t.px) return FALSE;
    if (rop == BLACKNESS || rop == WHITENESS) {
        fill(t, RECT{x, y, x + w, y + h}, rop == BLACKNESS ? 0 : 0xFFFFFF);
        return TRUE;
    }
    if (rop != SRCCOPY) return FALSE;
    std::vector<uint32_t> px;
    int sw, sh;
    if (!read_source(src, px, sw, sh)) return FALSE;
    // Reuse the DIB sampler on a top-down 32-bit view of the source.
    BITMAPINFO bi{};
    bi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), sw, -sh, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    Dib d;
    if (sw <= 0 || sh <= 0 || !d.load(&bi, px.data(), DIB_RGB_COLORS, nullptr)) return FALSE;
    stretch(t, x, y, w, h, d, xs, ys, ws, hs);
    return TRUE;
}

BOOL WINAPI BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int xs, int ys, DWORD rop) {
    return StretchBlt(dst, x, y, w, h, src, xs, ys, w, h, rop);
}

int WINAPI GetDIBits(HDC, HBITMAP bmp, UINT start, UINT lines, LPVOID bits, LPBITMAPINFO info, UINT) {
    std::lock_guard<std::mutex> g(wlock());
    GdiObj* o = obj_get(bmp);
    if (!o || o->kind != GdiObj::Bitmap || !info) return 0;
    BITMAPINFOHEADER& hd = info->bmiHeader;
    if (!bits) {
        if (hd.biBitCount == 0) {
            hd.biWidth = o->w;
            hd.biHeight = o->h;
            hd.biPlanes = 1;
            hd.biBitCount = 32;
            hd.biCompression = BI_RGB;
            hd.biSizeImage = static_cast<DWORD>(o->w * 4 * o->h);
        }
        return 1;
    }
    if (hd.biWidth <= 0 || hd.biHeight == 0) return 0;
    int bpp = hd.biBitCount;
    Mask r, gm, b;
    uint32_t* masks = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(info) + hd.biSize);
    if (bpp == 16) {
        if (hd.biCompression == BI_BITFIELDS) {
            if (!masks[0] && !masks[1] && !masks[2]) masks[0] = 0xF800, masks[1] = 0x07E0, masks[2] = 0x001F;
            r.set(masks[0]);
            gm.set(masks[1]);
            b.set(masks[2]);
        } else {
            r.set(0x7C00);
            gm.set(0x03E0);
            b.set(0x001F);
        }
    } else if (bpp != 24 && bpp != 32) {
        return 0;
    }
    int W = hd.biWidth, H = hd.biHeight < 0 ? -hd.biHeight : hd.biHeight;
    bool bottom_up = hd.biHeight > 0;
    size_t stride = ((static_cast<size_t>(W) * bpp + 31) / 32) * 4;
    int done = 0;
    for (UINT s = start; s < start + lines && static_cast<int>(s) < H; ++s, ++done) {
        int t = bottom_up ? H - 1 - static_cast<int>(s) : static_cast<int>(s);
        uint8_t* out = static_cast<uint8_t*>(bits) + static_cast<size_t>(s - start) * stride;
        std::memset(out, 0, stride);
        if (t >= o->h) continue;
        const uint32_t* in = o->px.data() + static_cast<size_t>(t) * o->w;
        for (int x = 0; x < W && x < o->w; ++x) {
            uint32_t p = in[x];
            int R = (p >> 16) & 0xFF, G = (p >> 8) & 0xFF, B = p & 0xFF;
            if (bpp == 16) {
                uint16_t v = static_cast<uint16_t>(r.put(R) | gm.put(G) | b.put(B));
                out[2 * x] = v & 0xFF;
                out[2 * x + 1] = v >> 8;
            } else if (bpp == 24) {
                out[3 * x] = B, out[3 * x + 1] = G, out[3 * x + 2] = R;
            } else {
                out[4 * x] = B, out[4 * x + 1] = G, out[4 * x + 2] = R, out[4 * x + 3] = 0;
            }
        }
    }
    return done;
}

COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF c) {
    std::lock_guard<std::mutex> g(wlock());
    Target t = target_of(hdc);
    if (!t.px || x < 0 || y < 0 || x >= t.w || y >= t.h) return CLR_INVALID;
    t.px[static_cast<size_t>(y) * t.w + x] = to_px(c);
    if (t.win) mark_dirty(t.win);
    return c & 0xFFFFFF;
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
    std::lock_guard<std::mutex> g(wlock());
    std::vector<uint32_t> px;
    int w, h;
    if (!read_source(hdc, px, w, h) || x < 0 || y < 0 || x >= w || y >= h) return CLR_INVALID;
    uint32_t p = px[static_cast<size_t>(y) * w + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

int WINAPI FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    if (!rect) return 0;
    std::lock_guard<std::mutex> g(wlock());
    uint32_t c;
    if (!brush_colour(brush, c)) return 0;
    Target t = target_of(hdc);
    if (!t.px && !dc_get(hdc)) return 0;
    fill(t, *rect, c);
    return 1;
}

BOOL WINAPI DrawEdge(HDC hdc, LPRECT rect, UINT edge, UINT flags) {
    if (!rect) return FALSE;
    std::lock_guard<std::mutex> g(wlock());
    Target t = target_of(hdc);
    if (!dc_get(hdc)) return FALSE;
    RECT r = *rect;
    auto line = [&](bool tl, uint32_t c) {
        if (tl) {
            if (flags & BF_TOP) fill(t, RECT{r.left, r.top, r.right, r.top + 1}, c);
            if (flags & BF_LEFT) fill(t, RECT{r.left, r.top, r.left + 1, r.bottom}, c);
        } else {
            if (flags & BF_BOTTOM) fill(t, RECT{r.left, r.bottom - 1, r.right, r.bottom}, c);
            if (flags & BF_RIGHT) fill(t, RECT{r.right - 1, r.top, r.right, r.bottom}, c);
        }
    };
    uint32_t light = to_px(GetSysColor(COLOR_3DLIGHT)), hi = to_px(GetSysColor(COLOR_BTNHIGHLIGHT));
    uint32_t shadow = to_px(GetSysColor(COLOR_BTNSHADOW)), dark = to_px(GetSysColor(COLOR_3DDKSHADOW));
    auto ring = [&](uint32_t tl, uint32_t br) {
        line(false, br);
        line(true, tl);
        if (flags & BF_LEFT) r.left++;
        if (flags & BF_TOP) r.top++;
        if (flags & BF_RIGHT) r.right--;
        if (flags & BF_BOTTOM) r.bottom--;
    };
    if (edge & BDR_RAISEDOUTER)
        ring(light, dark);
    else if (edge & BDR_SUNKENOUTER)
        ring(shadow, hi);
    if (edge & BDR_RAISEDINNER)
        ring(hi, shadow);
    else if (edge & BDR_SUNKENINNER)
        ring(dark, light);
    if (flags & BF_MIDDLE) fill(t, r, to_px(GetSysColor(COLOR_BTNFACE)));
    if (flags & BF_ADJUST) *rect = r;
    return TRUE;
}

HPALETTE WINAPI CreatePalette(const LOGPALETTE* lp) {
    if (!lp || lp->palNumEntries == 0 || lp->palNumEntries > 256) return nullptr;
    std::lock_guard<std::mutex> g(wlock());
    auto o = std::make_shared<GdiObj>();
    o->kind = GdiObj::Palette;
    o->entries.assign(lp->palPalEntry, lp->palPalEntry + lp->palNumEntries);
    return static_cast<HPALETTE>(add_obj(o));
}

HPALETTE WINAPI SelectPalette(HDC hdc, HPALETTE pal, BOOL) {
    std::lock_guard<std::mutex> g(wlock());
    DC* dc = dc_get(hdc);
    GdiObj* o = obj_get(pal);
    if (!dc || !o || o->kind != GdiObj::Palette) return nullptr;
    HGDIOBJ old = dc->palette;
    dc->palette = pal;
    return static_cast<HPALETTE>(old);
}

UINT WINAPI RealizePalette(HDC hdc) {
    std::lock_guard<std::mutex> g(wlock());
    DC* dc = dc_get(hdc);
    if (!dc) return GDI_ERROR;
    GdiObj* o = obj_get(dc->palette);
    return o ? static_cast<UINT>(o->entries.size()) : 0;
}

BOOL WINAPI GdiFlush(void) { return TRUE; }

BOOL WINAPI SetRect(LPRECT r, int l, int t, int rr, int b) {
    if (!r) return FALSE;
    *r = RECT{l, t, rr, b};
    return TRUE;
}
BOOL WINAPI SetRectEmpty(LPRECT r) { return SetRect(r, 0, 0, 0, 0); }
BOOL WINAPI IsRectEmpty(const RECT* r) { return !r || r->right <= r->left || r->bottom <= r->top; }
BOOL WINAPI OffsetRect(LPRECT r, int dx, int dy) {
    if (!r) return FALSE;
    r->left += dx, r->right += dx, r->top += dy, r->bottom += dy;
    return TRUE;
}
BOOL WINAPI InflateRect(LPRECT r, int dx, int dy) {
    if (!r) return FALSE;
    r->left -= dx, r->right += dx, r->top -= dy, r->bottom += dy;
    return TRUE;
}
BOOL WINAPI IntersectRect(LPRECT out, const RECT* a, const RECT* b) {
    if (!out || !a || !b) return FALSE;
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&r)) {
        *out = RECT{};
        return FALSE;
    }
    *out = r;
    return TRUE;
}
BOOL WINAPI UnionRect(LPRECT out, const RECT* a, const RECT* b) {
    if (!out || !a || !b) return FALSE;
    if (IsRectEmpty(a)) {
        *out = *b;
    } else if (IsRectEmpty(b)) {
        *out = *a;
    } else {
        *out = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                    std::max(a->bottom, b->bottom)};
    }
    return !IsRectEmpty(out);
}
BOOL WINAPI PtInRect(const RECT* r, POINT p) {
    return r && p.x >= r->left && p.x < r->right && p.y >= r->top && p.y < r->bottom;
}
BOOL WINAPI CopyRect(LPRECT out, const RECT* in) {
    if (!out || !in) return FALSE;
    *out = *in;
    return TRUE;
}
BOOL WINAPI EqualRect(const RECT* a, const RECT* b) {
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

WIN32_END
