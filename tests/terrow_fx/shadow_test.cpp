// Ball shadows on the generated models: the height fade, the texture band, and which receivers take
// a shadow.
#include <gtest/gtest.h>

#include <brondel/bractor.h>

#include "fixture.h"
#include "terrow/trfx.h"
#include "terrow/trplay.h"

namespace {

TEST(ShadowMaths, HeightFade)
{
    struct Case {
        float height, fade;
    } cases[] = {{-0.2f, 1.0f}, {0.0f, 1.0f}, {0.0625f, 1.0f}, {0.475f, 0.5f}, {0.8874f, 0.000121f}, {0.8875f, 0.0f}, {3.0f, 0.0f}};
    for (const Case &c : cases)
        EXPECT_NEAR(Shadow_Fade(c.height), c.fade, 1e-4f) << c.height;
}

TEST(ShadowMaths, TextureBand)
{
    struct Case {
        float v, fade, g;
    } cases[] = {
        {0.2f, 1, 1.0f},      {0.075f, 1, 1.0f},    {0.05f, 1, 0.8334f},  {0.025f, 1, 0.6667f},
        {0.0f, 1, 0.5f},      {-0.025f, 1, 0.3333f}, {-0.05f, 1, 0.16665f}, {-0.075f, 1, 0.0f},
        {-0.2f, 1, 0.0f},     {0.0f, 0, 0.5f},       {0.04f, 0, 0.63336f},  {0.06f, 0, 1.0f},
        {-0.06f, 0, 0.0f},
    };
    for (const Case &c : cases)
        EXPECT_NEAR(Shadow_Band(c.v, c.fade), c.g, 1e-4f) << c.v << " at fade " << c.fade;
}

class Shadows : public trtest::Brondel {
protected:
    void SetUp() override
    {
        trtest::Brondel::SetUp();
        load_all();
        ASSERT_EQ(chdir(VOK_BIN_DIR), 0);  // the shadow's picture lies under the read root
        TrInstallLookHooks();
        TrInstallFxHooks(nullptr, nullptr, nullptr);
        TrPlayModeGet()->game = 0;
        root = BrActorAllocate(BR_ACTOR_NONE, nullptr);
        opaque = BrActorAdd(root, BrActorAllocate(BR_ACTOR_NONE, nullptr));
        translucent = BrActorAdd(root, BrActorAllocate(BR_ACTOR_NONE, nullptr));
        ASSERT_EQ(Palya_Install(Palya_NewEmpty(), opaque, translucent, nullptr), 1);
    }
    void TearDown() override
    {
        Palya_Release();
        TrSetPlayHooks(nullptr);
        BrActorFree(root);
        trtest::Brondel::TearDown();
    }
    br_actor *root = nullptr, *opaque = nullptr, *translucent = nullptr;
};

TEST_F(Shadows, EveryReceiverButTheCornerTakesOne)
{
    TrElem *slope = Palya_Add(1, 0, 1, 1, TY_T_LEJTO, 1, 0);
    TrElem *corner = Palya_Add(2, 0, 1, 0, TY_T_SAROK, 1, 0);
    TrElem *tile = Palya_Add(1, 0, 2, 0, TY_T_SIMA, 1, 0);
    TrElem *magnet = Palya_Add(2, 0, 2, 0, TY_T_MAGNES, 1, 0);
    TrElem *ball = Palya_Add(1, 1, 1, 0, TY_G_FEM, 1, 0);
    ASSERT_NE(ball, nullptr);
    for (br_actor *a : ball->shadowActors)
        ASSERT_NE(a, nullptr) << "four shadows come with the ball's actors";
    EXPECT_EQ(ball->shadowReceivers[0], slope) << "the piece below";
    EXPECT_EQ(slope->shadowActors[0], nullptr);

    ball->shadowReceivers[0] = slope;
    ball->shadowReceivers[1] = corner;
    ball->shadowReceivers[2] = tile;
    ball->shadowReceivers[3] = magnet;
    Shadow_Update(ball);
    EXPECT_EQ(ball->shadowActors[0]->parent, translucent);
    EXPECT_EQ(ball->shadowActors[0]->model, Model_Get("lejtof.mod", 0));
    EXPECT_EQ(ball->shadowActors[1]->parent, nullptr) << "a corner takes none";
    EXPECT_EQ(ball->shadowActors[2]->parent, translucent);
    EXPECT_EQ(ball->shadowActors[2]->model, Model_Get("lapf.mod", 0));
    EXPECT_EQ(ball->shadowActors[3]->model, Model_Get("magnes.mod", 0));

    // Fewer receivers: the shadows after the last one leave the scene.
    ball->shadowReceivers[1] = nullptr;
    Shadow_Update(ball);
    EXPECT_EQ(ball->shadowActors[0]->parent, translucent);
    EXPECT_EQ(ball->shadowActors[2]->parent, nullptr);
    EXPECT_EQ(ball->shadowActors[3]->parent, nullptr);
    // A sunk ball casts none.
    ball->io->flags |= EF_SUNK;
    Shadow_Update(ball);
    EXPECT_EQ(ball->shadowActors[0]->parent, nullptr);
    EXPECT_TRUE(trtest::boxes().empty()) << trtest::boxes().front();
}

TEST_F(Shadows, FullSizeRestingAndNoneHighAbove)
{
    TrElem *tile = Palya_Add(3, 0, 3, 0, TY_T_SIMA, 1, 0);
    TrElem *ball = Palya_Add(3, 1, 3, 0, TY_G_GUMI, 1, 0);
    ASSERT_EQ(ball->shadowReceivers[0], tile);
    const float *r = tile->actor->t.t.mat.m[3];
    struct Case {
        float above, dx, scale;
    } cases[] = {{0.0625f, 0.0f, 1.0f}, {0.0625f, 0.03f, 1.0f}, {0.475f, 0.0f, 0.5f}, {0.8875f, 0.0f, 0.0f}, {1.5f, 0.0f, 0.0f}};
    for (const Case &c : cases) {
        BrMatrix34Translate(&ball->actor->t.t.mat, r[0] + c.dx, r[1] + c.above, r[2]);
        Shadow_Update(ball);
        br_actor *s = ball->shadowActors[0];
        ASSERT_EQ(s->parent, translucent) << c.above;
        EXPECT_NEAR(s->t.t.mat.m[0][0], c.scale, 1e-4f) << c.above;
        EXPECT_NEAR(s->t.t.mat.m[1][1], 1.0f, 1e-6f) << "flat tiles keep their height";
        if (c.scale > 0.0f) {
            // The shadow stands at the receiver, raised by 0.005, scaled about the point below the ball.
            EXPECT_NEAR(s->t.t.mat.m[3][1], r[1] + 0.005f, 1e-5f);
            EXPECT_NEAR(s->t.t.mat.m[3][0], r[0] + c.dx * (1.0f - c.scale), 1e-5f);
        }
        // The spot moves with the ball within the plate: centred for a ball at its middle.
        const float g = Shadow_Band(c.dx, Shadow_Fade(c.above));
        EXPECT_NEAR(s->material->map_transform.m[2][0], (g - 1.0f) * 0.4f + 1.0f - g, 1e-5f);
    }
}

}  // namespace
