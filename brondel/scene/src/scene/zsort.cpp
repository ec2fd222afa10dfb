// The z-sort scene render: order tables kept in a far-first list and drawn bucket by bucket.
#include "rend.h"

namespace brrend {
br_primitive_cbfn *primitive_callback;
void zs_model_prepare(br_model *model, br_order_table *ot);
}

using namespace brrend;

namespace {

br_primitive *default_buckets[256];
br_order_table default_table = {default_buckets, 256, nullptr, 1.0f, 10.0f, 0.0f, 0.0f, 0, BR_SORT_AVERAGE, 0};

br_order_table *list_head; // tables used in this render, far first
br_order_table *scene_table;

br_primitive_heap heap;

br_order_table *default_order_table()
{
    return v1db.default_order_table != nullptr ? v1db.default_order_table : &default_table;
}

void list_insert(br_order_table *ot)
{
    if (ot == scene_table)
        return;
    if (list_head == nullptr || list_head->sort_z < ot->sort_z) {
        ot->next = list_head;
        list_head = ot;
        return;
    }
    br_order_table *after = list_head;
    while (after->next != nullptr && after->next->sort_z >= ot->sort_z)
        after = after->next;
    ot->next = after->next;
    after->next = ot;
}

void draw_table(br_order_table *ot)
{
    br_geometry_v1_buckets *bf = (br_geometry_v1_buckets *)v1db.format_buckets;
    if (bf != nullptr)
        bf->dispatch->_render(bf, R(), (void **)ot->table, ot->size);
    ot->visits = 0;
}

void draw_list_while(br_order_table *&t, br_scalar z)
{
    for (; t != nullptr && t->sort_z >= z; t = t->next)
        draw_table(t);
}

void draw_merged()
{
    br_order_table *t = list_head;
    if (scene_table->visits == 0) {
        for (; t != nullptr; t = t->next)
            draw_table(t);
        return;
    }
    br_scalar z = scene_table->max_z;
    br_scalar step = (scene_table->max_z - scene_table->min_z) / (br_scalar)scene_table->size;
    draw_list_while(t, z);
    br_geometry_v1_buckets *bf = (br_geometry_v1_buckets *)v1db.format_buckets;
    for (int i = scene_table->size - 1; i >= 0; i--) {
        if (scene_table->table[i] != nullptr && bf != nullptr)
            bf->dispatch->_render(bf, R(), (void **)&scene_table->table[i], 1);
        z -= step;
        draw_list_while(t, z);
    }
    for (; t != nullptr; t = t->next)
        draw_table(t);
    scene_table->visits = 0;
}

} // namespace

namespace brrend {

void zs_model_prepare(br_model *model, br_order_table *ot)
{
    BrZsOrderTableRangeFromBounds(&model->bounds, ot);
    if (ot->visits == 0) {
        BrOrderTableClear(ot);
        list_insert(ot);
    }
    ot->visits++;
}

} // namespace brrend

void BrZsOrderTableRangeFromBounds(br_bounds3 *b, br_order_table *ot)
{
    if ((ot->flags & BR_ORDER_TABLE_NEW_BOUNDS) || ((ot->flags & BR_ORDER_TABLE_INIT_BOUNDS) && ot->visits == 1)) {
        const br_matrix4 *m = model_to_screen();
        br_scalar lo = m->m[3][3], hi = m->m[3][3];
        for (int i = 0; i < 3; i++) {
            br_scalar a = m->m[i][3] * b->min.v[i], c = m->m[i][3] * b->max.v[i];
            lo += a < c ? a : c;
            hi += a < c ? c : a;
        }
        ot->min_z = lo;
        ot->max_z = hi;
    }
    BrZsOrderTableScaleSet(ot);
}

br_order_table *BrZsOrderTableSceneSet(br_order_table *ot)
{
    scene_table = ot != nullptr ? ot : default_order_table();
    return scene_table;
}

void BrZsOrderTableSceneClear(void)
{
    scene_table = nullptr;
}

br_primitive_cbfn *BrZsPrimitiveCallbackSet(br_primitive_cbfn *callback)
{
    br_primitive_cbfn *old = primitive_callback;
    primitive_callback = callback;
    return old;
}

void BrZsSceneRenderBegin(br_actor *w, br_actor *camera, br_pixelmap *colour)
{
    if (R() == nullptr || w == nullptr || camera == nullptr || colour == nullptr)
        return;
    v1db.rendering = 2;
    colour_buffer = colour;
    world = w;
    screen_mapping(colour);
    set_pointer(BRT_OUTPUT, BRT_COLOUR_BUFFER_O, colour);
    set_pointer(BRT_OUTPUT, BRT_DEPTH_BUFFER_O, nullptr);

    heap.start = v1db.heap_buffer;
    heap.size = v1db.heap_size;
    heap.current = v1db.heap_buffer;
    br_order_table *dt = default_order_table();
    const br_camera *c = (const br_camera *)camera->type_data;
    if (c != nullptr) {
        dt->min_z = c->hither_z;
        dt->max_z = c->yon_z;
    }
    dt->visits = 0;
    list_head = nullptr;

    set_pointer(BRT_HIDDEN_SURFACE, BRT_V1ORDER_TABLE_P, dt);
    set_pointer(BRT_HIDDEN_SURFACE, BRT_V1PRIMITIVE_HEAP_P, &heap);
    set_token(BRT_HIDDEN_SURFACE, BRT_TYPE_T, BRT_BUCKET_SORT);
    current_order_table = dt;
    if (!scene_begin(w, camera))
        world = nullptr;
}

void BrZsSceneRenderAdd(br_actor *tree)
{
    render_add(tree);
}

br_error BrZsSceneRenderEnd(void)
{
    if (R() == nullptr)
        return BRE_FAIL;
    set_pointer(BRT_OUTPUT, BRT_COLOUR_BUFFER_O, colour_buffer);
    if (v1db.format_buckets == nullptr)
        BrFailure("Renderer does not support buckets");
    if (scene_table != nullptr) {
        draw_merged();
    } else {
        for (br_order_table *t = list_head; t != nullptr; t = t->next)
            draw_table(t);
    }
    list_head = nullptr;
    br_error r = R()->dispatch->_flush(R(), 0);
    v1db.rendering = 0;
    world = nullptr;
    return r;
}

void BrZsSceneRender(br_actor *w, br_actor *camera, br_pixelmap *colour)
{
    if (R() == nullptr || w == nullptr || camera == nullptr || colour == nullptr)
        return;
    BrZsSceneRenderBegin(w, camera, colour);
    if (world != nullptr) {
        brrend::inherited in;
        in.model = w->model != nullptr ? w->model : v1db.default_model;
        in.material = w->material != nullptr ? w->material : v1db.default_material;
        in.order_table = w->render_data != nullptr ? w->render_data : current_order_table;
        in.style = w->render_style;
        traverse_children(w, in, br_scene.view_type);
    }
    BrZsSceneRenderEnd();
}
