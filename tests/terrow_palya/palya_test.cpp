// The current field: cells, adding and removing, placing the actors, the supply counters and the
// placement rule, the supplied pieces in the game and the editor, clearing and the marker blink.
#include <math.h>

#include "playtest.h"

using playtest::Play;
using playtest::rec;

namespace {

const char *kRow = "balls 1\nelem 0 0 0 0 block\nelem 1 0 0 0 block\nelem 2 0 0 0 goal\nelem 0 0 1 0 start\n"
                   "elem 1 0 1 0 block\nelem 2 0 1 0 block\n";

class Palya : public Play {};

}  // namespace

TEST_F(Palya, FindCellAndCellFreeKeepToTheField)
{
    load(kRow);
    EXPECT_NE(at(2, 0, 0), nullptr);
    EXPECT_EQ(at(3, 0, 0), nullptr);   // x past the extent
    EXPECT_EQ(at(0, -1, 0), nullptr);  // below the floor
    EXPECT_EQ(at(0, 0, 2), nullptr);
    TrElem *corner = at(0, 0, 0);
    EXPECT_FALSE(Palya_CellFree(corner, 2));  // x -1
    EXPECT_FALSE(Palya_CellFree(corner, 0));  // (0, 0, 1) is taken
    EXPECT_TRUE(Palya_CellFree(corner, 4));
    // A tower to layer 9: the cell above it (10) is never free.
    TrElem *top = corner;
    for (int y = 1; y <= 9; y++)
        top = Palya_AddAbove(top, 0, TY_T_SIMA, 1);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->io->y, 9);
    EXPECT_FALSE(Palya_CellFree(top, 4));
    EXPECT_EQ(Palya_AddAbove(top, 0, TY_T_SIMA, 1), nullptr);
    EXPECT_TRUE(Palya_CellFree(top, 5) == 0);  // layer 8 holds the tower
}

TEST_F(Palya, AddRefusesTakenCellsAndSavedPiecesThere)
{
    TrPalya *f = load(kRow);
    const int32_t n = f->count;
    EXPECT_EQ(Palya_Add(1, 0, 1, 0, TY_T_SIMA, 1, 0), nullptr);
    EXPECT_EQ(f->count, n);
    // A saved position whose piece stands on a cell a player's piece took: that piece is dropped,
    // the other enters.
    ASSERT_NE(Palya_Add(1, 1, 0, 0, TY_T_SIMA, 0, 1), nullptr);
    const std::string dir = ::testing::TempDir();
    std::string error;
    TrPalya *pos = trtext::parse("piece 1 1 0 0 block\npiece 1 1 1 0 block\n", error);
    ASSERT_NE(pos, nullptr) << error;
    const std::string path = dir + "/taken.trs";
    ASSERT_EQ(Palya_FSaveUser(path.c_str(), pos), 1);
    Palya_Free(pos);
    Palya_LoadCurrentUser(path.c_str());
    EXPECT_EQ(f->count, n + 2);
    ASSERT_NE(at(1, 1, 1), nullptr);
    EXPECT_NE(at(1, 1, 1)->actor, nullptr);
}

TEST_F(Palya, SavedPositionInTheGameTakesOnlyWhatTheSupplyHolds)
{
    // The field hands out one block; the saved position holds two and a ball it never had.
    TrPalya *f = load(std::string(kRow) + "piece 1 1 0 0 block\n", 1);
    const int32_t n = f->count;
    ASSERT_EQ(Supply_Get(TY_T_SIMA, 0), 1);
    std::string error;
    TrPalya *pos = trtext::parse("piece 1 1 0 0 block\npiece 1 1 1 0 block\npiece 0 1 1 3 iron\n", error);
    ASSERT_NE(pos, nullptr) << error;
    const std::string path = ::testing::TempDir() + "/spare.trs";
    ASSERT_EQ(Palya_FSaveUser(path.c_str(), pos), 1);
    Palya_Free(pos);
    Palya_LoadCurrentUser(path.c_str());
    EXPECT_EQ(f->count, n + 1);
    EXPECT_EQ(Supply_Get(TY_T_SIMA, 0), 0);
    EXPECT_EQ(Supply_Get(TY_G_FEM, 0), 0);
    EXPECT_EQ(at(0, 1, 1), nullptr);
    EXPECT_FALSE(Palya_HasBalls());
}

