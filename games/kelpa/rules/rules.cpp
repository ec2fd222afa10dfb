// The worm: motion one increment at a time, the cell step (turns, arrivals, blocks), matches and
// their blinking, settling, the next worm and its colours, and the frame record that drives them.
#include <string.h>

#include "kelpa/kprules.h"
#include "runs.h"

const int32_t kKpStepCounts[3][9] = {
    {40, 30, 20, 16, 12, 10, 8, 6, 5},
    {72, 56, 42, 32, 24, 18, 14, 10, 8},
    {120, 90, 60, 48, 36, 30, 24, 18, 15},
};
#define KP_INC(n) float(0.1 / (n))
const float kKpStepIncrement[3][9] = {
    {KP_INC(40), KP_INC(30), KP_INC(20), KP_INC(16), KP_INC(12), KP_INC(10), KP_INC(8), KP_INC(6), KP_INC(5)},
    {KP_INC(72), KP_INC(56), KP_INC(42), KP_INC(32), KP_INC(24), KP_INC(18), KP_INC(14), KP_INC(10), KP_INC(8)},
    {KP_INC(120), KP_INC(90), KP_INC(60), KP_INC(48), KP_INC(36), KP_INC(30), KP_INC(24), KP_INC(18), KP_INC(15)},
};
const int32_t kKpWaitSteps[4] = {7, 15, 21, 1};

int32_t KpRound(float x)
{
    const int32_t t = int32_t(x);
    const float f = x - float(t);
    if (f > 0.49f)
        return t + 1;
    if (f < -0.49f)
        return t - 1;
    return t;
}

int32_t KpCellValue(float position)
{
    return KpRound(position * 100.0f + 50.0f);
}

int32_t KpCellOf(float position)
{
    const int32_t u = KpCellValue(position);
    return u < 0 ? -1 - (-u - 1) / 10 : u / 10;
}

namespace {

bool onBoard(int cx, int cz)
{
    return cx >= 0 && cx <= 10 && cz >= 0 && cz <= 10;
}

KpSlot &head(KpRules &r)
{
    return r.worm[r.headIndex];
}

int colourOf(KpRules &r, int cube)
{
    return cube != 0 ? r.cubes->colour(cube) : KP_NO_COLOUR;
}

float heightOf(KpRules &r, int cube)
{
    float x, y, z;
    r.cubes->position(cube, x, y, z);
    return y;
}

void moveSlot(KpRules &r, KpSlot &s, float x, float z)
{
    s.x = x;
    s.z = z;
    r.cubes->place(s.cube, x, 0.05f, z);
}

void park(KpRules &r, KpSlot &s)
{
    r.cubes->show(s.cube, false);
    moveSlot(r, s, 5, 5);
}

KpSlot *freeSlot(KpSlot *list)
{
    for (int i = 0; i < kKpGameCubes; i++)
        if (list[i].cube == 0)
            return &list[i];
    return nullptr;
}

bool inMatchList(const KpRules &r, int cube)
{
    for (int i = 0; i < r.matchCount; i++)
        if (r.matchList[i] == cube)
            return true;
    return false;
}

void addMatch(KpRules &r, int cube)
{
    if (cube != 0 && !inMatchList(r, cube) && r.matchCount < kKpGameCubes)
        r.matchList[r.matchCount++] = cube;
}

void indicatorOver(KpRules &r, const KpSlot &s)
{
    r.indicatorCube = s.cube;
    r.indicatorDirection = s.pendingTurn != KP_DIR_NONE ? s.pendingTurn : s.direction;
}

void indicatorGreen(KpRules &r)
{
    r.indicatorRed = 0;
}

void indicatorRest(KpRules &r)
{
    r.indicatorShown = 0;
}

bool headAtBoard(const KpSlot &h)
{
    return (h.x > -0.58f && h.z >= -0.5f) || (h.x >= -0.5f && h.z > -0.58f);
}


bool headIsLast(const KpRules &r)
{
    for (int i = r.headIndex + 1; i < r.wormLength; i++)
        if (r.worm[i].cube != 0)
            return false;
    return true;
}

// The prepared worm (the queue cubes waiting outside the board) becomes the worm.
void takePreparedWorm(KpRules &r)
{
    int k = 0;
    for (int i = 0; i < kKpGameCubes && k < 5; i++) {
        KpSlot &q = r.queue[i];
        if (q.cube == 0 || !(q.x < -0.45f))
            continue;
        r.worm[k++] = q;
        r.cubes->show(q.cube, true);
        q = KpSlot();
    }
    for (; k < 5; k++)
        r.worm[k] = KpSlot();
}

void loseLevel(KpRules &r)
{
    KpBuildBoardGrid(r);
    KpBuildCubeGrid(r);
    r.newWormPending = 0;
    for (int i = r.headIndex; i < r.wormLength; i++)
        if (r.worm[i].cube != 0)
            r.worm[i].direction = r.worm[i].pendingTurn = KP_DIR_NONE;
    r.levelRunning = 0;
    r.runOver = 1;
    r.levelLost = 1;
}

bool wormEmpty(const KpRules &r)
{
    for (int i = 0; i < 5; i++)
        if (r.worm[i].cube != 0)
            return false;
    return true;
}

void patternDisplayStep(KpRules &r)
{
    const int rr = r.rowsDone, s = r.header[KP_H_STREAKS];
    auto take = [&](int to, int from) {
        for (int p = 0; p < 5; p++) {
            float x, y, z;
            r.cubes->position(kKpFirstPatternCube + from * 5 + p, x, y, z);
            r.cubes->place(kKpFirstPatternCube + to * 5 + p, x, y, z);
        }
    };
    if (rr >= 2 && rr % 2 == 0) {
        if (s > 4)
            take(4, 2);
        if (s > 2)
            take(2, 0);
    } else if (rr >= 3) {
        if (s > 5)
            take(5, 3);
        if (s > 3)
            take(3, 1);
    }
}

void finishWorm(KpRules &r)
{
    for (int i = r.headIndex; i < r.wormLength; i++) {
        KpSlot &s = r.worm[i];
        if (s.cube == 0)
            continue;
        if (KpSlot *l = freeSlot(r.looseCubes)) {
            *l = s;
            l->direction = l->pendingTurn = KP_DIR_NONE;
        }
        s = KpSlot();
    }
    for (int i = 0; i < kKpGameCubes; i++)
        r.worm[i] = KpSlot();
    r.newWormPending = 1;
    r.headIndex = 0;
    r.wormLength = 5;
    takePreparedWorm(r);
}

}  // namespace

