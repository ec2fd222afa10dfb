// Handing the enabled lights, clip planes and the environment to the renderer at scene begin.
#include <math.h>

#include "rend.h"

namespace brrend {

namespace {

br_value f32(br_scalar f)
{
    br_value v;
    v.raw = 0;
    v.f = f;
    return v;
}

br_value u32(br_uint_32 u)
{
    br_value v;
    v.raw = 0;
    v.u32 = u;
    return v;
}

br_value ptr(void *p)
{
    br_value v;
    v.p = p;
    return v;
}

void switch_off(br_token part, br_int_32 from, br_int_32 to)
{
    for (br_int_32 i = from; i < to; i++) {
        br_token_value tv[] = {{BRT_TYPE_T, u32(BRT_NONE)}, {0, {}}};
        br_int_32 n = 0;
        R()->dispatch->_partSetMany(R(), part, i, tv, &n);
    }
}

// False when a general matrix has no inverse (dst is then left as it was).
bool inverse(br_matrix34 *dst, const br_matrix34 *src, br_uint_16 type)
{
    if (type == BR_TRANSFORM_MATRIX34)
        return BrMatrix34Inverse(dst, src) != 0.0f;
    BrMatrix34LPInverse(dst, src);
    return true;
}

void lights_set(br_actor *world, const br_matrix34 *w2v, br_uint_16 view_type)
{
    br_v1db_enable &e = v1db.enabled_lights;
    br_int_32 n = 0;
    for (int s = 0; e.enabled != nullptr && s < e.max; s++) {
        br_actor *a = e.enabled[s];
        if (a == nullptr || a->type_data == nullptr)
            continue;
        const br_light *light = (const br_light *)a->type_data;
        if ((light->type & BR_LIGHT_TYPE) == 3)
            continue;
        br_matrix34 m, l, v;
        br_uint_16 type;
        if (!BrActorToRootMatrix34(a, world, &m, &type))
            continue;
        BrMatrix34Mul(&l, &m, w2v);
        // A direct or spot light squashed flat has no direction: it is left out (and takes no
        // index). A point light needs only its position.
        bool has_inverse = inverse(&v, &l, BrTransformTypeCombine(type, view_type));
        if (!has_inverse && (light->type & BR_LIGHT_TYPE) != BR_LIGHT_POINT)
            continue;
        br_vector3 position = {{l.m[3][0], l.m[3][1], l.m[3][2]}};
        br_vector3 direction = {{v.m[0][2], v.m[1][2], v.m[2][2]}};

        br_token_value tv[12];
        int k = 0;
        tv[k++] = {BRT_COLOUR_RGB, u32(light->colour)};
        tv[k++] = {BRT_ATTENUATION_C_F, f32(light->attenuation_c)};
        tv[k++] = {BRT_ATTENUATION_L_F, f32(light->attenuation_l)};
        tv[k++] = {BRT_ATTENUATION_Q_F, f32(light->attenuation_q)};
        tv[k++] = {BRT_SPACE_T, u32((light->type & BR_LIGHT_VIEW) ? BRT_VIEW : BRT_MODEL)};
        switch (light->type & BR_LIGHT_TYPE) {
        case BR_LIGHT_POINT:
            tv[k++] = {BRT_TYPE_T, u32(BRT_POINT)};
            tv[k++] = {BRT_POSITION_V3_F, ptr(&position)};
            break;
        case BR_LIGHT_DIRECT:
            tv[k++] = {BRT_TYPE_T, u32(BRT_DIRECT)};
            tv[k++] = {BRT_DIRECTION_V3_F, ptr(&direction)};
            break;
        default:
            tv[k++] = {BRT_TYPE_T, u32(BRT_SPOT)};
            tv[k++] = {BRT_POSITION_V3_F, ptr(&position)};
            tv[k++] = {BRT_DIRECTION_V3_F, ptr(&direction)};
            tv[k++] = {BRT_SPOT_OUTER_F, f32(cosf((br_scalar)light->cone_outer * 9.587379924285257e-05f))};
            tv[k++] = {BRT_SPOT_INNER_F, f32(cosf((br_scalar)light->cone_inner * 9.587379924285257e-05f))};
            break;
        }
        tv[k] = {0, {}};
        br_int_32 count = 0;
        R()->dispatch->_partSetMany(R(), BRT_LIGHT, n, tv, &count);
        n++;
    }
    switch_off(BRT_LIGHT, n, v1db.lights_sent);
    v1db.lights_sent = n;
}

void clip_planes_set(br_actor *world, const br_matrix34 *w2v, const br_matrix4 *v2s)
{
    br_v1db_enable &e = v1db.enabled_clip_planes;
    if (e.enabled == nullptr)
        return;
    br_int_32 n = 0;
    br_matrix4 s_inv;
    // Without an inverse view-to-screen matrix no plane can be placed: none is sent.
    bool screen_ok = e.count > 0 && BrMatrix4Inverse(&s_inv, v2s) != 0.0f;
    for (int s = 0; screen_ok && s < e.max; s++) {
        br_actor *a = e.enabled[s];
        if (a == nullptr || a->type_data == nullptr)
            continue;
        br_matrix34 m, p, p_inv;
        br_uint_16 type;
        if (!BrActorToRootMatrix34(a, world, &m, &type))
            continue;
        BrMatrix34Mul(&p, &m, w2v);
        // A plane actor squashed flat has no inverse: that plane is left out (and takes no index).
        if (BrMatrix34Inverse(&p_inv, &p) == 0.0f)
            continue;
        br_matrix4 p4, a_inv;
        BrMatrix4Copy34(&p4, &p_inv);
        BrMatrix4Mul(&a_inv, &s_inv, &p4);
        br_vector4 plane;
        BrMatrix4TApply(&plane, &((br_plane *)a->type_data)->eqn, &a_inv);
        br_token_value tv[] = {{BRT_TYPE_T, u32(BRT_PLANE)}, {BRT_PLANE_V4_F, ptr(&plane)}, {0, {}}};
        br_int_32 count = 0;
        R()->dispatch->_partSetMany(R(), BRT_CLIP, n, tv, &count);
        n++;
    }
    switch_off(BRT_CLIP, n, v1db.clip_planes_sent);
    v1db.clip_planes_sent = n;
}

void environment_set(br_actor *world, const br_matrix34 *w2v, br_uint_16 view_type)
{
    br_actor *env = v1db.enabled_environment;
    br_token hint = BRT_DONT_CARE;
    br_matrix34 m;
    // An environment whose matrix has no inverse is left out, as one outside the world is.
    if (env == world) {
        if (inverse(&m, w2v, view_type))
            hint = BRT_NONE;
    } else if (env != nullptr) {
        br_matrix34 e2w, e2v;
        br_uint_16 type;
        if (BrActorToRootMatrix34(env, world, &e2w, &type)) {
            BrMatrix34Mul(&e2v, &e2w, w2v);
            if (inverse(&m, &e2v, BrTransformTypeCombine(type, view_type)))
                hint = BRT_NONE;
        }
    }
    if (hint == BRT_NONE)
        set(BRT_MATRIX, 0, BRT_VIEW_TO_ENVIRONMENT_M34_F, ptr(&m));
    set(BRT_MATRIX, 0, BRT_VIEW_TO_ENVIRONMENT_HINT_T, u32(hint));
}

} // namespace

void lights_planes_set(br_actor *world, const br_matrix34 *w2v, br_uint_16 view_type, const br_matrix4 *v2s)
{
    lights_set(world, w2v, view_type);
    clip_planes_set(world, w2v, v2s);
    environment_set(world, w2v, view_type);
}

} // namespace brrend
