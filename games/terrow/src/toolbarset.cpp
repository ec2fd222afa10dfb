// The module's seventeen buttons, their places and actions, and the radio rule of the editor's tools.
// What the actions reach beyond the field (keys, sounds, the status bar, the window's commands) goes
// through TrButtonHooks, which the game screen installs.
#include "terrow/trtoolbar.h"

#include <cstring>
#include <initializer_list>

#include "terrow/trdib.h"
#include "terrow/tredit.h"
#include "terrow/trplay.h"
#include "terrow/trshell.h"
#include "win32/wintime.h"
#include "win32/winuser.h"

extern "C" const int32_t TrToolFrameOrder[13] = {12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 2, 2};

namespace {

TrButtonHooks g_hooks{};
TrButton *g_buttons[TR_BTN_COUNT];
int32_t g_tool = 0;
int32_t g_save_flag = 0;
uint32_t g_start_back = 0; // when the start button comes back (0: not paused)

void sound(int id)
{
    if (g_hooks.sound != nullptr)
        g_hooks.sound(id);
}

void key(int32_t k)
{
    if (g_hooks.key != nullptr)
        g_hooks.key(k);
}

void status_redraw()
{
    if (g_hooks.statusRedraw != nullptr)
        g_hooks.statusRedraw();
}

bool shift_held()
{
    if (g_hooks.shift != nullptr)
        return g_hooks.shift() != 0;
    return (GetKeyState(VK_SHIFT) & 0x8000) != 0;
}

void on_start(TrButton *b)
{
    if (b->state == 1) {
        key(TR_KEY_START);
        return;
    }
    TrButtonEnable(b, 0);
    g_start_back = timeGetTime() + 700;
    if (g_start_back == 0)
        g_start_back = 1;
    sound(6);
    key(TR_KEY_STOP);
}

void before_start(TrButton *b)
{
    if (!TrPlayModeGet()->game && !TrSimGet()->runActive && b->state == 1)
        status_redraw();
}

void balls_needed(int32_t delta, int32_t limit)
{
    TrPalya *f = Palya_Current();
    const int32_t was = f != nullptr ? f->ballsNeeded : 0;
    Palya_BallsNeededAdd(delta);
    sound(was == limit ? 5 : 16);
    status_redraw();
}

void on_left(TrButton *) { balls_needed(-1, 1); }
void on_right(TrButton *) { balls_needed(+1, TR_BALLS_NEEDED_MAX); }
void on_reset(TrButton *) { key(VK_HOME); }
void on_repos(TrButton *) { key(VK_END); }
void on_escape(TrButton *) { key(VK_ESCAPE); }
void on_help(TrButton *) { key(VK_F1); }

void on_test_run(TrButton *)
{
    if (g_hooks.testRun != nullptr && !g_hooks.testRun() && g_hooks.message != nullptr)
        g_hooks.message("Cannot create save file");
}

void file_command(int32_t id)
{
    sound(16);
    g_save_flag = shift_held() ? 0 : 1;
    if (g_hooks.command != nullptr)
        g_hooks.command(id);
}

void on_save(TrButton *) { file_command(40001); }
void on_load(TrButton *) { file_command(40002); }

void on_back(TrButton *)
{
    sound(11);
    if (g_hooks.endTestRun != nullptr)
        g_hooks.endTestRun();
}

void on_menu_close(TrButton *)
{
    sound(16);
    TrGroupClose();
}

void on_menu(TrButton *) { sound(16); }

void on_tool(TrButton *b)
{
    for (int32_t t = 0; t < 4; t++)
        if (g_buttons[TR_BTN_BUILD + t] == b)
            TrToolSelect(t);
}

struct Made {
    int32_t which;
    const char *name;
    int32_t kind;
    TrButtonRoutine action;
    int32_t x, y;
};

const Made kMade[] = {
    {TR_BTN_START, "start", TR_BUTTON_TOGGLE, on_start, 0, 411},
    {TR_BTN_LEFT, "left", TR_BUTTON_PUSH, on_left, 126, 451},
    {TR_BTN_RIGHT, "right", TR_BUTTON_PUSH, on_right, 154, 451},
    {TR_BTN_RESET, "reset", TR_BUTTON_PUSH, on_reset, 591, 411},
    {TR_BTN_REPOS, "repos", TR_BUTTON_PUSH, on_repos, 473, 411},
    {TR_BTN_FM4, "fm4", TR_BUTTON_PUSH, on_escape, 50, 4},
    {TR_BTN_FM3, "fm3", TR_BUTTON_PUSH, on_test_run, 50, 4},
    {TR_BTN_FM1, "fm1", TR_BUTTON_PUSH, on_save, 50, 4},
    {TR_BTN_FM2, "fm2", TR_BUTTON_PUSH, on_load, 50, 4},
    {TR_BTN_HELP, "help", TR_BUTTON_PUSH, on_help, 517, 0},
    {TR_BTN_QUIT, "quit", TR_BUTTON_PUSH, on_escape, 0, 0},
    {TR_BTN_BACK, "back", TR_BUTTON_PUSH, on_back, 0, 0},
    {TR_BTN_FM0, "fm0", TR_BUTTON_PUSH, on_menu_close, 0, 0},
    {TR_BTN_FM0_GROUP, "fm0", TR_BUTTON_PUSH, on_menu, 0, 0},
    {TR_BTN_BUILD, "build", TR_BUTTON_TOGGLE, on_tool, 358, 0},
    {TR_BTN_CHANGE, "change", TR_BUTTON_TOGGLE, on_tool, 493, 0},
    {TR_BTN_DELETE, "delete", TR_BUTTON_TOGGLE, on_tool, 590, 0},
    {TR_BTN_SUPPLY, "supply", TR_BUTTON_TOGGLE, on_tool, 543, 0},
};

}  // namespace

