// The message table with its dictionaries, the error log and the reports.
#include <unistd.h>

#include "support.h"
#include "vokplat/msgbox.h"

namespace {

using trtest::boxes;
using Messages = trtest::Scratch;

TEST_F(Messages, DefaultsAndRange)
{
    EXPECT_STREQ(TrMessage(0), "You have unsaved changes,\nsave them?");
    EXPECT_STREQ(TrMessage(4), "");
    EXPECT_STREQ(TrMessage(30), "%s NOT available!");
    EXPECT_STREQ(TrMessage(53), "Secret mode level,               \nsupplied components removed");
    EXPECT_STREQ(TrMessage(69), "");
    EXPECT_STREQ(TrMessage(70), "");
    EXPECT_STREQ(TrMessage(-1), "");
}

TEST_F(Messages, DictionaryEntriesReplaceTheDefaults)
{
    std::string text =
        "lines before the first header are ignored\n"
        "#7\none\ntwo\n\nthree\n"
        "#70\nskipped\n"
        "#-1\nskipped too\n"
        "#x\nand this\n"
        "#18\nEisenkugel\n"
        "#18\nEisenkugel zwei\n"
        "#49\n%d Kugeln nötig\n"  // same conversion: taken
        "#30\n%d nicht da\n"      // another conversion: refused
        "#52\nHol %s %s\n"        // one more: refused
        "#50\nOne 100%% ball\n"   // a percent sign is no conversion
        "#12\r\nDisk\r\nError\r\n"
        "#19\nlast line without a line end";
    write("ge.dic", text);
    EXPECT_EQ(TrLoadDictionary(path("ge.dic").c_str()), 1);
    EXPECT_STREQ(TrMessage(7), "one\ntwo\n\nthree");
    EXPECT_STREQ(TrMessage(18), "Eisenkugel zwei");
    EXPECT_STREQ(TrMessage(49), "%d Kugeln nötig");
    EXPECT_STREQ(TrMessage(30), "%s NOT available!");
    EXPECT_STREQ(TrMessage(52), "Get %d balls to exit");
    EXPECT_STREQ(TrMessage(50), "One 100%% ball");
    EXPECT_STREQ(TrMessage(12), "Disk\nError");
    EXPECT_STREQ(TrMessage(19), "last line without a line end");
    EXPECT_STREQ(TrMessage(20), "Bomb");
    EXPECT_NE(strstr(TrErrorLog(), "#30 refused"), nullptr);
    EXPECT_NE(strstr(TrErrorLog(), "#52 refused"), nullptr);

    // A missing file changes nothing; a reset brings the defaults back.
    EXPECT_EQ(TrLoadDictionary(path("none.dic").c_str()), 0);
    EXPECT_STREQ(TrMessage(7), "one\ntwo\n\nthree");
    TrResetMessages();
    EXPECT_STREQ(TrMessage(7), "");
    EXPECT_STREQ(TrMessage(18), "Iron Ball");

    // Widths and precisions the formatter could not keep to a box are refused; small ones are taken.
    write("wide.dic", "#49\n%.2000000000d x\n#52\n%9999d\n#30\n%-20s fehlt\n");
    EXPECT_EQ(TrLoadDictionary(path("wide.dic").c_str()), 1);
    EXPECT_STREQ(TrMessage(49), "%d Balls Needed");
    EXPECT_STREQ(TrMessage(52), "Get %d balls to exit");
    EXPECT_STREQ(TrMessage(30), "%-20s fehlt");
}

TEST_F(Messages, LongEntriesAreCutAtTheCollectingBuffer)
{
    std::string line(3000, 'a');
    write("fr.dic", "#5\n" + line + "\n" + line + "\n#6\n" + std::string(5000, 'b') + "\n");
    EXPECT_EQ(TrLoadDictionary(path("fr.dic").c_str()), 1);
    EXPECT_EQ(strlen(TrMessage(5)), size_t(TR_DICT_BUFFER - 1));
    EXPECT_EQ(std::string(TrMessage(5)).substr(2995, 10), "aaaaa\naaaa");
    EXPECT_EQ(std::string(TrMessage(6)), std::string(TR_DICT_BUFFER - 1, 'b'));
}

TEST_F(Messages, LanguagePicksItsDictionaryFromTheWorkingFolder)
{
    write("ge.dic", "#1\nHilfe: F1\n");
    write("fr.dic", "#1\nAide : F1\n");
    char old[4096];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    struct Case {
        int32_t language;
        int32_t read;
        const char *text;
    } cases[] = {{0, 0, "Help: F1"}, {1, 0, "Help: F1"}, {2, 1, "Hilfe: F1"}, {3, 1, "Aide : F1"}, {4, 0, "Help: F1"}};
    for (const Case &c : cases) {
        TrResetMessages();
        EXPECT_EQ(TrLoadLanguage(c.language), c.read);
        EXPECT_STREQ(TrMessage(TR_MSG_HELP_F1), c.text);
    }
    ASSERT_EQ(chdir(old), 0);
}

TEST_F(Messages, LogKeepsWhatFits)
{
    EXPECT_EQ(TrLog("first"), 0);
    EXPECT_STREQ(TrErrorLog(), "first\n");
    std::string big(TR_LOG_SIZE - 5, 'x');
    TrLog(big.c_str());  // does not fit after "first\n"
    EXPECT_STREQ(TrErrorLog(), "first\n");
    TrLog("second");
    EXPECT_STREQ(TrErrorLog(), "first\nsecond\n");
    TrClearErrorLog();
    TrLog(big.c_str());
    EXPECT_EQ(strlen(TrErrorLog()), big.size() + 1);
}

TEST_F(Messages, WarningsShowLogAndFlag)
{
    TrWarningNoFlag("pixelmap %s", "a.pix");
    EXPECT_EQ(TrGetModule()->warning, 0);
    TrWarning("pixelmap load failed: %s", "b.pix");
    EXPECT_EQ(TrGetModule()->warning, 1);
    EXPECT_EQ(boxes(), (std::vector<std::string>{"pixelmap a.pix", "pixelmap load failed: b.pix"}));
    EXPECT_STREQ(TrErrorLog(), "pixelmap a.pix\npixelmap load failed: b.pix\n");
    // Formatting is bounded.
    std::string longName(5000, 'n');
    TrWarning("%s", longName.c_str());
    EXPECT_EQ(boxes().back().size(), size_t(TR_REPORT_SIZE - 1));
}

TEST_F(Messages, FrameworkBoxShowsTheTextAsItStands)
{
    TrSetBoxHook(nullptr);
    PlatMsgBoxReset();
    TrWarning("%s", "100% sure %d %s");
    char log[1024];
    PlatMsgBoxLog(log, sizeof log);
    EXPECT_NE(strstr(log, "text=\"100% sure %d %s\""), nullptr) << log;
    EXPECT_NE(strstr(log, "type=0x30"), nullptr) << log;
}

TEST_F(Messages, FatalReportsEndTheProcess)
{
    EXPECT_EXIT(TrFatal("fwrite() failed %d", 3), ::testing::ExitedWithCode(255), "fwrite\\(\\) failed 3");
    EXPECT_EXIT(TrFatalCwd("no model"), ::testing::ExitedWithCode(255),
                "no model\n-{72}\n\\[CWD: .+\\]");
}

}  // namespace
