// The browser's screen run with keys over the generated browser pack: open, save, the replace
// question, Cancel, hostile names, long paths, a crowded folder, the drives and Terrow's own field.
#include <fstream>
#include <sstream>

#include "browser.h"
#include "texts.h"
#include "scene_support.h"
#include "vokplat/msgbox.h"
#include "vokscore/vokbrowse.h"
#include "vokscore/vokgame.h"

namespace {

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

const char kFilter[] = "Fenlow Field (*.trl)\0*.trl\0";

class BrowserScreen : public vstest::SceneTest {
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        for (const char *file : {"Data/gn.fnp", "Data/browser.fpk", "Data/US/browser.fpk", "Data/msgfont.fnp",
                                 "Data/msgyn.fpk", "Data/US/msgyn.fpk", "Data/msgok.fpk", "Data/US/msgok.fpk", "Data/serif10.fnp"}) {
            std::string bytes = read_file(std::string(VOK_DATA_TREE) + "/" + file);
            ASSERT_FALSE(bytes.empty()) << file;
            write(file, bytes);
        }
        screen = PxAllocPix(BR_PMT_RGB_565, 640, 480, nullptr, 0);
        face->screenPix = screen;
        PlatMsgBoxReset();
    }
    void TearDown() override
    {
        face->screenPix = nullptr;
        PxFreePix(screen);
        SceneTest::TearDown();
    }
    void type(const std::string &text)
    {
        for (unsigned char c : text)
            PostMessageA(window, WM_CHAR, c, 0);
    }
    void key(int k) { PostMessageA(window, WM_KEYDOWN, WPARAM(k), 0); }
    std::string folder(const std::string &rel) { return vstest::system_form(path(rel)) + "\\"; }
    br_pixelmap *screen = nullptr;
};

TEST_F(BrowserScreen, OpenTakesAListedFileAndCancelKeepsTheBuffer)
{
    write("t/alpha.trl", "x");
    write("t/beta.trl", "x");
    char buffer[260] = "";
    // A typed name gets the filter's extension; dots and slashes never reach the line.
    type("be/t.a");
    key(VK_RETURN);
    ASSERT_NE(VokBrowseFileOpen(buffer, kFilter, folder("t").c_str(), nullptr), nullptr) << GetLastMsgError();
    EXPECT_EQ(std::string(buffer), folder("t") + "beta.trl");
    EXPECT_EQ(face->popupResult, 1);
    // A name that is not there is refused in open mode; Escape then leaves the buffer alone.
    strcpy(buffer, "kept");
    type("gamma");
    key(VK_RETURN);
    key(VK_ESCAPE);
    EXPECT_EQ(VokBrowseFileOpen(buffer, kFilter, folder("t").c_str(), nullptr), nullptr);
    EXPECT_STREQ(buffer, "kept");
    EXPECT_EQ(face->popupResult, 0);
}

TEST_F(BrowserScreen, FoldersEnteredAndLeftWithTheList)
{
    write("t/sub/inner.trl", "x");
    write("t/top.trl", "x");
    // Start in t: "..", "<sub>", top.trl with top.trl selected; Up picks <sub>, Enter goes in, and
    // Enter on the file there accepts it.
    key(VK_UP);
    key(VK_RETURN);
    key(VK_RETURN);
    OPENFILENAMEA o{};
    char buffer[260] = "";
    o.lpstrFile = buffer;
    o.nMaxFile = sizeof buffer;
    o.lpstrFilter = kFilter;
    std::string start = folder("t");
    start.pop_back();  // a folder without its closing backslash
    o.lpstrInitialDir = start.c_str();
    ASSERT_EQ(VokGetOpenFileName(&o), 1);
    EXPECT_EQ(std::string(buffer), folder("t/sub") + "inner.trl");
    // The up button, then the file of the parent.
    for (int i = 0; i < 5; i++)
        key(VK_TAB); // name, OK, Cancel, drives, root -> up
    key(VK_RETURN);
    key(VK_TAB);
    key(VK_TAB); // up -> list -> name
    type("top");
    key(VK_RETURN);
    buffer[0] = 0;
    std::string sub = folder("t/sub");
    o.lpstrInitialDir = sub.c_str();
    ASSERT_EQ(VokGetOpenFileName(&o), 1);
    EXPECT_EQ(std::string(buffer), folder("t") + "top.trl");
}

