// The carried game screens over the generated data: the page of the current level's family or group
// focused at build, Terrow's group lists choosing their fields, the statistics pages of the general
// screen (lists placed by level, the clear button, Delete's question) and its Files button.
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <map>
#include <sstream>

#include "controls.h"
#include "runner.h"
#include "scene_support.h"
#include "scores.h"
#include "vokplat/msgbox.h"

namespace {

// What the screen showed when the test's look key (F2) came, before the key went on.
struct Look {
    std::map<int, int> focus;   // session id -> focused ikon id (0 none)
    std::map<int, bool> shown;  // session id -> shown
    std::map<int, VokRect> place;
    int selected = -1, rows = -1;         // the Terrow list of the focused group or page
    std::string firstName;                // the first name line of the best-times list shown
    std::vector<int> quiet;               // ikons (session * 100 + index) that ignore the mouse
};
std::vector<Look> g_looks;

int looking_keys(HWND window, UINT msg, WPARAM key, LPARAM l)
{
    if (msg == WM_KEYDOWN && key == VK_F2) {
        Look look;
        VokScene *scene = VokGetCurScene();
        // As a frame after the key would show it.
        if (scene)
            MnuPaintScreen(scene, 0);
        for (int i = 0; scene && i < scene->sessionCount; i++) {
            VokSession &s = scene->sessions[i];
            look.focus[s.id] = s.focused ? s.focused->id : 0;
            // A switch waiting for the next paint counts as done.
            bool hidden = (s.state & VOK_SST_HIDDEN) != 0, pending = (s.state & VOK_SST_PENDING) != 0;
            look.shown[s.id] = hidden == pending;
            look.place[s.id] = s.place;
            for (int k = 0; k < s.ikonCount; k++)
                if (s.ikons[k].state & VOK_IST_NOMOUSE)
                    look.quiet.push_back(s.id * 100 + k + 1);
            if (s.id >= 124 && s.id <= 126 && look.shown[s.id])
                if (VokIkon *k = FindIkon(&s, 1); k && k->shownText)
                    look.firstName = k->shownText;
        }
        // Terrow's list: the kind-100 page's, or the focused group's.
        VokSession *groups = scene && scene->screenId == 17 ? FindSession(101) : nullptr;
        int listSession = groups && vok::engine().page == groups && groups->focused ? groups->focused->id : 100;
        for (int id : {listSession})
            if (VokSession *s = FindSession(id))
                if (vok::VokList *list = vok::list_of(FindIkonByType(s, VOK_IKON_LIST))) {
                    look.selected = list->selected;
                    look.rows = list->count;
                }
        g_looks.push_back(look);
        return 0;
    }
    return VokGameScreenKeyHandler(window, msg, key, l);
}

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class GameScreens : public vstest::SceneTest {
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        for (const char *file : {"Data/gn.fnp", "Data/serif10.fnp", "Data/msgfont.fnp", "Data/mFw.fpk", "Data/US/mFw.fpk",
                                 "Data/mKp.fpk", "Data/US/mKp.fpk", "Data/mSc.fpk", "Data/US/mSc.fpk", "Data/msgyn.fpk",
                                 "Data/US/msgyn.fpk"}) {
            std::string bytes = read_file(std::string(VOK_DATA_TREE) + "/" + file);
            ASSERT_FALSE(bytes.empty()) << file;
            write(file, bytes);
        }
        // Field names: 40 challenge fields and 25 in each group.
        std::string fields = "#C\n";
        for (int i = 0; i < 40; i++)
            fields += "c" + std::to_string(i) + " challenge\n";
        for (const char *g : {"E", "S", "H", "X"}) {
            fields += std::string("#") + g + "\n";
            for (int i = 0; i < 25; i++)
                fields += std::string(1, char(g[0] + 32)) + std::to_string(i % 10) + " field " + std::to_string(i) + "\n";
        }
        write_pack("Data/US/mnutext.fpk", {{"mnutext.txt", "~a\n"}, {"fwfields.txt", fields}});
        ASSERT_EQ(VokLoadTextFiles(), 1);
        ASSERT_EQ(VokSetPlayerName("Ann"), 1);
        screen = PxAllocPix(BR_PMT_RGB_565, 640, 480, nullptr, 0);
        face->screenPix = screen;
        face->inGame = 0;
        face->gameFlags = 0;
        vok::add_routine("lookingKeys", vok::kRoutineKey, reinterpret_cast<void *>(&looking_keys));
        g_looks.clear();
    }
    void TearDown() override
    {
        for (auto &k : kept)
            VokGameScreen(k.first)->keyHandler = k.second;
        face->screenPix = nullptr;
        PxFreePix(screen);
        SceneTest::TearDown();
    }
    // Runs game screen `id` with the look key taken by the test.
    int run(int id)
    {
        VokScene *scene = VokGameScreen(id - 15);
        EXPECT_NE(scene, nullptr);
        if (!scene)
            return 0;
        if (!kept.count(id - 15))
            kept[id - 15] = scene->keyHandler;
        scene->keyHandler = looking_keys;
        return VokPopupIFScreen(unsigned(id));
    }
    void key(int k) { PostMessageA(window, WM_KEYDOWN, WPARAM(k), 0); }
    void move(int x, int y) { PostMessageA(window, WM_MOUSEMOVE, 0, at(x, y)); }

