// The resource tree: every block carries a header in front of its body, owns its children, and is
// freed with its whole subtree.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "fwstate.h"

namespace {

struct res_header {
    res_header *next;      // next sibling
    res_header **prev;     // the word that points at this block; null for a root
    res_header *children;  // first child
    br_uint_32 size_units; // whole block (header and rounded body) in 4-byte units
    br_uint_8 res_class;
    br_uint_8 reserved[3];
    res_header *self;
    br_uint_32 pad;        // zero bytes between header and body
    br_uint_32 magic;      // last four bytes: the step back from a body stops on them
};

static_assert(sizeof(res_header) == BR_RES_HEADER_SIZE, "header size");
static_assert(offsetof(res_header, magic) + 4 == sizeof(res_header), "magic ends the header");

// The largest block whose size still fits the 32-bit count of 4-byte units.
constexpr br_size_t MAX_BLOCK = (br_size_t)0xFFFFFFFFu * 4 - 4096;

br_uint_8 *body_of(res_header *h)
{
    return (br_uint_8 *)h + sizeof(res_header) + h->pad;
}

// Steps back from a body over the zero padding to the end of the header.
br_uint_8 *header_end(void *vres)
{
    br_uint_8 *p = (br_uint_8 *)vres;
    while (p[-1] == 0)
        p--;
    return p;
}

res_header *header_of(void *vres)
{
    return (res_header *)(header_end(vres) - sizeof(res_header));
}

br_size_t class_alignment(br_uint_8 res_class)
{
    br_resource_class *rc = br_fw.resource_class_index[res_class];
    br_size_t a = (rc && rc->alignment > 0) ? (br_size_t)rc->alignment : alignof(void *);
    // Alignments are powers of two; round anything else up.
    br_size_t p = 1;
    while (p < a)
        p <<= 1;
    return p;
}

void unlink(res_header *h)
{
    if (h->prev != nullptr) {
        *h->prev = h->next;
        if (h->next != nullptr)
            h->next->prev = h->prev;
    }
    h->next = nullptr;
    h->prev = nullptr;
}

void link_first(res_header *parent, res_header *h)
{
    h->next = parent->children;
    if (h->next != nullptr)
        h->next->prev = &h->next;
    parent->children = h;
    h->prev = &parent->children;
}

void res_free(res_header *h, bool callback)
{
    if (h->res_class == BR_RES_FREEING_CLASS)
        return;
    br_uint_8 c = h->res_class;
    h->res_class = BR_RES_FREEING_CLASS;

    br_resource_class *rc = br_fw.resource_class_index[c];
    if (callback && rc != nullptr && rc->free_cb != nullptr)
        rc->free_cb(body_of(h), c, (br_size_t)h->size_units * 4);

    while (h->children != nullptr)
        res_free(h->children, true);

    unlink(h);
    h->magic = 1;
    h->self = nullptr;
    BrMemFree(h);
}

br_size_t size_total(res_header *h)
{
    br_size_t total = (br_size_t)h->size_units * 4 - sizeof(res_header);
    for (res_header *c = h->children; c != nullptr; c = c->next)
        total += size_total(c);
    return total;
}

} // namespace

void *BrResAllocate(void *vparent, br_size_t size, br_uint_8 res_class)
{
    if (size > MAX_BLOCK)
        return nullptr;

    br_size_t align = class_alignment(res_class);
    br_size_t guarantee = BrMemAlign(res_class);
    if (guarantee == 0)
        guarantee = 1;
    br_size_t block = (size + sizeof(res_header) + 3) & ~(br_size_t)3;
    br_size_t extra = (align - 1) & ~(guarantee - 1);

    res_header *h = (res_header *)BrMemAllocate(block + extra, res_class);
    if (h == nullptr)
        return nullptr;

    uintptr_t end = (uintptr_t)h + sizeof(res_header);
    br_size_t pad = (br_size_t)(((end + align - 1) & ~(uintptr_t)(align - 1)) - end);
    if (pad > extra) {
        BrFailure("Memory allocator broke alignment");
        pad = 0;
    }

    h->res_class = res_class;
    h->size_units = (br_uint_32)(block / 4);
    h->children = nullptr;
    h->self = h;
    h->pad = (br_uint_32)pad;
    h->magic = BR_RES_MAGIC;

    if (vparent != nullptr)
        link_first(header_of(vparent), h);

    return body_of(h);
}

void BrResFree(void *vres)
{
    res_free(header_of(vres), true);
}

void BrResFreeNoCallback(void *vres)
{
    res_free(header_of(vres), false);
}

void *BrResAdd(void *vparent, void *vres)
{
    res_header *h = header_of(vres);
    unlink(h);
    link_first(header_of(vparent), h);
    return vres;
}

void *BrResRemove(void *vres)
{
    unlink(header_of(vres));
    return vres;
}

br_uint_8 BrResClass(void *vres)
{
    return header_of(vres)->res_class;
}

br_boolean BrResIsChild(void *vparent, void *vchild)
{
    res_header *child = header_of(vchild);
    for (res_header *c = header_of(vparent)->children; c != nullptr; c = c->next)
        if (c == child)
            return 1;
    return 0;
}

br_size_t BrResSize(void *vres)
{
    return (br_size_t)header_of(vres)->size_units * 4 - sizeof(res_header);
}

br_size_t BrResSizeTotal(void *vres)
{
    return size_total(header_of(vres));
}

br_uint_32 BrResChildEnum(void *vres, br_resenum_cbfn *callback, void *arg)
{
    res_header *c = header_of(vres)->children;
    while (c != nullptr) {
        res_header *next = c->next; // the callback may free the child
        br_uint_32 r = callback(body_of(c), arg);
        if (r != 0)
            return r;
        c = next;
    }
    return 0;
}

br_boolean BrResCheck(void *vres)
{
    // A freed block's header no longer ends in the magic, so the step back may land anywhere:
    // read through copies and refuse what cannot be a header.
    br_uint_8 *end = header_end(vres);
    br_uint_8 *start = end - sizeof(res_header);
    if ((uintptr_t)start % alignof(res_header) != 0)
        return 0;
    void *self;
    br_uint_32 magic;
    memcpy(&self, start + offsetof(res_header, self), sizeof(self));
    memcpy(&magic, start + offsetof(res_header, magic), sizeof(magic));
    return (br_uint_8 *)self + sizeof(res_header) == end && magic == BR_RES_MAGIC;
}

char *BrResStrDup(void *vparent, const char *str)
{
    size_t l = strlen(str);
    char *nstr = (char *)BrResAllocate(vparent, l + 1, BR_MEMORY_STRING);
    if (nstr != nullptr)
        memcpy(nstr, str, l + 1);
    return nstr;
}

void BrResDump(void *vres, void (*putline)(const char *str, void *arg), void *arg)
{
}