void KpBuildBoardGrid(KpRules &r)
{
    for (int i = 0; i < kKpCells; i++)
        r.materialGrid[i] = KP_NO_COLOUR;
    for (const KpSlot &s : r.looseCubes) {
        if (s.cube == 0)
            continue;
        const int cx = KpCellOf(s.x), cz = KpCellOf(s.z);
        if (onBoard(cx, cz))
            r.materialGrid[cx * 11 + cz] = colourOf(r, s.cube);
    }
    r.looseCount = 0;
    for (const KpSlot &s : r.looseCubes)
        r.looseCount += s.cube != 0;
}

void KpBuildCubeGrid(KpRules &r)
{
    for (int i = 0; i < kKpCells; i++)
        r.cubeGrid[i] = 0;
    for (const KpSlot &s : r.looseCubes) {
        if (s.cube == 0)
            continue;
        const int cx = KpCellOf(s.x), cz = KpCellOf(s.z);
        if (onBoard(cx, cz))
            r.cubeGrid[cx * 11 + cz] = s.cube;
    }
}

int KpMatchCount(KpRules &r, int segment, int *cells, int capacity)
{
    const KpSlot &s = r.worm[segment];
    const int m = colourOf(r, s.cube);
    if (s.cube == 0 || m == KP_FIXED || m < 0 || m > KP_ORANGE)
        return 0;
    const int cx = KpCellOf(s.x), cz = KpCellOf(s.z);
    if (cx < 0 || cz < 0)
        return 0;
    int count = 0;
    auto at = [&](int x, int z) { return onBoard(x, z) && r.materialGrid[x * 11 + z] == m; };
    auto note = [&](int x, int z) {
        if (cells != nullptr && count < capacity)
            cells[count] = x * 11 + z;
        count++;
    };
    KpVisitRuns(cx, cz, at, note);
    return count;
}

namespace {

void collect(KpRules &r, int segment)
{
    const KpSlot &s = r.worm[segment];
    const int cx = KpCellOf(s.x), cz = KpCellOf(s.z);
    if (colourOf(r, s.cube) == KP_FIXED || !onBoard(cx, cz))
        return;
    int cells[kKpCells];
    const int n = KpMatchCount(r, segment, cells, kKpCells);
    for (int i = 0; i < n && i < kKpCells; i++)
        addMatch(r, r.cubeGrid[cells[i]]);
    addMatch(r, s.cube);
    r.finishing = 1;
}

}  // namespace

void KpCheckMatches(KpRules &r)
{
    bool matchedNow = false, settledNow = false;
    r.headShift = 0;
    r.fastGrace = 0;
    const int32_t wait = kKpWaitSteps[r.pacingIndex];
    for (int i = r.headIndex; i < r.wormLength; i++) {
        if (r.worm[i].cube == 0)
            continue;
        const bool match = KpMatchCount(r, i) >= 2;
        if (!match) {
            if (!r.blockWait && !settledNow) {
                r.host->sound(3);
                r.stepCountdown = wait;
                r.blockWait = 1;
            }
        } else if (i == r.headIndex) {
            if (r.stepPressed) {
                r.graceOver = 0;
                collect(r, i);
                r.finishCountdown = 7;
                r.stepCountdown = 0;
                r.blockWait = 0;
                matchedNow = settledNow = true;
            } else if (r.stepCountdown > 0) {
                if (--r.stepCountdown == 0)
                    r.graceOver = 1;
            } else {
                if (r.graceOver == 0 && r.speed == 8) {
                    r.blockWait = 1;
                    r.stepCountdown = 2;
                    r.fastGrace = 1;
                }
                if (r.stepCountdown == 0) {
                    r.graceOver = 0;
                    collect(r, i);
                    r.finishCountdown = 7;
                    r.blockWait = 0;
                    matchedNow = settledNow = true;
                    r.fastGrace = 0;
                }
            }
        } else {
            if (r.graceOver || r.fastGrace || matchedNow) {
                if (!matchedNow && !r.fastGrace) {
                    collect(r, i);
                    r.finishCountdown = 7;
                    r.stepCountdown = 0;
                    r.blockWait = 0;
                    settledNow = true;
                }
            } else {
                r.stepCountdown = wait;
                r.blockWait = 1;
            }
        }
        if (match)
            r.headShift = i == r.headIndex;
        r.stepPressed = 0;
    }
}

