// Best-times tables and the solved fields of Terrow's field game.
#include <string.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>

#include "scores.h"
#include "support.h"
#include "vokplat/msgbox.h"

namespace {

using vstest::Root;

class Scores : public Root {
protected:
    void SetUp() override
    {
        Root::SetUp();
        ASSERT_EQ(VokSetPlayerName("Ann"), 1);
    }

    // Entry `i` of a file, read field by field.
    VokScoreEntry entry(const std::string &file, size_t i)
    {
        std::string bytes = read(file);
        VokScoreEntry e{};
        EXPECT_GE(bytes.size(), (i + 1) * 56);
        if (bytes.size() < (i + 1) * 56)
            return e;
        const unsigned char *p = reinterpret_cast<const unsigned char *>(bytes.data()) + i * 56;
        memcpy(e.name, p, 32);
        e.result = int32_t(p[32] | p[33] << 8 | p[34] << 16 | uint32_t(p[35]) << 24);
        e.second = int32_t(p[36] | p[37] << 8 | p[38] << 16 | uint32_t(p[39]) << 24);
        memcpy(e.title, p + 40, 16);
        return e;
    }

    // The results of the first table of a block, in order.
    std::vector<int> results(const std::string &file, size_t first)
    {
        std::vector<int> out;
        for (size_t i = first; i < first + 6; i++)
            out.push_back(entry(file, i).result);
        return out;
    }
};

TEST_F(Scores, FirstResultMakesTheFileAndTakesRankZero)
{
    strcpy(face->titleText, "A title longer than fifteen");
    EXPECT_EQ(VokUpdateScores(101, VOK_GAME_KELPA, 1, 500, 7), -1);
    EXPECT_EQ(face->bestRank1, 0);
    EXPECT_EQ(vok::best_rank(0), 0);
    EXPECT_EQ(read("kps.dat").size(), 1344u);
    VokScoreEntry e = entry("kps.dat", 6); // block 1 starts at entry 6
    EXPECT_STREQ(e.name, "Ann");
    EXPECT_EQ(e.result, 500);
    EXPECT_EQ(e.second, 7);
    EXPECT_STREQ(e.title, "A title longer ");
    VokScoreEntry free0 = entry("kps.dat", 0);
    EXPECT_EQ(free0.result, -1);
    EXPECT_EQ(free0.second, -1);
    EXPECT_EQ(free0.name[0], '\0');
}

TEST_F(Scores, ResultsInsertInOrder)
{
    struct Step {
        int result;
        int answer;
        int rank;
    } steps[] = {{300, -1, 0}, {100, -1, 0}, {300, -1, 2}, {200, -1, 1}, {50, -1, 0}, {400, -1, 5},
                 {500, 0, -1}, // a seventh-best result places nowhere and writes nothing
                 {0, 0, -1},   {-5, 0, -1}};
    for (const Step &s : steps) {
        SCOPED_TRACE(s.result);
        std::string before = read("mks.dat");
        EXPECT_EQ(VokUpdateScores(101, VOK_GAME_MOSSIK, 4, s.result, 0), s.answer);
        EXPECT_EQ(face->bestRank1, s.rank);
        if (s.answer == 0) {
            EXPECT_EQ(read("mks.dat"), before);
        }
    }
    // Block 4 lies past the 24 entries of a new file: the file grows.
    EXPECT_EQ(read("mks.dat").size(), 5 * 336u);
    EXPECT_EQ(results("mks.dat", 24), (std::vector<int>{50, 100, 200, 300, 300, 400}));
    EXPECT_EQ(results("mks.dat", 0), (std::vector<int>{-1, -1, -1, -1, -1, -1}));
}

TEST_F(Scores, VarnelKeepsTwoTablesPerLevel)
{
    EXPECT_EQ(VokUpdateScores(101, VOK_GAME_VARNEL, 2, 90, 30), -1);
    EXPECT_EQ(VokUpdateScores(101, VOK_GAME_VARNEL, 2, 80, 40), -1);
    EXPECT_EQ(face->bestRank1, 0);
    EXPECT_EQ(face->bestRank2, 1);
    EXPECT_EQ(results("vns.dat", 24), (std::vector<int>{80, 90, -1, -1, -1, -1}));
    EXPECT_EQ(results("vns.dat", 30), (std::vector<int>{30, 40, -1, -1, -1, -1}));
    EXPECT_EQ(entry("vns.dat", 30).second, 90);

    // Removing an entry takes it out of both tables.
    ASSERT_EQ(VokRemoveScoreEntry(VOK_GAME_VARNEL, 2, 0), 1);
    EXPECT_EQ(results("vns.dat", 24), (std::vector<int>{90, -1, -1, -1, -1, -1}));
    EXPECT_EQ(results("vns.dat", 30), (std::vector<int>{40, -1, -1, -1, -1, -1}));
    EXPECT_EQ(face->bestRank1, 0);
    EXPECT_EQ(VokRemoveScoreEntry(VOK_GAME_VARNEL, 2, 6), 0);
    EXPECT_EQ(VokRemoveScoreEntry(VOK_GAME_VARNEL, 6, 0), 0);
    EXPECT_EQ(VokRemoveScoreEntry(VOK_GAME_TERROW, 0, 0), 0);

    // The result screens read the tables back, and ask where the record's result would go.
    EXPECT_EQ(VokLoadStatistic(101, VOK_GAME_VARNEL, 2, nullptr), 1);
    EXPECT_EQ(vok::score_table(0)[0].result, 90);
    face->gameId = VOK_GAME_VARNEL;
    face->levelFamily = 2;
    face->resultTime = 95;
    face->resultValue = 10;
    EXPECT_EQ(VokCheckHighScore(nullptr), 1);
    EXPECT_EQ(face->bestRank2, 0);
    EXPECT_EQ(results("vns.dat", 24), (std::vector<int>{90, -1, -1, -1, -1, -1})) << "a check writes nothing";
}

TEST_F(Scores, RefusedUpdatesWriteNothing)
{
    struct Case {
        int kind;
        uint32_t game;
        int position;
    } cases[] = {
        {101, VOK_GAME_BASE + 5, 0}, {101, 0, 0},          {101, VOK_GAME_VARNEL, 6}, {101, VOK_GAME_MOSSIK, 5},
        {101, VOK_GAME_DUNMAR, 0},   {101, VOK_GAME_TERROW, 120}, {101, VOK_GAME_KELPA, -1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(VokUpdateScores(c.kind, c.game, c.position, 10, 10), -1) << c.game << " " << c.position;
    for (const char *f : {"vns.dat", "mks.dat", "kps.dat", "fws.dat", "Ann_fws.dat"})
        EXPECT_FALSE(exists(f)) << f;
    // Without a player nothing is entered.
    vok::state().playerName[0] = '\0';
    EXPECT_EQ(VokUpdateScores(101, VOK_GAME_KELPA, 0, 10, 10), -1);
    EXPECT_FALSE(exists("kps.dat"));
}

// Clearing a level's best times rewrites only that level's block; a file that cannot be written (a
// read-only one) is refused as a whole and stays as it was, with no leftover beside it.
TEST_F(Scores, ClearingBestTimesFreesOneLevelOrKeepsTheFile)
{
    EXPECT_FALSE(vok::clear_best_times(VOK_GAME_KELPA, 1)); // nothing there yet
    EXPECT_FALSE(exists("kps.dat"));
    ASSERT_EQ(VokUpdateScores(101, VOK_GAME_KELPA, 1, 500, 7), -1);
    ASSERT_EQ(VokUpdateScores(101, VOK_GAME_KELPA, 2, 300, 7), -1);
    std::string before = read("kps.dat");
    for (int block : {-1, 99})
        EXPECT_FALSE(vok::clear_best_times(VOK_GAME_KELPA, block)) << block;
    EXPECT_FALSE(vok::clear_best_times(VOK_GAME_DUNMAR, 0));
    chmod(path("kps.dat").c_str(), 0444);
    EXPECT_FALSE(vok::clear_best_times(VOK_GAME_KELPA, 1));
    EXPECT_EQ(read("kps.dat"), before);
    chmod(path("kps.dat").c_str(), 0644);
    std::set<std::string> names;
    for (auto &e : std::filesystem::directory_iterator(dir))
        names.insert(e.path().filename().string());
    EXPECT_EQ(names.count("kps.dat"), 1u);
    for (const std::string &n : names)
        EXPECT_EQ(n.find("kps.dat."), std::string::npos) << n;
    ASSERT_TRUE(vok::clear_best_times(VOK_GAME_KELPA, 1));
    EXPECT_EQ(read("kps.dat").size(), before.size());
    EXPECT_EQ(entry("kps.dat", 6).result, -1);
    EXPECT_EQ(entry("kps.dat", 6).name[0], 0);
    EXPECT_EQ(entry("kps.dat", 12).result, 300);
    EXPECT_STREQ(entry("kps.dat", 12).name, "Ann");
}

TEST_F(Scores, SolvedFieldsCountOnce)
{
    EXPECT_EQ(VokUpdateScores(101, VOK_GAME_TERROW, 26, 0, 0), -1);
    EXPECT_EQ(VokUpdateScores(101, VOK_GAME_TERROW, 26, 0, 0), 0);
    EXPECT_EQ(VokUpdateScores(101, VOK_GAME_TERROW, 119, 0, 0), -1);
    std::string bytes = read("Ann_fws.dat");
    ASSERT_EQ(bytes.size(), 120u);
    EXPECT_EQ(bytes[26], 1);
    VokStatRecord record;
    EXPECT_EQ(VokLoadStatistic(101, VOK_GAME_TERROW, 26, &record), 1);
    EXPECT_EQ(record.solved, 2);
    EXPECT_EQ(record.total, 100);
    EXPECT_EQ(VokLoadStatisticFile(101, VOK_GAME_TERROW, 27, &record), 0);
    EXPECT_EQ(VokLoadStatisticFile(101, VOK_GAME_TERROW, 120, &record), -1);
    // A table game leaves the record alone: its 672 bytes of tables never go to the caller.
    ASSERT_EQ(VokUpdateScores(101, VOK_GAME_VARNEL, 0, 10, 1), -1);
    unsigned char out[800];
    memset(out, 0xAB, sizeof out);
    EXPECT_EQ(VokLoadStatistic(101, VOK_GAME_VARNEL, 0, out), 1);
    EXPECT_EQ(out[0], 0xAB);
    EXPECT_EQ(out[sizeof(VokStatRecord)], 0xAB);
    // A player whose name is no file name still gets a file of his own in the write root.
    ASSERT_EQ(VokSetPlayerName("..\\a/b"), 1);
    EXPECT_EQ(VokUpdateScores(101, VOK_GAME_TERROW, 1, 0, 0), -1);
    EXPECT_TRUE(exists(".._a_b_fws.dat"));
}

TEST_F(Scores, DamagedFilesAreRefusedAndKept)
{
    std::string odd(57, '\x7F');
    write("vns.dat", odd);
    EXPECT_EQ(VokLoadStatistic(101, VOK_GAME_VARNEL, 0, nullptr), -1);
    EXPECT_EQ(VokRemoveScoreEntry(VOK_GAME_VARNEL, 0, 0), 0);
    EXPECT_EQ(read("vns.dat"), odd);
    write("mks.dat", std::string(7 * 336, '\0'));  // more blocks than the game has
    EXPECT_EQ(VokLoadStatistic(101, VOK_GAME_MOSSIK, 0, nullptr), -1);

    write("Ann_fws.dat", "short");
    EXPECT_EQ(VokLoadStatisticFile(101, VOK_GAME_TERROW, 0, nullptr), -1);
    EXPECT_EQ(read("Ann_fws.dat"), "short");

    // Names and titles without their terminator read cut, not past their field.
    write("kps.dat", std::string(1344, 'A'));
    EXPECT_EQ(VokLoadStatistic(101, VOK_GAME_KELPA, 0, nullptr), 1);
    EXPECT_EQ(strlen(vok::score_table(0)[0].name), 31u);
    EXPECT_EQ(strlen(vok::score_table(0)[5].title), 15u);
    // A missing file reads as nothing at all.
    std::filesystem::remove(path("mks.dat"));
    EXPECT_EQ(VokLoadStatistic(101, VOK_GAME_MOSSIK, 0, nullptr), -1);
}

// A new time over a best-times file past repair keeps the damaged file aside, begins a fresh one and
// tells the player once; a second damage goes to a name of its own.
TEST_F(Scores, ADamagedBestTimesFileIsKeptAsideAndANewTimeStored)
{
    const std::string odd(57, '\x7F'), cut(100, 'C');
    write("vns.dat", odd);
    PlatMsgBoxReset();
    EXPECT_EQ(VokUpdateScores(101, VOK_GAME_VARNEL, 0, 10, 10), -1);
    EXPECT_EQ(read("vns.dat.damaged"), odd);
    EXPECT_EQ(entry("vns.dat", 0).result, 10);
    EXPECT_EQ(VokUpdateScores(101, VOK_GAME_VARNEL, 0, 5, 5), -1);
    EXPECT_EQ(entry("vns.dat", 0).result, 5);
    char log[2048];
    PlatMsgBoxLog(log, sizeof log);
    std::string boxes = log;
    EXPECT_NE(boxes.find("The best times file vns.dat was damaged.\\nIt is kept as vns.dat.damaged"),
              std::string::npos) << boxes;
    EXPECT_EQ(boxes.find("box ", boxes.find("box ") + 1), std::string::npos) << "told once: " << boxes;

    write("vns.dat", cut);
    EXPECT_EQ(VokUpdateScores(101, VOK_GAME_VARNEL, 0, 7, 7), -1);
    EXPECT_EQ(read("vns.dat.damaged"), odd);
    EXPECT_EQ(read("vns.dat.damaged2"), cut);
    EXPECT_EQ(entry("vns.dat", 0).result, 7);
}

// Terrow's solved fields past repair go aside the same way, and the new field is kept.
TEST_F(Scores, ADamagedSolvedFieldsFileIsKeptAsideAndTheFieldStored)
{
    write("Ann_fws.dat", "short");
    PlatMsgBoxReset();
    EXPECT_EQ(VokUpdateScores(101, VOK_GAME_TERROW, 3, 0, 0), -1);
    EXPECT_EQ(read("Ann_fws.dat.damaged"), "short");
    std::string fields = read("Ann_fws.dat");
    ASSERT_EQ(fields.size(), 120u);
    EXPECT_EQ(fields[3], 1);
    char log[2048];
    PlatMsgBoxLog(log, sizeof log);
    EXPECT_NE(std::string(log).find("It is kept as Ann_fws.dat.damaged"), std::string::npos) << log;
}

// A damaged file that cannot be set aside (every spare name taken here; a read-only folder alike)
// stays as it is and refuses the time; the player hears of it once, not at every refused time.
TEST_F(Scores, ADamagedFileThatCannotBeMovedIsToldOnce)
{
    const std::string odd(57, '\x7F');
    write("vns.dat", odd);
    write("vns.dat.damaged", "x");
    for (int n = 2; n < 100; n++)
        write("vns.dat.damaged" + std::to_string(n), "x");
    PlatMsgBoxReset();
    EXPECT_EQ(VokUpdateScores(101, VOK_GAME_VARNEL, 0, 10, 10), 0);
    EXPECT_EQ(VokUpdateScores(101, VOK_GAME_VARNEL, 1, 8, 8), 0);
    EXPECT_EQ(read("vns.dat"), odd);
    char log[2048];
    PlatMsgBoxLog(log, sizeof log);
    std::string boxes = log;
    EXPECT_NE(boxes.find("The best times file vns.dat is damaged and cannot be replaced."), std::string::npos)
        << boxes;
    EXPECT_EQ(boxes.find("box ", boxes.find("box ") + 1), std::string::npos) << "told once: " << boxes;
}

TEST_F(Scores, FreePlayCountsLevelsOnce)
{
    int32_t levels[5] = {};
    EXPECT_EQ(VokLoadStatistic(100, 0, 0, levels), 1);
    EXPECT_EQ(levels[1], 28);
    EXPECT_EQ(levels[4], 4);
    EXPECT_EQ(VokUpdateScores(100, VOK_GAME_KELPA, 3, 0, 0), -1);
    EXPECT_EQ(VokUpdateScores(100, VOK_GAME_KELPA, 3, 0, 0), 0);
    EXPECT_EQ(VokUpdateScores(100, VOK_GAME_KELPA, 22, 0, 0), 0);
    EXPECT_EQ(vok::free_solved(3), 1);
    EXPECT_EQ(VokGetGameMode(), 100);
    EXPECT_EQ(VokCheckHighScore(nullptr), -1); // answers only in the challenge
    EXPECT_FALSE(exists("kps.dat"));
    EXPECT_EQ(VokUpdateScores(100, VOK_GAME_KELPA, -1, 0, 0), -1);
    EXPECT_EQ(vok::free_solved(3), 0);
    EXPECT_EQ(VokLoadStatistic(101, 0, 0, nullptr), -1);
}

}  // namespace

namespace {

// Games started at once enter their results into the same files: none is lost.
TEST_F(Scores, EightProcessesLoseNoResult)
{
    constexpr int kProcesses = 8;
    // Kelpa keeps four levels of six results: each process enters three on one level, two per level.
    ASSERT_TRUE(vstest::in_processes(kProcesses, [](int p) {
        for (int n = 0; n < 3; n++)
            if (VokUpdateScores(101, VOK_GAME_KELPA, p % 4, 1000 + p * 10 + n, 0) != -1)
                return false;
        // And fifteen of the field game's 120 fields each.
        for (int f = p * 15; f < p * 15 + 15; f++)
            if (VokUpdateScores(101, VOK_GAME_TERROW, f, 0, 0) != -1)
                return false;
        return true;
    }));
    std::multiset<int> found;
    for (size_t i = 0; i < 24; i++)
        found.insert(entry("kps.dat", i).result);
    std::multiset<int> want;
    for (int p = 0; p < kProcesses; p++)
        for (int n = 0; n < 3; n++)
            want.insert(1000 + p * 10 + n);
    EXPECT_EQ(found, want);
    EXPECT_EQ(read("Ann_fws.dat"), std::string(120, '\1'));
}

TEST_F(Scores, AnUnreadableFileIsReportedAndKept)
{
    vstest::make_unreadable(path("kps.dat"));
    EXPECT_EQ(VokUpdateScores(101, VOK_GAME_KELPA, 0, 10, 0), 0);
    EXPECT_EQ(VokRemoveScoreEntry(VOK_GAME_KELPA, 0, 0), 0);
    EXPECT_EQ(VokLoadStatistic(101, VOK_GAME_KELPA, 0, nullptr), -1);
    vstest::make_unreadable(path("Ann_fws.dat"));
    EXPECT_EQ(VokUpdateScores(101, VOK_GAME_TERROW, 0, 0, 0), 0);
    for (const char *name : {"kps.dat", "Ann_fws.dat"}) {
        SCOPED_TRACE(name);
        if (geteuid() == 0)
            EXPECT_TRUE(std::filesystem::is_symlink(path(name)));
        else
            EXPECT_EQ(std::filesystem::file_size(path(name)), 4u);
    }
}

}  // namespace
