/* Drawing the actor tree: z-sort order tables and their primitive buckets, and the conversions
 * between screen z, depth-buffer values and camera depth. */
#ifndef BRONDEL_BRSCENE_H
#define BRONDEL_BRSCENE_H

#include <brondel/bractor.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A primitive in a bucket: the renderer owns its layout past the link. */
typedef struct br_primitive {
    struct br_primitive *next;
} br_primitive;

/* Order table flags. */
#define BR_ORDER_TABLE_NEW_BOUNDS 0x0001u  /* range from the model's bounds at every model render */
#define BR_ORDER_TABLE_INIT_BOUNDS 0x0002u /* range from the bounds at the table's second use */
#define BR_ORDER_TABLE_SORT_NEAR 0x0008u   /* sort_z = min_z */
#define BR_ORDER_TABLE_SORT_FAR 0x0010u    /* sort_z = max_z */

/* How a primitive's depth is taken; other values: its first vertex. */
#define BR_SORT_FIRST_VERTEX 0
#define BR_SORT_AVERAGE 1
#define BR_SORT_MIN 2
#define BR_SORT_MAX 3

typedef struct br_order_table {
    br_primitive **table; /* size buckets, newest primitive first */
    br_uint_16 size;
    struct br_order_table *next; /* in the render's list, far first */
    br_scalar min_z;
    br_scalar max_z;
    br_scalar sort_z;
    br_scalar scale; /* buckets per depth unit */
    br_uint_32 flags;
    br_uint_16 type;
    br_uint_16 visits; /* model renders that used the table in this scene render */
} br_order_table;

/* Refused (null) for size 0. */
br_order_table *BrOrderTableAllocate(br_uint_16 size, br_uint_32 flags, br_uint_16 type);
void BrOrderTableFree(br_order_table *order_table);
br_order_table *BrOrderTableClear(br_order_table *order_table);
void BrOrderTablePrimitiveInsert(br_order_table *order_table, br_primitive *primitive, br_uint_16 bucket);
br_uint_16 BrZsPrimitiveBucketSelect(const br_scalar *z, br_token type, br_scalar min_z, br_scalar max_z,
                                     br_uint_16 size, br_uint_16 sort_type);
br_order_table *BrZsActorOrderTableSet(br_actor *actor, br_order_table *order_table);
br_order_table *BrZsActorOrderTableGet(br_actor *actor);
void BrZsOrderTableScaleSet(br_order_table *order_table);

br_uint_32 BrZbScreenZToDepth(br_scalar sz);
br_scalar BrZbDepthToScreenZ(br_uint_32 depth);
br_scalar BrCameraDepthToScreenZ(br_scalar depth, const br_camera *camera);
br_scalar BrScreenZToCameraDepth(br_scalar sz, const br_camera *camera);
br_scalar BrScreenZToCamera(br_actor *camera, br_scalar sz);

#ifdef __cplusplus
}
#endif

#endif
