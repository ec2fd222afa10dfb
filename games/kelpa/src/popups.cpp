// The framework's screens called from the game, the text overlay of every frame and the level-won
// animation.
#include <stdio.h>
#include <string.h>
#include <stdlib.h>

#include "kelpa/kelpa.h"
#include "kelpa/kprules.h"
#include "vokscore/vokloading.h"
#include "vokscore/vokmedia.h"
#include "vokscore/vokpopup.h"
#include "vokscore/voksound.h"
#include "vokplat/window.h"

namespace {

KpPopupScreen g_popupScreen = nullptr;

int popupScreen(unsigned id)
{
    return g_popupScreen != nullptr ? g_popupScreen(id) : VokPopupIFScreen(id);
}

void resizeTo(br_pixelmap *backdrop)
{
    KpScreen *s = kpRenderer().screen;
    if (s == nullptr)
        return;
    const int w = backdrop != nullptr ? backdrop->width : 640, h = backdrop != nullptr ? backdrop->height : 480;
    if (s->width != w || s->height != h)
        KpResizeScreen(s, 0, 0, w, h);
}

// Type 4 with result 0: the level's replay is shown.
void showReplay()
{
    KpRules &r = kpRules();
    if (r.gameKind == 102)
        return;
    KpNewGame(0);
    KpReplayWrite(nullptr, 3);
    r.replayPlaying = 1;
    kpObjects().replayPlaying = 1;
    KpReplayRead(1);
}

// Type 4 with result 1 or 2: a new game (the editor's board cleared, a playback reopened).
void newGame(bool rebuild)
{
    KpRules &r = kpRules();
    const VokInterFace *f = kpModule().interFace;
    if (r.gameKind == 102) {
        r.clearBoardOnSetup = 1;
        KpNewGame(0);
    } else if (f != nullptr && (f->gameFlags & VOK_GF_REPLAY)) {
        KpNewGame(0);
        KpReplayRead(1);
    } else {
        KpNewGame(1);
    }
    if (rebuild) {
        KpLevelSetup();
        kpObjects().setupPending = 1;
    }
}

void closeRun()
{
    if (kpRules().replayPlaying)
        KpReplayRead(3);
    else
        KpReplayWrite(nullptr, 3);
}

}  // namespace

void KpSetPopupScreen(KpPopupScreen screen)
{
    g_popupScreen = screen;
}

int KpShowPopup(int type)
{
    KpModule &m = kpModule();
    VokInterFace *f = m.interFace;
    if (f == nullptr)
        return -1;
    KpRules &r = kpRules();
    KpObjects &o = kpObjects();
    f->ownerWnd = m.gameWindow;
    f->imgThreadProc = nullptr;
    f->imgEndProc = nullptr;
    f->replayProc = nullptr;
    if (!r.replayPlaying && type == 6) {
        MEMORYSTATUS status = {};
        status.dwLength = sizeof status;
        GlobalMemoryStatus(&status);
        // The preview slides in from the wide backdrop. The screen's own pictures keep their size:
        // the results screen holds them while it runs, so the producer draws the wide picture into
        // layers of its own.
        if (uint64_t(status.dwAvailPhys) + uint64_t(status.dwAvailVirtual) > 10000000u) {
            f->imgThreadProc = KpImageProducer;
            if (r.gameKind == 100) {
                f->replayProc = KpAssembleReplay;
                VokImgFlagsSet(f, VOK_IMG_REPLAY);
            }
        }
    }
    f->screenPix = kpRenderer().screen != nullptr ? kpRenderer().screen->colour : nullptr;
    if (!r.replayPlaying && type == 5)
        KpParkButtons();
    // A replay shown by PlayKp ends with its window.
    if (m.embedded) {
        DestroyWindow(m.gameWindow);
        return f->popupResult;
    }
    popupScreen(unsigned(type));
    o.setupPending = type == 3 || type == 34 ? 0 : 1;
    const int result = f->popupResult;
    if (result == 0)
        o.setupPending = 0;
    if (result == -1) {
        PostMessageA(m.gameWindow, WM_CLOSE, 0, 0);
    } else {
        switch (type) {
        case 2:
            if (result != 0) {
                KpNewGame(0);
                KpLevelSetup();
                o.setupPending = 1;
            }
            break;
        case 4:
            if (result == 0)
                showReplay();
            else if (result == 1 || result == 2)
                newGame(true);
            break;
        case 5:
            KpPlaceButtons();
            closeRun();
            if (result == 1 || result == 2) {
                r.replayPlaying = o.replayPlaying = 0;
                newGame(false);
            }
            break;
        case 6:
            resizeTo(kpResources().backdrops[0]);
            kpSwitches().fullRedraw = 1;
            o.setupPending = 1;
            r.replayPlaying = o.replayPlaying = 0;
            if (result == 1 || result == 2) {
                KpPlaceButtons();
                closeRun();
                newGame(false);
            } else if (result == 0) {
                showReplay();
            }
            break;
        case 7:
            r.replayPlaying = o.replayPlaying = 0;
            if (result == 0)
                showReplay();
            break;
        default:
            break;
        }
    }
    if (type != 3)
        VokReplayCDtrack(kpSettings().cdTrack);
    return result;
}

