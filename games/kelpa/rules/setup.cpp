// Level set-up: every cube gathered out of play, the board laid out cell by cell (random cells get a
// colour that lines up with nothing near it), the first worm at the entry corner, the pattern or the
// palette shown for the kind of game, and every counter of the rules reset. And the new game.
#include <stdio.h>
#include <string.h>

#include <initializer_list>

#include "kelpa/kprules.h"

namespace {

void hide(KpRules &r, int cube)
{
    r.cubes->place(cube, 100, 100, 100);
}

void placeCube(KpRules &r, KpSlot &s, int x, int z)
{
    s.x = float(x) * 0.1f - 0.5f;
    s.z = float(z) * 0.1f - 0.5f;
    s.direction = s.pendingTurn = KP_DIR_NONE;
    r.cubes->place(s.cube, s.x, 0.05f, s.z);
    r.cubes->show(s.cube, true);
}

// The colour of a random cell: within the quota, free of the six neighbours behind it; then free of
// them whatever the quota; then free of the four near ones.
int randomColour(KpRules &r, int x, int z, int quota, int counts[6])
{
    auto colourAt = [&](int cx, int cz) {
        return cx >= 0 && cx <= 10 && cz >= 0 && cz <= 10 ? r.materialGrid[cx * 11 + cz] : KP_NO_COLOUR;
    };
    const int six[6][2] = {{x - 1, z}, {x - 2, z}, {x, z - 1}, {x, z - 2}, {x - 1, z - 1}, {x - 1, z + 1}};
    const int four[4][2] = {{x - 1, z}, {x, z - 1}, {x - 1, z - 1}, {x - 1, z + 1}};
    auto freeOf = [&](int c, const int (*cells)[2], int n) {
        for (int i = 0; i < n; i++)
            if (colourAt(cells[i][0], cells[i][1]) == c)
                return false;
        return true;
    };
    const int c = r.host->random() % 6;
    if (counts[c] < quota && freeOf(c, six, 6))
        return c;
    for (int k : {KP_YELLOW, KP_BLUE, KP_RED, KP_ORANGE, KP_WHITE, KP_GREEN})
        if (counts[k] < quota && freeOf(k, six, 6))
            return k;
    for (int k : {KP_ORANGE, KP_YELLOW, KP_WHITE, KP_GREEN, KP_BLUE, KP_RED})
        if (freeOf(k, six, 6))
            return k;
    for (int k : {KP_BLUE, KP_WHITE, KP_GREEN, KP_RED, KP_ORANGE, KP_YELLOW})
        if (freeOf(k, four, 4))
            return k;
    return KP_NO_COLOUR;
}

}  // namespace

void KpLayoutPattern(KpRules &r)
{
    for (int row = 0; row < 6; row++)
        for (int p = 0; p < 5; p++) {
            float x = -0.5f, z = -0.5f;
            const float along = float(p) * 0.1f;
            switch (row) {
            case 0: x = -0.6f - along; z = -0.5f; break;
            case 1: x = -0.5f; z = -0.6f - along; break;
            case 2: x = -0.7f - along; z = -0.3f; break;
            case 3: x = -0.3f; z = -0.7f - along; break;
            case 4: x = -0.8f - along; z = -0.1f; break;
            default: x = -0.1f; z = -0.8f - along; break;
            }
            r.cubes->place(kKpFirstPatternCube + row * 5 + p, x, 0.05f, z);
        }
}

void KpLayoutPalette(KpRules &r)
{
    for (int place = 0; place < 7; place++) {
        if (place < 5)
            r.cubes->place(kKpFirstPaletteCube + place, -0.75f, 0.05f, float(place) * 0.1f - 0.4f);
        else
            r.cubes->place(kKpFirstPaletteCube + place, 0.2f - float(place) * 0.1f, 0.05f, -0.75f);
    }
}

int KpColourQuota(int randomCells)
{
    return (randomCells > 6 ? randomCells : 6) / 6;
}

