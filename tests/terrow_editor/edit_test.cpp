// The mouse work over a field made from text: each window point picks what the test put there, so
// every rule, click and drag is followed exactly.
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <brondel/bractor.h>
#include <brondel/brmaterial.h>

#include "playtest.h"
#include "terrow/tredit.h"
#include "terrow/trtoolbar.h"

using playtest::Play;
using playtest::rec;

namespace {

struct Hit {
    TrElem *elem;
    br_actor *actor;
    int32_t face;
};

struct Scene {
    std::map<std::pair<int, int>, Hit> points;
    int32_t tool = 0;
    std::vector<std::pair<int32_t, int32_t>> cursors;
    std::vector<std::pair<float, float>> orbits;
    int mouseX = 0, mouseY = 0;
    int handSeenByPick = 0;
} g_scene;

TrElem *fake_pick(int32_t x, int32_t y, br_actor **actor, int32_t *face)
{
    if (Edit_HandElem() != nullptr && Edit_HandElem()->actor != nullptr &&
        Edit_HandElem()->actor->type != BR_ACTOR_NONE)
        g_scene.handSeenByPick++;
    auto it = g_scene.points.find({x, y});
    // An element that has left the field is no longer seen there.
    if (it != g_scene.points.end()) {
        const TrElem *e = it->second.elem;
        bool alive = Palya_IndexOf(Palya_Current(), e) >= 0;
        for (int32_t i = 0; i < TrCatalogueCount(); i++)
            alive = alive || TrCatalogueAt(i) == e;
        for (int32_t k = 0; k < 4; k++)
            alive = alive || Dir_Marker(k) == e;
        if (!alive)
            it = g_scene.points.end();
    }
    if (it == g_scene.points.end()) {
        *actor = nullptr;
        *face = -1;
        return nullptr;
    }
    *actor = it->second.actor != nullptr ? it->second.actor : it->second.elem->actor;
    *face = it->second.face;
    return it->second.elem;
}

class Edit : public Play {
protected:
    void SetUp() override
    {
        Play::SetUp();
        g_scene = Scene{};
        TrEditHooks h{};
        h.pick = fake_pick;
        h.isCube = [](const TrElem *e) { return e->io->type == TY_T_SIMA ? 1 : 0; };
        h.cursor = [](int32_t code, int32_t dir) { g_scene.cursors.push_back({code, dir}); };
        h.orbit = [](float dx, float dy) { g_scene.orbits.push_back({dx, dy}); };
        h.tool = [] { return g_scene.tool; };
        h.mouse = [](int32_t *x, int32_t *y) {
            *x = g_scene.mouseX;
            *y = g_scene.mouseY;
        };
        h.toolbarPress = [](int32_t, int32_t, int) { return 0; };
        Edit_SetHooks(&h);
    }
    void TearDown() override
    {
        Edit_Reset();
        Edit_SetHooks(nullptr);
        Play::TearDown();
    }
    // The field in the given mode, with the catalogue and cleared counters.
    void field(const std::string &text, int game)
    {
        load(text, game);
        TrCatalogueBuild(nullptr);
        Supply_Clear();
    }
    static void put(int x, int y, TrElem *e, int32_t face = -1, br_actor *actor = nullptr)
    {
        g_scene.points[{x, y}] = Hit{e, actor, face};
    }
    static void click(int x, int y)
    {
        Edit_LeftPress(x, y);
        Edit_LeftRelease(x, y);
    }
    static bool fixed(const TrElem *e) { return (e->io->flags & EF_LEVEL_PART) != 0; }
    static std::string last_text() { return rec().texts.empty() ? "" : rec().texts.back(); }
};

const char *kRulesField =
    "balls 1\nfloor 6\n"
    "elem 0 1 0 0 block\n"
    "elem 1 1 0 0 start\n"
    "elem 2 1 0 0 slope\n"
    "elem 3 1 0 0 nailed\n"
    "elem 4 1 0 0 goal\n"
    "elem 5 1 0 1 corner\n"
    "elem 0 1 1 0 iron\n"
    "elem 1 1 1 0 start\n"
    "elem 1 3 1 0 block\n"
    "elem 2 1 1 0 block\nelem 2 2 1 0 block\n"
    "elem 3 9 3 0 block\n";

TEST_F(Edit, PlacementRulesOfTheGameAndTheEditor)
{
    field(kRulesField, 1);
    EXPECT_STREQ(TrMessage(14), "No space for it!");
    TrElem *sample = TrCatalogueFind(TY_T_SIMA, 0);
    struct Top {
        TrElem *target;
        int32_t type, dir;
        const char *refusal;  // null: allowed
    } tops[] = {
        {sample, TY_T_SIMA, 0, "Ez minta"},
        {at(2, 1, 1), TY_T_SIMA, 0, TrMessage(14)},
        {at(0, 1, 0), TY_G_FEM, 0, TrMessage(15)},
        {at(1, 1, 0), TY_G_FEM, 0, nullptr},
        {at(0, 1, 1), TY_T_SIMA, 0, TrMessage(16)},
        {at(1, 1, 0), TY_T_SIMA, 0, TrMessage(17)},
        {at(2, 1, 0), TY_T_SIMA, 0, TrMessage(16)},
        {at(3, 1, 0), TY_T_SIMA, 0, TrMessage(16)},
        {at(4, 1, 0), TY_T_SIMA, 0, TrMessage(16)},
        {at(5, 1, 0), TY_T_SAROK, 1, nullptr},
        {at(5, 1, 0), TY_T_SAROK, 2, TrMessage(11)},
        {at(5, 1, 0), TY_T_SIMA, 1, TrMessage(11)},
        {at(0, 1, 0), TY_T_LEJTO, 3, nullptr},
    };
    for (const Top &c : tops) {
        ASSERT_NE(c.target, nullptr);
        EXPECT_EQ(Edit_CheckTop(c.target, c.type, c.dir), c.refusal == nullptr ? 1 : 0) << c.target->io->type;
        EXPECT_STREQ(Edit_Refusal(), c.refusal) << c.target->io->type << " " << c.type;
    }
    struct Side {
        TrElem *target;
        int32_t type, side;
        const char *refusal;
    } sides[] = {
        {sample, TY_T_SIMA, 4, "Ez minta"},
        {at(2, 1, 1), TY_T_SIMA, 4, TrMessage(14)},       // taken
        {at(3, 9, 3), TY_T_SIMA, 4, TrMessage(14)},       // y 10
        {at(3, 9, 3), TY_T_SIMA, 3, nullptr},
        {at(5, 1, 0), TY_T_SIMA, 3, TrMessage(14)},       // outside the field
        {at(0, 1, 0), TY_T_SIMA, 5, TrMessage(14)},       // the floor below
        {at(1, 1, 0), TY_G_GUMI, 4, nullptr},             // start, two free above
        {at(1, 1, 1), TY_G_GUMI, 4, TrMessage(15)},       // start, the second cell above taken
        {at(0, 1, 0), TY_G_GUMI, 4, TrMessage(15)},
        {at(0, 1, 1), TY_T_SIMA, 0, TrMessage(16)},       // a tile beside a ball
        {at(2, 1, 0), TY_T_SIMA, 4, nullptr},             // on a slope: the editor allows it
    };
    for (const Side &c : sides) {
        ASSERT_NE(c.target, nullptr);
        EXPECT_EQ(Edit_CheckSide(c.target, c.type, c.side), c.refusal == nullptr ? 1 : 0)
            << c.target->io->x << "," << c.target->io->y << " side " << c.side;
        EXPECT_STREQ(Edit_Refusal(), c.refusal);
    }
}

TEST_F(Edit, SideFromTheCubesFaceElseOnTop)
{
    field("balls 1\nfloor 3\nelem 1 1 1 0 block\nelem 0 1 0 0 start\n", 0);
    const int32_t table[12] = {4, 4, 3, 3, 1, 1, 2, 2, 0, 0, 5, 5};
    for (int32_t f = 0; f < 12; f++)
        EXPECT_EQ(Edit_FaceSide(f), table[f]);
    EXPECT_EQ(Edit_FaceSide(-1), 4);
    EXPECT_EQ(Edit_FaceSide(12), 4);
    EXPECT_EQ(Edit_FaceSide(1000), 4);
    put(50, 50, at(1, 1, 1), 11);
    put(60, 60, at(0, 1, 0), 11);
    EXPECT_EQ(Edit_ChooseSide(at(1, 1, 1), TY_T_SIMA, 50, 50), 5) << "the lower face: below";
    EXPECT_EQ(Edit_ChooseSide(at(1, 1, 1), TY_G_FEM, 50, 50), 4) << "a ball always on top";
    EXPECT_EQ(Edit_ChooseSide(at(0, 1, 0), TY_T_SIMA, 60, 60), 4) << "not a cube";
    put(50, 50, at(1, 1, 1), 77);
    EXPECT_EQ(Edit_ChooseSide(at(1, 1, 1), TY_T_SIMA, 50, 50), 4) << "a face the table lacks";
    // Built beside the cube's lower face: the cell below.
    TrElem *item = TrCatalogueFind(TY_T_SIMA, 0);
    put(10, 10, item);
    put(50, 50, at(1, 1, 1), 10);
    click(10, 10);
    ASSERT_EQ(Edit_Hand(), item);
    click(50, 50);
    ASSERT_NE(at(1, 0, 1), nullptr);
    EXPECT_TRUE(fixed(at(1, 0, 1)));
    EXPECT_EQ(Edit_Hand(), item) << "the builder keeps the piece for the next";
}

TEST_F(Edit, SupplyLimitsAndTheEmptySupply)
{
    field("balls 1\nfloor 3\nelem 1 1 1 0 block\nelem 0 1 0 1 slope\n", 0);
    for (int i = 0; i < 9; i++)
        Supply_Add(TY_T_SIMA, 0);
    Edit_MakeSupplied(at(1, 1, 1));
    EXPECT_TRUE(fixed(at(1, 1, 1))) << "a tenth supplied piece of a kind changes nothing";
    EXPECT_EQ(Supply_Get(TY_T_SIMA, 0), 9);
    Supply_Clear();
    Edit_MakeSupplied(at(1, 1, 1));
    EXPECT_FALSE(fixed(at(1, 1, 1)));
    EXPECT_EQ(at(1, 1, 1)->io->variant, 1);
    EXPECT_EQ(Supply_Get(TY_T_SIMA, 0), 1);
    Edit_MakeFixed(at(1, 1, 1));
    Edit_MakeFixed(at(1, 1, 1));
    EXPECT_EQ(Supply_Get(TY_T_SIMA, 0), 0);
    EXPECT_EQ(Supply_Take(TY_T_SIMA, 0), 0);
    EXPECT_EQ(Supply_Get(TY_T_SIMA, 0), 0) << "never below 0";
    // Magnets, nailed blocks and goals are always fixed; pieces without a counter stay fixed.
    TrElem *magnet = Palya_Add(2, 1, 2, 0, TY_T_MAGNES, 1, 0);
    Edit_MakeSupplied(magnet);
    EXPECT_TRUE(fixed(magnet));
    TrElem *odd = Palya_Add(2, 1, 0, 4, TY_T_SIMA, 1, 0);
    ASSERT_NE(odd, nullptr);
    Edit_MakeSupplied(odd);
    EXPECT_TRUE(fixed(odd)) << "direction 4 has no counter";
    TrElem *marker = Dir_Marker(2);
    marker->io->flags &= ~EF_LEVEL_PART;
    Edit_MakeFixed(marker);  // type 100: the guard keeps it away from the counters
    for (int32_t t = 0; t < 100; t++)
        for (int32_t d = 0; d < 4; d++)
            EXPECT_EQ(Supply_Get(t, d), 0);

    // In the game a take from an empty supply names the type.
    TrPlayModeGet()->game = 1;
    TrElem *slope = TrCatalogueFind(TY_T_LEJTO, 1);
    put(10, 10, slope);
    click(10, 10);
    EXPECT_EQ(Edit_Hand(), nullptr);
    char want[200];
    snprintf(want, sizeof want, "%s NOT available!", Elem_TypeName(TY_T_LEJTO));
    EXPECT_EQ(last_text(), want);
    EXPECT_STREQ(Elem_TypeName(TY_T_TALAJ), "No Name");
    EXPECT_STREQ(Elem_TypeName(TY_T_SIMA), TrMessage(Elem_TypeMessage(TY_T_SIMA)));
}

TEST_F(Edit, TheSameItemAgainEmptiesTheHandAndNearClicksKeepIt)
{
    field("balls 1\nfloor 3\n", 1);
    Supply_Add(TY_T_SIMA, 0);
    Supply_Add(TY_T_SIMA, 0);
    TrElem *item = TrCatalogueFind(TY_T_SIMA, 0);
    put(10, 10, item);
    click(10, 10);
    ASSERT_EQ(Edit_Hand(), item);
    EXPECT_EQ(Supply_Get(TY_T_SIMA, 0), 1);
    EXPECT_EQ(g_scene.cursors.back().first, 4) << "the block's cursor";
    click(10, 10);
    EXPECT_EQ(Edit_Hand(), nullptr);
    EXPECT_EQ(Supply_Get(TY_T_SIMA, 0), 2);
    EXPECT_EQ(g_scene.cursors.back().first, 0);

    click(10, 10);
    put(107, 100, at(0, 0, 0));
    click(100, 100);
    EXPECT_EQ(Edit_Hand(), item) << "an element 7 px away keeps the hand";
    click(130, 100);
    EXPECT_EQ(Edit_Hand(), nullptr);
    EXPECT_EQ(Supply_Get(TY_T_SIMA, 0), 2) << "back to the supply";
    EXPECT_EQ(g_scene.handSeenByPick, 0) << "no pick ever saw the hand model";
}

TEST_F(Edit, DragAndDropBeyondTenPixels)
{
    field("balls 1\nfloor 3\n", 0);
    TrElem *item = TrCatalogueFind(TY_T_SIMA, 0);
    put(10, 10, item);
    put(18, 16, at(1, 0, 1), 0);  // 10 px away
    put(21, 10, at(2, 0, 2), 0);  // 11 px away
    Edit_LeftPress(10, 10);
    Edit_LeftRelease(18, 16);
    EXPECT_EQ(at(1, 1, 1), nullptr) << "10 px is still a click";
    Edit_LeftRelease(21, 10);  // no longer armed
    EXPECT_EQ(at(2, 1, 2), nullptr);
    click(10, 10);  // puts it back
    click(10, 10);
    ASSERT_EQ(Edit_Hand(), item);
    Edit_LeftRelease(21, 10);
    EXPECT_EQ(at(2, 1, 2), nullptr) << "a click of its own ends the drag";
    click(10, 10);  // back to the catalogue
    ASSERT_EQ(Edit_Hand(), nullptr);
    Edit_LeftPress(10, 10);
    Edit_LeftRelease(21, 10);
    ASSERT_NE(at(2, 1, 2), nullptr) << "placed at the release point";
    EXPECT_TRUE(fixed(at(2, 1, 2)));
}

TEST_F(Edit, DeletingGroundTilesAndPiecesAbove)
{
    field("balls 1\nfloor 3\nelem 1 0 1 0 goal\nelem 1 1 1 0 block\nelem 0 1 0 0 start\nelem 0 2 0 0 iron\n", 0);
    g_scene.tool = 2;
    TrElem *plain = at(2, 0, 2);
    put(5, 5, plain);
    click(5, 5);
    EXPECT_EQ(at(2, 0, 2), plain) << "a plain ground tile stays";
    put(6, 6, at(1, 0, 1));
    click(6, 6);
    TrElem *made = at(1, 0, 1);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->io->type, TY_T_SIMA);
    EXPECT_TRUE(fixed(made));
    EXPECT_EQ(made->io->flags & EF_NOT_BALL, EF_NOT_BALL);
    ASSERT_NE(at(1, 1, 1), nullptr) << "what stood on it stays";
    // A start position deleted above the ground takes its ball along.
    put(7, 7, at(0, 1, 0));
    click(7, 7);
    EXPECT_EQ(at(0, 1, 0), nullptr);
    EXPECT_EQ(at(0, 2, 0), nullptr);
    EXPECT_EQ(rec().sounds.back(), 19);
}