    br_pixelmap *screen = nullptr;
    std::map<int, VokKeyHandler> kept;
};

TEST_F(GameScreens, TerrowGroupOfTheLevelIsFocusedAndItsListChooses)
{
    ASSERT_GE(VokSetLevel(VOK_KIND_CHALLENGE, VOK_GAME_TERROW, 53), 0); // the fourth field of the third group
    face->gameKind = VOK_KIND_CHALLENGE;
    key(VK_F2);
    key(VK_RETURN);
    ASSERT_EQ(run(17), 1);
    ASSERT_EQ(g_looks.size(), 1u);
    const Look &at = g_looks[0];
    EXPECT_EQ(at.focus.at(17), 101);
    EXPECT_EQ(at.focus.at(101), 123) << "the group of the level";
    for (int g = 121; g <= 124; g++)
        EXPECT_EQ(at.shown.at(g), g == 123) << g;
    EXPECT_EQ(at.rows, 25);
    EXPECT_EQ(at.selected, 3);
    EXPECT_EQ(face->popupResult, 1);
    EXPECT_EQ(face->gameKind, 101);
    EXPECT_EQ(face->levelFamily, 2);
    EXPECT_EQ(face->levelNumber, 3);
    std::string path = face->levelPath;
    EXPECT_EQ(path.substr(path.size() - 21), "fw\\Fields\\Hard_h3.trl") << path;

    // Another group under the mouse shows its own list; the keys move in it and Enter takes its field.
    g_looks.clear();
    move(240 + 8 + 43, 110 + 28); // "Easy"
    key(VK_DOWN);
    key(VK_DOWN);
    key(VK_F2);
    key(VK_RETURN);
    ASSERT_EQ(run(17), 1);
    ASSERT_EQ(g_looks.size(), 1u);
    EXPECT_EQ(g_looks[0].focus.at(101), 121);
    for (int g = 121; g <= 124; g++)
        EXPECT_EQ(g_looks[0].shown.at(g), g == 121) << g;
    EXPECT_EQ(g_looks[0].selected, 2);
    EXPECT_EQ(face->levelFamily, 0);
    EXPECT_EQ(face->levelNumber, 2);
    EXPECT_STREQ(face->titleText, "e2 field 2");
}

TEST_F(GameScreens, KelpaFamilyAndLevelFocusedAndTheGridGoesWithItsPage)
{
    ASSERT_EQ(VokSelectGameByCommand(nullptr, 40160), 40160);
    key(VK_F2);
    move(125, 154 + 18); // "Challenge": the free-play page and its grid go
    key(VK_F2);
    key(VK_ESCAPE);
    ASSERT_EQ(run(18), 1);
    EXPECT_EQ(face->popupResult, -1);
    ASSERT_EQ(g_looks.size(), 2u);
    EXPECT_EQ(g_looks[0].focus.at(100), 122);
    EXPECT_EQ(g_looks[0].focus.at(122), 40160);
    for (int g = 121; g <= 123; g++)
        EXPECT_EQ(g_looks[0].shown.at(g), g == 122) << g;
    EXPECT_TRUE(g_looks[1].shown.at(101));
    EXPECT_FALSE(g_looks[1].shown.at(100));
    for (int g = 121; g <= 123; g++)
        EXPECT_FALSE(g_looks[1].shown.at(g)) << g;
}

