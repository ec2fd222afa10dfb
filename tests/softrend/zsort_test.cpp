// The z-sort side of the renderer through the library: primitives go into the buckets of the order
// tables, taken from the caller's heap, and are drawn far to near at the end of the scene.
#include "driver/zsort.h"
#include "support.h"

#include "brondel/brcore.h"
#include "brondel/brmaterial.h"
#include "brondel/brmodel.h"
#include "brondel/brpixmap.h"
#include "brondel/brscene.h"
#include "brondel/brv1db.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct BucketCase {
    sr::Primitive kind;
    br_uint_16 type;
    float w[3];
    br_uint_16 bucket;
};

// Depth by the table's type, placed in the range 2..10 over 16 buckets (2 per unit); nearer than
// the range is bucket 0, beyond it the last one; an empty range counts 1000 buckets per unit.
TEST(Buckets, ChoiceByDepthAndType)
{
    br_primitive *table[16] = {};
    br_order_table ot{table, 16, nullptr, 2.0f, 10.0f, 0, 0, 0, BR_SORT_AVERAGE, 0};
    const BucketCase cases[] = {
        {sr::Primitive::Triangle, BR_SORT_AVERAGE, {3, 4, 5}, 4},
        {sr::Primitive::Triangle, BR_SORT_MIN, {5, 3, 4}, 2},
        {sr::Primitive::Triangle, BR_SORT_MAX, {3, 5, 4}, 6},
        {sr::Primitive::Triangle, BR_SORT_FIRST_VERTEX, {4.6f, 9, 9}, 5},
        {sr::Primitive::Line, BR_SORT_AVERAGE, {3, 6, 100}, 5},
        {sr::Primitive::Line, BR_SORT_MAX, {3, 6, 100}, 8},
        {sr::Primitive::Point, BR_SORT_MAX, {3.5f, 100, 100}, 3},
        {sr::Primitive::Triangle, BR_SORT_AVERAGE, {0.5f, 1, 1.5f}, 0},
        {sr::Primitive::Triangle, BR_SORT_AVERAGE, {10, 10, 10}, 15},
        {sr::Primitive::Triangle, BR_SORT_AVERAGE, {50, 60, 70}, 15},
    };
    for (const BucketCase &c : cases) {
        ot.type = c.type;
        EXPECT_EQ(srdrv::bucket_of(ot, c.kind, c.w), c.bucket) << c.w[0] << " type " << c.type;
    }
    ot.type = BR_SORT_FIRST_VERTEX;
    ot.max_z = ot.min_z = 2.0f;
    const float w[3] = {2.0042f, 0, 0};
    EXPECT_EQ(srdrv::bucket_of(ot, sr::Primitive::Point, w), 4);
}

constexpr int W = 64, H = 48;
constexpr size_t HEAP = 64 * 1024;

std::vector<std::string> failures;
void on_message(const char *m) { failures.push_back(m); }
br_diaghandler recording = {"recording", on_message, on_message};

// A perspective camera at z = 5 looking down -z (hither 1, yon 10) over an RGB_565 map, z-sorted.
class ZSort : public ::testing::Test {
protected:
    br_pixelmap *colour = nullptr;
    br_actor *world = nullptr, *camera = nullptr;
    std::vector<uint8_t> heap = std::vector<uint8_t>(HEAP + 64, 0xA5);