TEST_F(Edit, TakeBackUnderAFixedElementButNotUnderAPlayersOne)
{
    field("balls 1\nfloor 3\n", 1);
    // The player's pieces (a field's own supplied pieces go to the supply when the game starts).
    Palya_Add(0, 1, 0, 0, TY_T_SIMA, 0, 1);
    Palya_Add(0, 2, 0, 0, TY_T_SIMA, 1, 0);
    Palya_Add(2, 1, 2, 0, TY_T_SIMA, 0, 1);
    Palya_Add(2, 2, 2, 0, TY_T_SIMA, 0, 1);
    put(5, 5, at(0, 1, 0));
    click(5, 5);
    EXPECT_EQ(at(0, 1, 0), nullptr) << "taken from under a fixed block";
    ASSERT_NE(Edit_Hand(), nullptr);
    EXPECT_EQ(Edit_Hand()->io->type, TY_T_SIMA);
    EXPECT_EQ(Supply_Get(TY_T_SIMA, 0), 0) << "a take-back is no take from the supply";
    click(300, 300);
    EXPECT_EQ(Supply_Get(TY_T_SIMA, 0), 1) << "dropped: back to the supply";
    TrElem *under = at(2, 1, 2);
    put(6, 6, under);
    click(6, 6);
    EXPECT_EQ(at(2, 1, 2), under) << "a player's block stands on it";
    EXPECT_EQ(Edit_Hand(), nullptr);
}

