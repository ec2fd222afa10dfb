// The toolbar's buttons, the editor's mouse work and the effects joined to the game screen: the
// hooks each side offers, filled with the other side's calls.
#include "wiring.h"

#include <algorithm>

#include <brondel/brpixmap.h>

#include "gameint.h"
#include "seqload.h"
#include "terrow/trdib.h"
#include "terrow/tredit.h"
#include "terrow/trfx.h"
#include "terrow/trlook.h"
#include "terrow/trgame.h"
#include "terrow/trmodule.h"
#include "terrow/trplay.h"
#include "terrow/trshell.h"
#include "terrow/trtoolbar.h"
#include "vokscore/vokiface.h"
#include "vokscore/vokloading.h"
#include "win32/winuser.h"

namespace {

TrShell &shell()
{
    return *TrGetShell();
}

bool g_toolbarUp = false;

void show(int32_t which, bool on)
{
    if (TrButton *b = TrToolbarButton(which))
        on ? TrButtonShow(b) : TrButtonHide(b);
}

// ---- The buttons' calls into the game.

void post_key(int32_t key)
{
    // The buttons' actions may run on the worker: the key goes through the window's queue.
    HWND w = shell().window;
    if (w != nullptr)
        PostMessageA(w, WM_KEYDOWN, (WPARAM)key, 0);
    else
        TrKeyDown((WPARAM)key);
}

void post_command(int32_t id)
{
    if (HWND w = shell().window)
        PostMessageA(w, WM_COMMAND, (WPARAM)id, 0);
}

void status_redraw()
{
    TrCopies *c = TrCopiesGet();
    if (c->editorValid)
        c->editorRefresh = 1;
}

int test_run()
{
    return TrStartTest() != 0 ? 1 : 0;
}

void cursor_reset()
{
    TrSetCursor(0, 0);
}

void message(const char *text)
{
    TrStatusShort(text);
}

// ---- The game's toolbar states through the buttons.

void game_state()
{
    const bool test = TrPlayModeGet()->testRun != 0;
    for (int32_t w : {TR_BTN_START, TR_BTN_RESET, TR_BTN_REPOS, TR_BTN_HELP})
        show(w, true);
    show(TR_BTN_QUIT, !test);
    show(TR_BTN_BACK, test);
    for (int32_t w : {TR_BTN_LEFT, TR_BTN_RIGHT, TR_BTN_FM0_GROUP, TR_BTN_BUILD, TR_BTN_CHANGE, TR_BTN_DELETE,
                      TR_BTN_SUPPLY})
        show(w, false);
}

void editor_state()
{
    for (int32_t w : {TR_BTN_START, TR_BTN_LEFT, TR_BTN_RIGHT, TR_BTN_RESET, TR_BTN_REPOS, TR_BTN_FM0_GROUP,
                      TR_BTN_BUILD, TR_BTN_CHANGE, TR_BTN_DELETE, TR_BTN_SUPPLY})
        show(w, true);
    // Help's place is the tools' (F1 still opens it).
    show(TR_BTN_HELP, false);
    show(TR_BTN_QUIT, false);
    show(TR_BTN_BACK, false);
}

void run_state(int32_t on)
{
    // After a stop the start button rests in its first state again.
    TrButtonSetState(TrToolbarButton(TR_BTN_START), on ? 1 : 0);
    const TrPlayMode *mode = TrPlayModeGet();
    if (!mode->game) {
        // The field may not change under a run: the file group and the tools go while it lasts.
        if (on)
            TrGroupClose();
        for (int32_t w : {TR_BTN_FM0_GROUP, TR_BTN_LEFT, TR_BTN_RIGHT, TR_BTN_BUILD, TR_BTN_CHANGE, TR_BTN_DELETE,
                          TR_BTN_SUPPLY})
            show(w, !on);
        // The arrows stand on the status strip, which is not drawn every frame.
        if (on) {
            TrButton *l = TrToolbarButton(TR_BTN_LEFT), *r = TrToolbarButton(TR_BTN_RIGHT);
            if (l != nullptr && r != nullptr)
                TrStatusBarRange(std::min(l->x, r->x), std::max(l->x + l->w, r->x + r->w));
        }
    } else if (mode->testRun) {
        if (TrButton *b = TrToolbarButton(TR_BTN_BACK))
            TrButtonEnable(b, on ? 0 : 1);
    }
}

void popup_state(int32_t up)
{
    for (TrButton *b = TrButtonFirst(); b != nullptr; b = b->next)
        TrButtonEnable(b, up ? 0 : 1);
}

void draw_all()
{
    TrToolbarTick();
    if (br_pixelmap *pm = shell().screenPix)
        TrButtonDrawAll(pm);
}

void start_enable(int32_t enabled)
{
    TrButtonEnable(TrToolbarButton(TR_BTN_START), enabled);
}

void test_button_release()
{
    TrButtonSetState(TrToolbarButton(TR_BTN_START), 0);
}

// ---- The editor's calls into the game.

void orbit(float dx, float dy)
{
    TrCameraOrbit(dx, dy);
    TrCameraKey(88);
}

void tooltip(const char *text, int32_t x, int32_t y)
{
    TrTipText(x, y, text != nullptr ? text : "");
}

void cursor(int32_t code, int32_t direction)
{
    TrSetCursor(code, direction);
}

int32_t fly_in_countdown()
{
    return TrControlGet()->flyInCountdown;
}

void fly_in_finish()
{
    Fx_FlyInFinish();
    TrControlGet()->flyInCountdown = 0;
}

void mouse(int32_t *x, int32_t *y)
{
    POINT p{};
    GetCursorPos(&p);
    if (HWND w = shell().window)
        ScreenToClient(w, &p);
    *x = p.x;
    *y = p.y;
}

// ---- The overlay's host.

int stop_requested()
{
    if (TrProducerStop())
        return 1;
    VokInterFace *f = TrGetModule()->iface;
    return f != nullptr && (VokImgFlags(f) & VOK_IMG_STOP) ? 1 : 0;
}

void present_whole(br_pixelmap *)
{
    if (shell().dc != nullptr)
        TrDibPresent(shell().dc);
}

int32_t load_sequence(const char *colourBase, const char *alphaBase, br_pixelmap **colour, br_pixelmap **alpha,
                      int32_t max)
{
    const int32_t n = TrLoadSequence(colourBase, "pix", TR_SEQ_FILE, colour, max);
    if (n > 0 && alphaBase != nullptr && alpha != nullptr)
        TrLoadSequence(alphaBase, "bmp", TR_SEQ_FILE, alpha, n);
    return n;
}

// An element's look goes with the timed actions that move its actors (a fly-in under way when the
// field is replaced).
void (*g_lookFree)(TrElem *) = nullptr;

void free_look_and_actions(TrElem *e)
{
    if (e != nullptr) {
        if (e->actor != nullptr)
            TrActionFreeForActor(e->actor);
        if (e->markerActor != nullptr)
            TrActionFreeForActor(e->markerActor);
    }
    if (g_lookFree != nullptr)
        g_lookFree(e);
}

}  // namespace

