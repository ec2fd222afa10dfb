// The models of the generated terrow.pck through OwnFs, the .uvd reader, the table of looks and the
// actors an element gets.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <brondel/bractor.h>
#include <brondel/brdbfile.h>
#include <brondel/brmaterial.h>
#include <brondel/brmatrix.h>
#include <brondel/brmodel.h>
#include <brondel/brres.h>

#include "fixture.h"
#include "terrow/trfield.h"
#include "terrow/trmodule.h"
#include "terrow/trpick.h"
#include "terrow/trplay.h"
#include "terrow/trshell.h"
#include "vokscore/soundpack.h"

namespace {

using trtest::boxes;

br_filesystem *current_filesystem()
{
    // Setting the standard record answers the one that was current.
    br_filesystem *was = BrFilesystemSet(nullptr);
    BrFilesystemSet(was);
    return was;
}

std::vector<uint8_t> pack_entry(const char *name)
{
    std::vector<uint8_t> data;
    vokpack::Directory *d = vokpack::read_dir("terrow.pck");
    if (d != nullptr)
        vokpack::load_entry(*d, name, data);
    vokpack::free_dir(d);
    return data;
}

std::string write_temp(const std::vector<uint8_t> &bytes, const char *name)
{
    std::string path = std::string(VOK_TEST_BIN_DIR) + "/" + name;
    FILE *f = fopen(path.c_str(), "wb");
    if (f != nullptr) {
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
    return path;
}

class Looks : public trtest::Brondel {};

TEST_F(Looks, EveryModelLoadsThroughOwnFsAndTheStandardRecordComesBack)
{
    br_filesystem *standard = current_filesystem();
    ASSERT_STRNE(standard->identifier, "OwnFs");
    load_all();
    EXPECT_TRUE(boxes().empty()) << boxes().front();
    EXPECT_EQ(current_filesystem(), standard);
    EXPECT_STREQ(OwnFs_Record()->identifier, "OwnFs");
    EXPECT_EQ(OwnFs_Record()->open_read, &OwnFs_OpenRead);
    EXPECT_EQ(OwnFs_Record()->read, standard->read) << "the rest of the record is the standard one";
    const struct {
        const char *file;
        int count;
    } multi[] = {{"pieces_g.mod", 12}, {"pieces_k.mod", 12}, {"pieces_l.mod", 8}, {"pieces_m.mod", 14},
                 {"utkozo_r.mod", 8},  {"kocka.mod", 1},     {"lapmagnes", 1},    {"s9.mod", 1}};
    for (const auto &m : multi) {
        EXPECT_NE(Model_Get(m.file, m.count - 1), nullptr) << m.file;
        EXPECT_EQ(Model_Get(m.file, m.count), nullptr) << m.file;
        EXPECT_EQ(Model_Get(m.file, 0)->flags & 0x7fff, 0x82) << m.file;
    }
    EXPECT_NE(Model_Get("lapmagnes", 0), Model_Get("lap.mod", 0)) << "the flat magnet is a copy of its own";
    // The block scale: a cube 0.1 x 0.055 x 0.1, a hair larger.
    const br_model *cube = Model_Get("kocka.mod", 0);
    EXPECT_NEAR(cube->bounds.max.v[1] - cube->bounds.min.v[1], 0.055f * 1.01f, 1e-4f);
    EXPECT_NEAR(cube->bounds.max.v[0] - cube->bounds.min.v[0], 0.1f * 1.01f, 1e-4f);
    // A missing name: null, and the standard record current again.
    EXPECT_EQ(OwnFs_Load("nowhere.mod"), nullptr);
    EXPECT_EQ(current_filesystem(), standard);
    br_model *two[2] = {};
    EXPECT_EQ(OwnFs_LoadMany("nowhere.mod", two, 2), 0u);
    EXPECT_EQ(current_filesystem(), standard);
    int mode = 7;
    EXPECT_EQ(OwnFs_OpenRead("nowhere.mod", 0, nullptr, &mode), nullptr);
    EXPECT_EQ(mode, 0) << "binary";
    // The pack stays open for later loads, from whatever folder they come.
    ASSERT_EQ(chdir(VOK_TEST_BIN_DIR), 0);
    br_model *again = OwnFs_Load("kocka.mod");
    ASSERT_NE(again, nullptr) << "the pack is found from another folder";
    BrModelFree(again);
    ASSERT_NE(Model_RedrawList(), nullptr);
    int redraw = 0;
    while (Model_RedrawList()[redraw] != nullptr)
        redraw++;
    EXPECT_EQ(redraw, 9);
}

TEST_F(Looks, ADamagedEntryFailsAloneAndEndsAtItsEntry)
{
    std::vector<uint8_t> cube = pack_entry("kocka.mod");
    ASSERT_GT(cube.size(), 64u);
    std::vector<uint8_t> half(cube.begin(), cube.begin() + 100);
    std::vector<uint8_t> rest(cube.begin() + 100, cube.end());
    std::string path = write_temp(vokpack::build_pack({{"bad.mod", half}, {"rest.mod", rest}, {"good.mod", cube}}),
                                  "damaged.pck");
    ASSERT_EQ(OwnFs_OpenPack(path.c_str()), 1);
    // The damaged model does not read on into the entry after it.
    void *s = OwnFs_OpenRead("bad.mod", 0, nullptr, nullptr);
    ASSERT_NE(s, nullptr);
    std::vector<char> all(cube.size() + 100);
    EXPECT_EQ(fread(all.data(), 1, all.size(), (FILE *)s), half.size());
    fclose((FILE *)s);
    br_filesystem *standard = current_filesystem();
    EXPECT_EQ(OwnFs_Load("bad.mod"), nullptr);
    EXPECT_EQ(current_filesystem(), standard) << "the standard record is back after a failed load";
    br_model *good = OwnFs_Load("good.mod");
    ASSERT_NE(good, nullptr);
    EXPECT_GT(good->nfaces, 0);
    BrModelFree(good);
    remove(path.c_str());
}

TEST_F(Looks, AMissingOrTruncatedPackFailsTheLoadWithAWarning)
{
    std::string here = VOK_TEST_BIN_DIR "/looks-truncated";
    std::string cmd = "mkdir -p " + here;
    ASSERT_EQ(system(cmd.c_str()), 0);
    ASSERT_EQ(chdir(here.c_str()), 0);
    remove("terrow.pck");
    EXPECT_EQ(Model_LoadAll(), 0);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0], "Cannot open terrow.pck");
    FILE *in = fopen(VOK_BIN_DIR "/fw/terrow.pck", "rb");
    ASSERT_NE(in, nullptr);
    std::vector<uint8_t> bytes(1 << 22);
    bytes.resize(fread(bytes.data(), 1, bytes.size(), in));
    fclose(in);
    for (size_t keep : {bytes.size() / 2, bytes.size() - 7}) {
        boxes().clear();
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(keep));
        write_temp(cut, "looks-truncated/terrow.pck");
        EXPECT_EQ(Model_LoadAll(), 0) << keep;
        ASSERT_FALSE(boxes().empty()) << keep;
        EXPECT_TRUE(boxes().back().find("s9.mod") != std::string::npos ||
                    boxes().back().find("not found") != std::string::npos ||
                    boxes().back().find("multi model ld failed") != std::string::npos)
            << boxes().back();
        EXPECT_EQ(BrModelCount("*"), 0u) << "nothing of a failed load stays";
    }
    remove("terrow.pck");
}

