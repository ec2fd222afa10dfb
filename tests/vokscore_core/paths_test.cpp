// Path builders over the roots, folder creation, the data-disc prompt and the product key.
#include <string.h>

#include "support.h"
#include "vokplat/stdio.h"
#include "win32/winreg.h"

namespace {

using vstest::Root;
using Paths = Root;

TEST_F(Paths, BuildersJoinRootFolderAndName)
{
    const std::string root = face->readRoot;
    EXPECT_EQ(root.back(), '\\');
    EXPECT_EQ(VokMakeFullPath("kp_%s_%i.rep", "Ann", 3), root + "kp_Ann_3.rep");
    EXPECT_EQ(VokMakeReadPath("fw\\Fields", "%s.trl", "Ch_ab"), root + "fw\\Fields\\Ch_ab.trl");
    EXPECT_EQ(VokMakeReadPath(nullptr, "x"), root + "x");
    EXPECT_EQ(VokMakeDataPath("100%s.txt"), root + "Data\\100%s.txt"); // the name is no format
    EXPECT_EQ(VokMakeKelpaReadPath("kpsounds.pck"), root + "kp\\kpsounds.pck");
    EXPECT_EQ(VokMakeFenlowReadPath("mt\\mt.lst"), root + "fw\\mt\\mt.lst");
    struct Lang {
        int language;
        const char *dir;
    } langs[] = {{0, "US\\"}, {1, "UK\\"}, {2, "GE\\"}, {3, "FR\\"}, {4, "HU\\"}, {7, "US\\"}, {-1, "US\\"}};
    for (const Lang &l : langs) {
        face->language = l.language;
        EXPECT_STREQ(VokGetLangDir(), l.dir);
        EXPECT_EQ(VokMakeLangPath("Data\\", "mnutext"), root + "Data\\" + l.dir + "mnutext");
    }
    // Each builder keeps its own buffer.
    char *full = VokMakeFullPath("a");
    char *read = VokMakeReadPath("b", "c");
    EXPECT_NE(full, read);
    EXPECT_EQ(std::string(full), root + "a");
}

TEST_F(Paths, WritePathMakesTheFoldersLevelByLevel)
{
    const std::string root = face->writeRoot;
    EXPECT_EQ(VokMakeWritePath(nullptr, "players.lst"), root + "players.lst");
    EXPECT_TRUE(std::filesystem::is_empty(dir));
    EXPECT_EQ(VokMakeWritePath("save\\fenlw\\", "%s.sav", "one"), root + "save\\fenlw\\one.sav");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "save" / "fenlw"));
    EXPECT_FALSE(exists("save/fenlw/one.sav"));
    // Folders that exist under another case are used, not made again.
    VokMakeWritePath("SAVE\\Fenlw\\Deeper", "x");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "save" / "fenlw" / "Deeper"));
    EXPECT_FALSE(exists("SAVE"));
    FILE *f = PlatFopen(VokMakeWritePath("Save\\FENLW\\", "two.sav"), "wb");
    ASSERT_NE(f, nullptr);
    fclose(f);
    EXPECT_TRUE(exists("save/fenlw/two.sav"));
    EXPECT_EQ(VokCreatePath(""), 0);
    EXPECT_EQ(VokCreatePath(nullptr), 0);
    // A folder part that is a file cannot be made.
    write("plain", "x");
    EXPECT_EQ(VokCreatePath((root + "plain\\sub").c_str()), 0);
}

TEST_F(Paths, ANameThatDoesNotFitGivesNoPathAndMakesNothing)
{
    std::string longName(300, 'n');
    EXPECT_STREQ(VokMakeFullPath("%s", longName.c_str()), "");
    EXPECT_STREQ(VokMakeWritePath("made\\", "%s", longName.c_str()), "");
    EXPECT_FALSE(exists("made"));
    std::string almost(259 - strlen(face->readRoot), 'a');
    EXPECT_EQ(strlen(VokMakeFullPath("%s", almost.c_str())), 259u);
    EXPECT_STREQ(VokMakeFullPath("%sb", almost.c_str()), "");
    EXPECT_EQ(CheckFileExistence(""), 0);
}

