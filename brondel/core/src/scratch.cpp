// The one scratch block of the instance, the scratch string, and sorting.
#include <stdlib.h>

#include "fwstate.h"

static char scratch_string[512];

namespace {

// Whether a block is one of the temporary blocks handed out while the kept one was held: those are
// scratch-class children of the anchor other than the kept block.
br_uint_32 is_block(void *vres, void *vblock)
{
    return vres == vblock ? 1 : 0;
}

bool is_temporary(void *block)
{
    return block != br_fw.scratch_ptr && br_fw.res != nullptr && BrResChildEnum(br_fw.res, is_block, block) != 0 &&
           BrResClass(block) == BR_MEMORY_SCRATCH;
}

} // namespace

void *BrScratchAllocate(br_size_t size)
{
    br_fw.scratch_last = size;
    // The kept block is never taken from its holder, let alone freed under it: a second caller gets a
    // block of its own, which its free gives back.
    if (br_fw.scratch_inuse) {
        BrFailure("Scratchpad not available");
        return BrResAllocate(br_fw.res, size, BR_MEMORY_SCRATCH);
    }
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
    if (scratch == nullptr)
        return;
    if (scratch == br_fw.scratch_ptr)
        br_fw.scratch_inuse = 0;
    else if (is_temporary(scratch))
        BrResFree(scratch);
    else
        BrFailure("Scratchpad block %p was not handed out", scratch);
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