// ---- the text overlay ----

namespace {

// The x of streak digit d (1..6) after `rowsDone` worms; 0: not drawn.
const int kStreakX[6][6] = {
    {275, 0, 0, 0, 0, 0},
    {355, 355, 0, 0, 0, 0},
    {205, 275, 275, 0, 0, 0},
    {425, 425, 355, 355, 0, 0},
    {135, 205, 205, 275, 275, 0},
    {495, 495, 425, 425, 355, 355},
};

void centred(br_pixelmap *pic, int font, int y, const char *text)
{
    if (PxSelectFont(kpResources().fonts, font) != nullptr)
        PxShowText(pic, pic->width / 2 - PxGetTextWidth(text) / 2, y, text);
}

}  // namespace

int KpStreakDigitX(int digit, int rowsDone)
{
    if (digit < 1 || digit > 6 || rowsDone < 1 || rowsDone > 6)
        return 0;
    return kStreakX[digit - 1][rowsDone - 1];
}

void KpDrawStatus(KpScreen *screen)
{
    KpResources &res = kpResources();
    if (screen == nullptr || screen->colour == nullptr || res.fonts == nullptr)
        return;
    const KpRules &r = kpRules();
    const VokInterFace *f = kpModule().interFace;
    const int language = f != nullptr ? f->language : 0;
    br_pixelmap *pic = screen->colour;
    const bool won = KpLevelWon(r) && r.finishCountdown == 0;
    char title[128];
    PxLockFonts();
    PxSaveLastFontSettings(1);
    if (!won && !(r.levelLost && !r.trialRun)) {
        if (r.replayPlaying) {
            centred(pic, 2, 30, KpGetText(language, 2));
            if (r.gameKind == 101) {
                char line[64];
                snprintf(line, sizeof line, KpGetText(language, 3), kpReplay().replayPlayer);
                if (PxSelectFont(res.fonts, 2) != nullptr)
                    PxShowText(pic, 25, 75, line);
            }
        }
        if (r.gameKind == 101) {
            centred(pic, 0, 450, KpClockText());
        } else if (r.gameKind == 100) {
            if (KpTitleText(title, sizeof title))
                centred(pic, 1, 450, title);
        } else if (r.editorOpen && !(r.gameKind == 102 && (r.levelFamily == 1 || r.levelFamily == 3))) {
            POINT c = {};
            GetCursorPos(&c);
            if (kpObjects().toolTip[0] != '\0')
                PxShowText(pic, c.x - 50, c.y - 20, kpObjects().toolTip);
        }
        const int streaks = r.header[KP_H_STREAKS];
        if (streaks != kKpNoPattern && streaks >= 1 && streaks <= 6)
            for (int d = 1; d <= streaks; d++) {
                const int x = KpStreakDigitX(d, r.rowsDone);
                const char digit[2] = {char('0' + d), '\0'};
                if (x != 0)
                    PxShowText(pic, x, 60, digit);
            }
    } else if (r.gameKind == 101) {
        centred(pic, 0, 450, KpClockText());
    } else if (r.gameKind == 100 && KpTitleText(title, sizeof title)) {
        centred(pic, 1, 450, title);
    }
    PxLoadLastFontSettings(1);
    PxUnlockFonts();
}

