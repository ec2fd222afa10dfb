// Stand-ins until the driver interface lands.
#include "dbstate.h"

void BrDbModelStoredMake(br_model *model) {}
br_error BrDbRendererEnd(void) { return BRE_FAIL; }
void BrMaterialUpdate(br_material *material, br_uint_16 flags) {}
void BrMaterialClear(br_material *material) {}
br_error BrMapUpdate(struct br_pixelmap *map, br_uint_16 flags) { return 0; }
void BrMapClear(struct br_pixelmap *map) {}
br_error BrTableUpdate(struct br_pixelmap *table, br_uint_16 flags) { return 0; }
void BrTableClear(struct br_pixelmap *table) {}
