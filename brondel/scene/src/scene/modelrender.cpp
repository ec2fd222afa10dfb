// Drawing one model: the custom callback, the render styles and the render-bounds callback.
#include <math.h>
#include <string.h>

#include "rend.h"

namespace brrend {
void zs_model_prepare(br_model *model, br_order_table *ot);
}

using namespace brrend;

namespace {

// The box of styles 5 to 7: one group of 8 corners and 12 triangles, two per side, whose positions
// and plane distances are set from the model's bounds before each use.
const br_uint_16 box_faces[12][3] = {{0, 1, 2}, {0, 2, 3}, {0, 4, 5}, {0, 5, 1}, {1, 5, 6}, {1, 6, 2},
                                     {2, 6, 7}, {2, 7, 3}, {3, 7, 4}, {3, 4, 0}, {4, 7, 6}, {4, 6, 5}};
const float box_signs[8][3] = {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1},
                               {-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}};

struct bounds_model {
    br_prepared_model block;
    br_prepared_group group;
    br_prepared_face faces[12];
    br_prepared_vertex vertices[8];
    br_uint_32 colours[12];
    br_uint_16 users[12];
    br_model model;
} box;

void box_init(void)
{
    static bool done = false;
    if (done)
        return;
    done = true;
    box.model.identifier = (char *)"Bounds";
    box.model.prepared = &box.block;
    box.model.flags = BR_MODF_GIVEN_BOUNDS;
    box.block.size = sizeof(box);
    box.block.ngroups = 1;
    box.block.groups = &box.group;
    box.group.faces = box.faces;
    box.group.vertices = box.vertices;
    box.group.face_colours = box.colours;
    box.group.vertex_colours = box.colours;
    box.group.face_user = box.users;
    box.group.vertex_user = box.users;
    box.group.nfaces = 12;
    box.group.nvertices = 8;
    // As on the default cube, the diagonal of each side is hidden: the last edge of its first
    // triangle and the first edge of its second. The twelve outline edges are numbered once
    // each, whichever two sides share them, so edge styles draw each of them once.
    br_uint_16 pair_from[12], pair_to[12];
    br_uint_16 edges = 0;
    for (int f = 0; f < 12; f++) {
        const int hidden = (f % 2) ? 0 : 2;
        for (int c = 0; c < 3; c++)
            box.faces[f].vertices[c] = box_faces[f][c];
        for (int e = 0; e < 3; e++) {
            br_uint_16 a = box_faces[f][e], b = box_faces[f][(e + 1) % 3];
            br_uint_16 number = 0;
            for (br_uint_16 k = 0; e != hidden && k < edges && number == 0; k++)
                if ((pair_from[k] == a && pair_to[k] == b) || (pair_from[k] == b && pair_to[k] == a))
                    number = (br_uint_16)(k + 1);
            if (e != hidden && number == 0) {
                pair_from[edges] = a;
                pair_to[edges] = b;
                number = ++edges;
            }
            box.faces[f].edges[e] = number;
        }
        box.users[f] = (br_uint_16)f;
    }
    box.group.nedges = (br_uint_16)(edges + 1);
}

void box_set(const br_bounds3 *b)
{
    box_init();
    for (int i = 0; i < 8; i++) {
        for (int k = 0; k < 3; k++)
            box.vertices[i].p.v[k] = box_signs[i][k] < 0 ? b->min.v[k] : b->max.v[k];
        box.vertices[i].map = {{0, 0}};
        float n = sqrtf(3.0f);
        for (int k = 0; k < 3; k++)
            box.vertices[i].n.v[k] = box_signs[i][k] / n;
    }
    // Sides in face-pair order: +z, -y, +x, +y, -x, -z.
    static const int axis[6] = {2, 1, 0, 1, 0, 2};
    static const float sign[6] = {1, -1, 1, 1, -1, -1};
    for (int s = 0; s < 6; s++) {
        for (int t = 0; t < 2; t++) {
            br_prepared_face &f = box.faces[s * 2 + t];
            f.n = {{0, 0, 0}};
            f.n.v[axis[s]] = sign[s];
            f.d = sign[s] > 0 ? b->max.v[axis[s]] : -b->min.v[axis[s]];
        }
    }
    box.model.bounds = *b;
}

