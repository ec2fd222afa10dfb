// players.lst: the last player with the Kelpa speed on line 1, the known players after it.
#include <signal.h>
#include <sys/stat.h>

#include <set>

#include "support.h"

namespace {

using vstest::Root;
using Players = Root;

int kelpa_speed()
{
    return static_cast<KpSettings *>(vok::own_block(3))->speed;
}

TEST_F(Players, NamesRoundTripThroughTheFile)
{
    ASSERT_EQ(VokSetPlayerName("SixteenCharsName"), 1);
    EXPECT_EQ(read("players.lst"), "2<SixteenCharsName>\nSixteenCharsName\n");
    ASSERT_EQ(VokSetPlayerName("Ann"), 1);
    EXPECT_EQ(read("players.lst"), "2<Ann             >\nSixteenCharsName\nAnn\n");
    char name[32] = "junk";
    EXPECT_EQ(VokGetPlayerName(name), name);
    EXPECT_STREQ(name, "Ann");
    ASSERT_EQ(VokSetPlayerName("SixteenCharsName"), 1); // known: not listed twice
    VokGetPlayerName(name);
    EXPECT_STREQ(name, "SixteenCharsName");
    EXPECT_EQ(read("players.lst"), "2<SixteenCharsName>\nSixteenCharsName\nAnn\n");
    // Trailing blanks of a name are lost, as the file pads with blanks.
    ASSERT_EQ(VokSetPlayerName("Bo  "), 1);
    VokGetPlayerName(name);
    EXPECT_STREQ(name, "Bo");
}

// A name longer than the 16-character field used to run over the next line of the list.
TEST_F(Players, ALongNameKeepsTheRestOfTheList)
{
    write("players.lst", "2<Ann             >\r\nAnn\r\nBob\r\n");
    ASSERT_EQ(VokSetPlayerName("Christopher Longname"), 1);
    EXPECT_EQ(read("players.lst"), "2<Christopher Longname>\nAnn\nBob\nChristopher Longname\n");
    ASSERT_EQ(VokSetPlayerName("Bob"), 1);
    EXPECT_EQ(read("players.lst"), "2<Bob             >\nAnn\nBob\nChristopher Longname\n");
    // The name buffer holds 31 characters and the file the same name.
    ASSERT_EQ(VokSetPlayerName("A name of well over thirty-one characters"), 1);
    EXPECT_STREQ(face->playerName, "A name of well over thirty-one ");
    char table[8][32];
    ASSERT_EQ(VokReadPlayerNames(&table[0][0], 32, 8), 4);
    EXPECT_STREQ(table[3], "A name of well over thirty-one ");
}

TEST_F(Players, FirstLinesReadSafely)
{
    struct Case {
        const char *file;
        const char *name;
        int speed;
    } cases[] = {
        {"5<Zed             >\n", "Zed", 5},
        {"x<Zed>\n", "Zed", 2},             // no digit: the speed stays
        {"0>\n", "", 0},                    // '>' too early: no name
        {"7<no end\n", "", 7},              // no '>'
        {"", "", 2},                        // empty file
        {"8<Name > with > marks>\n", "Name > with > marks", 8},
        {"9<Zed>\n", "Zed", 2},            // no such speed: the speed stays
        {"3<0123456789012345678901234567890123456789>\n", "0123456789012345678901234567890", 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        InitVokScore("Data\\"); // Kelpa speed back to 2
        write("players.lst", c.file);
        char name[32];
        VokGetPlayerName(name);
        EXPECT_STREQ(name, c.name);
        EXPECT_EQ(kelpa_speed(), c.speed);
    }
    std::filesystem::remove(path("players.lst"));
    char name[32] = "junk";
    VokGetPlayerName(name);
    EXPECT_STREQ(name, "");
}

TEST_F(Players, KelpaCloseWritesItsSpeed)
{
    ASSERT_EQ(VokSetPlayerName("Ann"), 1);
    VokInterFace *f = VokGetInterFace(VOK_GAME_KELPA);
    KpSettings mine{};
    f->generalSettings->gameBlocks[3] = &mine;
    VokInitInterFace(nullptr);
    mine.speed = 7;
    VokCloseInterFace();
    EXPECT_EQ(read("players.lst").substr(0, 3), "7<A");
    InitVokScore("Data\\");
    VokGetInterFace(VOK_GAME_KELPA);
    EXPECT_EQ(kelpa_speed(), 7);
}

TEST_F(Players, KnownNamesFillTheCallersSlots)
{
    write("players.lst", "2<Ann             >\nAnn\n\nBobby\nCecilia\nDan\n");
    char table[3][4];
    memset(table, '#', sizeof table);
    EXPECT_EQ(VokReadPlayerNames(&table[0][0], 4, 3), 3);
    EXPECT_STREQ(table[0], "Ann");
    EXPECT_STREQ(table[1], "Bob"); // cut to the slot
    EXPECT_STREQ(table[2], "Cec");
    EXPECT_EQ(VokReadPlayerNames(nullptr, 4, 3), 0);
    EXPECT_EQ(VokReadPlayerNames(&table[0][0], 0, 3), 0);
    EXPECT_EQ(VokReadPlayerNames(&table[0][0], 4, 0), 0);
    std::filesystem::remove(path("players.lst"));
    EXPECT_EQ(VokReadPlayerNames(&table[0][0], 4, 3), 0);
}

TEST_F(Players, AListThatCannotBeWrittenKeepsTheName)
{
    ASSERT_EQ(VokSetPlayerName("Ann"), 1);
    chmod(path("players.lst").c_str(), 0444);
    EXPECT_EQ(VokSetPlayerName("Bob"), 0);
    EXPECT_STREQ(face->playerName, "Ann");
    EXPECT_EQ(read("players.lst"), "2<Ann             >\nAnn\n");
    EXPECT_EQ(VokSetPlayerName(nullptr), 0);
}

}  // namespace

namespace {

using vstest::Root;
using PlayersShared = Root;

// Several games started at once add their players to one list: a read, change and write of one
// process never undoes another's.
TEST_F(PlayersShared, EightProcessesLoseNoName)
{
    constexpr int kProcesses = 8, kNames = 20;
    ASSERT_TRUE(vstest::in_processes(kProcesses, [](int p) {
        for (int n = 0; n < kNames; n++)
            if (VokSetPlayerName(("P" + std::to_string(p) + "_" + std::to_string(n)).c_str()) != 1)
                return false;
        return true;
    }));
    std::istringstream lines(read("players.lst"));
    std::string line;
    std::getline(lines, line);  // the last player
    std::set<std::string> names;
    while (std::getline(lines, line))
        names.insert(line);
    EXPECT_EQ(names.size(), size_t(kProcesses * kNames));
}

// Only a missing list starts afresh; one that is there but cannot be read is reported and kept.
TEST_F(PlayersShared, AnUnreadableListIsReportedAndKept)
{
    vstest::make_unreadable(path("players.lst"));
    const auto before = std::filesystem::symlink_status(path("players.lst")).type();
    EXPECT_EQ(VokSetPlayerName("Ann"), 0);
    EXPECT_EQ(std::filesystem::symlink_status(path("players.lst")).type(), before);
    if (before == std::filesystem::file_type::regular) {
        std::filesystem::permissions(path("players.lst"), std::filesystem::perms::owner_all);
        EXPECT_EQ(read("players.lst"), "kept");
    }
    // A folder in its place is no list either.
    std::filesystem::remove(path("players.lst"));
    std::filesystem::create_directory(path("players.lst"));
    EXPECT_EQ(VokSetPlayerName("Ann"), 0);
    EXPECT_TRUE(std::filesystem::is_directory(path("players.lst")));
}

}  // namespace

namespace {

using PlayersKilled = vstest::Root;

// A game killed while it holds the list's lock, or while it writes the list, stops no later game: the
// next one adds its player at once, and the list keeps every name saved before.
TEST_F(PlayersKilled, AKilledWriterLeavesNothingThatStopsTheNext)
{
    ASSERT_EQ(VokSetPlayerName("Ann"), 1);
    char list[VOK_PATH_SIZE];
    ASSERT_TRUE(vok::root_file(list, sizeof list, "players.lst"));
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t holder = fork();
    if (holder == 0) {
        vok::UpdateLock lock(list);
        char held = lock.held() ? 1 : 0;
        (void)!::write(ready[1], &held, 1);
        pause();
        _exit(0);
    }
    char held = 0;
    ASSERT_EQ(::read(ready[0], &held, 1), 1);
    ASSERT_EQ(held, 1);
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    // In a process of its own, so that a lock left behind fails the test instead of hanging it.
    EXPECT_TRUE(vstest::in_processes(1, [](int) {
        alarm(10);
        return VokSetPlayerName("Bo") == 1;
    }));

    // Writers killed at any point of their saves.
    for (int round = 0; round < 20; round++) {
        pid_t writer = fork();
        if (writer == 0) {
            for (int n = 0;; n++)
                VokSetPlayerName(("W" + std::to_string(round) + "_" + std::to_string(n % 50)).c_str());
        }
        usleep(useconds_t(2000 + round * 1500));
        kill(writer, SIGKILL);
        waitpid(writer, nullptr, 0);
    }
    EXPECT_TRUE(vstest::in_processes(1, [](int) {
        alarm(10);
        return VokSetPlayerName("Cy") == 1;
    }));
    std::istringstream lines(read("players.lst"));
    std::string line;
    std::set<std::string> names;
    std::getline(lines, line);
    EXPECT_EQ(line, "2<Cy              >");
    while (std::getline(lines, line))
        names.insert(line);
    for (const char *name : {"Ann", "Bo", "Cy"})
        EXPECT_EQ(names.count(name), 1u) << name;
    // No temporary file of a killed writer is left beside the list.
    for (const auto &e : std::filesystem::directory_iterator(dir))
        EXPECT_EQ(e.path().filename().string().rfind("players.lst.tmp", 0), std::string::npos) << e.path();
}

}  // namespace
