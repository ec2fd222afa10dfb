// Settings tables in text files and profile sections, the tokenizer, and logs.
#include <signal.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "pannix/pxini.h"
#include "support.h"

namespace {

using Settings = pxtest::Scratch;

TEST_F(Settings, TextFileRoundTrip)
{
    int32_t pair[2] = {3, 4}, triple[3] = {-1, 20, 300}, single = 42;
    float ratio = 0.5f;
    char title[32] = "A title  with inner blanks";
    INIENTRY table[] = {
        {"Pair", INI_INT, pair, 2},  {"triple", INI_INT, triple, 3}, {"single", INI_INT, &single, 0},
        {"ratio", INI_FLOAT, &ratio, 1}, {"title", INI_TEXT, title, 32}, {nullptr, INI_INT, &single, 1},
        {"novalue", INI_INT, nullptr, 1}, {"odd", 7, &single, 1},
    };
    const int n = int(sizeof table / sizeof table[0]);
    ASSERT_EQ(SaveIni(path("s.ini").c_str(), table, n), 1);
    EXPECT_EQ(pxtest::read_text(path("s.ini")),
              "Pair:\t3, 4\ntriple:\t-1, 20, 300\nsingle:\t42\nratio:\t0.500000\ntitle:\tA title  with inner blanks\n");

    int32_t pair2[2] = {}, triple2[3] = {}, single2 = 0;
    float ratio2 = 0;
    char title2[32] = {};
    INIENTRY table2[] = {
        {"PAIR", INI_INT, pair2, 2}, {"Triple", INI_INT, triple2, 3}, {"single", INI_INT, &single2, 0},
        {"ratio", INI_FLOAT, &ratio2, 1}, {"title", INI_TEXT, title2, 32},
    };
    ASSERT_EQ(LoadIni(path("s.ini").c_str(), table2, 5), 1);
    EXPECT_EQ(pair2[0], 3);
    EXPECT_EQ(pair2[1], 4);
    EXPECT_EQ(triple2[2], 300);
    EXPECT_EQ(single2, 42);
    EXPECT_EQ(ratio2, 0.5f);
    EXPECT_STREQ(title2, "A title  with inner blanks");
}

TEST_F(Settings, LenientReading)
{
    pxtest::write_text(path("l.ini"), "count: 3,4\r\n"
                                      "; a comment line\n"
                                      "unknown:\t9\n"
                                      "\n"
                                      "Name:\t  padded text \t \r\n"
                                      "first:\t1\n"
                                      "short:\tabcdefgh\n"
                                      "nofeed:7");
    int32_t count[3] = {0, 0, 77}, first_a = 0, first_b = 0, nofeed = 0;
    char name[64] = "old", shortbuf[5];
    memset(shortbuf, 'Z', sizeof shortbuf);
    INIENTRY table[] = {
        {"count", INI_INT, count, 3},    {"name", INI_TEXT, name, 0},        {"FIRST", INI_INT, &first_a, 1},
        {"first", INI_INT, &first_b, 1}, {"short", INI_TEXT, shortbuf, 5}, {"nofeed", INI_INT, &nofeed, 1},
    };
    ASSERT_EQ(LoadIni(path("l.ini").c_str(), table, 6), 1);
    // A value missing from the line keeps what the variable held.
    EXPECT_EQ(count[0], 3);
    EXPECT_EQ(count[1], 4);
    EXPECT_EQ(count[2], 77);
    EXPECT_STREQ(name, "padded text");
    // The first of two entries with the same name wins.
    EXPECT_EQ(first_a, 1);
    EXPECT_EQ(first_b, 0);
    // A text never fills more than its buffer, terminator included.
    EXPECT_STREQ(shortbuf, "abcd");
    EXPECT_EQ(nofeed, 7);

    // A file that cannot be opened changes nothing.
    count[0] = 99;
    EXPECT_EQ(LoadIni(path("missing.ini").c_str(), table, 6), 0);
    EXPECT_EQ(count[0], 99);
    // An empty file reads fine; a count below 1 writes an empty file.
    ASSERT_EQ(SaveIni(path("e.ini").c_str(), table, 0), 1);
    EXPECT_EQ(pxtest::read_text(path("e.ini")), "");
    EXPECT_EQ(LoadIni(path("e.ini").c_str(), table, 6), 1);
    EXPECT_EQ(SaveIni(path("nofolder/x.ini").c_str(), table, 6), 0);
}

// A save replaces the file whole and as the file allows: a read-only file stays as it was, a file's
// mode and a link to it stay, and no temporary is left beside it.
TEST_F(Settings, SaveKeepsTheFileItReplaces)
{
    int32_t value = 5;
    INIENTRY table[] = {{"value", INI_INT, &value, 1}};
    const std::string file = path("s.ini");
    pxtest::write_text(file, "value:\t1\n");

    chmod(file.c_str(), 0444);
    SetLastMsgError(PXERR_OK);
    EXPECT_EQ(SaveIni(file.c_str(), table, 1), 0);
    EXPECT_EQ(std::string(GetLastMsgError()), "Could not create file '" + file + "'!");
    EXPECT_EQ(pxtest::read_text(file), "value:\t1\n");
    struct stat st;
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);

