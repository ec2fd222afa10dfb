#include "test_renderer.h"

#include <brondel/brimage.h>

namespace dbtest {

recorder rec;

namespace {

enum class kind { device, facility, renderer, format_model, format_buckets, format_lighting, state, buffer, geometry };

// Every test object; the dispatch pointer comes first, as in every object.
struct tobj {
    const void *dispatch;
    kind k;
    br_token type;
    std::string name;
    std::vector<tobj *> children; // what find answers
};

std::vector<br_token_value> copy_list(const br_token_value *tv)
{
    std::vector<br_token_value> l;
    for (; tv != nullptr && tv->t != 0; tv++)
        l.push_back(*tv);
    return l;
}

void record(const char *op, br_token part, br_uint_32 mask, void *object, const br_token_value *tv = nullptr)
{
    rec.calls.push_back({op, part, mask, object, copy_list(tv)});
}

tobj *self(void *o) { return (tobj *)o; }

void obj_free(br_object *o)
{
    tobj *t = self(o);
    switch (t->k) {
    case kind::renderer: rec.renderers_freed++; break;
    case kind::state: rec.states_freed++; break;
    case kind::buffer: rec.buffers_freed++; break;
    case kind::geometry: rec.geometries_freed++; break;
    default: break;
    }
    if (t->k == kind::device)
        for (tobj *c : t->children)
            obj_free((br_object *)c);
    if (t->k == kind::facility)
        for (tobj *c : t->children)
            delete c;
    delete t;
}

const char *obj_identifier(br_object *o) { return self(o)->name.c_str(); }
br_token obj_type(br_object *o) { return self(o)->type; }
br_boolean obj_is_type(br_object *o, br_token t) { return self(o)->type == t; }

br_error obj_query(br_object *o, br_value *pvalue, br_token t)
{
    if (self(o)->k == kind::geometry && t == BRT_SHARED_B) {
        pvalue->raw = 0;
        pvalue->b = rec.stored_shared;
        return BRE_OK;
    }
    return BRE_UNKNOWN_TOKEN;
}

bool matches(tobj *c, br_token type, const char *pattern)
{
    return (type == 0 || c->type == type) && BrNamePatternMatch(pattern, c->name.c_str());
}

tobj *facility_of_renderer;

br_error obj_find(br_object_container *o, br_object **ph, br_token type, const char *pattern, br_token_value *)
{
    tobj *t = self(o);
    const std::vector<tobj *> &list = t->k == kind::renderer ? facility_of_renderer->children : t->children;
    for (tobj *c : list) {
        if (!matches(c, type, pattern))
            continue;
        if ((c->k == kind::format_model && rec.no_model_format) ||
            (c->k == kind::format_buckets && rec.no_buckets_format) ||
            (c->k == kind::format_lighting && rec.no_lighting_format))
            continue;
        *ph = (br_object *)c;
        return BRE_OK;
    }
    return BRE_FAIL;
}

br_error obj_count(br_object_container *o, br_int_32 *pcount, br_token type, const char *pattern, br_token_value *)
{
    br_int_32 n = 0;
    for (tobj *c : self(o)->children)
        n += matches(c, type, pattern);
    *pcount = n;
    return BRE_OK;
}

template <typename D> void object_ops(D &d)
{
    d._free = obj_free;
    d._identifier = obj_identifier;
    d._type = obj_type;
    d._isType = obj_is_type;
    d._query = obj_query;
}

template <typename D> void container_ops(D &d)
{
    object_ops(d);
    d._find = obj_find;
    d._count = obj_count;
}

const void *dispatch_for(kind k);

tobj *make(kind k, br_token type, const char *name)
{
    return new tobj{dispatch_for(k), k, type, name, {}};
}

// Renderer.
br_error r_new_stored_state(br_renderer *r, br_renderer_state_stored **pss, br_uint_32 mask, br_token_value *tv)
{
    tobj *s = make(kind::state, BRT_RENDERER_STATE_STORED, "state");
    rec.states++;
    *pss = (br_renderer_state_stored *)s;
    record("newStoredState", 0, mask, s, tv);
    return BRE_OK;
}

br_error r_new_stored_buffer(br_renderer *r, br_buffer_stored **psm, br_token use, struct br_pixelmap *pm,
                             br_token_value *tv)
{
    tobj *b = make(kind::buffer, BRT_BUFFER_STORED, "buffer");
    rec.buffers++;
    *psm = (br_buffer_stored *)b;
    record("newStoredBuffer", use, 0, pm, tv);
    return BRE_OK;
}

br_error r_part_set(br_renderer *, br_token part, br_int_32, br_token t, br_value value)
{
    br_token_value tv[2] = {{t, value}, {}};
    record("partSet", part, 0, nullptr, tv);
    return BRE_OK;
}

br_error r_part_set_many(br_renderer *, br_token part, br_int_32, br_token_value *tv, br_int_32 *pcount)
{
    record("partSetMany", part, 0, nullptr, tv);
    if (pcount != nullptr)
        *pcount = (br_int_32)copy_list(tv).size();
    return BRE_OK;
}

br_error r_push(br_renderer *, br_uint_32 mask) { record("statePush", 0, mask, nullptr); return BRE_OK; }
br_error r_pop(br_renderer *, br_uint_32 mask) { record("statePop", 0, mask, nullptr); return BRE_OK; }
br_error r_default(br_renderer *, br_uint_32 mask) { record("stateDefault", 0, mask, nullptr); return BRE_OK; }
br_error r_save(br_renderer *, br_renderer_state_stored *s, br_uint_32 mask)
{
    record("stateSave", 0, mask, s);
    return BRE_OK;
}
br_error r_restore(br_renderer *, br_renderer_state_stored *s, br_uint_32 mask)
{
    record("stateRestore", 0, mask, s);
    return BRE_OK;
}

// Buffers.
br_error b_update(br_buffer_stored *b, struct br_pixelmap *pm, br_token_value *tv)
{
    record("bufferUpdate", 0, 0, pm, tv);
    return BRE_OK;
}

// Model format: stored geometry on request.
br_error f_stored_new(br_geometry_v1_model *, br_renderer *, br_geometry_stored **psg, void *model, br_token type,
                      br_token_value *tv)
{
    record("storedNew", type, 0, model, tv);
    if (!rec.stored_geometry)
        return BRE_UNSUPPORTED;
    rec.geometries++;
    *psg = (br_geometry_stored *)make(kind::geometry, BRT_GEOMETRY_STORED, "geometry");
    return BRE_OK;
}

// Facility.
br_error fac_renderer_new(br_renderer_facility *f, br_renderer **pr, br_token_value *tv)
{
    rec.renderer_lists.push_back(copy_list(tv));
    if (rec.renderer_new_result != BRE_OK)
        return rec.renderer_new_result;
    facility_of_renderer = self(f);
    rec.renderers++;
    *pr = (br_renderer *)make(kind::renderer, BRT_RENDERER, "test renderer");
    return BRE_OK;
}

br_device_dispatch device_dispatch;
br_renderer_facility_dispatch facility_dispatch;
br_renderer_dispatch renderer_dispatch;
br_geometry_v1_model_dispatch model_dispatch;
br_geometry_v1_buckets_dispatch buckets_dispatch;
br_geometry_lighting_dispatch lighting_dispatch;
br_renderer_state_stored_dispatch state_dispatch;
br_buffer_stored_dispatch buffer_dispatch;
br_geometry_stored_dispatch geometry_dispatch;

bool dispatch_ready = [] {
    container_ops(device_dispatch);
    container_ops(facility_dispatch);
    facility_dispatch._rendererNew = fac_renderer_new;
    container_ops(renderer_dispatch);
    renderer_dispatch._newStoredState = r_new_stored_state;
    renderer_dispatch._newStoredBuffer = r_new_stored_buffer;
    renderer_dispatch._partSet = r_part_set;
    renderer_dispatch._partSetMany = r_part_set_many;
    renderer_dispatch._statePush = r_push;
    renderer_dispatch._statePop = r_pop;
    renderer_dispatch._stateSave = r_save;
    renderer_dispatch._stateRestore = r_restore;
    renderer_dispatch._stateDefault = r_default;
    object_ops(model_dispatch);
    model_dispatch._storedNew = f_stored_new;
    object_ops(buckets_dispatch);
    object_ops(lighting_dispatch);
    object_ops(state_dispatch);
    object_ops(buffer_dispatch);
    buffer_dispatch._update = b_update;
    object_ops(geometry_dispatch);
    return true;
}();

br_device *driver_begin(const char *)
{
    tobj *dev = make(kind::device, BRT_DEVICE, "dbtest");
    tobj *fac = make(kind::facility, BRT_RENDERER_FACILITY, "Default-Renderer-Float");
    fac->children = {make(kind::format_model, BRT_GEOMETRY_V1_MODEL, "model format"),
                     make(kind::format_buckets, BRT_GEOMETRY_V1_BUCKETS, "buckets format"),
                     make(kind::format_lighting, BRT_GEOMETRY_LIGHTING, "lighting format")};
    dev->children = {fac};
    return (br_device *)dev;
}

struct built_in {
    br_image image;
    br_image_export exports[1];
    const char *names[1];
    void *functions[1];
    br_uint_16 ordinals[1];
};

const void *dispatch_for(kind k)
{
    switch (k) {
    case kind::device: return &device_dispatch;
    case kind::facility: return &facility_dispatch;
    case kind::renderer: return &renderer_dispatch;
    case kind::format_model: return &model_dispatch;
    case kind::format_buckets: return &buckets_dispatch;
    case kind::format_lighting: return &lighting_dispatch;
    case kind::state: return &state_dispatch;
    case kind::buffer: return &buffer_dispatch;
    case kind::geometry: return &geometry_dispatch;
    }
    return nullptr;
}

} // namespace

std::vector<call> recorder::of(const std::string &op) const
{
    std::vector<call> r;
    for (const call &c : calls)
        if (c.op == op)
            r.push_back(c);
    return r;
}

void test_renderer_register()
{
    static built_in image;
    image.exports[0] = {"_BrDrv1Begin", (void *)driver_begin};
    BrImageResidentMake(&image.image, "dbtest", image.exports, 1, image.names, image.functions, image.ordinals);
    if (BrImageFind("dbtest") == nullptr)
        BrImageAdd(&image.image);
    // Begun before any renderer is looked for, its facility is the one found.
    BrDevAdd(nullptr, "dbtest", nullptr);
}

void test_renderer_reset()
{
    rec = recorder();
}

std::vector<br_token> tokens_of(const std::vector<br_token_value> &tv)
{
    std::vector<br_token> t;
    for (const br_token_value &p : tv)
        t.push_back(p.t);
    return t;
}

const br_value *value_of(const std::vector<br_token_value> &tv, br_token t)
{
    for (const br_token_value &p : tv)
        if (p.t == t)
            return &p.v;
    return nullptr;
}

} // namespace dbtest
