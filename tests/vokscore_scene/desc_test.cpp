// Screen description files: the files the library carries, the text form with every kind of value,
// bad files refused with file and line, and the asset manifest.
#include <string.h>
#include <sys/wait.h>

#include "scene_support.h"

namespace {

using vstest::SceneTest;

int key_handler(HWND, UINT, WPARAM, LPARAM)
{
    return 7;
}
int session_init(VokSession *)
{
    return 1;
}

class DescTest : public SceneTest {
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        vok::add_routine("testKeys", vok::kRoutineKey, reinterpret_cast<void *>(key_handler));
        vok::add_routine("testInit", vok::kRoutineSession, reinterpret_cast<void *>(session_init));
    }
};

TEST_F(DescTest, CarriedFilesPassAndFillTheTables)
{
    ASSERT_GT(vok::kEmbeddedScreenCount, 0u);
    for (size_t i = 0; i < vok::kEmbeddedScreenCount; i++) {
        std::string error;
        auto d = vok::parse_screen(vok::kEmbeddedScreens[i].name, vok::kEmbeddedScreens[i].text,
                                   vok::kEmbeddedScreens[i].size, error);
        ASSERT_TRUE(d) << error;
        VokScene *entry = d->table == vok::kTableInterface ? VokInterfaceScreen(d->entry)
                          : d->table == vok::kTableGame    ? VokGameScreen(d->entry)
                                                           : vok::backdrop_screen();
        ASSERT_NE(entry, nullptr) << vok::kEmbeddedScreens[i].name;
        EXPECT_EQ(entry->screenId, d->scene.screenId);
        EXPECT_EQ(entry->sessionCount, d->scene.sessionCount);
    }
    // The exit confirmation is there; an entry without a file is refused with a text.
    ASSERT_NE(VokInterfaceScreen(30), nullptr);
    EXPECT_EQ(VokInterfaceScreen(30)->screenId, 22);
    EXPECT_EQ(VokInterfaceScreen(67), nullptr);
    EXPECT_STREQ(GetLastMsgError(), "No screen description for interface screen 67");
}

TEST_F(DescTest, EveryKindOfValueReadsIntoTheRecords)
{
    VokScene *s = parse(R"(# a comment
game 5
screenId 20
flags copy | keeplook | 0x01
focusSessionId 2
dataPack "t"
langPack "tl"
keyHandler testKeys

session 1
  background "bg"
session 2
  flags hcentre|notshown|0x100000
  rect 10 -20 200 100
  input 1 2 3 4
  content 300 0
  focusId 7
  background "*"
  initRoutine testInit
  fillColour 0xF800
  ikon list
    id 7
    flags act1|dblclick   # a comment after values
    rect 0 0 -5 0
    text "Say \"hi\"\n"
    textAlign centre
    key DOWN
    control list 32 10 4
  ikon 3
    id 8
    text 511
    picture "anim.tmz"
    movie flags range|rate fps 25 loop 2 9
    focusPicture "?"
    key Q
    linkId 7
)");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(descs.back()->table, vok::kTableGame);
    EXPECT_EQ(descs.back()->entry, 5);
    EXPECT_EQ(s->flags, uint32_t(VOK_SCENE_COPY | VOK_SCENE_KEEPLOOK | VOK_SCENE_OWNWINDOW));
    EXPECT_EQ(s->width, 640);
    EXPECT_EQ(s->depth, 16);
    EXPECT_STREQ(s->dataPack, "t");
    EXPECT_EQ(s->keyHandler(nullptr, 0, 0, 0), 7);
    ASSERT_EQ(s->sessionCount, 2);
    VokSession &b = s->sessions[1];
    EXPECT_EQ(b.flags, uint32_t(VOK_SES_HCENTRE | VOK_SES_NOTSHOWN | VOK_SES_PLAIN));
    EXPECT_EQ(b.y, -20);
    EXPECT_EQ(b.inputHeight, 4);
    EXPECT_EQ(b.contentWidth, 300);
    EXPECT_EQ(b.initRoutine, session_init);
    ASSERT_EQ(b.ikonCount, 2);
    VokIkon &l = b.ikons[0], &m = b.ikons[1];
    EXPECT_EQ(l.type, VOK_IKON_LIST);
    EXPECT_EQ(l.flags, uint32_t(VOK_IK_ACT1 | VOK_IK_DBLCLICK));
    EXPECT_EQ(l.width, -5);
    EXPECT_STREQ(l.text.string, "Say \"hi\"\n");
    EXPECT_EQ(l.textAlign, uint32_t(VOK_ALIGN_HCENTRE | VOK_ALIGN_VCENTRE));
    EXPECT_EQ(l.key, VK_DOWN);
    auto *c = static_cast<VokControlDesc *>(l.control);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->kind, VOK_CTL_LIST);
    EXPECT_EQ(c->c, 4);
    EXPECT_EQ(m.type, 3);
    EXPECT_EQ(m.text.string, nullptr);
    EXPECT_EQ(m.text.number, 511);
    EXPECT_EQ(m.key, 'Q');
    ASSERT_NE(m.movie, nullptr);
    EXPECT_EQ(m.movie->flags, uint32_t(VOK_MOVIE_LOOP | VOK_MOVIE_RATE));
    EXPECT_EQ(m.movie->fps, 25);
    EXPECT_EQ(m.movie->loopEnd, 9);
}

