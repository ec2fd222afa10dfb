// Commands of the carried screens: the speed and level-group choices and the buttons of the results,
// lost, solved and draw screens, run over packs of plain pictures of the sizes the files ask for.
#include <fstream>
#include <functional>
#include <sstream>
#include <map>
#include <set>

#include "runner.h"
#include "scores.h"
#include "scene_support.h"

namespace {

using vstest::solid565;

const vok::EmbeddedScreen *file_of(int entry)
{
    for (size_t i = 0; i < vok::kEmbeddedScreenCount; i++) {
        const vok::EmbeddedScreen &e = vok::kEmbeddedScreens[i];
        std::string error;
        auto d = vok::parse_screen(e.name, e.text, e.size, error);
        if (d && d->table == vok::kTableInterface && d->entry == entry)
            return &e;
    }
    return nullptr;
}

// Buttons in the row of a results screen (its second session).
int row_count(int entry)
{
    const vok::EmbeddedScreen *e = file_of(entry);
    std::string error;
    auto d = e ? vok::parse_screen(e->name, e->text, e->size, error) : nullptr;
    return d && d->scene.sessionCount > 1 ? d->scene.sessions[1].ikonCount : 0;
}

struct Seen {
    int width[6] = {};
    bool shown[6] = {};
    const char *bar[6] = {};
    std::string title, line;
} g_seen;

int g_saves = 0;
std::function<void()> g_onSave;
int save_replay()
{
    g_saves++;
    if (g_onSave)
        g_onSave();
    return 0;
}

class CmdTest : public vstest::SceneTest {
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        // The best-times panel writes with the generated font.
        std::ifstream in(std::string(VOK_DATA_TREE) + "/Data/gn.fnp", std::ios::binary);
        std::stringstream font;
        font << in.rdbuf();
        ASSERT_FALSE(font.str().empty());
        write("Data/gn.fnp", font.str());
        screen = PxAllocPix(BR_PMT_RGB_565, 640, 480, nullptr, 0);
        face->screenPix = screen;
        face->inGame = 0;
        face->gameFlags = 0;
        face->replayProc = nullptr;
        VokImgFlagsClear(face, 0xFF);
        g_saves = 0;
    }
    void TearDown() override
    {
        face->screenPix = nullptr;
        PxFreePix(screen);
        SceneTest::TearDown();
    }

    // Writes the data and language packs of `entry` with a plain picture for every name it asks for.
    void write_packs(int entry)
    {
        const vok::EmbeddedScreen *e = file_of(entry);
        ASSERT_NE(e, nullptr) << entry;
        std::string error;
        auto d = vok::parse_screen(e->name, e->text, e->size, error);
        ASSERT_TRUE(d) << error;
        std::vector<vok::AssetUse> uses;
        vok::list_assets(*d, uses);
        // Screens share packs: a pack keeps the pictures of every screen written before.
        auto &named = packs[d->scene.dataPack];
        for (const vok::AssetUse &u : uses)
            if (u.kind == "picture")
                named[u.name] = solid565(u.width > 0 ? (u.width + 1) & ~1 : 40, u.height > 0 ? u.height : 20,
                                         uint16_t(0x1000 + named.size()));
        std::vector<std::pair<std::string, std::string>> pics(named.begin(), named.end());
        write_pack_file(std::string("Data/") + d->scene.dataPack + ".fpk", pics);
        if (d->scene.langPack)
            for (const char *lang : {"US", "UK", "GE", "FR", "HU"})
                write_pack_file(std::string("Data/") + lang + "/" + d->scene.langPack + ".fpk", pics);
        static const char *const games[] = {"vn", "mk", "fw", "kp", "dm"};
        static const char *const frames[] = {"vn", "mk", "tr", "kp", "dm"};
        for (int g = 0; g < 5; g++) {
            std::string f = frames[g];
            write_pack_file(std::string("Data/win") + games[g] + ".fpk",
                            {{f + "sav", solid565(160, 120, 1)}, {f + "sav1", solid565(160, 120, 2)},
                             {f + "sav0", solid565(160, 120, 3)}});
        }
    }

