/* The partial redraw: a scene rendered again only where a rectangle of the view changed. Registered
 * models are drawn through TrCustomRenderCb, which skips those whose screen box misses the clip
 * rectangle; the rest of the scene is drawn as usual. */
#ifndef TERROW_TRREDRAW_H
#define TERROW_TRREDRAW_H

#include <stdint.h>

#include <brondel/brtypes.h>

struct br_actor;
struct br_model;
struct br_material;
struct br_order_table;
struct br_pixelmap;

#define TR_REDRAW_MODELS 20

#ifdef __cplusplus
extern "C" {
#endif

/* Adds a model to the list (at most 20; further ones are ignored): 1 when it was taken. */
int32_t Redraw_Register(struct br_model *model);
/* Empties the list (the models are going). */
void Redraw_Forget(void);
int32_t Redraw_Count(void);
/* Renders the scene into the view and depth maps with the clip rectangle (x, y, w, h). */
void Redraw_Rect(struct br_actor *world, struct br_actor *camera, struct br_pixelmap *view,
                 struct br_pixelmap *depth, int32_t x, int32_t y, int32_t width, int32_t height);
/* The clip rectangle emptied to (1000, 1000, -1, -1), grown to cover a box, read. */
void Redraw_ClearRect(void);
void Redraw_GrowRect(int32_t x, int32_t y, int32_t width, int32_t height);
void Redraw_GetRect(float out[4]);
/* Renders the scene with the current clip rectangle. */
void Redraw_Render(struct br_actor *world, struct br_actor *camera, struct br_pixelmap *view,
                   struct br_pixelmap *depth);
br_uint_32 TrCustomRenderCb(struct br_actor *actor, struct br_model *model, struct br_material *material,
                            struct br_order_table *order, br_uint_8 style, int onScreen);
/* The screen box (view pixels from its top left corner) of the actor's model seen by `camera`: x, y
 * the smallest, width and height the largest minus the smallest. 0 when the actor has no model or
 * no vertex lies in front of the camera. */
int32_t Redraw_ScreenBox(struct br_actor *actor, struct br_actor *camera, struct br_pixelmap *view, int32_t *x,
                         int32_t *y, int32_t *width, int32_t *height);

#ifdef __cplusplus
}
#endif

#endif