// A square of two faces over four vertices, the diagonal 0-2 shared.
br_model *square()
{
    br_model *m = BrModelAllocate("square", 4, 2);
    const float p[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int i = 0; i < 4; i++) {
        BrVector3Set(&m->vertices[i].p, p[i][0], p[i][1], 0);
        m->vertices[i].map.v[0] = 0.25f;
        m->vertices[i].map.v[1] = 0.75f;
    }
    const br_uint_16 f[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (int k = 0; k < 2; k++)
        for (int c = 0; c < 3; c++)
            m->faces[k].vertices[c] = f[k][c];
    m->flags = BR_MODF_UPDATEABLE;
    return BrModelAdd(m);
}

TEST_F(Looks, UvdTable)
{
    struct Case {
        const char *text;
        int mode;
        int vertices;  // after the map
        float uv[2][3][2];  // each face's corners
    } cases[] = {
        // Shared corners with equal pairs share their vertex.
        {"0 0 1 0 1 1\n0 0 1 1 0 1", 0, 4, {{{0.001f, 0.001f}, {0.333f, 0.001f}, {0.333f, 0.5f}},
                                             {{0.001f, 0.001f}, {0.333f, 0.5f}, {0.001f, 0.5f}}}},
        // Other pairs on the shared corners: one copy each.
        {"0 0 1 0 1 1\n2 2 3 3 2 3", 0, 6, {{{0.001f, 0.001f}, {0.333f, 0.001f}, {0.333f, 0.5f}},
                                             {{0.34f, 0.51f}, {0.66f, 0.99f}, {0.34f, 0.99f}}}},
        // Fewer than six integers a face: the rest is (0, 0).
        {"5 3 4 2", 0, 5, {{{0.99f, 0.99f}, {0.67f, 0.51f}, {0, 0}}, {{0, 0}, {0, 0}, {0, 0}}}},
        // Bad indices give 0.0; a word stops the reading for good.
        {"-1 0 6 4 5 -3\n1 1 x 1 1 1", 0, 6, {{{0, 0.001f}, {0, 0}, {0.99f, 0}}, {{0.333f, 0.5f}, {0, 0}, {0, 0}}}},
        // Mode 1: a bad U keeps the vertex's own pair, a bad V its own V.
        {"-1 0 1 9 5 3\n0 0 9 9 1 1", 1, 6, {{{0.25f, 0.75f}, {0.333f, 0.75f}, {0.99f, 0.99f}},
                                              {{0.001f, 0.001f}, {0.25f, 0.75f}, {0.333f, 0.5f}}}},
    };
    for (const Case &c : cases) {
        br_model *m = square();
        ASSERT_EQ(UVMapText(m, c.text, TrUTable, TrVTable, c.mode), 1) << c.text;
        EXPECT_EQ(m->nvertices, c.vertices) << c.text;
        for (int f = 0; f < 2; f++)
            for (int k = 0; k < 3; k++) {
                const br_vertex &v = m->vertices[m->faces[f].vertices[k]];
                EXPECT_FLOAT_EQ(v.map.v[0], c.uv[f][k][0]) << c.text << " face " << f << " corner " << k;
                EXPECT_FLOAT_EQ(v.map.v[1], c.uv[f][k][1]) << c.text << " face " << f << " corner " << k;
                // Copies keep their vertex's place.
                const float want[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
                const int from = f == 0 ? k : (k == 0 ? 0 : k + 1);
                EXPECT_EQ(v.p.v[0], want[from][0]);
                EXPECT_EQ(v.p.v[1], want[from][1]);
            }
        BrModelFree(BrModelRemove(m));
    }
    EXPECT_TRUE(boxes().empty());
    br_model *m = square();
    EXPECT_EQ(UVMap(m, "nowhere.uvd", TrUTable, TrVTable, 0), 0);
    EXPECT_EQ(m->nvertices, 4);
    BrModelFree(BrModelRemove(m));
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0], "UVMap: nowhere.uvd file not found");
}