// ---- the level-won animation ----

namespace {

void copyRect(br_pixelmap *dst, const br_pixelmap *src, int x, int y, int w, int h)
{
    if (dst == nullptr || src == nullptr)
        return;
    const int W = dst->width < src->width ? dst->width : src->width;
    const int H = dst->height < src->height ? dst->height : src->height;
    const int x0 = x < 0 ? 0 : x, y0 = y < 0 ? 0 : y;
    const int x1 = x + w > W ? W : x + w, y1 = y + h > H ? H : y + h;
    for (int row = y0; row < y1 && x1 > x0; row++)
        memcpy(static_cast<char *>(dst->pixels) + ptrdiff_t(dst->base_y + row) * dst->row_bytes + (dst->base_x + x0) * 2,
               static_cast<const char *>(src->pixels) + ptrdiff_t(src->base_y + row) * src->row_bytes +
                   (src->base_x + x0) * 2,
               size_t(x1 - x0) * 2);
}

// The path the glows follow: the rules forget the path as the last worm leaves through the exit, so
// the tick keeps the path of the running worm.
int32_t g_path[kKpPathMaxCells][2] = {};
int32_t g_pathCount = 0;

br_actor *tileOf(int q)
{
    if (q < 0 || q >= g_pathCount)
        return nullptr;
    const int x = g_path[q][0], z = g_path[q][1];
    if (x < 0 || x > 10 || z < 0 || z > 10)
        return nullptr;
    return kpObjects().tiles[z * 11 + x];
}

// Glows at point `only` (0..2; -1: all three) of step `step` (3q + j) with a halo and a core of the
// two radii, onto the screen's colour picture.
void glowPoints(int step, float halo, float core, int limit, int only = -1, KpScreen *onto = nullptr)
{
    const int q = step / 3;
    if (step < 3 || step >= limit || q >= kKpPathMaxCells)
        return;
    br_actor *tile = tileOf(q);
    KpScreen *s = onto != nullptr ? onto : kpRenderer().screen;
    if (tile == nullptr || tile->parent == nullptr || s == nullptr)
        return;
    const br_matrix34 &t = tile->t.t.mat;
    for (int k = 0; k < 3; k++) {
        if (only >= 0 && k != only)
            continue;
        const float *p = kpEffects().points[step][k];
        const br_vector3 point = {{t.m[3][0] + p[0], t.m[3][1] + 0.01f, t.m[3][2] + p[1]}};
        KpGlow(KP_GLOW_HALO, s->colour, s->depth, tile->parent, point, kpRenderer().scene->camera, halo);
        KpGlow(KP_GLOW_CORE, s->colour, s->depth, tile->parent, point, kpRenderer().scene->camera, core);
    }
}

void glowStep(int step, float halo, float core, int limit)
{
    glowPoints(step, halo, core, limit);
}

void present()
{
    KpSwitches &sw = kpSwitches();
    const int32_t full = sw.fullRedraw;
    sw.fullRedraw = 1;
    KpPresentFrame(kpRenderer().screen);
    sw.fullRedraw = full;
    KpFlushPresents();
}

}  // namespace

void KpKeepPath(const KpRules &r)
{
    if (r.pathCount <= 0)
        return;
    g_pathCount = r.pathCount < kKpPathMaxCells ? r.pathCount : kKpPathMaxCells;
    memcpy(g_path, r.pathCells, sizeof g_path);
}

void KpForgetPath()
{
    g_pathCount = 0;
}

