// The backdrop and its loading bar: tiles counted by percentage along the spiral, the cursor at 100,
// nothing without a backdrop, and FadeInGame that ends only a backdrop.
#include <set>

#include "loading.h"
#include "scene_support.h"

namespace {

constexpr uint16_t kTile = 0x07E0;  // green tiles over a grey backdrop
constexpr int kBarX = 115 + 10, kBarY = 51 + 6;

class LoadingTest : public vstest::SceneTest {
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        pictures = {{"+ures", vstest::solid565(410, 376, 0)}, {"+u", vstest::solid565(410, 376, vstest::kBlue)},
                    {"+tile", vstest::solid565(32, 32, kTile)}, {"load", vstest::solid565(640, 48, 0)},
                    {"loading", vstest::solid565(640, 40, 0)}};
        std::vector<fpk::Entry> entries;
        for (const auto &p : pictures)
            entries.push_back(fpk::Entry{p.first, std::vector<uint8_t>(p.second.begin(), p.second.end()),
                                         fpk::kPixmapFlag});
        std::vector<uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(fpk::build(entries, bytes, error)) << error;
        write("Data/mnubgr.fpk", std::string(bytes.begin(), bytes.end()));
        screen = PxAllocPix(BR_PMT_RGB_565, 640, 480, nullptr, 0);
        PxFillPix(screen, vstest::kGrey);
        face->screenPix = screen;
        face->inGame = 0;
    }
    void TearDown() override
    {
        face->screenPix = nullptr;
        SceneTest::TearDown();
        PxFreePix(screen);
    }
    // Cells of the spiral that show a tile in the window.
    int tiles_shown()
    {
        VokPump();
        std::vector<uint32_t> px(640 * 480);
        int w = 0, h = 0, n = 0;
        EXPECT_TRUE(VokCaptureWindow(window, px.data(), int(px.size()), &w, &h));
        for (int i = 0; i < vok::kLoadingTiles; i++) {
            int x, y;
            vok::tile_position(i, &x, &y);
            n += px.at(size_t(kBarY + y + 16) * w + kBarX + x + 16) == vstest::rgb_of(kTile);
        }
        return n;
    }
    br_pixelmap *screen = nullptr;
};

TEST_F(LoadingTest, SpiralCoversEveryCellOnceStartingInTheMiddle)
{
    std::set<std::pair<int, int>> cells;
    int x, y;
    vok::tile_position(0, &x, &y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(163, 163));
    vok::tile_position(1, &x, &y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(195, 163)) << "first step right";
    vok::tile_position(2, &x, &y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(195, 195)) << "then down";
    for (int i = 0; i < vok::kLoadingTiles; i++) {
        vok::tile_position(i, &x, &y);
        cells.insert({x, y});
        EXPECT_TRUE(x >= 0 && x <= 358 && y >= 0 && y <= 325) << i;
    }
    EXPECT_EQ(cells.size(), size_t(vok::kLoadingTiles));
}

// The first two tiles, alone on the bar, cover exactly their 32x32 cells.
TEST_F(LoadingTest, ATileCoversExactlyItsCell)
{
    ASSERT_EQ(vok::backdrop_begin(true), 1) << GetLastMsgError();
    vok::loading_compose(screen);
    const uint32_t tile = vstest::rgb_of(kTile);
    for (unsigned percent = 1; percent <= 2; percent++) {
        UpdateLoadingProgressBar(percent);
        ASSERT_EQ(vok::loading_drawn(), int(percent));
        int x, y;
        vok::tile_position(int(percent) - 1, &x, &y);
        x += kBarX, y += kBarY;
        EXPECT_EQ(pixel(x, y), tile) << percent;
        EXPECT_EQ(pixel(x + 31, y + 31), tile) << percent;
        if (percent == 1)
            EXPECT_NE(pixel(x - 1, y), tile);  // the second tile lies right of the first
        EXPECT_NE(pixel(x + 32, y), tile) << percent;
        EXPECT_NE(pixel(x, y - 1), tile) << percent;
        EXPECT_NE(pixel(x + 31, y + 32), tile) << percent;
    }
}

TEST_F(LoadingTest, BarGrowsByPercentNeverShrinksAndShowsTheCursorWhenFull)
{
    UpdateLoadingProgressBar(50);  // no backdrop yet: nothing
    EXPECT_EQ(vok::loading_drawn(), 0);
    ASSERT_EQ(vok::backdrop_begin(true), 1) << GetLastMsgError();
    vok::loading_compose(screen);
    int hidden = ShowCursor(FALSE);
    struct Step {
        unsigned percent;
        int drawn;
    } steps[] = {{10, 13}, {5, 13}, {50, 66}, {100, 132}, {100, 132}, {250, 132}};
    for (const Step &s : steps) {
        UpdateLoadingProgressBar(s.percent);
        EXPECT_EQ(vok::loading_drawn(), s.drawn) << s.percent;
        if (s.drawn == 13 || s.drawn == 66)
            EXPECT_EQ(tiles_shown(), s.drawn) << s.percent;
    }
    EXPECT_EQ(tiles_shown(), vok::kLoadingTiles);
    EXPECT_EQ(ShowCursor(FALSE), hidden) << "shown once when the bar filled";
    ShowCursor(TRUE);
    ShowCursor(TRUE);
}

TEST_F(LoadingTest, FadeInGameEndsOnlyTheBackdrop)
{
    EXPECT_EQ(FadeInGame(), 0) << "no backdrop: nothing";
    ASSERT_EQ(vok::backdrop_begin(true), 1) << GetLastMsgError();
    VokScene *b = vok::backdrop_scene();
    ASSERT_TRUE(b);
    EXPECT_EQ(VokGetCurScene(), b);
    EXPECT_TRUE(b->flags & VOK_SCENE_KEEPPROC) << "a game's subclass of the window survives";
    UpdateLoadingProgressBar(10);
    EXPECT_EQ(FadeInGame(screen), 1);
    EXPECT_EQ(VokGetCurScene(), nullptr);
    EXPECT_EQ(vok::backdrop_scene(), nullptr);
    UpdateLoadingProgressBar(100);
    EXPECT_EQ(vok::loading_drawn(), 13) << "nothing drawn after the backdrop ended";
    // A new game screen while no game runs starts the bar again.
    ASSERT_EQ(vok::backdrop_begin(true), 1);
    EXPECT_EQ(vok::loading_drawn(), 0);
    FadeInGame();
}

}  // namespace
