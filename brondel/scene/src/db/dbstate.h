/* The database state record of this instance, hidden inside the carrier. */
#ifndef BRONDEL_DBSTATE_H
#define BRONDEL_DBSTATE_H

#include <brondel/brcore.h>
#include <brondel/brpixmap.h>
#include <brondel/brscene.h>
#include <brondel/brv1db.h>

struct br_actor;
struct br_renderer;
struct br_geometry;
struct br_order_table;

/* Enabled lights, clip planes or horizon planes: slots allocated on first enable. */
struct br_v1db_enable {
    br_int_32 max;
    br_int_32 count;
    br_int_32 type;
    const char *name;
    struct br_actor **enabled;
};

struct br_v1db_state {
    br_boolean active;
    br_boolean zs_active;
    br_boolean zb_active;
    br_int_32 rendering; /* 0 none, 1 z-buffer scene, 2 z-sort scene */

    struct br_renderer *renderer;
    struct br_geometry *format_model;
    struct br_geometry *format_buckets; /* optional */
    struct br_geometry *format_lighting;

    br_registry reg_models;
    br_registry reg_materials;
    br_registry reg_textures;
    br_registry reg_tables;
    br_model_find_cbfn *model_find_hook;
    br_material_find_cbfn *material_find_hook;
    br_map_find_cbfn *map_find_hook;
    br_table_find_cbfn *table_find_hook;

    void *res;

    br_model *default_model;
    br_material *default_material;

    br_v1db_enable enabled_lights;
    br_v1db_enable enabled_clip_planes;
    br_v1db_enable enabled_horizon_planes;
    struct br_actor *enabled_environment;

    /* Light and clip-plane indices handed to the renderer at the previous render. */
    br_int_32 lights_sent;
    br_int_32 clip_planes_sent;

    /* Order tables of the z-sort side: the static default table (set at renderer start), the
     * scene-wide table (null: none), the one inherited at the top of the render in progress, and
     * the tables that render has used so far, far first. */
    struct br_order_table *default_order_table;
    struct br_order_table *primary_order_table;
    struct br_order_table *current_order_table;
    struct br_order_table *order_list;

    /* The caller's z-sort primitive heap; its position goes back to the start at each z-sort
     * scene begin. */
    br_primitive_heap heap;

    /* The render in progress: its world (null outside one) and destination. */
    struct br_actor *render_world;
    const struct br_pixelmap *colour_buffer;

    /* Callbacks of the application, handed to every renderer started while they are set. */
    br_renderbounds_cbfn *bounds_callback;
    br_primitive_cbfn *primitive_callback;

    /* The pixel-map free hook that was set before this database took it. */
    br_pixelmap_free_cbfn *old_pixelmap_free_hook;
};

extern br_v1db_state v1db;

/* The records begin copies: the cube and "default_mat". */
extern const br_model br_default_model_source;
br_material *BrDbDefaultMaterialMake(void *parent);

/* Points the registries' find-failed hooks at the database's own. */
void BrDbRegistriesBegin(void);
/* Renderer end: clears the renderer data of every registered item and of the defaults, then frees
 * the renderer. 0x1002 without a renderer. */
br_error BrDbRendererEnd(void);
/* Stored geometry for a prepared model when the renderer offers it and the model asks. */
void BrDbModelStoredMake(br_model *model);
/* Points the prepared groups of every prepared model that uses the material at its current
 * renderer state (null once it has none). */
void BrDbGroupsRepoint(br_material *material);
/* The static default order table of the z-sort side. */
struct br_order_table *BrDbDefaultOrderTable(void);
/* The pixel-map free hook of the database: the map leaves the registries and every material. */
void BrDbPixelmapFreed(struct br_pixelmap *pm);
/* Whether the item is in the registry. */
br_boolean BrDbRegistered(br_registry *reg, void *item);

#endif