TEST_F(Edit, BallSwapKeepsTheCellAndItsDirection)
{
    field("balls 1\nfloor 3\nelem 1 1 1 0 start\n", 1);
    Palya_Add(1, 2, 1, 2, TY_G_FEM, 0, 0);
    Supply_Add(TY_G_UVEG, 0);
    TrElem *glass = TrCatalogueFind(TY_G_UVEG, 0);
    put(10, 10, glass);
    put(20, 20, at(1, 2, 1));
    click(10, 10);
    ASSERT_EQ(Edit_Hand(), glass);
    click(20, 20);
    TrElem *now = at(1, 2, 1);
    ASSERT_NE(now, nullptr);
    EXPECT_EQ(now->io->type, TY_G_UVEG);
    EXPECT_EQ(now->io->direction, 2);
    EXPECT_FALSE(fixed(now));
    ASSERT_NE(Edit_Hand(), nullptr);
    EXPECT_EQ(Edit_Hand()->io->type, TY_G_FEM) << "the iron ball is in the hand";
    EXPECT_EQ(Supply_Get(TY_G_UVEG, 0), 0);
    EXPECT_EQ(Supply_Get(TY_G_FEM, 0), 0);
    click(300, 300);
    EXPECT_EQ(Supply_Get(TY_G_FEM, 0), 1);
}

