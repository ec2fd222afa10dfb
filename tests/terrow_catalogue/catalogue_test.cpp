// The element catalogue: its samples and lookups, the layouts of the ball slots, what the supply
// shows in the game and the editor, and the ring.
#include <math.h>

#include <utility>
#include <vector>

#include <brondel/brmodel.h>

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

TEST_F(Catalogue, CountModelsAndTheRingsMaterials)
{
    // A shown sample's marker takes the count model of its held count.
    static std::vector<std::pair<TrElem *, int>> counts;
    static std::vector<std::pair<TrElem *, int>> materials;
    counts.clear();
    materials.clear();
    TrPlayHooks h = *TrPlayHooksGet();
    h.countModel = [](TrElem *e, int32_t n) { counts.emplace_back(e, n); };
    h.lookSetMaterialOf = [](TrElem *e, int32_t type, int32_t variant) {
        EXPECT_EQ(type, 100);
        materials.emplace_back(e, variant);
    };
    TrSetPlayHooks(&h);
    Supply_Clear();
    for (int i = 0; i < 11; i++)
        Supply_Add(TY_T_SIMA, 0);
    Supply_Add(TY_T_LEJTO, 1);
    counts.clear();
    TrCatalogueSupplyShow();
    EXPECT_EQ(counts, (std::vector<std::pair<TrElem *, int>>{{TrCatalogueAt(9), 1}, {TrCatalogueAt(12), 9}}));

    // The ring's materials from variant base + k (no look of its own: the first), then moved.
    TrRingBuild(nullptr);
    TrRingRefresh(2);
    ASSERT_EQ(materials.size(), 16u);
    for (int32_t k = 0; k < 16; k++) {
        EXPECT_EQ(materials[size_t(k)].first, TrRingAt(k));
        EXPECT_EQ(materials[size_t(k)].second, Elem_VariantKnown(100, 2 + k) ? 2 + k : 0) << k;
    }
    TrRingShift(0.5f);  // without materials nothing is touched
}

TEST_F(Catalogue, SurfacePointsOfTheFieldsPiecesApartFromBalls)
{
    // A box model (eight corners), a point at its middle height and one next to a corner.
    std::vector<br_vertex> verts;
    for (int c = 0; c < 8; c++) {
        br_vertex v{};
        v.p = {{c & 1 ? 0.05f : -0.05f, c & 2 ? 0.0275f : -0.0275f, c & 4 ? 0.05f : -0.05f}};
        verts.push_back(v);
    }
    br_vertex mid{}, near{};
    mid.p = {{0.05f, 0.0f, 0.0f}};
    near.p = {{0.05f, 0.0275f, 0.04f}};
    verts.push_back(mid);
    verts.push_back(near);
    br_model box{};
    box.vertices = verts.data();
    box.nvertices = br_uint_16(verts.size());

    load("balls 1\nelem 0 0 0 0 block\nelem 2 0 0 0 nailed\nelem 0 1 0 2 iron\nelem 1 0 0 0 goal\n", 0);
    TrPalya *f = Palya_Current();
    for (int32_t i = 0; i < f->count; i++)
        if (f->elements[i]->io->type != TY_T_CEL)
            f->elements[i]->actor->model = &box;
    float points[64][3];
    // The block: 8 corners and its middle point; the nailed block only its corners; no ball.
    EXPECT_EQ(TrSurfacePoints(points, 64), 17);
    for (int32_t i = 0; i < 17; i++)
        EXPECT_LT(points[i][1], 0.03f) << i;  // nothing of the ball above
    EXPECT_EQ(TrSurfacePoints(points, 5), 5);
    for (int32_t i = 0; i < f->count; i++)
        f->elements[i]->actor->model = nullptr;
}

TEST_F(Catalogue, TakingAnotherLooksMaterialKeepsTheVariant)
{
    // Debris takes the broken piece's material in its variant and stays variant 0.
    TrInstallLookHooks();
    TrElem *debris = Elem_New(-1, -1, -1, 0, 20 + 70, EF_RUN_MADE);
    ASSERT_NE(debris, nullptr);
    TrPlayHooksGet()->lookSetMaterialOf(debris, 20, 2);
    EXPECT_EQ(debris->io->variant, 0);
    Elem_Free(debris);
}
