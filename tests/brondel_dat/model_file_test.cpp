// Models through datafiles: round trips in both forms, several models in a file, what is refused,
// and the malformed chunks that must not reach past what was read.
#include <filesystem>
#include <fstream>

#include "dat_support.h"

namespace {

using namespace dattest;

class ModelFile : public Dat, public ::testing::WithParamInterface<Form> {
protected:
    void SetUp() override
    {
        Dat::SetUp();
        form_set(GetParam());
    }

    br_material *registered(const char *name)
    {
        return BrMaterialAdd(BrMaterialAllocate(name));
    }
};

// The cube with texture corners, some faces with materials, smoothing 0 on one face and a pivot.
br_model *dressed_cube(br_material *a, br_material *b)
{
    br_model *m = dbtest::make_cube("crate", BR_MODF_UPDATEABLE | BR_MODF_NO_POSITION_MERGE);
    for (int i = 0; i < m->nvertices; i++) {
        m->vertices[i].map.v[0] = 0.11f * (float)i;
        m->vertices[i].map.v[1] = 0.99f - 0.1f * (float)i;
    }
    for (int f = 0; f < m->nfaces; f++)
        m->faces[f].material = f < 4 ? a : f < 8 ? b : nullptr;
    m->faces[3].smoothing = 0;
    m->faces[5].smoothing = 0x8004;
    BrVector3Set(&m->pivot, 0.5f, -1.0f, 2.0f);
    return m;
}

TEST_P(ModelFile, RoundTripKeepsGeometryMaterialsAndPivot)
{
    br_material *a = registered("paint_a"), *b = registered("paint_b");
    br_model *m = dressed_cube(a, b);
    ASSERT_EQ(BrModelSave(path("crate.mod").c_str(), m), 1u);

    br_model *l = BrModelLoad(path("crate.mod").c_str());
    ASSERT_NE(l, nullptr);
    EXPECT_STREQ(l->identifier, "crate");
    EXPECT_EQ(l->flags, BR_MODF_NO_POSITION_MERGE); // only the flags a file keeps
    ASSERT_EQ(l->nvertices, m->nvertices);
    ASSERT_EQ(l->nfaces, m->nfaces);
    for (int i = 0; i < m->nvertices; i++) {
        for (int k = 0; k < 3; k++)
            EXPECT_EQ(l->vertices[i].p.v[k], m->vertices[i].p.v[k]) << "vertex " << i;
        // The text form keeps six significant digits.
        EXPECT_NEAR(l->vertices[i].map.v[0], m->vertices[i].map.v[0], 1e-6) << "vertex " << i;
        EXPECT_NEAR(l->vertices[i].map.v[1], m->vertices[i].map.v[1], 1e-6) << "vertex " << i;
    }
    for (int f = 0; f < m->nfaces; f++) {
        for (int k = 0; k < 3; k++)
            EXPECT_EQ(l->faces[f].vertices[k], m->faces[f].vertices[k]);
        EXPECT_EQ(l->faces[f].flags, m->faces[f].flags);
        EXPECT_EQ(l->faces[f].material, m->faces[f].material) << "face " << f;
        EXPECT_EQ(l->faces[f].smoothing, f == 3 ? 0xffff : m->faces[f].smoothing) << "face " << f;
    }
    EXPECT_EQ(l->pivot.v[0], 0.5f);
    EXPECT_EQ(l->pivot.v[1], -1.0f);
    EXPECT_EQ(l->pivot.v[2], 2.0f);
    EXPECT_EQ(BrModelFind("crate"), nullptr); // loading registers nothing
    EXPECT_TRUE(dbtest::failures.empty()) << dbtest::failures[0];
    EXPECT_EQ(DfTopType(), 0);
}

TEST_P(ModelFile, MaterialsNotRegisteredWhenLoadedComeBackEmpty)
{
    br_material *a = registered("paint_a"), *b = registered("paint_b");
    br_model *m = dressed_cube(a, b);
    ASSERT_EQ(BrModelSave(path("crate.mod").c_str(), m), 1u);
    BrMaterialRemove(b);
    br_model *l = BrModelLoad(path("crate.mod").c_str());
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->faces[0].material, a);
    EXPECT_EQ(l->faces[4].material, nullptr);
}

