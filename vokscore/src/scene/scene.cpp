// The scene engine: starting a scene over the running one, its message pump, mouse and keys with
// double clicks and auto-repeat, per-session procedures, showing and hiding, and ending a scene so
// that the one beneath comes back.
#include <string.h>

#include <algorithm>

#include "brondel/brpixmap.h"
#include "media_layer.h"
#include "pannix/pannix.h"
#include "scenestate.h"
#include "state.h"
#include "vokscore/vokpath.h"
#include "vokscore/voksound.h"

namespace vok {

SceneEngine &engine()
{
    static SceneEngine e;
    return e;
}

HWND popup_window()
{
    VokInterFace &f = iface();
    return f.ownerWnd ? f.ownerWnd : state().firstWindow;
}

namespace {

const char kSceneClass[] = "sceneclass";
// Menu sound of a focus the mouse moved.
constexpr int kMenuSoundFocus = 8;

LRESULT CALLBACK scene_window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK own_window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// Deep copy of a description: the scene, its sessions and every ikon array.
VokScene *copy_scene(VokScene *src)
{
    VokScene *c = new VokScene(*src);
    c->source = src;
    c->sourceSessions = src->sessions;
    c->sessions = new VokSession[std::max(src->sessionCount, 1)];
    for (int i = 0; i < src->sessionCount; i++) {
        VokSession &s = c->sessions[i];
        s = src->sessions[i];
        s.sourceIkons = src->sessions[i].ikons;
        if (s.ikonCount > 0) {
            s.ikons = new VokIkon[s.ikonCount];
            std::copy(s.sourceIkons, s.sourceIkons + s.ikonCount, s.ikons);
        }
    }
    return c;
}

void free_copy(VokScene *c)
{
    for (int i = 0; i < c->sessionCount; i++)
        if (c->sessions[i].sourceIkons && c->sessions[i].ikons != c->sessions[i].sourceIkons)
            delete[] c->sessions[i].ikons;
    delete[] c->sessions;
    delete c;
}

bool create_own_window(VokScene *scene)
{
    SceneEngine &e = engine();
    if (!e.ownClassRegistered) {
        WNDCLASSA wc{};
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = own_window_proc;
        wc.cbWndExtra = 4;
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszClassName = kSceneClass;
        if (!RegisterClassA(&wc)) {
            SetLastMsgError("Error registering window class: '%s'", kSceneClass);
            return false;
        }
        e.ownClassRegistered = true;
    }
    DWORD style = WS_POPUP;
    if (scene->flags & VOK_SCENE_CAPTION)
        style |= WS_CAPTION;
    else if (scene->flags & VOK_SCENE_BORDER)
        style |= WS_BORDER;
    POINT p{scene->curX, scene->curY};
    if (scene->window)
        ClientToScreen(scene->window, &p);
    RECT r{p.x, p.y, p.x + scene->curWidth, p.y + scene->curHeight};
    AdjustWindowRect(&r, style, FALSE);
    HWND w = CreateWindowExA(0, kSceneClass, "", style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                             scene->window, nullptr, nullptr, nullptr);
    if (!w) {
        SetLastMsgError("Error creating window: %d,%d  %dx%d", scene->curX, scene->curY, scene->curWidth,
                        scene->curHeight);
        return false;
    }
    SetWindowLongPtrA(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(scene));
    scene->drawWnd = w;
    if (scene->dc && (scene->flags & VOK_SCENE_OWNDC))
        ReleaseDC(scene->window, scene->dc);
    scene->dc = GetDC(w);
    scene->flags |= VOK_SCENE_OWNDC;
    ShowWindow(w, SW_SHOW);
    return true;
}

void stop_repeat(HWND hwnd)
{
    SceneEngine &e = engine();
    KillTimer(hwnd, kTimerArm);
    KillTimer(hwnd, kTimerLong);
    KillTimer(hwnd, kTimerKey);
    e.keyTimerMs = 0;
    e.repeatKey = 0;
    e.repeatArmed = false;
    if (e.captured) {
        ReleaseCapture();
        e.captured = false;
    }
}

void post_key(HWND hwnd, int key)
{
    if (key)
        PostMessageA(hwnd, WM_KEYDOWN, WPARAM(key), 0);
}

void redraw(VokSession *s, VokIkon *k)
{
    if (k)
        k->state |= VOK_IST_REDRAW;
}

void rebuild_and_paint()
{
    VokScene *scene = engine().running;
    if (!scene)
        return;
    MnuBuildScene();
    MnuPaintScreen(scene, 0);
}

// The hit test: the topmost session whose input rectangle holds the point ends the search.
bool hit_test(VokScene *scene, int x, int y, VokSession **hs, VokIkon **hk)
{
    *hs = nullptr;
    *hk = nullptr;
    for (int i = scene->sessionCount - 1; i >= 0; i--) {
        VokSession *s = &scene->sessions[i];
        if (s->state == 0 || (s->state & (VOK_SST_NOTSHOWN | VOK_SST_HIDDEN)))
            continue;
        // Over the popup window the scene sits at its place; its own window starts where it does.
        int px = x, py = y;
        if (!(scene->flags & VOK_SCENE_OWNWINDOW))
            px -= scene->curX, py -= scene->curY;
        const VokRect &r = s->inputRect;
        if (px < r.x || py < r.y || px >= r.x + r.width || py >= r.y + r.height)
            continue;
        *hs = s;
        int sx = px - s->place.x, sy = py - s->place.y;
        for (int j = s->ikonCount - 1; j >= 0; j--) {
            VokIkon *k = &s->ikons[j];
            if (!(k->state & VOK_IST_SETUP) || (k->state & (VOK_IST_INACTIVE | VOK_IST_HIDDEN | VOK_IST_NOMOUSE)))
                continue;
            VokRect d = k->drawnRect;
            d.x -= s->scrollX, d.y -= s->scrollY;
            if (sx >= d.x && sy >= d.y && sx < d.x + d.width && sy < d.y + d.height) {
                *hk = k;
                break;
            }
        }
        return true;
    }
    return false;
}

// What a hit ikon does with a move (press 0), a press (1) or a double click (2).
void react(HWND hwnd, VokSession *s, VokIkon *k, int press)
{
    SceneEngine &e = engine();
    VokScene *scene = e.running;
    int type = k->type;
    if (type != VOK_IKON_UNFOCUS && type != VOK_IKON_EDIT && type != VOK_IKON_LIST && type != VOK_IKON_SCROLL)
        type = VOK_IKON_PLAIN;
    if (type == VOK_IKON_UNFOCUS && press && s->focused) {
        VokIkon *old = s->focused;
        s->focused = nullptr;
        redraw(s, old);
        s->state |= VOK_SST_FULL;
        rebuild_and_paint();
        return;
    }
    if (type == VOK_IKON_EDIT && press)
        k->state |= VOK_IST_REDRAW;
    uint32_t act = k->flags & (VOK_IK_ACT1 | VOK_IK_ACT2);
    if (!act && !(k->flags & VOK_IK_DBLCLICK)) {
        e.hovered = k;
        return;
    }
    if (!press && act != (VOK_IK_ACT1 | VOK_IK_ACT2)) {
        e.hovered = k;
        return;
    }
    e.hovered = k;
    if (k->linked && press) {
        // An arrow: its key drives the linked control; the focus comes back to the control later.
        post_key(hwnd, k->key);
        if (k->key == VK_UP || k->key == VK_DOWN)
            e.repeatKey = k->key;
        k->linked->state |= VOK_IST_REDRAW;
        if (e.arrowReturn == nullptr) {
            e.arrowReturn = s->focused;
            e.arrowSession = s;
        }
        VokFocusIkon(s, k);
        e.focusSession = s;
        return;
    }
    bool wasFocused = s->focused == k;
    if (!wasFocused || press)
        VokFocusIkon(s, k);
    if (!press) {
        if (!wasFocused)
            IfPlaySound(kMenuSoundFocus);
        return;
    }
    bool first = scene && s == &scene->sessions[0];
    if (first && e.page)
        return;
    bool acts = (k->flags & VOK_IK_DBLCLICK) ? press == 2 : true;
    if (type == VOK_IKON_LIST && act == VOK_IK_ACT1 && wasFocused)
        acts = press == 2;
    if (acts) {
        post_key(hwnd, k->key);
        e.focusSession = s;
    }
}

LRESULT pass_on(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    SceneEngine &e = engine();
    VokScene *scene = e.running;
    WNDPROC old = scene ? scene->oldWndProc : nullptr;
    if (!old)
        old = e.fallbackProc;
    return old ? CallWindowProcA(old, hwnd, msg, wp, lp) : DefWindowProcA(hwnd, msg, wp, lp);
}

LRESULT handle_input(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, bool *handled)
{
    SceneEngine &e = engine();
    *handled = true;
    if (e.keyWait == -1) {
        // A modifier alone is no binding: it waits for the key it goes with.
        if ((msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) && wp != VK_CONTROL && wp != VK_SHIFT && wp != VK_MENU) {
            e.keyWait = int(wp);
            return 0;
        }
        if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN) {
            e.keyWait = msg == WM_LBUTTONDOWN ? 1 : msg == WM_RBUTTONDOWN ? 2 : 4;
            return 0;
        }
    }
    switch (msg) {
    case WM_KEYDOWN:
    case WM_CHAR:
        return MnuKbdHandler(hwnd, msg, wp, lp);
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_TIMER:
        if (msg == WM_TIMER && wp != kTimerArm && wp != kTimerLong && wp != kTimerKey)
            break;
        MnuMouseHandler(hwnd, msg, wp, lp);
        return 0;
    default:
        break;
    }
    *handled = false;
    return 0;
}

void end_by_window()
{
    SceneEngine &e = engine();
    e.keyWait = 0;
    if (e.captured) {
        ReleaseCapture();
        e.captured = false;
    }
    e.abort = true;
}

LRESULT CALLBACK scene_window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (clip_notification(hwnd, msg, wp, lp))
        return 0;
    VokScene *scene = engine().running;
    if (msg == WM_PAINT && scene) {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        MnuPaintScreen(scene, 1);
        return 0;
    }
    if (msg == WM_CLOSE || msg == WM_DESTROY) {
        end_by_window();
        if (IsIconic(hwnd))
            ShowWindow(hwnd, SW_RESTORE);
        return 0;
    }
    bool handled;
    LRESULT r = handle_input(hwnd, msg, wp, lp, &handled);
    return handled ? r : pass_on(hwnd, msg, wp, lp);
}

