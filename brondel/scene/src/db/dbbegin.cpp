// Database begin and end, and the whole-library begin and end.
#include <string.h>

#include "dbstate.h"

br_v1db_state v1db;

namespace {

// Filled before main (or at module load) by the renderer the carrier links; outlives databases.
br_images_add_cbfn *images_add[4];

br_resource_class db_resource_classes[] = {
    {0, "VERTICES", BR_MEMORY_VERTICES, nullptr, 0},
    {0, "FACES", BR_MEMORY_FACES, nullptr, 0},
    {0, "MODEL", BR_MEMORY_MODEL, nullptr, 0},
    {0, "MATERIAL", BR_MEMORY_MATERIAL, nullptr, 0},
    {0, "MATERIAL_INDEX", BR_MEMORY_MATERIAL_INDEX, nullptr, 0},
    {0, "ACTOR", BR_MEMORY_ACTOR, nullptr, 0},
    {0, "LIGHT", BR_MEMORY_LIGHT, nullptr, 0},
    {0, "CAMERA", BR_MEMORY_CAMERA, nullptr, 0},
    {0, "BOUNDS", BR_MEMORY_BOUNDS, nullptr, 0},
    {0, "CLIP_PLANE", BR_MEMORY_CLIP_PLANE, nullptr, 0},
    {0, "TRANSFORM", BR_MEMORY_TRANSFORM, nullptr, 0},
    {0, "ENABLED_ACTORS", BR_MEMORY_ENABLED_ACTORS, nullptr, 0},
    {0, "PREPARED_MODEL", BR_MEMORY_PREPARED_MODEL, nullptr, 32},
    {0, "ORDER_TABLE", BR_MEMORY_ORDER_TABLE, nullptr, 32},
};

// Actor types the enable tables hold.
constexpr br_int_32 ACTOR_LIGHT = 2;
constexpr br_int_32 ACTOR_CLIP_PLANE = 7;
constexpr br_int_32 ACTOR_HORIZON_PLANE = 8;

void enable_init(br_v1db_enable *e, br_int_32 max, br_int_32 type, const char *name)
{
    e->max = max;
    e->type = type;
    e->name = name;
}

br_model *default_model_make(void)
{
    const br_model &src = br_default_model_source;
    br_model *m = (br_model *)BrResAllocate(v1db.res, sizeof(br_model), BR_MEMORY_MODEL);
    if (m == nullptr)
        return nullptr;
    *m = src;
    // Own copies, so a change to the default model never writes into the static record.
    m->vertices = (br_vertex *)BrResAllocate(m, sizeof(br_vertex) * src.nvertices, BR_MEMORY_VERTICES);
    m->faces = (br_face *)BrResAllocate(m, sizeof(br_face) * src.nfaces, BR_MEMORY_FACES);
    if (m->vertices == nullptr || m->faces == nullptr) {
        BrResFree(m);
        return nullptr;
    }
    memcpy(m->vertices, src.vertices, sizeof(br_vertex) * src.nvertices);
    memcpy(m->faces, src.faces, sizeof(br_face) * src.nfaces);
    return m;
}

// Ends the renderer when one runs, so no map or material (which may belong to another module)
// keeps a pointer into it, then frees everything the database allocated.
void db_close(void)
{
    if (v1db.renderer != nullptr)
        BrDbRendererEnd();
    BrPixelmapFreeHook(v1db.old_pixelmap_free_hook);
    v1db.active = 0;
    if (v1db.res != nullptr)
        BrResFree(v1db.res);
    memset(&v1db, 0, sizeof(v1db));
}

} // namespace

br_error BrDbImagesRegister(br_images_add_cbfn *add)
{
    if (add == nullptr)
        return BRE_FAIL;
    for (br_images_add_cbfn *&slot : images_add) {
        if (slot == add)
            return BRE_OK;
        if (slot == nullptr) {
            slot = add;
            // A carrier may begin the database while it loads, before this registration ran.
            if (v1db.active)
                add();
            return BRE_OK;
        }
    }
    return BRE_FAIL;
}

br_error BrV1dbBegin(void)
{
    if (v1db.active)
        return BRE_ALREADY_ACTIVE;

    memset(&v1db, 0, sizeof(v1db));
    v1db.active = 1;

    BrRegistryNew(&v1db.reg_models);
    BrRegistryNew(&v1db.reg_materials);
    BrRegistryNew(&v1db.reg_textures);
    BrRegistryNew(&v1db.reg_tables);
    BrDbRegistriesBegin();

    // The renderer compiled into the carrier is found by name like any driver.
    for (br_images_add_cbfn *add : images_add)
        if (add != nullptr)
            add();
    v1db.old_pixelmap_free_hook = BrPixelmapFreeHook(BrDbPixelmapFreed);
    v1db.res = BrResAllocate(nullptr, 0, BR_MEMORY_ANCHOR);

    // A database begun again under the same core finds its classes still registered.
    for (br_resource_class &c : db_resource_classes)
        if (BrResClassFind(c.identifier) != &c)
            BrResClassAdd(&c);

    v1db.default_model = default_model_make();
    v1db.default_material = BrDbDefaultMaterialMake(v1db.res);

    enable_init(&v1db.enabled_lights, 16, ACTOR_LIGHT, "light");
    enable_init(&v1db.enabled_clip_planes, 6, ACTOR_CLIP_PLANE, "clip plane");
    enable_init(&v1db.enabled_horizon_planes, 6, ACTOR_HORIZON_PLANE, "horizon plane");
    return BRE_OK;
}

br_error BrV1dbEnd(void)
{
    if (!v1db.active)
        return BRE_NOT_ACTIVE;
    db_close();
    return BRE_OK;
}

br_error BrBegin(void)
{
    BrCoreBegin();
    return BrV1dbBegin();
}

br_error BrEnd(void)
{
    if (v1db.active)
        db_close();
    return BrCoreEnd();
}
