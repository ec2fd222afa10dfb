// The work around each rendered frame: where the frame starts from (the view copies or the fill),
// the run's part, and after the render the texts, the buttons, the copies taken and the countdowns.
#include <cmath>
#include <cstdio>
#include <cstring>

#include <brondel/bractor.h>
#include <brondel/brpixmap.h>
#include <brondel/brscene.h>

#include "gameint.h"
#include "wiring.h"
#include "pannix/pxfont.h"
#include "terrow/trdib.h"
#include "terrow/trfield.h"
#include "terrow/trgame.h"
#include "terrow/trmodule.h"
#include "terrow/trmsg.h"
#include "terrow/trplay.h"
#include "terrow/trshell.h"
#include "win32/wintime.h"
#include "win32/winuser.h"

namespace {

void (*g_routine)(void) = nullptr;
int32_t g_routineCount = 0;
char g_tip[128] = "";
int32_t g_tipX = 0, g_tipY = 0;
uint32_t g_lastFrame = 0;

TrShell &shell()
{
    return *TrGetShell();
}

// The font set's styles by their use: its pictures carry their own shadow, so the status line is
// drawn once, in the line's style or, for a text ending in "!", the highlighted one.
enum : int32_t { kStyleLine = 0, kStyleHighlight = 1, kStyleTitle = 2, kStyleAnnounce = 3, kStyleTip = 0 };

bool select_style(int32_t style)
{
    return shell().fonts != nullptr && PxSelectFont(shell().fonts, style) != nullptr;
}

}  // namespace

int32_t tr_text_width(int32_t style, const char *text)
{
    if (text == nullptr || !select_style(style))
        return 0;
    return PxGetTextWidth(text);
}

void tr_draw_text(int32_t style, int32_t x, int32_t y, const char *text)
{
    TrShell &s = shell();
    if (text == nullptr || text[0] == '\0' || s.screenPix == nullptr || !select_style(style))
        return;
    if (x < 0 && s.view != nullptr)
        x = (s.view->width - PxGetTextWidth(text)) / 2 + (-x - 1);
    // A text with a line break is drawn line by line.
    if (std::strchr(text, '\n') != nullptr)
        PxShowTextMl(s.screenPix, x, y, text);
    else
        PxShowText(s.screenPix, x, y, text);
}

void tr_render_present()
{
    TrShell &s = shell();
    TrRenderFrame();
    if (s.dc != nullptr && TrPaintState() != 0)
        TrDibPresent(s.dc);
}