TEST_F(DescTest, BadFilesAreRefusedWithFileAndLine)
{
    const std::string head = "screen 1\nsession 1\n";
    struct Case {
        std::string text;
        const char *error;
    } cases[] = {
        {"", "t.scr:0: empty description"},
        {"session 1\n", "t.scr:1: the file must start with 'screen N', 'game N' or 'backdrop 0'"},
        {"screen 67\nsession 1\n", "t.scr:1: 67 out of range 0..66"},
        {"game 6\nsession 1\n", "t.scr:1: 6 out of range 0..5"},
        {head + "  colour 3\n", "t.scr:3: unknown session field 'colour'"},
        {head + "  flags plain|shiny\n", "t.scr:3: unknown flag 'shiny'"},
        {head + "  flags plain|\n", "t.scr:3: flag expected"},
        {head + "  background \"bg\n", "t.scr:3: unterminated string"},
        {head + "  ikon 0\n  text 512\n", "t.scr:4: 512 out of range 1..511"},
        {head + "  ikon 0\n  key CLEAR\n", "t.scr:4: unknown key 'CLEAR'"},
        {head + "  ikon 0\n  rect 1 2 3\n", "t.scr:4: number expected"},
        {head + "  ikon 0\n  id 1 2\n", "t.scr:4: unexpected '2'"},
        {head + "  initRoutine nosuch\n", "t.scr:3: unknown routine 'nosuch'"},
        {"screen 1\nkeyHandler testInit\nsession 1\n", "t.scr:2: unknown routine 'testInit'"},
        {"screen 1\nikon 0\n", "t.scr:2: ikon outside a session"},
        {"screen 1\n", "t.scr:0: no session"},
        {head + "  background \"*\"\n", "t.scr:2: session 1: the first session cannot cut its background"},
        {head + "session 2\n  background \"*\"\n", "t.scr:3: session 2: a \"*\" background needs a width"},
        {head + "  ikon 0\n  id 3\n  linkId 9\n", "t.scr:3: ikon 3: linkId 9 names no ikon"},
        {head + "  ikon 0\n  flags afterprev\n", "t.scr:3: ikon 0: \"afterprev\" on the first ikon"},
        {head + "  ikon 0\n  focusPicture \"*\"\n", "t.scr:3: ikon 0: focus picture \"*\" without a focus"},
        {head + "  ikon 0\n  picture \"a\"\n  movie fps 5\n", "t.scr:3: ikon 0: movie settings for a picture"},
        {head + "  ikon 0\n  control list 8 2 2\n", "t.scr:3: ikon 0: the control does not fit"},
        {"screen 1\nfocusSessionId 4\nsession 1\n", "t.scr:2: focusSessionId 4 names no session"},
        {"screen 1\ndepth 8\nsession 1\n", "t.scr:2: depth must be 16"},
        {head + "  rect 1 2 3 99999999999\n", "t.scr:3: number out of range"},
        {head + "  rect 0 0 65535 65535\n", "t.scr:3: 65535 out of range -4096..4096"},
        {head + "  ikon 0\n  rect 0 0 -90000 4\n", "t.scr:4: -90000 out of range -4096..4096"},
    };
    for (const Case &c : cases) {
        std::string error;
        EXPECT_EQ(vok::parse_screen("t.scr", c.text.data(), c.text.size(), error), nullptr) << c.text;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << "\n -> " << error;
    }
    // A zero byte inside the text ends nothing early and is refused in a string.
    std::string zero = head + "  background \"a";
    zero += '\0';
    zero += "b\"\n";
    std::string error;
    EXPECT_EQ(vok::parse_screen("t.scr", zero.data(), zero.size(), error), nullptr);
    EXPECT_EQ(error, "t.scr:3: zero byte in a string");
    std::string bare = head + "  focusId 1";
    bare += '\0';
    EXPECT_EQ(vok::parse_screen("t.scr", bare.data(), bare.size(), error), nullptr);
    EXPECT_EQ(error, "t.scr:3: zero byte");
}