LRESULT CALLBACK own_window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (clip_notification(hwnd, msg, wp, lp))
        return 0;
    VokScene *scene = reinterpret_cast<VokScene *>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    switch (msg) {
    case WM_DESTROY:
        // Destroyed by the end of its own scene (user data already cleared): the scene beneath
        // keeps running.
        if (!scene)
            return 0;
        if (scene->dc) {
            ReleaseDC(hwnd, scene->dc);
            scene->dc = nullptr;
        }
        end_by_window();
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_ERASEBKGND:
        if (scene && scene == engine().running)
            MnuPaintScreen(scene, 1);
        return 1;
    default:
        break;
    }
    bool handled;
    LRESULT r = handle_input(hwnd, msg, wp, lp, &handled);
    return handled ? r : DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

}  // namespace vok

using namespace vok;

void vok::place_cursor_on_focus()
{
    SceneEngine &e = engine();
    VokSession *fs = e.focusSession;
    if (general().cursorToFocus && fs && fs->focused && e.running && e.running->drawWnd) {
        VokRect r = fs->focused->drawnRect;
        POINT p{fs->place.x + r.x + r.width / 2, fs->place.y + r.y + r.height / 2};
        ClientToScreen(e.running->drawWnd, &p);
        SetCursorPos(p.x, p.y);
    }
}