TEST_F(BrowserScreen, SaveAsksBeforeReplacing)
{
    write("s/old.trl", "x");
    OPENFILENAMEA o{};
    char buffer[260] = "";
    o.lpstrFile = buffer;
    o.nMaxFile = sizeof buffer;
    o.lpstrFilter = kFilter;
    std::string f = folder("s");
    o.lpstrInitialDir = f.c_str();
    o.Flags = OFN_OVERWRITEPROMPT;
    // The question is a screen over the browser: Escape there says no and the browser stays;
    // Escape again ends it with the buffer as it was.
    type("old");
    key(VK_RETURN);
    key(VK_ESCAPE);
    key(VK_ESCAPE);
    EXPECT_EQ(VokGetSaveFileName(&o), 0);
    EXPECT_STREQ(buffer, "");
    // Yes (the question's first button): the file is chosen.
    type("old");
    key(VK_RETURN);
    key(VK_RETURN);
    ASSERT_EQ(VokGetSaveFileName(&o), 1);
    EXPECT_EQ(std::string(buffer), f + "old.trl");
    // A new name is taken without a question.
    buffer[0] = 0;
    type("fresh");
    key(VK_RETURN);
    ASSERT_EQ(VokGetSaveFileName(&o), 1);
    EXPECT_EQ(std::string(buffer), f + "fresh.trl");
    EXPECT_STREQ(face->titleText, "fresh");
}

TEST_F(BrowserScreen, PathsTheBufferCannotHoldAreRefused)
{
    write("p/x.trl", "x");
    std::string f = folder("p");
    OPENFILENAMEA o{};
    char buffer[300] = "before";
    o.lpstrFile = buffer;
    o.lpstrFilter = kFilter;
    o.lpstrInitialDir = f.c_str();
    // Room for the folder and "x.trl" but not for a longer name.
    o.nMaxFile = DWORD(f.size() + 6);
    type("xyz");
    key(VK_RETURN);
    key(VK_ESCAPE);
    EXPECT_EQ(VokGetSaveFileName(&o), 0);
    EXPECT_STREQ(buffer, "before");
    buffer[0] = 0;
    type("x");
    key(VK_RETURN);
    ASSERT_EQ(VokGetSaveFileName(&o), 1);
    EXPECT_EQ(std::string(buffer), f + "x.trl");
    // Over 259 characters in all: refused whatever the buffer holds.
    std::string deep = "p/" + std::string(200, 'd');
    write(deep + "/y.trl", "x");
    std::string df = folder(deep);
    o.lpstrInitialDir = df.c_str();
    o.nMaxFile = sizeof buffer;
    strcpy(buffer, "before");
    type(std::string(260 - df.size(), 'n'));
    key(VK_RETURN);
    key(VK_ESCAPE);
    EXPECT_EQ(VokGetSaveFileName(&o), 0);
    EXPECT_STREQ(buffer, "before");
    // Exactly 259 characters fit, through either call.
    char path[260] = "";
    type(std::string(259 - df.size() - 4, 'n'));
    key(VK_RETURN);
    ASSERT_NE(VokBrowseFileSave(path, kFilter, df.c_str(), nullptr), nullptr);
    EXPECT_EQ(strlen(path), 259u);
}

TEST_F(BrowserScreen, LatinNamesShownAndTypedBack)
{
    write("u/\xC3\xA9t\xC3\xA9.trl", "x"); // "été" on disk in UTF-8
    write("u/\xE2\x82\xAC.trl", "x");      // the euro sign: no Latin-1 letter, not listed
    char buffer[260] = "";
    type("\xE9t\xE9");
    key(VK_RETURN);
    ASSERT_NE(VokBrowseFileOpen(buffer, kFilter, folder("u").c_str(), nullptr), nullptr);
    EXPECT_EQ(std::string(buffer), folder("u") + "\xC3\xA9t\xC3\xA9.trl");
    EXPECT_STREQ(face->titleText, "\xE9t\xE9");
    buffer[0] = 0;
    type("\xE2\x82\xAC");
    key(VK_RETURN);
    key(VK_ESCAPE);
    EXPECT_EQ(VokBrowseFileOpen(buffer, kFilter, folder("u").c_str(), nullptr), nullptr);
}

