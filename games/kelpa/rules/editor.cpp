// The level editor's rules: what each tool puts down and where it may go.
#include "kelpa/kpeditor.h"

#include "runs.h"

#include <string.h>

const char *const kKpToolTips[kKpTools] = {"Blue Cube",   "Red Cube", "Green Cube",  "Yellow Cube", "White Cube",
                                           "Orange Cube", "Fix Cube", "Random Cube", "Exit field"};

namespace {

const int kToolCells[kKpTools] = {KP_CELL_BLUE,  KP_CELL_RED,   KP_CELL_GREEN,  KP_CELL_YELLOW, KP_CELL_WHITE,
                                  KP_CELL_ORANGE, KP_CELL_FIXED, KP_CELL_RANDOM, KP_CELL_EXIT};

bool onBoard(int x, int z)
{
    return x >= 0 && x <= 10 && z >= 0 && z <= 10;
}

// A board edit makes the level untested and unsaved, and builds it again.
void boardChanged(KpRules &r)
{
    r.header[KP_H_TESTED] = 0;
    r.header[KP_H_SAVED] = 0;
    KpLevelSetup(r);
}

}  // namespace

int KpToolCell(int tool)
{
    return tool >= 0 && tool < kKpTools ? kToolCells[tool] : KP_CELL_EMPTY;
}

int KpToolColour(int tool)
{
    if (tool == KP_TOOL_RANDOM)
        return KP_MIX;
    return tool >= 0 && tool < kKpTools ? KpColourOfCell(kToolCells[tool]) : KP_NO_COLOUR;
}

int KpToolOfColour(int colour)
{
    if (colour < 0 || colour > KP_MIX)
        return KP_TOOL_NONE;
    return kKpColours[colour].tool;
}

int KpToolOfCell(int cell)
{
    for (int t = 0; t < kKpTools; t++)
        if (kToolCells[t] == cell)
            return t;
    return KP_TOOL_NONE;
}

void KpToolPlace(int tool, bool pattern, float &x, float &z)
{
    static const float kRow[6] = {-0.225f, -0.075f, -0.375f, 0.375f, 0.075f, 0.225f};
    if (tool >= 0 && tool < 6) {
        x = kRow[tool];
        z = 0.75f;
    } else if (tool == KP_TOOL_FIXED) {
        x = 0.75f;
        z = pattern ? -0.075f : -0.15f;
    } else if (tool == KP_TOOL_RANDOM) {
        x = 0.75f;
        z = 0;
    } else if (tool == KP_TOOL_EXIT) {
        x = 0.75f;
        z = pattern ? 0.075f : 0.15f;
    } else {
        x = z = 100;
    }
}

bool KpCanPlace(const KpRules &r, int tool, int x, int z)
{
    if (!onBoard(x, z) || tool < 0 || tool >= kKpTools)
        return false;
    if (tool == KP_TOOL_RANDOM)
        return true;
    const int m = KpToolColour(tool);
    if (m < 0)
        return true;  // the exit tile holds no colour
    // Counted as the match count counts a worm segment; the target cell itself is being replaced.
    auto at = [&](int cx, int cz) {
        return onBoard(cx, cz) && !(cx == x && cz == z) && KpColourOfCell(r.board[cx * 11 + cz]) == m;
    };
    int count = 0;
    KpVisitRuns(x, z, at, [&](int, int) { count++; });
    return count < 2;
}

bool KpDropOnBoard(KpRules &r, int tool, int x, int z)
{
    if (!KpCanPlace(r, tool, x, z))
        return false;
    r.board[x * 11 + z] = KpToolCell(tool);
    boardChanged(r);
    r.host->redraw(tool == KP_TOOL_EXIT ? KP_REDRAW_BOARD : KP_REDRAW_FRAME);
    return true;
}

void KpPaletteColours(KpRules &r, int colours[7])
{
    for (int p = 0; p < 7; p++) {
        const int c = r.cubes->colour(kKpFirstPaletteCube + p);
        colours[p] = c >= 0 && c <= KP_FIXED ? c : KP_CLEAR;
    }
}

bool KpDropOnPalette(KpRules &r, int tool, int place)
{
    if (place < 0 || place >= 7 || tool == KP_TOOL_EXIT || tool == KP_TOOL_RANDOM)
        return false;
    const int m = KpToolColour(tool);
    if (m < 0 || m > KP_FIXED)
        return false;
    int colours[7];
    KpPaletteColours(r, colours);
    for (int c : colours)
        if (c == m)
            return false;
    r.cubes->setColour(kKpFirstPaletteCube + place, m);
    colours[place] = m;
    KpCountColours(r, colours);
    r.header[KP_H_TESTED] = r.header[KP_H_SAVED] = 0;
    r.host->redraw(KP_REDRAW_FRAME);
    return true;
}