void KpTailCheck(KpRules &r)
{
    const KpSlot &t = r.worm[r.wormLength - 1];
    // A tail that is gone (removed, or the worm went out through an exit) blocks no entry.
    r.tailInside = t.cube == 0 || KpCellValue(t.x) > 0 || KpCellValue(t.z) > 0;
}

void KpSettleWorm(KpRules &r)
{
    if (!(!r.patternInUse || r.rowsDone <= r.header[KP_H_STREAKS]) || r.finishing || r.stepCountdown)
        return;
    finishWorm(r);
    r.pathCount = 0;
    r.host->redraw(KP_REDRAW_BOARD);
    r.startDelay = 5;
    KpArmTurn(r);
    const int32_t streaks = r.header[KP_H_STREAKS];
    if ((!r.patternInUse && !r.tailInside) ||
        (r.patternInUse && (r.rowsDone == streaks || !r.tailInside)) || wormEmpty(r))
        loseLevel(r);
    r.rowsDone++;
    patternDisplayStep(r);
    r.host->redraw(KP_REDRAW_FRAME);
    KpBuildBoardGrid(r);
    KpBuildCubeGrid(r);
}

void KpHeadArrive(KpRules &r)
{
    r.reachedExit = 0;
    KpSlot &h = head(r);
    if (h.cube == 0)
        return;
    const int cx = KpCellOf(h.x), cz = KpCellOf(h.z);
    if (onBoard(cx, cz) && r.board[cx * 11 + cz] == KP_CELL_EXIT) {
        r.exitsReached++;
        r.board[cx * 11 + cz] = KP_CELL_EMPTY;
        r.host->floorTile(cx, cz, false);
        r.matchCount = 0;
        for (int i = r.headIndex; i < r.wormLength; i++)
            if (r.worm[i].cube != 0) {
                r.worm[i].direction = KP_DIR_NONE;
                addMatch(r, r.worm[i].cube);
            }
        r.finishCountdown = 7;
        r.finishing = 1;
        r.reachedExit = 1;
    }
    if (h.direction >= 10)
        return;
    const int u = KpCellValue(h.x), v = KpCellValue(h.z);
    int au = u, av = v;
    bool blocked = false;
    if (h.direction == KP_DIR_PX)
        au += 10;
    else if (h.direction == KP_DIR_PZ)
        av += 10;
    else
        blocked = true;
    if (au < 0 || au > 109 || av < 0 || av > 109)
        blocked = true;
    for (int i = 0; !blocked && i < kKpGameCubes; i++) {
        const KpSlot &s = r.looseCubes[i];
        blocked = s.cube != 0 && heightOf(r, s.cube) < 4.0f && KpCellValue(s.x) == au && KpCellValue(s.z) == av;
    }
    if (blocked) {
        KpCheckMatches(r);
        KpSettleWorm(r);
    }
}

void KpArmTurn(KpRules &r)
{
    KpSlot &h = head(r);
    if (h.cube != 0)
        h.pendingTurn = r.entryAlongX ? KP_DIR_PX : KP_DIR_PZ;
    indicatorGreen(r);
    r.turnShown = 0;
}

