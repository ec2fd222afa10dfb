/* The actor tree: the nodes of a scene (models, lights, cameras, bounds, clip planes) placed by a
 * transform in their parent's space, the matrices between actors and from a camera to the screen,
 * and the enabled lights, clip planes, horizon planes and environment. */
#ifndef BRONDEL_BRACTOR_H
#define BRONDEL_BRACTOR_H

#include <brondel/brmath.h>
#include <brondel/brmodel.h>
#include <brondel/brtoken.h>

#ifdef __cplusplus
extern "C" {
#endif

struct br_material;
struct br_order_table;

/* Actor types. */
enum {
    BR_ACTOR_NONE = 0,
    BR_ACTOR_MODEL = 1,
    BR_ACTOR_LIGHT = 2,
    BR_ACTOR_CAMERA = 3,
    _BR_ACTOR_RESERVED = 4,
    BR_ACTOR_BOUNDS = 5,
    BR_ACTOR_BOUNDS_CORRECT = 6,
    BR_ACTOR_CLIP_PLANE = 7,
    BR_ACTOR_HORIZON_PLANE = 8,
};

/* Render styles; each subtree inherits its parent's unless it sets its own. */
enum {
    BR_RSTYLE_DEFAULT = 0,
    BR_RSTYLE_NONE = 1,
    BR_RSTYLE_POINTS = 2,
    BR_RSTYLE_EDGES = 3,
    BR_RSTYLE_FACES = 4,
    BR_RSTYLE_BOUNDING_POINTS = 5,
    BR_RSTYLE_BOUNDING_EDGES = 6,
    BR_RSTYLE_BOUNDING_FACES = 7,
};

/* The first two words are a simple-list node: the children of an actor form its simple list. */
typedef struct br_actor {
    struct br_actor *next;
    struct br_actor **prev;
    struct br_actor *children;
    struct br_actor *parent;
    br_uint_16 depth;
    br_uint_8 type;
    char *identifier;
    br_model *model;             /* null: inherited */
    struct br_material *material; /* null: inherited */
    br_uint_8 render_style;      /* BR_RSTYLE_DEFAULT: inherited */
    struct br_order_table *render_data; /* null: inherited */
    br_transform t;
    void *type_data;
    void *user;
} br_actor;

/* Light types; BR_LIGHT_VIEW added means the light is given in view space. */
enum {
    BR_LIGHT_POINT = 0,
    BR_LIGHT_DIRECT = 1,
    BR_LIGHT_SPOT = 2,
    BR_LIGHT_TYPE = 3,
    BR_LIGHT_VIEW = 4,
};

typedef struct br_light {
    char *identifier;
    br_uint_8 type;
    br_uint_32 colour; /* 0x00RRGGBB */
    br_scalar attenuation_c;
    br_scalar attenuation_l;
    br_scalar attenuation_q;
    br_angle cone_outer;
    br_angle cone_inner;
} br_light;

/* Camera types. The games use 3 (parallel, centred, width and height the half extents) and 4
 * (perspective, centred). */
enum {
    BR_CAMERA_PARALLEL = 0,
    BR_CAMERA_PERSPECTIVE = 1,
    BR_CAMERA_PERSPECTIVE_OLD = 2,
    BR_CAMERA_PARALLEL_CENTRED = 3,
    BR_CAMERA_PERSPECTIVE_CENTRED = 4,
};

typedef struct br_camera {
    char *identifier;
    br_uint_8 type;
    br_angle field_of_view;
    br_scalar hither_z;
    br_scalar yon_z;
    br_scalar aspect;
    br_scalar width;
    br_scalar height;
} br_camera;

typedef struct br_plane {
    br_vector4 eqn;
} br_plane;

typedef br_uint_32 br_actor_enum_cbfn(br_actor *actor, void *arg);

br_actor *BrActorAllocate(br_uint_8 type, void *type_data);
/* Frees the actor with its subtree; an actor still in a tree is taken out of it first. */
void BrActorFree(br_actor *actor);
/* Moves the child (with its subtree) to the head of the parent's children. Refused (null, nothing
 * changed) when the parent is the child or lies below it. */
br_actor *BrActorAdd(br_actor *parent, br_actor *child);
br_actor *BrActorRemove(br_actor *actor);
/* Moves the actor under a new parent keeping its place in the world. */
void BrActorRelink(br_actor *parent, br_actor *actor);
br_uint_32 BrActorEnum(br_actor *parent, br_actor_enum_cbfn *callback, void *arg);
/* Path of name patterns separated by '/'. */
br_uint_32 BrActorSearchMany(br_actor *root, const char *pattern, br_actor **actors, int max);
br_actor *BrActorSearch(br_actor *root, const char *pattern);

/* The matrix taking points in a's space into b's space; returns its transform type. */
br_uint_16 BrActorToActorMatrix34(br_matrix34 *m, br_actor *a, br_actor *b);
/* 1 when the walk up from the actor reached root. */
br_boolean BrActorToRootMatrix34(br_actor *a, br_actor *root, br_matrix34 *m, br_uint_16 *xform_type);
/* BRT_PERSPECTIVE, BRT_PARALLEL, or 0 for an unknown camera type. */
br_token BrCameraToScreenMatrix4(br_matrix4 *m, br_actor *camera);
void BrActorToScreenMatrix4(br_matrix4 *m, br_actor *a, br_actor *camera);
br_bounds3 *BrActorToBounds(br_bounds3 *b, br_actor *ap);

/* The combined transform type of two transforms applied one after the other. */
br_uint_16 BrTransformTypeCombine(br_uint_16 a, br_uint_16 b);

void BrLightEnable(br_actor *light);
void BrLightDisable(br_actor *light);
void BrClipPlaneEnable(br_actor *plane);
void BrClipPlaneDisable(br_actor *plane);
void BrHorizonPlaneEnable(br_actor *plane);
void BrHorizonPlaneDisable(br_actor *plane);
/* Returns the previous environment actor. */
br_actor *BrEnvironmentSet(br_actor *environment);

#ifdef __cplusplus
}
#endif

#endif
