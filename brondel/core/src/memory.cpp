// Plain memory through the installed allocator, and the standard allocator over the runtime heap.
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include "fwstate.h"

static void *stdlib_allocate(br_size_t size, br_uint_8 type)
{
    void *m = malloc(size);
    if (m == nullptr)
        BrFailure("BrStdlibAllocate: failed with size=%zu, type=%d", size, type);
    return m;
}

static void stdlib_free(void *mem)
{
    free(mem);
}

static br_uint_32 stdlib_inquire(br_uint_8 type)
{
    return 0;
}

static br_uint_32 stdlib_align(br_uint_8 type)
{
    // The runtime heap aligns every block for any fundamental type.
    return alignof(max_align_t);
}

br_allocator BrStdlibAllocator = {"malloc", stdlib_allocate, stdlib_free, stdlib_inquire, stdlib_align};

// Before the first begin the slot is empty; the standard allocator serves then.
static br_allocator *mem(void)
{
    return br_fw.mem ? br_fw.mem : &BrStdlibAllocator;
}

void *BrMemAllocate(br_size_t size, br_uint_8 type)
{
    void *b = mem()->allocate(size, type);
    if (b != nullptr)
        memset(b, 0, size);
    return b;
}

void *BrMemCalloc(br_size_t nelems, br_size_t size, br_uint_8 type)
{
    if (size != 0 && nelems > (br_size_t)-1 / size)
        return nullptr;
    return BrMemAllocate(nelems * size, type);
}

char *BrMemStrDup(const char *str)
{
    size_t l = strlen(str);
    char *nstr = (char *)BrMemAllocate(l + 1, BR_MEMORY_STRING);
    if (nstr != nullptr)
        memcpy(nstr, str, l + 1);
    return nstr;
}

void BrMemFree(void *block)
{
    mem()->free(block);
}

br_uint_32 BrMemInquire(br_uint_8 type)
{
    return mem()->inquire(type);
}

br_uint_32 BrMemAlign(br_uint_8 type)
{
    br_allocator *m = mem();
    return m->align ? m->align(type) : 0;
}
