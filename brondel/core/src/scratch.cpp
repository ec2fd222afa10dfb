// The one scratch block of the instance, the scratch string, and sorting.
#include <stdlib.h>

#include "fwstate.h"

static char scratch_string[512];

void *BrScratchAllocate(br_size_t size)
{
    // A block in use is never taken from its holder, let alone freed under it.
    if (br_fw.scratch_inuse) {
        BrFailure("Scratchpad not available");
        return nullptr;
    }
    br_fw.scratch_last = size;
    if (br_fw.scratch_ptr == nullptr || br_fw.scratch_size < size) {
        if (br_fw.scratch_ptr != nullptr)
            BrResFree(br_fw.scratch_ptr);
        br_fw.scratch_ptr = BrResAllocate(br_fw.res, size, BR_MEMORY_SCRATCH);
        br_fw.scratch_size = br_fw.scratch_ptr ? size : 0;
        if (br_fw.scratch_ptr == nullptr)
            return nullptr;
    }
    br_fw.scratch_inuse = 1;
    return br_fw.scratch_ptr;
}

void BrScratchFree(void *scratch)
{
    br_fw.scratch_inuse = 0;
}

br_size_t BrScratchFlush(void)
{
    if (br_fw.scratch_inuse) {
        BrFailure("Scratchpad cannot be flushed while in use");
        return 0;
    }
    if (br_fw.scratch_ptr != nullptr)
        BrResFree(br_fw.scratch_ptr);
    br_fw.scratch_ptr = nullptr;
    br_fw.scratch_size = 0;
    return 0;
}

br_size_t BrScratchInquire(void)
{
    return br_fw.scratch_size;
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
