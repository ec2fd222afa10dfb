// Solved marks on a game screen's page: the overlay's pixels land on the buttons of solved levels
// only, and Escape leaves the screen with -1.
#include "brondel/brpixmap.h"
#include "runner.h"
#include "scene_support.h"

namespace {

using vstest::kBlue;
using vstest::kGreen;
using vstest::solid565;

// What the key handler saw of the page before it passed the key on.
std::vector<uint16_t> g_seen;

uint16_t at(br_pixelmap *pm, int x, int y)
{
    const uint8_t *row = static_cast<const uint8_t *>(pm->pixels) + size_t(y) * size_t(pm->row_bytes);
    return uint16_t(row[2 * x] | row[2 * x + 1] << 8);
}

int looking_keys(HWND window, UINT msg, WPARAM key, LPARAM l)
{
    if (msg == WM_KEYDOWN && g_seen.empty())
        if (VokSession *page = FindSession(101); page && page->backgroundPix)
            for (int i = 0; i < 3; i++)
                g_seen.push_back(at(page->backgroundPix, 20 + 100 * i, 20));
    return VokGameScreenKeyHandler(window, msg, key, l);
}

class Marks : public vstest::SceneTest {};

TEST_F(Marks, SolvedChallengesCarryTheOverlay)
{
    vok::add_routine("lookingKeys", vok::kRoutineKey, reinterpret_cast<void *>(&looking_keys));
    pictures.push_back({"pg", solid565(300, 60, kBlue)});
    pictures.push_back({"pgs", solid565(300, 60, kGreen)});
    write_data();
    std::string text = "game 3\nscreenId 18\ndataPack \"t\"\nkeyHandler lookingKeys\nfocusSessionId 18\n"
                       "session 18\n  background \"bg\"\n  focusId 101\n"
                       "  ikon plain\n    id 101\n    flags act\n    rect 0 0 50 20\n"
                       "session 101\n  flags plain\n  rect 100 100 300 60\n  background \"pg\"\n"
                       "  extraPicture1 \"pgs\"\n  afterBuildRoutine solvedMarks\n";
    for (int i = 0; i < 3; i++)
        text += "  ikon plain\n    id " + std::to_string(40400 + i) + "\n    flags act\n    rect " +
                std::to_string(10 + 100 * i) + " 10 80 40\n";
    VokScene *scene = parse(text);
    ASSERT_NE(scene, nullptr);
    VokScene *kept = VokGameScreen(3);
    vok::set_screen(vok::kTableGame, 3, scene);
    ASSERT_EQ(VokSetPlayerName("Ann"), 1);
    ASSERT_EQ(VokUpdateScores(101, VOK_GAME_KELPA, 1, 500, 0), -1);
    br_pixelmap *screen = PxAllocPix(BR_PMT_RGB_565, 640, 480, nullptr, 0);
    face->screenPix = screen;
    face->gameKind = 101;
    face->inGame = 0;
    g_seen.clear();
    PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(VokPopupIFScreen(18), 1);
    EXPECT_EQ(face->popupResult, -1);
    EXPECT_EQ(g_seen, (std::vector<uint16_t>{kBlue, kGreen, kBlue}));
    vok::set_screen(vok::kTableGame, 3, kept);
    face->screenPix = nullptr;
    PxFreePix(screen);
}

}  // namespace