TEST_F(Edit, GamePlacesSuppliedPiecesAndABallAsksForItsDirection)
{
    field("balls 1\nfloor 3\nelem 1 1 1 0 start\n", 1);
    Supply_Add(TY_G_FEM, 0);
    Supply_Add(TY_T_SIMA, 0);
    put(10, 10, TrCatalogueFind(TY_G_FEM, 0));
    put(11, 11, TrCatalogueFind(TY_T_SIMA, 0));
    put(20, 20, at(1, 1, 1));
    put(30, 30, at(0, 0, 0));
    click(10, 10);
    click(30, 30);
    EXPECT_EQ(last_text(), TrMessage(15));
    EXPECT_NE(Edit_Hand(), nullptr) << "a refusal keeps the hand";
    click(20, 20);
    TrElem *ball = at(1, 2, 1);
    ASSERT_NE(ball, nullptr);
    EXPECT_EQ(ball->io->direction, TR_DIR_UNSET) << "a fresh ball has no direction yet";
    EXPECT_EQ(Edit_Hand(), nullptr);
    EXPECT_EQ(Dir_Current(), ball);
    // The marker of key 3 turns it.
    put(40, 40, Dir_Marker(3));
    click(40, 40);
    EXPECT_EQ(ball->io->direction, 3);
    EXPECT_EQ(Dir_Active(), 0);
    click(11, 11);
    click(30, 30);
    ASSERT_NE(at(0, 1, 0), nullptr);
    EXPECT_FALSE(fixed(at(0, 1, 0)));
    EXPECT_EQ(at(0, 1, 0)->io->variant, 1);
}

