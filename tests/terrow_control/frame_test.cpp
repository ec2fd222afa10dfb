// Frames built from the view copies equal a full render pixel for pixel: from the run copies, and
// after the copies were repaired for one and for three vanished pieces; the frame-rate line on a
// frame of 0 ms.
#include <cstring>
#include <vector>

#include <brondel/bractor.h>
#include <brondel/brpixmap.h>
#include <brondel/brmaterial.h>
#include <brondel/brscene.h>

#include "gamefix.h"
#include "terrow/trlook.h"
#include "terrow/trdib.h"
#include "vokplat/clock.h"
#include "win32/wintime.h"
#include "terrow/trredraw.h"
#include <algorithm>

using namespace trgame;

namespace {

std::vector<uint16_t> view_pixels()
{
    const br_pixelmap *v = TrGetShell()->view;
    std::vector<uint16_t> out;
    for (int y = 0; y < v->height; y++) {
        const uint16_t *row = (const uint16_t *)((const char *)v->pixels + (ptrdiff_t)y * v->row_bytes);
        out.insert(out.end(), row, row + v->width);
    }
    return out;
}

// The goal's carousel turns with the clock, which the module's worker moves on: every picture
// compared shows the goal in one frame.
std::vector<char> g_goalFrame;

void hold_goal()
{
    br_pixelmap *goal = Look_Find(TY_T_CEL, 0)->texture;
    char *p = (char *)goal->pixels;
    const size_t n = (size_t)goal->row_bytes * goal->height;
    if (g_goalFrame.empty())
        g_goalFrame.assign(p, p + n);
    else
        std::memcpy(p, g_goalFrame.data(), n);
}

// The whole scene in one render, every piece in the main world, no copy.
std::vector<uint16_t> full_render()
{
    TrShell *s = TrGetShell();
    TrCopiesRunEnd();
    TrCopiesViewChanged(0);
    TrFrameWork();  // no copy left: the fill, and the frame's own work
    hold_goal();
    BrZbSceneRender(s->worlds[0], s->cameras[0], s->view, s->depths[0]);
    return view_pixels();
}

// The copies taken as the frames take them, then one frame from the run copies.
void take_copies()
{
    TrCopies *c = TrCopiesGet();
    c->countdown = 1;
    if (TrGetModule()->ini.Hatter)
        TrCopiesTakeBackground();
    c->countdown = 0;
    TrCopiesRunStart();
}

std::vector<uint16_t> copy_frame()
{
    TrShell *s = TrGetShell();
    TrFrameWork();
    hold_goal();
    BrZbSceneRender(s->worlds[0], s->cameras[0], s->view, s->depths[0]);
    return view_pixels();
}

size_t differing(const std::vector<uint16_t> &a, const std::vector<uint16_t> &b)
{
    size_t n = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); i++)
        n += a[i] != b[i];
    return n + (a.size() > b.size() ? a.size() - b.size() : b.size() - a.size());
}

// Pieces the run copies hold, in the field's order.
std::vector<TrElem *> lifted()
{
    std::vector<TrElem *> out;
    TrPalya *f = Palya_Current();
    for (int32_t i = 0; i < f->count; i++) {
        TrElem *e = f->elements[i];
        if (e->actor != nullptr && e->actor->parent != nullptr && e->actor->parent->parent != nullptr &&
            e->actor->parent->parent->parent == TrGetShell()->worlds[1])
            out.push_back(e);
    }
    return out;
}

void vanish(const std::vector<TrElem *> &pieces)
{
    std::vector<TrElem *> list(pieces);
    TrCopiesRepair(list.data(), (int32_t)list.size());
    for (TrElem *e : pieces)
        BrActorRemove(e->actor);  // the run takes them out of the scene
}

class Frames : public Game, public ::testing::WithParamInterface<int> {};

TEST_P(Frames, RunCopiesAndTheirRepairsEqualAFullRender)
{
    TrIni ini;
    TrIniDefaults(&ini);
    ini.Hatter = GetParam();
    ini.FillColor = 0x2104;
    const std::string iniPath = VokMakeWritePath(nullptr, "%s", TR_INI_NAME);
    ASSERT_TRUE(TrWriteIni(iniPath.c_str(), &ini));
    run(100, field("Ch_Ac.trl"), [] {
        g_goalFrame.clear();
        ASSERT_EQ(TrGetModule()->ini.Hatter, GetParam());
        ASSERT_EQ(TrCopiesGet()->background != nullptr, GetParam() != 0);
        TrControlGet()->announceStart = 0;
        const std::vector<uint16_t> reference = full_render();
        if (GetParam()) {
            // The hall reaches past the top and left sides of the view: none of the top row nor of
            // the left column is left in the fill.
            const size_t w = TrGetShell()->view->width, h = TrGetShell()->view->height;
            EXPECT_EQ(std::count(reference.begin(), reference.begin() + w, uint16_t(0x2104)), 0) << "top row";
            size_t left = 0;
            for (size_t y = 0; y + 1 < h; y++)  // the view is odd in height: its last row is not mapped
                left += reference[y * w] == 0x2104;
            EXPECT_EQ(left, 0u) << "left column";
        }
        take_copies();
        ASSERT_GE(lifted().size(), 5u) << "the field's fixed pieces are in the copies";
        EXPECT_EQ(differing(copy_frame(), reference), 0u) << "from the run copies";

        std::vector<TrElem *> pieces = lifted();
        vanish({pieces[0]});
        const std::vector<uint16_t> afterOne = copy_frame();
        EXPECT_EQ(differing(afterOne, full_render()), 0u) << "after one piece vanished";

        take_copies();
        pieces = lifted();
        vanish({pieces[1], pieces[pieces.size() / 2], pieces.back()});
        const std::vector<uint16_t> afterThree = copy_frame();
        EXPECT_EQ(differing(afterThree, full_render()), 0u) << "after three pieces vanished";
        EXPECT_GT(differing(afterThree, reference), 0u) << "the vanished pieces are gone from the picture";
    });
    std::remove(iniPath.c_str());
    EXPECT_TRUE(script().boxes.empty()) << script().boxes.front();
}

