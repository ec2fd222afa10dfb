#include "recorder.h"

#include <string.h>

#include "db/dbstate.h"

namespace scenetest {

namespace {

// The one installed recorder; the renderer and its formats all answer to it.
Recorder *installed;

Recorder *of(br_renderer *) { return installed; }

size_t floats_of(br_token t)
{
    switch (t) {
    case BRT_MODEL_TO_VIEW_M34_F:
    case BRT_VIEW_TO_ENVIRONMENT_M34_F:
        return 12;
    case BRT_VIEW_TO_SCREEN_M4_F:
        return 16;
    case BRT_POSITION_V3_F:
    case BRT_DIRECTION_V3_F:
        return 3;
    case BRT_PLANE_V4_F:
        return 4;
    default:
        return 0;
    }
}

void record(Recorder *r, br_token part, br_int_32, br_token t, br_value v)
{
    if (part == BRT_MATRIX && t == BRT_MODEL_TO_VIEW_M34_F)
        memcpy(&r->m2v, v.p, sizeof(r->m2v));
    if (part == BRT_MATRIX && t == BRT_VIEW_TO_SCREEN_M4_F)
        memcpy(&r->v2s, v.p, sizeof(r->v2s));
}

br_error part_set(br_renderer *self, br_token part, br_int_32 index, br_token t, br_value v)
{
    Recorder *r = of(self);
    PartSet ps{part, index, {{t, v}}, {}};
    if (size_t n = floats_of(t))
        ps.floats.assign(v.vf, v.vf + n);
    r->sets.push_back(ps);
    record(r, part, index, t, v);
    return BRE_OK;
}

br_error part_set_many(br_renderer *self, br_token part, br_int_32 index, br_token_value *tv, br_int_32 *pcount)
{
    Recorder *r = of(self);
    PartSet ps{part, index, {}, {}};
    for (; tv->t != 0; tv++) {
        ps.tv.push_back({tv->t, tv->v});
        if (size_t n = floats_of(tv->t))
            ps.floats.insert(ps.floats.end(), tv->v.vf, tv->v.vf + n);
        record(r, part, index, tv->t, tv->v);
    }
    r->sets.push_back(ps);
    return BRE_OK;
}

br_error part_query(br_renderer *self, br_token part, br_int_32, br_value *pv, void *buffer, br_size_t size,
                    br_token t)
{
    Recorder *r = of(self);
    r->queries++;
    if (part == BRT_MATRIX && t == BRT_MODEL_TO_VIEW_M34_F && size >= sizeof(r->m2v)) {
        memcpy(buffer, &r->m2v, sizeof(r->m2v));
        pv->p = buffer;
        return BRE_OK;
    }
    if (part == BRT_MATRIX && t == BRT_VIEW_TO_SCREEN_M4_F && size >= sizeof(r->v2s)) {
        memcpy(buffer, &r->v2s, sizeof(r->v2s));
        pv->p = buffer;
        return BRE_OK;
    }
    return BRE_FAIL;
}

br_error part_query_buffer(br_renderer *, br_token, br_int_32, br_token_value *, void *, br_size_t)
{
    return BRE_FAIL;
}

br_error model_mul(br_renderer *self, br_matrix34 *m)
{
    Recorder *r = of(self);
    br_matrix34 out;
    BrMatrix34Mul(&out, m, &r->m2v);
    r->m2v = out;
    return BRE_OK;
}

br_error model_invert(br_renderer *self)
{
    Recorder *r = of(self);
    br_matrix34 out;
    BrMatrix34Inverse(&out, &r->m2v);
    r->m2v = out;
    return BRE_OK;
}

br_error push(br_renderer *self, br_uint_32)
{
    of(self)->stack.push_back(of(self)->m2v);
    return BRE_OK;
}

br_error pop(br_renderer *self, br_uint_32)
{
    Recorder *r = of(self);
    if (r->stack.empty())
        return BRE_FAIL;
    r->m2v = r->stack.back();
    r->stack.pop_back();
    return BRE_OK;
}

br_error state_default(br_renderer *self, br_uint_32)
{
    of(self)->calls.push_back("default");
    return BRE_OK;
}

br_error bounds_test(br_renderer *self, br_token *answer, br_bounds3 *b)
{
    Recorder *r = of(self);
    r->calls.push_back("bounds");
    *answer = r->bounds_answer ? r->bounds_answer(b) : (br_token)BRT_PARTIAL;
    return BRE_OK;
}

br_error flush(br_renderer *self, br_boolean)
{
    of(self)->calls.push_back("flush");
    return BRE_OK;
}

const br_renderer_dispatch renderer_dispatch = [] {
    br_renderer_dispatch d = {};
    d._partSet = part_set;
    d._partSetMany = part_set_many;
    d._partQuery = part_query;
    d._partQueryBuffer = part_query_buffer;
    d._modelMul = model_mul;
    d._modelInvert = model_invert;
    d._statePush = push;
    d._statePop = pop;
    d._stateDefault = state_default;
    d._boundsTest = bounds_test;
    d._flush = flush;
    return d;
}();

br_error draw(br_geometry_v1_model *self, br_renderer *, void *block, br_renderer_state_stored *, br_token type,
              bool on_screen)
{
    Recorder *r = installed;
    (void)self;
    r->drawn.push_back({block, type, on_screen, r->m2v});
    return BRE_OK;
}

br_error render(br_geometry_v1_model *self, br_renderer *rr, void *block, br_renderer_state_stored *s, br_token t)
{
    return draw(self, rr, block, s, t, false);
}

br_error render_on_screen(br_geometry_v1_model *self, br_renderer *rr, void *block, br_renderer_state_stored *s,
                          br_token t)
{
    return draw(self, rr, block, s, t, true);
}

const br_geometry_v1_model_dispatch format_dispatch = [] {
    br_geometry_v1_model_dispatch d = {};
    d._render = render;
    d._renderOnScreen = render_on_screen;
    return d;
}();

br_error buckets_render(br_geometry_v1_buckets *self, br_renderer *, void **table, br_int_32 n)
{
    Recorder *r = installed;
    (void)self;
    r->bucket_draws++;
    r->bucket_tables.push_back(table);
    (void)n;
    return BRE_OK;
}

const br_geometry_v1_buckets_dispatch buckets_dispatch = [] {
    br_geometry_v1_buckets_dispatch d = {};
    d._render = buckets_render;
    return d;
}();

} // namespace

Recorder::Recorder()
{
    renderer.dispatch = &renderer_dispatch;
    format.dispatch = &format_dispatch;
    buckets.dispatch = &buckets_dispatch;
    BrMatrix34Identity(&m2v);
    BrMatrix4Identity(&v2s);
}

void Recorder::install(bool with_buckets)
{
    installed = this;
    v1db.renderer = &renderer;
    v1db.format_model = (br_geometry *)&format;
    v1db.format_buckets = with_buckets ? (br_geometry *)&buckets : nullptr;
    v1db.default_order_table = BrDbDefaultOrderTable(); // as renderer start does
}

void Recorder::uninstall()
{
    v1db.renderer = nullptr;
    v1db.format_model = nullptr;
    v1db.format_buckets = nullptr;
    v1db.default_order_table = nullptr;
}

std::vector<PartSet> Recorder::parts(br_token part) const
{
    std::vector<PartSet> out;
    for (const PartSet &p : sets)
        if (p.part == part)
            out.push_back(p);
    return out;
}

const br_value *find(const PartSet &p, br_token t)
{
    for (const auto &e : p.tv)
        if (e.first == t)
            return &e.second;
    return nullptr;
}

} // namespace scenetest