// Chunk ids in file order, read with the library's own reader.
std::vector<br_uint_32> chunk_ids(const std::string &file)
{
    static std::vector<br_uint_32> *ids;
    std::vector<br_uint_32> out;
    ids = &out;
    static const auto note = [](br_datafile *df, br_uint_32 id, br_uint_32 length, br_uint_32) {
        ids->push_back(id);
        df->prims->skip(df, length);
        return 0;
    };
    std::vector<DfChunkEntry> entries;
    for (br_uint_32 id = 0; id < FID_MAX; id++)
        entries.push_back({id, 0, +note});
    DfChunkTable table = {(br_uint_32)entries.size(), entries.data()};
    br_datafile *df = DfOpen(file.c_str(), DF_DIRECTION_READ, BRT_FLOAT);
    if (df == nullptr)
        return out;
    DfChunksInterpret(df, &table);
    DfClose(df);
    return out;
}

TEST_P(ModelFile, ChunksInTheirOrderAndNoTextureCoordinatesWhenAllZero)
{
    br_model *m = dbtest::make_cube("plain");
    ASSERT_EQ(BrModelSave(path("plain.mod").c_str(), m), 1u);
    EXPECT_EQ(chunk_ids(path("plain.mod")),
              (std::vector<br_uint_32>{FID_FILE_INFO, FID_MODEL, FID_VERTICES, FID_FACES, FID_END}));

    br_material *a = registered("paint_a");
    br_model *d = dressed_cube(a, nullptr);
    ASSERT_EQ(BrModelSave(path("dressed.mod").c_str(), d), 1u);
    EXPECT_EQ(chunk_ids(path("dressed.mod")),
              (std::vector<br_uint_32>{FID_FILE_INFO, FID_MODEL, FID_VERTICES, FID_VERTEX_UV, FID_FACES,
                                       FID_MATERIAL_INDEX, FID_FACE_MATERIAL, FID_PIVOT, FID_END}));
}

TEST_P(ModelFile, SeveralModelsLoadInOrderAndTheSingleLoadTakesTheFirst)
{
    br_model *ms[3] = {dbtest::make_cube("first"), dbtest::make_cube("second"), dbtest::make_cube("third")};
    ms[1]->vertices[0].p.v[0] = 7.0f;
    ASSERT_EQ(BrModelSaveMany(path("three.mod").c_str(), ms, 3), 3u);

    br_model *one = BrModelLoad(path("three.mod").c_str());
    ASSERT_NE(one, nullptr);
    EXPECT_STREQ(one->identifier, "first");

    br_model *got[4] = {};
    ASSERT_EQ(BrModelLoadMany(path("three.mod").c_str(), got, 4), 3u);
    EXPECT_STREQ(got[1]->identifier, "second");
    EXPECT_EQ(got[1]->vertices[0].p.v[0], 7.0f);
    EXPECT_STREQ(got[2]->identifier, "third");
    EXPECT_EQ(BrModelLoadMany(path("three.mod").c_str(), got, 2), 2u);

    br_uint_16 n = 99;
    EXPECT_EQ(BrModelFileCount(path("three.mod").c_str(), &n), (br_error)BRE_OK);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(BrModelFileCount(path("missing.mod").c_str(), &n), (br_error)BRE_FAIL);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(DfTopType(), 0);
}

TEST_P(ModelFile, SaveManyOfNullSavesEveryRegisteredModel)
{
    BrModelAdd(dbtest::make_cube("reg_a"));
    BrModelAdd(dbtest::make_cube("reg_b"));
    EXPECT_EQ(BrModelSaveMany(path("all.mod").c_str(), nullptr, 0), 2u);
    br_uint_16 n = 0;
    BrModelFileCount(path("all.mod").c_str(), &n);
    EXPECT_EQ(n, 2);
}

TEST_P(ModelFile, ModelWithoutSourceDataIsNotSavedAndSaysWhy)
{
    // Added without BR_MODF_UPDATEABLE: preparation drops the vertices and faces.
    br_model *m = BrModelAdd(dbtest::make_cube("stripped", 0));
    ASSERT_EQ(m->vertices, nullptr);
    EXPECT_EQ(BrModelSave(path("stripped.mod").c_str(), m), 0u);
    EXPECT_FALSE(std::filesystem::exists(path("stripped.mod")));
    EXPECT_EQ(dbtest::warnings,
              (std::vector<std::string>{"Warning: stripped", "Warning: Model must have vertex and face information to save.",
                                        "Warning: This information may have neem stripped on addition to",
                                        "Warning: the registry. To prevent this, set the BR_MODF_UPDATEABLE"}));
    EXPECT_EQ(dbtest::failures, (std::vector<std::string>{"Failure: flag before adding the model to the registry."}));
}

TEST_P(ModelFile, UnwritableFileSavesNothing)
{
    br_model *m = dbtest::make_cube("cube");
    EXPECT_EQ(BrModelSave(path("no/such/folder/cube.mod").c_str(), m), 0u);
    EXPECT_EQ(BrModelLoad(path("no/such/folder/cube.mod").c_str()), nullptr);
}

