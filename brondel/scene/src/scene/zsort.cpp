// The z-sort scene render: order tables kept in a far-first list and drawn bucket by bucket.
#include "rend.h"

namespace brrend {
void zs_model_prepare(br_model *model, br_order_table *ot);
}

using namespace brrend;

namespace {

br_primitive *default_buckets[256];
br_order_table default_table = {default_buckets, 256, nullptr, 1.0f, 10.0f, 0.0f, 0.0f, 0, BR_SORT_AVERAGE, 0};

void list_insert(br_order_table *ot)
{
    br_order_table *&head = v1db.order_list;
    if (ot == v1db.primary_order_table)
        return;
    if (head == nullptr || head->sort_z < ot->sort_z) {
        ot->next = head;
        head = ot;
        return;
    }
    br_order_table *after = head;
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
    br_order_table *scene_table = v1db.primary_order_table;
    br_order_table *t = v1db.order_list;
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

br_order_table *BrDbDefaultOrderTable(void)
{
    return &default_table;
}

br_order_table *BrZsOrderTableSceneSet(br_order_table *ot)
{
    v1db.primary_order_table = ot != nullptr ? ot : v1db.default_order_table;
    return v1db.primary_order_table;
}

void BrZsOrderTableSceneClear(void)
{
    v1db.primary_order_table = nullptr;
}

br_primitive_cbfn *BrZsPrimitiveCallbackSet(br_primitive_cbfn *callback)
{
    br_primitive_cbfn *old = v1db.primitive_callback;
    v1db.primitive_callback = callback;
    return old;
}

void BrZsSceneRenderBegin(br_actor *w, br_actor *camera, br_pixelmap *colour)
{
    if (R() == nullptr || w == nullptr || camera == nullptr || colour == nullptr)
        return;
    v1db.rendering = 2;
    v1db.colour_buffer = colour;
    v1db.render_world = w;
    screen_mapping(colour);
    set_pointer(BRT_OUTPUT, BRT_COLOUR_BUFFER_O, colour);
    set_pointer(BRT_OUTPUT, BRT_DEPTH_BUFFER_O, nullptr);

    v1db.heap.current = v1db.heap.start;
    br_order_table *dt = v1db.default_order_table;
    const br_camera *c = (const br_camera *)camera->type_data;
    if (c != nullptr) {
        dt->min_z = c->hither_z;
        dt->max_z = c->yon_z;
    }
    dt->visits = 0;
    v1db.order_list = nullptr;

    set_pointer(BRT_HIDDEN_SURFACE, BRT_V1ORDER_TABLE_P, dt);
    set_pointer(BRT_HIDDEN_SURFACE, BRT_V1PRIMITIVE_HEAP_P, &v1db.heap);
    set_token(BRT_HIDDEN_SURFACE, BRT_TYPE_T, BRT_BUCKET_SORT);
    v1db.current_order_table = dt;
    if (!scene_begin(w, camera))
        v1db.render_world = nullptr;
}

void BrZsSceneRenderAdd(br_actor *tree)
{
    render_add(tree);
}

br_error BrZsSceneRenderEnd(void)
{
    if (R() == nullptr)
        return BRE_FAIL;
    set_pointer(BRT_OUTPUT, BRT_COLOUR_BUFFER_O, v1db.colour_buffer);
    if (v1db.format_buckets == nullptr)
        BrFailure("Renderer does not support buckets");
    if (v1db.primary_order_table != nullptr) {
        draw_merged();
    } else {
        for (br_order_table *t = v1db.order_list; t != nullptr; t = t->next)
            draw_table(t);
    }
    v1db.order_list = nullptr;
    br_error r = R()->dispatch->_flush(R(), 0);
    v1db.rendering = 0;
    v1db.render_world = nullptr;
    return r;
}

void BrZsSceneRender(br_actor *w, br_actor *camera, br_pixelmap *colour)
{
    if (R() == nullptr || w == nullptr || camera == nullptr || colour == nullptr)
        return;
    BrZsSceneRenderBegin(w, camera, colour);
    if (v1db.render_world != nullptr)
        traverse_children(w, start_values(w), br_scene.view_type);
    BrZsSceneRenderEnd();
}
