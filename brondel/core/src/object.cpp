// Default operations of objects and of containers kept as a simple list of entries.
#include <string.h>

#include "fwstate.h"

namespace {

struct object_list {
    br_simple_list l;
};

struct object_list_entry {
    br_simple_node node;
    br_object *h;
};

// What tokensMatch compares against: the caller's wanted pairs, a copy the candidate fills in,
// and a buffer for the candidate's buffered values.
struct match_record {
    br_token_value *original;
    br_token_value *query;
    br_int_32 n; // pairs plus the terminator
    void *extra;
    br_size_t extra_size;
};

br_tv_template *template_of(br_object *self)
{
    return self->dispatch->_templateQuery(self);
}

object_list *list_of(br_object_container *self)
{
    return (object_list *)self->dispatch->_listQuery(self);
}

// Calls f for every object of the list that matches, in list order.
template <typename F>
br_error for_each_match(br_object_container *self, br_token type, const char *pattern, br_token_value *tv, F f)
{
    object_list *list = list_of(self);
    if (list == nullptr)
        return BRE_FAIL;
    void *arg = tv ? self->dispatch->_tokensMatchBegin(self, type, tv) : nullptr;
    for (auto *e = (object_list_entry *)list->l.head; e != nullptr; e = (object_list_entry *)e->node.next) {
        br_object *h = e->h;
        if (type != 0 && ObjectType(h) != type)
            continue;
        if (!BrNamePatternMatch(pattern, ObjectIdentifier(h)))
            continue;
        if (tv != nullptr && !self->dispatch->_tokensMatch(self, h, arg))
            continue;
        f(h);
    }
    if (tv != nullptr)
        self->dispatch->_tokensMatchEnd(self, arg);
    return BRE_OK;
}

} // namespace

// Free callback of the OBJECT resource class: the object's own free runs first.
void BrFwObjectFree(void *res, br_uint_8 res_class, br_size_t size)
{
    br_object *o = (br_object *)res;
    if (o->dispatch != nullptr && o->dispatch->_free != nullptr)
        o->dispatch->_free(o);
}

br_error _M_br_object_query(br_object *self, br_value *pvalue, br_token t)
{
    return BrTokenValueQuery(pvalue, nullptr, 0, t, self, template_of(self));
}

br_error _M_br_object_queryBuffer(br_object *self, br_value *pvalue, void *buffer, br_size_t buffer_size, br_token t)
{
    return BrTokenValueQuery(pvalue, buffer, buffer_size, t, self, template_of(self));
}

br_error _M_br_object_queryMany(br_object *self, br_token_value *tv, void *extra, br_size_t extra_size,
                                br_int_32 *pcount)
{
    return BrTokenValueQueryMany(tv, extra, extra_size, pcount, self, template_of(self));
}

br_error _M_br_object_queryManySize(br_object *self, br_size_t *pextra_size, br_token_value *tv)
{
    return BrTokenValueQueryManySize(pextra_size, tv, self, template_of(self));
}

br_error _M_br_object_queryAll(br_object *self, br_token_value *buffer, br_size_t buffer_size)
{
    return BrTokenValueQueryAll(buffer, buffer_size, self, template_of(self));
}

br_error _M_br_object_queryAllSize(br_object *self, br_size_t *psize)
{
    return BrTokenValueQueryAllSize(psize, self, template_of(self));
}

void *BrObjectListAllocate(void *res)
{
    auto *list = (object_list *)BrResAllocate(res, sizeof(object_list), BR_MEMORY_OBJECT_LIST);
    if (list != nullptr)
        BrSimpleNewList(&list->l);
    return list;
}

br_error _M_br_object_container_addFront(br_object_container *self, br_object *h)
{
    object_list *list = list_of(self);
    if (list == nullptr)
        return BRE_FAIL;
    auto *e = (object_list_entry *)BrResAllocate(list, sizeof(object_list_entry), BR_MEMORY_OBJECT_LIST_ENTRY);
    if (e == nullptr)
        return BRE_NO_MEMORY;
    e->h = h;
    BrSimpleAddHead(&list->l, &e->node);
    return BRE_OK;
}

br_error _M_br_object_container_remove(br_object_container *self, br_object *h)
{
    object_list *list = list_of(self);
    if (list == nullptr)
        return BRE_FAIL;
    for (auto *e = (object_list_entry *)list->l.head; e != nullptr; e = (object_list_entry *)e->node.next) {
        if (e->h == h) {
            BrSimpleRemove(&e->node);
            BrResFree(e);
            return BRE_OK;
        }
    }
    return BRE_FAIL;
}

