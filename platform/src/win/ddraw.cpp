// DirectDraw stand-in: cooperative level and display mode only. A set mode is what the programs see as
// the screen (metrics, colour depth); the backend shows their windows full screen at that logical size.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

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

class DirectDraw;

struct DD1 final : IDirectDraw {
    DirectDraw* o;
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) override;
    HRESULT SetDisplayMode(DWORD w, DWORD h, DWORD bpp) override;
    HRESULT RestoreDisplayMode() override;
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
