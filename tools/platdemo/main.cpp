// platdemo: a 640x480 window painting an animated 16-bit DIB with a square that follows the mouse.
// F toggles full screen through the DirectDraw stand-in; Escape asks whether to quit.
// `platdemo --sound [seconds]` plays a generated tone instead.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "win32/ddraw.h"
#include "win32/windows.h"

namespace {

constexpr int kW = 640, kH = 480;
constexpr DWORD kWindowed = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

struct Dib {
    BITMAPINFOHEADER hd;
    DWORD masks[3];
};

Dib g_info{{sizeof(BITMAPINFOHEADER), kW, kH, 1, 16, BI_BITFIELDS, 0, 0, 0, 0, 0}, {0xF800, 0x07E0, 0x001F}};
std::vector<uint16_t> g_pixels(kW * kH);
unsigned g_frame = 0;
int g_mx = kW / 2, g_my = kH / 2;
LPDIRECTDRAW g_dd = nullptr;
LPDIRECTDRAW2 g_dd2 = nullptr;
RECT g_window_rect;

uint16_t rgb565(int r, int g, int b) { return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)); }

void render() {
    for (int y = 0; y < kH; ++y) {
        uint16_t* row = &g_pixels[static_cast<size_t>(kH - 1 - y) * kW];  // bottom-up
        for (int x = 0; x < kW; ++x) {
            int r = (x + g_frame * 4) & 255, g = (y + g_frame * 2) & 255, b = ((x ^ y) + g_frame) & 255;
            bool square = x >= g_mx - 8 && x < g_mx + 8 && y >= g_my - 8 && y < g_my + 8;
            row[x] = square ? 0xFFFF : rgb565(r / 2 + 32, g / 2 + 32, b / 2 + 32);
        }
    }
}

bool set_full_screen(HWND h, bool on) {
    if (on) {
        if (DirectDrawCreate(nullptr, &g_dd, nullptr) != DD_OK) return false;
        if (g_dd->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&g_dd2)) != S_OK ||
            g_dd2->SetCooperativeLevel(h, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) != DD_OK ||
            g_dd2->SetDisplayMode(kW, kH, 16, 0, 0) != DD_OK) {
            if (g_dd2) g_dd2->Release();
            g_dd->Release();
            g_dd = nullptr;
            g_dd2 = nullptr;
            return false;
        }
        GetWindowRect(h, &g_window_rect);
        SetWindowLongA(h, GWL_STYLE, WS_POPUP | WS_VISIBLE);
        SetWindowPos(h, HWND_TOP, 0, 0, kW, kH, SWP_FRAMECHANGED);
    } else {
        g_dd2->RestoreDisplayMode();
        g_dd2->Release();
        g_dd->Release();
        g_dd = nullptr;
        g_dd2 = nullptr;
        SetWindowLongA(h, GWL_STYLE, kWindowed | WS_VISIBLE);
        SetWindowPos(h, HWND_TOP, g_window_rect.left, g_window_rect.top, g_window_rect.right - g_window_rect.left,
                     g_window_rect.bottom - g_window_rect.top, SWP_FRAMECHANGED);
    }
    return true;
}

LRESULT CALLBACK proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    switch (m) {
    case WM_CREATE: SetTimer(h, 1, 20, nullptr); return 0;
    case WM_TIMER:
        ++g_frame;
        InvalidateRect(h, nullptr, FALSE);
        return 0;
    case WM_MOUSEMOVE:
        g_mx = GET_X_LPARAM(lp);
        g_my = GET_Y_LPARAM(lp);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        render();
        StretchDIBits(dc, 0, 0, kW, kH, 0, 0, kW, kH, g_pixels.data(), reinterpret_cast<BITMAPINFO*>(&g_info),
                      DIB_RGB_COLORS, SRCCOPY);
        EndPaint(h, &ps);
        return 0;
    }
    case WM_ERASEBKGND: return 1;  // the DIB covers everything
    case WM_KEYDOWN:
        if (wp == 'F') set_full_screen(h, g_dd == nullptr);
        if (wp == VK_ESCAPE && MessageBoxA(h, "Quit the demo?", "platdemo", MB_YESNO | MB_ICONQUESTION) == IDYES) DestroyWindow(h);
        return 0;
    case WM_DESTROY:
        if (g_dd) set_full_screen(h, false);
        KillTimer(h, 1);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(h, m, wp, lp);
}

}  // namespace

int play_tone(double seconds);

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--sound") == 0) {
        double seconds = 2.0;
        if (argc > 2) {
            char* end = nullptr;
            seconds = std::strtod(argv[2], &end);
            if (end == argv[2] || *end || !(seconds > 0 && seconds < 600)) {
                std::fprintf(stderr, "platdemo: seconds '%s' is not a number above 0 and below 600\n", argv[2]);
                return 2;
            }
        }
        return play_tone(seconds);
    }
    WNDCLASSA wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "platdemo";
    if (!RegisterClassA(&wc)) return 1;
    RECT r{0, 0, kW, kH};
    AdjustWindowRect(&r, kWindowed, FALSE);
    HWND h = CreateWindowExA(0, "platdemo", "platdemo", kWindowed | WS_VISIBLE, 64, 64, r.right - r.left,
                             r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
    if (!h) return 1;
    UpdateWindow(h);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
