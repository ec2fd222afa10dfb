/* Materials, texture maps and shade/blend tables: the records, their registries and their
 * preparation into renderer state and buffers. */
#ifndef BRONDEL_BRMATERIAL_H
#define BRONDEL_BRMATERIAL_H

#include <brondel/brmath.h>
#include <brondel/brtoken.h>

#ifdef __cplusplus
extern "C" {
#endif

struct br_pixelmap;
struct br_renderer_state_stored;

/* 0x00RRGGBB */
typedef br_uint_32 br_colour;

/* Material flags. */
#define BR_MATF_LIT 0x00000001
#define BR_MATF_GEOMETRY_COLOURS 0x00000002 /* colours from the geometry, lighting off */
#define BR_MATF_SMOOTH 0x00000004
#define BR_MATF_ENV_INFINITE 0x00000008
#define BR_MATF_ENV_LOCAL 0x00000010
#define BR_MATF_PERSPECTIVE 0x00000020
#define BR_MATF_DECAL 0x00000040
#define BR_MATF_NO_CULL 0x00000800 /* no face culling */
#define BR_MATF_TWO_SIDED 0x00001000
#define BR_MATF_FORCE_FRONT 0x00002000
#define BR_MATF_DITHER 0x00004000
#define BR_MATF_MAP_ANTIALIAS 0x00010000
#define BR_MATF_MAP_LINEAR 0x00020000
#define BR_MATF_MIP_LINEAR 0x00040000
#define BR_MATF_FOG 0x00080000
#define BR_MATF_SUBDIVIDE 0x00100000

/* Update flags of BrMaterialUpdate. */
#define BR_MATU_MAP_MATRIX 0x0001
#define BR_MATU_PRIMITIVE 0x0002
#define BR_MATU_SURFACE 0x0004
#define BR_MATU_BUFFERS 0x0008 /* map and table buffers */
#define BR_MATU_SCREEN_DOOR 0x0010
#define BR_MATU_SURFACE_EXTRA 0x0020
#define BR_MATU_PRIMITIVE_EXTRA 0x0040
#define BR_MATU_ALL 0x7fff

/* Update flags of BrMapUpdate and BrTableUpdate. */
#define BR_MAPU_ALL 0x0fff
#define BR_MAPU_PREFER_SHARE 0x8000 /* prefer a buffer that shares the pixel map's memory */
#define BR_TABU_ALL 0x7fff

typedef struct br_material {
    br_uint_32 _reserved;
    char *identifier;
    br_colour colour;
    br_uint_8 opacity; /* 255 opaque */
    br_scalar ka;
    br_scalar kd;
    br_scalar ks;
    br_scalar power;
    br_uint_32 flags;
    br_matrix23 map_transform;
    br_uint_8 index_base;
    br_uint_8 index_range;
    struct br_pixelmap *colour_map;
    struct br_pixelmap *screendoor;
    struct br_pixelmap *index_shade;
    struct br_pixelmap *index_blend;
    struct br_pixelmap *index_fog;
    br_token_value *surface_extra;
    br_token_value *primitive_extra;
    br_scalar fog_min;
    br_scalar fog_max;
    br_colour fog_colour;
    br_int_32 subdivide_tolerance;
    br_uint_32 _reserved2;
    struct br_renderer_state_stored *stored; /* null until updated with a renderer */
} br_material;

typedef br_material *br_material_find_cbfn(const char *name);
typedef br_uint_32 br_material_enum_cbfn(br_material *material, void *arg);
typedef struct br_pixelmap *br_map_find_cbfn(const char *name);
typedef br_uint_32 br_map_enum_cbfn(struct br_pixelmap *map, void *arg);
typedef struct br_pixelmap *br_table_find_cbfn(const char *name);
typedef br_uint_32 br_table_enum_cbfn(struct br_pixelmap *table, void *arg);

br_material *BrMaterialAllocate(const char *name);
void BrMaterialFree(br_material *material);
void BrMaterialUpdate(br_material *material, br_uint_16 flags);
void BrMaterialClear(br_material *material);

br_material *BrMaterialAdd(br_material *material);
br_material *BrMaterialRemove(br_material *material);
br_material *BrMaterialFind(const char *pattern);
br_material_find_cbfn *BrMaterialFindHook(br_material_find_cbfn *hook);
br_uint_32 BrMaterialAddMany(br_material **items, int n);
br_uint_32 BrMaterialRemoveMany(br_material **items, int n);
br_uint_32 BrMaterialFindMany(const char *pattern, br_material **items, int max);
br_uint_32 BrMaterialCount(const char *pattern);
br_uint_32 BrMaterialEnum(const char *pattern, br_material_enum_cbfn *callback, void *arg);

br_error BrMapUpdate(struct br_pixelmap *map, br_uint_16 flags);
void BrMapClear(struct br_pixelmap *map);
struct br_pixelmap *BrMapAdd(struct br_pixelmap *map);
struct br_pixelmap *BrMapRemove(struct br_pixelmap *map);
struct br_pixelmap *BrMapFind(const char *pattern);
br_map_find_cbfn *BrMapFindHook(br_map_find_cbfn *hook);
br_uint_32 BrMapAddMany(struct br_pixelmap **items, int n);
br_uint_32 BrMapRemoveMany(struct br_pixelmap **items, int n);
br_uint_32 BrMapFindMany(const char *pattern, struct br_pixelmap **items, int max);
br_uint_32 BrMapCount(const char *pattern);
br_uint_32 BrMapEnum(const char *pattern, br_map_enum_cbfn *callback, void *arg);

br_error BrTableUpdate(struct br_pixelmap *table, br_uint_16 flags);
void BrTableClear(struct br_pixelmap *table);
struct br_pixelmap *BrTableAdd(struct br_pixelmap *table);
struct br_pixelmap *BrTableRemove(struct br_pixelmap *table);
struct br_pixelmap *BrTableFind(const char *pattern);
br_table_find_cbfn *BrTableFindHook(br_table_find_cbfn *hook);
br_uint_32 BrTableAddMany(struct br_pixelmap **items, int n);
br_uint_32 BrTableRemoveMany(struct br_pixelmap **items, int n);
br_uint_32 BrTableFindMany(const char *pattern, struct br_pixelmap **items, int max);
br_uint_32 BrTableCount(const char *pattern);
br_uint_32 BrTableEnum(const char *pattern, br_table_enum_cbfn *callback, void *arg);

#ifdef __cplusplus
}
#endif

#endif
