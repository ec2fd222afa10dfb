// The four registries: add, find by pattern, many, count, enumerate, hooks, remove, free.
#include <math.h>

#include <string>
#include <vector>

#include "db_support.h"

using namespace dbtest;

namespace {

// One registry family behind a common face, so every case runs over all of them.
struct kind {
    const char *name;
    void *(*make)(const char *name);
    void (*drop)(void *item);
    void *(*add)(void *item);
    void *(*remove)(void *item);
    void *(*find)(const char *pattern);
    void *(*set_hook)(void *hook); // returns the previous hook
    void *hook;                    // a hook answering the "fallback" item
    br_uint_32 (*add_many)(void **items, int n);
    br_uint_32 (*remove_many)(void **items, int n);
    br_uint_32 (*find_many)(const char *pattern, void **items, int max);
    br_uint_32 (*count)(const char *pattern);
    br_uint_32 (*enumerate)(const char *pattern, br_uint_32 (*cb)(void *, void *), void *arg);
};

void *fallback_item;

#define KIND(label, T, Fam, make_fn, drop_fn)                                                                        \
    kind                                                                                                             \
    {                                                                                                                \
        label, [](const char *n) -> void * { return make_fn(n); }, [](void *i) { drop_fn((T *)i); },                 \
            [](void *i) -> void * { return Br##Fam##Add((T *)i); },                                                  \
            [](void *i) -> void * { return Br##Fam##Remove((T *)i); },                                               \
            [](const char *p) -> void * { return Br##Fam##Find(p); },                                                \
            [](void *h) -> void * { return (void *)Br##Fam##FindHook((T * (*)(const char *)) h); },                 \
            (void *)(T * (*)(const char *))[](const char *) -> T * { return (T *)fallback_item; },                  \
            [](void **i, int n) { return Br##Fam##AddMany((T **)i, n); },                                            \
            [](void **i, int n) { return Br##Fam##RemoveMany((T **)i, n); },                                         \
            [](const char *p, void **i, int m) { return Br##Fam##FindMany(p, (T **)i, m); },                         \
            [](const char *p) { return Br##Fam##Count(p); },                                                         \
            [](const char *p, br_uint_32 (*cb)(void *, void *), void *a) {                                           \
                return Br##Fam##Enum(p, (br_uint_32(*)(T *, void *))cb, a);                                          \
            },                                                                                                       \
    }

br_model *model_make(const char *n) { return make_cube(n); }

br_pixelmap *pixelmap_make(const char *n)
{
    br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_INDEX_8, 4, 4, nullptr, 0);
    pm->identifier = n ? BrResStrDup(pm, n) : nullptr;
    return pm;
}

// Pixel maps do not know the registries they are in: their owner takes them out before freeing.
void map_drop(br_pixelmap *pm)
{
    while (BrMapRemove(pm) != nullptr) {
    }
    BrPixelmapFree(pm);
}

void table_drop(br_pixelmap *pm)
{
    while (BrTableRemove(pm) != nullptr) {
    }
    BrPixelmapFree(pm);
}

std::vector<kind> kinds(bool with_pixelmaps = true)
{
    std::vector<kind> all = {
        KIND("models", br_model, Model, model_make, BrModelFree),
        KIND("materials", br_material, Material, BrMaterialAllocate, BrMaterialFree),
    };
    if (with_pixelmaps) {
        all.push_back(KIND("maps", br_pixelmap, Map, pixelmap_make, map_drop));
        all.push_back(KIND("tables", br_pixelmap, Table, pixelmap_make, table_drop));
    }
    return all;
}

class Registry : public Db {};

br_uint_32 collect(void *item, void *arg)
{
    ((std::vector<void *> *)arg)->push_back(item);
    return 0;
}

br_uint_32 stop_at_second(void *item, void *arg)
{
    int *n = (int *)arg;
    return ++*n == 2 ? 77 : 0;
}

TEST_F(Registry, AddFindWildcardManyCountEnumRemove)
{
    for (const kind &k : kinds()) {
        SCOPED_TRACE(k.name);
        void *apple = k.make("apple"), *apricot = k.make("apricot"), *banana = k.make("banana");
        EXPECT_EQ(k.add(apple), apple);
        void *rest[] = {apricot, nullptr, banana};
        EXPECT_EQ(k.add_many(rest, 3), 2u);

        EXPECT_EQ(k.find("banana"), banana);
        EXPECT_EQ(k.find("BANANA"), banana);
        void *ap = k.find("ap*");
        EXPECT_TRUE(ap == apple || ap == apricot);
        EXPECT_EQ(k.find("cherry"), nullptr);
        EXPECT_EQ(k.count(nullptr), 3u);
        EXPECT_EQ(k.count("ap*"), 2u);
        EXPECT_EQ(k.count("?pple"), 1u);

        void *found[4] = {};
        EXPECT_EQ(k.find_many("ap*", found, 4), 2u);
        EXPECT_TRUE((found[0] == apple && found[1] == apricot) || (found[0] == apricot && found[1] == apple));
        EXPECT_EQ(k.find_many(nullptr, found, 1), 1u);

        std::vector<void *> seen;
        EXPECT_EQ(k.enumerate("*an*", collect, &seen), 0u);
        EXPECT_EQ(seen, std::vector<void *>{banana});
        int n = 0;
        EXPECT_EQ(k.enumerate(nullptr, stop_at_second, &n), 77u);
        EXPECT_EQ(n, 2);

        EXPECT_EQ(k.remove(apple), apple);
        EXPECT_EQ(k.remove(apple), nullptr);
        EXPECT_EQ(k.find("apple"), nullptr);
        void *both[] = {apricot, apple, banana};
        EXPECT_EQ(k.remove_many(both, 3), 2u);
        EXPECT_EQ(k.count(nullptr), 0u);
        for (void *i : {apple, apricot, banana})
            k.drop(i);
    }
}

TEST_F(Registry, FindHookAnswersWhenNothingMatches)
{
    for (const kind &k : kinds()) {
        SCOPED_TRACE(k.name);
        void *real = k.make("real");
        fallback_item = k.make("fallback");
        k.add(real);
        EXPECT_EQ(k.set_hook(k.hook), nullptr);
        EXPECT_EQ(k.find("missing"), fallback_item);
        EXPECT_EQ(k.find("real"), real);
        EXPECT_EQ(k.set_hook(nullptr), k.hook);
        EXPECT_EQ(k.find("missing"), nullptr);
    }
}

TEST_F(Registry, FreedItemsLeaveTheirRegistry)
{
    for (const kind &k : kinds(false)) {
        SCOPED_TRACE(k.name);
        void *twice = k.make("twice"), *other = k.make("other");
        k.add(twice);
        k.add(twice);
        k.add(other);
        k.drop(twice);
        EXPECT_EQ(k.count(nullptr), 1u);
        EXPECT_EQ(k.find("twice"), nullptr);
        std::vector<void *> seen;
        k.enumerate(nullptr, collect, &seen);
        EXPECT_EQ(seen, std::vector<void *>{other});
    }
}

// After the database ends its registries hold nothing: lookups answer empty and a record made past
// the end is freed without touching them.
TEST_F(Registry, AfterTheEndRegistriesAnswerEmpty)
{
    ASSERT_EQ(BrV1dbEnd(), 0u);
    for (const kind &k : kinds(false)) {
        SCOPED_TRACE(k.name);
        void *late = k.make("late");
        EXPECT_EQ(k.find("*"), nullptr);
        EXPECT_EQ(k.count(nullptr), 0u);
        EXPECT_EQ(k.remove(late), nullptr);
        std::vector<void *> seen;
        EXPECT_EQ(k.enumerate(nullptr, collect, &seen), 0u);
        EXPECT_TRUE(seen.empty());
        k.drop(late);
    }
    ASSERT_EQ(BrV1dbBegin(), 0u);
}

TEST_F(Registry, NamelessItemsMatchOnlyTheNullPattern)
{
    for (const kind &k : kinds()) {
        SCOPED_TRACE(k.name);
        void *anon = k.make(nullptr);
        k.add(anon);
        EXPECT_EQ(k.find("*"), nullptr);
        EXPECT_EQ(k.count(nullptr), 1u);
        EXPECT_EQ(k.remove(anon), anon);
    }
}

TEST_F(Registry, ModelAllocationAndMaterialDefaults)
{
    br_model *m = BrModelAllocate("m", 3, 1);
    ASSERT_NE(m, nullptr);
    EXPECT_STREQ(m->identifier, "m");
    EXPECT_EQ(m->nvertices, 3);
    EXPECT_EQ(m->nfaces, 1);
    EXPECT_EQ(BrResClass(m), BR_MEMORY_MODEL);
    EXPECT_EQ(BrResClass(m->vertices), BR_MEMORY_VERTICES);
    EXPECT_EQ(BrResClass(m->faces), BR_MEMORY_FACES);
    EXPECT_TRUE(BrResIsChild(m, m->vertices));
    EXPECT_EQ(BrModelAllocate("big", 65536, 1), nullptr);
    EXPECT_TRUE(has_failure("too many"));
    br_model *empty = BrModelAllocate(nullptr, 0, 0);
    EXPECT_EQ(empty->vertices, nullptr);
    EXPECT_EQ(empty->identifier, nullptr);

    br_material *mat = BrMaterialAllocate("mat");
    EXPECT_STREQ(mat->identifier, "mat");
    EXPECT_EQ(mat->colour, 0xFFFFFFu);
    EXPECT_EQ(mat->opacity, 255);
    EXPECT_FLOAT_EQ(mat->ka, 0.1f);
    EXPECT_FLOAT_EQ(mat->kd, 0.7f);
    EXPECT_FLOAT_EQ(mat->ks, 0.0f);
    EXPECT_FLOAT_EQ(mat->power, 20.0f);
    EXPECT_EQ(mat->flags, (br_uint_32)BR_MATF_LIT);
    EXPECT_EQ(mat->map_transform.m[0][0], 1.0f);
    EXPECT_EQ(mat->map_transform.m[1][1], 1.0f);
    EXPECT_EQ(mat->map_transform.m[2][0], 0.0f);
    EXPECT_EQ(mat->index_base, 10);
    EXPECT_EQ(mat->index_range, 31);
    EXPECT_EQ(mat->stored, nullptr);
    EXPECT_EQ(mat->colour_map, nullptr);
    EXPECT_EQ(BrMaterialAllocate(nullptr)->identifier, nullptr);
}

TEST_F(Registry, ApplyMapTypes)
{
    br_model *m = BrModelAllocate("map", 4, 0);
    const float p[4][3] = {{-1, -1, 0}, {1, 1, 0}, {0, 0, -1}, {-1, 0, 0}};
    for (int i = 0; i < 4; i++)
        BrVector3Set(&m->vertices[i].p, p[i][0], p[i][1], p[i][2]);

    BrModelApplyMap(m, BR_MAP_PLANAR, nullptr);
    EXPECT_FLOAT_EQ(m->vertices[0].map.v[0], 0.0f);
    EXPECT_FLOAT_EQ(m->vertices[1].map.v[0], 1.0f);
    EXPECT_FLOAT_EQ(m->vertices[1].map.v[1], 1.0f);

    // Angles wrap into 0..65535: atan2(-z, x) of (0, 0, -1) is a quarter turn, of (-1, 0, 0) a half.
    BrModelApplyMap(m, BR_MAP_CYLINDRICAL, nullptr);
    EXPECT_FLOAT_EQ(m->vertices[2].map.v[0], 0.25f);
    EXPECT_FLOAT_EQ(m->vertices[3].map.v[0], 0.5f);
    EXPECT_FLOAT_EQ(m->vertices[3].map.v[1], 0.5f);
    BrModelApplyMap(m, BR_MAP_SPHERICAL, nullptr);
    EXPECT_FLOAT_EQ(m->vertices[3].map.v[1], 0.5f);
    BrModelApplyMap(m, BR_MAP_DISC, nullptr);
    EXPECT_FLOAT_EQ(m->vertices[0].map.v[1], sqrtf(2.0f));
    EXPECT_FLOAT_EQ(m->vertices[0].map.v[0], 0.375f); // atan2(1, -1)
    EXPECT_FLOAT_EQ(m->vertices[1].map.v[0], 0.875f); // atan2(-1, 1) wraps

    br_matrix34 shift;
    BrMatrix34Translate(&shift, 1.0f, 0.0f, 0.0f);
    BrModelApplyMap(m, BR_MAP_PLANAR, &shift);
    EXPECT_FLOAT_EQ(m->vertices[0].map.v[0], 0.5f);
    BrModelApplyMap(m, 99, nullptr);
    EXPECT_FLOAT_EQ(m->vertices[0].map.v[0], 0.5f);
    BrModelApplyMap(m, BR_MAP_NONE, nullptr);
    EXPECT_EQ(m->vertices[1].map.v[1], 0.0f);
}

TEST_F(Registry, FitMapOfAFlatModel)
{
    br_model *m = make_cube("flat");
    for (int v = 0; v < 8; v++)
        m->vertices[v].p.v[2] = 5.0f;
    for (int v = 0; v < 8; v++)
        m->vertices[v].p.v[0] = m->vertices[v].p.v[0] * 2.0f + 4.0f;
    BrModelUpdate(m, BR_MODU_BOUNDS);
    br_matrix34 fit;
    EXPECT_EQ(BrModelFitMap(m, BR_FIT_PLUS_X, BR_FIT_PLUS_Y, &fit), &fit);
    br_vector3 q;
    br_vector3 corner = {{6.0f, 1.0f, 5.0f}};
    BrMatrix34ApplyP(&q, &corner, &fit);
    EXPECT_FLOAT_EQ(q.v[0], 1.0f);
    EXPECT_FLOAT_EQ(q.v[1], 1.0f);
    EXPECT_FLOAT_EQ(q.v[2], 0.0f) << "the flat axis keeps scale 1 about the centre";
    BrModelApplyMap(m, BR_MAP_PLANAR, &fit);
    EXPECT_FLOAT_EQ(m->vertices[0].map.v[0], 0.0f);
    EXPECT_FLOAT_EQ(m->vertices[1].map.v[0], 1.0f);
}

} // namespace