void KpNextWormRow(KpRules &r)
{
    const bool replay = r.replayPlaying && r.gameKind != 102;
    bool fromRecording = false;
    if (replay && !r.firstRow)
        fromRecording = r.host->wormRowRead(r.wormRow);
    const int32_t streaks = r.header[KP_H_STREAKS];
    if (streaks != kKpNoPattern || replay) {
        if (r.patternInUse && r.patternRow != streaks && r.patternRow >= 0 && r.patternRow < 6) {
            for (int p = 0; p < 5; p++) {
                const int c = KpColourOfCell(r.header[KP_H_PATTERN + r.patternRow * 5 + p]);
                if (c >= 0 && c <= KP_ORANGE && r.header[KP_H_PATTERN + r.patternRow * 5 + p] >= 4)
                    r.wormRow[p] = uint8_t(c);
            }
            r.patternRow++;
        }
    }
    (void)fromRecording;
    if (streaks == kKpNoPattern && !replay) {
        bool used[8] = {};
        bool filled[5] = {};
        int count = 0;
        auto freePlace = [&]() {
            if (count >= 5)
                return -1;
            int p;
            do
                p = r.host->random() % 5;
            while (filled[p]);
            return p;
        };
        for (int c = 0; c <= KP_FIXED; c++) {
            if (!r.header[KP_H_FIRST_GROUP + kKpColours[c].flag])
                continue;
            const int p = freePlace();
            if (p < 0)
                break;
            r.wormRow[p] = uint8_t(c);
            filled[p] = true;
            used[c] = true;
            count++;
        }
        r.header[KP_H_COLOURS] = 7;
        int q = -1, rr = -1;
        for (int c = 0; c <= KP_FIXED; c++) {
            if (!r.header[KP_H_SECOND_GROUP + kKpColours[c].flag])
                continue;
            (q < 0 ? q : rr) = c;
            r.header[KP_H_COLOURS]--;
        }
        if (r.nextColour != 80 && r.nextColour != q && r.nextColour != rr && r.nextColour >= 0 &&
            r.nextColour <= KP_FIXED) {
            const int p = freePlace();
            if (p >= 0) {
                r.wormRow[p] = uint8_t(r.nextColour);
                filled[p] = true;
                used[r.nextColour] = true;
                count++;
            }
        }
        const int top = r.header[KP_H_COLOURS];
        auto drawable = [&](int c) { return c != q && c != rr && c <= KP_FIXED && !used[c]; };
        while (count < 5) {
            // The draw ends when no colour is left to draw: the places left keep what they held.
            bool any = false;
            for (int c = 0; c <= top && c <= KP_FIXED; c++)
                any = any || drawable(c);
            if (!any || top < 0)
                break;
            const int c = r.host->random() % (top + 1);
            if (!drawable(c))
                continue;
            int p = 0;
            while (filled[p])
                p++;
            r.wormRow[p] = uint8_t(c);
            filled[p] = true;
            used[c] = true;
            count++;
        }
        r.nextColour = 80;
        for (int c = 0; c <= KP_FIXED; c++)
            if (!used[c]) {
                r.nextColour = c;
                break;
            }
    }
    if (r.gameKind != 102 && !replay)
        r.host->wormRowWrite(r.wormRow, r.firstRow != 0);
}

void KpNewWorm(KpRules &r)
{
    if (r.patternInUse && r.rowsDone >= r.header[KP_H_STREAKS]) {
        r.newWormShown = 0;
        return;
    }
    const KpSlot *first = nullptr;
    for (int i = 0; i < r.wormLength && first == nullptr; i++)
        if (r.worm[i].cube != 0)
            first = &r.worm[i];
    if (first != nullptr && !(KpCellValue(first->x) <= 0 || KpCellValue(first->z) <= 0)) {
        r.newWormShown = 0;
        return;
    }
    r.entryAlongX = !r.entryAlongX;
    KpNextWormRow(r);
    int next = 0;
    for (int p = 0; p < 5; p++) {
        const int row = r.patternRow - 1;
        if (r.patternInUse && row >= 0 && row < 6)
            r.cubes->show(kKpFirstPatternCube + row * 5 + p, false);
        while (next < kKpGameCubes && (r.queue[next].cube == 0 || r.queue[next].x < -0.45f))
            next++;
        if (next >= kKpGameCubes) {
            r.nextWormCubes[p] = 0;
            continue;
        }
        KpSlot &q = r.queue[next];
        if (r.entryAlongX) {
            moveSlot(r, q, -0.6f - 0.1f * float(p), -0.5f);
            q.direction = KP_DIR_PX;
        } else {
            moveSlot(r, q, -0.5f, -0.6f - 0.1f * float(p));
            q.direction = KP_DIR_PZ;
        }
        q.pendingTurn = KP_DIR_NONE;
        r.cubes->show(q.cube, true);
        if (r.wormRow[p] <= KP_FIXED)
            r.cubes->setColour(q.cube, r.wormRow[p]);
        r.nextWormCubes[p] = q.cube;
    }
    r.newWormPending = 0;
    r.newWormShown = 1;
    r.introFrame = 1;
    r.newLevelSwitch = 1;
    r.sceneLive = 0;
}

