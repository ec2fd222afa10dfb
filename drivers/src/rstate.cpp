// Renderer state parts, their templates, the state stack and the bounds test.
#include "rstate.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include <emmintrin.h>

namespace sr {

namespace {

constexpr br_uint_16 QS = BRTV_QUERY | BRTV_SET | BRTV_ALL;
constexpr br_uint_16 Q = BRTV_QUERY | BRTV_ALL;

#define E(tok, rec, field, conv) {BRT_##tok, nullptr, offsetof(rec, field), QS, conv, 0, 0}
#define C(tok, rec, field) E(tok, rec, field, BRTV_CONV_COPY)

br_tv_template_entry matrix_entries[] = {
    E(MODEL_TO_VIEW_M34_F, PartMatrix, model_to_view, BRTV_CONV_DIRECT_M34),
    C(MODEL_TO_VIEW_HINT_T, PartMatrix, model_to_view_hint),
    E(VIEW_TO_SCREEN_M4_F, PartMatrix, view_to_screen, BRTV_CONV_DIRECT_M4),
    C(VIEW_TO_SCREEN_HINT_T, PartMatrix, view_to_screen_hint),
    E(VIEW_TO_ENVIRONMENT_M34_F, PartMatrix, view_to_environment, BRTV_CONV_DIRECT_M34),
    C(VIEW_TO_ENVIRONMENT_HINT_T, PartMatrix, view_to_environment_hint),
};

br_tv_template_entry output_entries[] = {
    C(COLOUR_BUFFER_O, PartOutput, colour),
    C(DEPTH_BUFFER_O, PartOutput, depth),
};

br_tv_template_entry hidden_entries[] = {
    C(TYPE_T, PartHidden, type),
    C(V1ORDER_TABLE_P, PartHidden, order_table),
    C(V1PRIMITIVE_HEAP_P, PartHidden, heap),
    C(V1INSERT_FUNCTION_P, PartHidden, insert_function),
    C(V1INSERT_ARG1_P, PartHidden, insert_arg1),
    C(V1INSERT_ARG2_P, PartHidden, insert_arg2),
    C(V1INSERT_ARG3_P, PartHidden, insert_arg3),
};

br_tv_template_entry enable_entries[] = {
    C(BOUNDS_B, PartEnable, bounds),
};

br_tv_template_entry bounds_entries[] = {
    E(MIN_V2_F, PartBounds, min, BRTV_CONV_DIRECT_V2),
    E(MAX_V2_F, PartBounds, max, BRTV_CONV_DIRECT_V2),
};

br_tv_template_entry light_entries[] = {
    C(TYPE_T, PartLight, type),
    C(SPACE_T, PartLight, space),
    C(COLOUR_RGB, PartLight, colour),
    C(ATTENUATION_C_F, PartLight, att_c),
    C(ATTENUATION_L_F, PartLight, att_l),
    C(ATTENUATION_Q_F, PartLight, att_q),
    E(POSITION_V3_F, PartLight, position, BRTV_CONV_DIRECT_V3),
    E(DIRECTION_V3_F, PartLight, direction, BRTV_CONV_DIRECT_V3),
    C(SPOT_OUTER_F, PartLight, spot_outer),
    C(SPOT_INNER_F, PartLight, spot_inner),
};

br_tv_template_entry clip_entries[] = {
    C(TYPE_T, PartClip, type),
    E(PLANE_V4_F, PartClip, plane, BRTV_CONV_DIRECT_V4),
};

br_tv_template_entry surface_entries[] = {
    E(MAP_MATRIX_M23_F, PartSurface, map_matrix, BRTV_CONV_DIRECT_M23),
    C(COLOUR_RGB, PartSurface, colour),
    C(OPACITY_F, PartSurface, opacity),
    C(AMBIENT_F, PartSurface, ambient),
    C(DIFFUSE_F, PartSurface, diffuse),
    C(SPECULAR_F, PartSurface, specular),
    C(SPECULAR_POWER_F, PartSurface, power),
    C(LIGHTING_B, PartSurface, lighting),
    C(FORCE_FRONT_B, PartSurface, force_front),
    C(COLOUR_SOURCE_T, PartSurface, colour_source),
    C(MAPPING_SOURCE_T, PartSurface, mapping_source),
};

br_tv_template_entry prim_entries[] = {
    C(COLOUR_RGB, PartPrimitive, colour),
    C(OPACITY_F, PartPrimitive, opacity),
    C(MODULATE_B, PartPrimitive, modulate),
    C(BLEND_B, PartPrimitive, blend),
    C(SMOOTH_B, PartPrimitive, smooth),
    C(PERSPECTIVE_B, PartPrimitive, perspective),
    C(PERSPECTIVE_T, PartPrimitive, perspective_type),
    C(SUBDIVIDE_TOLERANCE_I32, PartPrimitive, subdivide_tolerance),
    C(DECAL_B, PartPrimitive, decal),
    C(DITHER_MAP_B, PartPrimitive, dither_map),
    C(DITHER_COLOUR_B, PartPrimitive, dither_colour),
    C(INDEX_BASE_I32, PartPrimitive, index_base),
    C(INDEX_RANGE_I32, PartPrimitive, index_range),
    C(MAP_ANTIALIASING_T, PartPrimitive, map_antialiasing),
    C(MAP_INTERPOLATION_T, PartPrimitive, map_interpolation),
    C(MIP_INTERPOLATION_T, PartPrimitive, mip_interpolation),
    C(FOG_T, PartPrimitive, fog),
    C(FOG_MIN_F, PartPrimitive, fog_min),
    C(FOG_MAX_F, PartPrimitive, fog_max),
    C(FOG_RGB, PartPrimitive, fog_colour),
    C(COLOUR_MAP_O, PartPrimitive, colour_map),
    C(INDEX_SHADE_O, PartPrimitive, index_shade),
    C(INDEX_BLEND_O, PartPrimitive, index_blend),
    C(INDEX_FOG_O, PartPrimitive, index_fog),
    C(SCREEN_DOOR_O, PartPrimitive, screen_door),
};

br_tv_template_entry cull_entries[] = {
    C(TYPE_T, PartCull, type),
};

#undef C
#undef E

template <size_t N>
br_tv_template *make(void *res, br_tv_template_entry (&e)[N])
{
    return BrTVTemplateAllocate(res, e, (int)N);
}

void identity34(float m[4][3])
{
    std::memset(m, 0, sizeof(float) * 12);
    m[0][0] = m[1][1] = m[2][2] = 1.0f;
}

Mat34 to34(const float m[4][3])
{
    Mat34 r;
    std::memcpy(r.m, m, sizeof r.m);
    return r;
}

} // namespace

PartTemplates::PartTemplates(void *res)
{
    matrix = make(res, matrix_entries);
    output = make(res, output_entries);
    hidden = make(res, hidden_entries);
    enable = make(res, enable_entries);
    bounds = make(res, bounds_entries);
    light = make(res, light_entries);
    clip = make(res, clip_entries);
    surface = make(res, surface_entries);
    prim = make(res, prim_entries);
    cull = make(res, cull_entries);
}

PartTemplates::~PartTemplates()
{
    for (br_tv_template *t : {matrix, output, hidden, enable, bounds, light, clip, surface, prim, cull})
        BrTVTemplateFree(t);
}

void state_copy(State &dst, const State &src, br_uint_32 mask)
{
    if (mask & MASK_CULL)
        dst.cull = src.cull;
    if (mask & MASK_MODEL_TO_VIEW) {
        std::memcpy(dst.matrix.model_to_view, src.matrix.model_to_view, sizeof dst.matrix.model_to_view);
        dst.matrix.model_to_view_hint = src.matrix.model_to_view_hint;
    }
    if (mask & MASK_VIEW) {
        std::memcpy(dst.matrix.view_to_screen, src.matrix.view_to_screen, sizeof dst.matrix.view_to_screen);
        dst.matrix.view_to_screen_hint = src.matrix.view_to_screen_hint;
        std::memcpy(dst.matrix.view_to_environment, src.matrix.view_to_environment,
                    sizeof dst.matrix.view_to_environment);
        dst.matrix.view_to_environment_hint = src.matrix.view_to_environment_hint;
    }
    if (mask & MASK_ENABLE)
        dst.enable = src.enable;
    if (mask & MASK_LIGHT)
        std::memcpy(dst.light, src.light, sizeof dst.light);
    if (mask & MASK_CLIP)
        std::memcpy(dst.clip, src.clip, sizeof dst.clip);
    if (mask & MASK_BOUNDS)
        dst.bounds = src.bounds;
    if (mask & MASK_SURFACE)
        dst.surface = src.surface;
    if (mask & MASK_PRIMITIVE)
        dst.prim = src.prim;
    if (mask & MASK_OUTPUT)
        dst.output = src.output;
    if (mask & MASK_HIDDEN_SURFACE)
        dst.hidden = src.hidden;
}

void state_default(State &s, br_uint_32 mask)
{
    static const State defaults = [] {
        State d;
        std::memset(&d, 0, sizeof d);
        d.cull.type = BRT_ONE_SIDED;
        identity34(d.matrix.model_to_view);
        d.matrix.model_to_view_hint = BRT_NONE;
        for (int i = 0; i < 4; ++i)
            d.matrix.view_to_screen[i][i] = 1.0f;
        d.matrix.view_to_screen_hint = BRT_NONE;
        identity34(d.matrix.view_to_environment);
        d.matrix.view_to_environment_hint = BRT_DONT_CARE;
        for (PartLight &l : d.light) {
            l.type = BRT_NONE;
            l.space = BRT_VIEW;
            l.att_c = 1.0f;
            l.direction[2] = 1.0f;
        }
        for (PartClip &c : d.clip)
            c.type = BRT_NONE;
        d.bounds.min[0] = d.bounds.min[1] = INFINITY;
        d.bounds.max[0] = d.bounds.max[1] = -INFINITY;
        d.surface.map_matrix[0][0] = d.surface.map_matrix[1][1] = 1.0f;
        d.surface.colour = 0xffffff;
        d.surface.opacity = 1.0f;
        d.surface.ambient = 0.0f;
        d.surface.diffuse = 1.0f;
        d.surface.specular = 0.0f;
        d.surface.power = 20.0f;
        d.surface.lighting = 0;
        d.surface.colour_source = BRT_SURFACE;
        d.surface.mapping_source = BRT_GEOMETRY_MAP;
        d.prim.colour = 0xffffff;
        d.prim.opacity = 1.0f;
        d.prim.perspective_type = BRT_NONE;
        d.prim.map_antialiasing = d.prim.map_interpolation = d.prim.mip_interpolation = BRT_NONE;
        d.prim.fog = BRT_NONE;
        d.hidden.type = BRT_NONE;
        return d;
    }();
    state_copy(s, defaults, mask);
}

StateMachine::StateMachine(void *res) : tpl_(res)
{
    std::memset(&cur, 0, sizeof cur);
    state_default(cur, MASK_ALL);
}

br_error StateMachine::locate(br_token part, br_int_32 index, void *&block, br_tv_template *&tpl)
{
    auto one = [&](void *b, br_tv_template *t) {
        if (index != 0)
            return (br_error)BRE_FAIL;
        block = b;
        tpl = t;
        return (br_error)BRE_OK;
    };
    switch (part) {
    case BRT_MATRIX:
        return one(&cur.matrix, tpl_.matrix);
    case BRT_OUTPUT:
        return one(&cur.output, tpl_.output);
    case BRT_HIDDEN_SURFACE:
        return one(&cur.hidden, tpl_.hidden);
    case BRT_ENABLE:
        return one(&cur.enable, tpl_.enable);
    case BRT_BOUNDS:
        return one(&cur.bounds, tpl_.bounds);
    case BRT_SURFACE:
        return one(&cur.surface, tpl_.surface);
    case BRT_PRIMITIVE:
        return one(&cur.prim, tpl_.prim);
    case BRT_CULL:
        return one(&cur.cull, tpl_.cull);
    case BRT_LIGHT:
        if (index < 0 || index >= MAX_LIGHTS)
            return BRE_FAIL;
        block = &cur.light[index];
        tpl = tpl_.light;
        return BRE_OK;
    case BRT_CLIP:
        if (index < 0 || index >= MAX_CLIP_PLANES)
            return BRE_FAIL;
        block = &cur.clip[index];
        tpl = tpl_.clip;
        return BRE_OK;
    default:
        return BRE_FAIL;
    }
}

br_error StateMachine::partSet(br_token part, br_int_32 index, br_token t, br_value value)
{
    // The database sets the model-to-view hint at every transformed actor: no template walk for it.
    if (part == BRT_MATRIX && index == 0 && t == BRT_MODEL_TO_VIEW_HINT_T) {
        cur.matrix.model_to_view_hint = value.t;
        return BRE_OK;
    }
    void *block;
    br_tv_template *tpl;
    br_error r = locate(part, index, block, tpl);
    if (r != BRE_OK)
        return r;
    br_uint_32 changed = 0;
    return BrTokenValueSet(block, &changed, t, value, tpl);
}

br_error StateMachine::partSetMany(br_token part, br_int_32 index, br_token_value *tv, br_int_32 *pcount)
{
    void *block;
    br_tv_template *tpl;
    br_error r = locate(part, index, block, tpl);
    if (r != BRE_OK)
        return r;
    br_uint_32 changed = 0;
    br_int_32 count = 0;
    r = BrTokenValueSetMany(block, &count, &changed, tv, tpl);
    if (pcount)
        *pcount = count;
    return r;
}

br_error StateMachine::partQuery(br_token part, br_int_32 index, br_value *pvalue, void *buffer, br_size_t size,
                                 br_token t)
{
    void *block;
    br_tv_template *tpl;
    br_error r = locate(part, index, block, tpl);
    if (r != BRE_OK)
        return r;
    return BrTokenValueQuery(pvalue, buffer, size, t, block, tpl);
}

br_error StateMachine::partQueryBuffer(br_token part, br_int_32 index, br_token_value *tv, void *buffer,
                                       br_size_t size)
{
    void *block;
    br_tv_template *tpl;
    br_error r = locate(part, index, block, tpl);
    if (r != BRE_OK)
        return r;
    br_int_32 count = 0;
    return BrTokenValueQueryMany(tv, buffer, size, &count, block, tpl);
}

br_error StateMachine::modelMul(const float m[4][3])
{
    Mat34 r = mul34(to34(m), to34(cur.matrix.model_to_view));
    std::memcpy(cur.matrix.model_to_view, r.m, sizeof r.m);
    return BRE_OK;
}

br_error StateMachine::modelInvert()
{
    Mat34 in = to34(cur.matrix.model_to_view), out;
    if (cur.matrix.model_to_view_hint == BRT_LENGTH_PRESERVING) {
        out = invert34_lp(in);
    } else if (!invert34(out, in)) {
        return BRE_FAIL;
    }
    std::memcpy(cur.matrix.model_to_view, out.m, sizeof out.m);
    return BRE_OK;
}

br_error StateMachine::push(br_uint_32 mask)
{
    // Entries are kept for the next push: only the pushed parts are copied.
    if (depth_ == stack_.size())
        stack_.emplace_back(Stored{cur, mask});
    Stored &st = stack_[depth_++];
    state_copy(st.s, cur, mask);
    st.mask = mask;
    return BRE_OK;
}

br_error StateMachine::pop(br_uint_32 mask)
{
    if (depth_ == 0)
        return BRE_FAIL;
    // Only what was pushed comes back.
    const Stored &st = stack_[--depth_];
    state_copy(cur, st.s, mask & st.mask);
    return BRE_OK;
}

SR_AVX2_CLONES br_token StateMachine::boundsTest(const float min[3], const float max[3]) const
{
    Mat4 v2s;
    std::memcpy(v2s.m, cur.matrix.view_to_screen, sizeof v2s.m);
    Mat4 m = mul34_4(to34(cur.matrix.model_to_view), v2s);
    const float *planes[MAX_CLIP_PLANES];
    int shift[MAX_CLIP_PLANES], nplanes = 0;
    for (int i = 0; i < MAX_CLIP_PLANES; ++i)
        if (cur.clip[i].type == BRT_PLANE) {
            planes[nplanes] = cur.clip[i].plane;
            shift[nplanes++] = i;
        }
    // A corner's clip position, a lane a column, summed left to right as row by row: the products
    // of each axis's two ends are made once, and the masks of the eight corners gathered before the
    // out codes are put together (an and and an or of bits commute with moving them).
    const __m128 r0 = _mm_loadu_ps(m.m[0]), r1 = _mm_loadu_ps(m.m[1]), r2 = _mm_loadu_ps(m.m[2]),
                 r3 = _mm_loadu_ps(m.m[3]), sign = _mm_set1_ps(-0.0f);
    const __m128 xs[2] = {_mm_mul_ps(_mm_set1_ps(min[0]), r0), _mm_mul_ps(_mm_set1_ps(max[0]), r0)};
    const __m128 ys[2] = {_mm_mul_ps(_mm_set1_ps(min[1]), r1), _mm_mul_ps(_mm_set1_ps(max[1]), r1)};
    const __m128 zs[2] = {_mm_mul_ps(_mm_set1_ps(min[2]), r2), _mm_mul_ps(_mm_set1_ps(max[2]), r2)};
    __m128 lo_all = _mm_castsi128_ps(_mm_set1_epi32(-1)), hi_all = lo_all, lo_any = _mm_setzero_ps(), hi_any = lo_any;
    br_uint_32 user_all = ~0u, user_any = 0;
    for (int k = 0; k < 8; ++k) {
        const __m128 v = _mm_add_ps(_mm_add_ps(_mm_add_ps(xs[k & 1], ys[(k >> 1) & 1]), zs[k >> 2]), r3);
        const __m128 w = _mm_shuffle_ps(v, v, 0xff);
        // x, y, z < -w and >= w
        const __m128 lo = _mm_cmplt_ps(v, _mm_xor_ps(w, sign)), hi = _mm_cmpge_ps(v, w);
        lo_all = _mm_and_ps(lo_all, lo);
        hi_all = _mm_and_ps(hi_all, hi);
        lo_any = _mm_or_ps(lo_any, lo);
        hi_any = _mm_or_ps(hi_any, hi);
        if (nplanes) {
            alignas(16) float c[4];
            _mm_store_ps(c, v);
            br_uint_32 out = 0;
            for (int i = 0; i < nplanes; ++i) {
                const float *pl = planes[i];
                if (c[0] * pl[0] + c[1] * pl[1] + c[2] * pl[2] + c[3] * pl[3] < 0.0f)
                    out |= 0x40u << shift[i];
            }
            user_all &= out;
            user_any |= out;
        }
    }
    auto code = [](__m128 l, __m128 h) {
        const br_uint_32 lo = (br_uint_32)_mm_movemask_ps(l), hi = (br_uint_32)_mm_movemask_ps(h);
        return (lo & 1u) | (hi & 1u) << 1 | (hi & 2u) << 1 | (lo & 2u) << 2 | (hi & 4u) << 2 | (lo & 4u) << 3;
    };
    const br_uint_32 all = code(lo_all, hi_all) | (nplanes ? user_all : 0u);
    const br_uint_32 any = code(lo_any, hi_any) | user_any;
    if (all)
        return BRT_REJECT;
    return any ? BRT_PARTIAL : BRT_ACCEPT;
}

Setup StateMachine::setup(const Target &t) const
{
    Setup s;
    fill_setup(s, t);
    return s;
}

void StateMachine::fill_setup(Setup &s, const Target &t, bool lights) const
{
    s.target = t;
    s.model_to_view = to34(cur.matrix.model_to_view);
    s.model_to_view_lp = cur.matrix.model_to_view_hint == BRT_LENGTH_PRESERVING;
    std::memcpy(s.view_to_screen.m, cur.matrix.view_to_screen, sizeof s.view_to_screen.m);
    s.parallel = cur.matrix.view_to_screen_hint == BRT_PARALLEL;
    for (int i = 0; i < MAX_LIGHTS && lights; ++i) {
        const PartLight &p = cur.light[i];
        Light &l = s.lights[i];
        l.type = p.type == BRT_POINT    ? LightType::Point
                 : p.type == BRT_DIRECT ? LightType::Direct
                 : p.type == BRT_SPOT   ? LightType::Spot
                                        : LightType::None;
        if (l.type == LightType::None)
            continue; // nothing reads an unused light
        l.colour = p.colour;
        l.att_c = p.att_c;
        l.att_l = p.att_l;
        l.att_q = p.att_q;
        l.position = {p.position[0], p.position[1], p.position[2]};
        l.direction = {p.direction[0], p.direction[1], p.direction[2]};
        l.spot_outer = p.spot_outer;
        l.spot_inner = p.spot_inner;
    }
    for (int i = 0; i < MAX_CLIP_PLANES; ++i) {
        s.clip[i].enabled = cur.clip[i].type == BRT_PLANE;
        std::memcpy(s.clip[i].plane, cur.clip[i].plane, sizeof s.clip[i].plane);
    }
    s.colour = cur.surface.colour;
    s.ka = cur.surface.ambient;
    s.kd = cur.surface.diffuse;
    s.ks = cur.surface.specular;
    s.power = cur.surface.power;
    s.colour_from_geometry = cur.surface.colour_source == BRT_GEOMETRY;
    s.lighting = cur.surface.lighting && !s.colour_from_geometry;
    s.force_front = cur.surface.force_front != 0;
    s.smooth = cur.prim.smooth != 0;
    s.cull = cur.cull.type == BRT_TWO_SIDED ? CullType::TwoSided
             : cur.cull.type == BRT_NONE    ? CullType::None
                                            : CullType::OneSided;
    s.bounds_enabled = cur.enable.bounds != 0;

    std::memcpy(s.map, cur.surface.map_matrix, sizeof s.map);
    Paint &p = s.paint;
    p = Paint{};
    p.textured = cur.prim.colour_map && texture_of && texture_of(cur.prim.colour_map, p.texture);
    p.modulate = cur.prim.modulate != 0;
    p.decal = cur.prim.decal != 0;
    p.bilinear = cur.prim.map_interpolation == BRT_LINEAR;
    p.blend = cur.prim.blend != 0;
    s.sink = nullptr;
}

void prim_forget(PartPrimitive &p, const void *buffer)
{
    for (void **slot : {&p.colour_map, &p.index_shade, &p.index_blend, &p.index_fog, &p.screen_door})
        if (*slot == buffer)
            *slot = nullptr;
}

void StateMachine::forget(const void *buffer)
{
    prim_forget(cur.prim, buffer);
    for (Stored &st : stack_)
        prim_forget(st.s.prim, buffer);
}

void StateMachine::save(Stored &st, br_uint_32 mask) const
{
    state_copy(st.s, cur, mask);
    st.mask |= mask;
}

void StateMachine::restore(const Stored &st, br_uint_32 mask)
{
    state_copy(cur, st.s, mask & st.mask);
}

void StateMachine::draw(const Target &t, const Group &g, const Stored *group_state, Primitive p, Scratch &scratch,
                        Sink *sink)
{
    // The group's own state holds material parts only; the bounds part keeps growing across groups.
    br_uint_32 load = group_state ? group_state->mask & ~(br_uint_32)MASK_BOUNDS : 0;
    // The parts the group's state covers are kept aside, one record per draw under way (a z-sort
    // callback may draw again), made once.
    if (draws_ == keeps_.size())
        keeps_.push_back(std::make_unique<DrawSlot>());
    DrawSlot &slot = *keeps_[draws_++];
    State &keep = slot.keep;
    if (load) {
        state_copy(keep, cur, load);
        state_copy(cur, group_state->s, load);
    }
    Setup &s = slot.setup;
    // Only the lights in use count: an unused one is read for its type alone. Lights left alone
    // from model to model are the same bytes: one compare of them all answers most draws.
    bool relight = !slot.lit_valid;
    const bool same = !relight && std::memcmp(slot.lit_by, cur.light, sizeof slot.lit_by) == 0;
    for (int i = 0; i < MAX_LIGHTS && !relight && !same; ++i) {
        const PartLight &was = slot.lit_by[i], &now = cur.light[i];
        relight = was.type != now.type ||
                  ((now.type == BRT_POINT || now.type == BRT_DIRECT || now.type == BRT_SPOT) &&
                   std::memcmp(&was, &now, sizeof now) != 0);
    }
    fill_setup(s, t, relight);
    if (relight) {
        slot.lighting.set_lights(s);
        std::memcpy(slot.lit_by, cur.light, sizeof slot.lit_by);
        slot.lit_valid = true;
    }
    slot.lighting.set_surface(s);
    s.prepared = &slot.lighting;
    s.sink = sink;
    ScreenBounds b;
    std::memcpy(b.min, cur.bounds.min, sizeof b.min);
    std::memcpy(b.max, cur.bounds.max, sizeof b.max);
    Scratch &work = draws_ > 1 ? slot.scratch : scratch;
    render_group(s, g, p, work, s.bounds_enabled ? &b : nullptr);
    if (&work != &scratch) {
        scratch.pixels_tested += work.pixels_tested;
        work.pixels_tested = 0;
    }
    if (s.bounds_enabled) {
        std::memcpy(cur.bounds.min, b.min, sizeof b.min);
        std::memcpy(cur.bounds.max, b.max, sizeof b.max);
    }
    if (load)
        state_copy(cur, keep, load);
    --draws_;
}

} // namespace sr
