// The renderer the database draws with: its start and end, shared by the z-buffer and z-sort sides.
#include <string.h>

#include <brondel/brdevice.h>
#include <brondel/brpixmap.h>

#include "dbstate.h"

namespace {

br_uint_32 table_update(void *item, void *) { BrTableUpdate((br_pixelmap *)item, BR_TABU_ALL); return 0; }
br_uint_32 map_update(void *item, void *) { BrMapUpdate((br_pixelmap *)item, BR_MAPU_ALL); return 0; }
br_uint_32 material_update(void *item, void *) { BrMaterialUpdate((br_material *)item, BR_MATU_ALL); return 0; }
br_uint_32 table_clear(void *item, void *) { BrTableClear((br_pixelmap *)item); return 0; }
br_uint_32 map_clear(void *item, void *) { BrMapClear((br_pixelmap *)item); return 0; }
br_uint_32 material_clear(void *item, void *) { BrMaterialClear((br_material *)item); return 0; }

// The renderer's part of a model: its stored geometry. The prepared block stays (its groups no
// longer name material states once the materials are cleared), so a restarted renderer can draw
// the models registered before it.
void model_release(br_model *model)
{
    if (model == nullptr || model->stored == nullptr)
        return;
    ObjectFree(model->stored);
    model->stored = nullptr;
}

br_uint_32 model_clear(void *item, void *)
{
    model_release((br_model *)item);
    return 0;
}

// Materials and models of the database that were never registered may hold renderer objects too.
br_uint_32 anchored_clear(void *item, void *)
{
    br_uint_8 c = BrResClass(item);
    if (c == BR_MEMORY_MATERIAL)
        BrMaterialClear((br_material *)item);
    else if (c == BR_MEMORY_MODEL)
        model_release((br_model *)item);
    return 0;
}

void renderer_drop(void)
{
    if (v1db.renderer != nullptr)
        ObjectFree(v1db.renderer);
    v1db.renderer = nullptr;
    v1db.format_model = nullptr;
    v1db.format_buckets = nullptr;
    v1db.format_lighting = nullptr;
}

} // namespace

br_error BrV1dbRendererBegin(br_pixelmap *destination, br_renderer *renderer)
{
    if (!v1db.active)
        return BRE_NOT_ACTIVE;
    // A second renderer would orphan the first and everything made for it.
    if (v1db.renderer != nullptr)
        return BRE_ALREADY_ACTIVE;

    br_renderer_facility *facility = nullptr;
    if (renderer == nullptr) {
        br_error e = BrRendererFacilityFind(&facility, (br_object *)destination, BRT_FLOAT);
        if (e != BRE_OK)
            return e;
        br_token_value tv[2] = {};
        if (destination != nullptr) {
            tv[0].t = BRT_DESTINATION_O;
            tv[0].v.p = destination;
        }
        e = facility->dispatch->_rendererNew(facility, &renderer, tv);
        if (e != BRE_OK)
            return e;
    }
    v1db.renderer = renderer;

    // Without its model or lighting format the renderer cannot draw: it is let go again. The
    // bucket format is optional.
    br_error e = BrGeometryFormatFind(&v1db.format_model, renderer, facility, BRT_FLOAT, BRT_GEOMETRY_V1_MODEL);
    if (e == BRE_OK && BrGeometryFormatFind(&v1db.format_buckets, renderer, facility, BRT_FLOAT,
                                            BRT_GEOMETRY_V1_BUCKETS) != BRE_OK)
        v1db.format_buckets = nullptr;
    if (e == BRE_OK)
        e = BrGeometryFormatFind(&v1db.format_lighting, renderer, facility, BRT_FLOAT, BRT_GEOMETRY_LIGHTING);
    if (e != BRE_OK) {
        renderer_drop();
        return e;
    }

    BrModelUpdate(v1db.default_model, BR_MODU_ALL);
    v1db.default_order_table = BrDbDefaultOrderTable();
    v1db.primary_order_table = nullptr;
    // A new renderer has no lights or planes yet, and bounds only when the callback asks.
    v1db.lights_sent = 0;
    v1db.clip_planes_sent = 0;
    if (v1db.bounds_callback != nullptr) {
        br_value on;
        on.raw = 0;
        on.b = 1;
        renderer->dispatch->_partSet(renderer, BRT_ENABLE, 0, BRT_BOUNDS_B, on);
    }

    BrRegistryEnum(&v1db.reg_tables, nullptr, table_update, nullptr);
    BrRegistryEnum(&v1db.reg_textures, nullptr, map_update, nullptr);
    BrRegistryEnum(&v1db.reg_materials, nullptr, material_update, nullptr);
    BrMaterialUpdate(v1db.default_material, BR_MATU_ALL);
    return BRE_OK;
}