int KpLevelSetup(KpRules &r)
{
    const bool replay = (r.gameFlags & 0x02) != 0;
    r.nextColour = 80;
    r.host->buttons(KP_BUTTONS_SETUP_START);
    r.indicatorShown = 0;
    r.indicatorRed = 0;
    r.host->seed(0);
    for (int32_t &c : r.nextWormCubes)
        c = 0;
    for (int32_t &c : r.matchList)
        c = 0;
    r.matchCount = 0;
    r.looseCount = 0;

    // Every cube out of play.
    int loose = 0;
    for (KpSlot &q : r.queue) {
        if (q.cube == 0) {
            while (loose < kKpGameCubes && r.looseCubes[loose].cube == 0)
                loose++;
            if (loose < kKpGameCubes) {
                q = r.looseCubes[loose];
                r.looseCubes[loose] = KpSlot();
            } else {
                for (KpSlot &w : r.worm)
                    if (w.cube != 0) {
                        q = w;
                        w = KpSlot();
                        break;
                    }
            }
        }
        if (q.cube != 0) {
            r.cubes->show(q.cube, false);
            q.x = q.z = 5;
            q.direction = q.pendingTurn = KP_DIR_NONE;
            r.cubes->place(q.cube, 5, 5, 5);
        }
    }
    for (KpSlot &w : r.worm)
        w = KpSlot();

    for (int i = 0; i < kKpCells; i++) {
        if (r.gameKind == 102 && r.levelFamily != 3 && r.levelFamily != 1 && r.clearBoardOnSetup && !replay)
            r.board[i] = KP_CELL_EMPTY;
        r.materialGrid[i] = KP_NO_COLOUR;
        r.colourGrid[i] = 0;
    }
    r.clearBoardOnSetup = 0;
    if (r.gameKind != 102 && !replay && r.levelCommand >= 1 && r.levelCommand <= 5)
        KpBuiltinBoard(r.levelCommand, r.board);

    r.exitCount = 0;
    int j = 0;
    for (int x = 0; x < 11; x++)
        for (int z = 0; z < 11; z++) {
            const int32_t cell = r.board[x * 11 + z];
            const bool exit = cell == KP_CELL_EXIT;
            r.exitCount += exit;
            if (exit)
                r.colourGrid[x * 11 + z] = KP_CELL_EXIT;
            r.host->floorTile(x, z, exit);
            j += cell == KP_CELL_RANDOM;
        }

    KpBuildBoardGrid(r);
    int looseCursor = 0, s = 0;
    const int quota = KpColourQuota(j);
    int counts[6] = {};
    for (int x = 0; x < 11; x++)
        for (int z = 0; z < 11; z++) {
            const int32_t cell = r.board[x * 11 + z];
            const int own = KpColourOfCell(cell);
            const bool random = cell == KP_CELL_RANDOM;
            if (!(random || own >= 0) || s >= kKpGameCubes)
                continue;
            KpSlot &l = r.looseCubes[looseCursor++];
            l = r.queue[s];
            r.queue[s] = KpSlot();
            s++;
            placeCube(r, l, x, z);
            int colour = own;
            if (random && r.editorOpen) {
                r.cubes->setColour(l.cube, KP_MIX);
                colour = KP_NO_COLOUR;
            } else if (random) {
                colour = randomColour(r, x, z, quota, counts);
                if (colour >= 0)
                    counts[colour]++;
                else
                    colour = r.cubes->colour(l.cube);  // the cube keeps the colour it had
            }
            if (colour >= 0 && colour <= KP_FIXED) {
                r.cubes->setColour(l.cube, colour);
                r.colourGrid[x * 11 + z] = KpCellOfColour(colour);
            }
            KpBuildBoardGrid(r);
        }
    r.wormLength = 5;
    r.headIndex = 0;

    for (int c = kKpFirstPatternCube; c <= kKpAllCubes; c++)
        hide(r, c);
    const bool T = r.trialRun != 0, P = r.patternInUse != 0;
    bool showPattern = false;
    if (T && P) {
        r.header[KP_H_COLOURS] = 6;
        r.header[KP_H_SECOND_GROUP] = 0;
        showPattern = true;
    } else if (T) {
        r.header[KP_H_COLOURS] = 7;
        r.header[KP_H_STREAKS] = kKpNoPattern;
        KpLayoutPalette(r);
    } else if (r.gameKind == 101 && !replay) {
        if (P) {
            showPattern = true;
        } else {
            memset(r.header, 0, sizeof r.header);
            r.header[KP_H_COLOURS] = 6;
            r.header[KP_H_STREAKS] = kKpNoPattern;
            r.header[KP_H_SECOND_GROUP] = 1;
        }
    } else if (replay || r.gameKind == 100) {
        r.header[KP_H_COLOURS] = 6;
        r.header[KP_H_STREAKS] = kKpNoPattern;
        r.header[KP_H_SECOND_GROUP] = 1;
    } else if (r.gameKind == 102 && (r.levelFamily == 3 || r.levelFamily == 1)) {
    } else {
        r.header[KP_H_STREAKS] = 6;
        r.header[KP_H_SECOND_GROUP] = 0;
    }
    if (showPattern)
        KpLayoutPattern(r);

    // The first worm from the next five queue cubes.
    auto takeQueue = [&]() -> KpSlot * {
        while (s < kKpGameCubes && r.queue[s].cube == 0)
            s++;
        return s < kKpGameCubes ? &r.queue[s++] : nullptr;
    };
    // While the editor is open a level with a pattern shows the pattern and no worm.
    for (int i = 0; i < 5 && !(P && r.editorOpen); i++) {
        KpSlot *q = takeQueue();
        if (q == nullptr)
            break;
        KpSlot &w = r.worm[i];
        w = *q;
        *q = KpSlot();
        w.x = -0.6f - 0.1f * float(i);
        w.z = -0.5f;
        w.direction = KP_DIR_PX;
        w.pendingTurn = KP_DIR_NONE;
        if (P) {
            const int c = KpColourOfCell(r.header[KP_H_PATTERN + i]);
            if (c >= 0)
                r.cubes->setColour(w.cube, c);
        }
        if (r.editorOpen) {
            r.cubes->place(w.cube, 100, 100, 100);
        } else {
            r.cubes->place(w.cube, w.x, 0.05f, w.z);
            r.cubes->show(w.cube, true);
        }
    }
    if (P) {
        const int rows = r.editorOpen ? 6 : r.header[KP_H_STREAKS];
        for (int row = 0; row < 6; row++)
            for (int p = 0; p < 5; p++) {
                const int cube = kKpFirstPatternCube + row * 5 + p;
                r.cubes->show(cube, row < rows && !(row == 0 && !r.editorOpen));
                if (!(row < rows))
                    hide(r, cube);
            }
    } else {
        for (int c = kKpFirstPaletteCube; c <= kKpAllCubes; c++)
            r.cubes->show(c, true);
    }

    // Kept apart from the stale pattern row of the last level: the first worm's row is row 0.
    r.patternRow = 0;
    r.firstRow = 1;
    KpNextWormRow(r);
    r.firstRow = 0;
    if (!P)
        for (int i = 0; i < 5; i++) {
            if (r.worm[i].cube == 0)
                continue;
            if (r.editorOpen)
                r.cubes->setColour(r.worm[i].cube, KP_MIX);
            else if (r.wormRow[i] <= KP_FIXED)
                r.cubes->setColour(r.worm[i].cube, r.wormRow[i]);
        }
    if (r.gameKind != 102)
        r.newLevelSwitch = 1;
    r.pathCount = 0;
    r.host->buttons(KP_BUTTONS_SETUP_END);

    r.patternRow = 1;
    r.rowsDone = 1;
    r.stepCountdown = 0;
    r.elapsedTenths = 0;
    r.finishCountdown = 0;
    r.blockWait = 0;
    r.subStep = 0;
    r.turnArmed = 0;
    r.speedMode = 1;
    r.stepSize = kKpStepIncrement[r.pacingIndex][r.speed];
    r.exitsReached = 0;
    r.patternFault = 0;
    r.levelRunning = 0;
    r.runOver = 0;
    r.speedChanged = 0;
    r.turnCount = 0;
    r.stepPressed = 0;
    r.turnRun = 0;
    r.mayTurn = r.mayStep = 1;
    r.leftHeld = r.rightHeld = r.turnState = r.pendingSteps = r.stepPhase = r.keyEdge = r.releaseLatch = 0;
    memset(r.lastFrame, 0, sizeof r.lastFrame);
    r.newWormShown = 0;
    r.introFrame = r.blinkMode = r.fullRedraw = 0;
    r.wormSwitch = 1;
    r.startDelay = 5;
    r.graceOver = 0;
    r.newWormPending = 1;
    r.tailInside = 0;
    r.entryAlongX = 1;
    r.headShift = 0;
    r.finishing = 0;
    r.reachedExit = 0;
    r.paused = 0;
    r.levelLost = 0;
    r.turnShown = 0;
    r.fastGrace = 0;
    KpBuildBoardGrid(r);
    KpBuildCubeGrid(r);
    return r.speed;
}