// More texture coordinates than vertices: those that fit are read, the rest skipped, and the chunks
// after them still read.
TEST_P(ModelFile, VertexUVBeyondTheVerticesIsSkipped)
{
    {
        Writer w(path("uv.mod"));
        w.model("uv");
        w.vertices(3);
        w.uvs(5);
        w.faces({{{0, 1, 2}, 0, 0}});
        w.end();
    }
    br_model *m = BrModelLoad(path("uv.mod").c_str());
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(dbtest::has_failure("Vertex UV: too many entries"));
    EXPECT_EQ(m->vertices[2].map.v[0], 0.5f);
    ASSERT_EQ(m->nfaces, 1);
    EXPECT_EQ(m->faces[0].vertices[2], 2);
    EXPECT_EQ(m->faces[0].smoothing, 0xffff);
}

// Entries beyond the faces are dropped; an entry beyond the index gives no material.
TEST_P(ModelFile, FaceMaterialEntriesAreBoundToFacesAndIndex)
{
    br_material *a = registered("mat_a");
    {
        Writer w(path("fm.mod"));
        w.model("fm");
        w.vertices(3);
        w.faces({{{0, 1, 2}, 1, 0}, {{2, 1, 0}, 1, 0}});
        w.material_index({"mat_a"}, 1);
        w.face_materials({1, 9, 1, 1});
        w.end();
    }
    br_model *m = BrModelLoad(path("fm.mod").c_str());
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(dbtest::has_failure("Face Materials: too many entries"));
    EXPECT_EQ(m->faces[0].material, a);
    EXPECT_EQ(m->faces[1].material, nullptr);
}

struct Malformed {
    const char *name;
    std::function<void(Writer &)> write;
    const char *failure;
};

class MalformedModel : public Dat, public ::testing::WithParamInterface<std::tuple<Form, int>> {};

const Malformed malformed[] = {
    {"VerticesBeforeAnyModel", [](Writer &w) { w.vertices(3); }, "expected model"},
    {"FaceMaterialsWithoutIndex",
     [](Writer &w) {
         w.model("m");
         w.vertices(3);
         w.faces({{{0, 1, 2}, 1, 0}});
         w.face_materials({1});
     },
     "expected material index"},
    {"IndexWhereTheModelShouldBe",
     [](Writer &w) {
         w.material_index({"x"}, 1);
         w.vertices(3);
     },
     "expected model"},
    {"MoreVerticesThanACountHolds",
     [](Writer &w) {
         w.model("m");
         w.vertices(3, 70000);
     },
     "too many entries"},
    {"CountBeyondTheChunk",
     [](Writer &w) {
         w.model("m");
         w.vertices(3, 10);
     },
     "do not fit the chunk"},
    {"MoreOpenModelsThanTheStackHolds",
     [](Writer &w) {
         for (int i = 0; i < DF_STACK_SIZE + 8; i++)
             w.model("m");
     },
     "DatafileStack Overflow"},
    {"HugeMaterialIndex",
     [](Writer &w) {
         w.model("m");
         w.material_index({"x"}, 0x7fffffff);
     },
     "do not fit the chunk"},
};

TEST_P(MalformedModel, IsRefusedAndLeavesNothingBehind)
{
    form_set(std::get<0>(GetParam()));
    const Malformed &c = malformed[std::get<1>(GetParam())];
    {
        Writer w(path("bad.mod"));
        c.write(w);
        w.end();
        // A good model after the bad one is not reached either.
        w.model("after");
        w.vertices(3);
        w.end();
    }
    br_model *got[2] = {};
    EXPECT_EQ(BrModelLoadMany(path("bad.mod").c_str(), got, 2), 0u) << c.name;
    EXPECT_TRUE(dbtest::has_failure(c.failure)) << c.name;
    EXPECT_EQ(DfTopType(), 0) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Forms, MalformedModel,
                         ::testing::Combine(::testing::Values(Form::binary, Form::text),
                                            ::testing::Range(0, (int)(sizeof(malformed) / sizeof(malformed[0])))),
                         [](const ::testing::TestParamInfo<std::tuple<Form, int>> &info) {
                             return std::string(std::get<0>(info.param) == Form::binary ? "Binary" : "Text") +
                                    malformed[std::get<1>(info.param)].name;
                         });