TEST_F(BrowserScreen, CrowdedFolderTakesATypedNamePastTheList)
{
    for (int i = 0; i < 1100; i++) {
        char n[32];
        snprintf(n, sizeof n, "c/f%04d.trl", i);
        write(n, "");
    }
    write("c/F1099.trl", "");
    vok::BrowserListing l;
    l.folder = folder("c");
    l.extensions = {".trl"};
    ASSERT_EQ(vok::browser_list(l).size(), 1024u);
    // Every file of the folder can be typed, listed or not; the exact spelling wins over the case.
    const std::pair<const char *, const char *> cases[] = {
        {"f1050", "f1050.trl"}, {"F0003", "f0003.trl"}, {"f1099", "f1099.trl"}, {"F1099", "F1099.trl"}};
    for (const auto &[typed, want] : cases) {
        char buffer[260] = "";
        type(typed);
        key(VK_RETURN);
        ASSERT_NE(VokBrowseFileOpen(buffer, kFilter, folder("c").c_str(), nullptr), nullptr) << typed;
        EXPECT_EQ(std::string(buffer), folder("c") + want) << typed;
    }
    // A name that is nowhere, or a folder's, is still refused.
    write("c/sub.trl/x", "");
    for (const char *typed : {"f2000", "sub"}) {
        char buffer[260] = "";
        type(typed);
        key(VK_RETURN);
        key(VK_ESCAPE);
        EXPECT_EQ(VokBrowseFileOpen(buffer, kFilter, folder("c").c_str(), nullptr), nullptr) << typed;
    }
}

TEST_F(BrowserScreen, SaveAsksOverAnUnlistedFileAndRefusesNamesLeavingTheFolder)
{
    // More files than the list holds: the one past its end still gets the replace question.
    for (int i = 0; i < 1030; i++) {
        char n[32];
        snprintf(n, sizeof n, "r/f%04d.trl", i);
        write(n, "");
    }
    std::string f = folder("r");
    OPENFILENAMEA o{};
    char buffer[260] = "";
    o.lpstrFile = buffer;
    o.nMaxFile = sizeof buffer;
    o.lpstrFilter = kFilter;
    o.lpstrInitialDir = f.c_str();
    o.Flags = OFN_OVERWRITEPROMPT;
    type("f1029");
    key(VK_RETURN);
    key(VK_ESCAPE);
    key(VK_ESCAPE);
    EXPECT_EQ(VokGetSaveFileName(&o), 0);
    EXPECT_STREQ(buffer, "");
    // A starting name from the caller that climbs or names a folder is never taken as it stands.
    for (const char *start : {"../out.trl", "a/b.trl", "..", "."}) {
        snprintf(buffer, sizeof buffer, "%s", start);
        key(VK_RETURN);
        key(VK_ESCAPE);
        EXPECT_EQ(VokGetSaveFileName(&o), 0) << start;
        EXPECT_STREQ(buffer, start);
    }
}

TEST_F(BrowserScreen, DrivesButtonOffersTheRootTheWriteRootAndHome)
{
    auto drives = vok::browser_drives(face->writeRoot);
    ASSERT_GE(drives.size(), 2u);
    EXPECT_EQ(drives[0].kind(), 'X');
    EXPECT_EQ(drives[0].target, "\\");
    EXPECT_EQ(drives[1].target, face->writeRoot);
    // Through the screen: the drives, the write root's entry, then a name typed there.
    for (int i = 0; i < 3; i++)
        key(VK_TAB); // name, OK, Cancel -> drives
    key(VK_RETURN);
    key(VK_DOWN);
    key(VK_RETURN);
    key(VK_TAB);
    type("w");
    key(VK_RETURN);
    char buffer[260] = "";
    ASSERT_NE(VokBrowseFileSave(buffer, "All\0*.*\0", folder("c").c_str(), nullptr), nullptr);
    EXPECT_EQ(std::string(buffer), std::string(face->writeRoot) + "w");
}