bool KpDropOnPattern(KpRules &r, int tool, int row, int place)
{
    // The fixed and random tools are refused: the stored pattern holds colours only, so a place
    // they filled would count as done and be saved empty.
    if (!r.patternInUse || row < 0 || row >= 6 || place < 0 || place >= 5)
        return false;
    if (tool == KP_TOOL_EXIT || tool == KP_TOOL_FIXED || tool == KP_TOOL_RANDOM)
        return false;
    const int cell = KpToolCell(tool);
    if (cell < KP_CELL_BLUE || cell > KP_CELL_YELLOW)
        return false;
    for (int p = 0; p < 5; p++)
        if (p != place && r.header[KP_H_PATTERN + row * 5 + p] == cell)
            return false;
    const int cube = kKpFirstPatternCube + row * 5 + place;
    r.header[KP_H_PATTERN + row * 5 + place] = cell;
    r.cubes->setColour(cube, KpColourOfCell(cell));
    r.cubes->show(cube, true);
    KpCheckStreaks(r);
    r.header[KP_H_TESTED] = r.header[KP_H_SAVED] = 0;
    r.host->redraw(KP_REDRAW_FRAME);
    return true;
}

int KpPickUpBoard(KpRules &r, int x, int z)
{
    if (!r.trialRun || !onBoard(x, z))
        return KP_TOOL_NONE;
    const int tool = KpToolOfCell(r.board[x * 11 + z]);
    if (tool == KP_TOOL_NONE)
        return KP_TOOL_NONE;
    r.board[x * 11 + z] = KP_CELL_EMPTY;
    r.host->floorTile(x, z, false);
    boardChanged(r);
    r.host->redraw(KP_REDRAW_BOARD);
    return tool;
}

int KpPickUpPalette(KpRules &r, int place)
{
    if (!r.trialRun || place < 0 || place >= 7)
        return KP_TOOL_NONE;
    int colours[7];
    KpPaletteColours(r, colours);
    const int c = colours[place];
    if (c == KP_CLEAR)
        return KP_TOOL_NONE;
    r.cubes->setColour(kKpFirstPaletteCube + place, KP_CLEAR);
    colours[place] = KP_CLEAR;
    if (r.patternInUse)
        KpCheckStreaks(r);
    else
        KpCountColours(r, colours);
    r.header[KP_H_TESTED] = r.header[KP_H_SAVED] = 0;
    r.host->redraw(KP_REDRAW_FRAME);
    return KpToolOfColour(c);
}

int KpPickUpPattern(KpRules &r, int row, int place)
{
    if (!r.trialRun || !r.patternInUse || row < 0 || row >= 6 || place < 0 || place >= 5)
        return KP_TOOL_NONE;
    int32_t &v = r.header[KP_H_PATTERN + row * 5 + place];
    const int c = KpColourOfCell(v);
    if (v < KP_CELL_BLUE || v > KP_CELL_YELLOW || c < 0)
        return KP_TOOL_NONE;
    v = 0;
    r.cubes->setColour(kKpFirstPatternCube + row * 5 + place, KP_CLEAR);
    KpCheckStreaks(r);
    r.header[KP_H_TESTED] = r.header[KP_H_SAVED] = 0;
    r.host->redraw(KP_REDRAW_FRAME);
    return KpToolOfColour(c);
}

void KpBeginTrial(KpRules &r)
{
    memcpy(r.trialBoard, r.board, sizeof r.board);
    r.editorOpen = 0;
}

void KpEndTrial(KpRules &r)
{
    if (!r.editorOpen)
        memcpy(r.board, r.trialBoard, sizeof r.board);
    r.editorOpen = 1;
}

void KpClearLevel(KpRules &r)
{
    if (r.replayPlaying)
        return;
    // "New" during a trial ends it first, so that its end brings nothing of the old level back.
    if (r.trialRun && !r.editorOpen)
        KpEndTrial(r);
    if (r.trialRun && r.editorOpen) {
        r.clearBoardOnSetup = 1;
        for (int i = 0; i < kKpCells; i++)
            r.board[i] = KP_CELL_EMPTY;
        for (int i = 0; i < 30; i++) {
            r.header[KP_H_PATTERN + i] = 0;
            r.cubes->setColour(kKpFirstPatternCube + i, KP_CLEAR);
        }
        int colours[7];
        for (int p = 0; p < 7; p++) {
            r.cubes->setColour(kKpFirstPaletteCube + p, KP_CLEAR);
            colours[p] = KP_CLEAR;
        }
        if (r.patternInUse)
            KpCheckStreaks(r);
        else
            KpCountColours(r, colours);
        r.header[KP_H_TESTED] = r.header[KP_H_SAVED] = 0;
        KpLevelSetup(r);
    }
    r.levelRunning = 0;
}
