// The player-name entry: its rules (characters, tidying, slide) and the screen run with keys over
// the generated name packs.
#include <fstream>
#include <sstream>

#include "controls.h"
#include "namescreen.h"
#include "runner.h"
#include "scene_support.h"

namespace {

TEST(NameRules, CharactersTaken)
{
    for (int c : std::initializer_list<int>{'a', 'Z', '5', ' ', '!', '@', '#', '$', '%', '^', '&', '(', ')', '_', '-', '{', '}', '\'', '~',
                  0xE9, 0xC0, 0xFF})
        EXPECT_TRUE(vok::name_char_ok(c)) << c;
    for (int c : std::initializer_list<int>{'.', '/', '\\', ':', '*', '?', '"', '<', '>', '|', 0xD7, 0xF7, 0xA9, 0, '\t'})
        EXPECT_FALSE(vok::name_char_ok(c)) << c;
}

TEST(NameRules, TypedNamesTidied)
{
    struct Case {
        std::string typed, stored;
    };
    const Case cases[] = {{"aNNa  ", "Anna"},
                          {" bob", " bob"},
                          {"JOHN\t \t", "John"},
                          {"\xC9va", "\xC9va"}, // Latin-1 stays as typed
                          {"1ST", "1st"},
                          {std::string(40, 'x'), "X" + std::string(30, 'x')},
                          // The cut leaves no blank at the end.
                          {std::string(30, 'x') + " \tyyyy", "X" + std::string(29, 'x')}};
    for (const Case &c : cases) {
        char out[vok::kNameCapacity + 1];
        ASSERT_TRUE(vok::tidy_name(c.typed.c_str(), out)) << c.typed;
        EXPECT_EQ(std::string(out), c.stored);
    }
    char out[vok::kNameCapacity + 1];
    EXPECT_FALSE(vok::tidy_name("  \t", out));
    EXPECT_FALSE(vok::tidy_name("", out));
}

TEST(NameRules, PanelSlidesInInTwentySteps)
{
    double angle = 0;
    int steps = 0;
    while (vok::name_slide_x(angle) > vok::kNameSlideEnd && steps < 100) {
        angle += 0.07853981633974483;
        steps++;
    }
    EXPECT_EQ(steps, 20);
    EXPECT_LE(vok::name_slide_x(angle), 457);
}

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class NameScreen : public vstest::SceneTest {
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        for (const char *file : {"Data/gn.fnp", "Data/name.fpk", "Data/US/name.fpk"}) {
            std::string bytes = read_file(std::string(VOK_DATA_TREE) + "/" + file);
            ASSERT_FALSE(bytes.empty()) << file;
            write(file, bytes);
        }
        screen = PxAllocPix(BR_PMT_RGB_565, 640, 480, nullptr, 0);
        face->screenPix = screen;
        strcpy(face->playerName, "Old");
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
    br_pixelmap *screen = nullptr;
};

TEST_F(NameScreen, EnterStoresTheTidiedName)
{
    // The line starts with the current name: clear it first.
    for (int i = 0; i < 3; i++)
        key(VK_BACK);
    type("aNNa  ");
    key(VK_RETURN);
    face->popupResult = 77;
    EXPECT_EQ(VokPopupIFScreen(28), 1) << GetLastMsgError();
    EXPECT_EQ(face->popupResult, 1);
    EXPECT_STREQ(face->playerName, "Anna");
    // Refused characters never reach the line; a name too long is cut.
    for (int i = 0; i < 4; i++)
        key(VK_BACK);
    type("a.b/c\xD7" + std::string(40, 'z'));
    key(VK_RETURN);
    EXPECT_EQ(VokPopupIFScreen(28), 1);
    EXPECT_EQ(std::string(face->playerName), "Abc" + std::string(28, 'z'));
}

TEST_F(NameScreen, EscapeKeepsTheName)
{
    type("Someone");
    key(VK_ESCAPE);
    face->popupResult = 77;
    EXPECT_EQ(VokPopupIFScreen(28), 1);
    EXPECT_EQ(face->popupResult, 0);
    EXPECT_STREQ(face->playerName, "Old");
    // Built and ended a second time in the same process.
    key(VK_ESCAPE);
    EXPECT_EQ(VokPopupIFScreen(28), 1);
    EXPECT_EQ(face->popupResult, 0);
}

// Down unrolls the list of known names over about 20 steps of 33 ms; Enter then takes the picked name.
int g_tick = 0;
std::vector<int> g_heights;

TEST_F(NameScreen, ListUnrollsDownwards)
{
    ASSERT_EQ(VokSetPlayerName("Bea"), 1);
    ASSERT_EQ(VokSetPlayerName("Carl"), 1);
    g_tick = 0;
    g_heights.clear();
    SetTimer(window, 0x7703, 100, [](HWND w, UINT, UINT_PTR id, DWORD) {
        VokSession *list = FindSession(91);
        if (g_tick == 0)
            PostMessageA(w, WM_KEYDOWN, VK_DOWN, 0);
        else if (list)
            g_heights.push_back(list->place.height);
        if (++g_tick == 10) {
            KillTimer(w, id);
            PostMessageA(w, WM_KEYDOWN, VK_RETURN, 0);
        }
    });
    EXPECT_EQ(VokPopupIFScreen(28), 1) << GetLastMsgError();
    ASSERT_EQ(g_heights.size(), 9u);
    EXPECT_GT(g_heights[0], 0);
    EXPECT_LT(g_heights[0], g_heights[2]) << "still unrolling";
    EXPECT_GT(g_heights[7], g_heights[2]);
    EXPECT_EQ(g_heights[7], g_heights[8]) << "the whole list after 20 steps";
    EXPECT_EQ(face->popupResult, 1);
    EXPECT_STREQ(face->playerName, "Carl");
}

// Left alone, the edit line shows its caret blinking.
std::vector<bool> g_carets;

TEST_F(NameScreen, CaretBlinksWhileIdle)
{
    g_carets.clear();
    SetTimer(window, 0x7704, 100, [](HWND w, UINT, UINT_PTR id, DWORD) {
        VokSession *s = FindSession(92);
        vok::VokEdit *e = s ? vok::edit_of(FindIkon(s, 1)) : nullptr;
        g_carets.push_back(e && e->caretShown);
        if (g_carets.size() == 16) {
            KillTimer(w, id);
            PostMessageA(w, WM_KEYDOWN, VK_ESCAPE, 0);
        }
    });
    EXPECT_EQ(VokPopupIFScreen(28), 1) << GetLastMsgError();
    int changes = 0, lit = 0;
    for (size_t i = 0; i < g_carets.size(); i++) {
        lit += g_carets[i];
        changes += i > 0 && g_carets[i] != g_carets[i - 1];
    }
    EXPECT_GT(lit, 0);
    EXPECT_GE(changes, 3);
}

}  // namespace
