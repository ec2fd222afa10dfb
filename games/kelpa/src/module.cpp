// Module entry, the game window and the message loop: the start on the main program's window (or a
// window of its own), the display mode, the keys, commands and mouse of the window procedure, and the
// shut-down that hands the window back.
#include <stdio.h>
#include <string.h>

#include "kelpa/kelpa.h"
#include "vokscore/vokloading.h"
#include "vokscore/vokmedia.h"
#include "vokscore/vokpath.h"

namespace {

KpModule g_module;
KpSettings g_settings = {0, 1, 2, {39, 37, 32}, 0, 0};
KpInterFaceSource g_source = VokGetInterFace;
char g_pathOut[512];

// Mouse state of the window procedure.
bool g_overButton = false;
int g_overX = 0, g_overY = 0;
int g_clickX = 0, g_clickY = 0;
DWORD g_clickTime = 0;

// 12 rows x 4 languages x 100 bytes; German and French in Windows-1252.
const char *const kTexts[12][4] = {
    {"ERROR: Cannot create\n replay file!", "ERROR: Cannot create\n replay file!",
     "FEHLER: Kann\n keine Wiederholungsdatei\n erstellen!", "ERREUR : fichier\n rejouer - restitution impossible !"},
    {"ERROR: Cannot open\n replay file!", "ERROR: Cannot open\n replay file!",
     "FEHLER: Kann\n Wiederholungsdatei\n nicht \xF6" "ffnen!", "ERREUR : fichier\n rejouer - ouverture impossible !"},
    {"REPLAY", "REPLAY", "WIEDERHOLUNG", "REJOUER"},
    {"PLAYER: %s", "PLAYER: %s", "SPIELER: %s", "JOUEUR: %s"},
    {"Standard ", "Standard ", "Stander ", "Standard "},
    {"Curious ", "Curious ", "Seltsam ", "Curieux "},
    {"Blocked ", "Blocked ", "Blockiert ", "Bloqu\xE9 "},
    {"Beginner", "Beginner", "Anf\xE4nger", "D\xE9" "butant"},
    {"Intermediate", "Intermediate", "Fortgeschrittene", "Interm\xE9" "diaire"},
    {"Expert", "Expert", "Experten", "Expert"},
    {"Master", "Master", "Meister", "Master"},
    {"Grandmaster", "Grandmaster", "Gro\xDFmeister", "Grandmaster"},
};

LRESULT passOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_module.savedHostProc != nullptr)
        return CallWindowProcA(g_module.savedHostProc, window, message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

bool replayPlays()
{
    VokInterFace *f = g_module.interFace;
    return f != nullptr && (f->gameFlags & VOK_GF_REPLAY) != 0;
}

void clickAt(int x, int y)
{
    KpButtonClick(x, y, kpRenderer().screen, 0);
}

void redrawWhole()
{
    KpSwitches &s = kpSwitches();
    s.sceneLive = 0;
    s.indicatorLive = 0;
    s.fullRedraw = 1;
    KpRenderAndPresent();
    s.fullRedraw = 0;
    s.indicatorLive = 1;
    s.sceneLive = 1;
}

void onKey(WPARAM key)
{
    KpObjects &o = kpObjects();
    const KpSettings &k = g_settings;
    if (key == VK_RETURN && (o.levelRunning || !o.setupPending))
        clickAt(20, 460);
    if (key == VK_ESCAPE)
        clickAt(20, 20);
    if (key == VK_HOME)
        clickAt(620, 460);
    if (key == VK_F1) {
        clickAt(620, 20);
        redrawWhole();
    }
    if (key == k.keys[2] && !replayPlays() && !o.finishing && o.mayStep) {
        if (!o.levelRunning)
            KpStep();
        else if (!o.paused)
            o.pendingSteps++;
    }
    if (key == k.keys[0] || key == k.keys[1]) {
        if (replayPlays())
            return;
        if (!o.levelRunning && !o.setupPending)
            clickAt(20, 460);
        else
            KpTurnKey(key == k.keys[0] ? 0 : 1, 1);
    }
}

void onCommand(int command)
{
    KpObjects &o = kpObjects();
    if (command == 40001) {
        PostMessageA(g_module.gameWindow, WM_CLOSE, 0, 0);
        return;
    }
    int level = 0;
    if (command == 40002)
        level = 1;
    else if (command >= 40008 && command <= 40014)
        level = command - 40006;
    else if (command == 40021)
        level = 9;
    if (level != 0) {
        if (!o.levelRunning) {
            g_module.levelCommand = level;
            KpLevelSetup();
        }
        return;
    }
    if (command == 40005 && o.paused)
        KpLevelSetup();
    if (command == 40007)
        o.paused = !o.paused;
}

void onMouseMove(int x, int y)
{
    KpObjects &o = kpObjects();
    if (KpButtonClick(x, y, kpRenderer().screen, 1)) {
        g_overX = x;
        g_overY = y;
        g_overButton = true;
    } else if (g_overButton) {
        g_overButton = false;
        KpButtonClick(g_overX, g_overY, kpRenderer().screen, 2);
    }
    memset(o.toolTip, 0, sizeof o.toolTip);
    if (!o.editorOpen)
        return;
    KpEditorHover(KpPickAt(kpRenderer().screen, x, y));
    // The held tool follows the cursor a little above the board.
    if (o.heldCube != nullptr && kpLastPick().actor != nullptr) {
        const br_vector3 &p = kpBoardHit();
        BrMatrix34Translate(&o.heldCube->t.t.mat, p.v[0], 0.125f, p.v[2]);
    }
}

void onClick(int x, int y)
{
    KpObjects &o = kpObjects();
    g_clickX = x;
    g_clickY = y;
    g_clickTime = timeGetTime();
    // The buttons first; a click on the scene goes to the editor while it is open (closing the
    // file menu first when it is open and no tool is held).
    if (KpButtonClick(x, y, kpRenderer().screen, 0)) {
        if (o.editorOpen)
            KpEditorDrop();
        return;
    }
    if (!o.editorOpen)
        return;
    if (o.fileMenuOpen && o.heldCube == nullptr)
        KpFileMenu(nullptr);
    KpEditorClick(KpPickAt(kpRenderer().screen, x, y));
}

}  // namespace