TEST_F(DescTest, ManifestNamesPacksPicturesMoviesAndFontsWithSizes)
{
    VokScene *s = parse(R"(screen 2
dataPack "sure"
langPack "surel"
session 1
  background "bg"
  fontFile "gn"
session 2
  rect 0 0 200 100
  content 0 300
  background "panel"
  focusBackground "*"
  ikon 0
    rect 0 0 30 10
    picture "b.flc"
    focusPicture "?"
  ikon 0
    rect 0 0 -2 -2
    picture "btn"
    focusPicture "btnf"
)");
    ASSERT_NE(s, nullptr);
    std::vector<vok::AssetUse> uses;
    vok::list_assets(*descs.back(), uses);
    std::vector<std::string> lines;
    for (auto &u : uses)
        lines.push_back(u.kind + " " + u.pack + " " + u.name + " " + std::to_string(u.width) + "x" +
                        std::to_string(u.height));
    std::vector<std::string> want = {"pack  sure 0x0",          "langpack  surel 0x0",   "picture sure bg 640x480",
                                     "font  gn 0x0",            "picture sure panel 200x300", "movie sure b.flc 30x10",
                                     "picture sure btn 0x0",    "picture sure btnf 0x0"};
    EXPECT_EQ(lines, want);
}

}  // namespace

namespace {

std::string run(const std::string &command, int *status)
{
    std::string out;
    FILE *p = popen((command + " 2>&1").c_str(), "r");
    char buf[512];
    while (p && fgets(buf, sizeof buf, p))
        out += buf;
    int rc = p ? pclose(p) : -1;
    *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

TEST_F(DescTest, ScrtoolChecksListsAndShows)
{
    const std::string tool = std::string(VOK_BIN_DIR) + "/scrtool";
    write_data();
    write("bad.scr", "screen 1\nsession 1\n  ikon 0\n    key NOPE\n");
    write("good.scr", "screen 3\ndataPack \"t\"\nsession 1\n  background \"bg\"\nsession 2\n  flags plain\n"
                      "  rect 100 50 200 100\n  background \"nothere\"\n  ikon 0\n    rect 10 10 30 10\n"
                      "    picture \"red40\"\n");
    write("twice.scr", "screen 3\nsession 1\n");
    int status;
    std::string out = run(tool + " check " + path("good.scr") + " " + path("bad.scr"), &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out, "bad.scr:4: unknown key 'NOPE'\n");
    out = run(tool + " check " + path("good.scr") + " " + path("twice.scr"), &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out, "twice.scr: screen 3 is described twice\n");
    out = run(tool + " manifest " + path("good.scr"), &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("picture\tt\tnothere\t200\t100\n"), std::string::npos) << out;
    EXPECT_NE(out.find("langpack\t-\tmnutext\t0\t0\n"), std::string::npos) << out;
    // Shown over the fixture's data: the pack's pictures, a placeholder for the missing one.
    out = run(tool + " show " + path("good.scr") + " --data " + dir.string() + " --out " + path("s.png"), &status);
    ASSERT_EQ(status, 0) << out;
    ASSERT_TRUE(exists("s.png"));
    // Read back by ImageMagick: grey background, the red ikon, the placeholder's white border.
    out = run("convert " + path("s.png") + " -depth 8 rgb:" + path("s.rgb"), &status);
    ASSERT_EQ(status, 0) << out;
    std::string rgb = read("s.rgb");
    ASSERT_EQ(rgb.size(), 640u * 480 * 3);
    auto px = [&](int x, int y) {
        const unsigned char *p = reinterpret_cast<const unsigned char *>(rgb.data()) + (y * 640 + x) * 3;
        return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    };
    EXPECT_EQ(px(5, 5), vstest::rgb_of(vstest::kGrey));
    EXPECT_EQ(px(115, 65), vstest::rgb_of(vstest::kRed));
    EXPECT_EQ(px(100, 50), 0xFFFFFFu);
    EXPECT_NE(px(150, 90), vstest::rgb_of(vstest::kGrey));
}

}  // namespace
