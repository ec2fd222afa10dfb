// The DirectDraw screen of the dialog engine: the display taken (full screen) or shared (windowed) once
// per process. The platform's DirectDraw offers display modes but no surfaces, so the surface set-up
// refuses and the engine draws through the window's device context instead.
#include <string.h>

#include "dialog.h"
#include "pannix/pxdialog.h"
#include "pxstate.h"
#include "vokplat/export.h"
#include "win32/ddraw.h"
#include "win32/windows.h"

namespace {

struct DisplayMode {
    int32_t width, height, bits, refresh;
};

constexpr int kModeMax = 100;

// Process-wide DirectDraw state, kept once made.
struct Screen {
    IDirectDraw *dd = nullptr;
    IDirectDraw2 *dd2 = nullptr;
    DisplayMode modes[kModeMax] = {};
    int mode_count = 0;
    int32_t back_buffers = 0;  // 0: chosen by the set-up
    bool colour_key = false;
    void *primary = nullptr;   // surfaces: none while the platform offers none
    void *back = nullptr;
};
Screen g_screen;

void add_mode(int32_t w, int32_t h, int32_t bits, int32_t refresh)
{
    for (int i = 0; i < g_screen.mode_count; i++) {
        const DisplayMode &m = g_screen.modes[i];
        if (m.width == w && m.height == h && m.bits == bits && m.refresh == refresh)
            return;
    }
    if (g_screen.mode_count < kModeMax)
        g_screen.modes[g_screen.mode_count++] = DisplayMode{w, h, bits, refresh};
}

void release()
{
    if (g_screen.dd2 != nullptr)
        g_screen.dd2->Release();
    if (g_screen.dd != nullptr)
        g_screen.dd->Release();
    g_screen.dd2 = nullptr;
    g_screen.dd = nullptr;
    g_screen.mode_count = 0;
}

}  // namespace

namespace px {

bool dd_screen_setup(HWND window, int32_t width, int32_t height, int32_t *bits)
{
    if (g_screen.dd == nullptr) {
        IDirectDraw *dd = nullptr;
        if (DirectDrawCreate(nullptr, &dd, nullptr) != DD_OK || dd == nullptr)
            return false;
        void *dd2 = nullptr;
        if (dd->QueryInterface(IID_IDirectDraw2, &dd2) != S_OK || dd2 == nullptr) {
            dd->Release();
            return false;
        }
        g_screen.dd = dd;
        g_screen.dd2 = static_cast<IDirectDraw2 *>(dd2);
    }
    const bool full = screen_defaults().full_screen != 0;
    if (full) {
        if (g_screen.dd->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX) != DD_OK)
            return release(), false;
        // The platform does not enumerate modes: the table holds the one the scene asks for.
        add_mode(width, height, *bits, 0);
        HRESULT hr = width == 320 && height == 200 && *bits == 8
                         ? g_screen.dd2->SetDisplayMode(320, 200, 8, 0, 0)
                         : g_screen.dd->SetDisplayMode(DWORD(width), DWORD(height), DWORD(*bits));
        if (hr != DD_OK)
            return release(), false;
    } else {
        if (g_screen.dd->SetCooperativeLevel(window, DDSCL_NORMAL) != DD_OK)
            return release(), false;
        add_mode(320, 200, 8, 0);
        add_mode(640, 480, 8, 0);
        HDC dc = GetDC(nullptr);
        *bits = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
        ReleaseDC(nullptr, dc);
        RECT work;
        RECT at;
        if (SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0) && GetWindowRect(window, &at)) {
            int32_t x = at.left < work.left ? work.left : at.left;
            int32_t y = at.top < work.top ? work.top : at.top;
            if (x != at.left || y != at.top)
                MoveWindow(window, x, y, at.right - at.left, at.bottom - at.top, TRUE);
        }
    }
    // No capabilities to read: without a video-memory figure the larger screens get double buffering.
    if (g_screen.back_buffers == 0)
        g_screen.back_buffers = width > 640 ? 2 : 3;
    g_screen.colour_key = false;
    return true;
}

bool dd_surface_setup(HWND, int32_t, int32_t)
{
    if (g_screen.dd == nullptr)
        return false;
    if (g_screen.primary != nullptr && g_screen.back != nullptr)
        return true;
    if (screen_defaults().full_screen != 0)
        OutputDebugStringA(g_screen.back_buffers >= 2 ? "Creating multiple backbuffer primary\n\r"
                                                      : "Creating no backbuffer primary\n\r");
    // The platform offers no surfaces: give the display back and let the caller draw through the DC.
    release();
    return false;
}

}  // namespace px

VOK_EXPORT HRESULT AmsgFlipScreen(PXSCENE *scene)
{
    if (scene == nullptr || g_screen.back == nullptr)
        return DDERR_INVALIDOBJECT;
    return DD_OK;
}
