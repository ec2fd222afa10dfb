#include "test_driver.h"

#include <cstring>

std::vector<std::string> TestDriver::begun;
int TestDriver::frees;
std::vector<std::vector<br_token_value>> TestDriver::created;

static TestObject *self_of(void *o)
{
    return (TestObject *)o;
}

static void obj_free(br_object *self)
{
    TestDriver::frees++;
    TestObject *o = self_of(self);
    for (TestObject *c : o->children)
        delete c;
    delete o;
}

static const char *obj_identifier(br_object *self)
{
    return self_of(self)->name.c_str();
}

static br_token obj_type(br_object *self)
{
    return self_of(self)->type;
}

static br_error obj_query(br_object *self, br_value *pvalue, br_token t)
{
    TestObject *o = self_of(self);
    br_object *answer = t == BRT_RENDERER_FACILITY_O ? o->renderer_facility
                        : t == BRT_OUTPUT_FACILITY_O ? o->output_facility
                                                    : nullptr;
    if (answer == nullptr)
        return BRE_FAIL;
    pvalue->o = answer;
    return BRE_OK;
}

static bool matches(TestObject *c, br_token type, const char *pattern)
{
    return (type == 0 || c->type == type) && BrNamePatternMatch(pattern, c->name.c_str());
}

static br_error obj_find(br_object_container *self, br_object **ph, br_token type, const char *pattern,
                         br_token_value *tv)
{
    for (TestObject *c : self_of(self)->children)
        if (matches(c, type, pattern)) {
            *ph = (br_object *)c;
            return BRE_OK;
        }
    return BRE_FAIL;
}

static br_error obj_find_many(br_object_container *self, br_object **objects, br_int_32 max, br_int_32 *pn,
                              br_token type, const char *pattern, br_token_value *tv)
{
    br_int_32 n = 0;
    for (TestObject *c : self_of(self)->children)
        if (matches(c, type, pattern)) {
            if (n >= max)
                return BRE_OVERFLOW;
            objects[n++] = (br_object *)c;
        }
    *pn = n;
    return BRE_OK;
}

static br_error obj_count(br_object_container *self, br_int_32 *pcount, br_token type, const char *pattern,
                          br_token_value *tv)
{
    br_int_32 n = 0;
    for (TestObject *c : self_of(self)->children)
        n += matches(c, type, pattern);
    *pcount = n;
    return BRE_OK;
}

static br_error output_valid_source(br_output_facility *, br_boolean *bp, br_object *)
{
    *bp = 1;
    return BRE_OK;
}

// Records the list it was given and answers a screen the test frees.
static br_error output_pixelmap_new(br_output_facility *self, struct br_pixelmap **ppmap, br_token_value *tv)
{
    std::vector<br_token_value> list;
    for (br_token_value *p = tv; p != nullptr && p->t != 0; p++)
        list.push_back(*p);
    TestDriver::created.push_back(list);
    static char screen[64];
    *ppmap = (struct br_pixelmap *)screen;
    return BRE_OK;
}

static br_output_facility_dispatch object_dispatch = [] {
    br_output_facility_dispatch d{};
    d._free = obj_free;
    d._identifier = obj_identifier;
    d._type = obj_type;
    d._query = obj_query;
    d._find = obj_find;
    d._findMany = obj_find_many;
    d._count = obj_count;
    d._validSource = output_valid_source;
    d._pixelmapNew = output_pixelmap_new;
    return d;
}();

// Every test object shares one table; the output facility's two operations follow the container's.
static const br_object_container_dispatch *table()
{
    return (const br_object_container_dispatch *)&object_dispatch;
}

TestObject *test_device_new(const std::string &name, std::vector<std::pair<std::string, br_token>> facilities)
{
    TestObject *dev = new TestObject{table(), name, BRT_DEVICE, {}};
    for (auto &f : facilities)
        dev->children.push_back(new TestObject{table(), f.first, f.second, {}});
    return dev;
}

TestObject *test_object_new(const std::string &name, br_object *renderer_facility, br_object *output_facility)
{
    TestObject *o = new TestObject{table(), name, BRT_NONE, {}};
    o->renderer_facility = renderer_facility;
    o->output_facility = output_facility;
    return o;
}

void test_object_delete(TestObject *o)
{
    delete o;
}

static void record(const char *args)
{
    TestDriver::begun.push_back(args ? args : "<null>");
}

static br_device *begin_softrndf(const char *args)
{
    record(args);
    return (br_device *)test_device_new("softrndf", {{"Default-Renderer-Float", BRT_RENDERER_FACILITY}});
}

static br_device *begin_softrend(const char *args)
{
    record(args);
    return (br_device *)test_device_new("softrend", {{"Default-Renderer", BRT_RENDERER_FACILITY},
                                                     {"Default-Primitives", BRT_PRIMITIVE_LIBRARY}});
}

static br_device *begin_a(const char *args)
{
    record(args);
    return (br_device *)test_device_new("a", {});
}

static br_device *begin_b(const char *args)
{
    record(args);
    return (br_device *)test_device_new("b", {});
}

struct BuiltIn {
    br_image image;
    br_image_export exports[1];
    const char *names[1];
    void *functions[1];
    br_uint_16 ordinals[1];
};

static void add(BuiltIn &b, const char *identifier, br_device_begin_fn *begin, const char *export_name)
{
    b.exports[0] = {export_name, (void *)begin};
    BrImageResidentMake(&b.image, identifier, b.exports, 1, b.names, b.functions, b.ordinals);
    BrImageAdd(&b.image);
}

void test_driver_images_add()
{
    static BuiltIn softrndf, softrend, a, b, nobegin;
    add(softrndf, "softrndf", begin_softrndf, "_BrDrv1Begin");
    add(softrend, "softrend", begin_softrend, "_BrDrv1Begin");
    add(a, "a", begin_a, "_BrDrv1Begin");
    add(b, "b", begin_b, "_BrDrv1Begin");
    add(nobegin, "nobegin", begin_a, "_SomethingElse");
}
