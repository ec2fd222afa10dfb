// Matrices between actors, camera projections and subtree bounds.
#include <gtest/gtest.h>

#include <math.h>

#include <brondel/bractor.h>

#include "db_support.h"
#include "db/dbstate.h"

namespace {

using dbtest::Db;

void expect_matrix_near(const br_matrix34 &a, const br_matrix34 &b, float eps = 1e-5f)
{
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 3; c++)
            EXPECT_NEAR(a.m[r][c], b.m[r][c], eps) << "row " << r << " col " << c;
}

br_vector3 apply(const br_matrix34 &m, float x, float y, float z)
{
    br_vector3 p = {{x, y, z}}, out;
    BrMatrix34ApplyP(&out, &p, &m);
    return out;
}

class Matrices : public Db {
protected:
    br_actor *world = nullptr;

    void SetUp() override
    {
        Db::SetUp();
        world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    }
    void TearDown() override
    {
        BrActorFree(world);
        Db::TearDown();
    }

    br_actor *child(br_actor *parent, br_uint_8 type = BR_ACTOR_NONE)
    {
        return BrActorAdd(parent, BrActorAllocate(type, nullptr));
    }
};

TEST_F(Matrices, CombineTableIsSymmetricAroundItsRules)
{
    EXPECT_EQ(BrTransformTypeCombine(0, 6), 0);
    EXPECT_EQ(BrTransformTypeCombine(6, 6), 6);
    EXPECT_EQ(BrTransformTypeCombine(2, 5), 2);
    EXPECT_EQ(BrTransformTypeCombine(5, 3), 3);
    EXPECT_EQ(BrTransformTypeCombine(2, 3), 1);
    EXPECT_EQ(BrTransformTypeCombine(1, 6), 1);
}

TEST_F(Matrices, ToActorSelfParentChildAndCousins)
{
    br_actor *cam = child(world, BR_ACTOR_CAMERA);
    cam->t.type = BR_TRANSFORM_MATRIX34_LP;
    BrMatrix34RotateY(&cam->t.t.mat, 8192);
    BrMatrix34PostTranslate(&cam->t.t.mat, 1, 2, 3);

    br_matrix34 m;
    EXPECT_EQ(BrActorToActorMatrix34(&m, cam, cam), BR_TRANSFORM_IDENTITY);
    br_matrix34 id;
    BrMatrix34Identity(&id);
    expect_matrix_near(m, id, 0);

    EXPECT_EQ(BrActorToActorMatrix34(&m, cam, world), BR_TRANSFORM_MATRIX34_LP);
    expect_matrix_near(m, cam->t.t.mat, 0);

    br_matrix34 back;
    EXPECT_EQ(BrActorToActorMatrix34(&back, world, cam), BR_TRANSFORM_MATRIX34_LP);
    br_matrix34 prod;
    BrMatrix34Mul(&prod, &m, &back);
    expect_matrix_near(prod, id);

    // Cousins: a point of one placed through the world lands where the other sees it.
    br_actor *a = child(child(world));
    a->parent->t.type = BR_TRANSFORM_TRANSLATION;
    a->parent->t.t.translate.t = {{5, 0, 0}};
    a->t.type = BR_TRANSFORM_MATRIX34;
    BrMatrix34Scale(&a->t.t.mat, 2, 2, 2);
    br_actor *b = child(child(child(world)));
    b->t.type = BR_TRANSFORM_EULER;
    b->t.t.euler.e = {1000, 2000, 3000, BR_EULER_XYZ_S};
    b->t.t.euler.t = {{0, 1, 0}};
    b->parent->t.type = BR_TRANSFORM_IDENTITY; // skipped on the way up
    b->parent->parent->t.type = BR_TRANSFORM_TRANSLATION;
    b->parent->parent->t.t.translate.t = {{0, 0, -2}};

    br_matrix34 a2b, a2w, b2w;
    EXPECT_EQ(BrActorToActorMatrix34(&a2b, a, b), BR_TRANSFORM_MATRIX34);
    br_uint_16 t;
    EXPECT_TRUE(BrActorToRootMatrix34(a, world, &a2w, &t));
    EXPECT_EQ(t, BR_TRANSFORM_MATRIX34);
    EXPECT_TRUE(BrActorToRootMatrix34(b, world, &b2w, &t));
    EXPECT_EQ(t, BR_TRANSFORM_EULER);
    br_vector3 in_b = apply(a2b, 1, 2, 3);
    br_vector3 w1 = apply(a2w, 1, 2, 3), w2 = apply(b2w, in_b.v[0], in_b.v[1], in_b.v[2]);
    for (int i = 0; i < 3; i++)
        EXPECT_NEAR(w1.v[i], w2.v[i], 1e-4f);

    br_actor *lone = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    EXPECT_FALSE(BrActorToRootMatrix34(lone, world, &m, &t));
    BrActorFree(lone);
}