TEST_F(Palya, PlacementTable)
{
    load(kRow);
    struct Case {
        int32_t type, x, y, z, dir;
        bool inField;
        float tx, ty, tz, scale;
    } cases[] = {
        {TY_T_SIMA, 1, 1, 1, 0, true, 0.15f, 0.0275f, 0.15f, 1.0f},
        {TY_G_FEM, 0, 1, 1, 0, true, 0.05f, 0.035f, 0.15f, 1.0f},  // a ball sits 0.0075 higher
        {TY_T_SIMA, 2, 3, 4, 0, false, 0.2f, 0.3f, 0.4f, 1.0f},
        {TY_G_GUMI, 1, 0, -1, 0, false, 0.1f, 0.0f, -0.1f, 1.4285714f},
    };
    for (const Case &c : cases) {
        TrElem *e = c.inField ? Palya_Add(c.x, c.y, c.z, c.dir, c.type, 1, 0) : Elem_NewSample(c.type, c.x, c.y, c.z, 0);
        ASSERT_NE(e, nullptr);
        if (!c.inField)
            e->actor = BrActorAllocate(BR_ACTOR_MODEL, nullptr);
        Palya_Place(e, c.inField);
        const br_matrix34 &m = e->actor->t.t.mat;
        EXPECT_NEAR(m.m[3][0], c.tx, 1e-5f) << c.type;
        EXPECT_NEAR(m.m[3][1], c.ty, 1e-5f) << c.type;
        EXPECT_NEAR(m.m[3][2], c.tz, 1e-5f) << c.type;
        EXPECT_NEAR(m.m[1][1], c.scale, 1e-5f) << c.type;
        if (!c.inField) {
            BrActorFree(e->actor);
            Elem_Free(e);
        }
    }
    // A quarter turn per direction about the vertical axis.
    TrElem *turned = Palya_Add(2, 1, 1, 1, TY_T_LEJTO, 1, 0);
    const br_matrix34 &m = turned->actor->t.t.mat;
    EXPECT_NEAR(fabsf(m.m[0][2]), 1.0f, 1e-3f);
    EXPECT_NEAR(m.m[0][0], 0.0f, 1e-3f);
}

TEST_F(Palya, RemovingABlockUnderABallPlacesTheBallAgain)
{
    load(std::string(kRow) + "elem 1 1 0 0 block\nelem 1 2 0 3 iron\n");
    TrElem *ball = at(1, 2, 0);
    ASSERT_NE(ball, nullptr);
    BrMatrix34Translate(&ball->actor->t.t.mat, 9, 9, 9);
    Palya_Remove(at(1, 1, 0));
    EXPECT_EQ(at(1, 1, 0), nullptr);
    EXPECT_NEAR(ball->actor->t.t.mat.m[3][1], -0.0275f + 0.11f + 0.0075f, 1e-5f);
    EXPECT_EQ(Palya_Current()->flags & PF_MODIFIED, PF_MODIFIED);
}

TEST_F(Palya, BallsNeededStaysWithinOneToTwelve)
{
    TrPalya *f = load(kRow);
    struct Step {
        int32_t delta, expect;
    } steps[] = {{1, 2}, {-5, 1}, {20, 12}, {1, 12}, {0, 1}, {-1, 1}};
    for (const Step &s : steps) {
        Palya_BallsNeededAdd(s.delta);
        EXPECT_EQ(f->ballsNeeded, s.expect) << s.delta;
    }
    f->ballsNeeded = 0;  // a file without the word: still one ball to win
    EXPECT_EQ(Palya_BallsNeeded(), 1);
}