TEST_F(Looks, AMapNeedingMoreThan65535VerticesIsRefusedAndTheModelStaysAsItWas)
{
    const int nv = 40000, nf = 30000;
    br_model *m = BrModelAllocate("big", nv, nf);
    for (int f = 0; f < nf; f++)
        for (int c = 0; c < 3; c++)
            m->faces[f].vertices[c] = br_uint_16((f * 3 + c) % nv);
    std::string text;
    for (int i = 0; i < nf * 3; i++) {
        const int pair = (i / nv) + 1;  // each round over the vertices asks another pair
        text += std::to_string(pair) + " " + std::to_string(pair) + " ";
    }
    br_vertex *before = m->vertices;
    EXPECT_EQ(UVMapText(m, text.c_str(), TrUTable, TrVTable, 0), 0);
    EXPECT_EQ(m->nvertices, nv);
    EXPECT_EQ(m->vertices, before);
    EXPECT_EQ(m->faces[nf - 1].vertices[2], (nf * 3 - 1) % nv);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_NE(boxes()[0].find("65535"), std::string::npos);
    BrModelFree(m);
}

TEST_F(Looks, LookupDarkerVariantAndMaterials)
{
    load_all();
    const TrLook *slope = Look_Find(10, 1);
    ASSERT_NE(slope, nullptr);
    EXPECT_STREQ(slope->textureName, "aq\\raklejt.pix");
    EXPECT_EQ(slope->model, Model_Get("lejto.mod", 0));
    EXPECT_NE(slope->texture, nullptr);
    // Value 4 gives a darker copy; the same look otherwise.
    const TrLook *tile = Look_Find(20, 0);
    const float ka = tile->lighting[0], ks = tile->lighting[1], kd = tile->lighting[2], power = tile->lighting[3];
    const TrLook *dark = Look_Find(20, 4);
    ASSERT_NE(dark, tile);
    EXPECT_FLOAT_EQ(dark->lighting[0], ka * 0.8f);
    EXPECT_FLOAT_EQ(dark->lighting[1], ks * 0.8f);
    EXPECT_FLOAT_EQ(dark->lighting[2], kd * 0.8f);
    EXPECT_FLOAT_EQ(dark->lighting[3], power);
    EXPECT_EQ(dark->texture, tile->texture);
    EXPECT_FLOAT_EQ(tile->lighting[0], 0.1f) << "the table's look stays as it is";
    // A variant without a look shows the type's first; a type without one has none.
    EXPECT_EQ(Look_Find(11, 11), Look_Find(11, 0));
    EXPECT_EQ(Look_Find(11, 15)->texture, Look_Find(11, 0)->texture);
    EXPECT_EQ(Look_Find(55, 0), nullptr);
    EXPECT_EQ(Look_NextVariant(10, 0), 1);
    EXPECT_EQ(Look_NextVariant(10, 2), 0);
    EXPECT_EQ(Look_NextVariant(21, 0), 0);
    // Materials: running names, shade table by texture folder, the translucent ball.
    br_material *a = Look_Material(10, 0), *b = Look_Material(22, 0), *c = Look_Material(100, 1);
    EXPECT_EQ(std::strncmp(a->identifier, "0x00.", 5), 0);
    EXPECT_EQ(a->flags & 37u, 37u);
    ASSERT_NE(a->index_shade, nullptr);
    EXPECT_STREQ(a->index_shade->identifier, "shade\\a.shd");
    EXPECT_STREQ(b->index_shade->identifier, "shade\\b.shd");
    EXPECT_STREQ(c->index_shade->identifier, "shade\\c.shd");
    EXPECT_EQ(Look_Material(1, 0)->opacity, 128);
    EXPECT_NE(Look_Material(1, 0)->flags & 0x1000u, 0u);
    EXPECT_EQ(Look_Find(70, 0)->pieces, 12);
    EXPECT_EQ(Look_Find(70, 0)->pieceModels[11], Model_Get("pieces_g.mod", 11));
    ASSERT_NE(Model_Get("tuskes.mod", 0)->faces[14].material, nullptr);
    EXPECT_STREQ(Model_Get("tuskes.mod", 0)->faces[14].material->identifier, "yeeyeee");
    EXPECT_EQ(Model_Get("tuskes.mod", 0)->faces[13].material, nullptr);
    EXPECT_STREQ(Model_Get("tuskesb.mod", 0)->faces[4].material->identifier, "yeeyeee");
    ASSERT_NE(Model_Get("picinyil.mod", 0)->faces[1].material, nullptr);
    EXPECT_STREQ(Model_Get("picinyil.mod", 0)->faces[1].material->identifier, "ures-1");
    EXPECT_EQ(Model_Get("picinyil.mod", 0)->faces[2].material, nullptr);
}

