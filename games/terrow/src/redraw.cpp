// The partial redraw: the registered models take a custom routine for one render, which draws a
// model only when its screen box meets the clip rectangle, so that a changed part of a stored view is
// drawn again without drawing the whole scene.
#include "terrow/trredraw.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <brondel/bractor.h>
#include <brondel/brmatrix.h>
#include <brondel/brmodel.h>
#include <brondel/brpixmap.h>
#include <brondel/brscene.h>

#include "gameint.h"

namespace {

br_model *g_models[TR_REDRAW_MODELS];
int32_t g_count = 0;
float g_clip[4] = {1000.0f, 1000.0f, -1.0f, -1.0f};
// The rectangles the clip rectangle was grown by: the only pixels a clipped render may change.
struct Rect {
    int32_t x, y, w, h;
};
std::vector<Rect> g_rects;
// The camera and view of the render under way, for the custom routine's projection.
br_actor *g_camera = nullptr;
br_pixelmap *g_view = nullptr;

// The box of the model's vertices in view pixels (from the top left corner); false when no vertex
// lies in front of the camera.
bool screen_box(br_actor *actor, br_model *model, br_actor *camera, br_pixelmap *view, float box[4])
{
    if (actor == nullptr || model == nullptr || model->vertices == nullptr || camera == nullptr || view == nullptr)
        return false;
    br_matrix4 m;
    BrActorToScreenMatrix4(&m, actor, camera);
    box[0] = box[1] = 1e30f;
    box[2] = box[3] = -1e30f;
    bool any = false;
    for (int i = 0; i < model->nvertices; i++) {
        br_vector4 s;
        BrMatrix4ApplyP(&s, &model->vertices[i].p, &m);
        if (!(s.v[3] > 0.0f) || !std::isfinite(s.v[3]))
            continue;
        const float x = view->width * (s.v[0] / s.v[3] + 1.0f) * 0.5f;
        const float y = view->height * (1.0f - s.v[1] / s.v[3]) * 0.5f;
        if (!std::isfinite(x) || !std::isfinite(y))
            continue;
        box[0] = std::min(box[0], x);
        box[1] = std::min(box[1], y);
        box[2] = std::max(box[2], x);
        box[3] = std::max(box[3], y);
        any = true;
    }
    return any;
}

void render_clipped(br_actor *world, br_actor *camera, br_pixelmap *view, br_pixelmap *depth)
{
    if (world == nullptr || camera == nullptr || view == nullptr)
        return;
    g_camera = camera;
    g_view = view;
    decltype(br_model::flags) flags[TR_REDRAW_MODELS];
    br_model_custom_cbfn *customs[TR_REDRAW_MODELS];
    for (int32_t i = 0; i < g_count; i++) {
        flags[i] = g_models[i]->flags;
        customs[i] = g_models[i]->custom;
        g_models[i]->flags |= BR_MODF_CUSTOM;
        g_models[i]->custom = TrCustomRenderCb;
    }
    // A model drawn again ties with its neighbours at their shared edges, and a tie may go the other
    // way than it went when the picture was made: outside the rectangles the picture is kept.
    br_pixelmap *keep[2] = {BrPixelmapAllocate(view->type, view->width, view->height, nullptr, 0),
                            depth != nullptr ? BrPixelmapAllocate(depth->type, depth->width, depth->height, nullptr, 0)
                                             : nullptr};
    tr_copy_all(keep[0], view);
    tr_copy_all(keep[1], depth);
    BrZbSceneRender(world, camera, view, depth);
    for (const Rect &r : g_rects) {
        tr_copy_rect(keep[0], r.x, r.y, view, r.x, r.y, r.w, r.h);
        if (keep[1] != nullptr)
            tr_copy_rect(keep[1], r.x, r.y, depth, r.x, r.y, r.w, r.h);
    }
    tr_copy_all(view, keep[0]);
    tr_copy_all(depth, keep[1]);
    for (br_pixelmap *pm : keep)
        if (pm != nullptr)
            BrPixelmapFree(pm);
    for (int32_t i = 0; i < g_count; i++) {
        g_models[i]->flags = flags[i];
        g_models[i]->custom = customs[i];
    }
    g_camera = nullptr;
    g_view = nullptr;
}

}  // namespace

extern "C" {

int32_t Redraw_Register(br_model *model)
{
    if (model == nullptr || g_count >= TR_REDRAW_MODELS)
        return 0;
    g_models[g_count++] = model;
    return 1;
}

void Redraw_Forget(void)
{
    g_count = 0;
}

int32_t Redraw_Count(void)
{
    return g_count;
}

void Redraw_ClearRect(void)
{
    g_clip[0] = g_clip[1] = 1000.0f;
    g_clip[2] = g_clip[3] = -1.0f;
    g_rects.clear();
}

void Redraw_GrowRect(int32_t x, int32_t y, int32_t width, int32_t height)
{
    g_clip[0] = std::min(g_clip[0], (float)x);
    g_clip[1] = std::min(g_clip[1], (float)y);
    g_clip[2] = std::max(g_clip[2], (float)(x + width));
    g_clip[3] = std::max(g_clip[3], (float)(y + height));
    g_rects.push_back(Rect{x, y, width, height});
}

void Redraw_GetRect(float out[4])
{
    for (int i = 0; i < 4; i++)
        out[i] = g_clip[i];
}

void Redraw_Rect(br_actor *world, br_actor *camera, br_pixelmap *view, br_pixelmap *depth, int32_t x, int32_t y,
                 int32_t width, int32_t height)
{
    g_clip[0] = (float)x;
    g_clip[1] = (float)y;
    g_clip[2] = (float)(x + width);
    g_clip[3] = (float)(y + height);
    g_rects.assign(1, Rect{x, y, width, height});
    render_clipped(world, camera, view, depth);
}

void Redraw_Render(br_actor *world, br_actor *camera, br_pixelmap *view, br_pixelmap *depth)
{
    render_clipped(world, camera, view, depth);
}

br_uint_32 TrCustomRenderCb(br_actor *actor, br_model *model, br_material *material, br_order_table *order,
                            br_uint_8 style, int onScreen)
{
    (void)order;
    float box[4];
    // A model that cannot be measured is drawn: drawing a stored model again changes no pixel.
    if (screen_box(actor, model, g_camera, g_view, box) &&
        (box[2] < g_clip[0] || box[0] > g_clip[2] || box[3] < g_clip[1] || box[1] > g_clip[3]))
        return 0;
    return BrZbModelRender(actor, model, material, style, onScreen, 0);
}

int32_t Redraw_ScreenBox(br_actor *actor, br_actor *camera, br_pixelmap *view, int32_t *x, int32_t *y,
                         int32_t *width, int32_t *height)
{
    float box[4];
    if (actor == nullptr || !screen_box(actor, actor->model, camera, view, box))
        return 0;
    // Held where an int holds it: a vertex near the camera's plane lands far off the screen.
    auto clampi = [](float v) { return (int32_t)std::clamp(v, -1e6f, 1e6f); };
    *x = clampi(box[0]);
    *y = clampi(box[1]);
    *width = clampi(box[2]) - *x;
    *height = clampi(box[3]) - *y;
    return 1;
}

}  // extern "C"
