// The element catalogue: its samples and lookups, the layouts of the ball slots, what the supply
// shows in the game and the editor, and the ring.
#include <math.h>

#include "playtest.h"

using playtest::Play;

namespace {

class Catalogue : public Play {
protected:
    void SetUp() override
    {
        Play::SetUp();
        load("balls 1\nelem 0 0 0 0 block\nelem 1 0 0 0 goal\n", 1);
        TrCatalogueBuild(nullptr);
    }

    static int index_of(const TrElem *e)
    {
        for (int32_t i = 0; i < TrCatalogueCount(); i++)
            if (TrCatalogueAt(i) == e)
                return i;
        return -1;
    }
};

}  // namespace

TEST_F(Catalogue, FindMatchesBallsOnTypeAndTilesOnDirection)
{
    ASSERT_EQ(TrCatalogueCount(), 17);
    struct Case {
        int32_t type, dir;
        int index;  // -1: none
    } cases[] = {
        {TY_G_UVEG, 0, 0}, {TY_G_FEM, 3, 1}, {TY_G_BOMBA, 1, 3},   {TY_T_SAROK, 2, 4},  {TY_T_SAROK, 0, 6},
        {TY_T_LEJTO, 1, 9}, {TY_T_LEJTO, 3, 11}, {TY_T_SIMA, 0, 12}, {TY_T_SIMA, 1, -1}, {TY_T_MAGNES, 0, 13},
        {TY_T_INDITO, 0, 14}, {TY_T_CEL, 0, 16}, {TY_T_TALAJ, 0, -1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(index_of(TrCatalogueFind(c.type, c.dir)), c.index) << c.type << " " << c.dir;
    // Samples whose direction is "none" have none: direction 0 and no marker.
    EXPECT_EQ(TrCatalogueAt(13)->io->direction, 0);
    EXPECT_EQ(TrCatalogueAt(13)->markerActor, nullptr);
    EXPECT_NE(TrCatalogueAt(12)->markerActor, nullptr);
    EXPECT_TRUE(TrCatalogueAt(4)->io->flags & EF_SAMPLE);
    EXPECT_EQ(TrCatalogueSetVariant(TY_T_MAGNES, 3, 7)->io->variant, 0);  // no look: 0
}

TEST_F(Catalogue, GameLayoutPutsSuppliedBallsInTheListsSlots)
{
    struct Case {
        int32_t layout;
        std::vector<int32_t> supplied;
        std::vector<std::pair<int32_t, int32_t>> slots;  // type, slot
    } cases[] = {
        {0, {0, 1, 2, 3}, {{3, 1}, {0, 2}, {1, 0}, {2, 3}}},
        {1, {0, 2}, {{0, 0}, {2, 1}}},
        {2, {3, 1}, {{3, 3}, {1, 2}}},
    };
    for (const Case &c : cases) {
        Supply_Clear();
        for (int32_t t : c.supplied)
            Supply_Add(t, 0);
        Palya_Current()->ballLayout = c.layout;
        TrCatalogueLayoutGame();
        for (auto [type, slot] : c.slots) {
            float p[3];
            TrCatalogueSlotPosition(slot, 1.0f, p);
            const br_matrix34 &m = TrCatalogueFind(type, 0)->actor->t.t.mat;
            EXPECT_NEAR(m.m[3][0], p[0], 1e-5f) << c.layout << " type " << type;
            EXPECT_NEAR(m.m[3][2], p[2], 1e-5f) << c.layout << " type " << type;
        }
    }
    // Start layout 1 swaps the stored pair.
    float a[2][3], b[2][3];
    Palya_Current()->startLayout = 0;
    TrCatalogueLayoutGame();
    TrCataloguePair(a);
    Palya_Current()->startLayout = 1;
    TrCatalogueLayoutGame();
    TrCataloguePair(b);
    EXPECT_FLOAT_EQ(a[0][0], b[1][0]);
    EXPECT_FLOAT_EQ(a[1][2], b[0][2]);
}

TEST_F(Catalogue, FarCameraSpreadsTheSlotsTenPercent)
{
    float p[3];
    TrCatalogueSlotPosition(0, 1.0f, p);
    EXPECT_NEAR(p[0], -0.795f * cosf(0.19375f * 3.14159265f), 1e-5f);
    EXPECT_FLOAT_EQ(p[1], 0.04f);
    Palya_Current()->distance = 2.04f;
    EXPECT_FLOAT_EQ(TrCatalogueLayoutFactor(), 1.0f);
    Palya_Current()->distance = 2.05f;
    EXPECT_FLOAT_EQ(TrCatalogueLayoutFactor(), 1.1f);
    TrCatalogueLayoutEditor();
    float q[3];
    TrCatalogueSlotPosition(2, 1.1f, q);
    EXPECT_NEAR(TrCatalogueFind(TY_G_GUMI, 0)->actor->t.t.mat.m[3][2], q[2], 1e-5f);
}

TEST_F(Catalogue, SupplyDecidesWhatIsShown)
{
    // The game with an empty supply: every sample hidden, out of stock, dark.
    Supply_Clear();
    TrCatalogueShowSupplied();
    for (int32_t i = 0; i < TrCatalogueCount(); i++) {
        EXPECT_FALSE(TrCatalogueShown(i)) << i;
        EXPECT_TRUE(TrCatalogueAt(i)->io->flags & EF_OUT_OF_STOCK) << i;
        EXPECT_EQ(TrCatalogueShownCount(i), -1);
    }
    // One slope of one direction shows every slope and corner; a count above 9 shows 9.
    Supply_Add(TY_T_LEJTO, 1);
    for (int i = 0; i < 12; i++)
        Supply_Add(TY_T_SIMA, 0);
    TrCatalogueShowSupplied();
    for (int32_t i = 0; i < TrCatalogueCount(); i++) {
        const int32_t t = TrCatalogueAt(i)->io->type;
        EXPECT_EQ(TrCatalogueShown(i), t == TY_T_LEJTO || t == TY_T_SAROK || t == TY_T_SIMA) << i;
    }
    EXPECT_EQ(TrCatalogueShownCount(9), 1);
    EXPECT_EQ(TrCatalogueShownCount(12), 9);
    EXPECT_EQ(TrCatalogueAt(12)->io->flags & EF_OUT_OF_STOCK, 0u);
    // The editor marks nothing out of stock.
    TrPlayModeGet()->game = 0;
    Supply_Clear();
    EXPECT_EQ(TrCatalogueAt(12)->io->flags & EF_OUT_OF_STOCK, 0u);
    TrCatalogueShowAll();
    for (int32_t i = 0; i < TrCatalogueCount(); i++)
        EXPECT_TRUE(TrCatalogueShown(i));
}

TEST_F(Catalogue, RingHasSixteenTurnedPieces)
{
    br_actor *root = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    TrRingBuild(root);
    for (int32_t i = 0; i < 16; i++) {
        TrElem *e = TrRingAt(i);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->io->type, 100);
        EXPECT_EQ(e->io->variant, Elem_VariantKnown(100, i) ? i : 0);
        EXPECT_EQ(e->actor->parent, root);
        EXPECT_NEAR(e->actor->t.t.mat.m[3][1], 0.077f, 1e-6f);
    }
    EXPECT_EQ(TrRingAt(16), nullptr);
    TrCatalogueFree();
    BrActorFree(root);
}
