// Scene traversal and the z-buffer scene render.
#include <string.h>

#include "rend.h"

namespace brrend {

br_error query_floats(br_token part, br_token t, void *out, br_size_t size)
{
    alignas(16) unsigned char buffer[256];
    br_value v;
    v.raw = 0;
    br_error r = R()->dispatch->_partQuery(R(), part, 0, &v, buffer, sizeof(buffer), t);
    if (r == BRE_OK && v.vf != nullptr)
        memcpy(out, v.vf, size);
    return r;
}

void screen_mapping(const br_pixelmap *colour)
{
    br_int_32 hw = colour->width / 2, hh = colour->height / 2;
    if (hw == 0 || hh == 0)
        return;
    br_scene.origin_x = (br_scalar)(colour->origin_x - hw) / (br_scalar)hw;
    br_scene.origin_y = -(br_scalar)(colour->origin_y - hh) / (br_scalar)hh;
    br_scene.x_scale = (br_scalar)hw;
    br_scene.x_offset = (br_scalar)hw + (br_scalar)colour->base_x + 0.5f;
    br_scene.y_scale = -(br_scalar)hh;
    br_scene.y_offset = (br_scalar)hh + 0.5f;
}

br_boolean scene_begin(br_actor *w, br_actor *camera)
{
    // A camera whose type builds no matrix (type 2, an unknown type, no camera record) views
    // through identity: the render goes on with x, y and z in -1..1 on screen.
    br_matrix4 v2s;
    BrMatrix4Identity(&v2s);
    br_token hint = BrCameraToScreenMatrix4(&v2s, camera);
    set_pointer(BRT_MATRIX, BRT_VIEW_TO_SCREEN_M4_F, &v2s);
    set_token(BRT_MATRIX, BRT_VIEW_TO_SCREEN_HINT_T, hint);

    // Camera path: each level holds the matrix from the camera up to that level's actor.
    if (camera->depth >= BR_CAMERA_PATH_LEVELS) {
        BrFailure("camera is too deep in its hierarchy (%d levels, at most %d)", camera->depth,
                  BR_CAMERA_PATH_LEVELS - 1);
        return 0;
    }
    br_camera_path_level *path = br_scene.camera_path;
    int k = camera->depth;
    BrMatrix34Identity(&path[k].m);
    path[k].type = BR_TRANSFORM_IDENTITY;
    br_actor *a = camera;
    br_boolean in_world = camera == w;
    for (; !in_world && k > 0; k--) {
        path[k].a = a;
        br_matrix34 am;
        BrActorMatrix34(&am, a);
        BrMatrix34Mul(&path[k - 1].m, &path[k].m, &am);
        path[k - 1].type = BrTransformTypeCombine(path[k].type, a->t.type);
        a = a->parent;
        if (a == w)
            in_world = 1;
        else if (a == nullptr)
            break;
    }
    if (!in_world) {
        BrFailure("camera is not in world hierachy");
        return 0;
    }
    set_pointer(BRT_MATRIX, BRT_MODEL_TO_VIEW_M34_F, &path[k].m);
    br_uint_16 view_type = path[k].type;
    set_token(BRT_MATRIX, BRT_MODEL_TO_VIEW_HINT_T, view_type != 0 ? BRT_LENGTH_PRESERVING : BRT_NONE);
    br_scene.view_type = view_type;

    R()->dispatch->_modelInvert(R());
    br_matrix34 world_to_view;
    query_floats(BRT_MATRIX, BRT_MODEL_TO_VIEW_M34_F, &world_to_view, sizeof(world_to_view));
    lights_planes_set(w, &world_to_view, view_type, &v2s);
    return 1;
}

namespace {

void hint_set(br_uint_16 type)
{
    set_token(BRT_MATRIX, BRT_MODEL_TO_VIEW_HINT_T, type != 0 ? BRT_LENGTH_PRESERVING : BRT_NONE);
}

br_token bounds_test(br_bounds3 *b)
{
    br_token r = BRT_PARTIAL;
    R()->dispatch->_boundsTest(R(), &r, b);
    return r;
}

void traverse(br_actor *a, inherited in, br_uint_16 parent_type, br_boolean accepted);

void traverse_list(br_actor *first, const inherited &in, br_uint_16 type, br_boolean accepted)
{
    for (br_actor *c = first; c != nullptr; c = c->next)
        traverse(c, in, type, accepted);
}

void traverse(br_actor *a, inherited in, br_uint_16 parent_type, br_boolean accepted)
{
    if (!accepted && a->children == nullptr && a->type != BR_ACTOR_MODEL)
        return;
    if (a->render_style != BR_RSTYLE_DEFAULT)
        in.style = a->render_style;
    if (in.style == BR_RSTYLE_NONE)
        return;
    if (a->model != nullptr)
        in.model = a->model;
    if (a->material != nullptr)
        in.material = a->material;
    if (a->render_data != nullptr)
        in.order_table = a->render_data;

    br_uint_16 type = parent_type;
    br_boolean pushed = 0;
    if (a->t.type != BR_TRANSFORM_IDENTITY) {
        R()->dispatch->_statePush(R(), BR_STATE_MATRIX_MODEL_TO_VIEW);
        pushed = 1;
        br_matrix34 m;
        BrActorMatrix34(&m, a);
        R()->dispatch->_modelMul(R(), &m);
        type = BrTransformTypeCombine(parent_type, a->t.type);
        hint_set(type);
    }

    br_boolean children_accepted = accepted;
    br_boolean skip_children = 0;
    switch (a->type) {
    case BR_ACTOR_MODEL:
        if (in.model == nullptr)
            break;
        if (accepted) {
            BrDbModelRender(a, in.model, in.material, in.order_table, in.style, BRT_ACCEPT, 1);
        } else {
            br_token r = bounds_test(&in.model->bounds);
            if (r != BRT_REJECT)
                BrDbModelRender(a, in.model, in.material, in.order_table, in.style, (int)r, 1);
        }
        break;
    case BR_ACTOR_BOUNDS:
    case BR_ACTOR_BOUNDS_CORRECT:
        if (!accepted && a->type_data != nullptr) {
            br_token r = bounds_test((br_bounds3 *)a->type_data);
            if (r == BRT_REJECT)
                skip_children = 1;
            else if (r == BRT_ACCEPT && a->type == BR_ACTOR_BOUNDS_CORRECT)
                children_accepted = 1;
        }
        break;
    default:
        break;
    }

    if (!skip_children)
        traverse_list(a->children, in, type, children_accepted);
    if (pushed)
        R()->dispatch->_statePop(R(), BR_STATE_MATRIX_MODEL_TO_VIEW);
}

} // namespace

inherited start_values(br_actor *w)
{
    inherited in;
    in.model = w->model != nullptr ? w->model : v1db.default_model;
    in.material = w->material != nullptr ? w->material : v1db.default_material;
    in.order_table = w->render_data != nullptr ? w->render_data : v1db.current_order_table;
    in.style = w->render_style;
    return in;
}

void traverse_children(br_actor *parent, const inherited &in, br_uint_16 type)
{
    traverse_list(parent->children, in, type, 0);
}

void render_add(br_actor *a)
{
    if (R() == nullptr || v1db.render_world == nullptr || a == nullptr)
        return;
    inherited in = {v1db.default_model, v1db.default_material, v1db.current_order_table, BR_RSTYLE_DEFAULT};
    if (a->parent == nullptr) {
        traverse(a, in, br_scene.view_type, 0);
        return;
    }
    in = {nullptr, nullptr, nullptr, BR_RSTYLE_DEFAULT};
    br_matrix34 m;
    BrMatrix34Identity(&m);
    br_uint_16 type = BR_TRANSFORM_IDENTITY;
    for (br_actor *p = a->parent; p != nullptr; p = p->parent) {
        if (in.model == nullptr)
            in.model = p->model;
        if (in.material == nullptr)
            in.material = p->material;
        if (in.order_table == nullptr)
            in.order_table = p->render_data;
        if (p->render_style != BR_RSTYLE_DEFAULT)
            in.style = p->render_style;
        if (p == v1db.render_world)
            break;
        if (p->t.type != BR_TRANSFORM_IDENTITY) {
            br_matrix34 pm;
            BrActorMatrix34(&pm, p);
            BrMatrix34Post(&m, &pm);
            type = BrTransformTypeCombine(type, p->t.type);
        }
    }
    if (in.model == nullptr)
        in.model = v1db.default_model;
    if (in.material == nullptr)
        in.material = v1db.default_material;
    if (in.order_table == nullptr)
        in.order_table = v1db.current_order_table;
    if (type == BR_TRANSFORM_IDENTITY) {
        traverse(a, in, br_scene.view_type, 0);
        return;
    }
    R()->dispatch->_statePush(R(), BR_STATE_MATRIX_MODEL_TO_VIEW);
    R()->dispatch->_modelMul(R(), &m);
    br_uint_16 combined = BrTransformTypeCombine(br_scene.view_type, type);
    hint_set(combined);
    traverse(a, in, combined, 0);
    R()->dispatch->_statePop(R(), BR_STATE_MATRIX_MODEL_TO_VIEW);
}

} // namespace brrend