TEST_F(Looks, GroundTilesArePlatesInsideTheFieldAndBlocksAtItsEdge)
{
    load_all();
    TrPalya *field = Palya_NewEmpty();
    struct Case {
        int x, y, z, type;
        uint32_t flags;
        const char *model;
        int textureLook;  // the look whose texture the copy carries
    } cases[] = {
        {0, 0, 0, TY_T_SIMA, 0, "kocka.mod", 40},       {4, 0, 4, TY_T_SIMA, 0, "lap.mod", 40},
        {4, 1, 4, TY_T_SIMA, 0, "kocka.mod", 20},       {4, 0, 9, TY_T_SIMA, 0, "kocka.mod", 40},
        {4, 0, 4, TY_T_SIMA, EF_SAMPLE, "kocka.mod", 20}, {3, 0, 3, TY_T_MAGNES, 0, "lapmagnes", 41},
        {0, 0, 3, TY_T_MAGNES, 0, "magnes.mod", 41},    {3, 0, 3, TY_T_SZOGES, 0, "tuskesb.mod", 22},
        {3, 0, 3, TY_T_LEJTO, 0, "lejto.mod", 10},
    };
    // The darker variant's actor is lit darker; a material from another type's look.
    TrElem *dark = Elem_NewV(2, 1, 2, 0, TY_T_SIMA, EF_NOT_BALL, 4);
    ASSERT_NE(Look_MakeActorsIn(field, dark), nullptr);
    EXPECT_FLOAT_EQ(dark->actor->material->kd, Look_Find(20, 0)->lighting[2] * 0.8f);
    Look_SetMaterialOf(TY_T_CEL, dark);
    EXPECT_EQ(dark->actor->material->colour_map, Look_Find(24, 0)->texture);
    Look_Refresh(dark);
    EXPECT_EQ(dark->actor->material->colour_map, Look_Find(20, 0)->texture);
    Look_FreeActors(dark);
    Elem_Free(dark);
    // A highlighted ground plate comes back as the ground's look, not the block's.
    TrElem *plate = Elem_New(3, 0, 3, 0, TY_T_SIMA, EF_NOT_BALL);
    TrElem *magnet = Elem_New(4, 0, 4, 0, TY_T_MAGNES, EF_NOT_BALL);
    for (TrElem *e : {plate, magnet}) {
        ASSERT_NE(Look_MakeActorsIn(field, e), nullptr);
        br_pixelmap *ground = e->actor->material->colour_map;
        e->actor->material->colour_map = nullptr;
        e->actor->material->ka = 1.0f;
        Look_Refresh(e);
        EXPECT_EQ(e->actor->material->colour_map, ground) << e->io->type;
        EXPECT_FLOAT_EQ(e->actor->material->ka, Look_Find(e->io->type == TY_T_SIMA ? 40 : 41, 0)->lighting[0]);
        Look_FreeActors(e);
        Elem_Free(e);
    }
    Palya_AddElem(field, Elem_New(9, 0, 9, 0, TY_T_SIMA, EF_NOT_BALL));  // extent 10 x 10
    for (const Case &c : cases) {
        TrElem *e = Elem_New(c.x, c.y, c.z, 0, c.type, EF_NOT_BALL | c.flags);
        br_actor *a = Look_MakeActorsIn(field, e);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->model, Model_Get(c.model, 0)) << c.x << "," << c.y << "," << c.z << " type " << c.type;
        EXPECT_EQ(a->material->colour_map, Look_Find(c.textureLook, 0)->texture) << c.type;
        EXPECT_NE(a->material, Look_Material(c.textureLook, 0)) << "a copy of its own";
        EXPECT_EQ(Look_ElemOfActor(a), e);
        Look_FreeActors(e);
        EXPECT_EQ(e->actor, nullptr);
        Elem_Free(e);
    }
    Palya_Free(field);
}