br_error draw_faces(br_model *model, int on_screen)
{
    if (model->stored != nullptr) {
        return on_screen == BRT_ACCEPT ? model->stored->dispatch->_renderOnScreen(model->stored, R())
                                       : model->stored->dispatch->_render(model->stored, R());
    }
    return BRE_OK;
}

br_error draw_prepared(br_model *model, br_material *material, int on_screen, br_token type)
{
    if (model->prepared == nullptr || v1db.format_model == nullptr)
        return BRE_OK;
    br_geometry_v1_model *gf = (br_geometry_v1_model *)v1db.format_model;
    br_renderer_state_stored *state = material != nullptr ? material->stored : nullptr;
    return on_screen == BRT_ACCEPT ? gf->dispatch->_renderOnScreen(gf, R(), model->prepared, state, type)
                                   : gf->dispatch->_render(gf, R(), model->prepared, state, type);
}

br_uint_32 style_draw(br_model *model, br_material *material, br_uint_8 style, int on_screen)
{
    switch (style) {
    case BR_RSTYLE_NONE:
        return 0;
    case BR_RSTYLE_POINTS:
        return draw_prepared(model, material, on_screen, BRT_POINT);
    case BR_RSTYLE_EDGES:
        return draw_prepared(model, material, on_screen, BRT_LINE);
    case BR_RSTYLE_BOUNDING_POINTS:
    case BR_RSTYLE_BOUNDING_EDGES:
    case BR_RSTYLE_BOUNDING_FACES: {
        box_set(&model->bounds);
        static const br_token types[3] = {BRT_POINT, BRT_LINE, BRT_TRIANGLE};
        return draw_prepared(&box.model, material, on_screen, types[style - BR_RSTYLE_BOUNDING_POINTS]);
    }
    default:
        if (model->stored != nullptr)
            return draw_faces(model, on_screen);
        return draw_prepared(model, material, on_screen, BRT_TRIANGLE);
    }
}

br_int_32 clamp(br_int_32 v, br_int_32 hi)
{
    if (v > hi)
        v = hi;
    return v < 0 ? 0 : v;
}

br_int_32 to_int(br_scalar f)
{
    // Bounds never drawn stay at +-infinity; keep them off the integer conversion.
    if (!(f > -1e9f))
        return -1000000000;
    if (!(f < 1e9f))
        return 1000000000;
    return (br_int_32)f;
}

} // namespace

namespace brrend {

const br_matrix4 *model_to_screen()
{
    if (!br_scene.m2s_cached) {
        br_matrix4 v2s;
        br_matrix34 m2v;
        query_floats(BRT_MATRIX, BRT_VIEW_TO_SCREEN_M4_F, &v2s, sizeof(v2s));
        query_floats(BRT_MATRIX, BRT_MODEL_TO_VIEW_M34_F, &m2v, sizeof(m2v));
        BrMatrix4Mul34(&br_scene.m2s, &m2v, &v2s);
        br_scene.m2s_cached = 1;
    }
    return &br_scene.m2s;
}

void model_to_screen_forget()
{
    br_scene.m2s_cached = 0;
}

} // namespace brrend

