// The module's start and end: set-up, the window (the host's, taken over, or our own), the message
// loop and the one clean-up that a failed set-up and both close paths share. The module is unloaded
// between two starts, so everything it registered or started is given back at the clean-up.
#include "wiring.h"
#include "terrow/trplay.h"
#include "terrow/trshell.h"

#include <cmath>
#include <cstring>

#include "pannix/pxfont.h"
#include "terrow/phys/phparams.h"
#include "terrow/trdib.h"
#include "terrow/trfield.h"
#include "terrow/trgame.h"
#include "terrow/trmodule.h"
#include "terrow/trmsg.h"
#include "terrow/trtoolbar.h"
#include "vokplat/module.h"
#include "vokscore/vokiface.h"
#include "vokscore/vokloading.h"
#include "vokscore/vokmedia.h"
#include "vokscore/vokpath.h"
#include "win32/ddraw.h"
#include "win32/winfile.h"
#include "win32/wintime.h"
#include "win32/winsync.h"

namespace {

TrShell g_shell;
bool g_looping = false;
void (*g_frame_hook)(void) = nullptr;

void trace(const char *text)
{
    (void)text;  // start-up trace texts go nowhere in this build
}

void give_host_back()
{
    if (g_shell.hostTaken && g_shell.heldHost != nullptr && g_shell.savedProc != nullptr) {
        if ((WNDPROC)GetWindowLongPtrA(g_shell.heldHost, GWLP_WNDPROC) == TrWndProc)
            SetWindowLongPtrA(g_shell.heldHost, GWLP_WNDPROC, (LONG_PTR)g_shell.savedProc);
    }
    g_shell.hostTaken = 0;
}

// Our class goes with the module; inside our window's WM_DESTROY it still has that window, so the
// exports try again once the loop is over.
void release_class()
{
    if (g_shell.classRegistered && UnregisterClassA(TR_CLASS_NAME, g_shell.instance))
        g_shell.classRegistered = 0;
}


void show_message(int32_t id)
{
    TrMessageBox(TrMessage(id), TR_MB_OK);
}

}  // namespace

extern "C" {

TrShell *TrGetShell(void)
{
    return &g_shell;
}

BOOL WINAPI TrDllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    g_shell.instance = instance;
    return reason <= 3 ? TRUE : FALSE;
}

void TrSetFrameHook(void (*hook)(void))
{
    g_frame_hook = hook;
}

int32_t TrWorkerRunning(void)
{
    return TrToolbarWorkerAlive();
}

void TrWorkerPulse(void)
{
    TrToolbarWorkerWake();
}

int32_t TrModuleInit(void)
{
    TrModule *m = TrGetModule();
    HINSTANCE instance = g_shell.instance;
    int32_t play = g_shell.playMode;
    HWND parent = g_shell.playParent;
    const char *path = g_shell.playPath;
    std::memset(&g_shell, 0, sizeof g_shell);
    g_shell.instance = instance;
    g_shell.playMode = play;
    g_shell.playParent = parent;
    g_shell.playPath = path;
    g_shell.live = 1;
    g_shell.startCursor = GetCursor();
    TrDibResetPresents();
    m->warning = 0;

    m->iface = VokGetInterFace(VOK_GAME_TERROW);
    VokInterFace *f = m->iface;
    if (g_shell.playMode && g_shell.playPath != nullptr)
        snprintf(f->levelPath, sizeof f->levelPath, "%s", g_shell.playPath);
    g_shell.settings[0] = 1;
    g_shell.settings[1] = 1;
    g_shell.settings[2] = 0;
    if (f->generalSettings != nullptr)
        f->generalSettings->gameBlocks[2] = g_shell.settings;
    snprintf(g_shell.readFolder, sizeof g_shell.readFolder, "%s", VokMakeReadPath(nullptr, "%s", ""));
    g_shell.editor = f->gameKind == TR_EDITOR_KIND ? 1 : 0;
    SetCurrentDirectoryA(g_shell.readFolder);

    TrLoadSettings();
    g_shell.fullScreenRequest = m->ini.FullScreen;
    trace("iniboot done");
    if (!TrBrondelBegin(5))
        return 0;
    trace("3D done");
    // Before the window and its worker: a start that cannot load its models shows no window.
    if (!TrLoadLooks())
        return 0;
    if (SetCurrentDirectoryA("fw\\"))
        Phy_FLoad();
    // The physics draws through the game's actors; a traced ball logs into the write folder.
    TrSimInstallPhysics(VokMakeWritePath(nullptr, "%s", "Terrow.log"));
    *TrPlayModeGet() = TrPlayMode{g_shell.editor ? 0 : 1, 0, 0, m->ini.DebugMode, 0, &g_shell.settings[2], {nullptr, nullptr}};
    SetCurrentDirectoryA(g_shell.readFolder);
    g_shell.fonts = PxLoadFontset(VokMakeDataPath("terrow"), 0, nullptr);

    if (f->hostWnd == nullptr || g_shell.playMode) {
        TrCreateOwnWindow();
        trace("IW own done");
    } else {
        g_shell.heldHost = f->hostWnd;
        g_shell.savedProc = (WNDPROC)GetWindowLongPtrA(f->hostWnd, GWLP_WNDPROC);
        SetWindowLongPtrA(f->hostWnd, GWLP_WNDPROC, (LONG_PTR)TrWndProc);
        g_shell.hostTaken = 1;
        if (!TrWindowSetup(f->hostWnd, 1))
            return 0;
        trace("IW system done");
    }
    if (g_shell.window == nullptr)
        return 0;
    m->window = g_shell.window;
    UpdateWindow(g_shell.window);
    SetCurrentDirectoryA(g_shell.readFolder);
    if (m->warning)
        return 0;
    TrGameStart();
    TrSetPaintState(2);
    return m->warning == 0 ? 1 : 0;
}