TEST_F(Looks, EveryLookMakesItsActorsAndFreesThem)
{
    load_all();
    const br_uint_32 materials = BrMaterialCount("*");
    for (int i = 0; i < Look_Count(); i++) {
        const TrLook *l = Look_At(i);
        EXPECT_NE(l->texture, nullptr) << l->textureName;
        EXPECT_TRUE(l->model != nullptr || (l->pieces > 0 && l->pieceModels[l->pieces - 1] != nullptr)) << l->type;
        for (int32_t dir : {2, TR_DIR_UNSET}) {
            TrElem *e = Elem_NewV(1, 1, 1, dir, l->type, Elem_ClassOf(l->type) | EF_LEVEL_PART, l->variant);
            br_actor *a = Look_MakeActorsIn(nullptr, e);
            ASSERT_NE(a, nullptr) << l->type;
            EXPECT_EQ(Look_ElemOfActor(a), e);
            if (l->pieces > 0) {
                int children = 0;
                for (br_actor *c = a->children; c != nullptr; c = c->next) {
                    EXPECT_EQ(Look_ElemOfActor(c), e) << "a piece yields its element";
                    children++;
                }
                EXPECT_EQ(children, l->pieces);
            }
            if (l->type < TY_BALL_LIMIT) {
                ASSERT_NE(e->markerActor, nullptr) << l->type;
                EXPECT_EQ(e->markerActor->model, Model_Get(dir == TR_DIR_UNSET ? "picinyil.mod" : "nyil.mod", 0));
                EXPECT_EQ(Look_ElemOfActor(e->markerActor), e) << "the arrow yields its ball";
                EXPECT_EQ(e->markerActor->material->colour_map, Look_Find(100, 1)->texture) << "fixed ball";
            } else {
                EXPECT_EQ(e->markerActor, nullptr);
            }
            Look_FreeActors(e);
            Elem_Free(e);
        }
    }
    EXPECT_EQ(BrMaterialCount("*"), materials) << "every copy went with its actor";
    // Releasing everything at shut-down leaves no table pointing at what it freed.
    Br_ReleaseAll();
    EXPECT_EQ(Look_Count(), 0);
    EXPECT_EQ(Model_Get("kocka.mod", 0), nullptr);
    EXPECT_EQ(BrModelCount("*") + BrMaterialCount("*") + BrMapCount("*"), 0u);
    Look_FreeAll();
    Model_FreeAll();
    TrElem *stranger = Elem_New(0, 1, 0, 0, 55, EF_NOT_BALL);
    EXPECT_EQ(Look_MakeActorsIn(nullptr, stranger), nullptr);
    ASSERT_FALSE(boxes().empty());
    EXPECT_EQ(boxes().back(), "No appearance defined for elem type 55");
    Elem_Free(stranger);
}

}  // namespace