KpModule &kpModule()
{
    return g_module;
}

KpSettings &kpSettings()
{
    return g_settings;
}

void KpSetInterFaceSource(KpInterFaceSource source)
{
    g_source = source != nullptr ? source : VokGetInterFace;
}

const char *KpGetText(int language, int row)
{
    if (row < 0 || row >= 12)
        return "";
    if (language < 0 || language > 3)
        language = 0;
    return kTexts[row][language];
}

const char *KpModulePath(const char *name)
{
    const char *cut = strrchr(g_module.modulePath, '\\');
    const size_t folder = cut != nullptr ? size_t(cut - g_module.modulePath + 1) : 0;
    snprintf(g_pathOut, sizeof g_pathOut, "%.*s%s", int(folder), g_module.modulePath, name);
    return g_pathOut;
}

int KpInitGame()
{
    KpModule &m = g_module;
    char file[256] = {};
    const DWORD n = GetModuleFileNameA(reinterpret_cast<HMODULE>(m.moduleInstance), file, sizeof file);
    snprintf(m.modulePath, sizeof m.modulePath, "%.*s", int(n < sizeof file ? n : sizeof file - 1), file);
    m.interFace = g_source(VOK_GAME_KELPA);
    if (m.interFace == nullptr) {
        MessageBoxA(nullptr, "Interface request failed!", "VOK ERROR", MB_ICONERROR);
        return 0;
    }
    VokInterFace *f = m.interFace;
    if (f->generalSettings != nullptr)
        f->generalSettings->gameBlocks[VOK_GAME_KELPA - VOK_GAME_BASE] = &g_settings;
    SetCurrentDirectoryA(KpModulePath("Kelpa"));
    m.savedHostProc = nullptr;
    KpBeginRenderer();
    m.wantFullScreen = 0;
    m.windowAtOrigin = 0;
    if (f->windowMode > 0)
        m.wantFullScreen = 1, m.windowAtOrigin = 1;
    else if (f->windowMode < 0)
        m.wantFullScreen = 0, m.windowAtOrigin = 1;
    if (m.wantFullScreen)
        m.windowAtOrigin = 1;
    if (f->hostWnd != nullptr && !m.embedded) {
        m.gameWindow = f->hostWnd;
        VokInitInterFace(m.gameWindow);
        f->speedIndex = g_settings.speed;
        m.soundSet = VokInitSound(VokMakeReadPath("kp\\", "kpsounds.pck"));
        return 1;
    }
    if (m.embedded) {
        f->hostWnd = nullptr;
        if (m.embedParent != nullptr)
            m.wantFullScreen = 0, m.windowAtOrigin = 0;
    }
    m.creatingOwnWindow = 1;
    KpCreateWindow();
    m.creatingOwnWindow = 0;
    f->speedIndex = g_settings.speed;
    if (!m.embedded)
        m.soundSet = VokInitSound(VokMakeReadPath("kp\\", "kpsounds.pck"));
    return 1;
}

