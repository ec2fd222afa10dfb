// The four registries of the database: models, materials, texture maps and shade/blend tables.
// Adding an item prepares it for the renderer; removing it clears that preparation.
#include <stddef.h>

#include "dbstate.h"

// The core's registry reads an item's identifier from the word after one reserved word.
static_assert(offsetof(br_model, identifier) == sizeof(void *));
static_assert(offsetof(br_material, identifier) == sizeof(void *));

typedef struct br_pixelmap br_pixelmap;

namespace {

void *model_find_failed(const char *pattern)
{
    return v1db.model_find_hook ? v1db.model_find_hook(pattern) : nullptr;
}

void *material_find_failed(const char *pattern)
{
    return v1db.material_find_hook ? v1db.material_find_hook(pattern) : nullptr;
}

void *map_find_failed(const char *pattern)
{
    return v1db.map_find_hook ? v1db.map_find_hook(pattern) : nullptr;
}

void *table_find_failed(const char *pattern)
{
    return v1db.table_find_hook ? v1db.table_find_hook(pattern) : nullptr;
}

// One family: its registry and what adding and removing do to an item.
template <typename T> struct family {
    br_registry *reg;
    void (*update)(T *item);
    void (*clear)(T *item);
};

template <typename T> T *add(const family<T> &f, T *item)
{
    if (item == nullptr || BrRegistryAdd(f.reg, item) == nullptr)
        return nullptr;
    f.update(item);
    return item;
}

template <typename T> T *remove(const family<T> &f, T *item)
{
    if (item == nullptr)
        return nullptr;
    f.clear(item);
    return (T *)BrRegistryRemove(f.reg, item);
}

template <typename T> br_uint_32 add_many(const family<T> &f, T **items, int n)
{
    br_uint_32 r = 0;
    for (int i = 0; i < n; i++) {
        if (items[i] == nullptr)
            continue;
        add(f, items[i]);
        r++;
    }
    return r;
}

template <typename T> br_uint_32 remove_many(const family<T> &f, T **items, int n)
{
    br_uint_32 r = 0;
    for (int i = 0; i < n; i++)
        if (remove(f, items[i]) != nullptr)
            r++;
    return r;
}

template <typename T> struct enum_args {
    br_uint_32 (*callback)(T *item, void *arg);
    void *arg;
};

template <typename T> br_uint_32 enum_one(void *item, void *arg)
{
    enum_args<T> *a = (enum_args<T> *)arg;
    return a->callback((T *)item, a->arg);
}

template <typename T>
br_uint_32 enumerate(br_registry *reg, const char *pattern, br_uint_32 (*callback)(T *, void *), void *arg)
{
    if (callback == nullptr)
        return 0;
    enum_args<T> a = {callback, arg};
    return (br_uint_32)BrRegistryEnum(reg, pattern, enum_one<T>, &a);
}

void model_update(br_model *m) { BrModelUpdate(m, BR_MODU_ALL); }
void material_update(br_material *m) { BrMaterialUpdate(m, BR_MATU_ALL); }
void map_update(br_pixelmap *pm) { BrMapUpdate(pm, BR_MAPU_ALL); }
void table_update(br_pixelmap *pm) { BrTableUpdate(pm, BR_TABU_ALL); }

const family<br_model> models = {&v1db.reg_models, model_update, BrModelClear};
const family<br_material> materials = {&v1db.reg_materials, material_update, BrMaterialClear};
const family<br_pixelmap> maps = {&v1db.reg_textures, map_update, BrMapClear};
const family<br_pixelmap> tables = {&v1db.reg_tables, table_update, BrTableClear};

br_uint_32 is_item(void *item, void *arg)
{
    return item == arg;
}

} // namespace

void BrDbRegistriesBegin(void)
{
    v1db.reg_models.find_failed_hook = model_find_failed;
    v1db.reg_materials.find_failed_hook = material_find_failed;
    v1db.reg_textures.find_failed_hook = map_find_failed;
    v1db.reg_tables.find_failed_hook = table_find_failed;
}

br_boolean BrDbRegistered(br_registry *reg, void *item)
{
    return BrRegistryEnum(reg, nullptr, is_item, item) != 0;
}