TEST_F(Palya, SupplyCountersAndTheirGuard)
{
    Supply_Clear();
    Supply_Add(TY_T_LEJTO, 2);
    Supply_Add(TY_T_LEJTO, 2);
    Supply_Add(TY_G_FEM, 3);  // a ball's direction never splits its counter
    EXPECT_EQ(Supply_Get(TY_T_LEJTO, 2), 2);
    EXPECT_EQ(Supply_Get(TY_T_LEJTO, 1), 0);
    EXPECT_EQ(Supply_Get(TY_G_FEM, 0), 1);
    EXPECT_EQ(Supply_Take(TY_G_FEM, 1), 1);
    EXPECT_EQ(Supply_Take(TY_G_FEM, 1), 0);
    EXPECT_EQ(Supply_Get(TY_G_FEM, 0), 0);  // never below 0
    // Directions and types that have no counter change nothing and read 0.
    for (auto [type, dir] : {std::pair{TY_T_SIMA, 4}, std::pair{TY_T_SIMA, -1}, std::pair{100, 0}, std::pair{-1, 0}}) {
        EXPECT_EQ(Supply_Index(type, dir), -1);
        Supply_Add(type, dir);
        EXPECT_EQ(Supply_Get(type, dir), 0);
        EXPECT_EQ(Supply_Take(type, dir), 0);
    }
    EXPECT_EQ(Supply_Index(TY_T_SZOGES, 3), 322);
}

TEST_F(Palya, GameRuleOnTopOfATarget)
{
    load(std::string(kRow) + "elem 0 1 1 0 start\nelem 2 1 1 1 corner\nelem 0 1 0 0 slope\nelem 1 1 1 0 block\n"
                             "elem 1 2 1 0 iron\n");
    struct Case {
        int x, y, z;
        int32_t type, dir;
        int allowed;
        const char *refusal;  // message text or null
        int message;
    } cases[] = {
        {0, 1, 1, TY_G_FEM, 0, 1, nullptr, 0},
        {2, 0, 0, TY_G_FEM, 0, 0, nullptr, 15},
        {0, 1, 1, TY_T_SIMA, 0, 0, nullptr, 17},
        {1, 2, 1, TY_T_SIMA, 0, 0, nullptr, 16},
        {0, 1, 0, TY_T_SIMA, 0, 0, nullptr, 16},  // on a slope
        {2, 0, 0, TY_T_SIMA, 0, 0, nullptr, 16},  // on a goal
        {2, 1, 1, TY_T_SAROK, 1, 1, nullptr, 0},
        {2, 1, 1, TY_T_SAROK, 2, 0, nullptr, 11},
        {2, 1, 1, TY_T_SIMA, 1, 0, nullptr, 11},
        {1, 1, 1, TY_T_SIMA, 0, 0, nullptr, 14},  // the ball above takes the cell
        {1, 0, 0, TY_T_LEJTO, 3, 1, nullptr, 0},
    };
    for (const Case &c : cases) {
        TrElem *t = at(c.x, c.y, c.z);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(Edit_CheckTop(t, c.type, c.dir), c.allowed) << c.x << c.y << c.z << " " << c.type;
        if (c.message)
            EXPECT_STREQ(Edit_Refusal(), TrMessage(c.message)) << c.x << c.y << c.z;
        else
            EXPECT_EQ(Edit_Refusal(), nullptr);
    }
    // The support rule leaves out the free-cell test; a sample is refused by both.
    EXPECT_EQ(Edit_CheckSupport(at(1, 1, 1), TY_T_SIMA, 0), 1);
    TrElem *sample = Elem_NewSample(TY_T_SIMA, 0, 0, 0, 0);
    EXPECT_EQ(Edit_CheckTop(sample, TY_T_SIMA, 0), 0);
    EXPECT_STREQ(Edit_Refusal(), "Ez minta");
    Elem_Free(sample);
}

