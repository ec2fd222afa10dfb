// The game-control buttons' actions (menu, reset, speed, level, help) and the line each level's end
// leaves in the debug output, by which a replay is checked against the game it recorded.
#include <stdio.h>
#include <string.h>

#include "kelpa/kelpa.h"
#include "kelpa/kpeditor.h"
#include "kelpa/kprules.h"
#include "vokplat/window.h"
#include "vokscore/vokmedia.h"

namespace {

int startButton(const KpRules &r)
{
    if (r.gameKind == 101)
        return KP_BTN_START;
    return KP_BTN_START_N;
}

void renderPresentFull()
{
    KpSwitches &s = kpSwitches();
    s.fullRedraw = 1;
    KpRenderAndPresent();
    s.fullRedraw = 0;
}

void resetCommand()
{
    HWND w = kpModule().gameWindow;
    if (w != nullptr)
        SendMessageA(w, WM_COMMAND, 40005, 0);
}

}  // namespace

int KpMenuAction(KpButton *)
{
    KpSwitches &s = kpSwitches();
    s.backgroundSwitch = 1;
    s.fullRedraw = 1;
    if (kpRenderer().screen != nullptr)
        KpRenderFrame(kpRenderer().screen);
    s.fullRedraw = 0;
    return KpShowPopup(4);
}

int KpResetAction(KpButton *)
{
    KpRules &r = kpRules();
    KpObjects &o = kpObjects();
    VokInterFace *f = kpModule().interFace;
    VokReplayCDtrack(kpSettings().cdTrack);
    if (r.replayPlaying || o.replayPlaying) {
        if (f != nullptr)
            f->gameFlags &= ~VOK_GF_REPLAY;
        r.gameFlags &= ~VOK_GF_REPLAY;
        r.replayPlaying = o.replayPlaying = 0;
        KpReplayRead(3);
        KpNewGame(0);
    }
    kpSwitches().backgroundSwitch = 1;
    // A level cut short keeps no recording.
    KpReplayWrite(nullptr, 3);
    if (r.trialRun) {
        KpEndTrial(r);
        o.editorOpen = 1;
        KpLevelSetup();
        KpLayoutTools();
    } else {
        KpLevelSetup();
        const int start = startButton(r);
        KpSetButtonState(kpButton(start), 0);
        KpSetButtonState(kpButton(start + 1), 0);
        KpShowButton(kpButton(start));
        KpHideButton(kpButton(start + 1));
        KpShowButton(kpButton(KP_BTN_MENU));
    }
    r.levelRunning = o.levelRunning = 0;
    r.paused = o.paused = 0;
    resetCommand();
    kpSwitches().sceneLive = 1;
    renderPresentFull();
    return 0;
}

int KpSpeedAction(KpButton *)
{
    KpRules &r = kpRules();
    KpObjects &o = kpObjects();
    if (o.setupPending)
        return 0;
    if (r.replayPlaying)
        return 0;
    bool pausedHere = false;
    if (r.levelRunning && !r.paused) {
        KpTestLevel(nullptr);
        pausedHere = true;
    }
    kpSwitches().backgroundSwitch = 1;
    if (kpRenderer().screen != nullptr)
        KpRenderFrame(kpRenderer().screen);
    const int result = KpShowPopup(3);
    const VokInterFace *f = kpModule().interFace;
    if (f != nullptr && f->speedIndex >= 0 && f->speedIndex <= 8) {
        const int speed = f->speedIndex;
        kpSettings().speed = speed;
        r.speedIndex = speed;
        if (!r.levelRunning) {
            r.speed = r.newSpeed = speed;
            r.stepSize = kKpStepIncrement[r.pacingIndex][speed];
        } else if (r.paused) {
            r.newSpeed = speed;
            r.speedChanged = 1;
        }
    }
    if (pausedHere)
        KpTestLevel(nullptr);
    return result;
}

int KpLevelAction(KpButton *)
{
    if (kpRules().replayPlaying || kpObjects().replayPlaying)
        return 0;
    return KpShowPopup(2);
}

int KpHelpAction(KpButton *)
{
    return KpShowPopup(34);
}

uint32_t KpLevelDigest(const KpRules &r)
{
    // FNV-1a over the colour on each board cell (loose cubes and the worm), then exits and time.
    int32_t grid[kKpCells];
    for (int32_t &g : grid)
        g = -1;
    auto put = [&](const KpSlot &s) {
        if (s.cube == 0)
            return;
        const int x = KpCellOf(s.x), z = KpCellOf(s.z);
        if (x >= 0 && x <= 10 && z >= 0 && z <= 10)
            grid[x * 11 + z] = r.cubes != nullptr ? r.cubes->colour(s.cube) : 0;
    };
    for (const KpSlot &s : r.looseCubes)
        put(s);
    for (const KpSlot &s : r.worm)
        put(s);
    uint32_t h = 2166136261u;
    auto mix = [&](int32_t v) {
        for (int i = 0; i < 4; i++) {
            h ^= uint8_t(uint32_t(v) >> (8 * i));
            h *= 16777619u;
        }
    };
    for (int32_t g : grid)
        mix(g);
    mix(r.exitsReached);
    mix(int32_t(r.elapsedTenths));
    return h;
}

void KpLogLevelEnd(const KpRules &r, bool won)
{
    char line[128];
    snprintf(line, sizeof line, "level end %s%s digest %08x exits %d time %u", won ? "won" : "lost",
             r.replayPlaying ? " replay" : "", KpLevelDigest(r), r.exitsReached, r.elapsedTenths);
    VokLog("kelpa", line);
    OutputDebugStringA(line);
}

uint32_t KpFnv(const void *data, size_t size)
{
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < size; i++) {
        h ^= static_cast<const uint8_t *>(data)[i];
        h *= 16777619u;
    }
    return h;
}

void KpLogLine(const char *what, const char *text)
{
    char line[1400];
    snprintf(line, sizeof line, "%s %s", what, text);
    VokLog("kelpa", line);
}
