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

/* The caller's primitive heap as the z-sort render hands it to the renderer (V1PRIMITIVE_HEAP_P):
 * primitives are taken from current upwards and must end by start + size. */
typedef struct br_primitive_heap {
    void *start;
    br_uint_32 size;
    void *current;
} br_primitive_heap;

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

struct br_pixelmap;

/* Called after each model drawn with a non-empty screen rectangle: the pixels relative to the
 * colour buffer's origin, min x, min y, max x, max y. */
typedef br_uint_32 br_renderbounds_cbfn(br_actor *actor, br_model *model, struct br_material *material,
                                        br_order_table *order_table, br_uint_8 style,
                                        br_matrix4 *model_to_screen, br_int_32 bounds[4]);
/* Called by the renderer for each primitive it puts in a bucket of the z-sort render. */
typedef void br_primitive_cbfn(br_primitive *primitive, br_actor *actor, br_model *model,
                               struct br_material *material, br_order_table *order_table, br_scalar *z);

void BrZbSceneRender(br_actor *world, br_actor *camera, struct br_pixelmap *colour, struct br_pixelmap *depth);
void BrZbSceneRenderBegin(br_actor *world, br_actor *camera, struct br_pixelmap *colour,
                          struct br_pixelmap *depth);
void BrZbSceneRenderAdd(br_actor *tree);
br_error BrZbSceneRenderEnd(void);
/* on_screen: BRT_ACCEPT, BRT_REJECT or BRT_PARTIAL; use_custom 0 bypasses a custom callback. */
br_uint_32 BrZbModelRender(br_actor *actor, br_model *model, struct br_material *material, br_uint_8 style,
                           int on_screen, int use_custom);
br_uint_32 BrZsModelRender(br_actor *actor, br_model *model, struct br_material *material,
                           br_order_table *order_table, br_uint_8 style, int on_screen, int use_custom);
br_uint_32 BrDbModelRender(br_actor *actor, br_model *model, struct br_material *material,
                           br_order_table *order_table, br_uint_8 style, int on_screen, int use_custom);
br_renderbounds_cbfn *BrZbSetRenderBoundsCallback(br_renderbounds_cbfn *callback);
br_renderbounds_cbfn *BrZsSetRenderBoundsCallback(br_renderbounds_cbfn *callback);
br_renderbounds_cbfn *BrDbSetRenderBoundsCallback(br_renderbounds_cbfn *callback);
br_token BrBoundsOnScreenTest(br_bounds3 *bounds);

void BrZsSceneRender(br_actor *world, br_actor *camera, struct br_pixelmap *colour);
void BrZsSceneRenderBegin(br_actor *world, br_actor *camera, struct br_pixelmap *colour);
void BrZsSceneRenderAdd(br_actor *tree);
br_error BrZsSceneRenderEnd(void);
br_order_table *BrZsOrderTableSceneSet(br_order_table *order_table);
void BrZsOrderTableSceneClear(void);
void BrZsOrderTableRangeFromBounds(br_bounds3 *bounds, br_order_table *order_table);
br_primitive_cbfn *BrZsPrimitiveCallbackSet(br_primitive_cbfn *callback);

/* Projection during a model render, in the current model's space. */
br_matrix4 *BrModelToScreenQuery(br_matrix4 *dest);
void BrModelToViewQuery(br_matrix34 *dest);
/* 1 when the point's homogeneous z is above 0. */
br_boolean BrOriginToScreenXY(br_vector2 *screen);
br_uint_32 BrOriginToScreenXYZO(br_vector3 *screen);
br_boolean BrPointToScreenXY(br_vector2 *screen, const br_vector3 *point);
br_uint_32 BrPointToScreenXYZO(br_vector3 *screen, const br_vector3 *point);
void BrPointToScreenXYMany(br_vector2 *screens, const br_vector3 *points, br_uint_32 npoints);
br_uint_32 BrPointToScreenXYZOMany(br_vector3 *screens, br_uint_32 *outcodes, const br_vector3 *points,
                                   br_uint_32 npoints);
void BrScreenXYZToCamera(br_vector3 *point, br_actor *camera, struct br_pixelmap *viewport, br_int_16 sx,
                         br_int_16 sy, br_scalar sz);

/* Outcodes: the low bits say which view limit the point is outside of, bits 16-27 their
 * complement. */
#define BR_OUTCODE_LEFT 0x00000001u
#define BR_OUTCODE_RIGHT 0x00000002u
#define BR_OUTCODE_TOP 0x00000004u
#define BR_OUTCODE_BOTTOM 0x00000008u
#define BR_OUTCODE_HITHER 0x00000010u
#define BR_OUTCODE_YON 0x00000020u
#define BR_OUTCODE_INSIDE 0x0fff0000u

br_uint_32 BrZbScreenZToDepth(br_scalar sz);
br_scalar BrZbDepthToScreenZ(br_uint_32 depth);
br_scalar BrCameraDepthToScreenZ(br_scalar depth, const br_camera *camera);
br_scalar BrScreenZToCameraDepth(br_scalar sz, const br_camera *camera);
br_scalar BrScreenZToCamera(br_actor *camera, br_scalar sz);

#ifdef __cplusplus
}
#endif

#endif
