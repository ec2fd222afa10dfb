/* Shared state of the scene side inside the library: the scratch of the render in progress and the
 * helpers the actor, enable, render and projection files share. */
#ifndef BRONDEL_SCENE_H
#define BRONDEL_SCENE_H

#include <brondel/bractor.h>

#include "db/dbstate.h"

/* Levels of the camera path: a camera may lie at most this many levels below its world. */
#define BR_CAMERA_PATH_LEVELS 16

struct br_camera_path_level {
    br_matrix34 m;
    br_uint_16 type;
    br_actor *a;
};

struct br_scene_scratch {
    /* Screen offsets of the destination's origin relative to its centre, in half sizes; kept
     * after a render ends. */
    br_scalar origin_x;
    br_scalar origin_y;
    /* pixel = (x / w) * scale + offset */
    br_scalar x_scale, x_offset;
    br_scalar y_scale, y_offset;
    br_uint_16 view_type; /* transform type of world-to-view */

    /* Model-to-screen of the model render in progress, once asked for. */
    br_boolean m2s_cached;
    br_matrix4 m2s;

    br_camera_path_level camera_path[BR_CAMERA_PATH_LEVELS];
};

extern br_scene_scratch br_scene;

/* The matrix of an actor's transform. */
void BrActorMatrix34(br_matrix34 *m, const br_actor *a);
/* Called by BrActorFree: drops the actor from the enable tables and as the environment. */
void BrDbActorEnableRemove(br_actor *a);

#endif
