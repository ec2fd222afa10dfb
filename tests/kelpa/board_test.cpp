// The board, its colour orders, streaks and the level files (headless, no renderer).
#include <gtest/gtest.h>

#include "rules_support.h"

namespace {

TEST(Colours, TheFourOrdersAgree)
{
    // colour, cell kind, header flag (fixed white blue orange red yellow green), editor tool
    // (blue red green yellow white orange fixed random exit), material stem
    struct Row {
        int colour, cell, flag, tool;
        const char *stem;
    } const rows[] = {
        {KP_RED, 7, 4, 1, "Red"},    {KP_BLUE, 4, 2, 0, "Blu"},   {KP_YELLOW, 9, 5, 3, "Yel"},
        {KP_GREEN, 5, 6, 2, "Gre"},  {KP_WHITE, 8, 1, 4, "Whi"},  {KP_ORANGE, 6, 3, 5, "Ora"},
        {KP_FIXED, 2, 0, 6, "Tab"},  {KP_MIX, 1, -1, 7, "Mix"},
    };
    for (const Row &w : rows) {
        const KpColourInfo &c = kKpColours[w.colour];
        EXPECT_EQ(c.cell, w.cell) << w.stem;
        EXPECT_EQ(c.flag, w.flag) << w.stem;
        EXPECT_EQ(c.tool, w.tool) << w.stem;
        EXPECT_STREQ(c.stem, w.stem);
        if (w.colour <= KP_FIXED) {
            EXPECT_EQ(KpColourOfCell(w.cell), w.colour);
        }
    }
    EXPECT_EQ(KpColourOfCell(KP_CELL_EXIT), KP_NO_COLOUR);
    EXPECT_EQ(KpColourOfCell(KP_CELL_EMPTY), KP_NO_COLOUR);
}

TEST(Streaks, Table)
{
    struct Case {
        const char *rows[6];  // '#' a complete row, digit n: n colours, '.' empty
        int streaks, fault;
    } const cases[] = {
        {{"#", ".", ".", ".", ".", "."}, 1, 0},
        {{"#", "#", "#", "#", "#", "#"}, 6, 0},
        {{"#", "#", "3", ".", ".", "."}, 2, 1},
        {{"#", ".", "#", ".", ".", "."}, 1, 1},
        {{".", ".", ".", ".", ".", "."}, 0, 1},
        {{".", "#", ".", ".", ".", "."}, 0, 1},
        {{"#", "#", "#", "#", "#", "4"}, 5, 1},
        {{"2", ".", ".", ".", ".", "."}, 0, 1},
    };
    for (const Case &c : cases) {
        RulesFixture f;
        for (int row = 0; row < 6; row++) {
            const int n = c.rows[row][0] == '#' ? 5 : c.rows[row][0] == '.' ? 0 : c.rows[row][0] - '0';
            for (int p = 0; p < n; p++)
                f.r.header[KP_H_PATTERN + row * 5 + p] = 4 + p;
        }
        KpCheckStreaks(f.r);
        EXPECT_EQ(f.r.header[KP_H_STREAKS], c.streaks) << c.rows[0] << c.rows[1] << c.rows[2];
        EXPECT_EQ(f.r.patternFault, c.fault) << c.rows[0] << c.rows[1] << c.rows[2];
    }
}

TEST(Boards, BuiltinCountsAndExit)
{
    const int counts[5] = {15, 30, 49, 63, 75};
    for (int k = 1; k <= 5; k++) {
        int32_t board[kKpCells];
        ASSERT_TRUE(KpBuiltinBoard(k, board));
        int random = 0, exits = 0;
        for (int32_t c : board) {
            random += c == KP_CELL_RANDOM;
            exits += c == KP_CELL_EXIT;
        }
        EXPECT_EQ(random, counts[k - 1]) << k;
        EXPECT_EQ(exits, 1);
        EXPECT_EQ(board[10 * 11 + 10], KP_CELL_EXIT);
    }
    int32_t board[kKpCells];
    EXPECT_FALSE(KpBuiltinBoard(0, board));
    EXPECT_FALSE(KpBuiltinBoard(6, board));
}

TEST(Boards, TablesAreStoredWithIndicesExchanged)
{
    int32_t table[kKpCells] = {}, board[kKpCells] = {};
    table[2 * 11 + 7] = KP_CELL_FIXED;  // table (r 2, c 7)
    table[0 * 11 + 1] = KP_CELL_EXIT;
    KpTransposeInto(table, board);
    EXPECT_EQ(board[7 * 11 + 2], KP_CELL_FIXED);  // board (x 7, z 2)
    EXPECT_EQ(board[2 * 11 + 7], KP_CELL_EMPTY);
    EXPECT_EQ(board[1 * 11 + 0], KP_CELL_EXIT);
}

KpLevelFile sampleLevel()
{
    KpLevelFile l;
    KpDefaultHeader(l.header);
    l.header[KP_H_STREAKS] = 2;
    for (int i = 0; i < 10; i++)
        l.header[KP_H_PATTERN + i] = 4 + i % 6;
    l.header[40] = 0x12345678;
    for (int i = 0; i < kKpCells; i++)
        l.board[i] = i % 10;
    return l;
}

TEST(LevelFiles, FieldByFieldLittleEndian)
{
    const KpLevelFile l = sampleLevel();
    uint8_t bytes[kKpLevelBytes];
    KpEncodeLevel(l, bytes);
    EXPECT_EQ(kKpLevelBytes, 676u);
    EXPECT_EQ(bytes[4], 2);  // streakCount, low byte first
    EXPECT_EQ(bytes[40 * 4], 0x78);
    EXPECT_EQ(bytes[40 * 4 + 3], 0x12);
    EXPECT_EQ(bytes[192 + 4 * 9], 9);  // board cell 9
    KpLevelFile back;
    ASSERT_TRUE(KpDecodeLevel(bytes, sizeof bytes, back, false));
    EXPECT_EQ(memcmp(&back, &l, sizeof l), 0);
}

TEST(LevelFiles, DamagedFilesAreRefused)
{
    struct Case {
        const char *what;
        size_t size;
        int word;
        int32_t value;
        bool work, accepted;
    } const cases[] = {
        {"short", 675, -1, 0, false, false},
        {"header only", 192, -1, 0, false, false},
        {"empty", 0, -1, 0, false, false},
        {"long", 677, -1, 0, false, false},
        {"streak 7", 676, 1, 7, false, false},
        {"streak -1", 676, 1, -1, false, false},
        {"streak 0 playable", 676, 1, 0, false, false},
        {"streak 0 work", 676, 1, 0, true, true},
        {"streak 99", 676, 1, 99, false, true},
        {"streak 256+1", 676, 1, 257, false, false},
        {"cell 10", 676, 48 + 60, 10, false, false},
        {"cell -1", 676, 48 + 120, -1, true, false},
        {"pattern 2", 676, 18, 2, false, true},
    };
    for (const Case &c : cases) {
        const KpLevelFile l = sampleLevel();
        uint8_t bytes[kKpLevelBytes + 1] = {};
        KpEncodeLevel(l, bytes);
        if (c.word >= 0)
            for (int k = 0; k < 4; k++)
                bytes[c.word * 4 + k] = uint8_t(uint32_t(c.value) >> (8 * k));
        KpLevelFile out;
        EXPECT_EQ(KpDecodeLevel(bytes, c.size, out, c.work), c.accepted) << c.what;
    }
}

TEST(LevelFiles, DamagedFileKeepsTheCurrentLevel)
{
    RulesFixture f;
    f.host.files["bad.KPW"] = std::vector<uint8_t>(600, 0);
    f.r.board[5] = KP_CELL_FIXED;
    f.host.browseAnswer = "bad.KPW";
    KpOpenWorkLevel(f.r);
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0], "Damaged Kelpa file !");
    EXPECT_EQ(f.r.board[5], KP_CELL_FIXED);
    EXPECT_EQ(f.r.header[KP_H_STREAKS], kKpNoPattern);
}