namespace {

void collect(const char *name, void *arg)
{
    static_cast<std::vector<std::string> *>(arg)->push_back(name);
}

TEST_F(Looks, DecorationListLinesAndModels)
{
    const struct {
        const char *text;
        std::vector<std::string> names;
    } cases[] = {
        {"stone\nlamp", {"stone", "lamp"}},
        {"stone\r\n\r\nlamp\r\n", {"stone", "lamp"}},
        {"", {}},
        {"\n\n", {}},
    };
    for (const auto &c : cases) {
        std::vector<std::string> got;
        EXPECT_EQ(Decor_ParseList(c.text, strlen(c.text), collect, &got), int32_t(c.names.size())) << c.text;
        EXPECT_EQ(got, c.names) << c.text;
    }
    std::string tooLong(TR_DECOR_NAME_MAX + 1, 'a');
    EXPECT_EQ(Decor_ParseList(tooLong.data(), tooLong.size(), nullptr, nullptr), 0);

    // A hall with one decoration: the list's last line has no line break, a name without a model is
    // left out, the texture's file names the material.
    const std::string root = VOK_TEST_BIN_DIR "/looks-decor";
    ASSERT_EQ(system(("rm -rf " + root + " && mkdir -p " + root + "/fw/mt").c_str()), 0);
    write_temp(pack_entry("kocka.mod"), "looks-decor/fw/mt/stone.mod");
    std::vector<uint8_t> list = {'n', 'o', 'n', 'e', '\n', 's', 't', 'o', 'n', 'e'};
    write_temp(list, "looks-decor/fw/mt/mt.lst");
    ASSERT_EQ(system(("cp " VOK_BIN_DIR "/fw/aq/1panel.pix " + root + "/fw/mt/stone.pix").c_str()), 0);
    ASSERT_EQ(chdir(root.c_str()), 0);
    br_actor *hall = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    EXPECT_EQ(Decor_LoadList(hall, "missing.lst"), 0);
    ASSERT_EQ(Decor_LoadList(hall, "mt.lst"), 1);
    ASSERT_NE(hall->children, nullptr);
    EXPECT_EQ(hall->children->next, nullptr);
    ASSERT_NE(hall->children->model, nullptr);
    ASSERT_NE(hall->children->material, nullptr);
    EXPECT_STREQ(hall->children->material->identifier, "stone.pix");
    EXPECT_NE(hall->children->material->colour_map, nullptr);
    char here[1024];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    EXPECT_EQ(std::string(here), root) << "the folder is changed back";
    BrActorFree(hall);
}

}  // namespace

