// DirectDraw stand-in: cooperative level and display mode only. A set mode is what the programs see as
// the screen (metrics, colour depth); the backend shows their windows full screen at that logical size.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "win/wnd.h"
#include "win32/ddraw.h"

namespace plat {
namespace {

// Read without the window lock by the metrics calls (which may run with it held), hence atomics.
struct Mode {
    std::atomic<bool> set{false};
    std::atomic<int> w{0}, h{0}, bits{0};
    void* owner = nullptr;  // the object that holds exclusive mode
    HWND hwnd = nullptr;
};
Mode g_mode;  // under wlock
std::once_flag g_screen_once;
int g_screen_w = 0, g_screen_h = 0;

void touch_tops() {
    for (auto& [h, w] : win_all())
        if (!(w->style & WS_CHILD)) {
            w->gen++;
            w->dirty = true;
        }
    wcond().notify_all();
}

// Off-screen surfaces in memory. One lock guards the busy flags of every surface, so a blit takes its
// source and target together and two blits in opposite directions cannot wait for each other.
std::mutex g_surface_lock;
std::condition_variable g_surface_free;

class Surface final : public IDirectDrawSurface {
public:
    Surface(DWORD w, DWORD h, int bits, bool rgb555) : w_(w), h_(h), bits_(bits), rgb555_(rgb555) {
        pitch_ = LONG(((w * DWORD(bits) / 8) + 3) & ~3u);
        pixels_.assign(size_t(pitch_) * h, 0);
    }

    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IDirectDrawSurface || iid == IID_IUnknown) {
            *out = static_cast<IDirectDrawSurface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG r = --refs_;
        if (r == 0) delete this;
        return r;
    }

    HRESULT Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE) override {
        if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
        RECT r{0, 0, LONG(w_), LONG(h_)};
        if (rect) {
            if (rect->left < 0 || rect->top < 0 || rect->right > LONG(w_) || rect->bottom > LONG(h_) ||
                rect->left >= rect->right || rect->top >= rect->bottom)
                return DDERR_INVALIDRECT;
            r = *rect;
        }
        std::unique_lock<std::mutex> g(g_surface_lock);
        if (busy_) {
            if (!(flags & DDLOCK_WAIT)) return DDERR_SURFACEBUSY;
            g_surface_free.wait(g, [this] { return !busy_; });
        }
        busy_ = true;
        describe(*desc);
        desc->lpSurface = pixels_.data() + size_t(r.top) * pitch_ + size_t(r.left) * (bits_ / 8);
        desc->dwFlags |= DDSD_LPSURFACE;
        return DD_OK;
    }

    HRESULT Unlock(LPVOID) override {
        std::lock_guard<std::mutex> g(g_surface_lock);
        if (!busy_) return DDERR_INVALIDPARAMS;
        busy_ = false;
        g_surface_free.notify_all();
        return DD_OK;
    }

    HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface* source, LPRECT source_rect, DWORD flags) override {
        auto* src = dynamic_cast<Surface*>(source);
        if (!src) return DDERR_INVALIDPARAMS;
        RECT r{0, 0, LONG(src->w_), LONG(src->h_)};
        if (source_rect) {
            r = *source_rect;
            if (r.left < 0 || r.top < 0 || r.right > LONG(src->w_) || r.bottom > LONG(src->h_) || r.left > r.right ||
                r.top > r.bottom)
                return DDERR_INVALIDRECT;
        }
        std::unique_lock<std::mutex> g(g_surface_lock);
        auto free = [&] { return !busy_ && !src->busy_; };
        if (!free()) {
            if (!(flags & DDBLTFAST_WAIT)) return DDERR_WASSTILLDRAWING;
            g_surface_free.wait(g, free);
        }
        busy_ = src->busy_ = true;
        g.unlock();
        copy_from(*src, r, int64_t(x), int64_t(y));
        g.lock();
        busy_ = src->busy_ = false;
        g_surface_free.notify_all();
        return DD_OK;
    }

    HRESULT GetSurfaceDesc(LPDDSURFACEDESC desc) override {
        if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
        describe(*desc);
        return DD_OK;
    }