TEST(LevelFiles, WorkNameReplacesTheExtensionOfTheFileNameOnly)
{
    char out[64];
    KpWorkName("lv/a.b/level.KPS", ".KSW", out, sizeof out);
    EXPECT_STREQ(out, "lv/a.b/level.KSW");
    KpWorkName("lv/a.b/level", ".KSW", out, sizeof out);
    EXPECT_STREQ(out, "lv/a.b/level.KSW");
    KpWorkName("kp\\one.two.KPP", ".KPW", out, sizeof out);
    EXPECT_STREQ(out, "kp\\one.two.KPW");
}

TEST(LevelFiles, SaveAndOpenRoundTripThroughTheBrowser)
{
    RulesFixture f;
    f.r.levelFamily = 2;
    f.r.gameKind = 102;
    f.r.board[3 * 11 + 4] = KP_CELL_EXIT;
    f.r.board[5 * 11 + 5] = KP_CELL_RED;
    f.r.header[KP_H_TESTED] = 1;
    f.host.browseAnswer = "dir/mine.KPS";
    KpSaveLevel(f.r);
    ASSERT_EQ(f.host.files.count("dir/mine.KPS"), 1u);
    ASSERT_EQ(f.host.files.count("dir/mine.KSW"), 1u);
    for (const char *name : {"dir/mine.KPS", "dir/mine.KSW"}) {
        const std::vector<uint8_t> &b = f.host.files[name];
        ASSERT_EQ(b.size(), 676u);
        EXPECT_EQ(b[KP_H_SAVED * 4], 1) << name;
    }
    EXPECT_EQ(f.host.titles.back(), "Save Kelpa file");

    RulesFixture g;
    g.r.levelFamily = 2;
    g.r.gameKind = 102;
    g.host.files = f.host.files;
    g.host.browseAnswer = "dir/mine.KSW";
    KpOpenWorkLevel(g.r);
    EXPECT_TRUE(g.host.messages.empty());
    EXPECT_EQ(g.r.board[3 * 11 + 4], KP_CELL_EXIT);
    EXPECT_EQ(g.r.board[5 * 11 + 5], KP_CELL_RED);
    EXPECT_EQ(g.r.header[KP_H_SAVED], 1);
}