TEST_F(Matrices, RelinkKeepsWorldPlacementAndTransformType)
{
    br_actor *p1 = child(world);
    BrMatrix34RotateZ(&p1->t.t.mat, 5000);
    BrMatrix34PostTranslate(&p1->t.t.mat, 3, 0, 0);
    br_actor *p2 = child(child(world));
    p2->t.type = BR_TRANSFORM_MATRIX34_LP;
    BrMatrix34RotateX(&p2->t.t.mat, 12000);
    BrMatrix34PostTranslate(&p2->t.t.mat, 0, -1, 4);

    struct Case {
        br_uint_16 type;
    } cases[] = {{BR_TRANSFORM_MATRIX34}, {BR_TRANSFORM_QUAT}, {BR_TRANSFORM_EULER}, {BR_TRANSFORM_IDENTITY},
                 {BR_TRANSFORM_TRANSLATION}};
    for (const Case &c : cases) {
        br_actor *a = child(p1);
        a->t.type = c.type;
        if (c.type == BR_TRANSFORM_TRANSLATION)
            a->t.t.translate.t = {{1, 1, 1}};
        else if (c.type == BR_TRANSFORM_QUAT)
            a->t.t.quat.q = {0, 0, 0, 1};
        else if (c.type == BR_TRANSFORM_EULER)
            a->t.t.euler.e = {0, 0, 0, BR_EULER_XYZ_S};
        br_matrix34 before, after;
        BrActorToRootMatrix34(a, world, &before, nullptr);
        BrActorRelink(p2, a);
        EXPECT_EQ(a->parent, p2);
        BrActorToRootMatrix34(a, world, &after, nullptr);
        expect_matrix_near(before, after, 1e-4f);
        if (c.type != BR_TRANSFORM_IDENTITY && c.type != BR_TRANSFORM_TRANSLATION) {
            EXPECT_EQ(a->t.type, c.type);
        }
    }
}

TEST_F(Matrices, PerspectiveCameraMapsHitherAndYonToTheDepthLimits)
{
    br_actor *cam = child(world, BR_ACTOR_CAMERA);
    br_camera *c = (br_camera *)cam->type_data;
    c->hither_z = 0.5f;
    c->yon_z = 20.0f;
    c->aspect = 1.5f;
    for (br_uint_8 type : {BR_CAMERA_PERSPECTIVE, BR_CAMERA_PERSPECTIVE_CENTRED}) {
        c->type = type;
        br_matrix4 m;
        EXPECT_EQ(BrCameraToScreenMatrix4(&m, cam), (br_token)BRT_PERSPECTIVE);
        br_vector4 near, far, edge;
        br_vector3 pn = {{0, 0, -0.5f}}, pf = {{0, 0, -20.0f}};
        BrMatrix4ApplyP(&near, &pn, &m);
        BrMatrix4ApplyP(&far, &pf, &m);
        EXPECT_NEAR(near.v[2] / near.v[3], 1.0f, 1e-5f);
        EXPECT_NEAR(far.v[2] / far.v[3], -1.0f, 1e-5f);
        // Half the field of view (8190 units, 45 degrees) off the axis is the top edge.
        float t = tanf(8190 * 0.5f * 3.14159265f / 32768.0f);
        br_vector3 pe = {{0, 2 * t, -2}};
        BrMatrix4ApplyP(&edge, &pe, &m);
        EXPECT_NEAR(edge.v[1] / edge.v[3], 1.0f, 1e-4f);
    }
    c->type = 9;
    br_matrix4 m;
    EXPECT_EQ(BrCameraToScreenMatrix4(&m, cam), 0u);
}

