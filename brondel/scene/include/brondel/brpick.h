/* Picking: what lies under a pixel of a camera's view, or inside a box, found without rendering. */
#ifndef BRONDEL_BRPICK_H
#define BRONDEL_BRPICK_H

#include <brondel/bractor.h>

#ifdef __cplusplus
extern "C" {
#endif

struct br_material;
struct br_pixelmap;

/* A model whose bounds the ray meets: the ray in the model's space (position at t = 0, pointing away
 * from the camera), and the part of it inside the bounds. A non-zero answer ends the pick. */
typedef int br_pick2d_cbfn(br_actor *actor, br_model *model, struct br_material *material,
                           br_vector3 *ray_pos, br_vector3 *ray_dir, br_scalar t_near, br_scalar t_far,
                           void *arg);
/* A model whose bounds meet the box; to_ref takes the model's space into the reference actor's. */
typedef int br_pick3d_cbfn(br_actor *actor, br_model *model, struct br_material *material,
                           br_matrix34 *to_ref, br_bounds3 *bounds, void *arg);
/* A face the ray meets: t of the hit, the face, the nearer edge (0-2) and vertex (0-2) of it, the point
 * and the texture coordinates there. */
typedef int br_modelpick2d_cbfn(br_model *model, struct br_material *material, br_vector3 *ray_pos,
                                br_vector3 *ray_dir, br_scalar t, int face, int edge, int vertex,
                                br_vector3 *point, br_vector2 *map, void *arg);

/* x, y: pixels relative to the viewport's origin. */
int BrScenePick2D(br_actor *world, br_actor *camera, struct br_pixelmap *viewport, int pick_x, int pick_y,
                  br_pick2d_cbfn *callback, void *arg);
int BrScenePick3D(br_actor *world, br_actor *reference, br_bounds3 *bounds, br_pick3d_cbfn *callback, void *arg);
/* The model must keep its faces and vertices (BR_MODF_UPDATEABLE) and have been prepared. */
int BrModelPick2D(br_model *model, struct br_material *material, br_vector3 *ray_pos, br_vector3 *ray_dir,
                  br_scalar t_near, br_scalar t_far, br_modelpick2d_cbfn *callback, void *arg);

#ifdef __cplusplus
}
#endif

#endif