TEST(LevelFiles, UntestedLevelIsNotSavedAsPlayable)
{
    RulesFixture f;
    f.host.browseAnswer = "x.KPP";
    KpSaveLevel(f.r);
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0], "This level not playable !");
    EXPECT_TRUE(f.host.files.empty());
    EXPECT_TRUE(f.host.titles.empty());
}

TEST(LevelFiles, AFailedSaveIsReportedAndTheWorkCopyStillWritten)
{
    RulesFixture f;
    f.r.gameKind = 102;
    f.r.header[KP_H_TESTED] = 1;
    f.host.browseAnswer = "ro/mine.KPP";
    f.host.failingSaves = {"ro/mine.KPP"};
    KpSaveLevel(f.r);
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0], "Cannot save Kelpa file !");
    EXPECT_EQ(f.host.files.count("ro/mine.KPW"), 1u);

    f.host.messages.clear();
    f.host.browseAnswer = "ro/work.KPW";
    f.host.failingSaves = {"ro/work.KPW"};
    KpSaveWorkLevel(f.r);
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0], "Cannot save Kelpa file !");

    f.host.messages.clear();
    f.host.failingSaves.clear();
    KpSaveWorkLevel(f.r);
    EXPECT_TRUE(f.host.messages.empty());
}

TEST(LevelFiles, HalfMadePatternSurvivesAWorkSave)
{
    RulesFixture f;
    f.r.gameKind = 102;
    f.r.levelFamily = 0;
    for (int p = 0; p < 3; p++)
        f.r.header[KP_H_PATTERN + p] = 4 + p;
    KpCheckStreaks(f.r);
    ASSERT_EQ(f.r.header[KP_H_STREAKS], 0);
    f.host.browseAnswer = "half.KPW";
    KpSaveWorkLevel(f.r);
    RulesFixture g;
    g.r.gameKind = 102;
    g.r.editorOpen = g.r.trialRun = 1;  // the editor's session
    g.host.files = f.host.files;
    g.host.browseAnswer = "half.KPW";
    KpOpenWorkLevel(g.r);
    EXPECT_TRUE(g.host.messages.empty());
    EXPECT_EQ(g.r.header[KP_H_STREAKS], 0);
    EXPECT_EQ(g.r.header[KP_H_PATTERN + 2], 6);
    EXPECT_EQ(g.r.patternInUse, 1);
}