    void click(int x, int y)
    {
        PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, at(x, y));
        PostMessageA(window, WM_LBUTTONUP, 0, at(x, y));
    }
    // The centre of button `index` of `count` in the results screens' row.
    void click_result(int index, int count)
    {
        int left = 20 + (600 - (count * 104 + (count - 1) * 8)) / 2;
        click(left + index * 112 + 52, 434);
    }

    br_pixelmap *screen = nullptr;
    std::map<std::string, std::map<std::string, std::string>> packs;
};

TEST_F(CmdTest, SpeedChoice)
{
    write_packs(27);
    face->gameId = VOK_GAME_BASE + 3;
    face->speedIndex = 0;
    // Button 53: the fourth of the 3 x 3 grid in the centred 400 x 300 panel.
    click(120 + 50 + 40, 90 + 126 + 20);
    EXPECT_EQ(VokPopupIFScreen(3), 1) << GetLastMsgError();
    EXPECT_EQ(face->popupResult, 1);
    EXPECT_EQ(face->speedIndex, 3);
    // Enter takes the speed that had the focus at the start; Escape keeps it.
    face->speedIndex = 7;
    face->popupResult = 77;
    PostMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(VokPopupIFScreen(3), 1);
    EXPECT_EQ(face->popupResult, 1);
    EXPECT_EQ(face->speedIndex, 7);
    PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
    face->popupResult = 77;
    EXPECT_EQ(VokPopupIFScreen(3), 1);
    EXPECT_EQ(face->popupResult, 0);
    EXPECT_EQ(face->speedIndex, 7);
}

TEST_F(CmdTest, LevelGroupChoice)
{
    write_packs(28);
    write_packs(29);
    struct Case {
        int game, family, expected;
    };
    // Mossik has four groups, the others five: a group beyond them opens on the first.
    const Case cases[] = {{1, 3, 3}, {1, 4, 0}, {0, 4, 4}, {3, 5, 0}, {3, -1, 0}, {2, 2, 2}};
    for (const Case &c : cases) {
        face->gameId = VOK_GAME_BASE + uint32_t(c.game);
        face->levelFamily = c.family;
        face->levelNumber = 9;
        PostMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
        EXPECT_EQ(VokPopupIFScreen(2), 1) << c.game << " " << GetLastMsgError();
        EXPECT_EQ(face->popupResult, 1);
        EXPECT_EQ(face->levelFamily, c.expected) << c.game << " " << c.family;
        EXPECT_EQ(face->levelNumber, 0);
    }
    // The back button ends as Escape and changes nothing.
    face->gameId = VOK_GAME_BASE + 0;
    face->levelFamily = 2;
    face->levelNumber = 5;
    click(140 + 120 + 60, 70 + 294 + 18);
    EXPECT_EQ(VokPopupIFScreen(2), 1);
    EXPECT_EQ(face->popupResult, 0);
    EXPECT_EQ(face->levelFamily, 2);
    EXPECT_EQ(face->levelNumber, 5);
}