br_uint_32 BrDbModelRender(br_actor *actor, br_model *model, br_material *material, br_order_table *ot,
                           br_uint_8 style, int on_screen, int use_custom)
{
    if (model == nullptr || R() == nullptr)
        return 0;
    if (use_custom && (model->flags & BR_MODF_CUSTOM) && model->custom != nullptr)
        return model->custom(actor, model, material, ot, style, on_screen);
    if (model->prepared == nullptr && model->stored == nullptr)
        BrFailure("Tried to render un-prepared model %s", model->identifier ? model->identifier : "<NULL>");
    model_to_screen_forget();

    if (v1db.rendering == 2 && ot != nullptr) {
        zs_model_prepare(model, ot);
        set_pointer(BRT_HIDDEN_SURFACE, BRT_V1ORDER_TABLE_P, ot);
        // Sent even when null, so a callback taken away is no longer called.
        set_pointer(BRT_HIDDEN_SURFACE, BRT_V1INSERT_FUNCTION_P, (void *)v1db.primitive_callback);
        if (v1db.primitive_callback != nullptr) {
            set_pointer(BRT_HIDDEN_SURFACE, BRT_V1INSERT_ARG1_P, actor);
            set_pointer(BRT_HIDDEN_SURFACE, BRT_V1INSERT_ARG2_P, model);
            set_pointer(BRT_HIDDEN_SURFACE, BRT_V1INSERT_ARG3_P, material);
        }
    }

    if (v1db.bounds_callback == nullptr)
        return style_draw(model, material, (br_uint_8)(style & 0xff), on_screen);

    R()->dispatch->_stateDefault(R(), BR_STATE_BOUNDS);
    br_uint_32 r = style_draw(model, material, (br_uint_8)(style & 0xff), on_screen);
    // Left inverted (nothing drawn) unless the renderer answers.
    br_vector2 mm[2] = {{{1e30f, 1e30f}}, {{-1e30f, -1e30f}}};
    br_token_value tv[] = {{BRT_MIN_V2_F, {}}, {BRT_MAX_V2_F, {}}, {0, {}}};
    alignas(16) unsigned char extra[128];
    if (R()->dispatch->_partQueryBuffer(R(), BRT_BOUNDS, 0, tv, extra, sizeof(extra)) == BRE_OK) {
        if (tv[0].v.vf != nullptr)
            memcpy(&mm[0], tv[0].v.vf, sizeof(br_vector2));
        if (tv[1].v.vf != nullptr)
            memcpy(&mm[1], tv[1].v.vf, sizeof(br_vector2));
    }
    const br_pixelmap *cb = v1db.colour_buffer;
    br_int_32 w = cb != nullptr ? cb->width - 1 : 0, h = cb != nullptr ? cb->height - 1 : 0;
    br_int_32 b[4] = {clamp(to_int(mm[0].v[0]), w), clamp(to_int(mm[0].v[1]), h), clamp(to_int(mm[1].v[0]), w),
                      clamp(to_int(mm[1].v[1]), h)};
    if (cb != nullptr) {
        b[0] -= cb->origin_x;
        b[2] -= cb->origin_x;
        b[1] -= cb->origin_y;
        b[3] -= cb->origin_y;
    }
    // Nothing drawn: the renderer's rectangle stays inverted.
    if (!(mm[1].v[0] >= mm[0].v[0] && mm[1].v[1] >= mm[0].v[1]) || b[2] < b[0] || b[3] < b[1])
        return r;
    br_matrix4 m2s = *model_to_screen();
    return v1db.bounds_callback(actor, model, material, ot, style, &m2s, b);
}

br_uint_32 BrZbModelRender(br_actor *actor, br_model *model, br_material *material, br_uint_8 style, int on_screen,
                           int use_custom)
{
    return BrDbModelRender(actor, model, material, nullptr, style, on_screen, use_custom);
}

br_uint_32 BrZsModelRender(br_actor *actor, br_model *model, br_material *material, br_order_table *ot,
                           br_uint_8 style, int on_screen, int use_custom)
{
    return BrDbModelRender(actor, model, material, ot, style, on_screen, use_custom);
}

br_renderbounds_cbfn *BrDbSetRenderBoundsCallback(br_renderbounds_cbfn *callback)
{
    br_renderbounds_cbfn *old = v1db.bounds_callback;
    v1db.bounds_callback = callback;
    // A renderer started later is told at its start.
    if (R() != nullptr)
        set_bool(BRT_ENABLE, BRT_BOUNDS_B, callback != nullptr);
    return old;
}

br_renderbounds_cbfn *BrZbSetRenderBoundsCallback(br_renderbounds_cbfn *callback)
{
    if (!v1db.zb_active) {
        BrFailure("BrZbSetRenderBoundsCallback called before BrZbBegin");
        return nullptr;
    }
    return BrDbSetRenderBoundsCallback(callback);
}

br_renderbounds_cbfn *BrZsSetRenderBoundsCallback(br_renderbounds_cbfn *callback)
{
    if (!v1db.zs_active) {
        BrFailure("BrZsSetRenderBoundsCallback called before BrZsBegin");
        return nullptr;
    }
    return BrDbSetRenderBoundsCallback(callback);
}