    void SetUp() override
    {
        failures.clear();
        BrDiagHandlerSet(&recording);
        ASSERT_EQ(BrBegin(), (br_error)BRE_OK);
        colour = BrPixelmapAllocate(BR_PMT_RGB_565, W, H, nullptr, 0);
        begin(HEAP);
        world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
        camera = BrActorAdd(world, BrActorAllocate(BR_ACTOR_CAMERA, nullptr));
        br_camera *c = (br_camera *)camera->type_data;
        c->type = BR_CAMERA_PERSPECTIVE_CENTRED;
        c->aspect = (float)W / (float)H;
        c->hither_z = 1.0f;
        c->yon_z = 10.0f;
        BrMatrix34Translate(&camera->t.t.mat, 0, 0, 5);
    }
    void TearDown() override
    {
        BrActorFree(world);
        BrZsEnd();
        BrPixelmapFree(colour);
        BrEnd();
        BrDiagHandlerSet(nullptr);
    }
    void begin(size_t size)
    {
        BrZsBegin(BR_PMT_RGB_565, heap.data(), (br_uint_32)size);
        ASSERT_NE(BrV1dbRendererQuery(), nullptr);
    }
    bool heap_guard_intact(size_t size) const
    {
        for (size_t i = size; i < heap.size(); ++i)
            if (heap[i] != 0xA5)
                return false;
        return true;
    }
    br_material *material(br_colour c, br_uint_8 opacity = 255)
    {
        br_material *m = BrMaterialAllocate(nullptr);
        m->colour = c;
        m->flags = 0; // unlit
        m->opacity = opacity;
        return BrMaterialAdd(m);
    }
    // A flat square of half size s facing the camera at depth z (the default cube squashed).
    br_actor *square(br_material *m, float x, float y, float z, float s)
    {
        br_actor *a = BrActorAdd(world, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
        a->material = m;
        BrMatrix34Scale(&a->t.t.mat, s, s, 0.01f);
        BrMatrix34PostTranslate(&a->t.t.mat, x, y, z);
        return a;
    }
    void render()
    {
        BrPixelmapFill(colour, 0);
        BrZsSceneRender(world, camera, colour);
    }
    br_uint_16 at(int x, int y) const
    {
        br_uint_16 v;
        std::memcpy(&v, (const char *)colour->pixels + (colour->base_y + y) * colour->row_bytes +
                            (colour->base_x + x) * 2,
                    2);
        return v;
    }
};

// Three overlapping squares traversed nearest first: the buckets still draw them far to near, so
// the nearest is on top where they overlap; nothing is reported.
TEST_F(ZSort, BucketsDrawFarToNear)
{
    // The newest child is traversed first: red (far) is added first, blue (near) last.
    square(material(0xff0000), -0.4f, 0, -2.0f, 1.2f);
    square(material(0x00ff00), 0, 0, 0, 0.8f);
    square(material(0x0000ff), 0.4f, 0, 2.0f, 0.3f);
    render();
    EXPECT_EQ(at(36, 24), 0x001f);     // blue over green and red
    EXPECT_EQ(at(28, 24), 0x07e0);     // green over red
    EXPECT_EQ(at(21, 24), 0xf800);     // red alone
    EXPECT_EQ(at(2, 2), 0);
    EXPECT_TRUE(failures.empty()) << failures.front();
    // Each model went into the heap: its records lie inside it.
    EXPECT_TRUE(heap_guard_intact(HEAP));
}

// A translucent square in front of an opaque one mixes 50/50 with it in a z-sort render too.
TEST_F(ZSort, TranslucentOverOpaque)
{
    square(material(0xff0000), 0, 0, -1.0f, 1.0f);
    square(material(0x0000ff, 128), 0, 0, 1.0f, 0.3f);
    render();
    br_uint_16 p = at(32, 24);
    EXPECT_NEAR(p >> 11, 15, 1);     // half red
    EXPECT_NEAR(p & 31, 15, 1);      // half blue
    EXPECT_EQ(at(25, 24), 0xf800);   // red alone
}

// A heap too small for the scene keeps what fits, drops the rest and never writes past its end.
TEST_F(ZSort, FullHeapDropsTheRest)
{
    BrZsEnd();
    const size_t small = 1000; // a few primitives
    begin(small);
    square(material(0xff0000), -0.5f, 0, 0, 0.4f);
    square(material(0x00ff00), 0.5f, 0, 0, 0.4f);
    render();
    EXPECT_TRUE(heap_guard_intact(small));
    int drawn = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            drawn += at(x, y) != 0;
    EXPECT_GT(drawn, 0);
    EXPECT_TRUE(failures.empty()) << failures.front();
}

struct Inserted {
    int calls = 0;
    br_actor *actor = nullptr;
    float min_w = 1e9f, max_w = -1e9f;
};
Inserted inserted;

void on_insert(br_primitive *p, br_actor *actor, br_model *, br_material *, br_order_table *ot, br_scalar *z)
{
    inserted.calls++;
    inserted.actor = actor;
    for (int k = 0; k < 3; ++k) {
        inserted.min_w = std::min(inserted.min_w, z[k]);
        inserted.max_w = std::max(inserted.max_w, z[k]);
    }
    // The primitive is already in one of the table's buckets.
    bool found = false;
    for (int b = 0; b < ot->size && !found; ++b)
        found = ot->table[b] == p;
    EXPECT_TRUE(found);
}

// The insert callback sees every primitive with its actor and the depths it was bucketed by; once
// taken away it is no longer called.
TEST_F(ZSort, InsertCallbackSeesEveryPrimitive)
{
    br_actor *a = square(material(0xff0000), 0, 0, 1.0f, 0.5f);
    inserted = Inserted{};
    BrZsPrimitiveCallbackSet(on_insert);
    render();
    EXPECT_EQ(inserted.calls, 2); // the side facing the camera; the others are culled
    EXPECT_EQ(inserted.actor, a);
    EXPECT_NEAR(inserted.min_w, 4.0f, 0.02f); // the camera is 4 units away
    EXPECT_NEAR(inserted.max_w, 4.0f, 0.02f);
    BrZsPrimitiveCallbackSet(nullptr);
    inserted = Inserted{};
    render();
    EXPECT_EQ(inserted.calls, 0);
    EXPECT_EQ(at(32, 24), 0xf800);
}

br_int_32 seen_bounds[4];
int bounds_calls;
br_uint_32 on_bounds(br_actor *, br_model *, br_material *, br_order_table *, br_uint_8, br_matrix4 *, br_int_32 *b)
{
    bounds_calls++;
    std::memcpy(seen_bounds, b, sizeof seen_bounds);
    return 0;
}

// The render-bounds callback of a z-sort render gets the rectangle the model's primitives will
// cover when the buckets are drawn (relative to the origin).
TEST_F(ZSort, BoundsOfWhatTheBucketsDraw)
{
    colour->origin_x = 3;
    colour->origin_y = 2;
    square(material(0xffff00), 0.3f, -0.2f, 0.5f, 0.6f);
    bounds_calls = 0;
    BrZsSetRenderBoundsCallback(on_bounds);
    render();
    BrZsSetRenderBoundsCallback(nullptr);
    ASSERT_EQ(bounds_calls, 1);
    int minx = W, miny = H, maxx = -1, maxy = -1;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            if (at(x, y)) {
                minx = std::min(minx, x), maxx = std::max(maxx, x);
                miny = std::min(miny, y), maxy = std::max(maxy, y);
            }
    ASSERT_GE(maxx, 0);
    EXPECT_EQ(seen_bounds[0], minx - 3);
    EXPECT_EQ(seen_bounds[1], miny - 2);
    EXPECT_EQ(seen_bounds[2], maxx - 3);
    EXPECT_EQ(seen_bounds[3], maxy - 2);
}

// A caller's insert callback may put its own primitives (a bare link, nothing more) in the buckets;
// drawing them skips those without reading past their link.
std::vector<br_primitive *> own;
void insert_own(br_primitive *, br_actor *, br_model *, br_material *, br_order_table *ot, br_scalar *)
{
    own.push_back(new br_primitive{nullptr});
    BrOrderTablePrimitiveInsert(ot, own.back(), 0);
}

TEST_F(ZSort, CallersOwnPrimitivesAreSkipped)
{
    square(material(0x00ff00), 0, 0, 1.0f, 0.5f);
    BrZsPrimitiveCallbackSet(insert_own);
    render();
    BrZsPrimitiveCallbackSet(nullptr);
    EXPECT_EQ(own.size(), 2u);
    EXPECT_EQ(at(32, 24), 0x07e0);
    for (br_primitive *p : own)
        delete p;
    own.clear();
}

// An insert callback may draw another model while the first is still being handed to the buckets:
// both come out whole, as when each is drawn on its own.
br_model *strip_model(int n) // n x n squares beside the unit cube, from x = 1.2 to 2.4
{
    br_model *m = BrModelAllocate("strip", (n + 1) * (n + 1), 2 * n * n);
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) {
            br_vertex &v = m->vertices[j * (n + 1) + i];
            v.p.v[0] = 1.2f + 1.2f * (float)i / (float)n;
            v.p.v[1] = -1.0f + 2.0f * (float)j / (float)n;
            v.p.v[2] = 0.0f;
        }
    for (int j = 0, f = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const int a = j * (n + 1) + i, b = a + 1, c = a + n + 2, d = a + n + 1;
            const int tri[2][3] = {{a, b, c}, {a, c, d}};
            for (const auto &t : tri) {
                for (int k = 0; k < 3; ++k)
                    m->faces[f].vertices[k] = (br_uint_16)t[k];
                m->faces[f++].smoothing = 1;
            }
        }
    m->flags = BR_MODF_UPDATEABLE;
    BrModelUpdate(m, BR_MODU_ALL);
    return BrModelAdd(m);
}