void KpWinAnimation(int flag)
{
    KpSwitches &sw = kpSwitches();
    KpRenderer &rd = kpRenderer();
    KpScreen *s = rd.screen;
    const KpRules &r = kpRules();
    if (s == nullptr || s->colour == nullptr || rd.scene == nullptr)
        return;
    if (!kpEffects().built)
        KpBuildEffectTables();
    if (!flag)
        sw.sceneLive = 0;
    sw.fullRedraw = 1;
    KpRenderFrame(s);
    if (!flag)
        KpSlideButtonsOut();
    if (flag)
        KpKeepPath(r);
    KpFillGlowPoints(g_path, g_pathCount);
    {
        char line[64];
        snprintf(line, sizeof line, "win animation over %d path cells", int(g_pathCount));
        VokLog("kelpa", line);
    }
    VokLoopHandle loop = VOK_LOOP_OFF;
    const bool sounds = kpSettings().soundEffects != 0 && kpModule().soundSet != nullptr;
    if (sounds)
        loop = VokPlayLoopSound(kpModule().soundSet, 0);
    sw.fullRedraw = 1;
    KpRenderFrame(s);
    KpDrawStatus(s);
    present();
    if (rd.savedColour == nullptr)
        rd.savedColour = BrPixelmapClone(s->colour);
    else
        copyRect(rd.savedColour, s->colour, 0, 0, s->width, s->height);
    sw.fullRedraw = sw.sceneLive = sw.indicatorLive = sw.backgroundSwitch = sw.newLevelSwitch = 0;
    KpSetGlowColour(255, 255, 0);
    // Glow points stop with the 24 path cells that have them.
    const int count = g_pathCount;
    const int limit = 3 * count;
    for (int c = 3; c < limit + 2; c++) {
        copyRect(s->colour, rd.savedColour, 0, 0, s->width, s->height);
        if (c - 2 >= 3 && c - 2 < limit) {
            glowStep(c - 2, 0.05f, 0.01f, limit);
            const KpEffects &e = kpEffects();
            copyRect(rd.savedColour, s->colour, e.glowLeft - 80, e.glowTop - 80, 160, 160);
        }
        glowStep(c - 1, 0.075f, 0.015f, limit);
        glowStep(c, 0.1f, 0.02f, limit);
        KpDrawStatus(s);
        present();
        Sleep(25);
    }
    if (sounds)
        VokStopLoopSound(loop);
    // The closing flash over the last path cell.
    br_actor *tile = tileOf(count - 1);
    if (tile != nullptr && tile->parent != nullptr) {
        const br_matrix34 &t = tile->t.t.mat;
        const br_vector3 centre = {{t.m[3][0], t.m[3][1] + 0.01f, t.m[3][2]}};
        for (int radius : {3, 6, 5, 4, 3, 2}) {
            KpGlow(KP_GLOW_FALLOFF, s->colour, s->depth, tile->parent, centre, rd.scene->camera,
                   float(radius) / 20.0f);
            present();
            Sleep(25);
            copyRect(s->colour, rd.savedColour, 0, 0, s->width, s->height);
        }
    }
    KpDrawStatus(s);
    present();
}

// ---- the moving preview of the results screen ----

namespace {

const int kGlowColours[6][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 128, 0}, {255, 255, 255}, {255, 255, 0}};

bool stopAsked(const VokInterFace *f)
{
    return (VokImgFlags(f) & VOK_IMG_STOP) != 0;
}

// One picture in flight: the ready flag stays set until the framework has taken the picture (it
// clears the flag, then pulses VokImgDone); a lost pulse only costs the next 100 ms look.
void handOver(VokInterFace *f)
{
    if (!(VokImgFlags(f) & VOK_IMG_WANTED))
        return;
    VokImgFlagsSet(f, VOK_IMG_READY);
    PulseEvent(f->imgReadyEvent);
    while (WaitForSingleObject(f->imgDoneEvent, 100) != WAIT_OBJECT_0 && (VokImgFlags(f) & VOK_IMG_READY) &&
           !stopAsked(f))
        PulseEvent(f->imgReadyEvent);
}