VOK_EXPORT VokScene *VokGetCurScene(void)
{
    return engine().running;
}

VOK_EXPORT int InitScene(VokScene *desc, int noBuild)
{
    SceneEngine &e = engine();
    if (!desc)
        return SetLastMsgError("No scene to start");
    if (e.starting || e.ending)
        return SetLastMsgError("A scene cannot start while another is being started or ended");
    if (!(desc->flags & VOK_SCENE_COPY))
        for (VokScene *on = e.running; on; on = on->beneath)
            if (on == desc)
                return SetLastMsgError("Scene %d is already running", desc->screenId);
    if (e.running && e.depth >= VOK_SCENE_STACK) {
        MessageBeep(0xFFFFFFFF);
        return SetLastMsgError("Too many scenes: %d are running", e.depth + 1);
    }
    e.starting = true;
    VokScene *scene = (desc->flags & VOK_SCENE_COPY) ? copy_scene(desc) : desc;
    PxSaveLastFontSettings(1);
    VokScene *under = e.running;
    if (under) {
        under->savedPage = e.page;
        under->savedFocus = e.focusSession;
        under->savedFonts = e.fonts;
        under->savedRunning = e.runningFlag;
        scene->curX = under->curX, scene->curY = under->curY;
        scene->curWidth = under->curWidth, scene->curHeight = under->curHeight;
        scene->curDepth = under->curDepth;
        scene->underPix = under->sessionCount > 0 ? under->sessions[0].pix : nullptr;
        e.stack[e.depth++] = under;
    } else {
        scene->curX = scene->x, scene->curY = scene->y;
        scene->curWidth = scene->width, scene->curHeight = scene->height;
        scene->curDepth = scene->depth;
        scene->underPix = iface().screenPix;
    }
    scene->beneath = under;
    scene->stackLevel = e.depth;
    scene->oldWndProc = nullptr;
    scene->dib = nullptr;
    scene->dataPackHandle = scene->langPackHandle = nullptr;
    scene->flags &= ~uint32_t(VOK_SCENE_OWNDC);
    e.running = scene;
    e.fonts = nullptr;
    e.page = e.focusSession = nullptr;
    e.pendingSwitch = false;
    e.arrowReturn = nullptr;
    e.arrowSession = nullptr;
    e.hovered = nullptr;
    scene->window = popup_window();
    scene->drawWnd = scene->window;
    scene->dc = nullptr;
    if (scene->window) {
        scene->dc = GetDC(scene->window);
        scene->flags |= VOK_SCENE_OWNDC;
    }
    bool ok = true;
    if (scene->dataPack) {
        scene->dataPackHandle = FFOpenPack(VokMakeDataPath(scene->dataPack), 0);
        ok = scene->dataPackHandle != nullptr || g_placeholders;
    }
    if (ok && scene->langPack) {
        scene->langPackHandle = FFOpenPack(VokMakeLangPath("Data\\", "%s", scene->langPack), 0);
        ok = scene->langPackHandle != nullptr || g_placeholders;
    }
    if (ok && scene->dataPackHandle)
        FFSetCurrentPack(scene->dataPackHandle);
    if (ok) {
        br_pixelmap *pm = nullptr;
        scene->dib = PxCreateDibAndPix(BR_PMT_RGB_565, scene->curWidth, scene->curHeight, &pm);
        if (pm)
            PxFreePixNP(pm);
        ok = scene->dib != nullptr;
    }
    if (ok && !noBuild) {
        for (int i = 0; ok && i < scene->sessionCount; i++)
            ok = InitSession(scene, &scene->sessions[i], i) != 0;
        if (ok) {
            VokSession *first = &scene->sessions[0];
            for (int i = 1; i < scene->sessionCount && !e.page; i++)
                if (first->focusId && scene->sessions[i].id == first->focusId)
                    e.page = &scene->sessions[i];
            for (int i = 0; i < scene->sessionCount; i++)
                if (scene->focusSessionId && scene->sessions[i].id == scene->focusSessionId)
                    e.focusSession = &scene->sessions[i];
            MnuBuildScene();
        }
    }
    // The clips of this scene copy their background from its first session.
    set_clip_background(ok && scene->sessionCount > 0 ? scene->sessions[0].backgroundPix : nullptr);
    if (ok && (scene->flags & VOK_SCENE_OWNWINDOW))
        ok = create_own_window(scene);
    else if (ok && scene->window && !(scene->flags & VOK_SCENE_KEEPPROC)) {
        WNDPROC proc = scene->windowProc ? scene->windowProc : scene_window_proc;
        WNDPROC old = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(scene->window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
        scene->oldWndProc = old != proc ? old : nullptr;
        if (!under && scene->oldWndProc)
            e.fallbackProc = scene->oldWndProc;
    }
    e.dblTime = GetDoubleClickTime();
    e.dblWidth = GetSystemMetrics(SM_CXDOUBLECLK);
    e.dblHeight = GetSystemMetrics(SM_CYDOUBLECLK);
    e.lastClickValid = false;
    e.starting = false;
    return ok ? 1 : 0;
}

VOK_EXPORT int KillCurScene(int keepScene)
{
    SceneEngine &e = engine();
    VokScene *scene = e.running;
    // Not from inside a start either: the scene being started would be freed under it.
    if (!scene || e.ending || e.starting)
        return 0;
    e.ending = true;
    stop_repeat(scene->drawWnd);
    if (!keepScene) {
        for (int i = scene->sessionCount - 1; i >= 1; i--)
            KillSession(&scene->sessions[i]);
        if (scene->sessionCount > 0) {
            VokSession *f = &scene->sessions[0];
            if ((scene->flags & VOK_SCENE_KEEPLOOK) && scene->underPix && f->pix) {
                CopyRectangle(scene->underPix, 0, 0, f->pix, 0, 0, f->pix->width, f->pix->height);
                MnuPaintScreen(scene, 1);
            }
            KillSession(f);
        }
    }
    if (scene->dib) {
        KillDIBuffer(scene->dib);
        scene->dib = nullptr;
    }
    if (e.fonts)
        PxKillAllFontset(e.fonts);
    e.fonts = nullptr;
    PxLoadLastFontSettings(1);
    if (scene->dataPackHandle && FFGetCurrentPack() == scene->dataPackHandle)
        FFSetCurrentPack(nullptr);
    FFClosePack(scene->dataPackHandle);
    FFClosePack(scene->langPackHandle);
    scene->dataPackHandle = scene->langPackHandle = nullptr;
    if (scene->drawWnd && scene->drawWnd != scene->window) {
        HWND own = scene->drawWnd;
        scene->drawWnd = nullptr;
        SetWindowLongPtrA(own, GWLP_USERDATA, 0);
        if (scene->dc)
            ReleaseDC(own, scene->dc);
        scene->dc = nullptr;
        DestroyWindow(own);
    }
    if (scene->oldWndProc && scene->window) {
        SetWindowLongPtrA(scene->window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(scene->oldWndProc));
        scene->oldWndProc = nullptr;
    }
    if (e.captured) {
        ReleaseCapture();
        e.captured = false;
    }
    if (scene->dc && (scene->flags & VOK_SCENE_OWNDC))
        ReleaseDC(scene->window, scene->dc);
    scene->dc = nullptr;
    scene->flags &= ~uint32_t(VOK_SCENE_OWNDC);
    if (!keepScene) {
        VokScene *under = scene->beneath;
        scene->beneath = nullptr;
        if (scene->source)
            free_copy(scene);
        e.running = under;
        if (e.depth > 0)
            e.depth--;
        if (under) {
            e.page = under->savedPage;
            e.focusSession = under->savedFocus;
            e.fonts = under->savedFonts;
            e.runningFlag = under->savedRunning != 0;
            if (under->dataPackHandle)
                FFSetCurrentPack(under->dataPackHandle);
            if (under->sessionCount > 0)
                under->sessions[0].state |= VOK_SST_FULL;
        } else {
            e.page = e.focusSession = nullptr;
        }
        set_clip_background(under && under->sessionCount > 0 ? under->sessions[0].backgroundPix : nullptr);
        e.arrowReturn = nullptr;
        e.arrowSession = nullptr;
        e.hovered = nullptr;
        // A page switch still waiting named a session of the scene that ended.
        e.pendingSwitch = false;
        e.pendingPage = nullptr;
        e.alive = false;
    }
    e.ending = false;
    return 0;
}

namespace {

// Something in the scene changes with time alone: a session procedure (producers' pictures,
// prepared frames, a caret), a playing ikon movie or a page switch still waiting.
bool scene_is_live(const VokScene *scene)
{
    const vok::SceneEngine &e = vok::engine();
    if (e.pendingSwitch)
        return true;
    for (int i = 0; i < scene->sessionCount; i++) {
        const VokSession &s = scene->sessions[i];
        if (!(s.state & VOK_SST_BUILT))
            continue;
        if (s.procs)
            return true;
        if (s.state & (VOK_SST_HIDDEN | VOK_SST_NOTSHOWN))
            continue;
        for (int j = 0; j < s.ikonCount; j++) {
            const VokIkon &k = s.ikons[j];
            if ((k.state & VOK_IST_SETUP) && !(k.state & (VOK_IST_INACTIVE | VOK_IST_HIDDEN)) &&
                !(k.flags & VOK_IK_KEEP) && (k.pixMovie || (k.focusPixMovie && s.focused == &k)))
                return true;
        }
    }
    return false;
}

// The idle passes of a live scene run on this thread timer: one frame apart.
constexpr UINT kIdleFrameMs = 16;
UINT_PTR g_idleTimer = 0;

void idle_wait(const VokScene *scene)
{
    if (scene_is_live(scene)) {
        if (!g_idleTimer)
            g_idleTimer = SetTimer(nullptr, 0, kIdleFrameMs, nullptr);
    } else if (g_idleTimer) {
        KillTimer(nullptr, g_idleTimer);
        g_idleTimer = 0;
    }
    // A live scene's timer wakes this wait every frame; a still one has nothing due on the clock.
    WaitMessage();
}

void idle_stop()
{
    if (g_idleTimer)
        KillTimer(nullptr, g_idleTimer);
    g_idleTimer = 0;
}

} // namespace

VOK_EXPORT int RunCurScene(void)
{
    SceneEngine &e = engine();
    VokScene *scene = e.running;
    if (!scene)
        return 0;
    e.abort = false;
    e.runningFlag = true;
    // Screens may be asked for while this loop pumps; the runner that built this one gets its
    // value back when the loop ends.
    bool mayStart = e.mayStart;
    e.mayStart = true;
    int result = 0;
    MSG msg;
    while (e.runningFlag && !e.abort && !e.alive && e.running == scene) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(int(msg.wParam));
                e.abort = true;
                break;
            }
            // The idle tick only wakes the loop for its next pass.
            if (msg.message == WM_TIMER && !msg.hwnd && g_idleTimer && msg.wParam == g_idleTimer)
                continue;
            TranslateMessage(&msg);
            result = int(DispatchMessageA(&msg));
        } else {
            e.busy = false;
            MnuBuildScene();
            MnuPaintScreen(scene, 0);
            // Idle: sleep until a message comes or, while something moves on its own, the next frame.
            if (e.runningFlag && !e.abort && !e.alive && e.running == scene)
                idle_wait(scene);
        }
    }
    idle_stop();
    e.runningFlag = false;
    e.mayStart = mayStart;
    return result;
}

