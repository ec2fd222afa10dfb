// The one scratch block of the instance, the scratch string, and sorting.
#include <stdlib.h>

#include "fwstate.h"

static char scratch_string[512];

void *BrScratchAllocate(br_size_t size)
{
    // A block in use is never taken from its holder, let alone freed under it.
    if (fw.scratch_inuse) {
        BrFailure("Scratchpad not available");
        return nullptr;
    }
    fw.scratch_last = size;
    if (fw.scratch_ptr == nullptr || fw.scratch_size < size) {
        if (fw.scratch_ptr != nullptr)
            BrResFree(fw.scratch_ptr);
        fw.scratch_ptr = BrResAllocate(fw.res, size, BR_MEMORY_SCRATCH);
        fw.scratch_size = fw.scratch_ptr ? size : 0;
        if (fw.scratch_ptr == nullptr)
            return nullptr;
    }
    fw.scratch_inuse = 1;
    return fw.scratch_ptr;
}

void BrScratchFree(void *scratch)
{
    fw.scratch_inuse = 0;
}

br_size_t BrScratchFlush(void)
{
    if (fw.scratch_inuse) {
        BrFailure("Scratchpad cannot be flushed while in use");
        return 0;
    }
    if (fw.scratch_ptr != nullptr)
        BrResFree(fw.scratch_ptr);
    fw.scratch_ptr = nullptr;
    fw.scratch_size = 0;
    return 0;
}

br_size_t BrScratchInquire(void)
{
    return fw.scratch_size;
}

char *BrScratchString(void)
{
    return scratch_string;
}

br_size_t BrScratchStringSize(void)
{
    return sizeof(scratch_string);
}

void BrQsort(void *basep, br_size_t nelems, br_size_t size, br_qsort_cbfn *comp)
{
    if (nelems > 1)
        qsort(basep, nelems, size, comp);
}