struct Again {
    br_model *model = nullptr;
    br_material *material = nullptr;
    int calls = 0;
} again;

void draw_again(br_primitive *, br_actor *actor, br_model *, br_material *, br_order_table *ot, br_scalar *)
{
    if (again.calls++ == 0)
        BrZsModelRender(actor, again.model, again.material, ot, BR_RSTYLE_DEFAULT, BRT_PARTIAL, 0);
}

TEST_F(ZSort, InsertCallbackThatDrawsAgain)
{
    br_model *strip = strip_model(8);
    br_material *green = material(0x00ff00);
    square(material(0xff0000), 0, 0, 0, 0.5f);
    again = Again{strip, green, 0};
    BrZsPrimitiveCallbackSet(draw_again);
    render();
    BrZsPrimitiveCallbackSet(nullptr);
    EXPECT_EQ(again.calls, 2 + 2 * 8 * 8); // the square's front and the strip's faces
    std::vector<br_uint_16> got;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            got.push_back(at(x, y));
    // The reference: the strip as an actor of its own, in the square's place.
    square(green, 0, 0, 0, 0.5f)->model = strip;
    render();
    int differ = 0, red = 0, green_px = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            differ += at(x, y) != got[(size_t)y * W + x];
            red += at(x, y) == 0xf800;
            green_px += at(x, y) == 0x07e0;
        }
    EXPECT_EQ(differ, 0);
    EXPECT_GT(red, 30);
    EXPECT_GT(green_px, 30);
    EXPECT_TRUE(heap_guard_intact(HEAP));
}

} // namespace
