// Registries: named records kept newest first, found by name pattern.
#include "fwstate.h"

namespace {

struct registry_entry {
    br_node node;
    void *item;
};

// Records keep their identifier in the word after one reserved word.
const char *identifier_of(void *item)
{
    return ((const char *const *)item)[1];
}

bool matches(const char *pattern, void *item)
{
    return pattern == nullptr || BrNamePatternMatch(pattern, identifier_of(item));
}

registry_entry *first(br_registry *reg)
{
    return (registry_entry *)reg->list.head;
}

// A registry whose database has ended (or never began) is zeroed: it reads as empty.
bool at_end(registry_entry *e)
{
    return e == nullptr || e->node.next == nullptr;
}

registry_entry *next(registry_entry *e)
{
    return (registry_entry *)e->node.next;
}

} // namespace

void *BrRegistryNew(br_registry *reg)
{
    BrNewList(&reg->list);
    reg->count = 0;
    return reg;
}

void *BrRegistryClear(br_registry *reg)
{
    br_node *n;
    while ((n = BrRemHead(&reg->list)) != nullptr)
        BrResFree(n);
    reg->count = 0;
    return reg;
}

void *BrRegistryAdd(br_registry *reg, void *item)
{
    registry_entry *e = (registry_entry *)BrResAllocate(br_fw.res, sizeof(registry_entry), BR_MEMORY_REGISTRY);
    if (e == nullptr)
        return nullptr;
    e->item = item;
    BrAddHead(&reg->list, &e->node);
    reg->count++;
    return item;
}

int BrRegistryAddMany(br_registry *reg, void **items, int n)
{
    for (int i = 0; i < n; i++)
        BrRegistryAdd(reg, items[i]);
    return n;
}

void *BrRegistryRemove(br_registry *reg, void *item)
{
    for (registry_entry *e = first(reg); !at_end(e); e = next(e)) {
        if (e->item == item) {
            BrRemove(&e->node);
            BrResFree(e);
            reg->count--;
            return item;
        }
    }
    return nullptr;
}

int BrRegistryRemoveMany(br_registry *reg, void **items, int n)
{
    int r = 0;
    for (int i = 0; i < n; i++)
        if (BrRegistryRemove(reg, items[i]) != nullptr)
            r++;
    return r;
}

void *BrRegistryFind(br_registry *reg, const char *pattern)
{
    for (registry_entry *e = first(reg); !at_end(e); e = next(e))
        if (matches(pattern, e->item))
            return e->item;
    return reg->find_failed_hook ? reg->find_failed_hook(pattern) : nullptr;
}

int BrRegistryFindMany(br_registry *reg, const char *pattern, void **items, int max)
{
    int n = 0;
    for (registry_entry *e = first(reg); !at_end(e) && n < max; e = next(e))
        if (matches(pattern, e->item))
            items[n++] = e->item;
    return n;
}

int BrRegistryCount(br_registry *reg, const char *pattern)
{
    if (pattern == nullptr)
        return reg->count;
    int n = 0;
    for (registry_entry *e = first(reg); !at_end(e); e = next(e))
        if (matches(pattern, e->item))
            n++;
    return n;
}

int BrRegistryEnum(br_registry *reg, const char *pattern, br_enum_cbfn *callback, void *arg)
{
    for (registry_entry *e = first(reg); !at_end(e);) {
        registry_entry *n = next(e); // the callback may remove the record
        if (matches(pattern, e->item)) {
            br_uint_32 r = callback(e->item, arg);
            if (r != 0)
                return (int)r;
        }
        e = n;
    }
    return 0;
}

void *BrRegistryNewStatic(br_registry *reg, void *base, int limit)
{
    return nullptr;
}

void *BrRegistryAddStatic(br_registry *reg, void *base, void *item)
{
    return nullptr;
}

void *BrRegistryRemoveStatic(br_registry *reg, void *item)
{
    return nullptr;
}