VOK_EXPORT int InitAndRunScene(VokScene *scene)
{
    int ok = InitScene(scene, 0);
    if (ok) {
        place_cursor_on_focus();
        RunCurScene();
    } else {
        ShowLastMsgError();
    }
    KillCurScene(0);
    return ok;
}

VOK_EXPORT VokSessionProc *AddProcToSession(VokSession *s, VokProcRoutine init, VokProcRoutine frame,
                                            VokProcRoutine frame2, VokProcEnd end)
{
    if (!s)
        return nullptr;
    VokSessionProc *p = new VokSessionProc{};
    p->initProc = init, p->frameStartProc = frame, p->frameEndProc = frame2, p->endProc = end;
    p->session = s;
    p->next = s->procs;
    if (s->procs)
        s->procs->prev = p;
    s->procs = p;
    if (init && init(p) == 0)
        return RemoveProcFromSession(s, p);
    return p;
}

VOK_EXPORT VokSessionProc *RemoveProcFromSession(VokSession *s, VokSessionProc *p)
{
    if (!s || !p)
        return nullptr;
    VokSessionProc *next = p->next;
    if (p->prev)
        p->prev->next = p->next;
    else
        s->procs = p->next;
    if (p->next)
        p->next->prev = p->prev;
    if (p->endProc)
        p->endProc(p);
    delete p;
    return next;
}