void tr_wire_toolbar_setup()
{
    TrToolbarCreate();
    TrToolbarBufferMake();
    TrButtonHooks bh{};
    bh.sound = [](int id) { TrPlaySound(id); };
    bh.key = post_key;
    bh.statusRedraw = status_redraw;
    bh.command = post_command;
    bh.testRun = test_run;
    bh.endTestRun = TrEndTest;
    bh.cursorReset = cursor_reset;
    bh.message = message;
    bh.shift = nullptr;
    TrToolbarSetHooks(&bh);
    TrToolbarHooks th{};
    th.gameState = game_state;
    th.editorState = editor_state;
    th.runState = run_state;
    th.popupState = popup_state;
    th.drawAll = draw_all;
    th.startEnable = start_enable;
    th.testButtonRelease = test_button_release;
    TrSetToolbarHooks(&th);
    TrEditHooks eh{};
    eh.orbit = orbit;
    eh.tooltip = tooltip;
    eh.cursor = cursor;
    eh.flyInCountdown = fly_in_countdown;
    eh.flyInFinish = fly_in_finish;
    eh.mouse = mouse;
    Edit_SetHooks(&eh);
    TrToolbarWorkerStart();
    g_toolbarUp = true;
}

namespace {

bool g_fxWired = false;

// The effects made and freed with an element's actors wrap the looks' own hooks.
void wrap_looks()
{
    TrShell &s = shell();
    TrInstallFxHooks(s.view, s.depths[0], s.cameras[0]);
    TrPlayHooks h = *TrPlayHooksGet();
    if (h.lookFree != free_look_and_actions) {
        g_lookFree = h.lookFree;
        h.lookFree = free_look_and_actions;
        TrSetPlayHooks(&h);
    }
}

}  // namespace