TEST_F(Matrices, ParallelCamerasCheckTheirExtentsAndStillBuild)
{
    br_actor *cam = child(world, BR_ACTOR_CAMERA);
    br_camera *c = (br_camera *)cam->type_data;
    c->type = BR_CAMERA_PARALLEL_CENTRED;
    c->width = -0.0f;
    c->height = 0.0f;
    c->hither_z = 5;
    c->yon_z = 5;
    br_matrix4 m;
    EXPECT_EQ(BrCameraToScreenMatrix4(&m, cam), (br_token)BRT_PARALLEL);
    ASSERT_EQ(dbtest::failures.size(), 3u);
    EXPECT_NE(dbtest::failures[0].find("Parallel camera has zero width"), std::string::npos);
    EXPECT_NE(dbtest::failures[1].find("Parallel camera has zero height"), std::string::npos);
    EXPECT_NE(dbtest::failures[2].find("Parallel camera has invalid yon and hither"), std::string::npos);

    // Type 3: width and height are half extents, hither maps to 0 and yon to -1.
    dbtest::failures.clear();
    c->width = 2;
    c->height = 1;
    c->hither_z = 1;
    c->yon_z = 3;
    BrCameraToScreenMatrix4(&m, cam);
    EXPECT_TRUE(dbtest::failures.empty());
    br_vector4 v;
    br_vector3 p = {{2, -1, -3}};
    BrMatrix4ApplyP(&v, &p, &m);
    EXPECT_NEAR(v.v[0], 1, 1e-6f);
    EXPECT_NEAR(v.v[1], -1, 1e-6f);
    EXPECT_NEAR(v.v[2], -1, 1e-6f);
    EXPECT_EQ(v.v[3], 1);

    // Type 0: the full width covers aspect x width; hither maps to 1, yon to -1.
    c->type = BR_CAMERA_PARALLEL;
    c->aspect = 2;
    BrCameraToScreenMatrix4(&m, cam);
    br_vector3 q = {{2, 0.5f, -1}};
    BrMatrix4ApplyP(&v, &q, &m);
    EXPECT_NEAR(v.v[0], 1, 1e-6f);
    EXPECT_NEAR(v.v[1], 1, 1e-6f);
    EXPECT_NEAR(v.v[2], 1, 1e-6f);
}

TEST_F(Matrices, ActorToScreenPlacesTheActorBeforeTheCamera)
{
    br_actor *cam = child(world, BR_ACTOR_CAMERA);
    BrMatrix34Translate(&cam->t.t.mat, 0, 0, 5);
    br_actor *box = child(world, BR_ACTOR_MODEL);
    BrMatrix34Translate(&box->t.t.mat, 0, 0, 1);
    br_matrix4 m, cm;
    BrActorToScreenMatrix4(&m, box, cam);
    BrCameraToScreenMatrix4(&cm, cam);
    br_vector4 a, b;
    br_vector3 origin = {{0, 0, 0}}, four_ahead = {{0, 0, -4}};
    BrMatrix4ApplyP(&a, &origin, &m);
    BrMatrix4ApplyP(&b, &four_ahead, &cm);
    for (int i = 0; i < 4; i++)
        EXPECT_NEAR(a.v[i], b.v[i], 1e-5f);
    BrActorToScreenMatrix4(&m, cam, cam);
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++)
            EXPECT_EQ(m.m[r][c], cm.m[r][c]);
}

TEST_F(Matrices, BoundsOfASubtreeMergeTransformedModelBoxes)
{
    br_model *model = BrModelAllocate("box", 0, 0);
    model->bounds = {{{-1, -1, -1}}, {{1, 1, 1}}};
    br_actor *top = child(world);
    BrMatrix34Translate(&top->t.t.mat, 100, 100, 100); // the starting actor's own placement is not applied
    top->model = model;
    br_actor *a = child(top, BR_ACTOR_MODEL); // inherits the model
    BrMatrix34Scale(&a->t.t.mat, 2, 1, 1);
    BrMatrix34PostTranslate(&a->t.t.mat, 10, 0, 0);
    br_actor *b = child(a, BR_ACTOR_MODEL);
    b->model = model;
    BrMatrix34RotateZ(&b->t.t.mat, 16384); // a quarter turn
    BrMatrix34PostTranslate(&b->t.t.mat, 0, 5, 0);

    br_bounds3 bb;
    BrActorToBounds(&bb, top);
    EXPECT_NEAR(bb.min.v[0], 8, 1e-4f);
    EXPECT_NEAR(bb.max.v[0], 12, 1e-4f);
    EXPECT_NEAR(bb.min.v[1], -1, 1e-4f);
    EXPECT_NEAR(bb.max.v[1], 6, 1e-4f);
    EXPECT_NEAR(bb.min.v[2], -1, 1e-4f);

    // A model actor starts from its own box; a lone empty actor has empty bounds.
    BrActorToBounds(&bb, b);
    EXPECT_EQ(bb.max.v[0], 1);
    br_actor *empty = child(world);
    BrActorToBounds(&bb, empty);
    EXPECT_GT(bb.min.v[0], bb.max.v[0]);
    BrModelFree(model);
}

} // namespace
