// The worm rules on small boards (memory cubes, a seeded host): blocks and their grace, matches and
// removals, turns and double speed, exits, jams, the path, the colours of the next worm, and the
// frame record that drives them.
#include <gtest/gtest.h>
#include <string.h>

#include "rules_support.h"

namespace {

const char *const kOpen[11] = {
    "...........", "...........", "...........", "...........", "...........", "...........",
    "...........", "...........", "...........", "...........", "..........E",
};

struct Game : RulesFixture {
    KpDriveState d;
    explicit Game(const char *const lines[11] = kOpen, int speed = 7)
    {
        r.gameKind = 100;
        r.speed = r.newSpeed = r.speedIndex = speed;
        board(lines);
        KpLevelSetup(r);
        r.levelRunning = 1;
        KpArmTurn(r);
    }
    int frame() { return KpDriveFrame(r, d, nullptr); }
    // Frames until the predicate holds (false when it never does within `limit`).
    template <class P> bool until(P p, int limit = 2000)
    {
        for (int i = 0; i < limit; i++) {
            if (p())
                return true;
            frame();
        }
        return p();
    }
    KpSlot &head() { return r.worm[r.headIndex]; }
    int cellX(const KpSlot &s) { return KpCellOf(s.x); }
    int cellZ(const KpSlot &s) { return KpCellOf(s.z); }
    void colourWorm(std::initializer_list<int> colours)
    {
        int i = 0;
        for (int c : colours)
            cubes.setColour(r.worm[i++].cube, c);
    }
    int looseAt(int x, int z)
    {
        for (const KpSlot &s : r.looseCubes)
            if (s.cube != 0 && cellX(s) == x && cellZ(s) == z)
                return s.cube;
        return 0;
    }
};

TEST(Cells, RoundingKeepsDriftedPositionsOnTheirCell)
{
    EXPECT_EQ(KpCellOf(-0.5f + 0.2f), 2);
    EXPECT_EQ(KpCellOf(-0.30000034f), 2);
    EXPECT_EQ(KpCellOf(-0.6f), -1);
    EXPECT_EQ(KpCellValue(0.5f), 100);
    // Every speed, normal and double: a worm stepping cell by cell stays on whole cells.
    for (int s = 0; s < 9; s++)
        for (int mode = 1; mode <= 2; mode++) {
            float x = -0.6f;
            const int n = kKpStepCounts[1][s] / mode;
            const float inc = mode == 2 ? 2 * kKpStepIncrement[1][s] : kKpStepIncrement[1][s];
            for (int cell = -1; cell <= 10; cell++) {
                ASSERT_EQ(KpCellOf(x), cell) << s << " " << mode;
                for (int i = 0; i < n; i++)
                    x += inc;
            }
        }
}

TEST(Blocks, ByCubeThenGraceThenSettle)
{
    const char *const b[11] = {"...........", "...........", "...........", "...........", "...........",
                               "...........", "...........", "#..........", "...........", "...........",
                               "..........E"};
    Game g(b);
    ASSERT_TRUE(g.until([&] { return g.r.stepCountdown > 0; }));
    EXPECT_EQ(g.cellX(g.head()), 6);
    EXPECT_EQ(g.host.sounds.back(), 3);
    EXPECT_EQ(g.r.stepCountdown, 15);
    const int firstCube = g.head().cube;
    int waited = 0;
    while (g.r.stepCountdown > 0) {
        EXPECT_EQ(g.frame(), KP_FRAME_WAITED);
        waited++;
    }
    EXPECT_EQ(waited, 15);
    EXPECT_EQ(g.r.rowsDone, 1);
    g.frame();  // the grace is over: the worm settles
    EXPECT_EQ(g.r.rowsDone, 2);
    EXPECT_EQ(g.looseAt(6, 0), firstCube);
    EXPECT_EQ(g.r.levelLost, 0);
    // The next worm waits along z and turns +z.
    EXPECT_EQ(g.head().direction, KP_DIR_PZ);
    EXPECT_FLOAT_EQ(g.head().x, -0.5f);
    EXPECT_FLOAT_EQ(g.head().z, -0.6f);
    EXPECT_EQ(g.head().pendingTurn, KP_DIR_PZ);
    EXPECT_TRUE(g.until([&] { return g.cellZ(g.head()) == 3; }));
    EXPECT_EQ(g.cellX(g.head()), 0);
}

TEST(Blocks, ByTheEdge)
{
    Game g;
    ASSERT_TRUE(g.until([&] { return g.r.stepCountdown > 0; }));
    EXPECT_EQ(g.cellX(g.head()), 10);
    EXPECT_EQ(g.host.sounds.back(), 3);
}

TEST(Blocks, JamWhenTheTailHasNotLeftTheEntry)
{
    const char *const b[11] = {"...........", "...........", "#..........", "...........", "...........",
                               "...........", "...........", "...........", "...........", "...........",
                               "..........E"};
    Game g(b);
    ASSERT_TRUE(g.until([&] { return g.r.levelLost != 0; }));
    EXPECT_EQ(g.r.runOver, 1);
    EXPECT_EQ(g.r.levelRunning, 0);
}

TEST(Blocks, TurnToTheFreeSideDuringTheGrace)
{
    const char *const b[11] = {"...........", "...........", "...........", "#..........", "...........",
                               "...........", "...........", "...........", "...........", "...........",
                               "..........E"};
    Game g(b);
    ASSERT_TRUE(g.until([&] { return g.r.stepCountdown > 0; }));
    EXPECT_EQ(g.cellX(g.head()), 2);
    KpKeyDown(g.r, 0);
    g.frame();
    KpKeyUp(g.r, 0);
    EXPECT_EQ(g.r.stepCountdown, 0);
    EXPECT_TRUE(g.until([&] { return g.cellZ(g.head()) == 3; }, 200));
    EXPECT_EQ(g.cellX(g.head()), 2);
    EXPECT_EQ(g.r.rowsDone, 1);
}

struct MatchCase {
    const char *what;
    const char *rows[3];  // x = 6..8 of columns z = 0..2 (the head stops at (6, 0) facing (7, 0))
    int headColour, count;
};

TEST(Matches, Table)
{
    const MatchCase cases[] = {
        {"straight", {"...", "r..", "r.."}, KP_RED, 2},
        {"L", {"...", "rr.", "..."}, KP_RED, 2},
        {"one", {"...", "r..", "b.."}, KP_RED, 1},
        {"side of the head", {".rr", "b..", "..."}, KP_RED, 2},
        {"fixed never", {"...", "#..", "#.."}, KP_FIXED, 0},
        {"other colour", {"...", "rr.", "..."}, KP_BLUE, 0},
    };
    for (const MatchCase &c : cases) {
        char lines[11][12];
        for (int x = 0; x < 11; x++)
            snprintf(lines[x], 12, "%s", x == 10 ? "..........E" : "...........");
        for (int k = 0; k < 3; k++)
            memcpy(lines[6 + k], c.rows[k], 3);
        const char *b[11];
        for (int x = 0; x < 11; x++)
            b[x] = lines[x];
        Game g(b);
        g.colourWorm({c.headColour, KP_GREEN, KP_YELLOW, KP_WHITE, KP_ORANGE});
        ASSERT_TRUE(g.until([&] { return g.cellX(g.head()) == 6 && g.r.subStep == 0; }, 400)) << c.what;
        KpBuildBoardGrid(g.r);
        EXPECT_EQ(KpMatchCount(g.r, g.r.headIndex), c.count) << c.what;
        EXPECT_EQ(g.r.finishing, c.count >= 2 ? 1 : 0) << c.what;
    }
}

TEST(Matches, HeadMatchBlinksAndTheNextCubeLeads)
{
    const char *const b[11] = {"...........", "...........", "...........", "...........", "...........",
                               "...........", "...........", "r..........", "r..........", "...........",
                               "..........E"};
    Game g(b);
    g.colourWorm({KP_RED, KP_GREEN, KP_YELLOW, KP_WHITE, KP_ORANGE});
    const int second = g.r.worm[1].cube;
    ASSERT_TRUE(g.until([&] { return g.r.finishing != 0; }));
    EXPECT_EQ(g.r.matchCount, 3);
    EXPECT_EQ(g.r.finishCountdown, 7);
    int blinks = 0;
    while (g.r.finishing) {
        g.frame();
        blinks++;
    }
    EXPECT_EQ(blinks, 8);
    EXPECT_EQ(std::count(g.host.sounds.begin(), g.host.sounds.end(), 4), 1);
    EXPECT_EQ(g.r.headIndex, 1);
    EXPECT_EQ(g.head().cube, second);
    EXPECT_EQ(g.looseAt(7, 0), 0);
    EXPECT_EQ(g.looseAt(8, 0), 0);
    // The queue holds the removed cubes again, out of sight.
    int parked = 0;
    for (const KpSlot &q : g.r.queue)
        parked += q.cube != 0 && q.x == 5.0f;
    EXPECT_GE(parked, 3);
    EXPECT_TRUE(g.until([&] { return g.cellX(g.head()) == 10; }, 400));
}

TEST(Matches, SpeedEightArmsATwoFrameGrace)
{
    const char *const b[11] = {"...........", "...........", "...........", "...........", "...........",
                               "...........", "...........", "r..........", "r..........", "...........",
                               "..........E"};
    Game g(b, 8);
    g.colourWorm({KP_RED, KP_GREEN, KP_YELLOW, KP_WHITE, KP_ORANGE});
    ASSERT_TRUE(g.until([&] { return g.r.stepCountdown > 0 || g.r.finishing; }));
    EXPECT_EQ(g.r.finishing, 0);
    EXPECT_EQ(g.r.stepCountdown, 2);
    g.frame();
    g.frame();
    EXPECT_EQ(g.r.stepCountdown, 0);
    g.frame();
    EXPECT_EQ(g.r.finishing, 1);
    EXPECT_EQ(g.r.matchCount, 3);
}

TEST(Matches, StepWhileBlockedRotatesAndMatchesAtOnce)
{
    const char *const b[11] = {"...........", "...........", "...........", "...........", "...........",
                               "...........", "...........", "b..........", "b..........", "...........",
                               "..........E"};
    Game g(b);
    g.colourWorm({KP_RED, KP_BLUE, KP_YELLOW, KP_WHITE, KP_ORANGE});
    ASSERT_TRUE(g.until([&] { return g.r.stepCountdown > 0; }));
    EXPECT_EQ(g.r.finishing, 0);
    KpStepKey(g.r);
    g.frame();
    EXPECT_EQ(g.cubes.colour(g.head().cube), KP_BLUE);
    EXPECT_EQ(g.r.finishing, 1);
    EXPECT_EQ(g.r.matchCount, 3);
}

TEST(Matches, MiddleMatchAfterTheGraceFinishesTheWorm)
{
    const char *const b[11] = {"...........", "...........", "...........", "...........", ".yy........",
                               "...........", "...........", "#..........", "...........", "...........",
                               "..........E"};
    Game g(b);
    g.colourWorm({KP_RED, KP_GREEN, KP_YELLOW, KP_WHITE, KP_ORANGE});
    ASSERT_TRUE(g.until([&] { return g.r.stepCountdown > 0; }));
    EXPECT_EQ(g.r.finishing, 0);
    ASSERT_TRUE(g.until([&] { return g.r.finishing != 0; }, 20));
    EXPECT_EQ(g.r.matchCount, 3);  // segment 2 at (4, 0) with (4, 1) and (4, 2)
    EXPECT_EQ(g.host.sounds.back(), 3);
    ASSERT_TRUE(g.until([&] { return g.r.finishing == 0; }, 20));
    EXPECT_EQ(g.r.rowsDone, 2);
    EXPECT_EQ(g.r.headIndex, 0);
    EXPECT_NE(g.looseAt(6, 0), 0);
}

TEST(Removal, HeadAndNextRemovedLeavesTheThirdLeading)
{
    Game g;
    ASSERT_TRUE(g.until([&] { return g.cellX(g.head()) == 4; }));
    const int third = g.r.worm[2].cube;
    g.r.matchList[0] = g.r.worm[0].cube;
    g.r.matchList[1] = g.r.worm[1].cube;
    g.r.matchCount = 2;
    g.r.finishing = 1;
    g.r.finishCountdown = 0;
    KpFinishUpdate(g.r);
    EXPECT_EQ(g.r.headIndex, 2);
    EXPECT_EQ(g.r.headShift, 1);
    EXPECT_EQ(g.head().cube, third);
    EXPECT_EQ(g.r.finishing, 0);
}

TEST(Removal, MiddleRemovedFinishesTheWorm)
{
    Game g;
    ASSERT_TRUE(g.until([&] { return g.cellX(g.head()) == 6; }));
    const int headCube = g.head().cube;
    g.r.matchList[0] = g.r.worm[2].cube;
    g.r.matchCount = 1;
    g.r.finishing = 1;
    KpFinishUpdate(g.r);
    EXPECT_EQ(g.r.headShift, 0);
    EXPECT_EQ(g.r.rowsDone, 2);
    EXPECT_EQ(g.looseAt(6, 0), headCube);
}

TEST(Removal, ALevelWithoutPatternGoesOnPast99Worms)
{
    Game g;
    ASSERT_TRUE(g.until([&] { return g.cellX(g.head()) == 6; }));
    g.r.rowsDone = 99;
    g.r.matchList[0] = g.r.worm[2].cube;
    g.r.matchCount = 1;
    g.r.finishing = 1;
    KpFinishUpdate(g.r);
    EXPECT_EQ(g.r.levelLost, 0);
    EXPECT_EQ(g.r.rowsDone, 100);
}

TEST(Turns, SeventhCountRunsAtDoubleSpeed)
{
    Game g;
    ASSERT_TRUE(g.until([&] { return g.cellX(g.head()) == 1; }));
    KpKeyDown(g.r, 1);
    int frames = 0;
    while (!g.r.turnRun && frames < 20) {
        g.frame();
        frames++;
    }
    EXPECT_EQ(g.r.turnRun, 1);
    EXPECT_LE(frames, 8);
    ASSERT_TRUE(g.until([&] { return g.r.speedMode == 2; }, 20));
    const float x = g.head().x;
    g.frame();
    EXPECT_NEAR(g.head().x - x, 2 * kKpStepIncrement[1][7], 1e-6);
    KpKeyUp(g.r, 1);
    EXPECT_EQ(g.r.turnRun, 0);
    ASSERT_TRUE(g.until([&] { return g.r.speedMode == 1; }, 20));
}

TEST(Turns, SpeedChangeTakesEffectAtTheNextCell)
{
    Game g;
    ASSERT_TRUE(g.until([&] { return g.cellX(g.head()) == 1 && g.r.subStep == 3; }));
    g.r.speedIndex = 3;
    g.frame();
    EXPECT_EQ(g.r.speed, 7);
    EXPECT_EQ(g.r.speedChanged, 1);
    ASSERT_TRUE(g.until([&] { return g.r.subStep == 1; }, 20));
    EXPECT_EQ(g.r.speed, 3);
    EXPECT_FLOAT_EQ(g.r.stepSize, kKpStepIncrement[1][3]);
}

TEST(Exits, OneOfSeveralThenAll)
{
    const char *const b[11] = {"...........", "...........", "...........", "...........", "...........",
                               "...........", "E..........", "...........", "...........", "...........",
                               "..........E"};
    Game g(b);
    EXPECT_EQ(g.r.exitCount, 2);
    ASSERT_TRUE(g.until([&] { return g.r.reachedExit != 0; }));
    EXPECT_EQ(g.r.exitsReached, 1);
    EXPECT_EQ(g.r.board[6 * 11], KP_CELL_EMPTY);
    EXPECT_EQ(g.r.matchCount, 5);
    ASSERT_TRUE(g.until([&] { return g.r.finishing == 0; }, 20));
    EXPECT_EQ(g.host.winAnimations, 1);
    EXPECT_FALSE(KpLevelWon(g.r));
    EXPECT_EQ(g.r.rowsDone, 2);
    EXPECT_EQ(g.r.levelLost, 0);
}

TEST(Exits, LastExitWins)
{
    const char *const b[11] = {"...........", "...........", "...........", "...........", "...........",
                               "...........", "E..........", "...........", "...........", "...........",
                               "..........."};
    Game g(b);
    int outcome = 0, frames = 0;
    while (outcome != KP_FRAME_WON && frames++ < 400)
        outcome = g.frame();
    EXPECT_EQ(outcome, KP_FRAME_WON);
    EXPECT_EQ(g.r.levelRunning, 0);
    EXPECT_EQ(g.r.levelLost, 0);
    EXPECT_EQ(g.host.sounds.back(), 10);
}

TEST(Patterns, TheWormOfTheLastRowEndsTheLevel)
{
    const char *const b[11] = {"...........", "...........", "...........", "...........", "...........",
                               "...........", "...........", "#..........", "...........", "...........",
                               "..........E"};
    RulesFixture f;
    f.r.gameKind = 101;
    f.r.trialRun = 1;
    f.board(b);
    f.r.header[KP_H_STREAKS] = 1;
    for (int p = 0; p < 5; p++)
        f.r.header[KP_H_PATTERN + p] = 4 + p;
    f.r.patternInUse = 1;
    KpLevelSetup(f.r);
    EXPECT_EQ(f.cubes.colour(f.r.worm[0].cube), KP_BLUE);
    EXPECT_EQ(f.cubes.colour(f.r.worm[4].cube), KP_WHITE);
    f.r.levelRunning = 1;
    KpArmTurn(f.r);
    KpDriveState d;
    int frames = 0;
    while (!f.r.levelLost && frames++ < 500)
        KpDriveFrame(f.r, d, nullptr);
    EXPECT_EQ(f.r.levelLost, 1);
    EXPECT_EQ(f.r.runOver, 1);
    // No worm was prepared after the only row.
    for (int c : f.r.nextWormCubes)
        EXPECT_EQ(c, 0);
}

TEST(Frames, EarlyTurnReplacesTheRecordedFrame)
{
    Game g;
    ASSERT_TRUE(g.until([&] { return g.cellX(g.head()) == 2 && g.r.subStep == 10; }));
    g.frame();  // the first increment of the next cell
    ASSERT_EQ(g.r.subStep, 1);
    const size_t recorded = g.host.frames.size();
    const float x = g.head().x;
    KpKeyDown(g.r, 0);
    KpEarlyTurn(g.r, g.d);
    KpKeyUp(g.r, 0);
    EXPECT_EQ(g.host.frames.size(), recorded);  // overwritten, not added
    const KpFrameInput in = KpDecodeFrame(g.host.frames.back().data());
    EXPECT_EQ(in.turnState, 1);
    EXPECT_EQ(in.left, 1);
    // The turn took effect in the same cell step: the head went +z instead of on along x.
    EXPECT_EQ(g.head().direction, KP_DIR_PZ);
    EXPECT_FLOAT_EQ(g.head().x, x - g.r.stepSize);
    EXPECT_EQ(g.r.subStep, 1);
    // A playback of the recorded frames ends in the same place.
    ASSERT_TRUE(g.until([&] { return g.cellZ(g.head()) == 3; }, 200));
    Game replay;
    for (const auto &f : g.host.frames)
        KpDriveFrame(replay.r, replay.d, f.data());
    EXPECT_EQ(replay.head().x, g.head().x);
    EXPECT_EQ(replay.head().z, g.head().z);
}

TEST(Path, ComingBackCutsThePath)
{
    Game g;
    ASSERT_TRUE(g.until([&] { return g.cellX(g.head()) == 3 && g.r.subStep == 1; }));
    EXPECT_EQ(g.r.pathCount, 5);  // the entry cell, then cells 0 to 3
    EXPECT_EQ(g.r.pathCells[4][0], 3);
    g.r.pathCells[1][0] = 4;  // the head comes back to a recorded cell
    ASSERT_TRUE(g.until([&] { return g.cellX(g.head()) == 4 && g.r.subStep == 1; }));
    EXPECT_EQ(g.r.pathCount, 2);
}

TEST(Path, StopsAtItsBound)
{
    Game g;
    for (int k = 0; k < kKpPathMax; k++) {
        g.r.pathCells[k][0] = 20 + k;
        g.r.pathCells[k][1] = 20;
    }
    g.r.pathCount = kKpPathMax;
    ASSERT_TRUE(g.until([&] { return g.cellX(g.head()) == 2 && g.r.subStep == 1; }));
    EXPECT_EQ(g.r.pathCount, kKpPathMax);
}

TEST(Colours, StepRotatesTowardTheHead)
{
    Game g;
    g.colourWorm({KP_RED, KP_BLUE, KP_YELLOW, KP_GREEN, KP_WHITE});
    g.r.levelRunning = 0;
    KpStepKey(g.r);
    const int want[5] = {KP_BLUE, KP_YELLOW, KP_GREEN, KP_WHITE, KP_RED};
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(g.cubes.colour(g.r.worm[i].cube), want[i]) << i;
    EXPECT_EQ(g.r.stepPhase, 1);
    EXPECT_EQ(g.host.sounds.back(), 2);
}

struct RowCase {
    const char *what;
    int first[7], second[7];  // flags by colour index (red blue yellow green white orange fixed)
    int nextColour;
    bool completes;
};

TEST(WormRows, PalettesAndTheirLimits)
{
    const RowCase cases[] = {
        {"default", {0}, {0, 0, 0, 0, 0, 0, 1}, 80, true},
        {"no exclusions", {0}, {0}, 80, true},
        {"one excluded", {0}, {1}, 80, true},
        {"two excluded", {0}, {0, 1, 0, 0, 0, 0, 1}, 2, true},
        {"first group", {1, 1, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 1}, 80, true},
        {"impossible: two excluded of six", {0}, {1, 1, 0, 0, 0, 0, 0}, 80, true},
        {"impossible: five in the first group", {1, 1, 1, 1, 1, 0, 0}, {0, 0, 0, 0, 0, 1, 0}, 80, true},
        {"seven in the first group", {1, 1, 1, 1, 1, 1, 1}, {0}, 80, true},
    };
    for (const RowCase &c : cases)
        for (uint32_t seed = 1; seed < 40; seed++) {
            RulesFixture f;
            f.host.seed(seed);
            for (int k = 0; k < 7; k++) {
                f.r.header[KP_H_FIRST_GROUP + kKpColours[k].flag] = c.first[k];
                f.r.header[KP_H_SECOND_GROUP + kKpColours[k].flag] = c.second[k];
            }
            f.r.nextColour = c.nextColour;
            memset(f.r.wormRow, 0xEE, 5);
            KpNextWormRow(f.r);
            bool seen[8] = {};
            for (int p = 0; p < 5; p++) {
                const int colour = f.r.wormRow[p];
                if (colour == 0xEE)
                    continue;
                ASSERT_LE(colour, KP_FIXED) << c.what;
                EXPECT_FALSE(seen[colour]) << c.what;
                seen[colour] = true;
                EXPECT_FALSE(c.second[colour] && !c.first[colour]) << c.what << " draws an excluded colour";
            }
            for (int k = 0; k < 7; k++) {
                if (c.first[k] && std::count(c.first, c.first + 7, 1) <= 5) {
                    EXPECT_TRUE(seen[k]) << c.what;
                }
            }
            EXPECT_EQ(f.host.rows.size(), 1u);
        }
}

TEST(Frames, CodecTable)
{
    struct Case {
        KpFrameInput in;
    } const cases[] = {
        {{1, 0, 1, 1, 1, 0, 1, 0, 7, 0}},     {{0, 1, 2, 0, 1, 15, 2, 1, 8, 12345}},
        {{1, 1, 2, 1, 0, 3, 0, 1, 0, 0x3FFFFF}}, {{0, 0, 0, 0, 0, 0, 0, 0, 4, 255}},
        {{0, 0, 0, 1, 1, 9, 0, 0, 5, 256}},
    };
    for (const Case &c : cases) {
        uint8_t f[5];
        KpEncodeFrame(c.in, f);
        const KpFrameInput o = KpDecodeFrame(f);
        EXPECT_EQ(o.left, c.in.left);
        EXPECT_EQ(o.right, c.in.right);
        EXPECT_EQ(o.turnState, c.in.turnState);
        EXPECT_EQ(o.mayTurn, c.in.mayTurn);
        EXPECT_EQ(o.mayStep, c.in.mayStep);
        EXPECT_EQ(o.steps, c.in.steps);
        EXPECT_EQ(o.edge, c.in.edge);
        EXPECT_EQ(o.turnRun, c.in.turnRun);
        EXPECT_EQ(o.speed, c.in.speed);
        EXPECT_EQ(o.time, c.in.time);
        EXPECT_EQ(f[4], uint8_t(c.in.time));
        EXPECT_EQ(f[2] & 0x08, 0);  // bit 19 stays 0
    }
    KpFrameInput wrap;
    wrap.time = 1u << 22;
    uint8_t f[5];
    KpEncodeFrame(wrap, f);
    EXPECT_EQ(KpDecodeFrame(f).time, 0u);
    wrap.time = (1u << 22) + 5;
    KpEncodeFrame(wrap, f);
    EXPECT_EQ(KpDecodeFrame(f).time, 5u);
    // Bits: left 31, right 30, turn state 28-29.
    KpFrameInput bits;
    bits.left = 1;
    bits.turnState = 2;
    KpEncodeFrame(bits, f);
    EXPECT_EQ(f[3], 0x80 | 0x20);
    // Every field at once, as the recording stores it (little-endian word, then the time's low byte).
    const KpFrameInput all{0, 1, 1, 1, 0, 5, 2, 1, 8, 0x2ABCDE};
    KpEncodeFrame(all, f);
    const uint8_t want[5] = {0xBC, 0x2A, 0x66, 0x59, 0xDE};
    EXPECT_EQ(0, memcmp(f, want, 5));
}

TEST(Frames, StepPressesBeyondFifteenCarryToTheNextFrame)
{
    for (int presses : {15, 16, 40}) {
        Game g;
        g.colourWorm({KP_RED, KP_BLUE, KP_YELLOW, KP_GREEN, KP_WHITE});
        for (int i = 0; i < presses; i++)
            KpStepKey(g.r);
        int frames = 0, steps = 0;
        while ((g.r.pendingSteps > 0 || frames == 0) && frames < 10) {
            g.frame();
            steps += KpDecodeFrame(g.d.frame).steps;
            frames++;
        }
        EXPECT_EQ(steps, presses) << presses;
        EXPECT_EQ(frames, (presses + 14) / 15) << presses;
        // The worm's colours moved by every press.
        const int want = presses % 5;
        const int colours[5] = {KP_RED, KP_BLUE, KP_YELLOW, KP_GREEN, KP_WHITE};
        EXPECT_EQ(g.cubes.colour(g.head().cube), colours[want]) << presses;
        // A replay of the recorded frames takes the same steps.
        int recorded = 0;
        for (const auto &fr : g.host.frames)
            recorded += KpDecodeFrame(fr.data()).steps;
        EXPECT_EQ(recorded, presses);
    }
}

TEST(Frames, TurnKeysBetweenPollsRightWins)
{
    RulesFixture f;
    KpKeyDown(f.r, 0);
    KpKeyDown(f.r, 1);
    EXPECT_EQ(f.r.turnState, 2);
    EXPECT_EQ(f.r.keyEdge, 2);
    f.r.keyEdge = 0;
    KpKeyUp(f.r, 1);
    EXPECT_EQ(f.r.turnState, 1);
    EXPECT_EQ(f.r.keyEdge, 0);
    KpKeyUp(f.r, 0);
    EXPECT_EQ(f.r.turnState, 0);
}

// A release that leaves no key held while a turn is armed latches: the next press of that key is a
// new edge even where the turn state (as a decoded frame can leave it) already points its way.
TEST(Frames, ReleaseWithAnArmedTurnLatchesTheNextEdge)
{
    for (int armed : {1, 0}) {
        RulesFixture f;
        f.r.turnArmed = armed;
        KpKeyDown(f.r, 0);
        EXPECT_EQ(f.r.keyEdge, 1);
        f.r.keyEdge = 0;
        KpKeyUp(f.r, 0);
        EXPECT_EQ(f.r.releaseLatch, armed);
        f.r.turnState = 1;
        KpKeyDown(f.r, 0);
        EXPECT_EQ(f.r.keyEdge, armed ? 1 : 0) << armed;
    }
}

TEST(Frames, PlaybackRepeatsTheGame)
{
    const char *const b[11] = {"...........", "...........", "..........r", "#..........", "...........",
                               "......b....", "...........", "...........", "..........E", "...........",
                               "..........."};
    Game live(b);
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < 600 && !live.r.levelLost && live.r.levelRunning; i++) {
        if (i == 50)
            KpKeyDown(live.r, 0);
        if (i == 60)
            KpKeyUp(live.r, 0);
        if (i == 200)
            KpStepKey(live.r);
        live.frame();
        // The early turn at the first increment of a cell step.
        if (i == 120 && live.r.subStep == 1) {
            KpKeyDown(live.r, 1);
            KpEarlyTurn(live.r, live.d);
            KpKeyUp(live.r, 1);
        }
    }
    Game replay(b);
    replay.r.replayPlaying = 0;  // same rows: the seeded host gives the same colours
    for (const auto &f : live.host.frames)
        KpDriveFrame(replay.r, replay.d, f.data());
    for (int i = 0; i < kKpGameCubes; i++) {
        EXPECT_EQ(live.cubes.cubes[i + 1].x, replay.cubes.cubes[i + 1].x) << i;
        EXPECT_EQ(live.cubes.cubes[i + 1].z, replay.cubes.cubes[i + 1].z) << i;
    }
}

}  // namespace