private:
    void describe(DDSURFACEDESC& d) const {
        std::memset(&d, 0, sizeof d);
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
        d.dwWidth = w_;
        d.dwHeight = h_;
        d.lPitch = pitch_;
        d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        DDPIXELFORMAT& f = d.ddpfPixelFormat;
        f.dwSize = sizeof f;
        f.dwFlags = DDPF_RGB;
        f.dwRGBBitCount = DWORD(bits_);
        if (bits_ == 32) {
            f.dwRBitMask = 0xFF0000;
            f.dwGBitMask = 0x00FF00;
            f.dwBBitMask = 0x0000FF;
        } else if (rgb555_) {
            f.dwRBitMask = 0x7C00;
            f.dwGBitMask = 0x03E0;
            f.dwBBitMask = 0x001F;
        } else {
            f.dwRBitMask = 0xF800;
            f.dwGBitMask = 0x07E0;
            f.dwBBitMask = 0x001F;
        }
    }

    uint32_t read_rgb(LONG x, LONG y) const {
        const uint8_t* p = pixels_.data() + size_t(y) * pitch_ + size_t(x) * (bits_ / 8);
        if (bits_ == 32) {
            uint32_t v;
            std::memcpy(&v, p, 4);
            return v & 0xFFFFFF;
        }
        uint16_t v;
        std::memcpy(&v, p, 2);
        uint32_t r, g, b;
        if (rgb555_) {
            r = (v >> 10) & 31, g = ((v >> 5) & 31) << 1 | ((v >> 9) & 1), b = v & 31;
        } else {
            r = v >> 11, g = (v >> 5) & 63, b = v & 31;
        }
        return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
    }

    void write_rgb(LONG x, LONG y, uint32_t c) {
        uint8_t* p = pixels_.data() + size_t(y) * pitch_ + size_t(x) * (bits_ / 8);
        if (bits_ == 32) {
            std::memcpy(p, &c, 4);
            return;
        }
        uint32_t r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
        uint16_t v = rgb555_ ? uint16_t((r >> 3) << 10 | (g >> 3) << 5 | b >> 3)
                             : uint16_t((r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
        std::memcpy(p, &v, 2);
    }

    void copy_from(const Surface& src, const RECT& r, int64_t x, int64_t y) {
        const bool same = bits_ == src.bits_ && rgb555_ == src.rgb555_;
        // Within one surface a blit downwards takes the rows from the bottom, so no row is overwritten
        // before it is read.
        const bool upwards = &src == this && y > r.top;
        for (LONG i = 0; i < r.bottom - r.top; i++) {
            const LONG sy = upwards ? r.bottom - 1 - i : r.top + i;
            const int64_t ty = y + (sy - r.top);
            if (ty < 0 || ty >= int64_t(h_)) continue;
            const LONG x0 = LONG(std::max<int64_t>(r.left, r.left - x));
            const LONG x1 = LONG(std::min<int64_t>(r.right, r.left + (int64_t(w_) - x)));
            if (x0 >= x1) continue;
            if (same) {
                const int bytes = bits_ / 8;
                std::memmove(pixels_.data() + size_t(ty) * pitch_ + size_t(x + (x0 - r.left)) * bytes,
                             src.pixels_.data() + size_t(sy) * src.pitch_ + size_t(x0) * bytes, size_t(x1 - x0) * bytes);
                continue;
            }
            for (LONG sx = x0; sx < x1; sx++) write_rgb(LONG(x + (sx - r.left)), LONG(ty), src.read_rgb(sx, sy));
        }
    }

    std::atomic<ULONG> refs_{1};
    DWORD w_, h_;
    int bits_;
    bool rgb555_;
    LONG pitch_ = 0;
    std::vector<uint8_t> pixels_;
    bool busy_ = false;  // under g_surface_lock
};

class DirectDraw;

struct DD1 final : IDirectDraw {
    DirectDraw* o;
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) override;
    HRESULT SetDisplayMode(DWORD w, DWORD h, DWORD bpp) override;
    HRESULT RestoreDisplayMode() override;
    HRESULT CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* out, IUnknown* outer) override;
};