// The flash over the last path cell; false when that cell has no tile.
bool flash(int intensity)
{
    KpRenderer &rd = kpRenderer();
    KpScreen *s = rd.screen;
    br_actor *tile = tileOf(g_pathCount - 1);
    if (tile == nullptr || tile->parent == nullptr)
        return false;
    const br_matrix34 &t = tile->t.t.mat;
    const br_vector3 centre = {{t.m[3][0], t.m[3][1] + 0.01f, t.m[3][2]}};
    KpGlow(KP_GLOW_FALLOFF, s->colour, s->depth, tile->parent, centre, rd.scene->camera, float(intensity) / 20.0f);
    int c[3];
    KpProjectPoint(tile->parent, centre, c, rd.scene->camera, s->colour);
    VokInterFace *f = kpModule().interFace;
    f->imgRect = VokImgRect{c[0] - 200, c[1] - 200, 400, 400};
    return true;
}

// Copies the window of a wide picture that starts at column `from` into a 640-wide one, row by row.
void copyWindow(br_pixelmap *dst, const br_pixelmap *src, int from)
{
    const int w = dst->width, h = dst->height < src->height ? dst->height : src->height;
    if (from < 0 || from + w > src->width)
        return;
    for (int row = 0; row < h; row++)
        memcpy(static_cast<char *>(dst->pixels) + ptrdiff_t(dst->base_y + row) * dst->row_bytes + dst->base_x * 2,
               static_cast<const char *>(src->pixels) + ptrdiff_t(src->base_y + row) * src->row_bytes +
                   (src->base_x + from) * 2,
               size_t(w) * 2);
}

// The wide picture (the scene over the wide backdrop, with the path's trail) slides in to the
// screen's 640 x 480, presented straight to the window: the screen takes frames only after it. The
// scene stands in the middle of the wide picture, so the slide ends on the picture the game showed,
// which the running light then takes (its trail and depths included).
bool slideIn(VokInterFace *f, KpScreen *s, int limit)
{
    KpRenderer &rd = kpRenderer();
    const br_pixelmap *backdrop = kpResources().backdrops[3];
    if (backdrop == nullptr || backdrop->width <= s->width || backdrop->height < s->height)
        return false;
    // The wide layers: a screen of the producer's own over the wide backdrop; the renderer's saved
    // layers are the normal screen's again afterwards.
    br_pixelmap *keptColour = rd.savedColour, *keptDepth = rd.savedDepth;
    rd.savedColour = rd.savedDepth = nullptr;
    KpScreen w;
    w.scene = s->scene;
    w.window = s->window;
    w.pixelType = s->pixelType;
    w.background = s->background;
    KpResizeScreen(&w, 0, 0, backdrop->width, s->height);
    br_pixelmap *colour = nullptr, *depth = nullptr;
    if (w.colour != nullptr && w.depth != nullptr && rd.savedColour != nullptr && rd.savedDepth != nullptr) {
        kpSwitches().fullRedraw = 1;
        KpRenderFrame(&w);
        for (int step = 3; step < limit; step++)
            glowPoints(step, 0.05f, 0.01f, limit, -1, &w);
        colour = BrPixelmapClone(w.colour);
        depth = BrPixelmapClone(w.depth);
        if (colour != nullptr && depth != nullptr) {
            BrPixelmapCopy(colour, w.colour);
            BrPixelmapCopy(depth, w.depth);
        }
    }
    const int wide = w.width;
    KpResizeScreen(&w, 0, 0, 0, 0);
    rd.savedColour = keptColour;
    rd.savedDepth = keptDepth;
    const bool made = colour != nullptr && depth != nullptr;
    // A screen closed while the wide picture was drawn wants no more frames.
    if (made && !stopAsked(f)) {
        // A full frame sets the camera to the normal picture; its layers are the wide ones' middle.
        kpSwitches().fullRedraw = 1;
        KpRenderFrame(s);
        const int centre = (wide - s->width) / 2;
        copyWindow(s->depth, depth, centre);
        for (int offset = centre; offset >= 0 && !stopAsked(f); offset -= 2) {
            if (VokImgFlags(f) & VOK_IMG_PAUSE) {
                Sleep(100);
                offset += 2;
                continue;
            }
            copyWindow(s->colour, colour, centre - offset);
            KpDrawStatus(s);
            if (s->dib != nullptr)
                s->dib->present(s->dib, s->dc, 0, 0, s->width, s->height);
            Sleep(15);
        }
        copyWindow(s->colour, colour, centre);
    }
    if (colour != nullptr)
        BrPixelmapFree(colour);
    if (depth != nullptr)
        BrPixelmapFree(depth);
    return made;
}

}  // namespace