void KpAdvance(KpRules &r)
{
    const int32_t p = r.pacingIndex;
    int32_t n = kKpStepCounts[p][r.speed];
    if (r.speedMode == 2)
        n /= 2;
    r.subStep = r.subStep == n ? 1 : r.subStep + 1;
    const bool cellStep = r.subStep == 1;
    if (r.speedChanged && cellStep) {
        r.stepSize = kKpStepIncrement[p][r.newSpeed];
        r.speed = r.newSpeed;
        r.speedChanged = 0;
        r.turnRun = 0;
    }
    if (cellStep && !r.turnRun) {
        r.speedMode = 1;
        r.stepSize = kKpStepIncrement[p][r.speed];
        indicatorGreen(r);
    }
    if (cellStep) {
        KpBuildBoardGrid(r);
        KpBuildCubeGrid(r);
        KpSlot &h = head(r);
        if (h.pendingTurn != KP_DIR_NONE && h.pendingTurn != h.direction) {
            h.direction = h.pendingTurn;
            h.pendingTurn = KP_DIR_NONE;
        }
        for (int i = r.wormLength - 1; i > r.headIndex; i--) {
            KpSlot &s = r.worm[i], &a = r.worm[i - 1];
            if (s.cube == 0 || a.cube == 0)
                continue;
            if (KpCellValue(s.x) < KpCellValue(a.x))
                s.direction = KP_DIR_PX;
            if (KpCellValue(s.z) < KpCellValue(a.z))
                s.direction = KP_DIR_PZ;
        }
    }
    if (r.newWormPending)
        KpNewWorm(r);
    if (r.subStep > 1)
        r.turnArmed = 0;
    if (cellStep) {
        KpTailCheck(r);
        r.matchCount = 0;
        KpHeadArrive(r);
        // The path of the head since the worm entered.
        const KpSlot &h = head(r);
        const int cx = KpCellOf(h.x), cz = KpCellOf(h.z);
        int found = -1;
        for (int k = 0; k < r.pathCount && found < 0; k++)
            if (r.pathCells[k][0] == cx && r.pathCells[k][1] == cz)
                found = k;
        if (found >= 0) {
            r.pathCount = found + 1;
        } else if (r.pathCount < kKpPathMax) {
            r.pathCells[r.pathCount][0] = cx;
            r.pathCells[r.pathCount][1] = cz;
            r.pathCount++;
        }
    }
    if (!r.finishing && !r.stepCountdown) {
        r.blockWait = 0;
        if (r.startDelay >= 1) {
            r.subStep--;
            r.startDelay--;
            return;
        }
        for (int i = r.headIndex; i < r.wormLength; i++) {
            KpSlot &s = r.worm[i];
            if (s.cube == 0)
                continue;
            switch (s.direction) {
            case KP_DIR_PX: moveSlot(r, s, s.x + r.stepSize, s.z); break;
            case KP_DIR_NX: moveSlot(r, s, s.x - r.stepSize, s.z); break;
            case KP_DIR_PZ: moveSlot(r, s, s.x, s.z + r.stepSize); break;
            case KP_DIR_NZ: moveSlot(r, s, s.x, s.z - r.stepSize); break;
            default: break;
            }
        }
        const KpSlot &h = head(r);
        indicatorOver(r, h);
        if (h.direction < 5 || r.turnRun) {
            r.indicatorShown = 1;
            r.indicatorRed = r.turnRun;
        }
        if (r.subStep % 2 == 0) {
            if (r.turnRun) {
                if (r.speedMode < 2) {
                    r.speedMode = 2;
                    r.subStep /= 2;
                    r.stepSize = 2 * kKpStepIncrement[p][r.speed];
                }
            } else if (r.speedMode > 1) {
                r.speedMode = 1;
                r.subStep *= 2;
                r.stepSize = kKpStepIncrement[p][r.speed];
            }
            indicatorGreen(r);
        }
    } else {
        r.subStep = 0;
        if (!r.reachedExit)
            indicatorOver(r, head(r));
        if (headIsLast(r))
            r.wormSwitch = 0;
    }
}

void KpBackOff(KpRules &r)
{
    r.subStep--;
    for (int i = r.headIndex; i < r.wormLength; i++) {
        KpSlot &s = r.worm[i];
        if (s.cube == 0)
            continue;
        switch (s.direction) {
        case KP_DIR_PX: moveSlot(r, s, s.x - r.stepSize, s.z); break;
        case KP_DIR_NX: moveSlot(r, s, s.x + r.stepSize, s.z); break;
        case KP_DIR_PZ: moveSlot(r, s, s.x, s.z - r.stepSize); break;
        case KP_DIR_NZ: moveSlot(r, s, s.x, s.z + r.stepSize); break;
        default: break;
        }
    }
}

void KpStep(KpRules &r)
{
    r.host->sound(2);
    int live[kKpGameCubes], n = 0;
    for (int i = r.headIndex; i < r.wormLength; i++)
        if (r.worm[i].cube != 0)
            live[n++] = r.worm[i].cube;
    if (n > 1) {
        const int first = r.cubes->colour(live[0]);
        for (int i = 0; i < n - 1; i++)
            r.cubes->setColour(live[i], r.cubes->colour(live[i + 1]));
        r.cubes->setColour(live[n - 1], first);
    }
    if (r.stepCountdown > 0 && r.finishCountdown == 0) {
        r.host->redraw(KP_REDRAW_FRAME);
        r.stepPressed = 1;
        KpBuildBoardGrid(r);
        KpBuildCubeGrid(r);
        KpCheckMatches(r);
        KpSettleWorm(r);
    }
}