struct DD2 final : IDirectDraw2 {
    DirectDraw* o;
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) override;
    HRESULT SetDisplayMode(DWORD w, DWORD h, DWORD bpp, DWORD, DWORD) override;
    HRESULT RestoreDisplayMode() override;
};

class DirectDraw {
public:
    DD1 one;
    DD2 two;
    std::atomic<ULONG> refs{1};
    bool exclusive = false;
    bool level_set = false;

    DirectDraw() {
        one.o = this;
        two.o = this;
    }

    HRESULT query(const GUID& iid, void** out) {
        if (!out) return E_POINTER;
        if (iid == IID_IDirectDraw || iid == IID_IUnknown) {
            *out = static_cast<IDirectDraw*>(&one);
        } else if (iid == IID_IDirectDraw2) {
            *out = static_cast<IDirectDraw2*>(&two);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        refs++;
        return S_OK;
    }

    ULONG release() {
        ULONG r = --refs;
        if (r == 0) {
            restore();
            std::lock_guard<std::mutex> g(wlock());
            if (g_mode.owner == this) g_mode.owner = nullptr;
            delete this;
        }
        return r;
    }

    HRESULT level(HWND hwnd, DWORD flags) {
        std::lock_guard<std::mutex> g(wlock());
        bool full = flags & DDSCL_FULLSCREEN, excl = flags & DDSCL_EXCLUSIVE;
        if (full != excl || (full && (flags & DDSCL_NORMAL)) || (!full && !(flags & DDSCL_NORMAL)))
            return DDERR_INVALIDPARAMS;
        if (excl) {
            Window* w = win_get(hwnd);
            if (!w || (w->style & WS_CHILD)) return DDERR_INVALIDPARAMS;
            if (g_mode.owner && g_mode.owner != this) return DDERR_EXCLUSIVEMODEALREADYSET;
            g_mode.owner = this;
            g_mode.hwnd = hwnd;
            exclusive = true;
        } else {
            if (g_mode.owner == this) {
                g_mode.owner = nullptr;
                if (g_mode.set) {
                    g_mode.set = false;
                    touch_tops();
                }
            }
            exclusive = false;
        }
        level_set = true;
        return DD_OK;
    }

    HRESULT mode(DWORD w, DWORD h, DWORD bpp) {
        if (!level_set) return DDERR_NOCOOPERATIVELEVELSET;
        if (!exclusive) return DDERR_NOEXCLUSIVEMODE;
        if (w == 0 || h == 0 || w > 4096 || h > 4096 || (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32))
            return DDERR_INVALIDMODE;
        {
            std::lock_guard<std::mutex> g(wlock());
            g_mode.w = static_cast<int>(w);
            g_mode.h = static_cast<int>(h);
            g_mode.bits = static_cast<int>(bpp);
            g_mode.set = true;
            touch_tops();
        }
        log_line("display mode %ux%ux%u", w, h, bpp);
        return DD_OK;
    }

    HRESULT restore() {
        bool was;
        {
            std::lock_guard<std::mutex> g(wlock());
            was = g_mode.set && g_mode.owner == this;
            if (was) {
                g_mode.set = false;
                touch_tops();
            }
        }
        if (was) log_line("display mode restored");
        return DD_OK;
    }
};

HRESULT DD1::QueryInterface(REFIID iid, void** out) { return o->query(iid, out); }
ULONG DD1::AddRef() { return ++o->refs; }
ULONG DD1::Release() { return o->release(); }
HRESULT DD1::SetCooperativeLevel(HWND h, DWORD f) { return o->level(h, f); }
HRESULT DD1::SetDisplayMode(DWORD w, DWORD h, DWORD b) { return o->mode(w, h, b); }
HRESULT DD1::RestoreDisplayMode() { return o->restore(); }
HRESULT DD1::CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* out, IUnknown* outer) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC) || outer) return DDERR_INVALIDPARAMS;
    if (!o->level_set) return DDERR_NOCOOPERATIVELEVELSET;
    if ((desc->dwFlags & DDSD_CAPS) && (desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE)) return DDERR_INVALIDCAPS;
    if ((desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT) || desc->dwWidth == 0 ||
        desc->dwHeight == 0 || desc->dwWidth > 16384 || desc->dwHeight > 16384)
        return DDERR_INVALIDPARAMS;
    int bits = 16;
    bool rgb555 = false;
    if (desc->dwFlags & DDSD_PIXELFORMAT) {
        const DDPIXELFORMAT& f = desc->ddpfPixelFormat;
        if (!(f.dwFlags & DDPF_RGB)) return DDERR_INVALIDPIXELFORMAT;
        if (f.dwRGBBitCount == 32 && f.dwRBitMask == 0xFF0000 && f.dwGBitMask == 0xFF00 && f.dwBBitMask == 0xFF)
            bits = 32;
        else if (f.dwRGBBitCount == 16 && f.dwRBitMask == 0x7C00 && f.dwGBitMask == 0x03E0 && f.dwBBitMask == 0x1F)
            rgb555 = true;
        else if (!(f.dwRGBBitCount == 16 && f.dwRBitMask == 0xF800 && f.dwGBitMask == 0x07E0 && f.dwBBitMask == 0x1F))
            return DDERR_INVALIDPIXELFORMAT;
    }
    *out = new Surface(desc->dwWidth, desc->dwHeight, bits, rgb555);
    return DD_OK;
}
HRESULT DD2::QueryInterface(REFIID iid, void** out) { return o->query(iid, out); }
ULONG DD2::AddRef() { return ++o->refs; }
ULONG DD2::Release() { return o->release(); }
HRESULT DD2::SetCooperativeLevel(HWND h, DWORD f) { return o->level(h, f); }
HRESULT DD2::SetDisplayMode(DWORD w, DWORD h, DWORD b, DWORD, DWORD) { return o->mode(w, h, b); }
HRESULT DD2::RestoreDisplayMode() { return o->restore(); }

}  // namespace