VOK_EXPORT int KillSession(VokSession *s)
{
    if (!s)
        return 0;
    while (s->procs)
        RemoveProcFromSession(s, s->procs);
    for (int i = 0; i < s->ikonCount; i++)
        free_ikon(&s->ikons[i]);
    if (s->focusBackgroundPix)
        PxFreePix(s->focusBackgroundPix);
    if (s->pix) {
        if (s->index == 0)
            PxFreePixNP(s->pix); // rows of the scene DIB
        else
            PxFreePix(s->pix);
    }
    if (s->backgroundPix) {
        if (s->backgroundShared)
            PxFreePixNP(s->backgroundPix);
        else
            PxFreePix(s->backgroundPix);
    }
    s->pix = s->backgroundPix = s->focusBackgroundPix = nullptr;
    s->backgroundShared = 0;
    s->focused = nullptr;
    s->state = 0;
    s->dirtyCount = 0;
    return 0;
}

VOK_EXPORT VokSession *FindSession(int id)
{
    VokScene *scene = engine().running;
    if (!scene)
        return nullptr;
    for (int i = 1; i < scene->sessionCount; i++)
        if (scene->sessions[i].id == id)
            return &scene->sessions[i];
    return nullptr;
}

VOK_EXPORT VokIkon *FindIkon(VokSession *s, int id)
{
    for (int i = 0; s && i < s->ikonCount; i++)
        if (s->ikons[i].id == id)
            return &s->ikons[i];
    return nullptr;
}