void KpTurn(KpRules &r, int key)
{
    if (r.runOver || (r.turnArmed && (r.leftHeld || r.rightHeld)))
        return;
    KpSlot &h = head(r);
    if (h.cube == 0 || !headAtBoard(h))
        return;
    r.turnShown = 0;
    indicatorRest(r);
    auto counting = [&](uint8_t dir) {
        if (h.pendingTurn == dir && r.stepCountdown == 0 && h.direction == dir) {
            if (++r.turnCount > 6) {
                r.turnRun = 1;
                r.turnCount = 0;
            }
        } else {
            r.turnCount = 0;
        }
        h.pendingTurn = dir;
    };
    auto across = [&](uint8_t dir) {
        r.stepCountdown = 0;
        r.graceOver = 1;
        r.turnCount = 0;
        h.pendingTurn = dir;
        r.indicatorDirection = dir;
    };
    if (h.direction == KP_DIR_PX) {
        if (key == kKpRightKey)
            counting(KP_DIR_PX);
        else if (key == kKpLeftKey)
            across(KP_DIR_PZ);
    } else if (h.direction == KP_DIR_PZ) {
        if (key == kKpRightKey)
            across(KP_DIR_PX);
        else if (key == kKpLeftKey)
            counting(KP_DIR_PZ);
    }
    if (h.pendingTurn != KP_DIR_NONE || r.turnRun) {
        r.indicatorShown = 1;
        r.indicatorRed = r.turnRun;
        indicatorOver(r, h);
    }
    if (r.stepCountdown == 0)
        r.turnArmed = 0;
}

void KpFinishTurn(KpRules &r, int key)
{
    if (!headAtBoard(head(r)))
        return;
    for (int i = r.headIndex; i < r.wormLength; i++) {
        KpSlot &s = r.worm[i];
        if (s.cube == 0 || inMatchList(r, s.cube))
            continue;
        if ((s.direction == KP_DIR_PX || s.direction == KP_DIR_NX) && key == kKpLeftKey) {
            s.pendingTurn = KP_DIR_PZ;
            indicatorGreen(r);
            r.turnShown = 1;
        } else if ((s.direction == KP_DIR_PZ || s.direction == KP_DIR_NZ) && key == kKpRightKey) {
            s.pendingTurn = KP_DIR_PX;
            indicatorGreen(r);
            r.turnShown = 1;
        }
        if (s.pendingTurn != KP_DIR_NONE) {
            r.indicatorShown = 1;
            indicatorOver(r, s);
        }
        break;
    }
    if (r.stepCountdown == 0)
        r.turnArmed = 0;
}

namespace {

void updateTurnMark(KpRules &r)
{
    for (int i = r.headIndex; i < r.wormLength; i++) {
        KpSlot &s = r.worm[i];
        if (s.cube == 0 || inMatchList(r, s.cube))
            continue;
        if (r.turnShown) {
            indicatorOver(r, s);
        } else if (s.direction == KP_DIR_PX || s.direction == KP_DIR_PZ) {
            s.pendingTurn = s.direction;
            r.indicatorShown = 1;
            indicatorOver(r, s);
            r.turnShown = 1;
        }
        return;
    }
    KpArmTurn(r);
}

}  // namespace

void KpFinishUpdate(KpRules &r)
{
    if (r.finishCountdown > 0) {
        const bool allExits = r.exitsReached == r.exitCount;
        if (allExits && r.finishCountdown == 1)
            r.host->sound(10);
        else if (r.finishCountdown == 6 && !allExits)
            r.host->sound(headIsLast(r) ? 5 : 4);
        if (r.finishCountdown == 7) {
            r.host->redraw(KP_REDRAW_BOARD);
            r.fullRedraw = 0;
            r.sceneLive = 1;
            r.indicatorLive = !headIsLast(r);
            r.introFrame = 0;
        } else {
            r.blinkMode = 1;
            r.fullRedraw = 0;
        }
        r.turnArmed = 1;
        r.finishCountdown--;
        for (int i = 0; i < r.matchCount; i++)
            r.cubes->show(r.matchList[i], r.finishCountdown % 2 == 1);
        if (!r.reachedExit)
            updateTurnMark(r);
        return;
    }
    r.blinkMode = 0;
    for (int i = 0; i < r.matchCount; i++) {
        const int cube = r.matchList[i];
        for (KpSlot &l : r.looseCubes)
            if (l.cube == cube) {
                if (KpSlot *q = freeSlot(r.queue)) {
                    *q = l;
                    park(r, *q);
                }
                l = KpSlot();
            }
        for (int w = r.headIndex; w < r.wormLength; w++)
            if (r.worm[w].cube == cube) {
                if (KpSlot *q = freeSlot(r.queue)) {
                    *q = r.worm[w];
                    park(r, *q);
                }
                r.worm[w] = KpSlot();
            }
        r.cubes->show(cube, false);
        r.cubes->place(cube, 5, 5, 5);
    }
    // The live segments left: one unbroken run from k >= 1 makes k the head.
    int k = -1, m = -1;
    bool broken = false;
    for (int i = 0; i < r.wormLength; i++) {
        if (r.worm[i].cube == 0)
            continue;
        if (k < 0)
            k = i;
        else if (i != m + 1)
            broken = true;
        m = i;
    }
    if (k >= 1 && k <= 4 && !broken && k != r.headIndex) {
        r.headIndex = k;
        r.headShift = 1;
    } else {
        r.headShift = 0;
    }
    KpTailCheck(r);
    const int32_t streaks = r.header[KP_H_STREAKS];
    // The last pattern row ends a level with a pattern only: without one the count goes on past 99.
    const bool lost = (!r.patternInUse && !r.tailInside && !r.headShift) ||
                      (r.patternInUse && !r.headShift && r.rowsDone == streaks);
    if (lost) {
        r.levelRunning = 0;
        r.runOver = 1;
        r.levelLost = 1;
    }
    if (r.headShift)
        for (int i = r.headIndex + 1; i < r.wormLength; i++)
            r.worm[i].pendingTurn = KP_DIR_NONE;
    if ((!r.patternInUse && r.tailInside && !r.headShift) || (r.patternInUse && !r.headShift)) {
        finishWorm(r);
        if (r.reachedExit && r.exitsReached != r.exitCount)
            r.host->winAnimation(1);
        else
            r.pathCount = 0;
        r.rowsDone++;
        patternDisplayStep(r);
        r.host->redraw(KP_REDRAW_FRAME);
        r.startDelay = 5;
        KpArmTurn(r);
        if (wormEmpty(r) && !KpLevelWon(r) && !r.levelLost)
            loseLevel(r);
    }
    KpBuildBoardGrid(r);
    KpBuildCubeGrid(r);
    r.sceneLive = 1;
    r.finishing = 0;
}

