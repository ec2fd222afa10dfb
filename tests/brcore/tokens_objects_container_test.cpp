// Objects with the default query operations, and containers kept as object lists.
#include <stddef.h>
#include <string.h>

#include <vector>

#include "foundation_support.h"

namespace {

// A small object class: a name, a type and two values that its templates expose.
struct Thing {
    const br_object_dispatch *dispatch;
    const char *name;
    br_token type;
    br_int_32 width;
    br_int_32 height;
    br_tv_template *tpl;
    int *freed;
};

void thing_free(br_object *self)
{
    Thing *t = (Thing *)self;
    if (t->freed)
        ++*t->freed;
}
const char *thing_identifier(br_object *self) { return ((Thing *)self)->name; }
br_token thing_type(br_object *self) { return ((Thing *)self)->type; }
br_boolean thing_is_type(br_object *self, br_token t) { return ((Thing *)self)->type == t; }
br_tv_template *thing_template(br_object *self) { return ((Thing *)self)->tpl; }

const br_object_dispatch thing_dispatch = {
    nullptr, nullptr, nullptr, nullptr,
    thing_free, thing_identifier, thing_type, thing_is_type, nullptr, nullptr, thing_template,
    _M_br_object_query, _M_br_object_queryBuffer, _M_br_object_queryMany, _M_br_object_queryManySize,
    _M_br_object_queryAll, _M_br_object_queryAllSize,
};

// Width only; width and height.
br_tv_template_entry width_entries[] = {
    {BRT_WIDTH_I32, nullptr, offsetof(Thing, width), BRTV_QUERY | BRTV_ALL, BRTV_CONV_COPY, 0, 0},
    {BRT_IDENTIFIER_CSTR, nullptr, 0, BRTV_QUERY, BRTV_CONV_CONSTANT, (uintptr_t) "thing", 0},
};
br_tv_template_entry size_entries[] = {
    {BRT_WIDTH_I32, nullptr, offsetof(Thing, width), BRTV_QUERY | BRTV_ALL, BRTV_CONV_COPY, 0, 0},
    {BRT_HEIGHT_I32, nullptr, offsetof(Thing, height), BRTV_QUERY | BRTV_ALL, BRTV_CONV_COPY, 0, 0},
};

struct Box {
    const br_object_container_dispatch *dispatch;
    void *list;
};

void *box_list(br_object_container *self) { return ((Box *)self)->list; }

const br_object_container_dispatch box_dispatch = {
    nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    _M_br_object_query, _M_br_object_queryBuffer, _M_br_object_queryMany, _M_br_object_queryManySize,
    _M_br_object_queryAll, _M_br_object_queryAllSize,
    box_list,
    _M_br_object_container_tokensMatchBegin, _M_br_object_container_tokensMatch,
    _M_br_object_container_tokensMatchEnd, _M_br_object_container_addFront, _M_br_object_container_removeFront,
    _M_br_object_container_remove, _M_br_object_container_find, _M_br_object_container_findMany,
    _M_br_object_container_count,
};

// Drivers fill these tables by position.
static_assert(offsetof(br_object_dispatch, _free) == 4 * sizeof(void *));
static_assert(offsetof(br_object_dispatch, _templateQuery) == 10 * sizeof(void *));
static_assert(sizeof(br_object_dispatch) == 17 * sizeof(void *));
static_assert(offsetof(br_object_container_dispatch, _listQuery) == 17 * sizeof(void *));
static_assert(offsetof(br_object_container_dispatch, _addFront) == 21 * sizeof(void *));
static_assert(sizeof(br_object_container_dispatch) == 27 * sizeof(void *));

class ObjectContainer : public FwTest {
protected:
    void SetUp() override
    {
        FwTest::SetUp();
        width_tpl = BrTVTemplateAllocate(nullptr, width_entries, 2);
        size_tpl = BrTVTemplateAllocate(nullptr, size_entries, 2);
        box.dispatch = &box_dispatch;
        box.list = BrObjectListAllocate(nullptr);
        ASSERT_NE(box.list, nullptr);
        things.reserve(16);
    }
    void TearDown() override
    {
        BrResFree(box.list);
        BrTVTemplateFree(width_tpl);
        BrTVTemplateFree(size_tpl);
        FwTest::TearDown();
    }