VOK_EXPORT VokIkon *FindIkonByType(VokSession *s, int type)
{
    for (int i = 0; s && type && i < s->ikonCount; i++)
        if (s->ikons[i].type == type)
            return &s->ikons[i];
    return nullptr;
}

namespace {

VokSession *set_visible(VokSession *s, bool show)
{
    if (!s)
        return nullptr;
    bool hidden = (s->state & VOK_SST_HIDDEN) != 0;
    bool pending = (s->state & VOK_SST_PENDING) != 0;
    bool willBeHidden = hidden != pending;
    if (willBeHidden == !show)
        return s;
    s->state ^= VOK_SST_PENDING;
    if (engine().running)
        paint_session(engine().running, s);
    return s;
}

}  // namespace

VOK_EXPORT VokSession *ShowSession(VokSession *s)
{
    return set_visible(s, true);
}

VOK_EXPORT VokSession *HideSession(VokSession *s)
{
    return set_visible(s, false);
}

VOK_EXPORT VokSession *ShowSessionById(int id)
{
    return ShowSession(FindSession(id));
}

VOK_EXPORT VokSession *HideSessionById(int id)
{
    return HideSession(FindSession(id));
}

VOK_EXPORT VokIkon *ShowIkon(VokSession *s, VokIkon *k)
{
    if (!s || !k)
        return k;
    k->state = (k->state & ~uint32_t(VOK_IST_HIDDEN)) | VOK_IST_REDRAW;
    if (engine().running)
        paint_session(engine().running, s);
    return k;
}