void tr_wire_looks()
{
    TrInstallLookHooks();
    // A field built after the set-up keeps its balls' shadows and its actions' clean-up.
    if (g_fxWired)
        wrap_looks();
}

void tr_wire_fx_setup()
{
    wrap_looks();
    g_fxWired = true;
    TrOverlayHost host{};
    host.handOff = TrFrameHandOff;
    host.presentWhole = present_whole;
    host.stopRequested = stop_requested;
    host.runTimed = TrActionRunTimed;
    host.loadSequence = load_sequence;
    TrSetOverlayHost(&host);
    TraceMarks_InstallHost();
    Sprites_Init();
}

void tr_wire_shutdown()
{
    if (g_toolbarUp) {
        TrToolbarWorkerStop();
        Edit_Reset();
        Edit_SetHooks(nullptr);
        TrToolbarSetHooks(nullptr);
        TrToolbarDestroy();
        TrToolbarBufferFree();
        g_toolbarUp = false;
    }
    g_fxWired = false;
    TrActionFreeAll();
    Sprites_Free();
    TrPlayHooks h = *TrPlayHooksGet();
    if (h.lookFree == free_look_and_actions) {
        h.lookFree = g_lookFree;
        TrSetPlayHooks(&h);
    }
    TrSetOverlayHost(nullptr);
}

void tr_wire_frame_work()
{
    TraceMarks_Clear();
    Fx_FlyInFrame();
    TrControl *ctl = TrControlGet();
    ctl->flyInCountdown = std::max(ctl->flyInCountdown, Fx_FlyInCountdown());
}

int tr_wire_mouse(unsigned message, int32_t x, int32_t y)
{
    if (!g_toolbarUp)
        return 0;
    switch (message) {
    case WM_MOUSEMOVE:
        TrButtonHover(x, y, shell().screenPix);
        TrGroupLeave(x, y);
        Edit_Hover(x, y);
        Edit_HandFollow(x, y);
        Edit_MouseMove(x, y);
        return 1;
    case WM_LBUTTONDOWN:
        Edit_LeftPress(x, y);
        return 1;
    case WM_LBUTTONUP:
        Edit_LeftRelease(x, y);
        return 1;
    case WM_RBUTTONDOWN:
        Edit_RightPress(x, y);
        return 1;
    case WM_RBUTTONUP:
        Edit_OrbitEnd();
        return 1;
    default:
        return 0;
    }
}

int tr_wire_key(unsigned key)
{
    if (key == VK_F8 && g_toolbarUp) {
        Dir_BeginForHoverMagnet();
        return 1;
    }
    return 0;
}

void tr_wire_preview()
{
    TrShell &s = shell();
    if (s.fieldRoot != nullptr && s.view != nullptr && s.depths[0] != nullptr && s.cameras[0] != nullptr)
        Preview_Show(s.fieldRoot, s.view, s.depths[0], s.cameras[0]);
}