int KpRegisterClass()
{
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    wc.lpfnWndProc = KpWndProc;
    wc.hInstance = g_module.moduleInstance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = "BRMini";
    if (RegisterClassA(&wc) != 0)
        return 1;
    if (GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return 0;
    // A class left by an earlier copy of the module would start windows in code that is gone.
    WNDCLASSA known = {};
    if (GetClassInfoA(g_module.moduleInstance, "BRMini", &known) && known.lpfnWndProc == KpWndProc)
        return 1;
    return UnregisterClassA("BRMini", g_module.moduleInstance) && RegisterClassA(&wc) != 0;
}

void KpModuleDetach()
{
    // Windows of the class still open get the default procedure first: their WM_DESTROY must not run
    // the game's close (it would post a quit into the caller's loop).
    while (HWND w = FindWindowA("BRMini", nullptr)) {
        SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcA));
        if (!DestroyWindow(w))
            break;
    }
    UnregisterClassA("BRMini", g_module.moduleInstance);
    if (g_module.gameWindow != nullptr && !IsWindow(g_module.gameWindow))
        g_module.gameWindow = nullptr;
    // A replay leaves the record open with the Kelpa slot on this module's settings; the framework
    // reads an empty slot as its own block.
    VokInterFace *f = g_module.interFace;
    if (f != nullptr && f->generalSettings != nullptr) {
        void *&slot = f->generalSettings->gameBlocks[VOK_GAME_KELPA - VOK_GAME_BASE];
        if (slot == &g_settings)
            slot = nullptr;
    }
}

HWND KpCreateWindow()
{
    KpModule &m = g_module;
    if (!KpRegisterClass())
        return nullptr;
    HWND w;
    if (m.windowAtOrigin)
        w = CreateWindowExA(0, "BRMini", "Kelpa", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 640, 480, nullptr,
                            nullptr, m.moduleInstance, nullptr);
    else
        w = CreateWindowExA(0, "BRMini", "Kelpa", WS_POPUP | WS_VISIBLE, GetSystemMetrics(SM_CXSCREEN) / 2 - 320,
                            GetSystemMetrics(SM_CYSCREEN) / 2 - 240, 640, 480, m.embedParent, nullptr,
                            m.moduleInstance, nullptr);
    if (w != nullptr)
        m.gameWindow = w;
    return w;
}

