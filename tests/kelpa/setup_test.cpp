// Level set-up and new game on memory cubes: the gathering of the 131 cubes, the random colours,
// the first worm, the pattern and the palette, the reset of the rules, and the level chosen.
#include <gtest/gtest.h>

#include "rules_support.h"

namespace {

int cubesIn(const KpSlot *list)
{
    int n = 0;
    for (int i = 0; i < kKpGameCubes; i++)
        n += list[i].cube != 0;
    return n;
}

TEST(Setup, QuotaTable)
{
    const int cases[][2] = {{75, 12}, {15, 2}, {5, 1}, {0, 1}, {6, 1}, {12, 2}, {131, 21}};
    for (const auto &c : cases)
        EXPECT_EQ(KpColourQuota(c[0]), c[1]) << c[0];
}

TEST(Setup, EveryBuiltinBoardIsLaidOutWithoutNeighboursOfOneColour)
{
    const int counts[5] = {15, 30, 49, 63, 75};
    for (int k = 1; k <= 5; k++)
        for (uint32_t seed = 0; seed < 6; seed++) {
            RulesFixture f;
            f.r.gameKind = 101;
            f.r.levelCommand = k;
            struct SeedHost : TestHost {
                uint32_t fixed = 0;
                void seed(uint32_t) override { state = fixed; }
            };
            SeedHost host;
            host.fixed = seed;
            f.r.host = &host;
            KpLevelSetup(f.r);
            EXPECT_EQ(cubesIn(f.r.looseCubes), counts[k - 1]);
            EXPECT_EQ(cubesIn(f.r.looseCubes) + cubesIn(f.r.queue) + cubesIn(f.r.worm), kKpGameCubes);
            EXPECT_EQ(f.r.exitCount, 1);
            EXPECT_EQ(f.r.colourGrid[120], KP_CELL_EXIT);
            int perColour[10] = {};
            for (int x = 0; x < 11; x++)
                for (int z = 0; z < 11; z++) {
                    const int c = f.r.colourGrid[x * 11 + z];
                    if (f.r.board[x * 11 + z] != KP_CELL_RANDOM)
                        continue;
                    ASSERT_GE(c, 4) << "every random cell gets a colour";
                    perColour[c]++;
                    const int near[4][2] = {{x - 1, z}, {x, z - 1}, {x - 1, z - 1}, {x - 1, z + 1}};
                    for (const auto &n : near) {
                        if (n[0] >= 0 && n[1] >= 0 && n[1] <= 10) {
                            EXPECT_NE(f.r.colourGrid[n[0] * 11 + n[1]], c) << k << " (" << x << ", " << z << ")";
                        }
                    }
                }
            // The cube on a cell shows the colour the grid stores.
            for (const KpSlot &s : f.r.looseCubes) {
                if (s.cube != 0) {
                    EXPECT_EQ(KpCellOfColour(f.cubes.colour(s.cube)), f.r.colourGrid[KpCellOf(s.x) * 11 + KpCellOf(s.z)]);
                }
            }
            int within = 0;
            for (int c = 4; c <= 9; c++)
                within += std::min(perColour[c], KpColourQuota(counts[k - 1]));
            EXPECT_GE(within, std::min(counts[k - 1], 6 * KpColourQuota(counts[k - 1])) - 6) << k;
        }
}

TEST(Setup, MoreCubeCellsThanCubesFillsTheFirst131)
{
    RulesFixture f;
    f.r.gameKind = 100;
    for (int i = 0; i < kKpCells; i++)
        f.r.board[i] = KP_CELL_RED;
    f.r.board[0] = KP_CELL_EMPTY;
    f.r.board[120] = KP_CELL_EXIT;
    KpLevelSetup(f.r);
    EXPECT_EQ(cubesIn(f.r.looseCubes), 119);
    // Every cube is somewhere; the worm takes what is left.
    EXPECT_EQ(cubesIn(f.r.looseCubes) + cubesIn(f.r.queue) + cubesIn(f.r.worm), kKpGameCubes);
    EXPECT_EQ(cubesIn(f.r.worm), 5);
}

TEST(Setup, FirstWormWaitsAtTheEntryAndTheRulesAreReset)
{
    RulesFixture f;
    f.r.gameKind = 100;
    KpBuiltinBoard(3, f.r.board);
    // Stale state of a level before.
    f.r.levelLost = f.r.runOver = f.r.finishing = f.r.paused = f.r.stepCountdown = 1;
    f.r.rowsDone = 9;
    f.r.pathCount = 7;
    f.r.speedMode = 2;
    f.r.exitsReached = 3;
    f.r.entryAlongX = 0;
    f.r.pendingSteps = 4;
    EXPECT_EQ(KpLevelSetup(f.r), 7);
    for (int i = 0; i < 5; i++) {
        const KpSlot &w = f.r.worm[i];
        ASSERT_NE(w.cube, 0);
        EXPECT_FLOAT_EQ(w.x, -0.6f - 0.1f * float(i));
        EXPECT_FLOAT_EQ(w.z, -0.5f);
        EXPECT_EQ(w.direction, KP_DIR_PX);
        EXPECT_EQ(w.pendingTurn, KP_DIR_NONE);
        EXPECT_TRUE(f.cubes.cubes[w.cube].shown);
        EXPECT_EQ(f.cubes.colour(w.cube), f.r.wormRow[i]);
    }
    struct Field {
        const char *name;
        int32_t value, want;
    } const fields[] = {
        {"patternRow", f.r.patternRow, 1},     {"rowsDone", f.r.rowsDone, 1},
        {"pathCount", f.r.pathCount, 0},       {"stepCountdown", f.r.stepCountdown, 0},
        {"finishCountdown", f.r.finishCountdown, 0}, {"subStep", f.r.subStep, 0},
        {"speedMode", f.r.speedMode, 1},       {"exitsReached", f.r.exitsReached, 0},
        {"levelRunning", f.r.levelRunning, 0}, {"runOver", f.r.runOver, 0},
        {"levelLost", f.r.levelLost, 0},       {"finishing", f.r.finishing, 0},
        {"paused", f.r.paused, 0},             {"startDelay", f.r.startDelay, 5},
        {"newWormPending", f.r.newWormPending, 1}, {"entryAlongX", f.r.entryAlongX, 1},
        {"mayTurn", f.r.mayTurn, 1},           {"mayStep", f.r.mayStep, 1},
        {"pendingSteps", f.r.pendingSteps, 0}, {"turnRun", f.r.turnRun, 0},
        {"graceOver", f.r.graceOver, 0},       {"tailInside", f.r.tailInside, 0},
        {"streakCount", f.r.header[KP_H_STREAKS], kKpNoPattern}, {"colourCount", f.r.header[KP_H_COLOURS], 6},
        {"second group fixed", f.r.header[KP_H_SECOND_GROUP], 1}, {"exitCount", f.r.exitCount, 1},
    };
    for (const Field &x : fields)
        EXPECT_EQ(x.value, x.want) << x.name;
    EXPECT_EQ(f.r.stepSize, kKpStepIncrement[1][7]);
    EXPECT_EQ(f.host.rows.size(), 1u);
}

TEST(Setup, PatternLevelTakesRowZeroForTheFirstWorm)
{
    RulesFixture f;
    f.r.gameKind = 101;
    f.r.levelFamily = 5;
    KpLevelFile l;
    KpDefaultHeader(l.header);
    l.header[KP_H_STREAKS] = 2;
    const int row0[5] = {7, 4, 9, 5, 8}, row1[5] = {6, 7, 4, 9, 5};
    for (int p = 0; p < 5; p++) {
        l.header[KP_H_PATTERN + p] = row0[p];
        l.header[KP_H_PATTERN + 5 + p] = row1[p];
    }
    KpBuiltinBoard(2, l.board);
    uint8_t bytes[kKpLevelBytes];
    KpEncodeLevel(l, bytes);
    f.host.files["lv.KPP"].assign(bytes, bytes + sizeof bytes);
    KpNewGame(f.r, "lv.KPP", nullptr);
    EXPECT_EQ(f.r.patternInUse, 1);
    for (int p = 0; p < 5; p++) {
        EXPECT_EQ(f.cubes.colour(f.r.worm[p].cube), KpColourOfCell(row0[p])) << p;
        EXPECT_FALSE(f.cubes.cubes[kKpFirstPatternCube + p].shown);
        EXPECT_TRUE(f.cubes.cubes[kKpFirstPatternCube + 5 + p].shown);
        EXPECT_FALSE(f.cubes.cubes[kKpFirstPatternCube + 10 + p].shown);
    }
    // Row 1 waits where a worm entering along z waits.
    float x, y, z;
    f.cubes.position(kKpFirstPatternCube + 5 + 2, x, y, z);
    EXPECT_FLOAT_EQ(x, -0.5f);
    EXPECT_FLOAT_EQ(z, -0.8f);
    // The second worm carries row 1.
    f.r.levelRunning = 1;
    KpArmTurn(f.r);
    KpDriveState d;
    for (int i = 0; i < 3; i++)
        KpDriveFrame(f.r, d, nullptr);
    for (int p = 0; p < 5; p++)
        EXPECT_EQ(f.cubes.colour(f.r.nextWormCubes[p]), KpColourOfCell(row1[p])) << p;
}

TEST(NewGame, FamiliesChooseBoardsAndTitles)
{
    const int boards[5] = {1, 2, 3, 4, 5}, counts[5] = {15, 30, 49, 63, 75};
    for (int family = 0; family < 5; family++) {
        RulesFixture f;
        f.r.gameKind = 101;
        f.r.levelFamily = family;
        const int title = KpNewGame(f.r, nullptr, nullptr);
        EXPECT_EQ(title, 7 + family);
        EXPECT_EQ(f.r.levelCommand, boards[family]);
        KpLevelSetup(f.r);
        EXPECT_EQ(cubesIn(f.r.looseCubes), counts[family]) << family;
        EXPECT_EQ(f.r.patternInUse, 0);
    }
}

TEST(NewGame, Kind100ReadsItsFileWithoutPattern)
{
    RulesFixture f;
    f.r.gameKind = 100;
    f.r.levelFamily = 1;  // Curious 4
    f.r.levelNumber = 3;
    KpLevelFile l;
    KpDefaultHeader(l.header);
    l.header[KP_H_STREAKS] = 1;  // a pattern in the file is not used in this kind of game
    for (int p = 0; p < 5; p++)
        l.header[KP_H_PATTERN + p] = 4 + p;
    l.board[5 * 11 + 5] = KP_CELL_EXIT;
    l.board[3 * 11 + 3] = KP_CELL_FIXED;
    uint8_t bytes[kKpLevelBytes];
    KpEncodeLevel(l, bytes);
    f.host.files["kp\\k100_1_3.KPP"].assign(bytes, bytes + sizeof bytes);
    int number = 0;
    EXPECT_EQ(KpNewGame(f.r, nullptr, &number), 5);
    EXPECT_EQ(number, 4);
    EXPECT_EQ(f.r.levelCommand, 0);
    KpLevelSetup(f.r);
    EXPECT_EQ(f.r.patternInUse, 0);
    EXPECT_EQ(f.r.header[KP_H_STREAKS], kKpNoPattern);
    EXPECT_EQ(f.r.exitCount, 1);
    EXPECT_EQ(f.r.colourGrid[3 * 11 + 3], KP_CELL_FIXED);
    EXPECT_EQ(f.r.board[120], KP_CELL_EMPTY);
}

TEST(Setup, ReplayLaysOutTheRecordedColours)
{
    RulesFixture f;
    f.r.gameKind = 101;
    f.r.gameFlags = 0x02;
    f.r.replayPlaying = 1;
    for (int i = 0; i < kKpCells; i++)
        f.r.board[i] = (i % 7 == 3) ? KP_CELL_BLUE + i % 6 : KP_CELL_EMPTY;
    f.r.board[120] = KP_CELL_EXIT;
    KpLevelSetup(f.r);
    for (int i = 0; i < kKpCells; i++) {
        if (f.r.board[i] >= 4) {
            EXPECT_EQ(f.r.colourGrid[i], f.r.board[i]);
        }
    }
    EXPECT_TRUE(f.host.rows.empty());  // a replay writes no rows
}

}  // namespace