namespace {

TEST(FieldFlags, TheCurrentFieldsFlagWords)
{
    TrShell *s = TrGetShell();
    TrPalya *saved = s->field;
    s->field = nullptr;
    EXPECT_EQ(Palya_Modified(), 0);
    Palya_SetExtraBit2();  // no field: nothing happens
    TrPalya *f = Palya_NewEmpty();
    s->field = f;
    Palya_AddElem(f, Elem_New(0, 0, 0, 0, TY_T_SIMA, EF_NOT_BALL | EF_SELECTED | EF_HANDLED));
    Palya_AddElem(f, Elem_New(1, 1, 0, 2, TY_G_FEM, EF_BALL | EF_SELECTED));
    Palya_ClearElemFlags(EF_SELECTED | EF_HANDLED);
    EXPECT_EQ(f->elements[0]->io->flags, EF_NOT_BALL);
    EXPECT_EQ(f->elements[1]->io->flags, EF_BALL);
    f->flags = 0;
    EXPECT_EQ(Palya_Modified(), 0);
    f->flags = PF_MODIFIED;
    EXPECT_EQ(Palya_Modified(), 1);
    f->levelFlags = 0;
    Palya_SetExtraBit2();
    EXPECT_EQ(f->levelFlags, LF_PLAYABLE);
    EXPECT_EQ(Palya_ExtraBit4(), 0);
    f->levelFlags |= LF_SECRET;
    EXPECT_EQ(Palya_ExtraBit4(), 1);
    s->field = saved;
    Palya_Free(f);
}

}  // namespace

namespace {

// trview as a user runs it from another folder: the picture lands where the caller said, and holds a
// varied scene (a blank or one-coloured picture packs into a few hundred bytes).
TEST(TrView, LooksIntoAPictureFromAnyFolder)
{
    const std::string dir = VOK_TEST_BIN_DIR "/trview-out";
    ASSERT_EQ(system(("rm -rf " + dir + " && mkdir -p " + dir).c_str()), 0);
    const std::string cmd = "cd " + dir + " && " VOK_BIN_DIR "/trview --looks --out looks.png --size 400x300 > log.txt 2>&1";
    ASSERT_EQ(system(cmd.c_str()), 0);
    FILE *f = fopen((dir + "/looks.png").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    fseek(f, 0, SEEK_END);
    EXPECT_GT(ftell(f), 20000L);
    fclose(f);
    EXPECT_NE(system(("cd " + dir + " && " VOK_BIN_DIR "/trview --nothing > /dev/null 2>&1").c_str()), 0);
}

}  // namespace

// A ball's arrow in the field points where the ball starts rolling: direction 0 towards -z, 1 -x,
// 2 +z, 3 +x (the physics' launch table).
TEST_F(Looks, BallsArrowInTheFieldPointsItsStartingWay)
{
    load_all();
    TrInstallLookHooks();
    TrPlayModeGet()->game = 0;
    br_actor *root = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    br_actor *opaque = BrActorAdd(root, BrActorAllocate(BR_ACTOR_NONE, nullptr));
    br_actor *translucent = BrActorAdd(root, BrActorAllocate(BR_ACTOR_NONE, nullptr));
    Palya_Install(Palya_New(), opaque, translucent, nullptr);
    const float way[4][2] = {{0, -1}, {-1, 0}, {0, 1}, {1, 0}};
    for (int32_t dir = 0; dir < 4; dir++) {
        TrElem *ball = Palya_Add(dir + 2, 1, 5, dir, TY_G_FEM, 1, 0);
        ASSERT_NE(ball, nullptr);
        // The actor that draws the arrow, and the arrow's tip (its furthest point along the model's +z).
        br_actor *arrow = ball->markerActor;
        while (arrow != nullptr && arrow->model == nullptr)
            arrow = arrow->children;
        ASSERT_NE(arrow, nullptr) << dir;
        ASSERT_EQ(arrow->model, Model_Get("nyil.mod", 0));
        const br_model *m = arrow->model;
        br_vector3 tip = m->vertices[0].p;
        for (int v = 1; v < m->nvertices; v++)
            if (m->vertices[v].p.v[2] > tip.v[2])
                tip = m->vertices[v].p;
        const br_vector3 middle = {{0, tip.v[1], 0}};
        br_matrix34 toField;
        BrActorToActorMatrix34(&toField, arrow, opaque);
        br_vector3 a, b;
        BrMatrix34ApplyP(&a, &middle, &toField);
        BrMatrix34ApplyP(&b, &tip, &toField);
        const float dx = b.v[0] - a.v[0], dz = b.v[2] - a.v[2], len = sqrtf(dx * dx + dz * dz);
        ASSERT_GT(len, 0.0f);
        EXPECT_NEAR(dx / len, way[dir][0], 0.01f) << dir;  // turns of 182 units a degree
        EXPECT_NEAR(dz / len, way[dir][1], 0.01f) << dir;
    }
    Palya_Release();
    TrSetPlayHooks(nullptr);
    BrActorFree(root);
}
