// Actor trees and materials through datafiles: round trips in both forms, references by name, and
// stack entries of the wrong kind.
#include <stdio.h>
#include <string.h>

#include <brondel/brpixmap.h>

#include "dat_support.h"

namespace {

using namespace dattest;

class TreeFile : public Dat, public ::testing::WithParamInterface<Form> {
protected:
    void SetUp() override
    {
        Dat::SetUp();
        form_set(GetParam());
    }

    static br_actor *child(br_actor *parent, br_uint_8 type, const char *name)
    {
        br_actor *a = BrActorAllocate(type, nullptr);
        a->identifier = BrResStrDup(a, name);
        return BrActorAdd(parent, a);
    }
};

// A world holding one actor of every kind, each placed by another kind of transform.
br_actor *sample_world()
{
    br_actor *world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    world->identifier = BrResStrDup(world, "world");
    return world;
}

TEST_P(TreeFile, RoundTripKeepsOrderTransformsAndTypeRecords)
{
    br_model *cube = BrModelAdd(dbtest::make_cube("cube"));
    br_material *red = BrMaterialAdd(BrMaterialAllocate("red"));
    br_actor *world = sample_world();

    // Added at the head: the list order is the reverse of these calls.
    br_actor *plane = child(world, BR_ACTOR_CLIP_PLANE, "plane");
    plane->t.type = BR_TRANSFORM_MATRIX34_LP;
    BrMatrix34RotateY(&plane->t.t.mat, 0x2000);
    ((br_plane *)plane->type_data)->eqn = {{0.0f, 1.0f, 0.0f, -2.5f}};

    br_actor *box = child(world, BR_ACTOR_BOUNDS_CORRECT, "box");
    box->t.type = BR_TRANSFORM_TRANSLATION;
    BrVector3Set(&box->t.t.translate.t, 1.0f, 2.0f, 3.0f);
    br_bounds3 *b = (br_bounds3 *)box->type_data;
    BrVector3Set(&b->min, -1.0f, -2.0f, -3.0f);
    BrVector3Set(&b->max, 4.0f, 5.0f, 6.0f);
    br_actor *inside = child(box, BR_ACTOR_MODEL, "inside");
    inside->model = cube;
    inside->material = red;
    inside->render_style = BR_RSTYLE_EDGES;
    inside->t.type = BR_TRANSFORM_EULER;
    inside->t.t.euler.e = {0x1000, 0x2000, 0x3000, BR_EULER_ZXZ_R};
    BrVector3Set(&inside->t.t.euler.t, -1.0f, 0.5f, 0.25f);

    br_actor *cam = child(world, BR_ACTOR_CAMERA, "camera");
    cam->t.type = BR_TRANSFORM_LOOK_UP;
    BrVector3Set(&cam->t.t.look_up.look, 0.0f, -1.0f, -1.0f);
    BrVector3Set(&cam->t.t.look_up.up, 0.0f, 1.0f, 0.0f);
    BrVector3Set(&cam->t.t.look_up.t, 0.0f, 3.0f, 3.0f);
    br_camera *c = (br_camera *)cam->type_data;
    c->type = BR_CAMERA_PERSPECTIVE_CENTRED;
    c->field_of_view = 7280;
    c->hither_z = 0.1f;
    c->yon_z = 20.0f;
    c->aspect = 1.5f;

    br_actor *lamp = child(world, BR_ACTOR_LIGHT, "lamp");
    lamp->t.type = BR_TRANSFORM_QUAT;
    lamp->t.t.quat.q = {0.0f, 0.6f, 0.0f, 0.8f};
    BrVector3Set(&lamp->t.t.quat.t, 5.0f, 6.0f, 7.0f);
    br_light *l = (br_light *)lamp->type_data;
    l->type = BR_LIGHT_VIEW | BR_LIGHT_SPOT;
    l->colour = 0x323232;
    l->attenuation_l = 2.0f;
    l->cone_outer = 11830;
    l->cone_inner = 7280;

    br_actor *lost = child(world, BR_ACTOR_MODEL, "unregistered");
    br_model *stray = dbtest::make_cube("stray"); // never registered: found by no name
    lost->model = stray;

    ASSERT_EQ(BrActorSave(path("world.act").c_str(), world), 1u);
    br_actor *w = BrActorLoad(path("world.act").c_str());
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(dbtest::failures.empty()) << dbtest::failures[0];
    EXPECT_EQ(DfTopType(), 0);

    EXPECT_STREQ(w->identifier, "world");
    EXPECT_EQ(w->t.type, BR_TRANSFORM_MATRIX34);
    const char *order[] = {"unregistered", "lamp", "camera", "box", "plane"};
    br_actor *a = w->children;
    for (const char *name : order) {
        ASSERT_NE(a, nullptr);
        EXPECT_STREQ(a->identifier, name);
        EXPECT_EQ(a->parent, w);
        EXPECT_EQ(a->depth, 1);
        a = a->next;
    }
    EXPECT_EQ(a, nullptr);

    br_actor *wl = BrActorSearch(w, "lamp");
    EXPECT_EQ(wl->type, BR_ACTOR_LIGHT);
    EXPECT_EQ(wl->t.type, BR_TRANSFORM_QUAT);
    EXPECT_FLOAT_EQ(wl->t.t.quat.q.w, 0.8f);
    EXPECT_EQ(wl->t.t.quat.t.v[2], 7.0f);
    const br_light *ll = (const br_light *)wl->type_data;
    ASSERT_NE(ll, nullptr);
    EXPECT_TRUE(BrResIsChild(wl, (void *)ll));
    EXPECT_EQ(ll->type, BR_LIGHT_VIEW | BR_LIGHT_SPOT);
    EXPECT_EQ(ll->colour, 0x323232u);
    EXPECT_EQ(ll->attenuation_c, 1.0f);
    EXPECT_EQ(ll->attenuation_l, 2.0f);
    // Text keeps angles as degrees to six digits.
    EXPECT_NEAR(ll->cone_outer, 11830, 1);
    EXPECT_NEAR(ll->cone_inner, 7280, 1);

    br_actor *wc = BrActorSearch(w, "camera");
    EXPECT_EQ(wc->t.type, BR_TRANSFORM_LOOK_UP);
    EXPECT_EQ(wc->t.t.look_up.look.v[2], -1.0f);
    EXPECT_EQ(wc->t.t.look_up.t.v[1], 3.0f);
    const br_camera *wcc = (const br_camera *)wc->type_data;
    EXPECT_EQ(wcc->type, BR_CAMERA_PERSPECTIVE_CENTRED);
    EXPECT_NEAR(wcc->field_of_view, 7280, 1);
    EXPECT_FLOAT_EQ(wcc->hither_z, 0.1f);
    EXPECT_EQ(wcc->yon_z, 20.0f);
    EXPECT_EQ(wcc->aspect, 1.5f);

    br_actor *wb = BrActorSearch(w, "box");
    EXPECT_EQ(wb->type, BR_ACTOR_BOUNDS_CORRECT);
    EXPECT_EQ(wb->t.type, BR_TRANSFORM_TRANSLATION);
    EXPECT_EQ(wb->t.t.translate.t.v[1], 2.0f);
    const br_bounds3 *wbb = (const br_bounds3 *)wb->type_data;
    ASSERT_NE(wbb, nullptr);
    EXPECT_EQ(wbb->min.v[2], -3.0f);
    EXPECT_EQ(wbb->max.v[0], 4.0f);

    br_actor *wi = BrActorSearch(w, "box/inside");
    ASSERT_NE(wi, nullptr);
    EXPECT_EQ(wi->depth, 2);
    EXPECT_EQ(wi->model, cube);
    EXPECT_EQ(wi->material, red);
    EXPECT_EQ(wi->render_style, BR_RSTYLE_EDGES);
    EXPECT_EQ(wi->t.type, BR_TRANSFORM_EULER);
    EXPECT_EQ(wi->t.t.euler.e.order, BR_EULER_ZXZ_R);
    EXPECT_NEAR(wi->t.t.euler.e.b, 0x2000, 1);
    EXPECT_EQ(wi->t.t.euler.t.v[1], 0.5f);

    br_actor *wp = BrActorSearch(w, "plane");
    EXPECT_EQ(wp->t.type, BR_TRANSFORM_MATRIX34_LP);
    for (int r = 0; r < 4; r++)
        for (int k = 0; k < 3; k++)
            EXPECT_NEAR(wp->t.t.mat.m[r][k], plane->t.t.mat.m[r][k], 1e-6);
    EXPECT_EQ(((const br_plane *)wp->type_data)->eqn.v[3], -2.5f);

    EXPECT_EQ(BrActorSearch(w, "unregistered")->model, nullptr);
}

TEST_P(TreeFile, SeveralTreesAndCounts)
{
    br_actor *trees[2] = {sample_world(), sample_world()};
    child(trees[1], BR_ACTOR_NONE, "only");
    ASSERT_EQ(BrActorSaveMany(path("two.act").c_str(), trees, 2), 2u);
    br_actor *got[3] = {};
    ASSERT_EQ(BrActorLoadMany(path("two.act").c_str(), got, 3), 2u);
    EXPECT_EQ(got[0]->children, nullptr);
    ASSERT_NE(got[1]->children, nullptr);
    EXPECT_STREQ(got[1]->children->identifier, "only");
    br_uint_16 n = 0;
    EXPECT_EQ(BrActorFileCount(path("two.act").c_str(), &n), (br_error)BRE_OK);
    EXPECT_EQ(n, 2);
    // A model loader finds no model in an actor file.
    EXPECT_EQ(BrModelLoad(path("two.act").c_str()), nullptr);
}

// The deepest chain the loader reads back (each actor with a transform record, the last with a light
// record on top) saves and loads whole; one actor deeper is refused and nothing is written.
TEST_P(TreeFile, ChainDeeperThanTheLoaderReadsIsRefused)
{
    auto chain = [](int depth) {
        br_actor *root = BrActorAllocate(BR_ACTOR_NONE, nullptr);
        br_actor *a = root;
        for (int i = 1; i < depth; i++) {
            a = BrActorAdd(a, BrActorAllocate(i + 1 == depth ? BR_ACTOR_LIGHT : BR_ACTOR_NONE, nullptr));
            a->t.type = BR_TRANSFORM_TRANSLATION;
        }
        return root;
    };
    auto depth_of = [](br_actor *a) {
        int d = 0;
        for (; a != nullptr; a = a->children)
            d++;
        return d;
    };
    const int deepest = DF_STACK_SIZE - 2;
    br_actor *fits = chain(deepest);
    ASSERT_EQ(BrActorSave(path("deep.act").c_str(), fits), 1u);
    br_actor *back = BrActorLoad(path("deep.act").c_str());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(depth_of(back), deepest);
    EXPECT_TRUE(dbtest::failures.empty()) << dbtest::failures.front();

    for (int depth : {deepest + 1, 1501}) {
        br_actor *too_deep = chain(depth);
        EXPECT_EQ(BrActorSave(path("deeper.act").c_str(), too_deep), 0u) << depth;
        FILE *f = fopen(path("deeper.act").c_str(), "rb");
        EXPECT_EQ(f, nullptr) << "nothing written for " << depth;
        if (f != nullptr)
            fclose(f);
        br_actor *both[2] = {fits, too_deep};
        EXPECT_EQ(BrActorSaveMany(path("deeper.act").c_str(), both, 2), 0u) << depth;
        BrActorFree(too_deep);
    }
    BrActorFree(back);
    BrActorFree(fits);
}

TEST_P(TreeFile, MaterialRoundTripWithReferences)
{
    br_pixelmap *tex = BrPixelmapAllocate(BR_PMT_RGB_565, 4, 4, nullptr, 0);
    tex->identifier = BrResStrDup(tex, "tex");
    BrMapAdd(tex);
    br_pixelmap *shade = BrPixelmapAllocate(BR_PMT_INDEX_8, 4, 4, nullptr, 0);
    shade->identifier = BrResStrDup(shade, "shade");
    BrTableAdd(shade);
    br_pixelmap *fog = BrPixelmapAllocate(BR_PMT_INDEX_8, 4, 4, nullptr, 0);
    fog->identifier = BrResStrDup(fog, "fog_unregistered");

    br_material *m = BrMaterialAllocate("shiny");
    m->colour = 0x10c0f0;
    m->opacity = 128;
    m->ka = 0.25f;
    m->kd = 0.5f;
    m->ks = 0.75f;
    m->power = 30.0f;
    m->flags = BR_MATF_LIT | BR_MATF_SMOOTH | BR_MATF_TWO_SIDED | BR_MATF_SUBDIVIDE;
    BrMatrix23Identity(&m->map_transform);
    m->map_transform.m[2][0] = 0.5f;
    m->map_transform.m[1][1] = -1.0f;
    m->index_base = 10;
    m->index_range = 31;
    m->fog_min = 1.5f;
    m->fog_max = 9.0f;
    m->fog_colour = 0x808080;
    m->subdivide_tolerance = -3;
    m->colour_map = tex;
    m->index_shade = shade;
    m->index_fog = fog;
    br_material *plain = BrMaterialAllocate("plain");

    br_material *both[2] = {m, plain};
    ASSERT_EQ(BrMaterialSaveMany(path("mats.mat").c_str(), both, 2), 2u);
    br_material *got[2] = {};
    ASSERT_EQ(BrMaterialLoadMany(path("mats.mat").c_str(), got, 2), 2u) << (dbtest::failures.empty() ? "" : dbtest::failures[0]);
    br_material *l = got[0];
    EXPECT_STREQ(l->identifier, "shiny");
    EXPECT_EQ(l->colour, 0x10c0f0u);
    EXPECT_EQ(l->opacity, 128);
    EXPECT_EQ(l->ka, 0.25f);
    EXPECT_EQ(l->kd, 0.5f);
    EXPECT_EQ(l->ks, 0.75f);
    EXPECT_EQ(l->power, 30.0f);
    EXPECT_EQ(l->flags, m->flags);
    EXPECT_EQ(l->map_transform.m[2][0], 0.5f);
    EXPECT_EQ(l->map_transform.m[1][1], -1.0f);
    EXPECT_EQ(l->index_base, 10);
    EXPECT_EQ(l->index_range, 31);
    EXPECT_EQ(l->fog_min, 1.5f);
    EXPECT_EQ(l->fog_max, 9.0f);
    EXPECT_EQ(l->fog_colour, 0x808080u);
    EXPECT_EQ(l->subdivide_tolerance, -3);
    EXPECT_EQ(l->colour_map, tex);
    EXPECT_EQ(l->index_shade, shade);
    EXPECT_EQ(l->index_fog, nullptr); // only registered tables are found
    EXPECT_EQ(l->stored, nullptr);
    EXPECT_STREQ(got[1]->identifier, "plain");
    EXPECT_EQ(got[1]->colour_map, nullptr);
    EXPECT_EQ(BrMaterialFind("shiny"), nullptr);
    br_uint_16 n = 0;
    EXPECT_EQ(BrMaterialFileCount(path("mats.mat").c_str(), &n), (br_error)BRE_OK);
    EXPECT_EQ(n, 2);
    BrMapRemove(tex);
    BrTableRemove(shade);
    BrPixelmapFree(tex);
    BrPixelmapFree(shade);
    BrPixelmapFree(fog);
}

INSTANTIATE_TEST_SUITE_P(Forms, TreeFile, ::testing::Values(Form::binary, Form::text), form_name);

// Chunks that find another kind of entry on the stack than they take are refused, and the entry is
// not used as the kind they wanted.
struct Act {
    br_uint_8 type;
    br_uint_8 style;
    char *identifier;
};
const DfStructMember act_members[] = {
    {DF_TYPE_UINT_8, offsetof(Act, type), "type", nullptr},
    {DF_TYPE_UINT_8, offsetof(Act, style), "render_style", nullptr},
    {DF_TYPE_ASCIZ, offsetof(Act, identifier), "identifier", nullptr},
};
const DfStructTemplate act_template = {"br_actor", 3, act_members, sizeof(Act)};
const DfStructMember v3_members[] = {{DF_TYPE_FLOAT_VECTOR3, 0, "t", nullptr}};
const DfStructTemplate translation_template = {"br_transform_translation", 1, v3_members, 12};
const DfStructMember v4_members[] = {{DF_TYPE_FLOAT_VECTOR4, 0, "eqn", nullptr}};
const DfStructTemplate plane_template = {"br_plane", 1, v4_members, 16};

void actor_chunk(Writer &w, br_uint_8 type, const char *name)
{
    Act a = {type, 0, (char *)name};
    w.chunk(FID_ACTOR, w.df->prims->struct_size(w.df, &act_template, &a));
    w.df->prims->struct_write(w.df, &act_template, &a);
}

TEST_F(Dat, ActorChunksOfTheWrongKindAreRefused)
{
    struct Case {
        const char *name;
        void (*write)(Writer &);
        const char *failure;
    };
    const Case cases[] = {
        {"child is a transform",
         [](Writer &w) {
             actor_chunk(w, BR_ACTOR_NONE, "root");
             float t[3] = {1, 2, 3};
             w.chunk(FID_TRANSFORM_TRANSLATION, 12);
             w.df->prims->struct_write(w.df, &translation_template, t);
             w.chunk(FID_ACTOR_ADD_CHILD, 0);
         },
         "Add child: expected actor, found transform"},
        {"transform taken without one",
         [](Writer &w) {
             actor_chunk(w, BR_ACTOR_NONE, "root");
             w.chunk(FID_ACTOR_TRANSFORM, 0);
         },
         "expected transform, found actor"},
        {"plane given to a light",
         [](Writer &w) {
             actor_chunk(w, BR_ACTOR_LIGHT, "lamp");
             float e[4] = {0, 1, 0, 0};
             w.chunk(FID_PLANE, 16);
             w.df->prims->struct_write(w.df, &plane_template, e);
             w.chunk(FID_ACTOR_CLIP_PLANE, 0);
         },
         "does not fit actor type 2"},
        {"child without a parent",
         [](Writer &w) {
             actor_chunk(w, BR_ACTOR_NONE, "orphan");
             w.chunk(FID_ACTOR_ADD_CHILD, 0);
         },
         "Add child: expected actor, found nothing"},
    };
    form_set(Form::binary);
    for (const Case &c : cases) {
        dbtest::diag_record();
        {
            Writer w(path("bad.act"), FILE_TYPE_ACTORS);
            c.write(w);
            w.end();
        }
        EXPECT_EQ(BrActorLoad(path("bad.act").c_str()), nullptr) << c.name;
        EXPECT_TRUE(dbtest::has_failure(c.failure)) << c.name << ": " << (dbtest::failures.empty() ? "" : dbtest::failures[0]);
        EXPECT_EQ(DfTopType(), 0) << c.name;
    }
}

// A light actor whose file carries no light record still gets one.
TEST_F(Dat, ActorWithoutItsTypeRecordGetsTheDefault)
{
    form_set(Form::binary);
    {
        Writer w(path("lamp.act"), FILE_TYPE_ACTORS);
        actor_chunk(w, BR_ACTOR_LIGHT, "lamp");
        w.end();
    }
    br_actor *a = BrActorLoad(path("lamp.act").c_str());
    ASSERT_NE(a, nullptr);
    ASSERT_NE(a->type_data, nullptr);
    EXPECT_EQ(((br_light *)a->type_data)->type, BR_LIGHT_DIRECT);
    EXPECT_TRUE(BrResIsChild(a, a->type_data));
}

} // namespace