TEST_F(Palya, GameTakesBackSuppliedPiecesAndUnsetsFreeBalls)
{
    load(std::string(kRow) + "piece 1 1 0 2 slope\npiece 2 1 1 0 block\nelem 0 1 1 0 start\n"
                             "elem 0 2 1 3 iron\nelem 1 1 1 0 start\nelem 1 2 1 2 plastic 0 0x405\n"
                             "piece 2 1 0 1 bomb\n",
         1);
    EXPECT_EQ(at(1, 1, 0), nullptr);
    EXPECT_EQ(at(2, 1, 1), nullptr);
    EXPECT_EQ(Supply_Get(TY_T_LEJTO, 2), 1);
    EXPECT_EQ(Supply_Get(TY_T_SIMA, 0), 1);
    EXPECT_EQ(Supply_Get(TY_G_BOMBA, 0), 1);
    EXPECT_EQ(at(0, 2, 1)->io->direction, TR_DIR_UNSET);  // the player sets it
    EXPECT_EQ(at(1, 2, 1)->io->direction, 2);             // locked: keeps its own
    EXPECT_FALSE(Palya_AllDirectionsSet());
    EXPECT_EQ(Palya_Current()->flags & PF_MODIFIED, 0u);
}

TEST_F(Palya, EditorCountsSuppliedPiecesAndSecretModeRemovesThem)
{
    const std::string secret = std::string(kRow) + "levelflags 0x04\npiece 1 1 0 2 slope\npiece 1 1 1 2 slope\n";
    TrPalya *f = load(secret, 0);
    EXPECT_EQ(f->count, 6);
    EXPECT_EQ(Supply_Get(TY_T_LEJTO, 2), 0);
    ASSERT_EQ(rec().boxes.size(), 1u);
    EXPECT_EQ(rec().boxes[0], TrMessage(53));
    EXPECT_EQ(f->levelFlags & LF_SECRET, 0u);
    // With secret mode on the builder keeps them, counted.
    TrPlayModeGet()->secret = 1;
    f = load(secret, 0);
    EXPECT_EQ(f->count, 8);
    EXPECT_EQ(Supply_Get(TY_T_LEJTO, 2), 2);
}

TEST_F(Palya, ClearToFloorLeavesPlainBlocks)
{
    TrPalya *f = load(std::string(kRow) + "levelflags 0x06\nelem 1 1 1 0 block\nelem 1 2 1 0 iron\n");
    Palya_ClearToFloor();
    EXPECT_EQ(f->count, 6);
    EXPECT_EQ(f->levelFlags, 0u);
    EXPECT_FALSE(Palya_HasBalls());
    for (int32_t i = 0; i < f->count; i++) {
        const EIo *io = f->elements[i]->io;
        EXPECT_EQ(io->y, 0);
        EXPECT_EQ(io->type, TY_T_SIMA);
        if (io->x == 2 && io->z == 0) {  // the goal became a plain block
            EXPECT_EQ(io->variant, 1);
            EXPECT_EQ(io->flags, EF_NOT_BALL | EF_LEVEL_PART);
        }
    }
}

TEST_F(Palya, FullMarkerBlinkLeavesTheMaterialAndDirections)
{
    load(std::string(kRow) + "elem 0 1 1 4 iron\n");
    TrElem *ball = at(0, 1, 1);
    for (int s = 0; s <= 4; s++) {
        Palya_MarkerBlink(s);
        EXPECT_EQ(ball->io->direction, TR_DIR_UNSET);
    }
    EXPECT_FLOAT_EQ(rec().markerShift, 0.0f);
}

TEST_F(Palya, InstallingTheCurrentFieldAgainKeepsIt)
{
    TrPalya *f = load(kRow);
    const int32_t count = f->count;
    ASSERT_EQ(Palya_Install(f, opaque, translucent, nullptr), 1);
    EXPECT_EQ(Palya_Current(), f);
    EXPECT_EQ(f->count, count);
    EXPECT_NE(at(2, 0, 0), nullptr);
}
