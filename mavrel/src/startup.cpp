// Start-up, the main window and the display: one copy at a time, the framework's record, the
// full-screen question, the window and its procedure, and the shut-down after the loop.
#include <stdio.h>
#include <string.h>

#include "mavrel.h"
#include "win32/ddraw.h"

namespace mavrel {
namespace {

App g_app;
ATOM g_atom = 0;

void dropAtom()
{
    if (g_app.ownAtom) {
        GlobalDeleteAtom(g_atom);
        g_app.ownAtom = false;
    }
}

int failStart()
{
    CoUninitialize();
    dropAtom();
    return -1;
}

// Everything after the loop, in order; the exit code of the run.
int shutDown(int quitCode)
{
    App &a = g_app;
    const bool failed = a.state == kError;
    if (failed)
        MessageBoxA(a.window, "Error while initializing!", kCaption, MB_ICONERROR);
    IfKillSound();
    VokCloseInterFace();
    freeMenuPictures();
    releaseDirectDraw();
    if (a.window != nullptr)
        DestroyWindow(a.window);
    CoUninitialize();
    dropAtom();
    // A run that could not show its menu ends as a failure, not with the code of a quiet close.
    return failed ? -1 : quitCode;
}

}  // namespace

const HotSpot kHotSpots[kSpotCount] = {
    {355, 380, 58, 58, "fwA.pix"},
    {220, 370, 82, 82, "kpA.pix"},
    {0, 0, 75, 40, "exA.pix"},
    {555, 0, 85, 50, "plA.pix"},
};

App &app() { return g_app; }

void resetApp() { g_app = App{}; }

bool claimInstance()
{
    // A first copy between adding its atom and opening its window gets four seconds to finish.
    for (int look = 1;; look++) {
        if (HWND other = FindWindowA(kClassName, nullptr)) {
            SetForegroundWindow(other);
            return false;
        }
        if (GlobalFindAtomA(kAtomName) == 0)
            break;
        if (look == 5) {
            // Nothing shows on screen yet: say on stderr why this copy ends.
            fprintf(stderr,
                    "mavrel: another copy holds the atom \"%s\" but has opened no window in %d seconds; "
                    "this copy ends.\n",
                    kAtomName, look - 1);
            return false;
        }
        Sleep(1000);
    }
    g_atom = GlobalAddAtomA(kAtomName);
    g_app.ownAtom = g_atom != 0;
    return true;
}

bool quickStartRequested(const char *commandLine)
{
    for (const char *p = commandLine; p != nullptr && *p != '\0'; p++)
        if (p[0] == '-' && p[1] == 'q')
            return true;
    return false;
}

int pixelTypeOfDepth(int bits)
{
    switch (bits) {
    case 15: return BR_PMT_RGB_555;
    case 16: return BR_PMT_RGB_565;
    case 24: return BR_PMT_RGB_888;
    case 32: return BR_PMT_RGBA_8888;
    default: return BR_PMT_INDEX_8;
    }
}

HWND createMainWindow()
{
    App &a = g_app;
    if (!a.classRegistered) {
        WNDCLASSA wc{};
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = mainWndProc;
        wc.cbWndExtra = 4;
        wc.hInstance = a.instance;
        wc.hIcon = LoadIconA(a.instance, MAKEINTRESOURCEA(kIconId));
        wc.hCursor = LoadCursorA(a.instance, MAKEINTRESOURCEA(kCursorId));
        wc.lpszClassName = kClassName;
        if (!RegisterClassA(&wc))
            return nullptr;
        a.classRegistered = true;
    }
    RECT r{0, 0, kWidth, kHeight};
    DWORD style = WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU;
    if (!a.fullScreen) {
        const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
        if (sw > kWidth && sh > kHeight) {
            r.left = (sw - kWidth) / 2;
            r.top = (sh - kHeight) / 2;
            r.right = r.left + kWidth;
            r.bottom = r.top + kHeight;
            style = WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
            AdjustWindowRect(&r, style, FALSE);
        } else {
            style = WS_POPUP | WS_CLIPCHILDREN;
        }
    }
    a.window = CreateWindowExA(0, kClassName, kCaption, style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                               nullptr, nullptr, a.instance, nullptr);
    if (a.window != nullptr) {
        dropAtom();
        a.windowDC = GetDC(a.window);
    }
    return a.window;
}

void releaseDirectDraw()
{
    App &a = g_app;
    if (a.directDraw == nullptr)
        return;
    a.directDraw->RestoreDisplayMode();
    a.directDraw->Release();
    a.directDraw = nullptr;
    if (a.face != nullptr)
        a.face->directDraw = nullptr;
}

int setDisplayMode(int width, int height, int bits)
{
    App &a = g_app;
    try {
        if (a.directDraw != nullptr) {
            SetWindowPos(a.window, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOMOVE);
            return 1;
        }
        IDirectDraw *dd = nullptr;
        if (DirectDrawCreate(nullptr, &dd, nullptr) != DD_OK || dd == nullptr)
            return 0;
        a.directDraw = dd;
        if (dd->SetCooperativeLevel(a.window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT) != DD_OK ||
            dd->SetDisplayMode(DWORD(width), DWORD(height), DWORD(bits)) != DD_OK) {
            releaseDirectDraw();
            return 0;
        }
        SetWindowPos(a.window, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOMOVE);
        if (a.face != nullptr)
            a.face->directDraw = dd;
        return 1;
    } catch (...) {
        MessageBeep(UINT(-1));
        MessageBoxA(a.window, "DirectX error.\nTry to reinstall it", kCaption, MB_OK);
        return 0;
    }
}

void draw(HDC dc)
{
    App &a = g_app;
    if (a.dib == nullptr || a.dib->pBits == nullptr)
        return;
    if (dc == nullptr)
        dc = a.windowDC;
    if (dc == nullptr)
        return;
    StretchDIBits(dc, 0, 0, kWidth, kHeight, 0, 0, kWidth, kHeight, a.dib->pBits,
                  reinterpret_cast<const BITMAPINFO *>(a.dib), DIB_RGB_COLORS, SRCCOPY);
}

LRESULT CALLBACK mainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    App &a = g_app;
    switch (message) {
    case WM_DESTROY:
        if (a.windowDC != nullptr)
            ReleaseDC(window, a.windowDC);
        a.windowDC = nullptr;
        if (a.face != nullptr) {
            a.face->ownerWnd = nullptr;
            a.face->hostWnd = nullptr;
            a.face->hostDC = nullptr;
        }
        if (window == a.window)
            a.window = nullptr;
        a.state = kQuit;
        PostQuitMessage(0);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) {
            if (IsIconic(window))
                ShowWindow(window, SW_SHOWNORMAL);
            if (a.fullScreen)
                setDisplayMode(kWidth, kHeight, 16);
        }
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        draw(dc);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_CLOSE:
        a.state = kQuit;
        return 0;
    case WM_ACTIVATEAPP:
        if (wParam == 1) {
            if (a.fullScreen)
                setDisplayMode(kWidth, kHeight, 16);
        } else {
            releaseDirectDraw();
        }
        return 0;
    case WM_SETCURSOR: {
        HCURSOR cursor = LoadCursorA(a.instance, MAKEINTRESOURCEA(kCursorId));
        SetCursor(cursor != nullptr ? cursor : LoadCursorA(nullptr, IDC_ARROW));
        return 1;
    }
    case WM_KEYDOWN:
        menuKey(wParam);
        return 0;
    case WM_SYSCOMMAND:
        if (wParam >= 0xF100 && wParam <= 0xF10F)
            return 0;
        if (wParam >= 0xF140 && wParam <= 0xF14F)
            releaseDirectDraw();
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
        mouseInput(message, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_TIMER:
        onLogoTimer();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI mavrelMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    App &a = g_app;
    if (!claimInstance())
        return -1;
    a.instance = instance;
    CoInitialize(nullptr);
    a.directDraw = nullptr;
    char own[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, own, sizeof own);
    a.programFolder.assign(own, n < sizeof own ? n : 0);
    a.programFolder.erase(a.programFolder.find_last_of('\\') + 1);
    if (!InitVokScore("Data\\"))
        return failStart();
    a.face = VokGetInterFace(VOK_GAME_VARNEL);
    if (a.face != nullptr && a.face->writeRoot != nullptr) {
        a.programFolder = a.face->writeRoot;
        a.developDir = a.face->writeRoot;
    }
    a.quickStart = quickStartRequested(commandLine) ? 1 : 0;
    if (MessageBoxA(nullptr, "Run fullscreen?", kCaption, MB_ICONQUESTION | MB_YESNO) == IDYES)
        a.fullScreen = 1;
    if (!a.fullScreen) {
        HDC screen = GetDC(nullptr);
        const int bits = GetDeviceCaps(screen, BITSPIXEL);
        ReleaseDC(nullptr, screen);
        if (bits < 15) {
            MessageBoxA(nullptr, "Your Windows must be in 16 bit\nor higher color depth", kCaption, MB_ICONERROR);
            return failStart();
        }
    }
    if (createMainWindow() == nullptr) {
        MessageBoxA(nullptr, "Error while initializing", kCaption, MB_ICONERROR);
        return failStart();
    }
    a.face->ownerWnd = a.window;
    a.face->hostWnd = a.window;
    a.face->hostDC = a.windowDC;
    a.face->windowMode = a.fullScreen;
    if (a.fullScreen) {
        a.face->windowMode = -1;
        if (!setDisplayMode(kWidth, kHeight, 16)) {
            MessageBoxA(nullptr, "Error initializing DirectDraw.\nBefore you try again\nplease restart your Windows\n.",
                        kCaption, MB_ICONERROR);
            return failStart();
        }
    }
    VokInitInterFace(a.window);
    a.playerName = a.face->playerName;
    ShowWindow(a.window, SW_SHOWDEFAULT);
    UpdateWindow(a.window);
    a.state = a.quickStart ? kMenuSetup : kLoadAndLogo1;
    while (loopPass()) {
    }
    return shutDown(a.quitCode);
}

}  // namespace mavrel
