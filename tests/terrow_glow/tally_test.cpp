// The ball tally: the roll-in path, a ball's run to its slot on the clock, the background pieces that
// fit the picture and no entry past 48.
#include <vector>

#include <gtest/gtest.h>

#include <brondel/brfw.h>
#include <brondel/brpixmap.h>
#include <brondel/brv1db.h>

#include "terrow/trfield.h"
#include "terrow/trfx.h"
#include "terrow/trplay.h"
#include "vokplat/clock.h"

namespace {

TEST(TallyPath, PositionsAlongTheRoll)
{
    struct Case {
        int e, left, x, y, frame;
    } cases[] = {
        {0, 2, 119, 463, 0},    {499, 2, 119, 463, 4},  {500, 2, 119, 463, 5},
        {849, 2, 149, 468, 13}, {850, 2, 150, 469, 13}, {2000, 2, 240, 469, 12},  // E = 1200 + 400 x 2
        {1200, 0, 196, 469, 12},  // E with no ball left: T = 46
    };
    for (const Case &c : cases) {
        int32_t x, y, frame;
        Tally_Path(c.e, Tally_EndTime(c.left), c.left, &x, &y, &frame);
        EXPECT_EQ(x, c.x) << c.e;
        EXPECT_EQ(y, c.y) << c.e;
        EXPECT_EQ(frame, c.frame) << c.e;
    }
    EXPECT_EQ(Tally_EndTime(0), 1200);
    EXPECT_EQ(Tally_EndTime(5), 3200);
}

constexpr uint16_t kBall = 0xF81F;

class Tally : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(BrBegin(), 0);
        PlatSetVirtualClock(TRUE);
        TrActionFreeAll();
        picture = BrPixelmapAllocate(BR_PMT_RGB_565, 640, 480, nullptr, 0);
        BrPixelmapFill(picture, 0x1234);
        TrOverlayHost h{};
        // Fifteen 10 x 12 frames, solid but for a key-0 corner.
        h.loadSequence = [](const char *, const char *, br_pixelmap **colour, br_pixelmap **alpha, int32_t max) {
            int32_t n = max < 15 ? max : 15;
            for (int32_t i = 0; i < n; i++) {
                colour[i] = frames().emplace_back(BrPixelmapAllocate(BR_PMT_RGB_565, 10, 12, nullptr, 0));
                BrPixelmapFill(colour[i], kBall);
                ((uint16_t *)colour[i]->pixels)[0] = 0;
                alpha[i] = nullptr;
            }
            return n;
        };
        TrSetOverlayHost(&h);
        ASSERT_EQ(Tally_LoadSequences(), 1);
        Tally_SetPicture(picture);
    }
    void TearDown() override
    {
        Tally_Stop();
        Tally_FreeSequences();
        Tally_SetPicture(nullptr);
        TrSetOverlayHost(nullptr);
        for (br_pixelmap *f : frames())
            BrPixelmapFree(f);
        frames().clear();
        BrPixelmapFree(picture);
        PlatSetVirtualClock(FALSE);
        BrEnd();
    }
    static std::vector<br_pixelmap *> &frames()
    {
        static std::vector<br_pixelmap *> f;
        return f;
    }
    uint16_t at(int x, int y) const
    {
        return ((const uint16_t *)((const char *)picture->pixels + (ptrdiff_t)y * picture->row_bytes))[x];
    }
    br_pixelmap *picture = nullptr;
};

TEST_F(Tally, ABallRollsToItsSlot)
{
    Tally_Start(3);
    // Pieces at x = 171 + 22.5 i, 24 wide: the 21st would reach past 640.
    EXPECT_EQ(Tally_Pieces(), 20);
    EXPECT_EQ(Tally_SequenceLength(TY_G_FEM), 15);

    TrElem *ball = Elem_New(1, 1, 1, 0, TY_G_FEM, EF_BALL);
    TrElem *block = Elem_New(1, 0, 1, 0, TY_T_SIMA, EF_NOT_BALL);
    Tally_AddBall(block);
    EXPECT_EQ(Tally_Left(), 3) << "only balls count";
    Tally_AddBall(ball);
    EXPECT_EQ(Tally_Left(), 2);
    EXPECT_EQ(Tally_Busy(), 1);

    PlatAdvanceClock(300);
    TrActionRunTimed();
    EXPECT_EQ(at(119, 463), kBall) << "waiting at the start";
    PlatAdvanceClock(1699);
    TrActionRunTimed();
    EXPECT_EQ(Tally_Entries(), 0);
    PlatAdvanceClock(1);
    TrActionRunTimed();
    ASSERT_EQ(Tally_Entries(), 1);
    EXPECT_EQ(Tally_Busy(), 0);
    int32_t e[3];
    ASSERT_EQ(Tally_Entry(0, e), 1);
    EXPECT_EQ(e[0], 240 - 5);
    EXPECT_EQ(e[1], 469 - 6);
    EXPECT_EQ(e[2], 12);
    EXPECT_EQ(at(240, 469), kBall);
    EXPECT_EQ(TrActionFirst(), nullptr);
    Elem_Free(ball);
    Elem_Free(block);
}

TEST_F(Tally, NoEntryPast48)
{
    Tally_Start(60);
    TrElem *ball = Elem_New(1, 1, 1, 0, TY_G_GUMI, EF_BALL);
    for (int i = 0; i < 61; i++)
        Tally_AddBall(ball);
    EXPECT_EQ(Tally_Busy(), 60);
    TrActionRunAll();
    EXPECT_EQ(Tally_Entries(), TALLY_ENTRIES);
    EXPECT_EQ(Tally_Busy(), 0);
    EXPECT_EQ(Tally_Left(), -1);
    Elem_Free(ball);

    // A small picture keeps only the pieces inside it.
    br_pixelmap *small = BrPixelmapAllocate(BR_PMT_RGB_565, 300, 480, nullptr, 0);
    Tally_SetPicture(small);
    Tally_Start(2);
    EXPECT_EQ(Tally_Pieces(), 5);  // 171 + 22.5 x 4 + 24 = 285; the next would end at 307
    Tally_SetPicture(picture);
    BrPixelmapFree(small);
}

}  // namespace