extern "C" {

void TrToolbarSetHooks(const TrButtonHooks *hooks)
{
    g_hooks = hooks != nullptr ? *hooks : TrButtonHooks{};
}

int32_t TrToolbarCreate(void)
{
    TrToolbarDestroy();
    int32_t made = 0;
    for (const Made &m : kMade) {
        char path[64];
        snprintf(path, sizeof path, "%s\\co", m.name);
        TrButton *b = TrButtonNew(m.kind, m.action, m.x, m.y, path);
        g_buttons[m.which] = b;
        if (b == nullptr)
            continue;
        made++;
        switch (m.which) {
        case TR_BTN_START:
            TrButtonHitRect(b, 21, 425, 45, 45);
            TrButtonPressOffset(b, TR_STATUS_HEIGHT);
            TrButtonBefore(b, before_start);
            break;
        case TR_BTN_RESET:
        case TR_BTN_REPOS:
            TrButtonPressOffset(b, TR_STATUS_HEIGHT);
            TrButtonMaskTest(b, 1);
            break;
        case TR_BTN_FM1:
        case TR_BTN_FM2:
        case TR_BTN_FM3:
        case TR_BTN_FM4:
            TrButtonSync(b, 1);
            break;
        case TR_BTN_BACK:
            TrButtonHide(b);
            TrButtonMaskTest(b, 1);
            break;
        case TR_BTN_HELP:
        case TR_BTN_QUIT:
        case TR_BTN_FM0:
        case TR_BTN_FM0_GROUP:
            TrButtonMaskTest(b, 1);
            break;
        case TR_BTN_BUILD:
        case TR_BTN_CHANGE:
        case TR_BTN_DELETE:
        case TR_BTN_SUPPLY:
            TrButtonMaskTest(b, 1);
            b->hoverFrame = 6;
            TrButtonReorder(b, TrToolFrameOrder, 13);
            break;
        default:
            break;
        }
    }
    if (TrButton *owner = g_buttons[TR_BTN_FM0_GROUP]) {
        TrGroupNew(owner);
        for (int32_t w : {TR_BTN_FM4, TR_BTN_FM3, TR_BTN_FM1, TR_BTN_FM2, TR_BTN_FM0})
            if (g_buttons[w] != nullptr)
                TrGroupAdd(owner, g_buttons[w], 1);
    }
    g_tool = 0;
    if (g_buttons[TR_BTN_BUILD] != nullptr)
        g_buttons[TR_BTN_BUILD]->state = 1;
    g_start_back = 0;
    return made;
}

void TrToolbarDestroy(void)
{
    TrButtonFreeAll();
    std::memset(g_buttons, 0, sizeof g_buttons);
    g_start_back = 0;
}

TrButton *TrToolbarButton(int32_t which)
{
    return which >= 0 && which < TR_BTN_COUNT ? g_buttons[which] : nullptr;
}

void TrToolSelect(int32_t tool)
{
    if (tool < 0 || tool > 3)
        return;
    if (TrPaintState() != 0)
        sound(17);
    for (int32_t t = 0; t < 4; t++)
        TrButtonSetState(g_buttons[TR_BTN_BUILD + t], t == tool ? 1 : 0);
    g_tool = tool;
    if (tool >= 2) {
        Edit_DropHandOnToolChange();
        Edit_ResetHover();
    }
    if (g_hooks.cursorReset != nullptr)
        g_hooks.cursorReset();
}

int32_t TrToolCurrent(void)
{
    return g_tool;
}

int32_t TrToolbarWorksWithHand(const TrButton *b)
{
    // Changing to another tool keeps or gives back the carried piece; nothing else runs under a hand.
    return b != nullptr && (b == g_buttons[TR_BTN_CHANGE] || b == g_buttons[TR_BTN_DELETE] ||
                            b == g_buttons[TR_BTN_SUPPLY])
               ? 1
               : 0;
}

int32_t TrToolbarTakeSaveFlag(void)
{
    const int32_t f = g_save_flag;
    g_save_flag = 0;
    return f;
}

void TrToolbarTick(void)
{
    if (g_start_back != 0 && (int32_t)(timeGetTime() - g_start_back) >= 0) {
        g_start_back = 0;
        TrButtonEnable(g_buttons[TR_BTN_START], 1);
    }
}

}  // extern "C"