bool KpLevelWon(const KpRules &r)
{
    return r.exitCount > 0 && r.exitsReached >= r.exitCount;
}

// ---- the frame record ----

void KpEncodeFrame(const KpFrameInput &in, uint8_t out[5])
{
    const uint32_t time = in.time & 0x3FFFFF;
    const uint32_t word = uint32_t(in.left & 1) << 31 | uint32_t(in.right & 1) << 30 |
                          uint32_t(in.turnState & 3) << 28 | uint32_t(in.mayTurn & 1) << 27 |
                          uint32_t(in.mayStep & 1) << 26 | uint32_t(in.steps & 15) << 22 |
                          uint32_t(in.edge & 3) << 20 | uint32_t(in.turnRun & 1) << 18 |
                          uint32_t(in.speed & 15) << 14 | (time >> 8);
    for (int k = 0; k < 4; k++)
        out[k] = uint8_t(word >> (8 * k));
    out[4] = uint8_t(time);
}

KpFrameInput KpDecodeFrame(const uint8_t f[5])
{
    const uint32_t w = uint32_t(f[0]) | uint32_t(f[1]) << 8 | uint32_t(f[2]) << 16 | uint32_t(f[3]) << 24;
    KpFrameInput in;
    in.left = int32_t(w >> 31 & 1);
    in.right = int32_t(w >> 30 & 1);
    in.turnState = int32_t(w >> 28 & 3);
    in.mayTurn = int32_t(w >> 27 & 1);
    in.mayStep = int32_t(w >> 26 & 1);
    in.steps = int32_t(w >> 22 & 15);
    in.edge = int32_t(w >> 20 & 3);
    in.turnRun = int32_t(w >> 18 & 1);
    in.speed = int32_t(w >> 14 & 15);
    in.time = (w & 0x3FFF) << 8 | f[4];
    return in;
}

int KpApplyReplayFrame(KpRules &r, const uint8_t frame[5])
{
    const KpFrameInput in = KpDecodeFrame(frame);
    r.leftHeld = in.left;
    r.rightHeld = in.right;
    r.turnState = in.turnState;
    r.mayTurn = in.mayTurn;
    r.mayStep = in.mayStep;
    r.pendingSteps = in.steps;
    r.keyEdge = in.edge;
    r.turnRun = in.turnRun;
    while (r.pendingSteps - r.stepPhase > 0) {
        KpStep(r);
        r.pendingSteps--;
    }
    const int32_t speed = in.speed > 8 ? 8 : in.speed;
    if (speed != KpDecodeFrame(r.lastFrame).speed || speed != r.speed) {
        r.newSpeed = speed;
        r.speedChanged = 1;
    }
    if (r.keyEdge == 1 && r.finishCountdown > 0) {
        KpFinishTurn(r, kKpLeftKey);
    } else if (r.keyEdge == 2 && r.finishCountdown > 0) {
        KpFinishTurn(r, kKpRightKey);
    } else if (!((r.turnState == 1 && r.leftHeld) || (r.turnState == 2 && r.rightHeld))) {
        r.turnCount = 0;
    } else if (r.mayTurn && !r.finishing) {
        KpTurn(r, r.turnState == 1 ? kKpLeftKey : kKpRightKey);
    }
    memcpy(r.lastFrame, frame, 5);
    return frame[4];
}