HWND TrCreateOwnWindow(void)
{
    WNDCLASSA wc = {};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = TrWndProc;
    wc.hInstance = g_shell.instance;
    wc.hIcon = LoadIconA(g_shell.instance, MAKEINTRESOURCEA(132));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = TR_CLASS_NAME;
    if (!g_shell.classRegistered)
        g_shell.classRegistered = RegisterClassA(&wc) != 0;
    HWND w;
    g_shell.ownWindow = 1;
    if (g_shell.playParent != nullptr) {
        int x = GetSystemMetrics(SM_CXSCREEN) / 2 - 320, y = GetSystemMetrics(SM_CYSCREEN) / 2 - 240;
        w = CreateWindowA(TR_CLASS_NAME, TR_WINDOW_TITLE, WS_POPUP | WS_VISIBLE, x, y, 640, 480,
                          g_shell.playParent, nullptr, g_shell.instance, nullptr);
    } else if (!TrGetModule()->frameless && !g_shell.playMode) {
        w = CreateWindowA(TR_CLASS_NAME, TR_WINDOW_TITLE, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                          640 + 2 * GetSystemMetrics(SM_CXFRAME),
                          480 + GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYFRAME), nullptr,
                          nullptr, g_shell.instance, nullptr);
    } else {
        w = CreateWindowA(TR_CLASS_NAME, TR_WINDOW_TITLE, WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr,
                          nullptr, g_shell.instance, nullptr);
    }
    if (w == nullptr)
        g_shell.ownWindow = 0;
    return w;
}

int32_t TrWindowSetup(HWND window, int32_t hostWindow)
{
    TrModule *m = TrGetModule();
    g_shell.window = window;
    m->window = window;
    g_shell.dc = GetDC(window);
    TrSetupCameras();
    // The interface's packs, pictures and sounds come with the interface set-up; the record is
    // opened for this window here.
    VokInitInterFace(window);
    g_shell.interfaceOpen = 1;
    if (!g_shell.editor)
        g_shell.game = 1;
    if (g_shell.playMode)
        g_shell.fullScreenRequest = 1;
    if (g_shell.fullScreenRequest) {
        g_shell.fullScreenRequest = 0;
        m->frameless = 0;
        IDirectDraw *dd = nullptr;
        if (DirectDrawCreate(nullptr, &dd, nullptr) == DD_OK && dd != nullptr) {
            IDirectDraw2 *dd2 = nullptr;
            if (dd->QueryInterface(IID_IDirectDraw2, (void **)&dd2) != S_OK || dd2 == nullptr) {
                dd->Release();
            } else {
                g_shell.directDraw = dd;
                g_shell.directDraw2 = dd2;
                dd2->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
                dd2->SetDisplayMode(640, 480, 16, 0, 0);
                m->frameless = 1;
            }
        }
    }
    // Every window gets its view: an own window outside play mode too (the editor draws into it).
    if (!TrMakeViewBuffers(window))
        return 0;
    TrInterfaceSetup();
    if (TrGetModule()->warning)
        return 0;
    UpdateLoadingProgressBar(98);
    UpdateLoadingProgressBar(100);
    VokPlayCDtrack(g_shell.settings[0]);
    return 1;
}