TEST_F(CmdTest, ResultsButtons)
{
    struct Case {
        int entry, game, kind;
        int count, index; // the button row and the button pressed
        uint32_t flagsBefore;
        int result;
        uint32_t flagsAfter;
        bool titleKept;
    };
    const uint32_t both = VOK_GF_RESULT_SEEN | VOK_GF_REPLAY;
    const Case cases[] = {
        {7, 3, 101, 5, 0, 0, 1, 0, false},            // menu
        {7, 3, 101, 5, 1, both, 0, both, false},      // try again
        {7, 3, 101, 5, 2, both, 2, 0, false},         // next level clears the bits
        {7, 3, 101, 5, 3, 0, 0, VOK_GF_REPLAY, true}, // Kelpa replay in the challenge: 0x02 only
        {7, 3, 100, 5, 3, 0, 0, both, true},          // in free play both
        {7, 1, 101, 5, 3, 0, 0, both, true},          // another game both
        {21, 3, 101, 4, 3, 0, 0, both, true},         // not a results screen of id 24: both
        {18, 4, 101, 2, 1, both, 4, 0, false},        // Dunmar lost: continue
        {19, 3, 101, 2, 1, 0, 0, 0, false},           // Kelpa game over: try again
        {57, 4, 101, 2, 1, both, 4, 0, false},        // draw: a new game
        {13, 1, 102, 2, 1, both, 2, 0, false},        // puzzle complete: next
    };
    for (const Case &c : cases) {
        write_packs(c.entry);
        face->gameId = VOK_GAME_BASE + uint32_t(c.game);
        face->gameKind = c.kind;
        face->gameFlags = c.flagsBefore;
        strcpy(face->titleText, "title");
        face->popupResult = 77;
        click_result(c.index, c.count);
        EXPECT_EQ(vok::run_screen(c.entry), 1) << c.entry << " " << GetLastMsgError();
        EXPECT_EQ(face->popupResult, c.result) << c.entry << " button " << c.index;
        EXPECT_EQ(face->gameFlags, c.flagsAfter) << c.entry << " button " << c.index;
        EXPECT_EQ(face->titleText[0] != 0, c.titleKept) << c.entry;
    }
}

TEST_F(CmdTest, SaveButtonStaysOnTheScreenAndGoes)
{
    write_packs(7);
    face->gameId = VOK_GAME_BASE + 3;
    face->gameKind = 101;
    face->replayProc = save_replay;
    VokImgFlagsSet(face, VOK_IMG_REPLAY);
    // Save; then Escape (nothing on a results screen), save again (gone: nothing), and the menu.
    click_result(4, 5);
    g_onSave = [this] {
        PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
        click_result(4, 5);
        click_result(0, 5);
    };
    face->popupResult = 77;
    EXPECT_EQ(vok::run_screen(7), 1) << GetLastMsgError();
    g_onSave = nullptr;
    EXPECT_EQ(g_saves, 1);
    EXPECT_EQ(face->popupResult, 1);
}

// The best-times panel shows the places of the game's table while the screen is up, and the
// description keeps its own texts after it.
TEST_F(CmdTest, BestTimesPanelLines)
{
    write_packs(7);
    face->gameId = VOK_GAME_BASE + 3;
    face->gameKind = 101;
    face->replayProc = save_replay;
    VokImgFlagsSet(face, VOK_IMG_REPLAY);
    std::vector<std::string> shown;
    g_onSave = [&] {
        VokSession *best = FindSession(5);
        for (int id : {1, 11, 6, 16})
            if (VokIkon *k = best ? FindIkon(best, id) : nullptr)
                shown.push_back(k->shownText ? k->shownText : "");
        click_result(0, 5);
    };
    click_result(4, 5);
    EXPECT_EQ(vok::run_screen(7), 1) << GetLastMsgError();
    g_onSave = nullptr;
    EXPECT_EQ(shown, (std::vector<std::string>{"1. -", "-", "6. -", "-"}));
    VokScene *scene = VokInterfaceScreen(7);
    ASSERT_TRUE(scene && scene->sessionCount > 4);
    EXPECT_STREQ(FindIkon(&scene->sessions[4], 1)->text.string, "");
}