br_model *BrModelAdd(br_model *model) { return add(models, model); }
br_model *BrModelRemove(br_model *model) { return remove(models, model); }
br_model *BrModelFind(const char *pattern) { return (br_model *)BrRegistryFind(&v1db.reg_models, pattern); }
br_model_find_cbfn *BrModelFindHook(br_model_find_cbfn *hook)
{
    br_model_find_cbfn *old = v1db.model_find_hook;
    v1db.model_find_hook = hook;
    return old;
}
br_uint_32 BrModelAddMany(br_model **items, int n) { return add_many(models, items, n); }
br_uint_32 BrModelRemoveMany(br_model **items, int n) { return remove_many(models, items, n); }
br_uint_32 BrModelFindMany(const char *pattern, br_model **items, int max)
{
    return (br_uint_32)BrRegistryFindMany(&v1db.reg_models, pattern, (void **)items, max);
}
br_uint_32 BrModelCount(const char *pattern) { return (br_uint_32)BrRegistryCount(&v1db.reg_models, pattern); }
br_uint_32 BrModelEnum(const char *pattern, br_model_enum_cbfn *callback, void *arg)
{
    return enumerate(&v1db.reg_models, pattern, callback, arg);
}

br_material *BrMaterialAdd(br_material *material) { return add(materials, material); }
br_material *BrMaterialRemove(br_material *material) { return remove(materials, material); }
br_material *BrMaterialFind(const char *pattern)
{
    return (br_material *)BrRegistryFind(&v1db.reg_materials, pattern);
}
br_material_find_cbfn *BrMaterialFindHook(br_material_find_cbfn *hook)
{
    br_material_find_cbfn *old = v1db.material_find_hook;
    v1db.material_find_hook = hook;
    return old;
}
br_uint_32 BrMaterialAddMany(br_material **items, int n) { return add_many(materials, items, n); }
br_uint_32 BrMaterialRemoveMany(br_material **items, int n) { return remove_many(materials, items, n); }
br_uint_32 BrMaterialFindMany(const char *pattern, br_material **items, int max)
{
    return (br_uint_32)BrRegistryFindMany(&v1db.reg_materials, pattern, (void **)items, max);
}
br_uint_32 BrMaterialCount(const char *pattern)
{
    return (br_uint_32)BrRegistryCount(&v1db.reg_materials, pattern);
}
br_uint_32 BrMaterialEnum(const char *pattern, br_material_enum_cbfn *callback, void *arg)
{
    return enumerate(&v1db.reg_materials, pattern, callback, arg);
}

br_pixelmap *BrMapAdd(br_pixelmap *map) { return add(maps, map); }
br_pixelmap *BrMapRemove(br_pixelmap *map) { return remove(maps, map); }
br_pixelmap *BrMapFind(const char *pattern) { return (br_pixelmap *)BrRegistryFind(&v1db.reg_textures, pattern); }
br_map_find_cbfn *BrMapFindHook(br_map_find_cbfn *hook)
{
    br_map_find_cbfn *old = v1db.map_find_hook;
    v1db.map_find_hook = hook;
    return old;
}
br_uint_32 BrMapAddMany(br_pixelmap **items, int n) { return add_many(maps, items, n); }
br_uint_32 BrMapRemoveMany(br_pixelmap **items, int n) { return remove_many(maps, items, n); }
br_uint_32 BrMapFindMany(const char *pattern, br_pixelmap **items, int max)
{
    return (br_uint_32)BrRegistryFindMany(&v1db.reg_textures, pattern, (void **)items, max);
}
br_uint_32 BrMapCount(const char *pattern) { return (br_uint_32)BrRegistryCount(&v1db.reg_textures, pattern); }
br_uint_32 BrMapEnum(const char *pattern, br_map_enum_cbfn *callback, void *arg)
{
    return enumerate(&v1db.reg_textures, pattern, callback, arg);
}

br_pixelmap *BrTableAdd(br_pixelmap *table) { return add(tables, table); }
br_pixelmap *BrTableRemove(br_pixelmap *table) { return remove(tables, table); }
br_pixelmap *BrTableFind(const char *pattern) { return (br_pixelmap *)BrRegistryFind(&v1db.reg_tables, pattern); }
br_table_find_cbfn *BrTableFindHook(br_table_find_cbfn *hook)
{
    br_table_find_cbfn *old = v1db.table_find_hook;
    v1db.table_find_hook = hook;
    return old;
}
br_uint_32 BrTableAddMany(br_pixelmap **items, int n) { return add_many(tables, items, n); }
br_uint_32 BrTableRemoveMany(br_pixelmap **items, int n) { return remove_many(tables, items, n); }
br_uint_32 BrTableFindMany(const char *pattern, br_pixelmap **items, int max)
{
    return (br_uint_32)BrRegistryFindMany(&v1db.reg_tables, pattern, (void **)items, max);
}
br_uint_32 BrTableCount(const char *pattern) { return (br_uint_32)BrRegistryCount(&v1db.reg_tables, pattern); }
br_uint_32 BrTableEnum(const char *pattern, br_table_enum_cbfn *callback, void *arg)
{
    return enumerate(&v1db.reg_tables, pattern, callback, arg);
}