INSTANTIATE_TEST_SUITE_P(Hatter, Frames, ::testing::Values(0, 1));

TEST_F(Game, HatterOffFillsTheViewWithTheFillColour)
{
    TrIni ini;
    TrIniDefaults(&ini);
    ini.Hatter = 0;
    ini.FillColor = 0x1234;
    const std::string iniPath = VokMakeWritePath(nullptr, "%s", TR_INI_NAME);
    ASSERT_TRUE(TrWriteIni(iniPath.c_str(), &ini));
    run(100, field("Ch_Ac.trl"), [] {
        EXPECT_EQ(TrCopiesGet()->background, nullptr);
        TrRenderFrame();
        const br_pixelmap *v = TrGetShell()->view;
        const uint16_t corner = *(const uint16_t *)((const char *)v->pixels + (ptrdiff_t)(v->height - 1) * v->row_bytes);
        EXPECT_EQ(corner, 0x1234);
    });
    std::remove(iniPath.c_str());
}

TEST_F(Game, ShowFpsSkipsAFrameOfNoTime)
{
    TrIni ini;
    TrIniDefaults(&ini);
    ini.ShowFps = 1;
    const std::string iniPath = VokMakeWritePath(nullptr, "%s", TR_INI_NAME);
    ASSERT_TRUE(TrWriteIni(iniPath.c_str(), &ini));
    run(100, field("Ch_Ac.trl"), [] {
        PlatSetVirtualClock(TRUE);
        // Two frames in the same millisecond: the second has no rate and must not divide by 0.
        TrRenderFrame();
        TrRenderFrame();
        PlatAdvanceClock(20);
        TrRenderFrame();
    });
    std::remove(iniPath.c_str());
    EXPECT_TRUE(script().boxes.empty()) << script().boxes.front();
}

}  // namespace

namespace {

TEST_F(Game, TheCarouselTurnsTheGoalsPictureEvery70Ms)
{
    run(100, field("Ch_Ac.trl"), [] {
        PlatSetVirtualClock(TRUE);
        br_pixelmap *goal = Look_Find(TY_T_CEL, 0)->texture;
        ASSERT_NE(goal, nullptr);
        auto pixels = [goal] {
            const char *p = (const char *)goal->pixels;
            return std::vector<char>(p, p + (size_t)goal->row_bytes * goal->height);
        };
        PlatAdvanceClock(70 - timeGetTime() % 70);
        TrFrameWork();
        const std::vector<char> first = pixels();
        PlatAdvanceClock(70);
        TrFrameWork();
        EXPECT_NE(pixels(), first) << "the next frame";
    });
}

}  // namespace

namespace {

// Brightness of a 5-6-5 pixel on a 0..63 scale.
int luma(uint16_t p)
{
    return ((p >> 11) * 2 + ((p >> 5) & 63) + (p & 31) * 2) / 3;
}

// The field built after the set-up keeps the effects wrapped round its looks: its balls get their
// shadow actors, the frame work lays them on the tiles below, and there they darken the picture.
TEST_F(Game, TheFieldsBallsCastShadowsThatDarkenTheirTiles)
{
    run(100, field("Ch_Ac.trl"), [] {
        TrShell *s = TrGetShell();
        TrPalya *f = Palya_Current();
        TrControlGet()->announceStart = 0;
        std::vector<TrElem *> balls;
        for (TrNode *n = f->balls; n != nullptr; n = n->next)
            balls.push_back((TrElem *)n->item);
        ASSERT_FALSE(balls.empty());
        hold_goal();
        auto render = [s](bool shadows) {
            TrFrameWork();
            hold_goal();
            std::vector<br_actor *> taken;
            if (!shadows)
                for (TrNode *n = Palya_Current()->balls; n != nullptr; n = n->next)
                    for (br_actor *a : ((TrElem *)n->item)->shadowActors)
                        if (a != nullptr && a->parent != nullptr)
                            taken.push_back(BrActorRemove(a));
            BrZbSceneRender(s->worlds[0], s->cameras[0], s->view, s->depths[0]);
            return view_pixels();
        };
        const std::vector<uint16_t> with = render(true);
        int linked = 0;
        for (TrElem *b : balls) {
            ASSERT_NE(b->shadowActors[0], nullptr) << "a ball of the field has its shadows";
            linked += b->shadowActors[0]->parent == f->translucentParent;
        }
        EXPECT_EQ(linked, (int)balls.size()) << "every ball rests on a tile that takes a shadow";
        const std::vector<uint16_t> without = render(false);
        ASSERT_EQ(with.size(), without.size());
        size_t darker = 0;
        for (size_t i = 0; i < with.size(); i++)
            darker += luma(with[i]) * 10 <= luma(without[i]) * 7;  // at least 30 % darker
        EXPECT_GE(darker, 40u * balls.size()) << "the shadows read on the tiles";
    });
    EXPECT_TRUE(script().boxes.empty()) << script().boxes.front();
}

}  // namespace
