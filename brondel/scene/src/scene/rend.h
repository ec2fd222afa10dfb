/* Calls into the renderer driver and the render scratch shared by the z-buffer and z-sort sides. */
#ifndef BRONDEL_REND_H
#define BRONDEL_REND_H

#include <brondel/brcore.h>
#include <brondel/brscene.h>

#include "scene.h"

struct br_pixelmap;

namespace brrend {

inline br_renderer *R() { return v1db.renderer; }

inline br_error set(br_token part, br_int_32 index, br_token t, br_value v)
{
    return R()->dispatch->_partSet(R(), part, index, t, v);
}
inline br_error set_token(br_token part, br_token t, br_token value)
{
    br_value v;
    v.raw = 0;
    v.t = value;
    return set(part, 0, t, v);
}
inline br_error set_pointer(br_token part, br_token t, const void *p)
{
    br_value v;
    v.p = (void *)p;
    return set(part, 0, t, v);
}
inline br_error set_bool(br_token part, br_token t, br_boolean b)
{
    br_value v;
    v.raw = 0;
    v.b = b;
    return set(part, 0, t, v);
}
/* Copies a matrix or vector the renderer answers into out. */
br_error query_floats(br_token part, br_token t, void *out, br_size_t size);

/* The 4x4 model-to-screen matrix, from the cache of this model render when there is one. */
const br_matrix4 *model_to_screen();
void model_to_screen_forget();

/* Screen mapping of the render in progress from its colour buffer. */
void screen_mapping(const struct br_pixelmap *colour);
/* Hands the view to the renderer and works out world-to-view. 0 when the camera is not in the
 * world (or too deep in it): nothing may be drawn. */
br_boolean scene_begin(br_actor *world, br_actor *camera);
/* The lights, clip planes and environment of this render. */
void lights_planes_set(br_actor *world, const br_matrix34 *world_to_view, br_uint_16 view_type,
                       const br_matrix4 *view_to_screen);

struct inherited {
    br_model *model;
    br_material *material;
    br_order_table *order_table;
    br_uint_8 style;
};

/* What the world hands down at the top of a scene render. */
inherited start_values(br_actor *world);
void traverse_children(br_actor *parent, const inherited &in, br_uint_16 type);
/* Scene render add shared by both sides. */
void render_add(br_actor *a);

} // namespace brrend

#endif
