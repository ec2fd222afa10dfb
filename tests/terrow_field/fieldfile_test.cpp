// Field files and saved positions: loading every layout, refusing damaged files, saving whole.
#include <math.h>
#include <sys/stat.h>

#include "support.h"

namespace {

using trtest::Bytes;
using trtest::boxes;
using FieldFile = trtest::Scratch;

const EIo kBlock{0, 0, 0, 0, TY_T_SIMA, 2, EF_NOT_BALL | EF_LEVEL_PART};
const EIo kSuppliedSlope{1, 1, 0, 2, TY_T_LEJTO, 0, EF_NOT_BALL};
const EIo kBall{1, 2, 0, TR_DIR_UNSET, TY_G_FEM, 2, EF_BALL | EF_LEVEL_PART};
const EIo kGoal{3, 0, 4, 1, TY_T_CEL, 0, EF_NOT_BALL | EF_LEVEL_PART};

const char kNoMagic[] = "nincs azonositasi informacio a fileban\na file lehet, hogy hasznalhatatlan";

// Header and elements of a file with magic.
Bytes head(int32_t version, const std::vector<EIo> &elems)
{
    Bytes b;
    b.u32(TRL_MAGIC).i32(version).i32(int32_t(elems.size()));
    for (const EIo &e : elems)
        b.eio(e);
    return b;
}

Bytes camera(Bytes b)
{
    return b.f32(300.5f).f32(-30.25f).f32(2.5f).f32(-0.2f);
}

Bytes words(Bytes b)
{
    return b.i32(2).i32(1).i32(1).u32(LF_PLAYABLE | LF_SPARE).f32(0.25f).i32(77);
}

bool same(const EIo &a, const EIo &b)
{
    return memcmp(&a, &b, sizeof a) == 0;
}

TEST_F(FieldFile, LoadsEveryLayoutWithItsDefaults)
{
    const std::vector<EIo> elems = {kBlock, kSuppliedSlope, kBall, kGoal};
    Bytes full = words(camera(head(4, elems).i32(3)));
    struct Case {
        const char *what;
        std::string bytes;
        int32_t balls;
        bool camera;  // the stored camera (else the defaults)
        bool words;   // the six stored words (else zeros)
        float pan;
    } cases[] = {
        {"full version 4", full.s, 3, true, true, 0.25f},
        {"ends after the elements", head(4, elems).s, 0, false, false, 0.0f},
        {"cut inside the camera", head(4, elems).i32(3).f32(1.0f).f32(2.0f).s, 3, false, false, 0.0f},
        {"cut inside the words", camera(head(4, elems).i32(3)).i32(2).i32(1).s, 3, false, false, 0.0f},
        {"version 3 has no pan", words(camera(head(3, elems).i32(3))).s, 3, true, true, 0.0f},
        {"version 2 has no words", words(camera(head(2, elems).i32(3))).s, 3, true, false, 0.0f},
        {"version 1 has no camera", words(camera(head(1, elems).i32(3))).s, 3, false, false, 0.0f},
        {"version 5 reads as 4", words(camera(head(5, elems).i32(3))).s, 3, true, true, 0.25f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        boxes().clear();
        TrPalya *f = load(c.bytes);
        ASSERT_NE(f, nullptr);
        EXPECT_TRUE(boxes().empty());
        ASSERT_EQ(f->count, 4);
        EXPECT_TRUE(same(*f->elements[0]->io, kBlock));
        // A supplied slope shows its placed look; level parts keep their stored variant.
        EXPECT_EQ(f->elements[1]->io->variant, 1);
        EXPECT_EQ(f->elements[2]->io->variant, 2);
        EXPECT_EQ(f->extentX, 4);
        EXPECT_EQ(f->extentY, 3);
        EXPECT_EQ(f->extentZ, 5);
        EXPECT_EQ(f->ballsNeeded, c.balls);
        EXPECT_EQ(f->pitch, c.camera ? 300.5f : TR_CAM_PITCH);
        EXPECT_EQ(f->yaw, c.camera ? -30.25f : TR_CAM_YAW);
        EXPECT_EQ(f->distance, c.camera ? 2.5f : TR_CAM_DISTANCE);
        EXPECT_EQ(f->height, c.camera ? -0.2f : TR_CAM_HEIGHT);
        EXPECT_EQ(f->ballLayout, c.words ? 2 : 0);
        EXPECT_EQ(f->startLayout, c.words ? 1 : 0);
        EXPECT_EQ(f->cameraSaved, c.words ? 1 : 0);
        EXPECT_EQ(f->levelFlags, c.words ? LF_PLAYABLE | LF_SPARE : 0u);
        EXPECT_EQ(f->lastWord, c.words ? 77 : 0);
        EXPECT_EQ(f->pan, c.pan);
        EXPECT_EQ(f->flags, 0u);
        // The ball list holds the one ball.
        ASSERT_NE(f->balls, nullptr);
        EXPECT_EQ(f->balls->item, f->elements[2]);
        EXPECT_EQ(f->balls->next, nullptr);
        Palya_Free(f);
    }
    EXPECT_EQ(TrGetModule()->warning, 0);
}

TEST_F(FieldFile, OldestLayoutIsConverted)
{
    // Six-word records (x, y, z, direction, type, flags) without magic, then balls needed.
    Bytes b;
    b.i32(2);
    b.i32(1).i32(1).i32(0).i32(2).i32(TY_T_LEJTO).u32(EF_NOT_BALL);
    b.i32(5).i32(1).i32(6).i32(3).i32(TY_G_BOMBA).u32(EF_BALL | EF_LEVEL_PART);
    b.i32(2);
    TrPalya *f = load(b.s);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(boxes(), std::vector<std::string>{kNoMagic});
    EXPECT_EQ(TrGetModule()->warning, 1);
    ASSERT_EQ(f->count, 2);
    // No placed-look rule in the conversion.
    EXPECT_TRUE(same(*f->elements[0]->io, EIo{1, 1, 0, 2, TY_T_LEJTO, 0, EF_NOT_BALL}));
    EXPECT_TRUE(same(*f->elements[1]->io, EIo{5, 1, 6, 3, TY_G_BOMBA, 0, EF_BALL | EF_LEVEL_PART}));
    EXPECT_EQ(f->ballsNeeded, 2);
    EXPECT_EQ(f->pitch, TR_CAM_PITCH);
    Palya_Free(f);

    // The same records after magic and version 0 read without the warning.
    boxes().clear();
    Bytes m;
    m.u32(TRL_MAGIC).i32(0);
    m.s += b.s;
    f = load(m.s);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(f->count, 2);
    Palya_Free(f);
}

TEST_F(FieldFile, DamagedFilesAreRefusedWithTheirMessage)
{
    const char *kShort = "fread() failed";
    auto with = [](EIo e) { return words(camera(head(4, {kBlock, e}).i32(1))).s; };
    auto damaged = "Field file: element 2 is damaged";
    Bytes noMagicEmpty;
    noMagicEmpty.i32(0).i32(1);
    std::string cut = head(4, {kBlock, kGoal}).s;
    struct Case {
        const char *what;
        std::string bytes;
        std::vector<std::string> shown;
    } cases[] = {
        {"empty", "", {kShort}},
        {"three bytes", std::string("\x3c\x7a\x3c", 3), {kShort}},
        {"magic only", Bytes().u32(TRL_MAGIC).s, {kShort}},
        {"no count", Bytes().u32(TRL_MAGIC).i32(4).s, {kShort}},
        {"cut inside an element", cut.substr(0, cut.size() - 5), {kShort}},
        {"count above 9999", Bytes().u32(TRL_MAGIC).i32(4).i32(10000).s, {}},
        {"negative count", Bytes().u32(TRL_MAGIC).i32(4).i32(-1).s, {}},
        {"empty oldest layout", noMagicEmpty.s, {kNoMagic}},
        {"negative version", Bytes().u32(TRL_MAGIC).i32(-3).i32(0).s, {"No conversion method for file ver: -3"}},
        {"x past the field", with({100, 0, 0, 0, TY_T_SIMA, 0, 6}), {damaged}},
        {"negative x", with({-1, 0, 0, 0, TY_T_SIMA, 0, 6}), {damaged}},
        {"z past the field", with({0, 0, 100, 0, TY_T_SIMA, 0, 6}), {damaged}},
        {"layer 10", with({0, 10, 0, 0, TY_T_SIMA, 0, 6}), {damaged}},
        {"run layer -1", with({0, -1, 0, 0, TY_T_SIMA, 0, 6}), {damaged}},
        {"huge coordinate", with({0x7fffffff, 0, 0, 0, TY_T_SIMA, 0, 6}), {damaged}},
        {"unknown type 7", with({1, 1, 1, 0, 7, 0, 5}), {damaged}},
        {"ground type", with({1, 0, 1, 0, TY_T_TALAJ, 0, 6}), {damaged}},
        {"debris type", with({1, 1, 1, 0, 70, 0, 5}), {damaged}},
        {"marker type", with({1, 1, 1, 0, 100, 0, 6}), {damaged}},
        {"tile without direction", with({1, 1, 1, TR_DIR_UNSET, TY_T_LEJTO, 0, 6}), {damaged}},
        {"ball direction 5", with({1, 1, 1, 5, TY_G_GUMI, 0, 5}), {damaged}},
        {"negative direction", with({1, 1, 1, -1, TY_T_SIMA, 0, 6}), {damaged}},
        {"ball in the floor layer", with({1, 0, 1, 0, TY_G_FEM, 0, 5}), {damaged}},
        {"two elements in a cell", with({0, 0, 0, 1, TY_T_LEJTO, 0, 6}), {"Field file: elements 1 and 2 share a cell"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        boxes().clear();
        TrGetModule()->warning = 0;
        EXPECT_EQ(load(c.bytes), nullptr);
        EXPECT_EQ(boxes(), c.shown);
        EXPECT_EQ(TrGetModule()->warning, c.shown.empty() ? 0 : 1);
    }
}

TEST_F(FieldFile, StoredValuesAreHeldToWhatTheGameCanShow)
{
    struct Case {
        int32_t balls, wantBalls;
        EIo in;
        int32_t wantVariant;
        uint32_t wantFlags;
    } cases[] = {
        {0, 1, {0, 0, 0, 0, TY_T_SIMA, 3, 6}, 0, 6},                 // no look 3
        {13, 12, {0, 0, 0, 0, TY_T_SIMA, 6, 6}, 6, 6},               // darker copy of look 2
        {-7, 1, {0, 1, 0, 4, TY_G_FEM, 1, 0x06}, 0, 0x05},           // class follows the type
        {12, 12, {0, 1, 0, 1, TY_T_MAGNES, 2, 0x15}, 0, 0x16},       // magnets have one look
        {5, 5, {0, 1, 0, 3, TY_G_UVEG, -2, EF_BALL}, 0, EF_BALL},
    };
    for (const Case &c : cases) {
        TrPalya *f = load(words(camera(head(4, {c.in}).i32(c.balls))).s);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->ballsNeeded, c.wantBalls);
        EXPECT_EQ(f->elements[0]->io->variant, c.wantVariant);
        EXPECT_EQ(f->elements[0]->io->flags, c.wantFlags);
        Palya_Free(f);
    }
    // A camera that is no number takes the default.
    Bytes b = head(4, {kBlock}).i32(1).f32(NAN).f32(INFINITY).f32(2.0f).f32(-0.05f);
    TrPalya *f = load(words(b).s);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->pitch, TR_CAM_PITCH);
    EXPECT_EQ(f->yaw, TR_CAM_YAW);
    EXPECT_EQ(f->distance, 2.0f);
    Palya_Free(f);
}

TEST_F(FieldFile, SaveWritesVersionFourAndCleansTheField)
{
    Bytes stored = words(camera(head(4, {kBlock, kBall, kGoal}).i32(3)));
    TrPalya *f = load(stored.s);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(Palya_FSave(path("a.trl").c_str(), f), 1);
    EXPECT_EQ(read("a.trl"), stored.s);  // byte for byte

    // Debris goes, the selection is cleared in the file and in memory, the modified bit too.
    f->elements[0]->io->flags |= EF_SELECTED;
    Palya_SuppressChangeMark(1);
    Palya_AddElem(f, Elem_New(2, 1, 2, 0, 80, EF_NOT_BALL | EF_RUN_MADE));
    Palya_SuppressChangeMark(0);
    f->flags |= PF_MODIFIED;
    ASSERT_EQ(Palya_FSave(path("a.trl").c_str(), f), 1);
    EXPECT_EQ(read("a.trl"), stored.s);
    EXPECT_EQ(f->count, 3);
    EXPECT_EQ(f->elements[0]->io->flags, kBlock.flags);
    EXPECT_EQ(f->flags, 0u);
    EXPECT_EQ(f->levelFlags, LF_PLAYABLE | LF_SPARE);
    Palya_Free(f);

    // A file the game wrote reads back to the same field.
    f = Palya_FOpenLoad(path("a.trl").c_str());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->count, 3);
    EXPECT_EQ(f->ballsNeeded, 3);
    EXPECT_EQ(f->pan, 0.25f);
    Palya_Free(f);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(FieldFile, FailedSaveKeepsTheOldFileAndTheField)
{
    TrPalya *f = load(words(camera(head(4, {kBlock, kBall}).i32(1))).s);
    ASSERT_NE(f, nullptr);
    write("old.trl", "precious");
    chmod(path("old.trl").c_str(), 0444);
    Palya_SuppressChangeMark(1);
    Palya_AddElem(f, Elem_New(2, 1, 2, 0, 80, EF_NOT_BALL | EF_RUN_MADE));
    Palya_SuppressChangeMark(0);
    f->elements[0]->io->flags |= EF_SELECTED;
    f->flags |= PF_MODIFIED;
    for (const std::string &target : {path("old.trl"), path("no/such/folder/x.trl")}) {
        boxes().clear();
        EXPECT_EQ(Palya_FSave(target.c_str(), f), 0);
        EXPECT_EQ(boxes(), std::vector<std::string>{"Disk Error!\nCannot save file"});
        boxes().clear();
        EXPECT_EQ(Palya_FSaveUser(target.c_str(), f), 0);
        EXPECT_EQ(boxes(), std::vector<std::string>{"Disk Error!\nActual Position\nCannot be saved"});
    }
    EXPECT_EQ(read("old.trl"), "precious");
    EXPECT_EQ(f->count, 3);  // the debris is still there
    EXPECT_EQ(f->flags & PF_MODIFIED, PF_MODIFIED);
    EXPECT_TRUE(f->elements[0]->io->flags & EF_SELECTED);
    Palya_Free(f);

    // A field that the loader would refuse is not written.
    f = Palya_NewEmpty();
    for (int i = 0; i < TR_MAX_ELEMS + 1; i++)
        Palya_AddElem(f, Elem_New(i % 100, (i / 100) % 10, i / 1000, 0, TY_T_SIMA, 6));
    boxes().clear();
    EXPECT_EQ(Palya_FSave(path("big.trl").c_str(), f), 0);
    EXPECT_EQ(boxes().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(path("big.trl")));
    Palya_Free(f);
}

TEST_F(FieldFile, SavedPositionHoldsThePlayersPiecesAndAppliesThem)
{
    const EIo piece{2, 1, 2, 3, TY_T_SAROK, 1, EF_NOT_BALL};
    const EIo ball{2, 2, 2, 1, TY_G_GUMI, 0, EF_BALL};
    TrPalya *f = load(words(camera(head(4, {kBlock, kGoal}).i32(1))).s);
    ASSERT_NE(f, nullptr);
    Palya_AddElem(f, Elem_NewV(piece.x, piece.y, piece.z, piece.direction, piece.type, piece.flags | EF_SELECTED, 1));
    Palya_AddElem(f, Elem_New(ball.x, ball.y, ball.z, ball.direction, ball.type, ball.flags));
    Palya_SuppressChangeMark(1);
    Palya_AddElem(f, Elem_New(0, 1, 0, 0, 90, EF_NOT_BALL | EF_RUN_MADE));
    Palya_SuppressChangeMark(0);
    ASSERT_EQ(Palya_FSaveUser(path("p.trs").c_str(), f), 1);
    Bytes want;
    want.i32(2).eio(piece).eio(ball);
    EXPECT_EQ(read("p.trs"), want.s);
    EXPECT_EQ(f->count, 4);  // the debris went
    Palya_Free(f);

    // Applied over the field's own pieces.
    TrPalya *g = load(words(camera(head(4, {kBlock, kGoal}).i32(1))).s);
    g->flags |= PF_MODIFIED;
    EXPECT_EQ(Palya_FOpenLoadUser(path("p.trs").c_str(), g), 2);
    ASSERT_EQ(g->count, 4);
    EXPECT_TRUE(same(*g->elements[2]->io, piece));
    EXPECT_TRUE(same(*g->elements[3]->io, ball));
    EXPECT_EQ(g->flags, 0u);
    EXPECT_EQ(g->balls->item, g->elements[3]);

    // The current-field operations take the pieces when they have installed their own placing.
    static std::vector<EIo> placed;
    placed.clear();
    Palya_SetUserPlace([](TrPalya *field, TrElem *e) {
        placed.push_back(*e->io);
        Elem_Free(e);
    });
    EXPECT_EQ(Palya_FOpenLoadUser(path("p.trs").c_str(), g), 2);
    EXPECT_EQ(placed.size(), 2u);
    EXPECT_EQ(g->count, 4);
    Palya_Free(g);
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(Palya_FOpenLoadUser(path("missing.trs").c_str(), nullptr), 0);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(FieldFile, DamagedSavedPositionAppliesNothing)
{
    const EIo piece{2, 1, 2, 3, TY_T_SAROK, 1, EF_NOT_BALL};
    std::string two = Bytes().i32(2).eio(piece).eio(piece).s;
    struct Case {
        const char *what;
        std::string bytes;
        std::vector<std::string> shown;
    } cases[] = {
        {"empty", "", {"fread() failed"}},
        {"cut count", "\x01\x00", {"fread() failed"}},
        {"cut inside the second piece", two.substr(0, two.size() - 1), {"fread() failed"}},
        {"count above 9999", Bytes().i32(10000).s, {}},
        {"damaged piece", Bytes().i32(2).eio(piece).eio({2, 1, 2, 4, TY_T_SAROK, 1, 2}).s,
         {"Saved position: element 2 is damaged"}},
        {"two pieces in a cell", Bytes().i32(2).eio(piece).eio({2, 1, 2, 1, TY_T_SIMA, 0, 2}).s,
         {"Saved position: elements 1 and 2 share a cell"}},
        {"ball in the floor layer", Bytes().i32(1).eio({2, 0, 2, 1, TY_G_GUMI, 0, 1}).s,
         {"Saved position: element 1 is damaged"}},
        {"piece on the field's own block", Bytes().i32(2).eio(piece).eio({0, 0, 0, 1, TY_T_LEJTO, 0, 2}).s,
         {"Saved position: element 2 shares a cell with the field"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        boxes().clear();
        TrPalya *f = load(words(camera(head(4, {kBlock}).i32(1))).s);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(load_user(c.bytes, f), 0);
        EXPECT_EQ(f->count, 1);
        EXPECT_EQ(boxes(), c.shown);
        EXPECT_EQ(TrGetModule()->warning, 0);  // a saved position never fails the start-up
        Palya_Free(f);
    }
}

// A saved position holds the player's pieces only: one that claims to be a part of the level is
// applied as the player's (removable, with its placed look).
TEST_F(FieldFile, SavedPositionPieceIsNeverALevelPart)
{
    TrPalya *f = load(words(camera(head(4, {kBlock}).i32(1))).s);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(load_user(Bytes().i32(1).eio({2, 1, 2, 3, TY_T_SAROK, 0, EF_NOT_BALL | EF_LEVEL_PART}).s, f), 1);
    ASSERT_EQ(f->count, 2);
    EXPECT_EQ(f->elements[1]->io->flags & EF_LEVEL_PART, 0u);
    EXPECT_EQ(f->elements[1]->io->variant, 1);
    Palya_Free(f);
}

TEST_F(FieldFile, MissingFieldFileIsReported)
{
    EXPECT_EQ(Palya_FOpenLoad(path("none.trl").c_str()), nullptr);
    EXPECT_EQ(boxes(), std::vector<std::string>{"fopen() failed"});
}

}  // namespace