int KpNewGame(KpRules &r, const char *levelPath, int *titleNumber)
{
    r.replayPlaying = 0;
    r.speed = r.newSpeed = r.speedIndex < 0 || r.speedIndex > 8 ? 7 : r.speedIndex;
    r.stepSize = kKpStepIncrement[r.pacingIndex][r.speed];
    r.trialRun = r.editorOpen = r.patternInUse = 0;
    r.fastGrace = 0;
    if (titleNumber != nullptr)
        *titleNumber = 0;
    int title = 0;
    auto noPattern = [&]() {
        r.header[KP_H_COLOURS] = 6;
        r.header[KP_H_STREAKS] = kKpNoPattern;
        r.header[KP_H_SECOND_GROUP] = 1;
    };
    if (r.gameKind == 101) {
        if (r.gameFlags & 0x02) {
            r.replayPlaying = 1;
            noPattern();
        } else if (r.levelFamily == 5) {
            if (levelPath != nullptr)
                KpLoadLevelFile(r, levelPath, false);
            r.levelCommand = 0;
            KpApplyPattern(r);
        } else {
            noPattern();
            if (r.levelFamily >= 0 && r.levelFamily <= 4) {
                // Families 2 to 4 play the larger built-in boards under their own titles.
                r.levelCommand = r.levelFamily + 1;
                title = 7 + r.levelFamily;
            }
        }
    } else if (r.gameKind == 100) {
        int family = 0, number = 0;
        char name[64];
        // The framework splits the position into a class (position / 9) and a number in it.
        KpKind100Level(r.levelFamily * 9 + r.levelNumber, family, number, name, sizeof name);
        KpDefaultHeader(r.header);
        if (!KpLoadLevelFile(r, levelPath != nullptr ? levelPath : name, false))
            KpBuiltinBoard(1, r.board);
        r.levelCommand = 0;
        r.patternInUse = 0;
        noPattern();
        title = 4 + family;
        if (titleNumber != nullptr)
            *titleNumber = number;
    }
    return title;
}

int KpCubeColour(KpRules &r, int cube)
{
    return r.cubes->colour(cube);
}