TEST_F(Edit, ToolOneReplacesAndKeepsThePiece)
{
    field("balls 1\nfloor 3\nelem 1 1 1 0 block\nelem 1 2 1 0 block\n", 0);
    g_scene.tool = 1;
    TrElem *slope = TrCatalogueFind(TY_T_LEJTO, 1);
    put(10, 10, slope);
    put(20, 20, at(1, 1, 1), 0);
    put(30, 30, at(0, 0, 0), 0);
    click(10, 10);
    ASSERT_EQ(Edit_Hand(), slope);
    click(20, 20);
    TrElem *made = at(1, 1, 1);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->io->type, TY_T_LEJTO);
    EXPECT_EQ(made->io->direction, 1);
    EXPECT_TRUE(fixed(made));
    EXPECT_EQ(Edit_Hand(), slope) << "the hand keeps the item";
    EXPECT_NE(at(1, 2, 1), nullptr) << "the block above stays";
    // A slope on a ground target is built on top instead.
    click(30, 30);
    ASSERT_NE(at(0, 1, 0), nullptr);
    EXPECT_EQ(at(0, 0, 0)->io->type, TY_T_SIMA);
    EXPECT_EQ(at(0, 1, 0)->io->type, TY_T_LEJTO);
}

TEST_F(Edit, BallClassCycleAndTileToggle)
{
    field("balls 1\nfloor 3\nelem 1 1 1 0 start\nelem 1 2 1 0 iron\nelem 0 1 0 0 block\n", 0);
    g_scene.tool = 3;
    TrElem *ball = at(1, 2, 1);
    put(20, 20, ball);
    click(20, 20);
    EXPECT_TRUE(fixed(ball));
    EXPECT_TRUE(ball->io->flags & EF_DIR_LOCKED) << "fixed -> fixed and locked";
    click(20, 20);
    EXPECT_FALSE(ball->io->flags & EF_DIR_LOCKED);
    EXPECT_FALSE(fixed(ball)) << "then supplied";
    EXPECT_EQ(Supply_Get(TY_G_FEM, 0), 1);
    click(20, 20);
    EXPECT_TRUE(fixed(ball)) << "supplied -> fixed";
    EXPECT_EQ(Supply_Get(TY_G_FEM, 0), 0);
    EXPECT_TRUE(Palya_Current()->flags & PF_MODIFIED);
    EXPECT_EQ(rec().sounds.back(), 20);
    put(30, 30, at(0, 1, 0));
    click(30, 30);
    EXPECT_FALSE(fixed(at(0, 1, 0)));
    click(30, 30);
    EXPECT_TRUE(fixed(at(0, 1, 0)));
    put(40, 40, at(2, 0, 2));
    click(40, 40);
    EXPECT_TRUE(fixed(at(2, 0, 2))) << "the ground is never marked";
}

