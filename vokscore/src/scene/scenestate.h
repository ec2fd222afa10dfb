// State of the scene engine shared by the engine and the session builder.
#pragma once

#include <stdint.h>

#include "vokscore/vokscene.h"
#include "win32/windows.h"

namespace vok {

struct SceneEngine {
    VokScene *stack[VOK_SCENE_STACK] = {};
    int depth = 0;             // scenes on the stack
    VokScene *running = nullptr;
    bool starting = false;
    bool ending = false;
    bool busy = false;         // a build or paint is under way: mouse and keys wait
    bool runningFlag = false;
    bool abort = false;
    // No screen is being built or torn down: true while a run loop pumps and outside any screen.
    bool mayStart = true;
    // Latched by VokIsAnyPopupAlive: the running scene's loop ends at its next pass.
    bool alive = false;
    PXFONTSET *fonts = nullptr; // the running scene's font chain
    VokSession *page = nullptr;
    VokSession *focusSession = nullptr;
    VokSession *pendingPage = nullptr; // a delayed page switch
    bool pendingSwitch = false;
    uint32_t pendingSince = 0;
    WNDPROC fallbackProc = nullptr;
    // Arrow focus: the control the focus goes back to after an arrow took it.
    VokSession *arrowSession = nullptr;
    VokIkon *arrowReturn = nullptr;
    // Double click.
    UINT dblTime = 500;
    int dblWidth = 4, dblHeight = 4;
    uint32_t lastClickTime = 0;
    int lastClickX = 0, lastClickY = 0;
    bool lastClickValid = false;
    // Auto-repeat.
    int repeatKey = 0;
    bool repeatArmed = false;
    bool captured = false;
    UINT keyTimerMs = 0;
    // Key wait of the key-binding screens: 0 none, -1 waiting, else the answer.
    int keyWait = 0;
    VokIkon *hovered = nullptr;
    bool ownClassRegistered = false;
};

SceneEngine &engine();
// The window scenes run over and media objects report to: the owner window, else the first window.
HWND popup_window();

// Puts the mouse cursor on the centre of the focus session's focused ikon when the settings ask for it.
void place_cursor_on_focus();

// Timer ids of the auto-repeat.
constexpr UINT_PTR kTimerArm = 0x5601;
constexpr UINT_PTR kTimerLong = 0x5602;
constexpr UINT_PTR kTimerKey = 0x5603;

// A picture named by a description: the scene's language pack first, then its data pack.
// With `g_placeholders` (the screen viewer) a picture or pack that is missing is not an error: a
// picture of the size hint (or 48x24) in a colour made from its name stands in.
br_pixelmap *load_picture(VokScene *scene, const char *name, int width = 0, int height = 0);
extern bool g_placeholders;
// Paints one session (ikons marked for redraw, or all after a full copy).
void paint_session(VokScene *scene, VokSession *session);
// Frees what the build of an ikon made.
void free_ikon(VokIkon *ikon);
// Hook of the Media clips of ".mzi" ikons: opens a clip over the ikon and gives its size (0: the
// ikon is not built); the close hook frees it. The clip layer's own pair unless a test swaps them.
extern int (*g_openIkonClip)(VokScene *scene, VokSession *session, VokIkon *ikon, int *width, int *height);
extern void (*g_closeIkonClip)(VokIkon *ikon);

}  // namespace vok