bool display_mode(int& w, int& h, int& bits) {
    std::lock_guard<std::mutex> g(wlock());
    w = g_mode.w;
    h = g_mode.h;
    bits = g_mode.bits;
    return g_mode.set;
}

// Lock may or may not be held by the caller: reads a plain snapshot.
void screen_dims(int& w, int& h) {
    if (g_mode.set) {
        w = g_mode.w;
        h = g_mode.h;
        if (w && h) return;
    }
    std::call_once(g_screen_once, [] { backend().screen_size(g_screen_w, g_screen_h); });
    w = g_screen_w;
    h = g_screen_h;
}

int desktop_bits() {
    if (g_mode.set) return g_mode.bits;
    const char* v = std::getenv("VOK_DESKTOP_BITS");
    if (v && *v) return std::atoi(v);
    return backend().screen_bits();
}

}  // namespace plat

using namespace plat;

WIN32_BEGIN

HRESULT WINAPI DirectDrawCreate(GUID* guid, LPDIRECTDRAW* out, IUnknown* outer) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (outer) return E_NOINTERFACE;  // no aggregation
    if (guid) return DDERR_INVALIDDIRECTDRAWGUID;
    auto* dd = new DirectDraw;
    *out = &dd->one;
    return DD_OK;
}

WIN32_END