TEST_F(CmdTest, ChoiceOfLines)
{
    write_packs(34);
    const VokChoiceEntry entries[] = {{"one"}, {"two"}, {"three"}};
    VokChoiceRecord record{entries, 3, 0};
    face->messageText = reinterpret_cast<char *>(&record);
    // A click on the third line chooses it.
    click(320, 40 + 108 + 18);
    EXPECT_EQ(VokPopupIFScreen(9), 1) << GetLastMsgError();
    EXPECT_EQ(face->popupResult, 1);
    EXPECT_EQ(record.chosen, 3);
    // Lines beyond the count are inactive: a click on line 5 does nothing; Enter takes the focused
    // line, which the screen kept from the last time.
    record.chosen = 0;
    click(320, 40 + 196 + 18);
    PostMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(VokPopupIFScreen(9), 1);
    EXPECT_EQ(record.chosen, 3);
    VokScene *scene = VokInterfaceScreen(34);
    ASSERT_TRUE(scene && scene->sessionCount > 2);
    EXPECT_TRUE(FindIkon(&scene->sessions[2], 5)->flags & VOK_IK_INACTIVE);
    EXPECT_FALSE(FindIkon(&scene->sessions[2], 3)->flags & VOK_IK_INACTIVE);
    EXPECT_EQ(FindIkon(&scene->sessions[2], 1)->text.string, nullptr); // not kept past the screen
    // No entries: Enter acts as Escape.
    VokChoiceRecord none{nullptr, 3, 0};
    face->messageText = reinterpret_cast<char *>(&none);
    PostMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(VokPopupIFScreen(9), 1);
    EXPECT_EQ(face->popupResult, 0);
    EXPECT_EQ(none.chosen, 0);
    // Escape.
    face->messageText = reinterpret_cast<char *>(&record);
    record.chosen = 0;
    PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(VokPopupIFScreen(9), 1);
    EXPECT_EQ(face->popupResult, 0);
    EXPECT_EQ(record.chosen, 0);
    face->messageText = nullptr;
}

// The exit question is drawn again once when it has been up for half a second.
TEST_F(CmdTest, ExitQuestionRedrawnAfterHalfASecond)
{
    write_packs(30);
    vok::engine().mayStart = true;
    int before = vok::question_redraws();
    ASSERT_TRUE(InitScene(VokInterfaceScreen(30), 0)) << GetLastMsgError();
    VokSession *question = FindSession(2);
    ASSERT_TRUE(question && question->procs);
    auto frame = [&] {
        for (VokSessionProc *p = question->procs; p; p = p->next)
            if (p->frameStartProc)
                p->frameStartProc(p);
    };
    PlatAdvanceClock(499);
    frame();
    EXPECT_EQ(vok::question_redraws(), before);
    PlatAdvanceClock(1);
    frame();
    EXPECT_EQ(vok::question_redraws(), before + 1);
    PlatAdvanceClock(1000);
    frame();
    EXPECT_EQ(vok::question_redraws(), before + 1); // once
    KillCurScene(0);
}

TEST_F(CmdTest, ChatLine)
{
    write_packs(58);
    for (int i = 0; i < 300; i++)
        PostMessageA(window, WM_CHAR, 'a' + i % 26, 0);
    PostMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
    memset(face->titleText, 'x', sizeof face->titleText);
    EXPECT_EQ(VokPopupIFScreen(42), 1) << GetLastMsgError();
    EXPECT_EQ(face->popupResult, 1);
    EXPECT_EQ(strlen(face->titleText), 255u); // the line holds 255 and the record keeps its end
    EXPECT_EQ(std::string(face->titleText, 3), "abc");
    strcpy(face->titleText, "kept");
    PostMessageA(window, WM_CHAR, 'q', 0);
    PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(VokPopupIFScreen(42), 1);
    EXPECT_EQ(face->popupResult, 0);
    EXPECT_STREQ(face->titleText, "kept");
}

TEST_F(CmdTest, ColourChoiceAndChatMessage)
{
    write_packs(55);
    face->popupResult = 77;
    PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0); // no way out but a colour
    PostMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(VokPopupIFScreen(40), 1) << GetLastMsgError();
    EXPECT_EQ(face->popupResult, 12);
    click(120 + 220 + 65, 140 + 110 + 28);
    EXPECT_EQ(VokPopupIFScreen(40), 1);
    EXPECT_EQ(face->popupResult, 13);

    write_packs(59);
    snprintf(face->titleText, sizeof face->titleText, "hello");
    PostMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(VokPopupIFScreen(43), 1) << GetLastMsgError();
    EXPECT_EQ(face->popupResult, 1);
    click(120 + 70 + 55, 140 + 140 + 20); // reply
    EXPECT_EQ(VokPopupIFScreen(43), 1);
    EXPECT_EQ(face->popupResult, 14);
    PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(VokPopupIFScreen(43), 1);
    EXPECT_EQ(face->popupResult, 0);
}