using namespace brrend;

namespace {

br_boolean zb_begin(br_actor *w, br_actor *camera, br_pixelmap *colour, br_pixelmap *depth)
{
    v1db.render_world = w;
    v1db.colour_buffer = colour;
    v1db.rendering = 1;
    screen_mapping(colour);
    set_pointer(BRT_OUTPUT, BRT_COLOUR_BUFFER_O, colour);
    set_pointer(BRT_OUTPUT, BRT_DEPTH_BUFFER_O, depth);
    set_token(BRT_HIDDEN_SURFACE, BRT_TYPE_T, BRT_NONE);
    v1db.current_order_table = nullptr;
    return scene_begin(w, camera);
}

br_error zb_end(void)
{
    br_error r = R()->dispatch->_flush(R(), 0);
    v1db.rendering = 0;
    v1db.render_world = nullptr;
    return r;
}

} // namespace

void BrZbSceneRender(br_actor *w, br_actor *camera, br_pixelmap *colour, br_pixelmap *depth)
{
    if (R() == nullptr || w == nullptr || camera == nullptr || colour == nullptr)
        return;
    if (zb_begin(w, camera, colour, depth))
        traverse_children(w, start_values(w), br_scene.view_type);
    zb_end();
}

void BrZbSceneRenderBegin(br_actor *w, br_actor *camera, br_pixelmap *colour, br_pixelmap *depth)
{
    if (R() == nullptr || w == nullptr || camera == nullptr || colour == nullptr)
        return;
    // A camera outside the world leaves nothing to add to.
    if (!zb_begin(w, camera, colour, depth))
        v1db.render_world = nullptr;
}

void BrZbSceneRenderAdd(br_actor *tree)
{
    render_add(tree);
}

br_error BrZbSceneRenderEnd(void)
{
    if (R() == nullptr)
        return BRE_FAIL;
    return zb_end();
}

br_token BrBoundsOnScreenTest(br_bounds3 *bounds)
{
    return R() != nullptr ? bounds_test(bounds) : (br_token)BRT_REJECT;
}