br_renderer *BrV1dbRendererQuery(void)
{
    return v1db.renderer;
}

br_error BrDbRendererEnd(void)
{
    if (v1db.renderer == nullptr)
        return BRE_FAIL;
    BrRegistryEnum(&v1db.reg_tables, nullptr, table_clear, nullptr);
    BrRegistryEnum(&v1db.reg_textures, nullptr, map_clear, nullptr);
    BrRegistryEnum(&v1db.reg_materials, nullptr, material_clear, nullptr);
    BrRegistryEnum(&v1db.reg_models, nullptr, model_clear, nullptr);
    BrMaterialClear(v1db.default_material);
    model_release(v1db.default_model);
    BrResChildEnum(v1db.res, anchored_clear, nullptr);

    v1db.default_order_table = nullptr;
    v1db.current_order_table = nullptr;
    v1db.primary_order_table = nullptr;
    v1db.order_list = nullptr;
    v1db.render_world = nullptr;
    v1db.colour_buffer = nullptr;
    v1db.rendering = 0;
    renderer_drop();
    return BRE_OK;
}

br_error BrV1dbRendererEnd(void)
{
    return BrDbRendererEnd();
}

void BrZbBegin(br_uint_8 colour_type, br_uint_8 depth_type)
{
    if (!v1db.zs_active && !v1db.zb_active && BrV1dbRendererBegin(BrDevLastBeginQuery(), nullptr) != BRE_OK)
        BrFailure("Failed to load renderer\n");
    v1db.zb_active = 1;
}

void BrZsBegin(br_uint_8 colour_type, void *primitive_heap, br_uint_32 size)
{
    if (!v1db.zs_active && !v1db.zb_active && BrV1dbRendererBegin(BrDevLastBeginQuery(), nullptr) != BRE_OK)
        BrFailure("Failed to load renderer\n");
    v1db.heap.start = primitive_heap;
    v1db.heap.size = size;
    v1db.heap.current = primitive_heap;
    v1db.zs_active = 1;
}

void BrZbEnd(void)
{
    v1db.zb_active = 0;
    if (!v1db.zs_active && v1db.renderer != nullptr)
        BrDbRendererEnd();
}

void BrZsEnd(void)
{
    v1db.zs_active = 0;
    // The heap is the caller's and is theirs again: a later render must not fill it, even while
    // the z-buffer side keeps the renderer.
    memset(&v1db.heap, 0, sizeof(v1db.heap));
    if (!v1db.zb_active && v1db.renderer != nullptr)
        BrDbRendererEnd();
}

// Stored geometry, for models that ask for it and keep no source.
void BrDbModelStoredMake(br_model *model)
{
    br_geometry_v1_model *format = (br_geometry_v1_model *)v1db.format_model;
    if (v1db.renderer == nullptr || format == nullptr || model->prepared == nullptr)
        return;
    if (!(model->flags & BR_MODF_STORED_GEOMETRY) || (model->flags & BR_MODF_UPDATEABLE))
        return;
    if (model->stored != nullptr)
        ObjectFree(model->stored);
    model->stored = nullptr;
    br_token_value tv[2] = {};
    tv[0].t = BRT_CAN_SHARE_B;
    tv[0].v.b = 1;
    br_geometry_stored *sg = nullptr;
    if (format->dispatch->_storedNew(format, v1db.renderer, &sg, model->prepared, BRT_TRIANGLE, tv) != BRE_OK ||
        sg == nullptr)
        return;
    model->stored = sg;
    br_value shared;
    shared.raw = 0;
    br_object *o = (br_object *)sg;
    if (o->dispatch->_query(o, &shared, BRT_SHARED_B) == BRE_OK && !shared.b) {
        BrResFree(model->prepared);
        model->prepared = nullptr;
    }
}