TEST_F(Paths, FindAndMakePathAsksForTheDiscUntilCancelled)
{
    // The write root moves away from the framework's folder, which stays the fallback.
    std::filesystem::create_directories(dir / "write");
    std::string writeRoot = vstest::system_form((dir / "write").string()) + "\\";
    snprintf(face->writeRoot, VOK_PATH_SIZE, "%s", writeRoot.c_str());
    const std::string fallback = vok::state().fallback;
    write("write/Data/here.dat", "1");
    EXPECT_EQ(std::string(VokFindAndMakePath("Data\\", "here.dat")), writeRoot + "Data\\here.dat");
    write("Data/there.dat", "1");
    EXPECT_EQ(std::string(VokFindAndMakePath("Data\\", "%s", "there.dat")), fallback + "Data\\there.dat");

    // A root on no drive has no disc to ask for: the file is just missing.
    PlatMsgBoxReset();
    PlatMsgBoxPushAnswer(IDOK);
    EXPECT_EQ(VokFindAndMakePath("Data\\", "missing.dat"), nullptr);
    char log[4096];
    PlatMsgBoxLog(log, sizeof log);
    EXPECT_EQ(std::string(log).find("box "), std::string::npos) << log;

    // A root on a drive letter asks for the disc in that drive.
    snprintf(vok::state().fallback, sizeof vok::state().fallback, "Q:\\velmo\\");
    PlatMsgBoxReset();
    PlatMsgBoxPushAnswer(IDOK);
    PlatMsgBoxPushAnswer(IDOK);
    PlatMsgBoxPushAnswer(IDCANCEL);
    EXPECT_EQ(VokFindAndMakePath("Data\\", "missing.dat"), nullptr);
    PlatMsgBoxLog(log, sizeof log);
    std::string text = log;
    size_t boxes = 0;
    for (size_t at = text.find("box "); at != std::string::npos; at = text.find("box ", at + 1))
        boxes++;
    EXPECT_EQ(boxes, 3u);
    EXPECT_NE(text.find("Please insert Velmo's Games CD"), std::string::npos) << text;
    EXPECT_NE(text.find("caption=\"Velmo's Games\""), std::string::npos) << text;
    EXPECT_STREQ(face->messageText, "Please insert Velmo's Games CD\n\nin drive 'Q:'");

    // Headless, nobody answers: the box says OK each time, and the asking still ends.
    PlatMsgBoxReset();
    EXPECT_EQ(VokFindAndMakePath("Data\\", "missing.dat"), nullptr);
    PlatMsgBoxLog(log, sizeof log);
    text = log;
    boxes = 0;
    for (size_t at = text.find("box "); at != std::string::npos; at = text.find("box ", at + 1))
        boxes++;
    EXPECT_EQ(boxes, 10u);
    snprintf(vok::state().fallback, sizeof vok::state().fallback, "%s", fallback.c_str());
}

TEST_F(Paths, RegistryValuesUnderTheProductKey)
{
    EXPECT_EQ(VokRegSetString(nullptr, "InstallPath", "\\games\\velmo\\"), 1);
    char text[260] = {};
    EXPECT_EQ(VokRegGetString(nullptr, "InstallPath", text), 1);
    EXPECT_STREQ(text, "\\games\\velmo\\");
    EXPECT_EQ(VokRegSetString("Players\\Ann", "Language", "GE"), 1);
    EXPECT_EQ(VokRegGetString("Players\\Ann", "Language", text), 1);
    EXPECT_STREQ(text, "GE");
    EXPECT_EQ(VokRegGetString("Players\\Ann", "Missing", text), 0);

    // Values larger than the caller's buffer (or 1024 bytes) are refused, not cut.
    std::string big(300, 'b');
    EXPECT_EQ(VokRegSetString(nullptr, "Big", big.c_str()), 1);
    EXPECT_EQ(VokRegGetString(nullptr, "Big", text), 0);
    unsigned char bytes[2048] = {};
    EXPECT_EQ(VokRegSetValue(nullptr, "Huge", REG_BINARY, bytes, 1500), 1);
    EXPECT_EQ(VokRegGetValue(nullptr, "Huge", bytes, sizeof bytes), 0);
    DWORD v = 0x01020304, out = 0;
    EXPECT_EQ(VokRegSetValue(nullptr, "Word", REG_DWORD, &v, sizeof v), 1);
    uint16_t small = 0;
    EXPECT_EQ(VokRegGetValue(nullptr, "Word", &small, sizeof small), 0);
    EXPECT_EQ(VokRegGetValue(nullptr, "Word", &out, sizeof out), 1);
    EXPECT_EQ(out, v);
}

}  // namespace
