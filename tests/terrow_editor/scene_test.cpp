// The mouse on the software-rendered scene with real picks: one shipped field of each list is solved
// by carrying its supplied pieces onto their places, turning the balls through the direction markers
// and pressing the start button, all by window points; then the run (fast) must sink the balls.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <brondel/bractor.h>
#include <brondel/brscene.h>

#include "fixture.h"
#include "pannix/ffpack.h"
#include "playtest.h"
#include "terrow/tredit.h"
#include "terrow/trpick.h"
#include "terrow/trtoolbar.h"

namespace {

using playtest::rec;

constexpr int kW = 640, kH = 451;

class Scene : public trtest::Brondel {
protected:
    void SetUp() override
    {
        trtest::Brondel::SetUp();
        load_all();
        PlatSetVirtualClock(TRUE);
        rec() = playtest::Record{};
        static PhReporter quiet{[](const char *, const char *, unsigned) { return 1; }, [](int) {}};
        Phys_SetReporter(&quiet);
        TrPlayHooks h = playtest::recording_hooks();
        TrSetPlayHooks(&h);
        TrInstallLookHooks();
        *TrPlayModeGet() = TrPlayMode{1, 0, 0, 0, 1, nullptr, {nullptr, nullptr}};
        *TrSimGet() = TrSimState{};
        TrSimGet()->paused = 1;
        view = BrPixelmapAllocate(BR_PMT_RGB_565, kW, kH, nullptr, 0);
        view->origin_x = kW / 2;
        view->origin_y = kH / 2;
        world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
        camera = BrActorAdd(world, BrActorAllocate(BR_ACTOR_CAMERA, nullptr));
        auto *c = static_cast<br_camera *>(camera->type_data);
        c->type = BR_CAMERA_PERSPECTIVE_CENTRED;
        c->hither_z = 0.1f;
        c->yon_z = 20.0f;
        c->field_of_view = 7280;
        c->aspect = float(kW) / float(kH);
        root = BrActorAdd(world, BrActorAllocate(BR_ACTOR_NONE, nullptr));
        opaque = BrActorAdd(root, BrActorAllocate(BR_ACTOR_NONE, nullptr));
        translucent = BrActorAdd(root, BrActorAllocate(BR_ACTOR_NONE, nullptr));
        pack = FFOpenPack(VOK_BIN_DIR "/trb", 0);
        ASSERT_NE(pack, nullptr);
        FFSetCurrentPack(pack);
        TrButtonHooks t{};
        t.key = [](int32_t k) {
            if (k == TR_KEY_START)
                TrRunKeyStart();
            else if (k == TR_KEY_STOP)
                TrRunKeyStop();
        };
        TrToolbarSetHooks(&t);
        TrToolbarSetPresent([](const TrButton *, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {});
        ASSERT_EQ(TrToolbarCreate(), TR_BTN_COUNT);
    }
    void TearDown() override
    {
        Edit_Reset();
        if (TrSimGet()->runActive)
            TrRunKeyStop();
        Palya_Release();
        TrActionFreeAll();
        TrCatalogueFree();
        TrToolbarDestroy();
        TrToolbarSetHooks(nullptr);
        TrToolbarSetPresent(nullptr);
        FFSetCurrentPack(nullptr);
        FFClosePack(pack);
        PickReset();
        BrActorFree(world);
        BrPixelmapFree(view);
        TrSetPlayHooks(nullptr);
        trtest::Brondel::TearDown();
    }

    // The mouse as the window procedure moves and clicks it.
    static void mouse_click(int32_t x, int32_t y)
    {
        Edit_Hover(x, y);
        Edit_MouseMove(x, y);
        Edit_LeftPress(x, y);
        Edit_LeftRelease(x, y);
    }

    // A window point near where `point` (in `actor`'s frame) shows, at which the pick finds `want`.
    bool point_on(br_actor *actor, const float point[3], const TrElem *want, int32_t *px, int32_t *py)
    {
        int32_t sx = 0, sy = 0;
        if (!View_ProjectXY(actor, point, &sx, &sy, camera, view))
            return false;
        for (int r = 0; r <= 8; r++)
            for (int dy = -r; dy <= r; dy++)
                for (int dx = -r; dx <= r; dx++) {
                    if (std::max(std::abs(dx), std::abs(dy)) != r)
                        continue;
                    if (Edit_ElemOfActor(Edit_PickActor(sx + dx, sy + dy)) == want) {
                        *px = sx + dx;
                        *py = sy + dy;
                        return true;
                    }
                }
        return false;
    }

    // The top of an element's cell, in the field root's frame.
    bool top_of(const TrElem *e, int32_t *x, int32_t *y)
    {
        const float p[3] = {0.1f * e->io->x + 0.05f, 0.055f * e->io->y - 0.002f, 0.1f * e->io->z + 0.05f};
        return point_on(root, p, e, x, y);
    }

    // Turns a ball to `key` with the mouse: its arrow opens the direction mode, a marker sets it.
    void turn_ball(TrElem *ball, int32_t key)
    {
        if (!Dir_Active()) {
            ASSERT_NE(ball->markerActor, nullptr);
            const float tip[3] = {0, 0, 0};
            int32_t x, y;
            ASSERT_TRUE(point_on(ball->markerActor, tip, ball, &x, &y)) << "the arrow of a ball";
            Edit_Hover(x, y);
            if (!Dir_Active())
                mouse_click(x, y);
        }
        ASSERT_EQ(Dir_Current(), ball);
        TrElem *marker = Dir_Marker(key);
        ASSERT_NE(marker->actor, nullptr);
        const float centre[3] = {0, 0, 0};
        int32_t x, y;
        ASSERT_TRUE(point_on(marker->actor, centre, marker, &x, &y)) << "marker " << key;
        mouse_click(x, y);
        EXPECT_EQ(ball->io->direction, key);
        EXPECT_EQ(Dir_Active(), 0);
    }

    void solve(const std::string &path)
    {
        SCOPED_TRACE(path);
        // The solution: the field as stored, with its supplied pieces where they belong.
        TrPalya *stored = Palya_FOpenLoad(path.c_str());
        ASSERT_NE(stored, nullptr);
        std::vector<EIo> pieces, turned;
        for (int32_t i = 0; i < stored->count; i++) {
            const EIo &io = *stored->elements[i]->io;
            if (!(io.flags & EF_LEVEL_PART))
                pieces.push_back(io);
            else if ((io.flags & EF_BALL) && !(io.flags & EF_DIR_LOCKED))
                turned.push_back(io);
        }
        Palya_Free(stored);
        std::sort(pieces.begin(), pieces.end(), [](const EIo &a, const EIo &b) { return a.y < b.y; });

        ASSERT_EQ(Palya_Replace(path.c_str(), opaque, translucent, root), 1);
        TrCatalogueBuild(nullptr);
        TrCatalogueShowSupplied();
        TrPlaceFieldCamera(camera, Palya_Current());
        PickInit(world, camera, view, 0);

        for (const EIo &p : pieces) {
            TrElem *item = TrCatalogueFind(p.type, p.direction);
            ASSERT_NE(item, nullptr) << p.type;
            ASSERT_GT(Supply_Get(p.type, p.direction), 0);
            // The catalogue stands in a view of its own: its click is taken at the sample.
            Edit_SampleClick(item);
            ASSERT_EQ(Edit_Hand(), item);
            TrElem *below = Palya_FindCell(Palya_Current(), p.x, p.y - 1, p.z);
            ASSERT_NE(below, nullptr);
            int32_t x, y;
            ASSERT_TRUE(top_of(below, &x, &y)) << "the top of " << p.x << "," << p.y - 1 << "," << p.z;
            mouse_click(x, y);
            TrElem *made = Palya_FindCell(Palya_Current(), p.x, p.y, p.z);
            ASSERT_NE(made, nullptr) << (rec().texts.empty() ? "" : rec().texts.back());
            EXPECT_EQ(made->io->type, p.type);
            EXPECT_EQ(Edit_Hand(), nullptr);
            if (p.flags & EF_BALL)
                turn_ball(made, p.direction);
        }
        for (const EIo &b : turned)
            turn_ball(Palya_FindCell(Palya_Current(), b.x, b.y, b.z), b.direction);
        ASSERT_EQ(Palya_AllDirectionsSet(), 1);
        // Start: the toolbar's button under the mouse.
        const TrButton *start = TrToolbarButton(TR_BTN_START);
        mouse_click(start->hitX + start->hitW / 2, start->hitY + start->hitH / 2);
        ASSERT_EQ(TrSimGet()->runActive, 1) << (rec().texts.empty() ? "" : rec().texts.back());
        for (int i = 0; i < 20000 && rec().victories == 0 && TrSimGet()->runActive; i++) {
            PlatAdvanceClock(40);
            TrRunFrame();
        }
        EXPECT_EQ(rec().victories, 1) << "solved with the mouse";
        EXPECT_EQ(TrSimGet()->runActive, 0) << "the solved run stopped itself";
    }

    br_pixelmap *view = nullptr;
    br_actor *world = nullptr, *camera = nullptr, *root = nullptr, *opaque = nullptr, *translucent = nullptr;
    FFPACKHANDLE *pack = nullptr;
};

// The editor builds beside a block by the face the mouse is over; the hand model, shown on the place
// it proposes, never takes the pick from the block behind it.
TEST_F(Scene, EditorBuildsOnTheSideUnderTheMouse)
{
    TrPlayModeGet()->game = 0;
    TrPalya *f = Palya_New();
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(Palya_Install(f, opaque, translucent, root), 1);
    TrCatalogueBuild(nullptr);
    TrPlaceFieldCamera(camera, Palya_Current());
    PickInit(world, camera, view, 0);
    TrElem *block = Palya_Add(2, 1, 2, 0, TY_T_SIMA, 1, 0);
    ASSERT_NE(block, nullptr);
    TrElem *item = TrCatalogueFind(TY_T_SIMA, 0);
    TrToolSelect(0);
    Edit_TakeInHand(item, 1);
    // A point on the block's side towards the camera (+x or -z, whichever shows).
    struct Face {
        float p[3];
        int32_t x, y, z;
    } faces[] = {{{0.299f, 0.03f, 0.25f}, 3, 1, 2}, {{0.25f, 0.03f, 0.201f}, 2, 1, 1},
                 {{0.201f, 0.03f, 0.25f}, 1, 1, 2}, {{0.25f, 0.03f, 0.299f}, 2, 1, 3}};
    int built = 0;
    for (const Face &fc : faces) {
        int32_t x, y;
        if (!point_on(root, fc.p, block, &x, &y))
            continue;
        const int32_t side = Edit_ChooseSide(block, TY_T_SIMA, x, y);
        int32_t dx, dy, dz;
        Palya_SideOffset(side, &dx, &dy, &dz);
        if (dy != 0 || 2 + dx != fc.x || 2 + dz != fc.z)
            continue;  // this side does not face the camera
        Edit_Hover(x, y);
        ASSERT_EQ(Edit_HandModelShown(), 1);
        EXPECT_EQ(Edit_ElemOfActor(Edit_PickActor(x, y)), block) << "the hand model is not picked";
        mouse_click(x, y);
        TrElem *made = Palya_FindCell(Palya_Current(), fc.x, fc.y, fc.z);
        ASSERT_NE(made, nullptr) << "beside the block at " << fc.x << "," << fc.z;
        EXPECT_TRUE(made->io->flags & EF_LEVEL_PART);
        built++;
    }
    EXPECT_GE(built, 1);
    EXPECT_EQ(Edit_Hand(), item);
}

TEST_F(Scene, OneShippedFieldOfEachListSolvedWithTheMouse)
{
    for (const char *name : {"Demo_Ea", "Stand_Bl", "Ch_Ac", "Hard_De", "Extra_Cr"}) {
        rec() = playtest::Record{};
        solve(std::string(VOK_BIN_DIR "/fw/Fields/") + name + ".trl");
        if (TrSimGet()->runActive)
            TrRunKeyStop();
        TrButtonSetState(TrToolbarButton(TR_BTN_START), 0);  // the stop's release of the button
        Edit_Reset();
    }
}

}  // namespace
