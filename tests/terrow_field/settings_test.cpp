// terrow.ini, the window-mode rule, and the names of fields and saved positions under the roots.
#include <sys/stat.h>

#include "support.h"
#include "vokscore/vokiface.h"
#include "vokscore/vokpath.h"

namespace {

using Settings = trtest::Scratch;

// The framework's record with its roots (read and write share one buffer) moved to `dir`.
VokInterFace *framework_at(const std::filesystem::path &dir)
{
    VokInterFace *face = VokGetInterFace(VOK_GAME_TERROW);
    std::string root = dir.string() + "/";
    for (char &c : root)
        if (c == '/')
            c = '\\';
    snprintf(face->writeRoot, VOK_PATH_SIZE, "%s", root.c_str());
    return face;
}

TEST_F(Settings, ReaderTakesKnownKeysWithoutRegardToCase)
{
    TrIni ini;
    TrIniDefaults(&ini);
    write("terrow.ini",
          "fillcolor:\t5\r\nHATTER:\t0\nUnknown:\t7\nPalyaMeret:\t12\nShowFps:\t1, 2\nDebugMode\n"
          "WinDiag:\t3\n");
    EXPECT_EQ(TrReadIni(path("terrow.ini").c_str(), &ini), 1);
    EXPECT_EQ(ini.FillColor, 5);
    EXPECT_EQ(ini.Hatter, 0);
    EXPECT_EQ(ini.PalyaMeret, 12);
    EXPECT_EQ(ini.ShowFps, 1);
    EXPECT_EQ(ini.DebugMode, 0);
    EXPECT_EQ(ini.WinDiag, 3);
    EXPECT_EQ(ini.FullScreen, 0);

    // A missing file keeps everything.
    TrIni before = ini;
    EXPECT_EQ(TrReadIni(path("none.ini").c_str(), &ini), 0);
    EXPECT_EQ(memcmp(&before, &ini, sizeof ini), 0);

    // The field side stays one a loadable default field can have.
    struct Case {
        const char *text;
        int32_t want;
    } sides[] = {{"PalyaMeret:\t99\n", 99}, {"PalyaMeret:\t1\n", 1}, {"PalyaMeret:\t0\n", 10},
                 {"PalyaMeret:\t100\n", 10}, {"PalyaMeret:\t-4\n", 10}, {"PalyaMeret:\t99999999\n", 10}};
    for (const Case &c : sides) {
        write("side.ini", c.text);
        TrIniDefaults(&ini);
        TrReadIni(path("side.ini").c_str(), &ini);
        EXPECT_EQ(ini.PalyaMeret, c.want) << c.text;
    }
}

TEST_F(Settings, WriterRoundTrips)
{
    TrIni ini = {7, 0, 1, 15, 0, 1, 1};
    ASSERT_EQ(TrWriteIni(path("terrow.ini").c_str(), &ini), 1);
    EXPECT_EQ(read("terrow.ini"),
              "FillColor:\t7\nHatter:\t0\nDebugMode:\t1\nPalyaMeret:\t15\nWinDiag:\t0\nFullScreen:\t1\nShowFps:\t1\n");
    TrIni back;
    TrIniDefaults(&back);
    TrReadIni(path("terrow.ini").c_str(), &back);
    EXPECT_EQ(memcmp(&back, &ini, sizeof ini), 0);

    // A file that cannot be replaced stays as it was.
    write("locked.ini", "FillColor:\t1\n");
    chmod(path("locked.ini").c_str(), 0444);
    EXPECT_EQ(TrWriteIni(path("locked.ini").c_str(), &ini), 0);
    EXPECT_EQ(read("locked.ini"), "FillColor:\t1\n");
}

TEST_F(Settings, WindowModeOverrulesTheFileAndTheWrittenValueIsTheRunsState)
{
    VokInterFace *face = framework_at(dir);
    TrModule *m = TrGetModule();
    m->iface = face;
    struct Case {
        int32_t windowMode;
        int32_t request, frameless;
    } cases[] = {{2, 1, 1}, {1, 1, 1}, {0, 0, 0}, {-1, 0, 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.windowMode);
        write("terrow.ini", "FullScreen:\t1\nPalyaMeret:\t6\n");
        face->windowMode = c.windowMode;
        TrIniDefaults(&m->ini);
        TrLoadSettings();
        EXPECT_EQ(m->ini.FullScreen, c.request);
        EXPECT_EQ(m->frameless, c.frameless);
        EXPECT_EQ(m->ini.PalyaMeret, 6);
        ASSERT_EQ(TrSaveSettings(), 1);
        EXPECT_NE(read("terrow.ini").find("FullScreen:\t" + std::to_string(c.frameless) + "\n"), std::string::npos);
        EXPECT_EQ(m->ini.FullScreen, c.request);  // the loaded value is back in memory
    }
    m->iface = nullptr;
    face->windowMode = 0;
}

TEST_F(Settings, FieldAndSavedPositionNames)
{
    VokInterFace *face = framework_at(dir);
    const std::string root = face->writeRoot;
    EXPECT_EQ(std::string(TrFieldPath("Ch_ab")), root + "fw\\Fields\\Ch_ab.trl");
    struct Case {
        int32_t kind;
        const char *player, *level, *want;
    } cases[] = {
        {101, "Ann", "C:\\game\\fw\\Fields\\Ch_ab.trl", "M^101P^AnnL^Ch_ab.trl.trs"},
        {100, "Ann", "Ch_ab.trl", "M^100P^AnnL^NoName.trs"},
        {101, "a/b\\c:d", "x\\..\\y*?.trl", "M^101P^a_b_c_dL^y__.trl.trs"},
        {102, "", "", "M^102P^L^NoName.trs"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(std::string(TrSavedPositionPath(c.kind, c.player, c.level)), root + "save\\fenlw\\" + c.want);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "save" / "fenlw"));
    // A name too long for a path gives none.
    std::string longName(300, 'n');
    EXPECT_STREQ(TrSavedPositionPath(101, "Ann", ("\\" + longName).c_str()), "");
}

}  // namespace