TEST_F(Edit, EditorMagnetTakesTheOppositeKey)
{
    field("balls 1\nfloor 3\nelem 1 1 1 0 magnet\n", 0);
    TrElem *magnet = at(1, 1, 1);
    put(20, 20, magnet);
    Edit_Hover(20, 20);
    ASSERT_EQ(Edit_HoverElem(), magnet);
    Dir_BeginForHoverMagnet();
    ASSERT_EQ(Dir_Current(), magnet);
    put(40, 40, Dir_Marker(1));
    click(40, 40);
    EXPECT_EQ(magnet->io->direction, 3);
    EXPECT_EQ(Dir_Active(), 0);
    Dir_BeginForHoverMagnet();
    put(41, 41, Dir_Marker(2));
    click(41, 41);
    EXPECT_EQ(magnet->io->direction, 0);
    // A click elsewhere only ends the mode.
    Dir_BeginForHoverMagnet();
    click(300, 300);
    EXPECT_EQ(Dir_Active(), 0);
    EXPECT_EQ(magnet->io->direction, 0);
}

TEST_F(Edit, DirectionModeEndsBeyondSeventyPixelsInTheGame)
{
    field("balls 1\nfloor 3\nelem 1 1 1 0 start\n", 1);
    Palya_Add(1, 2, 1, 0, TY_G_FEM, 0, 0);
    TrElem *ball = at(1, 2, 1);
    br_actor *arrow = BrActorAllocate(BR_ACTOR_MODEL, nullptr);
    ball->markerActor = arrow;
    BrActorAdd(ball->actor, arrow);
    g_scene.mouseX = 100;
    g_scene.mouseY = 100;
    put(100, 100, ball, -1, arrow);
    click(100, 100);
    ASSERT_EQ(Dir_Current(), ball) << "the arrow of a player's ball";
    EXPECT_EQ(rec().sounds.back(), 8);
    Edit_MouseMove(160, 136);  // 69.97 px
    EXPECT_EQ(Dir_Active(), 1);
    Edit_MouseMove(171, 100);
    EXPECT_EQ(Dir_Active(), 0);
    EXPECT_EQ(arrow->parent, ball->actor) << "the arrow is back on its ball";
}