VOK_EXPORT VokIkon *HideIkon(VokSession *s, VokIkon *k)
{
    if (!s || !k)
        return k;
    bool wasShown = !(k->state & VOK_IST_HIDDEN);
    k->state |= VOK_IST_HIDDEN | VOK_IST_REDRAW;
    if (wasShown && s->backgroundPix && s->pix) {
        VokRect r = k->drawnRect;
        CopyRectangle(s->pix, r.x - s->scrollX, r.y - s->scrollY, s->backgroundPix, r.x, r.y, r.width, r.height);
        VokRect sr{r.x - s->scrollX + s->place.x, r.y - s->scrollY + s->place.y, r.width, r.height};
        if (engine().running)
            VokAddSceneDirtyRect(engine().running, &sr);
    }
    if (engine().running)
        paint_session(engine().running, s);
    return k;
}

VOK_EXPORT void VokFocusIkon(VokSession *s, VokIkon *k)
{
    SceneEngine &e = engine();
    VokScene *scene = e.running;
    if (!s)
        return;
    bool first = scene && s == &scene->sessions[0];
    if (first) {
        VokSession *page = k ? FindSession(k->id) : nullptr;
        if (page != e.page || !k) {
            if (s->flags & VOK_SES_DELAYED && page) {
                e.pendingPage = page;
                e.pendingSwitch = true;
                e.pendingSince = timeGetTime();
            } else {
                if (e.page)
                    HideSession(e.page);
                e.page = page;
                if (page)
                    ShowSession(page);
            }
        }
    }
    if (k && !(s->flags & VOK_SES_NOFOCUSID) && !(first && k->id == 5))
        s->focusId = k->id;
    if (s->focused)
        s->focused->state |= VOK_IST_REDRAW;
    if (k)
        k->state |= VOK_IST_REDRAW;
    s->focused = k;
    rebuild_and_paint();
}