// The progress page: a bar per game by its share of levels solved in free play, none at 0, the
// full picture above 120 pixels, the title through the text table with the player's name.
TEST_F(CmdTest, ProgressBars)
{
    packs["solved"]["barfull"] = solid565(122, 16, 0x7777); // named by the code
    write_packs(3);
    ASSERT_EQ(VokSetPlayerName("Anna"), 1);
    face->gameId = VOK_GAME_KELPA;
    VokUpdateScores(VOK_KIND_FREE, VOK_GAME_KELPA, -1, 0, 0); // counters back to 0
    for (int level = 0; level < vok::free_levels(3); level++)
        VokUpdateScores(VOK_KIND_FREE, VOK_GAME_KELPA, level, 0, 0);
    VokUpdateScores(VOK_KIND_FREE, VOK_GAME_TERROW, 0, 0, 0);
    face->levelFamily = 3;
    // Read while the screen is up, then leave by the focused menu button.
    SetTimer(window, 0x7702, 200, [](HWND w, UINT, UINT_PTR id, DWORD) {
        KillTimer(w, id);
        if (VokSession *s = FindSession(5))
            for (int g = 0; g < 6; g++) {
                VokIkon *k = FindIkon(s, 3340 + g);
                g_seen.width[g] = k->placeRect.width;
                g_seen.shown[g] = !(k->state & VOK_IST_INACTIVE);
                g_seen.bar[g] = k->picture;
            }
        if (VokSession *s = FindSession(5)) {
            g_seen.title = FindIkon(s, 3333)->shownText ? FindIkon(s, 3333)->shownText : "";
            g_seen.line = FindIkon(s, 3350)->shownText ? FindIkon(s, 3350)->shownText : "";
        }
        PostMessageA(w, WM_KEYDOWN, VK_RETURN, 0);
    });
    EXPECT_EQ(VokPopupIFScreen(27), 1) << GetLastMsgError();
    EXPECT_EQ(face->popupResult, 1) << "menu";
    EXPECT_FALSE(g_seen.shown[0]) << "0 of Varnel's levels: no bar";
    EXPECT_TRUE(g_seen.shown[2]);
    EXPECT_EQ(g_seen.width[2], 121 / vok::free_levels(2));
    EXPECT_STREQ(g_seen.bar[2], "barpart");
    EXPECT_TRUE(g_seen.shown[3]);
    EXPECT_EQ(g_seen.width[3], 121);
    EXPECT_STREQ(g_seen.bar[3], "barfull");
    EXPECT_EQ(g_seen.title, "Anna's progress");
    int levels = 0;
    for (int g = 0; g < 5; g++)
        levels += vok::free_levels(g);
    EXPECT_EQ(g_seen.line, std::to_string(vok::free_levels(3) + 1) + "/" + std::to_string(levels));
}

// Every carried screen of these families builds and ends twice in one process.
TEST_F(CmdTest, ScreensBuildAndEndTwice)
{
    face->gameId = VOK_GAME_BASE + 3;
    face->gameKind = 101;
    for (int entry : {27, 28, 29, 34, 58, 59}) {
        write_packs(entry);
        for (int round = 0; round < 2; round++) {
            PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
            EXPECT_EQ(vok::run_screen(entry), 1) << entry << " " << GetLastMsgError();
        }
    }
    packs["solved"]["barfull"] = solid565(122, 16, 0x7777);
    for (int entry : {0, 1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 43, 44, 45, 56, 57}) {
        write_packs(entry);
        for (int round = 0; round < 2; round++) {
            face->popupResult = 77;
            click_result(0, row_count(entry));
            EXPECT_EQ(vok::run_screen(entry), 1) << entry << " " << GetLastMsgError();
            EXPECT_EQ(face->popupResult, 1) << entry;
        }
    }
}

}  // namespace