TEST(LevelFiles, WorkFileWithoutPatternHidesThePattern)
{
    RulesFixture f;
    f.r.gameKind = 102;
    KpLevelFile l;
    KpDefaultHeader(l.header);
    l.header[KP_H_PATTERN] = 2;  // a value 1..3 just leaves its cube
    l.board[10 * 11 + 10] = KP_CELL_EXIT;
    uint8_t bytes[kKpLevelBytes];
    KpEncodeLevel(l, bytes);
    f.host.files["p.KPW"].assign(bytes, bytes + sizeof bytes);
    f.host.browseAnswer = "p.KPW";
    f.r.patternInUse = 1;
    f.cubes.setColour(kKpFirstPatternCube, KP_GREEN);
    KpOpenWorkLevel(f.r);
    EXPECT_EQ(f.r.patternInUse, 0);
    for (int i = 0; i < 30; i++) {
        float x, y, z;
        f.cubes.position(kKpFirstPatternCube + i, x, y, z);
        EXPECT_EQ(y, 100.0f) << i;
    }
    EXPECT_EQ(f.cubes.colour(kKpFirstPatternCube), KP_GREEN);

    // With a pattern: value 2 leaves the cube, 0 clears it, 4..9 colour it.
    RulesFixture g;
    g.r.gameKind = 102;
    l.header[KP_H_STREAKS] = 1;
    l.header[KP_H_PATTERN + 1] = 0;
    l.header[KP_H_PATTERN + 2] = 7;
    KpEncodeLevel(l, bytes);
    g.host.files["p.KPW"].assign(bytes, bytes + sizeof bytes);
    g.host.browseAnswer = "p.KPW";
    g.cubes.setColour(kKpFirstPatternCube, KP_GREEN);
    KpOpenWorkLevel(g.r);
    EXPECT_EQ(g.r.patternInUse, 1);
    EXPECT_EQ(g.cubes.colour(kKpFirstPatternCube), KP_GREEN);
    EXPECT_EQ(g.cubes.colour(kKpFirstPatternCube + 1), KP_CLEAR);
    EXPECT_EQ(g.cubes.colour(kKpFirstPatternCube + 2), KP_RED);
}

TEST(TestLevel, Messages)
{
    RulesFixture f;
    f.r.header[KP_H_STREAKS] = 2;
    f.r.patternFault = 1;
    f.r.board[50] = KP_CELL_EXIT;
    EXPECT_FALSE(KpTestChecks(f.r));
    f.r.patternFault = 0;
    f.r.header[KP_H_STREAKS] = 0;
    EXPECT_FALSE(KpTestChecks(f.r));
    f.r.header[KP_H_STREAKS] = 99;
    f.r.board[50] = KP_CELL_EMPTY;
    EXPECT_FALSE(KpTestChecks(f.r));
    f.r.board[50] = KP_CELL_EXIT;
    EXPECT_TRUE(KpTestChecks(f.r));
    ASSERT_EQ(f.host.messages.size(), 3u);
    EXPECT_EQ(f.host.messages[0], "ERROR: Uncompleted streak !");
    EXPECT_EQ(f.host.messages[1], "ERROR: Uncompleted streak !");
    EXPECT_EQ(f.host.messages[2], "ERROR: No Exit !");
}

TEST(Kind100, FileNamesAndTitles)
{
    struct Case {
        int position, family, number;
        const char *name;
    } const cases[] = {
        {0, 0, 1, "kp\\k100_0_0.KPP"},  {8, 0, 9, "kp\\k100_0_8.KPP"},  {9, 1, 1, "kp\\k100_1_0.KPP"},
        {17, 1, 9, "kp\\k100_1_8.KPP"}, {18, 2, 1, "kp\\k100_2_0.KPP"}, {21, 2, 4, "kp\\k100_2_3.KPP"},
    };
    for (const Case &c : cases) {
        int family = -1, number = -1;
        char name[64];
        KpKind100Level(c.position, family, number, name, sizeof name);
        EXPECT_EQ(family, c.family) << c.position;
        EXPECT_EQ(number, c.number) << c.position;
        EXPECT_STREQ(name, c.name);
    }
}

}  // namespace