void TrModuleShutdown(void)
{
    TrModule *m = TrGetModule();
    TrInterfaceShutdown();
    if (g_shell.interfaceOpen) {
        TrSaveSettings();
        if (m->iface != nullptr)
            __atomic_store_n(&m->iface->imgFlags, 0u, __ATOMIC_SEQ_CST);
        VokCloseInterFace();
        g_shell.interfaceOpen = 0;
    }
    if (g_shell.fonts != nullptr)
        PxKillFontset(g_shell.fonts);
    g_shell.fonts = nullptr;
    TrFreeFieldScene();
    if (g_shell.field != nullptr)
        Palya_Free(g_shell.field);
    g_shell.field = nullptr;
    TrFreeViewBuffers(1);
}

void TrWindowCleanup(HWND window)
{
    if (!g_shell.live)
        return;
    g_shell.live = 0;
    TrSetPaintState(0);
    // The toolbar's worker goes first: it draws into the view that the shut-down frees.
    TrToolbarWorkerStop();
    HWND w = g_shell.window;
    if (w != nullptr && !TrGetModule()->frameless)
        SetMenu(w, nullptr);
    TrModuleShutdown();
    if (w != nullptr && g_shell.dc != nullptr)
        ReleaseDC(w, g_shell.dc);
    g_shell.dc = nullptr;
    if (g_shell.directDraw2 != nullptr) {
        g_shell.directDraw2->RestoreDisplayMode();
        g_shell.directDraw2->Release();
    }
    if (g_shell.directDraw != nullptr)
        g_shell.directDraw->Release();
    g_shell.directDraw2 = nullptr;
    g_shell.directDraw = nullptr;
    g_shell.closed = 1;
    give_host_back();
    if (g_shell.ownWindow && w != nullptr && !g_shell.destroying && IsWindow(w)) {
        g_shell.destroying = 1;
        DestroyWindow(w);
    }
    g_shell.ownWindow = 0;
    release_class();
    g_shell.window = nullptr;
    TrGetModule()->window = nullptr;
}

static constexpr DWORD kMinFrameMs = 10;

int32_t TrMessageLoop(void)
{
    MSG msg;
    g_looping = true;
    DWORD lastFrame = timeGetTime();
    for (;;) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!GetMessageA(&msg, nullptr, 0, 0)) {
                g_looping = false;
                return (int32_t)msg.wParam;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else if (g_shell.view != nullptr && TrPaintState() != 0) {
            if (g_frame_hook != nullptr)
                g_frame_hook();
            TrIdleFrame();
            // Frames at most every 10 ms: the rest is slept, so a running field holds no whole core
            // and the virtual clock moves with the sleep.
            const DWORD since = timeGetTime() - lastFrame;
            if (since < kMinFrameMs)
                Sleep(kMinFrameMs - since);
            lastFrame = timeGetTime();
        } else {
            // Nothing to draw: look again shortly.
            Sleep(10);
        }
    }
}

static void close_module(HWND window)
{
    TrSetPaintState(0);
    TrWindowCleanup(window);
    // Only our own loop takes the quit: a set-up that failed inside a host must not end the host.
    if (g_looping)
        PostQuitMessage(0);
}

int32_t TrCursorResource(int32_t kind, int32_t sub, float yaw)
{
    static const int32_t fixed[13] = {0, 0, 113, 127, 111, 0, 0, 115, 118, 116, 114, 128, 129};
    static const int32_t slopes[4] = {119, 120, 121, 122}, corners[4] = {125, 126, 124, 123};
    if (kind < 0 || kind > 12)
        return 0;
    if (kind == 5 || kind == 6) {
        int deg = ((int)std::floor(yaw) + 90) % 360;
        if (deg < 0)
            deg += 360;
        const int index = (((sub + deg / 90) % 4) + 4) % 4;
        return kind == 5 ? slopes[index] : corners[index];
    }
    return fixed[kind];
}

void TrSetCursor(int32_t kind, int32_t sub)
{
    if (kind < 0 || kind > 12)
        return;
    g_shell.cursorKind = kind;
    g_shell.cursorSub = sub;
    const float yaw = TrCameraGet()->yaw;
    const int32_t resource = TrCursorResource(kind, sub, yaw);
    if (kind == 1)
        SetCursor(nullptr);
    else if (resource != 0)
        SetCursor(LoadCursorA(g_shell.instance, MAKEINTRESOURCEA(resource)));
    else if (g_shell.playMode)
        SetCursor(LoadCursorA(g_shell.instance, MAKEINTRESOURCEA(131)));
    else
        SetCursor(g_shell.startCursor != nullptr ? g_shell.startCursor : LoadCursorA(nullptr, IDC_ARROW));
}

