// Resource classes: a registry of class records plus the table indexed by class id.
#include "fwstate.h"

br_resource_class BrFwResourceClasses[] = {
    {0, "REGISTRY", BR_MEMORY_REGISTRY, nullptr, 0},
    {0, "ANCHOR", BR_MEMORY_ANCHOR, nullptr, 0},
    {0, "RESOURCE_CLASS", BR_MEMORY_RESOURCE_CLASS, nullptr, 0},
    {0, "SCRATCH,", BR_MEMORY_SCRATCH, nullptr, 16},
    {0, "STRING", BR_MEMORY_STRING, nullptr, 1},
    {0, "FILE", BR_MEMORY_FILE, BrFwFileFree, 0},
    {0, "POOL", BR_MEMORY_POOL, nullptr, 16},
    {0, "EXCEPTION_HANDLER", BR_MEMORY_EXCEPTION_HANDLER, nullptr, 0},
    {0, "TOKEN", BR_MEMORY_TOKEN, nullptr, 0},
    {0, "TOKEN_MAP", BR_MEMORY_TOKEN_MAP, nullptr, 8},
    {0, "DATAFILE", BR_MEMORY_DATAFILE, nullptr, 0},
    {0, "LEXER", BR_MEMORY_LEXER, nullptr, 0},
    {0, "OBJECT_LIST", BR_MEMORY_OBJECT_LIST, nullptr, 0},
    {0, "OBJECT_LIST_ENTRY", BR_MEMORY_OBJECT_LIST_ENTRY, nullptr, 0},
    {0, "APPLICATION", BR_MEMORY_APPLICATION, nullptr, 0},
    {0, "IMAGE", BR_MEMORY_IMAGE, BrFwImageFree, 0},
    {0, "IMAGE_ARENA", BR_MEMORY_IMAGE_ARENA, nullptr, 0},
    {0, "IMAGE_SECTIONS", BR_MEMORY_IMAGE_SECTIONS, nullptr, 0},
    {0, "IMAGE_NAMES", BR_MEMORY_IMAGE_NAMES, nullptr, 0},
    {0, "OBJECT", BR_MEMORY_OBJECT, BrFwObjectFree, 16},
    {0, "OBJECT_DATA", BR_MEMORY_OBJECT_DATA, nullptr, 16},
    {0, "DRIVER", BR_MEMORY_DRIVER, nullptr, 0},
    {0, "FMT_RESULTS", BR_MEMORY_FMT_RESULTS, nullptr, 0},
    {0, "TOKEN_VALUE", BR_MEMORY_TOKEN_VALUE, nullptr, 0},
    {0, "TOKEN_TEMPLATE", BR_MEMORY_TOKEN_TEMPLATE, nullptr, 0},
};

const int BrFwResourceClassCount = sizeof(BrFwResourceClasses) / sizeof(BrFwResourceClasses[0]);

br_resource_class *BrResClassAdd(br_resource_class *rclass)
{
    if (rclass == nullptr || rclass->res_class < 0 || rclass->res_class >= BR_MEMORY_MAX)
        return nullptr;
    if (BrRegistryAdd(&br_fw.reg_resource_classes, rclass) == nullptr)
        return nullptr;
    br_fw.resource_class_index[rclass->res_class] = rclass;
    return rclass;
}

br_resource_class *BrResClassRemove(br_resource_class *rclass)
{
    if (BrRegistryRemove(&br_fw.reg_resource_classes, rclass) == nullptr)
        return nullptr;
    br_fw.resource_class_index[rclass->res_class] = nullptr;
    return rclass;
}

br_resource_class *BrResClassFind(const char *pattern)
{
    return (br_resource_class *)BrRegistryFind(&br_fw.reg_resource_classes, pattern);
}

static void *class_find_failed(const char *pattern)
{
    return br_fw.resource_class_find_hook ? br_fw.resource_class_find_hook(pattern) : nullptr;
}

br_resclass_find_cbfn *BrResClassFindHook(br_resclass_find_cbfn *hook)
{
    br_resclass_find_cbfn *old = br_fw.resource_class_find_hook;
    br_fw.resource_class_find_hook = hook;
    br_fw.reg_resource_classes.find_failed_hook = hook ? class_find_failed : nullptr;
    return old;
}

br_uint_32 BrResClassAddMany(br_resource_class **items, int n)
{
    for (int i = 0; i < n; i++)
        BrResClassAdd(items[i]);
    return n;
}

br_uint_32 BrResClassRemoveMany(br_resource_class **items, int n)
{
    br_uint_32 r = 0;
    for (int i = 0; i < n; i++)
        if (BrResClassRemove(items[i]) != nullptr)
            r++;
    return r;
}

br_uint_32 BrResClassFindMany(const char *pattern, br_resource_class **items, int max)
{
    return BrRegistryFindMany(&br_fw.reg_resource_classes, pattern, (void **)items, max);
}

br_uint_32 BrResClassCount(const char *pattern)
{
    return BrRegistryCount(&br_fw.reg_resource_classes, pattern);
}

namespace {
struct class_enum {
    br_resclass_enum_cbfn *callback;
    void *arg;
};

br_uint_32 class_enum_one(void *item, void *arg)
{
    class_enum *e = (class_enum *)arg;
    return e->callback((br_resource_class *)item, e->arg);
}
} // namespace

br_uint_32 BrResClassEnum(const char *pattern, br_resclass_enum_cbfn *callback, void *arg)
{
    class_enum e = {callback, arg};
    return BrRegistryEnum(&br_fw.reg_resource_classes, pattern, class_enum_one, &e);
}

const char *BrResClassIdentifier(br_uint_8 res_class)
{
    br_resource_class *rc = br_fw.resource_class_index[res_class];
    return rc ? rc->identifier : "<NULL>";
}