// Runs on the framework's producer thread while the results screen is up; the main thread waits in
// the screen, so the scene and the screen picture are this thread's until the stop.
void KpImageProducer(void *)
{
    VokInterFace *f = kpModule().interFace;
    if (f == nullptr)
        return;
    KpRenderer &rd = kpRenderer();
    KpScreen *s = rd.screen;
    if (s != nullptr && s->colour != nullptr && rd.scene != nullptr) {
        if (!kpEffects().built)
            KpBuildEffectTables();
        KpFillGlowPoints(g_path, g_pathCount);
        // The whole path carries a faint trail under the running light.
        KpSetGlowColour(255, 255, 0);
        const int limit = 3 * (g_pathCount < kKpPathMaxCells ? g_pathCount : kKpPathMaxCells);
        if (!stopAsked(f) && !slideIn(f, s, limit)) {
            kpSwitches().fullRedraw = 1;
            KpRenderFrame(s);
            for (int step = 3; step < limit; step++)
                glowPoints(step, 0.05f, 0.01f, limit);
        }
        // A clone has the picture's size and type, not its pixels.
        br_pixelmap *saved = BrPixelmapClone(s->colour);
        if (saved != nullptr)
            BrPixelmapCopy(saved, s->colour);
        KpDrawStatus(s);
        f->imgRect = VokImgRect{};
        f->screenPix = s->colour;
        // A screen closed during the slide takes no picture.
        if (!stopAsked(f)) {
            VokImgFlagsSet(f, VOK_IMG_WANTED);
            handOver(f);
        }
        srand(timeGetTime());
        int phase = 0, colour = 0, variant = 0, cursor = 3, intensity = 0;
        while (!stopAsked(f) && saved != nullptr) {
            if (VokImgFlags(f) & VOK_IMG_PAUSE) {
                Sleep(100);
                continue;
            }
            if (phase == 0) {
                const int *rgb = kGlowColours[colour];
                KpSetGlowColour(rgb[0], rgb[1], rgb[2]);
                copyRect(s->colour, saved, 0, 0, s->width, s->height);
                glowPoints(cursor, 0.1f, 0.02f, limit, variant);
                const KpEffects &e = kpEffects();
                f->imgRect = VokImgRect{e.glowLeft - 80, e.glowTop - 80, 160, 160};
                if (cursor > 3)
                    glowPoints(cursor - 1, 0.075f, 0.015f, limit, variant);
                if (cursor - 1 > 3)
                    glowPoints(cursor - 2, 0.05f, 0.01f, limit, variant);
                if (++cursor >= limit) {
                    phase = 1;
                    intensity = 1;
                }
            } else {
                if (phase == 2)
                    copyRect(s->colour, saved, 0, 0, s->width, s->height);
                if (!flash(intensity))
                    f->imgRect = VokImgRect{};
                if (phase == 1) {
                    intensity += 2;
                    if (intensity > 6) {
                        intensity = 6;
                        phase = 2;
                    }
                } else if (--intensity <= 0) {
                        copyRect(s->colour, saved, 0, 0, s->width, s->height);
                        f->imgRect = VokImgRect{};
                        phase = 0;
                        colour = (colour + 1) % 6;
                        variant = rand() % 3;
                        cursor = 3;
                }
            }
            handOver(f);
        }
        if (saved != nullptr) {
            copyRect(s->colour, saved, 0, 0, s->width, s->height);
            BrPixelmapFree(saved);
        }
    } else {
        while (!stopAsked(f))
            Sleep(100);
    }
    // Nothing stays handed over past the stop; the framework waits for the stop bit to clear before
    // it joins the thread.
    VokImgFlagsClear(f, VOK_IMG_READY);
    VokImgFlagsClear(f, VOK_IMG_STOP);
}