int KpSetupGame(HWND window, int fit)
{
    KpModule &m = g_module;
    VokInterFace *f = m.interFace;
    KpRenderer &r = kpRenderer();
    if (r.scene == nullptr)
        r.scene = KpCreateScene();
    if (r.screen == nullptr)
        r.screen = KpCreateScreen(window, r.scene);
    KpResizeScreen(r.screen, 0, 0, 640, 480);
    KpLoadResources(r.scene);
    RECT rc = {};
    GetClientRect(window, &rc);
    m.directDraw = nullptr;
    m.directDraw2 = nullptr;
    KpNewGame(1);
    if (f->gameFlags & VOK_GF_REPLAY)
        KpReplayRead(1);
    if (f->popupResult == -1)
        return 1;
    if (m.embedded && m.embedParent != nullptr)
        m.wantFullScreen = 0, m.windowAtOrigin = 0;
    if (m.wantFullScreen) {
        m.wantFullScreen = 0;
        m.windowAtOrigin = 0;
        if (DirectDrawCreate(nullptr, &m.directDraw, nullptr) == DD_OK && m.directDraw != nullptr) {
            void *two = nullptr;
            if (m.directDraw->QueryInterface(IID_IDirectDraw2, &two) != S_OK || two == nullptr) {
                m.directDraw->Release();
                m.directDraw = nullptr;
            } else {
                m.directDraw2 = static_cast<IDirectDraw2 *>(two);
                m.directDraw2->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
                m.directDraw2->SetDisplayMode(640, 480, 16, 0, 0);
                m.windowAtOrigin = 1;
            }
        }
    }
    if (!m.windowAtOrigin && window != nullptr) {
        RECT want = {0, 0, 640, 480};
        AdjustWindowRectEx(&want, DWORD(GetWindowLongA(window, GWL_STYLE)), FALSE,
                           DWORD(GetWindowLongA(window, GWL_EXSTYLE)));
        SetWindowPos(window, nullptr, 0, 0, want.right - want.left, want.bottom - want.top,
                     SWP_NOMOVE | SWP_NOZORDER);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
    GetClientRect(window, &rc);
    KpPlaceButtons();
    kpObjects().mayTurn = 1;
    KpTurnKey(0, 0);
    KpLevelSetup();
    if (fit)
        KpFitScreen(window);
    KpBuildEffectTables();
    return 1;
}

void KpFitScreen(HWND window)
{
    RECT rc = {0, 0, 640, 480};
    if (window != nullptr)
        GetClientRect(window, &rc);
    if (rc.right <= 0 || rc.bottom <= 0)
        rc.right = 640, rc.bottom = 480;
    KpResizeScreen(kpRenderer().screen, 0, 0, rc.right, rc.bottom);
    if (window != nullptr)
        UpdateWindow(window);
}

int KpPumpMessages()
{
    MSG msg = {};
    for (;;) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            g_module.messageSeen = 1;
            if (msg.message == WM_QUIT)
                break;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else if (KpFrameTick()) {
            g_module.messageSeen = 0;
        }
    }
    KpShutdown();
    return int(msg.wParam);
}

void KpShutdown()
{
    KpModule &m = g_module;
    m.soundSet = VokKillSound(m.soundSet);
    if (!m.embedded)
        VokCloseInterFace();
    KpReleaseDisplay();
    KpForgetRules();
    KpRenderer &r = kpRenderer();
    KpFreeButtons();
    KpFreeResources();
    r.screen = reinterpret_cast<KpScreen *>(KpFreeScreen(r.screen));
    KpFreeScene(r.scene);
    r.scene = nullptr;
    KpEndRenderer();
    // What one game left raised (a blink, a pause, a chosen level, a button under the mouse) must not
    // greet the next start: each begins as a freshly loaded module would.
    kpSwitches() = KpSwitches();
    m.levelCommand = 0;
    m.firstFramePending = 0;
    m.messageSeen = 0;
    m.inactive = m.reactivated = m.autoPaused = 0;
    m.inactiveSince = 0;
    g_overButton = false;
    g_overX = g_overY = g_clickX = g_clickY = 0;
    g_clickTime = 0;
}

void KpReleaseDisplay()
{
    KpModule &m = g_module;
    KpResources &res = kpResources();
    for (FFPACKHANDLE **p : {&res.shadePack, &res.buttonPack, &res.texturePack, &res.picturePack}) {
        if (*p != nullptr)
            FFClosePack(*p);
        *p = nullptr;
    }
    if (res.fonts != nullptr)
        PxKillAllFontset(res.fonts);
    res.fonts = nullptr;
    KpCloseRecordings();
    if (m.directDraw2 != nullptr) {
        m.directDraw2->RestoreDisplayMode();
        m.directDraw2->Release();
        m.directDraw2 = nullptr;
    }
    if (m.directDraw != nullptr) {
        m.directDraw->Release();
        m.directDraw = nullptr;
    }
}

