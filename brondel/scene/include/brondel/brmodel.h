/* Models: the records the application builds (vertices, faces, materials per face), their registry,
 * and the prepared form the renderer draws (faces grouped by material, split vertices, planes, edges). */
#ifndef BRONDEL_BRMODEL_H
#define BRONDEL_BRMODEL_H

#include <brondel/brlist.h>
#include <brondel/brmath.h>

#ifdef __cplusplus
extern "C" {
#endif

struct br_material;
struct br_actor;
struct br_order_table;
struct br_geometry_stored;
struct br_renderer_state_stored;

/* Resource classes of the database. */
#define BR_MEMORY_VERTICES 4
#define BR_MEMORY_FACES 5
#define BR_MEMORY_MODEL 7
#define BR_MEMORY_MATERIAL 8
#define BR_MEMORY_MATERIAL_INDEX 9
#define BR_MEMORY_ACTOR 10
#define BR_MEMORY_LIGHT 13
#define BR_MEMORY_CAMERA 14
#define BR_MEMORY_BOUNDS 15
#define BR_MEMORY_CLIP_PLANE 16
#define BR_MEMORY_TRANSFORM 19
#define BR_MEMORY_ENABLED_ACTORS 40
#define BR_MEMORY_PREPARED_MODEL 42
#define BR_MEMORY_ORDER_TABLE 43

/* Four colour bytes of a vertex or face. */
typedef struct br_colour_bytes {
    br_uint_8 index;
    br_uint_8 red;
    br_uint_8 green;
    br_uint_8 blue;
} br_colour_bytes;

typedef struct br_vertex {
    br_vector3 p;
    br_vector2 map; /* texture u, v */
    br_colour_bytes colour;
    br_uint_32 _reserved;
    br_vector3 normal;
} br_vertex;

/* Face flag bits that hide an edge: vertex 0 to 1, 1 to 2, 2 to 0. */
#define BR_FACEF_HIDE_EDGE_0 0x01
#define BR_FACEF_HIDE_EDGE_1 0x02
#define BR_FACEF_HIDE_EDGE_2 0x04

typedef struct br_face {
    br_uint_16 vertices[3];
    br_uint_16 smoothing; /* smoothing-group bits */
    struct br_material *material; /* null: inherited */
    br_colour_bytes colour;
    br_uint_8 flags;
    br_uint_8 _reserved[7];
    br_vector3 normal; /* plane, filled in by preparation */
    br_scalar d;
} br_face;

/* Custom render callback of a model with BR_MODF_CUSTOM; its result is the model render's. */
struct br_model;
typedef br_uint_32 br_model_custom_cbfn(struct br_actor *actor, struct br_model *model,
                                        struct br_material *material, struct br_order_table *order_table,
                                        br_uint_8 style, int on_screen);

/* Model flags. */
#define BR_MODF_NO_POSITION_MERGE 0x0001 /* corners merge only when they share a source vertex */
#define BR_MODF_KEEP_SOURCE 0x0002     /* both imply BR_MODF_UPDATEABLE */
#define BR_MODF_KEEP_SOURCE_2 0x0004
#define BR_MODF_CUSTOM 0x0020          /* render through the custom callback */
#define BR_MODF_NEVER_PREPARE 0x0040   /* never prepared */
#define BR_MODF_UPDATEABLE 0x0080      /* source vertices and faces are kept */
#define BR_MODF_USE_CREASE 0x0100         /* smoothing also limited by the crease angle */
#define BR_MODF_GIVEN_NORMALS 0x0200 /* source vertex normals used as given */
#define BR_MODF_GIVEN_BOUNDS 0x0400  /* bounds and radius are the caller's */
#define BR_MODF_STORED_GEOMETRY 0x0800     /* ask the renderer for stored geometry */
#define BR_MODF_FACE_WITHOUT_MATERIAL 0x8000    /* set by preparation: a face has no material */

/* Update flags of BrModelUpdate. */
#define BR_MODU_POSITIONS 0x0001
#define BR_MODU_VERTEX_COLOURS 0x0002
#define BR_MODU_MAPPING 0x0004
#define BR_MODU_NORMALS 0x0008
#define BR_MODU_FACE_COLOURS 0x0020
#define BR_MODU_BOUNDS 0x0040
#define BR_MODU_PIVOT 0x0100            /* implies positions */
#define BR_MODU_REBUILD 0xffd0          /* any of these rebuilds the prepared block */
#define BR_MODU_ALL 0x7fff

/* Prepared model, one block (resource class PREPARED_MODEL, 32-byte aligned, a child of the model).
 * Groups, their faces and their vertices are in ascending order of material pointer; group g's faces
 * and vertices follow those of group g - 1 in the shared arrays. */
typedef struct br_prepared_vertex {
    br_vector3 p;   /* source position minus the model's pivot */
    br_vector2 map;
    br_vector3 n;   /* unit normal */
} br_prepared_vertex;

typedef struct br_prepared_face {
    br_uint_16 vertices[3]; /* local to the group */
    br_uint_16 edges[3];    /* 0: hidden edge; equal numbers within a group: one shared edge */
    br_vector3 n;           /* plane normal */
    br_scalar d;            /* plane distance */
} br_prepared_face;

typedef struct br_prepared_group {
    struct br_renderer_state_stored *stored; /* the material's state, null for faces without material */
    br_prepared_face *faces;
    br_uint_32 *face_colours;   /* index << 24 | red << 16 | green << 8 | blue */
    br_uint_16 *face_user;      /* source face number per prepared face */
    br_prepared_vertex *vertices;
    br_uint_32 *vertex_colours; /* packed as face colours */
    br_uint_16 *vertex_user;    /* source vertex number per prepared vertex */
    br_uint_16 nfaces;
    br_uint_16 nvertices;
    br_uint_16 nedges;          /* highest edge number + 1 */
    /* The material the faces share (null for none), kept to find the group again when the
     * material's renderer state changes; compared, never read through. */
    struct br_material *material;
} br_prepared_group;

typedef struct br_prepared_model {
    br_uint_32 size; /* bytes in the block */
    br_uint_16 ngroups;
    br_prepared_group *groups;
} br_prepared_model;

typedef struct br_model {
    br_uint_32 _reserved;
    char *identifier;
    br_vertex *vertices;
    br_face *faces;
    br_uint_16 nvertices;
    br_uint_16 nfaces;
    br_vector3 pivot;
    br_uint_16 flags;
    br_model_custom_cbfn *custom;
    void *user;
    br_angle crease_angle;
    br_scalar radius;
    br_bounds3 bounds;
    br_prepared_model *prepared;
    struct br_geometry_stored *stored;
} br_model;

/* Map types of BrModelApplyMap. */
enum {
    BR_MAP_PLANAR = 0,
    BR_MAP_SPHERICAL = 1,
    BR_MAP_CYLINDRICAL = 2,
    BR_MAP_DISC = 3,
    BR_MAP_NONE = 4,
};

/* Axes of BrModelFitMap. */
enum {
    BR_FIT_PLUS_X = 0,
    BR_FIT_PLUS_Y = 1,
    BR_FIT_PLUS_Z = 2,
    BR_FIT_MINUS_X = 3,
    BR_FIT_MINUS_Y = 4,
    BR_FIT_MINUS_Z = 5,
};

typedef br_model *br_model_find_cbfn(const char *name);
typedef br_uint_32 br_model_enum_cbfn(br_model *model, void *arg);

br_model *BrModelAllocate(const char *name, int nvertices, int nfaces);
void BrModelFree(br_model *model);
void BrModelUpdate(br_model *model, br_uint_16 flags);
void BrModelClear(br_model *model);
void BrModelApplyMap(br_model *model, int map_type, br_matrix34 *xform);
br_matrix34 *BrModelFitMap(br_model *model, int axis_0, int axis_1, br_matrix34 *transform);

br_model *BrModelAdd(br_model *model);
br_model *BrModelRemove(br_model *model);
br_model *BrModelFind(const char *pattern);
br_model_find_cbfn *BrModelFindHook(br_model_find_cbfn *hook);
br_uint_32 BrModelAddMany(br_model **items, int n);
br_uint_32 BrModelRemoveMany(br_model **items, int n);
br_uint_32 BrModelFindMany(const char *pattern, br_model **items, int max);
br_uint_32 BrModelCount(const char *pattern);
br_uint_32 BrModelEnum(const char *pattern, br_model_enum_cbfn *callback, void *arg);

#ifdef __cplusplus
}
#endif

#endif