extern "C" {

void TrSetFrameRoutine(void (*routine)(void), int32_t count)
{
    g_routine = routine;
    g_routineCount = routine != nullptr ? count : 0;
}

void TrTipText(int32_t x, int32_t y, const char *text)
{
    if (text == nullptr || text[0] == '\0') {
        g_tip[0] = '\0';
        return;
    }
    std::snprintf(g_tip, sizeof g_tip, "%s", text);
    TrShell &s = shell();
    const int32_t w = tr_text_width(kStyleTip, g_tip), h = shell().fonts != nullptr ? PxGetTextHeight1() : 0;
    // Moved left and up as far as the text needs to stay inside the view.
    if (s.view != nullptr) {
        if (x + w > s.view->width)
            x = s.view->width - w;
        if (y + h > s.view->height)
            y = s.view->height - h;
    }
    g_tipX = x < 0 ? 0 : x;
    g_tipY = y < 0 ? 0 : y;
}

void TrFrameWork(void)
{
    TrShell &s = shell();
    TrCopies *c = TrCopiesGet();
    if (s.view == nullptr)
        return;
    if (c->editorValid && !c->editorRefresh && c->countdown == 0) {
        tr_copy_all(s.view, s.backs[1]);
        tr_copy_all(s.depths[0], s.depths[2]);
        tr_editor_parts_out();
    } else if (c->runInUse && c->runTaken && c->countdown == 0) {
        tr_copy_all(s.view, s.backs[1]);
        tr_copy_all(s.depths[0], s.depths[2]);
    } else if (c->backgroundValid) {
        tr_copy_all(s.view, s.backs[0]);
        tr_copy_all(s.depths[0], s.depths[1]);
    } else {
        BrPixelmapFill(s.view, (br_uint_32)TrGetModule()->ini.FillColor);
        BrPixelmapFill(s.depths[0], 0xFFFFFFFF);
        if (c->editorValid)
            tr_editor_parts_in();
    }
    tr_wire_frame_work();
    // The run's part: the failure's stop when its time has come, else the step to the clock.
    TrRunFrame();
    const TrPalya *f = Palya_Current();
    if (f != nullptr) {
        const TrPlayHooks *h = TrPlayHooksGet();
        for (TrNode *n = f->balls; n != nullptr; n = n->next)
            if (h->shadowUpdate != nullptr && n->item != nullptr)
                h->shadowUpdate((TrElem *)n->item);
    }
    tr_carousel_step();
    TrActionRunFrame();
}

void TrAfterRender(void)
{
    TrShell &s = shell();
    TrControl *ctl = TrControlGet();
    TrCopies *c = TrCopiesGet();
    const uint32_t t = timeGetTime();
    const TrSimState *sim = TrSimGet();
    if (s.view == nullptr)
        return;
    if (sim->paused && ctl->announceStart == 0 && !ctl->toolbarLock && ctl->levelTitle[0])
        tr_draw_text(kStyleTitle, -1, 430, ctl->levelTitle);
    ctl->frames++;
    const bool hadText = TrStatusText()[0] != '\0';
    if (!TrStatusTick(t)) {
        // The editor copies still show the text that went: they are taken anew.
        if (hadText && c->editorValid)
            c->editorRefresh = 1;
    } else {
        const char *text = TrStatusText();
        const size_t n = std::strlen(text);
        tr_draw_text(n > 0 && text[n - 1] == '!' ? kStyleHighlight : kStyleLine, -1, 10, text);
    }
    if (g_tip[0] != '\0')
        tr_draw_text(kStyleTip, g_tipX, g_tipY, g_tip);
    if (TrGetModule()->ini.ShowFps) {
        const uint32_t ms = t - g_lastFrame;
        // A frame in the same millisecond has no rate.
        if (ms > 0 && g_lastFrame != 0) {
            char fps[32];
            std::snprintf(fps, sizeof fps, "%3.2f", 1000.0 / ms);
            tr_draw_text(kStyleTip, 200, 0, fps);
        }
    }
    g_lastFrame = t;
    tr_toolbar_draw_all();
    if (ctl->announceStart != 0) {
        if (t - ctl->announceStart >= 6000 && ctl->flyInCountdown == 0) {
            ctl->announceStart = 0;
            ctl->toolbarLock = 0;
            TrToolbarRunState(0);
            tr_toolbar_start_enable(1);
        } else {
            const int32_t needed = Palya_BallsNeeded();
            char text[128];
            if (needed == 1)
                std::snprintf(text, sizeof text, "%s", TrMessage(TR_MSG_GET_ONE));
            else
                std::snprintf(text, sizeof text, TrMessage(TR_MSG_GET_N), (int)needed);
            tr_draw_text(kStyleAnnounce, -1, 375, text);
        }
    }
    if (ctl->startLock && (int32_t)(t - ctl->startLockTime) >= 0) {
        ctl->startLock = 0;
        tr_toolbar_start_enable(1);
    }
    TrActionRunTimed();
    if (c->editorValid && c->editorRefresh) {
        TrEditorCopiesTake();
        c->editorRefresh = 0;
    }
    if (TrGetModule()->ini.Hatter && c->background != nullptr && !c->backgroundValid && c->countdown == 1) {
        TrCopiesTakeBackground();
        if (c->editorValid)
            c->editorRefresh = 1;
    }
    if (c->runInUse && c->countdown == 1)
        TrCopiesTakeRun();
    if (c->editorValid)
        tr_editor_parts_in();
    if (c->countdown > 0)
        c->countdown--;
    if (TrPlayModeGet()->game) {
        if (g_routine != nullptr && g_routineCount > 0) {
            g_routineCount--;
            g_routine();
        }
        if (ctl->flyInCountdown > 0)
            ctl->flyInCountdown--;
    }
}

void TrRenderFrame(void)
{
    TrShell &s = shell();
    if (s.view == nullptr || s.worlds[0] == nullptr)
        return;
    TrFrameWork();
    BrZbSceneRender(s.worlds[0], s.cameras[0], s.view, s.depths[0]);
    TrAfterRender();
}

}  // extern "C"