TEST_F(Edit, RightDragOrbitsByHalfTheMove)
{
    field("balls 1\nfloor 3\n", 1);
    Edit_MouseMove(5, 5);
    EXPECT_TRUE(g_scene.orbits.empty());
    Edit_RightPress(10, 10);
    Edit_MouseMove(20, 4);
    Edit_MouseMove(18, 8);
    Edit_OrbitEnd();
    Edit_MouseMove(40, 40);
    ASSERT_EQ(g_scene.orbits.size(), 2u);
    EXPECT_FLOAT_EQ(g_scene.orbits[0].first, 5.0f);
    EXPECT_FLOAT_EQ(g_scene.orbits[0].second, 3.0f);
    EXPECT_FLOAT_EQ(g_scene.orbits[1].first, -1.0f);
    EXPECT_FLOAT_EQ(g_scene.orbits[1].second, -2.0f);
}

TEST_F(Edit, HoverHighlightsWhatTheClickWouldTake)
{
    field("balls 1\nfloor 3\nelem 1 1 1 0 block\n", 0);
    br_material *mats[3];
    TrElem *els[3] = {at(1, 1, 1), at(0, 0, 0), TrCatalogueFind(TY_T_LEJTO, 0)};
    for (int i = 0; i < 3; i++) {
        mats[i] = BrMaterialAllocate(nullptr);
        mats[i]->ka = 0.5f;
        els[i]->actor->material = mats[i];
        put(10 * (i + 1), 10, els[i]);
    }
    Edit_Hover(10, 10);
    EXPECT_NEAR(mats[0]->ka, 0.7f, 1e-6f) << "above the ground in the editor";
    EXPECT_TRUE(els[0]->io->flags & EF_SELECTED);
    Edit_Hover(10, 10);
    EXPECT_NEAR(mats[0]->ka, 0.7f, 1e-6f) << "the same element again: nothing more";
    Edit_Hover(20, 10);
    EXPECT_FALSE(els[0]->io->flags & EF_SELECTED) << "the old hover loses its light";
    EXPECT_NEAR(mats[1]->ka, 0.5f, 1e-6f) << "the ground is not lit in the editor";
    Edit_Hover(30, 10);
    EXPECT_NEAR(mats[2]->ka, 0.7f, 1e-6f) << "a sample in stock";
    els[2]->io->flags |= EF_OUT_OF_STOCK;
    Edit_Hover(200, 200);
    Edit_Hover(30, 10);
    EXPECT_NEAR(mats[2]->ka, 0.7f, 1e-6f) << "out of stock: not lit";
    // The game lights the player's pieces only.
    TrPlayModeGet()->game = 1;
    Edit_Hover(200, 200);
    Edit_Hover(10, 10);
    EXPECT_NEAR(mats[0]->ka, 0.7f, 1e-6f) << "a fixed block";
    els[0]->io->flags &= ~EF_LEVEL_PART;
    Edit_Hover(200, 200);
    Edit_Hover(10, 10);
    EXPECT_NEAR(mats[0]->ka, 0.9f, 1e-6f);
    for (int i = 0; i < 3; i++) {
        els[i]->actor->material = nullptr;
        BrMaterialFree(mats[i]);
    }
}