LRESULT TrKeyDown(WPARAM key)
{
    TrPalya *field = g_shell.field;
    bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    switch (LOWORD(key)) {
    case VK_ESCAPE:
        TrEscape();
        break;
    case VK_PRIOR:
    case VK_NEXT:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
        TrCameraKey((int32_t)LOWORD(key));
        break;
    case VK_HOME:
        TrResetField();
        break;
    case VK_END:
        TrPlaySound(12);
        TrCameraFromField();
        break;
    case '4':
        // Ctrl + B held with the key 4: the camera's limits off.
        if (ctrl && (GetKeyState('B') & 0x8000) != 0)
            TrCameraGet()->limits = 0;
        break;
    case VK_F1:
        TrHelp();
        break;
    case TR_KEY_STOP:
        TrRunKeyStop();
        break;
    case TR_KEY_START:
        TrRunKeyStart();
        break;
    case VK_F5:
        if (g_shell.editor && field != nullptr) {
            field->ballLayout = (field->ballLayout + 1) % 3;
            show_message(TR_MSG_BALL_LAYOUT + field->ballLayout);
        }
        break;
    case VK_F6:
        if (g_shell.editor && field != nullptr) {
            field->startLayout = (field->startLayout + 1) % 2;
            show_message(TR_MSG_START_LAYOUT + field->startLayout);
        }
        break;
    case VK_F7:
        if (g_shell.editor && field != nullptr) {
            TrCameraToField();
            show_message(TR_MSG_CAMERA_SAVED);
        }
        break;
    case VK_F12:
        if (ctrl) {
            g_shell.capture = 1;
            VokStartCapture(VOK_GAME_TERROW);
        } else {
            g_shell.capture = 0;
            VokStopCapture();
        }
        break;
    default:
        tr_wire_key((unsigned)LOWORD(key));
        break;
    }
    return 0;
}

LRESULT CALLBACK TrWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_shell.closed || (!g_shell.live && message != WM_CREATE)) {
        if (g_shell.savedProc != nullptr && window == g_shell.heldHost)
            return CallWindowProcA(g_shell.savedProc, window, message, wParam, lParam);
        return DefWindowProcA(window, message, wParam, lParam);
    }
    switch (message) {
    case WM_CREATE:
        if (!TrWindowSetup(window, 0))
            return -1;
        return 0;
    case WM_DESTROY:
        g_shell.destroying = 1;
        close_module(window);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        TrDibPresent(g_shell.dc != nullptr ? g_shell.dc : dc);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_CLOSE:
        if (g_shell.playMode)
            DestroyWindow(window);
        else if (TrCloseRequest())
            close_module(window);
        else
            TrSetPaintState(2);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SETCURSOR:
        TrSetCursor(g_shell.cursorKind, g_shell.cursorSub);
        return 0;
    case WM_KEYDOWN:
        return TrKeyDown(wParam);
    case TR_WM_GAME_OVER:
        TrPauseMenu();
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == 40001)
            return TrSaveFieldHook();
        if (LOWORD(wParam) == 40002)
            return TrLoadFieldHook();
        if (LOWORD(wParam) == 40003)
            PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_LBUTTONDBLCLK:
        // The class asks for double clicks, yet a quick second press (start, then stop at once) is a
        // press the player means.
        message = WM_LBUTTONDOWN;
        [[fallthrough]];
    case WM_LBUTTONDOWN:
        // A click ends the level's announcement at the next frame.
        if (TrControlGet()->announceStart != 0)
            TrControlGet()->announceStart = 1;
        tr_wire_mouse(message, (int16_t)LOWORD(lParam), (int16_t)HIWORD(lParam));
        return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        tr_wire_mouse(message, (int16_t)LOWORD(lParam), (int16_t)HIWORD(lParam));
        return 0;
    case WM_PALETTECHANGED:
        return 0;  // 16-bit views carry no palette
    default:
        if (g_shell.savedProc != nullptr)
            return CallWindowProcA(g_shell.savedProc, window, message, wParam, lParam);
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int32_t StartTerrow(void)
{
    g_shell.playMode = 0;
    g_shell.playParent = nullptr;
    g_shell.playPath = nullptr;
    int32_t result;
    if (!TrModuleInit()) {
        TrWindowCleanup(g_shell.window);
        result = 0;
    } else {
        result = TrMessageLoop();
    }
    TrWindowCleanup(g_shell.window);
    give_host_back();
    release_class();
    return result;
}

int32_t PlayTRL(HWND parent, uint32_t ignored, const char *fieldPath)
{
    g_shell.playMode = 1;
    g_shell.playParent = parent;
    g_shell.playPath = fieldPath;
    int32_t result = TrModuleInit() ? TrMessageLoop() : 0;
    TrWindowCleanup(g_shell.window);
    release_class();
    g_shell.playMode = 0;
    g_shell.playParent = nullptr;
    g_shell.playPath = nullptr;
    return result;
}

}  // extern "C"

VOK_DLL_ENTRY(TrDllMain)