VOK_EXPORT int MnuMouseHandler(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    SceneEngine &e = engine();
    VokScene *scene = e.running;
    if (!scene || e.busy || e.starting || e.ending)
        return 0;
    if (msg == WM_TIMER) {
        if (wp == kTimerArm) {
            KillTimer(hwnd, kTimerArm);
            if (e.repeatKey) {
                e.repeatArmed = true;
                SetTimer(hwnd, kTimerLong, 1200, nullptr);
                SetTimer(hwnd, kTimerKey, 80, nullptr);
                e.keyTimerMs = 80;
            }
        } else if (wp == kTimerLong) {
            KillTimer(hwnd, kTimerLong);
            SetTimer(hwnd, kTimerKey, 25, nullptr);
            e.keyTimerMs = 25;
        } else if (wp == kTimerKey) {
            post_key(hwnd, e.repeatKey);
        }
        return 1;
    }
    if (msg == WM_LBUTTONUP) {
        stop_repeat(hwnd);
        return 1;
    }
    int x = int(short(LOWORD(lp))), y = int(short(HIWORD(lp)));
    int press = 0;
    if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK) {
        uint32_t now = timeGetTime();
        press = 1;
        if (msg == WM_LBUTTONDBLCLK ||
            (e.lastClickValid && now - e.lastClickTime <= e.dblTime && abs(x - e.lastClickX) <= e.dblWidth / 2 &&
             abs(y - e.lastClickY) <= e.dblHeight / 2))
            press = 2;
        e.lastClickValid = press == 1;
        e.lastClickTime = now, e.lastClickX = x, e.lastClickY = y;
        __atomic_fetch_or(&iface().imgFlags, 0x04u, __ATOMIC_SEQ_CST);
        stop_repeat(hwnd);
        SetCapture(hwnd);
        e.captured = true;
        SetTimer(hwnd, kTimerArm, 300, nullptr);
    } else if (msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN) {
        __atomic_fetch_or(&iface().imgFlags, 0x04u, __ATOMIC_SEQ_CST);
        return 1;
    } else if (msg != WM_MOUSEMOVE || (wp & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON))) {
        return 0;
    }
    VokSession *s;
    VokIkon *k;
    if (!hit_test(scene, x, y, &s, &k))
        return 0;
    // The focus an arrow took goes back to its control on the next event that hits no arrow.
    if (e.arrowReturn && (!k || !k->linked) && e.arrowSession) {
        VokSession *as = e.arrowSession;
        VokIkon *back = e.arrowReturn;
        e.arrowReturn = nullptr;
        e.arrowSession = nullptr;
        VokFocusIkon(as, back);
    }
    if (!k)
        return 1;
    if (scene->mouseRoutine && scene->mouseRoutine(s, k, msg, x, y))
        return 1;
    react(hwnd, s, k, press);
    return 1;
}

VOK_EXPORT int MnuKbdHandler(HWND hwnd, UINT msg, WPARAM key, LPARAM lp)
{
    SceneEngine &e = engine();
    VokScene *scene = e.running;
    if (!scene || e.busy || scene->sessionCount <= 0 || (scene->sessions[0].state & VOK_SST_HIDDEN))
        return 0;
    if (msg == WM_KEYDOWN && key == VK_F12) {
        VokStopCapture();
        return 0;
    }
    if (scene->keyHandler)
        return scene->keyHandler(hwnd, msg, key, lp);
    if (msg == WM_KEYDOWN && (key == VK_RETURN || key == VK_ESCAPE))
        e.runningFlag = false;
    return 0;
}