TEST_P(ModelFile, FileCutShortInsideAnArrayIsRefused)
{
    {
        Writer w(path("short.mod"));
        w.model("m");
        Vtx v[2] = {{1, 2, 3}, {4, 5, 6}};
        br_uint_32 one = w.df->prims->struct_size(w.df, &vtx_template, v);
        w.chunk(FID_VERTICES, w.df->prims->count_size(w.df) + 4 * one);
        w.df->prims->count_write(w.df, 4);
        DfStructWriteArray(w.df, &vtx_template, v, 2);
    }
    EXPECT_EQ(BrModelLoad(path("short.mod").c_str()), nullptr);
    EXPECT_TRUE(dbtest::has_failure("cut short") || dbtest::has_failure("Unexpected EOF"));
    EXPECT_EQ(DfTopType(), 0);
}

INSTANTIATE_TEST_SUITE_P(Forms, ModelFile, ::testing::Values(Form::binary, Form::text), form_name);

// Older files: materials by a block of names, vertex and face arrays kept on the stack until the model
// record takes them, the face's material index over the high half of its smoothing word.
TEST_F(Dat, OlderModelChunksLoad)
{
    form_set(Form::binary); // the name block of the older index is raw bytes
    br_material *a = BrMaterialAdd(BrMaterialAllocate("old_a"));
    struct OldVtx {
        float x, y, z, u, v;
    };
    struct OldFace {
        br_uint_16 v[3];
        br_uint_16 material;
        br_uint_32 smoothing;
    };
    const DfStructMember vm[] = {
        {DF_TYPE_FLOAT, offsetof(OldVtx, x), "x", nullptr}, {DF_TYPE_FLOAT, offsetof(OldVtx, y), "y", nullptr},
        {DF_TYPE_FLOAT, offsetof(OldVtx, z), "z", nullptr}, {DF_TYPE_FLOAT, offsetof(OldVtx, u), "u", nullptr},
        {DF_TYPE_FLOAT, offsetof(OldVtx, v), "v", nullptr},
    };
    const DfStructTemplate vt = {"br_old_vertex_uv", 5, vm, sizeof(OldVtx)};
    const DfStructMember fm[] = {
        {DF_TYPE_UINT_16, offsetof(OldFace, v[0]), "a", nullptr},
        {DF_TYPE_UINT_16, offsetof(OldFace, v[1]), "b", nullptr},
        {DF_TYPE_UINT_16, offsetof(OldFace, v[2]), "c", nullptr},
        {DF_TYPE_UINT_16, offsetof(OldFace, material), "material", nullptr},
        {DF_TYPE_UINT_32, offsetof(OldFace, smoothing), "smoothing", nullptr},
    };
    const DfStructTemplate ft = {"br_old_face", 5, fm, sizeof(OldFace)};
    OldVtx verts[3] = {{0, 0, 0, 0.1f, 0.2f}, {1, 0, 0, 0.3f, 0.4f}, {0, 1, 0, 0.5f, 0.6f}};
    // Index entries: the high half of smoothing; 5 lies beyond the two names.
    OldFace faces[3] = {{{0, 1, 2}, 7, 0x00000002}, {{2, 1, 0}, 0, 0x00010000}, {{0, 2, 1}, 0, 0x00050001}};
    {
        Writer w(path("old.mod"));
        w.chunk(FID_OLD_MATERIAL_INDEX, 14);
        w.df->prims->name_write(w.df, "missing");
        w.df->prims->name_write(w.df, "old_a");
        w.chunk(FID_OLD_VERTICES_UV, 3 * w.df->prims->struct_size(w.df, &vt, verts));
        DfStructWriteArray(w.df, &vt, verts, 3);
        w.chunk(FID_OLD_FACES, 3 * w.df->prims->struct_size(w.df, &ft, faces));
        DfStructWriteArray(w.df, &ft, faces, 3);
        Mod mod = {0x00ff, (char *)"oldie"};
        w.chunk(FID_OLD_MODEL, w.df->prims->struct_size(w.df, &mod_template, &mod));
        w.df->prims->struct_write(w.df, &mod_template, &mod);
        w.end();
    }
    br_model *m = BrModelLoad(path("old.mod").c_str());
    ASSERT_NE(m, nullptr);
    EXPECT_STREQ(m->identifier, "oldie");
    EXPECT_EQ(m->flags, 0x17);
    ASSERT_EQ(m->nvertices, 3);
    ASSERT_EQ(m->nfaces, 3);
    EXPECT_EQ(m->vertices[2].map.v[1], 0.6f);
    EXPECT_EQ(m->faces[0].smoothing, 2);
    EXPECT_EQ(m->faces[0].material, nullptr); // entry 0: "missing" is not registered
    EXPECT_EQ(m->faces[1].smoothing, 0xffff);
    EXPECT_EQ(m->faces[1].material, a);
    EXPECT_EQ(m->faces[2].material, nullptr); // beyond the index
    EXPECT_TRUE(BrResIsChild(m, m->faces));
    EXPECT_EQ(DfTopType(), 0);
}

} // namespace