TEST_F(BrowserScreen, TerrowOwnFieldReachesTheLevelPath)
{
    face->gameId = VOK_GAME_TERROW;
    face->gameKind = 101;
    strcpy(face->levelPath, "kept");
    std::string own = std::string(face->writeRoot) + "Fields\\";
    std::string bytes(40, 0);
    bytes[28] = 0x02; // a field of type 2: listed outside the editor
    write("Fields/mine.trl", bytes);
    key(VK_ESCAPE);
    EXPECT_EQ(VokSelectGameByCommand(window, 40211), 0);
    EXPECT_STREQ(face->levelPath, "kept");
    EXPECT_EQ(face->gameKind, 101);
    type("mine");
    key(VK_RETURN);
    EXPECT_EQ(VokSelectGameByCommand(window, 40211), 40211);
    EXPECT_EQ(std::string(face->levelPath), own + "mine.trl");
    EXPECT_EQ(face->gameKind, VOK_KIND_OWN_FIELD);
}

}  // namespace

namespace {

TEST_F(BrowserScreen, ProgramFieldsInTheEditorAndReservedNames)
{
    write_pack("Data/US/mnutext.fpk", {{"mnutext.txt", "~a\n"},
                                       {"fwfields.txt", "#C\nca one\n#E\nea two\n#S\nsa three\n#H\nha four\n#X\nxa five\n"}});
    VokFreeTextFiles(); // the texts read at start go: the field names come with the new ones
    ASSERT_EQ(VokLoadTextFiles(), 1) << GetLastMsgError();
    face->gameId = VOK_GAME_TERROW;
    face->gameKind = VOK_KIND_EDITOR;
    write("fw/Fields/own.trl", std::string(40, 0));
    std::string fields = std::string(face->readRoot) + "fw\\Fields\\";
    // The parent, the five groups, then the file (selected at start): five rows up is the challenge
    // group, which opens on its fields.
    char buffer[260] = "";
    for (int i = 0; i < 5; i++)
        key(VK_UP);
    key(VK_RETURN);
    key(VK_RETURN);
    ASSERT_NE(VokBrowseFileOpen(buffer, kFilter, fields.c_str(), nullptr), nullptr);
    EXPECT_EQ(std::string(buffer), fields + vok::field_prefix(0) + "ca.trl");
    EXPECT_STREQ(face->titleText, "ca one");
    // Saving under a name of the program's own fields is refused with a message.
    buffer[0] = 0;
    type("Ca One");
    key(VK_RETURN);
    key(VK_RETURN); // the message's OK
    key(VK_ESCAPE);
    EXPECT_EQ(VokBrowseFileSave(buffer, kFilter, fields.c_str(), nullptr), nullptr);
    EXPECT_STREQ(buffer, "");
}

}  // namespace

namespace {

TEST_F(BrowserScreen, TerrowFieldSavedMarkedAfterTheQuestion)
{
    face->gameId = VOK_GAME_TERROW;
    face->gameKind = VOK_KIND_EDITOR;
    face->gameFlags = 0x08 | 0x10; // may mark; a mark left from before is cleared at the start
    char buffer[260] = "";
    // Name line -> OK, Cancel, drives, root, up -> the marking button; Enter chooses it.
    for (int i = 0; i < 6; i++)
        key(VK_TAB);
    key(VK_RETURN);
    key(VK_TAB);
    key(VK_TAB); // -> list -> name line
    type("secret");
    key(VK_RETURN);
    key(VK_ESCAPE); // the question: no, the browser stays
    key(VK_RETURN);
    key(VK_RETURN); // the question: yes
    ASSERT_NE(VokBrowseFileSave(buffer, kFilter, folder("m").c_str(), nullptr), nullptr);
    EXPECT_EQ(std::string(buffer), folder("m") + "secret.trl");
    EXPECT_EQ(face->gameFlags & 0x10, 0x10u);
    // Unmarked, the flag stays clear.
    buffer[0] = 0;
    type("plain");
    key(VK_RETURN);
    ASSERT_NE(VokBrowseFileSave(buffer, kFilter, folder("m").c_str(), nullptr), nullptr);
    EXPECT_EQ(face->gameFlags & 0x10, 0u);
}

}  // namespace