br_error _M_br_object_container_removeFront(br_object_container *self, br_object **ph)
{
    *ph = nullptr;
    object_list *list = list_of(self);
    if (list == nullptr || list->l.head == nullptr)
        return BRE_FAIL;
    auto *e = (object_list_entry *)BrSimpleRemHead(&list->l);
    *ph = e->h;
    BrResFree(e);
    return BRE_OK;
}

br_error _M_br_object_container_find(br_object_container *self, br_object **ph, br_token type, const char *pattern,
                                     br_token_value *tv)
{
    // The last match in list order is the first one added.
    br_object *found = nullptr;
    br_error r = for_each_match(self, type, pattern, tv, [&](br_object *h) { found = h; });
    *ph = found;
    if (r != BRE_OK)
        return r;
    return found ? BRE_OK : BRE_FAIL;
}

br_error _M_br_object_container_findMany(br_object_container *self, br_object **objects, br_int_32 max_objects,
                                         br_int_32 *pnum_objects, br_token type, const char *pattern,
                                         br_token_value *tv)
{
    br_int_32 n = 0;
    br_error r = for_each_match(self, type, pattern, tv, [&](br_object *h) {
        if (n < max_objects)
            objects[n] = h;
        n++;
    });
    *pnum_objects = n;
    if (r != BRE_OK)
        return r;
    return n > max_objects ? BRE_OVERFLOW : BRE_OK;
}

br_error _M_br_object_container_count(br_object_container *self, br_int_32 *pcount, br_token type,
                                      const char *pattern, br_token_value *tv)
{
    br_int_32 n = 0;
    br_error r = for_each_match(self, type, pattern, tv, [&](br_object *) { n++; });
    *pcount = n;
    return r;
}

void *_M_br_object_container_tokensMatchBegin(br_object_container *self, br_token t, br_token_value *tv)
{
    if (tv == nullptr)
        return nullptr;
    auto *m = (match_record *)BrResAllocate(br_fw.res, sizeof(match_record), BR_MEMORY_APPLICATION);
    if (m == nullptr)
        return nullptr;
    br_int_32 n = 0;
    while (tv[n].t != 0)
        n++;
    m->original = tv;
    m->n = n + 1;
    m->query = (br_token_value *)BrResAllocate(m, sizeof(br_token_value) * (br_size_t)m->n, BR_MEMORY_APPLICATION);
    if (m->query == nullptr) {
        BrResFree(m);
        return nullptr;
    }
    return m;
}

br_boolean _M_br_object_container_tokensMatch(br_object_container *self, br_object *h, void *arg)
{
    auto *m = (match_record *)arg;
    if (m == nullptr)
        return 1;

    // Every candidate starts from the wanted values, so a token it does not know compares as wanted
    // whatever the previous candidate answered.
    memcpy(m->query, m->original, sizeof(br_token_value) * (br_size_t)m->n);

    br_size_t size = 0;
    h->dispatch->_queryManySize(h, &size, m->query);
    if (size > m->extra_size) {
        if (m->extra != nullptr)
            BrResFree(m->extra);
        m->extra = BrResAllocate(m, size, BR_MEMORY_APPLICATION);
        m->extra_size = m->extra ? size : 0;
    }

    br_int_32 count = 0;
    h->dispatch->_queryMany(h, m->query, m->extra, m->extra_size, &count);
    return BrTokenValueCompare(m->original, m->query);
}

void _M_br_object_container_tokensMatchEnd(br_object_container *self, void *arg)
{
    if (arg != nullptr)
        BrResFree(arg);
}

br_error BrObjectContainerFree(br_object_container *self, br_token type, const char *pattern, br_token_value *tv)
{
    br_int_32 count = 0;
    br_error r = self->dispatch->_count(self, &count, type, pattern, tv);
    if (r != BRE_OK || count == 0)
        return r;

    auto **objects = (br_object **)BrMemAllocate(sizeof(br_object *) * (br_size_t)count, BR_MEMORY_DRIVER);
    if (objects == nullptr)
        return BRE_NO_MEMORY;

    br_int_32 n = 0;
    self->dispatch->_findMany(self, objects, count, &n, type, pattern, tv);
    if (n > count)
        n = count;
    for (br_int_32 i = 0; i < n; i++) {
        self->dispatch->_remove(self, objects[i]);
        ObjectFree(objects[i]);
    }
    BrMemFree(objects);
    return BRE_OK;
}

extern "C" void _PRO(void) {}
extern "C" void _EPI(void) __attribute__((alias("_PRO")));
