// The level editor's rules on memory cubes: the board's placing rule, the palette and pattern rules,
// taking cubes back, the tested flag, a new level, and saving through the browser.
#include <gtest/gtest.h>

#include "kelpa/kpeditor.h"
#include "rules_support.h"

namespace {

// An editor session on an empty board: a trial run with the editor open.
struct Editor : RulesFixture {
    explicit Editor(bool pattern = false)
    {
        r.gameKind = 102;
        r.levelFamily = pattern ? 2 : 0;
        r.trialRun = r.editorOpen = 1;
        r.patternInUse = pattern;
        if (pattern)
            r.header[KP_H_STREAKS] = 0;
        for (int i = 0; i < 30; i++)
            cubes.setColour(kKpFirstPatternCube + i, KP_CLEAR);
        for (int p = 0; p < 7; p++)
            cubes.setColour(kKpFirstPaletteCube + p, KP_CLEAR);
        KpLevelSetup(r);
    }
    int cell(int x, int z) const { return r.board[x * 11 + z]; }
};

struct PlaceCase {
    const char *name;
    std::vector<std::pair<int, int>> reds;  // cells already red
    int x, z;
    bool allowed;
};

TEST(KelpaEditorBoard, NoThreeOfAColourInALineOrAnL)
{
    const PlaceCase cases[] = {
        {"third in a row", {{5, 3}, {5, 4}}, 5, 5, false},
        {"between two", {{5, 4}, {5, 6}}, 5, 5, false},
        {"third in a column", {{3, 5}, {4, 5}}, 5, 5, false},
        {"an L's corner", {{5, 4}, {4, 5}}, 5, 5, false},
        {"an L's end", {{5, 4}, {4, 4}}, 5, 5, false},
        {"second alone", {{5, 4}}, 5, 5, true},
        {"diagonal pair", {{4, 4}, {6, 6}}, 5, 5, true},
        {"one apart", {{5, 3}}, 5, 5, true},
    };
    for (const PlaceCase &c : cases) {
        Editor e;
        for (auto [x, z] : c.reds)
            e.r.board[x * 11 + z] = KP_CELL_RED;
        EXPECT_EQ(KpCanPlace(e.r, KP_TOOL_RED, c.x, c.z), c.allowed) << c.name;
        EXPECT_EQ(KpDropOnBoard(e.r, KP_TOOL_RED, c.x, c.z), c.allowed) << c.name;
        EXPECT_EQ(e.cell(c.x, c.z), c.allowed ? KP_CELL_RED : KP_CELL_EMPTY) << c.name;
        // Another colour is never held back by red neighbours; the random tool goes anywhere.
        EXPECT_TRUE(KpCanPlace(e.r, KP_TOOL_BLUE, c.x, c.z)) << c.name;
        EXPECT_TRUE(KpCanPlace(e.r, KP_TOOL_RANDOM, c.x, c.z)) << c.name;
    }
}

TEST(KelpaEditorBoard, FixedCubesCountAndTheRandomToolGoesEverywhere)
{
    Editor e;
    e.r.board[2 * 11 + 2] = e.r.board[2 * 11 + 3] = KP_CELL_FIXED;
    EXPECT_FALSE(KpDropOnBoard(e.r, KP_TOOL_FIXED, 2, 4));
    // Surrounded by pairs of every colour, the random tool still goes down.
    const int cells[] = {KP_CELL_BLUE, KP_CELL_GREEN, KP_CELL_ORANGE, KP_CELL_RED};
    const int dirs[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    for (int d = 0; d < 4; d++)
        for (int k = 1; k <= 2; k++)
            e.r.board[(6 + dirs[d][0] * k) * 11 + 6 + dirs[d][1] * k] = cells[d];
    EXPECT_TRUE(KpDropOnBoard(e.r, KP_TOOL_RANDOM, 6, 6));
    EXPECT_EQ(e.cell(6, 6), KP_CELL_RANDOM);
    EXPECT_FALSE(KpCanPlace(e.r, KP_TOOL_RANDOM, 11, 0)) << "off the board";
    EXPECT_FALSE(KpCanPlace(e.r, KP_TOOL_RANDOM, -1, 3));
}

TEST(KelpaEditorBoard, AnEditClearsTestedAndSavedAndPickUpGivesTheToolBack)
{
    Editor e;
    e.r.header[KP_H_TESTED] = e.r.header[KP_H_SAVED] = 1;
    ASSERT_TRUE(KpDropOnBoard(e.r, KP_TOOL_EXIT, 10, 10));
    EXPECT_EQ(e.cell(10, 10), KP_CELL_EXIT);
    EXPECT_EQ(e.r.header[KP_H_TESTED], 0);
    EXPECT_EQ(e.r.header[KP_H_SAVED], 0);
    EXPECT_EQ(e.r.exitCount, 1) << "the set-up ran again";
    ASSERT_TRUE(KpDropOnBoard(e.r, KP_TOOL_YELLOW, 3, 3));
    e.r.header[KP_H_TESTED] = 1;
    EXPECT_EQ(KpPickUpBoard(e.r, 3, 3), KP_TOOL_YELLOW);
    EXPECT_EQ(e.cell(3, 3), KP_CELL_EMPTY);
    EXPECT_EQ(e.r.header[KP_H_TESTED], 0);
    EXPECT_EQ(KpPickUpBoard(e.r, 10, 10), KP_TOOL_EXIT);
    EXPECT_EQ(KpPickUpBoard(e.r, 4, 4), KP_TOOL_NONE) << "a plain floor tile";
    e.r.trialRun = 0;
    ASSERT_TRUE(KpDropOnBoard(e.r, KP_TOOL_RED, 1, 1));
    EXPECT_EQ(KpPickUpBoard(e.r, 1, 1), KP_TOOL_NONE) << "only during a trial run";
}

TEST(KelpaEditorPalette, EachColourOnceAndNoExitOrRandom)
{
    Editor e;
    EXPECT_TRUE(KpDropOnPalette(e.r, KP_TOOL_BLUE, 0));
    EXPECT_FALSE(KpDropOnPalette(e.r, KP_TOOL_BLUE, 3)) << "blue is there already";
    EXPECT_FALSE(KpDropOnPalette(e.r, KP_TOOL_EXIT, 1));
    EXPECT_FALSE(KpDropOnPalette(e.r, KP_TOOL_RANDOM, 1));
    EXPECT_TRUE(KpDropOnPalette(e.r, KP_TOOL_FIXED, 6));
    EXPECT_TRUE(KpDropOnPalette(e.r, KP_TOOL_RED, 1));
    // The header's colour flags follow: blue and red in the first group, fixed in the second.
    EXPECT_EQ(e.r.header[KP_H_FIRST_GROUP + kKpColours[KP_BLUE].flag], 1);
    EXPECT_EQ(e.r.header[KP_H_FIRST_GROUP + kKpColours[KP_RED].flag], 1);
    EXPECT_EQ(e.r.header[KP_H_SECOND_GROUP + kKpColours[KP_FIXED].flag], 1);
    EXPECT_EQ(e.r.header[KP_H_FIRST_GROUP + kKpColours[KP_GREEN].flag], 0);
    // Taking blue back recounts and frees the colour for another place.
    EXPECT_EQ(KpPickUpPalette(e.r, 0), KP_TOOL_BLUE);
    EXPECT_EQ(e.r.header[KP_H_FIRST_GROUP + kKpColours[KP_BLUE].flag], 0);
    EXPECT_EQ(KpPickUpPalette(e.r, 0), KP_TOOL_NONE) << "an empty place";
    EXPECT_TRUE(KpDropOnPalette(e.r, KP_TOOL_BLUE, 3));
}

TEST(KelpaEditorPattern, AColourOncePerRowColoursOnlyAndStreaksRecounted)
{
    Editor e(true);
    const int row0[5] = {KP_TOOL_BLUE, KP_TOOL_RED, KP_TOOL_GREEN, KP_TOOL_YELLOW, KP_TOOL_WHITE};
    for (int p = 0; p < 4; p++)
        ASSERT_TRUE(KpDropOnPattern(e.r, row0[p], 0, p)) << p;
    EXPECT_FALSE(KpDropOnPattern(e.r, KP_TOOL_BLUE, 0, 4)) << "blue twice in a row";
    EXPECT_FALSE(KpDropOnPattern(e.r, KP_TOOL_FIXED, 0, 4)) << "the fixed tool would save a hole";
    EXPECT_FALSE(KpDropOnPattern(e.r, KP_TOOL_RANDOM, 0, 4));
    EXPECT_FALSE(KpDropOnPattern(e.r, KP_TOOL_EXIT, 0, 4));
    EXPECT_EQ(e.r.header[KP_H_STREAKS], 0);
    EXPECT_EQ(e.r.patternFault, 1);
    ASSERT_TRUE(KpDropOnPattern(e.r, KP_TOOL_WHITE, 0, 4));
    EXPECT_EQ(e.r.header[KP_H_STREAKS], 1);
    EXPECT_EQ(e.r.patternFault, 0);
    EXPECT_TRUE(KpDropOnPattern(e.r, KP_TOOL_BLUE, 1, 0)) << "another row takes blue again";
    EXPECT_EQ(e.r.patternFault, 1);
    // Taking a cube back out of the full row recounts.
    EXPECT_EQ(KpPickUpPattern(e.r, 1, 0), KP_TOOL_BLUE);
    EXPECT_EQ(e.r.patternFault, 0);
    EXPECT_EQ(KpPickUpPattern(e.r, 0, 2), KP_TOOL_GREEN);
    EXPECT_EQ(e.r.header[KP_H_STREAKS], 0);
    EXPECT_EQ(e.r.patternFault, 1);
    EXPECT_EQ(KpPickUpPattern(e.r, 0, 2), KP_TOOL_NONE) << "an empty pattern place";
    Editor palette(false);
    EXPECT_FALSE(KpDropOnPattern(palette.r, KP_TOOL_BLUE, 0, 0)) << "no pattern in use";
}

TEST(KelpaEditorLevel, NewLevelEmptiesBoardPatternAndPalette)
{
    Editor e(true);
    ASSERT_TRUE(KpDropOnBoard(e.r, KP_TOOL_EXIT, 10, 10));
    ASSERT_TRUE(KpDropOnBoard(e.r, KP_TOOL_RED, 2, 2));
    ASSERT_TRUE(KpDropOnPattern(e.r, KP_TOOL_RED, 0, 0));
    e.cubes.setColour(kKpFirstPaletteCube + 2, KP_GREEN);
    KpClearLevel(e.r);
    for (int i = 0; i < kKpCells; i++)
        ASSERT_EQ(e.r.board[i], KP_CELL_EMPTY) << i;
    for (int i = 0; i < 30; i++) {
        EXPECT_EQ(e.r.header[KP_H_PATTERN + i], 0) << i;
        EXPECT_EQ(e.cubes.colour(kKpFirstPatternCube + i), KP_CLEAR) << i;
    }
    for (int p = 0; p < 7; p++)
        EXPECT_EQ(e.cubes.colour(kKpFirstPaletteCube + p), KP_CLEAR) << p;
    EXPECT_EQ(e.r.exitCount, 0);
    EXPECT_EQ(e.r.looseCount, 0);
}

TEST(KelpaEditorFiles, SavedOnlyAfterAWonTrialAndOpenedEqual)
{
    Editor e(true);
    const int row[5] = {KP_TOOL_BLUE, KP_TOOL_RED, KP_TOOL_GREEN, KP_TOOL_YELLOW, KP_TOOL_WHITE};
    for (int p = 0; p < 5; p++)
        ASSERT_TRUE(KpDropOnPattern(e.r, row[p], 0, p));
    ASSERT_TRUE(KpDropOnBoard(e.r, KP_TOOL_EXIT, 10, 10));
    ASSERT_TRUE(KpDropOnBoard(e.r, KP_TOOL_RANDOM, 4, 4));
    ASSERT_TRUE(KpTestChecks(e.r));
    e.host.browseAnswer = "mine.KPS";
    KpSaveLevel(e.r);
    EXPECT_TRUE(e.host.files.empty());
    ASSERT_EQ(e.host.messages.size(), 1u);
    EXPECT_EQ(e.host.messages[0], "This level not playable !");
    e.r.header[KP_H_TESTED] = 1;  // what a won trial run leaves
    KpSaveLevel(e.r);
    ASSERT_EQ(e.host.files.count("mine.KPS"), 1u);
    ASSERT_EQ(e.host.files.count("mine.KSW"), 1u);
    EXPECT_EQ(e.host.files["mine.KPS"].size(), 676u);
    Editor g(true);
    g.host.files = e.host.files;
    g.host.browseAnswer = "mine.KPS";
    KpOpenLevel(g.r);
    EXPECT_TRUE(g.host.messages.empty());
    EXPECT_EQ(memcmp(g.r.board, e.r.board, sizeof g.r.board), 0);
    EXPECT_EQ(memcmp(g.r.header + KP_H_PATTERN, e.r.header + KP_H_PATTERN, 30 * 4), 0);
    EXPECT_EQ(g.r.header[KP_H_STREAKS], 1);
    EXPECT_EQ(g.r.header[KP_H_TESTED], 1);
}


// Saved or opened while a trial plays: the file gets the editor's board (the worm has taken an exit
// on the trial's copy), and a level opened meanwhile is what the trial's end gives back.
TEST(KelpaEditorFiles, DuringATrialTheEditorsBoardIsSavedAndAnOpenedLevelKept)
{
    auto build = [](Editor &e, int exitX) {
        const int row[5] = {KP_TOOL_BLUE, KP_TOOL_RED, KP_TOOL_GREEN, KP_TOOL_YELLOW, KP_TOOL_WHITE};
        for (int p = 0; p < 5; p++)
            ASSERT_TRUE(KpDropOnPattern(e.r, row[p], 0, p));
        ASSERT_TRUE(KpDropOnBoard(e.r, KP_TOOL_EXIT, exitX, 0));
        e.r.header[KP_H_TESTED] = 1;
    };
    Editor other(true);
    build(other, 7);
    other.host.browseAnswer = "other.KPS";
    KpSaveLevel(other.r);
    ASSERT_EQ(other.host.files.count("other.KPS"), 1u);

    Editor e(true);
    build(e, 3);
    KpBeginTrial(e.r);
    e.r.board[3 * 11 + 0] = KP_CELL_EMPTY;  // the worm went out through the exit
    e.host.browseAnswer = "mine.KPS";
    KpSaveLevel(e.r);
    ASSERT_EQ(e.host.files.count("mine.KPS"), 1u);
    KpLevelFile saved;
    ASSERT_TRUE(KpDecodeLevel(e.host.files["mine.KPS"].data(), 676, saved, false));
    EXPECT_EQ(saved.board[3 * 11 + 0], KP_CELL_EXIT);
    e.host.files["other.KPS"] = other.host.files["other.KPS"];
    e.host.browseAnswer = "other.KPS";
    KpOpenLevel(e.r);
    KpEndTrial(e.r);
    EXPECT_EQ(e.cell(7, 0), KP_CELL_EXIT) << "the opened level, not the board the trial began with";
    EXPECT_EQ(e.cell(3, 0), KP_CELL_EMPTY);

    // "New" during a trial ends it and empties the editor's level: nothing of it comes back later.
    KpBeginTrial(e.r);
    KpClearLevel(e.r);
    EXPECT_EQ(e.r.editorOpen, 1);
    KpEndTrial(e.r);
    for (int i = 0; i < kKpCells; i++)
        ASSERT_EQ(e.r.board[i], KP_CELL_EMPTY) << i;
    EXPECT_EQ(e.r.header[KP_H_TESTED], 0);
}

}  // namespace
