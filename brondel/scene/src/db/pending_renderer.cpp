// Without the core's driver interface and pixel maps there is no renderer to start: these answer
// as the database does when no renderer runs.
#include "dbstate.h"

br_error BrV1dbRendererBegin(struct br_pixelmap *destination, struct br_renderer *renderer) { return BRE_FAIL; }
struct br_renderer *BrV1dbRendererQuery(void) { return nullptr; }
br_error BrV1dbRendererEnd(void) { return BRE_FAIL; }
br_error BrDbRendererEnd(void) { return BRE_FAIL; }
void BrDbModelStoredMake(br_model *model) {}

void BrZbBegin(br_uint_8 colour_type, br_uint_8 depth_type)
{
    if (!v1db.zs_active && !v1db.zb_active)
        BrFailure("Failed to load renderer\n");
    v1db.zb_active = 1;
}

void BrZsBegin(br_uint_8 colour_type, void *primitive_heap, br_uint_32 size)
{
    if (!v1db.zs_active && !v1db.zb_active)
        BrFailure("Failed to load renderer\n");
    v1db.heap_buffer = primitive_heap;
    v1db.heap_size = size;
    v1db.zs_active = 1;
}

void BrZbEnd(void) { v1db.zb_active = 0; }
void BrZsEnd(void) { v1db.zs_active = 0; }

void BrMaterialUpdate(br_material *material, br_uint_16 flags) {}
void BrMaterialClear(br_material *material) {}
br_error BrMapUpdate(struct br_pixelmap *map, br_uint_16 flags) { return BRE_OK; }
void BrMapClear(struct br_pixelmap *map) {}
br_error BrTableUpdate(struct br_pixelmap *table, br_uint_16 flags) { return BRE_OK; }
void BrTableClear(struct br_pixelmap *table) {}