TEST_F(GameScreens, StatisticsListsFollowTheLevelAndDeleteClearsThem)
{
    ASSERT_EQ(VokUpdateScores(VOK_KIND_CHALLENGE, VOK_GAME_KELPA, 2, 500, 0), -1);
    ASSERT_EQ(VokUpdateScores(VOK_KIND_CHALLENGE, VOK_GAME_MOSSIK, 0, 700, 0), -1);
    move(125, 110 + 44 * 5 + 18);      // "Best times"
    move(240 + 258 + 56, 110 + 28);    // Kelpa's page
    move(240 + 60, 176 + 8 + 84 + 18); // its third level
    key(VK_F2);
    key(VK_DELETE);
    key(VK_ESCAPE);                    // no: the times stay
    key(VK_F2);
    key(VK_DELETE);
    key(VK_RETURN);                    // yes
    key(VK_F2);
    move(240 + 134 + 56, 110 + 28);    // Mossik's page
    key(VK_F2);
    move(125, 110 + 44 * 4 + 18);      // "Progress": every page goes
    key(VK_F2);
    key(VK_ESCAPE);
    ASSERT_EQ(run(20), 1);
    EXPECT_EQ(face->popupResult, -1);
    ASSERT_EQ(g_looks.size(), 5u);

    const Look &kelpa = g_looks[0];
    EXPECT_EQ(kelpa.focus.at(101), 123);
    EXPECT_EQ(kelpa.focus.at(123), 40422);
    for (int id : {121, 122, 124, 125})
        EXPECT_FALSE(kelpa.shown.at(id)) << id;
    EXPECT_TRUE(kelpa.shown.at(123));
    EXPECT_TRUE(kelpa.shown.at(126));
    EXPECT_EQ(kelpa.firstName, "1. Ann");
    // Ten pixels lower a level; the clear button over the list's last 22 pixels.
    EXPECT_EQ(kelpa.place.at(126).y, 176 + 20);
    EXPECT_EQ(kelpa.place.at(130).y, 176 + 20 + kelpa.place.at(126).height - 22);
    EXPECT_TRUE(kelpa.shown.at(130));
    // The name lines of every list let the mouse through.
    std::vector<int> quiet;
    for (int i : {5, 6, 7, 12, 13, 14})
        quiet.push_back(12400 + i);
    for (int s : {125, 126})
        for (int i = 8; i <= 13; i++)
            quiet.push_back(s * 100 + i);
    EXPECT_EQ(kelpa.quiet, quiet);

    EXPECT_EQ(g_looks[1].firstName, "1. Ann") << "No keeps the times";
    EXPECT_EQ(g_looks[2].firstName, "1. -");
    EXPECT_EQ(g_looks[2].place.at(130).y, 1000) << "an empty list has no clear button";
    std::string asked = face->messageText ? face->messageText : "";
    EXPECT_NE(asked.find("'Kelpa' - 'Level 3'"), std::string::npos) << asked;

    const Look &mossik = g_looks[3];
    EXPECT_TRUE(mossik.shown.at(122));
    EXPECT_TRUE(mossik.shown.at(125));
    for (int id : {123, 126})
        EXPECT_FALSE(mossik.shown.at(id)) << id;
    EXPECT_EQ(mossik.place.at(125).y, 176);
    EXPECT_EQ(mossik.firstName, "1. Ann");
    for (int id : {101, 121, 122, 123, 124, 125, 126, 130})
        EXPECT_FALSE(g_looks[4].shown.at(id)) << id;
    EXPECT_TRUE(g_looks[4].shown.at(100));

    // Only Kelpa's third level lost its times.
    ASSERT_EQ(VokLoadStatistic(VOK_KIND_CHALLENGE, VOK_GAME_KELPA, 2, nullptr), 1);
    EXPECT_EQ(vok::score_table(0)[0].name[0], 0);
    ASSERT_EQ(VokLoadStatistic(VOK_KIND_CHALLENGE, VOK_GAME_MOSSIK, 0, nullptr), 1);
    EXPECT_STREQ(vok::score_table(0)[0].name, "Ann");
}

// A best-times file that cannot be written keeps its times, and the player hears why nothing went.
TEST_F(GameScreens, ClearingAFileThatCannotBeWrittenTellsAndKeepsTheTimes)
{
    ASSERT_EQ(VokUpdateScores(VOK_KIND_CHALLENGE, VOK_GAME_KELPA, 2, 500, 0), -1);
    std::string before = read("kps.dat");
    chmod(path("kps.dat").c_str(), 0444);
    move(125, 110 + 44 * 5 + 18);      // "Best times"
    move(240 + 258 + 56, 110 + 28);    // Kelpa's page
    move(240 + 60, 176 + 8 + 84 + 18); // its third level
    key(VK_DELETE);
    key(VK_RETURN);                    // yes
    key(VK_F2);
    key(VK_ESCAPE);
    ASSERT_EQ(run(20), 1);
    chmod(path("kps.dat").c_str(), 0644);
    ASSERT_EQ(g_looks.size(), 1u);
    EXPECT_EQ(g_looks[0].firstName, "1. Ann");
    EXPECT_EQ(read("kps.dat"), before);
    char log[512] = {};
    PlatMsgBoxLog(log, sizeof log);
    EXPECT_NE(std::string(log).find("could not be cleared"), std::string::npos) << log;
}

TEST_F(GameScreens, FilesStartsTheOutsideBrowserAndTheScreenStays)
{
    std::string mark = path("scout.txt");
    setenv("VOK_TEST_SCOUT_MARK", mark.c_str(), 1);
    write("Scoutview.so", read_file(SCOUT_MARK));
    move(125, 110 + 44 * 6 + 18); // "Files"
    key(VK_RETURN);
    key(VK_F2);
    key(VK_ESCAPE);
    ASSERT_EQ(run(20), 1);
    unsetenv("VOK_TEST_SCOUT_MARK");
    EXPECT_EQ(face->popupResult, -1);
    EXPECT_EQ(read("scout.txt"), "Software\\Ostrel Interactive\\Velmo's Games\\");
    ASSERT_EQ(g_looks.size(), 1u) << "the screen stayed";
    char log[512] = {};
    PlatMsgBoxLog(log, sizeof log);
    EXPECT_STREQ(log, "") << "and told nothing";
}

}  // namespace