void KpKeyDown(KpRules &r, int side)
{
    if (side == 0) {
        if (r.leftHeld)
            return;
        r.keyEdge = r.releaseLatch || r.turnState != 1 ? 1 : 0;
        r.leftHeld = 1;
        r.turnState = 1;
    } else {
        if (r.rightHeld)
            return;
        r.keyEdge = r.releaseLatch || r.turnState != 2 ? 2 : 0;
        r.rightHeld = 1;
        r.turnState = 2;
    }
}

void KpKeyUp(KpRules &r, int side)
{
    int32_t &held = side == 0 ? r.leftHeld : r.rightHeld;
    const int32_t other = side == 0 ? r.rightHeld : r.leftHeld;
    if (!held)
        return;
    if (other) {
        r.turnState = side == 0 ? 2 : 1;
    } else {
        r.turnRun = 0;
        r.turnState = 0;
    }
    held = 0;
    r.releaseLatch = r.turnArmed && r.turnState == 0;
}

void KpStepKey(KpRules &r)
{
    if (r.levelRunning) {
        r.pendingSteps++;
    } else {
        KpStep(r);
        r.stepPhase++;
    }
}

namespace {

// The frame of live play. At most 15 steps ride in one frame; the rest wait for the next.
void liveFrame(KpRules &r, KpDriveState &d)
{
    const int32_t sum = r.pendingSteps + r.stepPhase;
    const int32_t total = sum > 15 ? 15 : sum;
    const int32_t phase = r.stepPhase < total ? r.stepPhase : total;
    const int32_t carryPhase = r.stepPhase - phase, carrySteps = r.pendingSteps - (total - phase);
    KpFrameInput in;
    in.left = r.leftHeld;
    in.right = r.rightHeld;
    in.turnState = r.turnState;
    in.mayTurn = r.mayTurn;
    in.mayStep = r.mayStep;
    in.steps = total;
    in.edge = r.keyEdge;
    in.turnRun = r.turnRun;
    in.speed = r.speedIndex;
    in.time = r.elapsedTenths;
    KpEncodeFrame(in, d.frame);
    d.savedTurnCount = r.turnCount;
    d.savedTurnRun = r.turnRun;
    d.savedTotal = total;
    r.stepPhase = phase;
    KpApplyReplayFrame(r, d.frame);
    if (r.gameKind != 102)
        r.host->recordFrame(d.frame, false);
    r.pendingSteps = carrySteps;
    r.stepPhase = carryPhase;
    r.keyEdge = 0;
}

}  // namespace

int KpDriveFrame(KpRules &r, KpDriveState &d, const uint8_t *playback)
{
    if (!r.levelRunning || r.paused)
        return KP_FRAME_IDLE;
    if (playback != nullptr) {
        memcpy(d.frame, playback, 5);
        KpApplyReplayFrame(r, d.frame);
        r.elapsedTenths = KpDecodeFrame(d.frame).time;
    } else {
        liveFrame(r, d);
    }
    if (r.finishing || r.stepCountdown) {
        if (r.stepCountdown > 0) {
            if (--r.stepCountdown == 0)
                r.mayTurn = r.mayStep = 0;
            r.graceOver = 1;
            return KP_FRAME_WAITED;
        }
        KpFinishUpdate(r);
        if (KpLevelWon(r) && r.finishCountdown == 0) {
            r.levelRunning = 0;
            KpFinishUpdate(r);
            return KP_FRAME_WON;
        }
        return r.levelLost ? KP_FRAME_LOST : KP_FRAME_WAITED;
    }
    KpAdvance(r);
    r.graceOver = 0;
    r.mayStep = r.mayTurn = 1;
    return r.levelLost ? KP_FRAME_LOST : KP_FRAME_MOVED;
}

void KpEarlyTurn(KpRules &r, KpDriveState &d)
{
    KpBackOff(r);
    r.pendingSteps = 0;
    r.turnCount = d.savedTurnCount;
    r.turnRun = d.savedTurnRun;
    const int32_t saved = d.savedTotal;
    KpFrameInput in;
    in.left = r.leftHeld;
    in.right = r.rightHeld;
    in.turnState = r.turnState;
    in.mayTurn = r.mayTurn;
    in.mayStep = r.mayStep;
    in.steps = r.stepPhase;
    in.edge = r.keyEdge;
    in.turnRun = r.turnRun;
    in.speed = r.speedIndex;
    in.time = r.elapsedTenths;
    KpEncodeFrame(in, d.frame);
    KpApplyReplayFrame(r, d.frame);
    in.steps = saved + r.stepPhase > 15 ? 15 : saved + r.stepPhase;
    KpEncodeFrame(in, d.frame);
    memcpy(r.lastFrame, d.frame, 5);
    if (r.gameKind != 102)
        r.host->recordFrame(d.frame, true);
    KpAdvance(r);
    d.savedTotal = 0;
    r.pendingSteps = r.stepPhase = r.keyEdge = 0;
    r.graceOver = 0;
    r.mayStep = r.mayTurn = 1;
}