LRESULT CALLBACK KpWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    KpModule &m = g_module;
    KpObjects &o = kpObjects();
    switch (message) {
    case WM_CREATE:
        m.gameWindow = window;
        if (!m.embedded && !m.creatingOwnWindow)
            KpSetupGame(window, 0);
        return 0;
    case WM_DESTROY:
    case WM_CLOSE:
        KpReleaseDisplay();
        PostQuitMessage(0);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            m.inactive = 1;
            m.inactiveSince = timeGetTime();
            if (o.levelRunning && !o.paused) {
                m.autoPaused = 1;
                KpTestLevel(kpButton(KP_BTN_START));
            }
        } else if (LOWORD(wParam) == WA_ACTIVE) {
            m.reactivated = 1;
        }
        break;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        if (!m.firstFramePending) {
            KpSwitches &s = kpSwitches();
            s.indicatorLive = 0;
            s.sceneLive = 0;
            s.fullRedraw = 1;
            KpRenderAndPresent();
            s.sceneLive = 1;
            s.fullRedraw = 0;
            KpRenderAndPresent();
            s.indicatorLive = 1;
        }
        EndPaint(window, &ps);
        return 0;
    }
    case WM_KEYDOWN:
        onKey(wParam);
        return 0;
    case WM_KEYUP:
        if (o.levelRunning && !replayPlays() && (wParam == g_settings.keys[0] || wParam == g_settings.keys[1]))
            KpTurnKey(wParam == g_settings.keys[0] ? 0 : 1, 0);
        break;
    case WM_COMMAND:
        onCommand(LOWORD(wParam));
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_SCREENSAVE && replayPlays())
            return 0;
        break;
    case WM_MOUSEMOVE:
        onMouseMove(LOWORD(lParam), HIWORD(lParam));
        break;
    case WM_LBUTTONDOWN:
        onClick(LOWORD(lParam), HIWORD(lParam));
        break;
    }
    return passOn(window, message, wParam, lParam);
}

int KpStartKelpa()
{
    KpModule &m = g_module;
    if (!KpInitGame())
        return 0;
    VokInterFace *f = m.interFace;
    if (f->hostWnd != nullptr) {
        m.savedHostProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(f->hostWnd, GWLP_WNDPROC));
        SetWindowLongPtrA(f->hostWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(KpWndProc));
    }
    auto embed = [&] {
        if (!m.embedded)
            return;
        f->gameKind = 101;
        f->gameFlags |= VOK_GF_REPLAY;
        snprintf(f->titleText, sizeof f->titleText, "%s", m.embedReplayName != nullptr ? m.embedReplayName : "");
    };
    embed();
    m.firstFramePending = 1;
    int result = 0;
    if (KpSetupGame(m.gameWindow, 1)) {
        embed();
        if (f->popupResult != -1) {
            VokPlayCDtrack(g_settings.cdTrack);
            KpSwitches &s = kpSwitches();
            s.fullRedraw = 1;
            s.sceneLive = 1;
            KpRenderFrame(kpRenderer().screen);
            FadeInGame(kpRenderer().screen != nullptr ? kpRenderer().screen->colour : nullptr);
            KpPresentFrame(kpRenderer().screen);
            s.fullRedraw = 0;
        }
        result = KpPumpMessages();
    } else {
        KpShutdown();
    }
    if (f->hostWnd != nullptr && m.savedHostProc != nullptr)
        SetWindowLongPtrA(f->hostWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m.savedHostProc));
    m.savedHostProc = nullptr;
    return result;
}

int KpPlayKp(HWND parent, int, const char *replay)
{
    KpModule &m = g_module;
    // A name that does not fit the title cannot be the replay: it is refused as one that cannot open.
    if (replay != nullptr && strlen(replay) >= sizeof(VokInterFace::titleText))
        replay = "";
    m.embedded = 1;
    m.embedParent = parent;
    m.embedReplayName = replay;
    const int result = KpStartKelpa();
    m.embedded = 0;
    m.embedParent = nullptr;
    m.embedReplayName = nullptr;
    return result;
}