    Thing *add(const char *name, br_token type = BRT_DEVICE, br_int_32 width = 0, br_tv_template *tpl = nullptr)
    {
        things.push_back({&thing_dispatch, name, type, width, 480, tpl ? tpl : width_tpl, &freed});
        Thing *t = &things.back();
        EXPECT_EQ(container()->dispatch->_addFront(container(), obj(t)), (br_error)BRE_OK);
        return t;
    }
    br_object_container *container() { return (br_object_container *)&box; }
    static br_object *obj(Thing *t) { return (br_object *)t; }

    br_tv_template *width_tpl = nullptr, *size_tpl = nullptr;
    Box box;
    std::vector<Thing> things;
    int freed = 0;
};

TEST_F(ObjectContainer, FindKeepsTheFirstAddedAndFindManyListsNewestFirst)
{
    Thing *a = add("same");
    Thing *b = add("same");
    add("other");
    br_object *found = nullptr;
    ASSERT_EQ(_M_br_object_container_find(container(), &found, 0, "same", nullptr), (br_error)BRE_OK);
    EXPECT_EQ(found, obj(a));

    br_object *many[4] = {};
    br_int_32 n = 0;
    ASSERT_EQ(_M_br_object_container_findMany(container(), many, 4, &n, 0, "SAM*", nullptr), (br_error)BRE_OK);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(many[0], obj(b));
    EXPECT_EQ(many[1], obj(a));

    EXPECT_EQ(_M_br_object_container_find(container(), &found, 0, "missing", nullptr), (br_error)BRE_FAIL);
    EXPECT_EQ(found, nullptr);
}

TEST_F(ObjectContainer, FindManyReportsOverflowWithTheFullCount)
{
    add("one");
    add("two");
    Thing *three = add("three");
    br_object *guard = (br_object *)&guard;
    br_object *many[2] = {nullptr, guard};
    br_int_32 n = 0;
    EXPECT_EQ(_M_br_object_container_findMany(container(), many, 1, &n, 0, nullptr, nullptr), (br_error)BRE_OVERFLOW);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(many[0], obj(three));
    EXPECT_EQ(many[1], guard);
}

TEST_F(ObjectContainer, MatchesOnTypeNameAndWantedValues)
{
    add("screen", BRT_DEVICE, 640);
    add("window", BRT_OUTPUT_FACILITY, 640);
    add("wide", BRT_OUTPUT_FACILITY, 1024);
    add("sized", BRT_OUTPUT_FACILITY, 640, size_tpl);

    struct Row {
        const char *what;
        br_token type;
        const char *pattern;
        std::vector<br_token_value> wanted;
        br_int_32 count;
    };
    auto pair = [](br_token t, br_uint_32 v) {
        br_token_value tv;
        tv.t = t;
        tv.v.raw = 0;
        tv.v.u32 = v;
        return tv;
    };
    const br_token_value end = pair(0, 0);
    const Row rows[] = {
        {"all", 0, nullptr, {}, 4},
        {"by type", BRT_OUTPUT_FACILITY, nullptr, {}, 3},
        {"by pattern", 0, "w*", {}, 2},
        {"by value", 0, nullptr, {pair(BRT_WIDTH_I32, 640), end}, 3},
        {"type and value", BRT_OUTPUT_FACILITY, nullptr, {pair(BRT_WIDTH_I32, 640), end}, 2},
        // A token an object does not know does not keep it from matching; one that it knows does.
        {"unknown token", 0, nullptr, {pair(BRT_HEIGHT_I32, 100), end}, 3},
        {"known and unknown", 0, nullptr, {pair(BRT_WIDTH_I32, 640), pair(BRT_HEIGHT_I32, 480), end}, 3},
        {"empty wanted list", 0, nullptr, {end}, 4},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        std::vector<br_token_value> wanted = r.wanted;
        br_token_value *tv = wanted.empty() ? nullptr : wanted.data();
        br_int_32 n = -1;
        ASSERT_EQ(_M_br_object_container_count(container(), &n, r.type, r.pattern, tv), (br_error)BRE_OK);
        EXPECT_EQ(n, r.count);
    }
}

TEST_F(ObjectContainer, EachCandidateIsComparedWithTheWantedValues)
{
    // The newest object knows the height and has another one; the older ones do not know it and
    // must still match even though they are asked after it.
    add("plain1");
    add("plain2");
    add("sized", BRT_DEVICE, 0, size_tpl)->height = 100;
    br_token_value wanted[2];
    wanted[0].t = BRT_HEIGHT_I32;
    wanted[0].v.raw = 0;
    wanted[0].v.i32 = 480;
    wanted[1].t = 0;
    wanted[1].v.raw = 0;
    br_object *many[3] = {};
    br_int_32 n = 0;
    ASSERT_EQ(_M_br_object_container_findMany(container(), many, 3, &n, 0, nullptr, wanted), (br_error)BRE_OK);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(wanted[0].v.i32, 480); // the caller's list is left alone
}

TEST_F(ObjectContainer, RemovingObjects)
{
    Thing sentinel = {};
    br_object *h = obj(&sentinel);
    EXPECT_EQ(_M_br_object_container_removeFront(container(), &h), (br_error)BRE_FAIL);
    EXPECT_EQ(h, nullptr);

    Thing *a = add("a");
    Thing *b = add("b");
    Thing stranger = {&thing_dispatch, "x", BRT_DEVICE, 0, 0, width_tpl, nullptr};
    EXPECT_EQ(_M_br_object_container_remove(container(), obj(&stranger)), (br_error)BRE_FAIL);
    EXPECT_EQ(_M_br_object_container_remove(container(), obj(a)), (br_error)BRE_OK);
    EXPECT_EQ(_M_br_object_container_remove(container(), obj(a)), (br_error)BRE_FAIL);
    EXPECT_EQ(_M_br_object_container_removeFront(container(), &h), (br_error)BRE_OK);
    EXPECT_EQ(h, obj(b));
    br_int_32 n = -1;
    EXPECT_EQ(_M_br_object_container_count(container(), &n, 0, nullptr, nullptr), (br_error)BRE_OK);
    EXPECT_EQ(n, 0);
}

TEST_F(ObjectContainer, WithoutAListEveryOperationFails)
{
    Box empty = {&box_dispatch, nullptr};
    br_object_container *c = (br_object_container *)&empty;
    Thing t = {&thing_dispatch, "t", BRT_DEVICE, 0, 0, width_tpl, nullptr};
    br_object *h = obj(&t);
    br_int_32 n = 0;
    EXPECT_EQ(_M_br_object_container_addFront(c, obj(&t)), (br_error)BRE_FAIL);
    EXPECT_EQ(_M_br_object_container_remove(c, obj(&t)), (br_error)BRE_FAIL);
    EXPECT_EQ(_M_br_object_container_removeFront(c, &h), (br_error)BRE_FAIL);
    EXPECT_EQ(_M_br_object_container_find(c, &h, 0, nullptr, nullptr), (br_error)BRE_FAIL);
    EXPECT_EQ(_M_br_object_container_findMany(c, &h, 1, &n, 0, nullptr, nullptr), (br_error)BRE_FAIL);
    EXPECT_EQ(_M_br_object_container_count(c, &n, 0, nullptr, nullptr), (br_error)BRE_FAIL);
    EXPECT_EQ(_M_br_object_container_tokensMatchBegin(c, 0, nullptr), nullptr);
    _M_br_object_container_tokensMatchEnd(c, nullptr);
    EXPECT_TRUE(_M_br_object_container_tokensMatch(c, obj(&t), nullptr));
}

TEST_F(ObjectContainer, ContainerFreeFreesOnlyTheMatches)
{
    add("keep", BRT_DEVICE);
    add("drop1", BRT_OUTPUT_FACILITY);
    add("drop2", BRT_OUTPUT_FACILITY);
    EXPECT_EQ(BrObjectContainerFree(container(), BRT_OUTPUT_FACILITY, nullptr, nullptr), (br_error)BRE_OK);
    EXPECT_EQ(freed, 2);
    br_int_32 n = 0;
    _M_br_object_container_count(container(), &n, 0, nullptr, nullptr);
    EXPECT_EQ(n, 1);
    br_object *h = nullptr;
    EXPECT_EQ(_M_br_object_container_find(container(), &h, 0, "keep", nullptr), (br_error)BRE_OK);

    // Nothing matching: nothing to do.
    EXPECT_EQ(BrObjectContainerFree(container(), BRT_RENDERER, nullptr, nullptr), (br_error)BRE_OK);
    EXPECT_EQ(freed, 2);
}

TEST_F(ObjectContainer, DefaultQueriesGoThroughTheObjectsTemplate)
{
    Thing *t = add("t", BRT_DEVICE, 320, size_tpl);
    br_object *o = obj(t);
    br_value v;
    ASSERT_EQ(o->dispatch->_query(o, &v, BRT_WIDTH_I32), (br_error)BRE_OK);
    EXPECT_EQ(v.i32, 320);
    EXPECT_EQ(o->dispatch->_query(o, &v, BRT_TEXTURE_O), (br_error)BRE_UNKNOWN_TOKEN);
    ASSERT_EQ(o->dispatch->_queryBuffer(o, &v, nullptr, 0, BRT_HEIGHT_I32), (br_error)BRE_OK);
    EXPECT_EQ(v.i32, 480);

    br_size_t size = 0;
    ASSERT_EQ(o->dispatch->_queryAllSize(o, &size), (br_error)BRE_OK);
    EXPECT_EQ(size, 3 * sizeof(br_token_value));
    br_token_value all[3];
    ASSERT_EQ(o->dispatch->_queryAll(o, all, sizeof(all)), (br_error)BRE_OK);
    EXPECT_EQ(all[1].t, (br_token)BRT_HEIGHT_I32);

    br_token_value many[2] = {{BRT_WIDTH_I32, {}}, {0, {}}};
    br_int_32 n = 0;
    ASSERT_EQ(o->dispatch->_queryManySize(o, &size, many), (br_error)BRE_OK);
    EXPECT_EQ(size, 0u);
    ASSERT_EQ(o->dispatch->_queryMany(o, many, nullptr, 0, &n), (br_error)BRE_OK);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(many[0].v.i32, 320);
}

// An object class whose free releases its own block, as driver objects do.
int resource_frees = 0;
void resource_thing_free(br_object *self)
{
    resource_frees++;
    BrResFree(self);
}
const br_object_dispatch resource_thing_dispatch = {
    nullptr, nullptr, nullptr, nullptr, resource_thing_free,
};

TEST_F(ObjectContainer, FreeingAnObjectResourceRunsItsFree)
{
    resource_frees = 0;
    br_object *o = (br_object *)BrResAllocate(nullptr, sizeof(br_object) + 32, BR_MEMORY_OBJECT);
    ASSERT_NE(o, nullptr);
    o->dispatch = &resource_thing_dispatch;
    BrResFree(o);
    EXPECT_EQ(resource_frees, 1);

    // Without a table yet: just freed.
    br_object *bare = (br_object *)BrResAllocate(nullptr, sizeof(br_object), BR_MEMORY_OBJECT);
    ASSERT_NE(bare, nullptr);
    BrResFree(bare);
    EXPECT_EQ(resource_frees, 1);
}

} // namespace