    chmod(file.c_str(), 0600);
    std::filesystem::create_symlink(file, dir / "link.ini");
    EXPECT_EQ(SaveIni(path("link.ini").c_str(), table, 1), 1);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
    EXPECT_EQ(pxtest::read_text(file), "value:\t5\n");
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    std::filesystem::create_directory(dir / "folder.ini");
    EXPECT_EQ(SaveIni(path("folder.ini").c_str(), table, 1), 0);
    size_t files = 0;
    for (const auto &e : std::filesystem::directory_iterator(dir)) {
        (void)e;
        files++;
    }
    EXPECT_EQ(files, 3u); // s.ini, link.ini, folder.ini
}

// A save whose bytes cannot all be written (here the file-size limit, as a full disk would) says so,
// keeps the old file whole and leaves no temporary; a text fills no more than its buffer.
TEST_F(Settings, FailedWriteKeepsTheOldFile)
{
    const std::string file = path("s.ini");
    pxtest::write_text(file, "text:\told\n");
    std::string big(4096, 'x');
    INIENTRY table[] = {{"text", INI_TEXT, big.data(), 0}};

    struct rlimit old_limit;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    struct rlimit small = old_limit;
    small.rlim_cur = 1024;
    void (*old_handler)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int result = SaveIni(file.c_str(), table, 1);
    setrlimit(RLIMIT_FSIZE, &old_limit);
    signal(SIGXFSZ, old_handler);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(std::string(GetLastMsgError()), "Error while writing file '" + file + "'!");
    EXPECT_EQ(pxtest::read_text(file), "text:\told\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);

    // Four characters in a buffer of four, no terminator.
    std::unique_ptr<char[]> full(new char[4]{'a', 'b', 'c', 'd'});
    INIENTRY bounded[] = {{"full", INI_TEXT, full.get(), 4}};
    ASSERT_EQ(SaveIni(file.c_str(), bounded, 1), 1);
    EXPECT_EQ(pxtest::read_text(file), "full:\tabcd\n");
}

// Writers of one file never share a temporary: every save succeeds and leaves one whole file.
TEST_F(Settings, ConcurrentSavesEachWriteWholeFiles)
{
    const std::string file = path("shared.ini");
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; t++)
        threads.emplace_back([&, t] {
            std::string text(200, char('a' + t));
            INIENTRY table[] = {{"text", INI_TEXT, text.data(), 0}};
            for (int i = 0; i < 40; i++)
                if (SaveIni(file.c_str(), table, 1) != 1)
                    failures++;
        });
    for (std::thread &t : threads)
        t.join();
    EXPECT_EQ(failures.load(), 0);
    std::string text = pxtest::read_text(file);
    ASSERT_EQ(text.size(), 207u);
    EXPECT_EQ(text, "text:\t" + std::string(200, text[6]) + "\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);
}

TEST(Tokenizer, TokensAndPositions)
{
    char line[] = ", \tkey:\tvalue;rest";
    char *token = IniNextToken(line);
    ASSERT_NE(token, nullptr);
    EXPECT_STREQ(token, "key");
    EXPECT_EQ(token, line + 3);

    char words[] = "one, two\tthree";
    char word[16];
    char *p = IniGetWord(words, word, sizeof word);
    EXPECT_STREQ(word, "one");
    p = IniGetWord(p, word, sizeof word);
    EXPECT_STREQ(word, "two");
    p = IniGetWord(p, word, sizeof word);
    EXPECT_STREQ(word, "three");
    // The last token ended the text: the position stays on the terminator, and nothing follows.
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(*p, '\0');
    EXPECT_EQ(IniGetWord(p, word, sizeof word), nullptr);

    // A word is cut at the buffer's capacity; the position still moves past the whole token.
    char longer[] = "abcdefghij next";
    char small[5];
    memset(small, 'Z', sizeof small);
    p = IniGetWord(longer, small, sizeof small);
    EXPECT_STREQ(small, "abcd");
    EXPECT_STREQ(p, "next");
    memset(small, 'Z', sizeof small);
    EXPECT_NE(IniGetWord(p, small, 0), nullptr);
    EXPECT_EQ(small[0], 'Z');

    char numbers[] = "12, -3.5";
    int32_t i = 0;
    float f = 0;
    p = IniGetInt(numbers, &i);
    EXPECT_EQ(i, 12);
    p = IniGetFloat(p, &f);
    EXPECT_EQ(f, -3.5f);
    i = 5;
    EXPECT_EQ(IniGetInt(p, &i), nullptr);
    EXPECT_EQ(i, 5);
    char empty[] = " ,\t";
    EXPECT_EQ(IniNextToken(empty), nullptr);
    EXPECT_EQ(IniNextToken(nullptr), nullptr);
}

TEST_F(Settings, ProfileSectionRoundTrip)
{
    int32_t level = 7, unused = 5;
    float speed = 2.5f;
    char player[16] = "Ann";
    INIENTRY table[] = {
        {"Level", INI_INT, &level, 1}, {"Speed", INI_FLOAT, &speed, 1}, {"Player", INI_TEXT, player, 16},
    };
    std::string file = path("game.ini");
    EXPECT_EQ(SaveIniW(file.c_str(), table, 3), 0);
    std::string text = pxtest::read_text(file);
    EXPECT_NE(text.find("[Settings]"), std::string::npos);
    EXPECT_NE(text.find("Level=7"), std::string::npos);
    EXPECT_EQ(text.find("Speed"), std::string::npos); // floats are not kept in profiles

    level = 0;
    player[0] = '\0';
    speed = 9;
    char missing_text[4] = "abc";
    INIENTRY back[] = {
        {"level", INI_INT, &level, 1},  {"Speed", INI_FLOAT, &speed, 1},       {"Player", INI_TEXT, player, 16},
        {"Nope", INI_INT, &unused, 1}, {"NoText", INI_TEXT, missing_text, 4},
    };
    EXPECT_EQ(LoadIniW(file.c_str(), back, 5), 0);
    EXPECT_EQ(level, 7);
    EXPECT_EQ(speed, 9.0f);
    EXPECT_STREQ(player, "Ann");
    EXPECT_EQ(unused, 0);
    EXPECT_STREQ(missing_text, "0");

    // Nothing happens without a file, a table or a count.
    level = 3;
    EXPECT_EQ(LoadIniW(nullptr, back, 5), 0);
    EXPECT_EQ(LoadIniW(file.c_str(), back, 0), 0);
    EXPECT_EQ(level, 3);
}

TEST_F(Settings, LogsAppendLinesAndStartEmpty)
{
    std::string file = path("run.log");
    pxtest::write_text(file, "old contents\n");
    int slot = InitLog(file.c_str());
    ASSERT_GE(slot, 1);
    ASSERT_LE(slot, PX_LOG_SLOTS);
    EXPECT_FALSE(std::filesystem::exists(file));
    AddToLog(slot, "line %d", 1);
    AddToLog(slot, "%s", "two");
    EXPECT_EQ(pxtest::read_text(file), "line 1\ntwo\n");
    std::string longer(3000, 'x');
    AddToLog(slot, "%s", longer.c_str());
    EXPECT_EQ(pxtest::read_text(file).size(), 11u + 2079u + 1u);

    EXPECT_EQ(CloseLog(slot), slot);
    AddToLog(slot, "after close");
    AddToLog(0, "no slot");
    AddToLog(33, "no slot");
    EXPECT_EQ(pxtest::read_text(file).size(), 11u + 2080u);

    EXPECT_EQ(InitLog(nullptr), 0);
    EXPECT_EQ(InitLog(""), 0);
    EXPECT_EQ(InitLog(std::string(300, 'a').c_str()), 0);

    std::vector<int> slots;
    for (int i = 0; i < PX_LOG_SLOTS; i++) {
        int s = InitLog(path(std::string("l").append(std::to_string(i))).c_str());
        ASSERT_NE(s, 0) << i;
        slots.push_back(s);
    }
    EXPECT_EQ(InitLog(path("one-more").c_str()), 0);
    for (int s : slots)
        CloseLog(s);
    // A log whose folder is missing drops its lines.
    slot = InitLog(path("none/x.log").c_str());
    ASSERT_NE(slot, 0);
    AddToLog(slot, "dropped");
    EXPECT_FALSE(std::filesystem::exists(path("none/x.log")));
    CloseLog(slot);
}

}  // namespace