TEST_F(Edit, HandFollowsTenPixelsAboveTheCursorWhileHidden)
{
    field("balls 1\nfloor 3\n", 0);
    static std::vector<std::pair<int32_t, int32_t>> follows;
    follows.clear();
    TrEditHooks h{};
    h.pick = fake_pick;
    h.tool = [] { return g_scene.tool; };
    h.cursor = [](int32_t, int32_t) {};
    h.toolbarPress = [](int32_t, int32_t, int) { return 0; };
    h.follow = [](br_actor *, int32_t x, int32_t y) { follows.push_back({x, y}); };
    Edit_SetHooks(&h);
    TrElem *item = TrCatalogueFind(TY_T_SIMA, 0);
    put(10, 10, item);
    put(50, 50, at(1, 0, 1), 0);
    click(10, 10);
    ASSERT_EQ(follows.size(), 1u);
    EXPECT_EQ(follows[0], std::make_pair(10, 0));
    EXPECT_EQ(Edit_HandModelShown(), 0);
    Edit_Hover(50, 50);
    EXPECT_EQ(Edit_HandModelShown(), 1) << "standing on the place it would go";
    EXPECT_EQ(Edit_HandElem()->io->y, 1);
    EXPECT_EQ(Edit_HandElem()->io->x, 1);
    Edit_HandFollow(60, 60);
    EXPECT_EQ(follows.size(), 1u) << "a shown hand model stays at its place";
    Edit_Hover(90, 90);
    EXPECT_EQ(Edit_HandModelShown(), 0);
    Edit_HandFollow(90, 90);
    EXPECT_EQ(follows.back(), std::make_pair(90, 80));
}

TEST_F(Edit, CursorCodesByCarriedType)
{
    const std::pair<int32_t, int32_t> codes[] = {{0, 2},  {1, 7},  {2, 8},  {3, 9},  {10, 5}, {11, 6},
                                                 {20, 4}, {21, 10}, {22, 12}, {24, 3}, {25, 11}, {23, 4}};
    for (auto [type, code] : codes)
        EXPECT_EQ(Edit_CursorFor(type), code) << type;
}

}  // namespace
