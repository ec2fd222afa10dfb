// Begin and end of the framework and of the core, the three host slots and the last error.
#include <string.h>

#include "fwstate.h"

br_framework_state br_fw;

static br_boolean core_active;

br_error BrFwBegin(void)
{
    if (br_fw.active)
        return BRE_ALREADY_ACTIVE;

    // Records installed before begin stay.
    if (br_fw.diag == nullptr)
        br_fw.diag = &BrStdioDiagHandler;
    if (br_fw.fsys == nullptr)
        br_fw.fsys = BrFwStdFilesystem();
    if (br_fw.mem == nullptr)
        br_fw.mem = &BrStdlibAllocator;

    br_fw.open_mode = 0;
    BrRegistryNew(&br_fw.reg_resource_classes);

    // The registry entries and the anchor need their classes before any class is registered.
    br_fw.resource_class_index[BR_MEMORY_REGISTRY] = &BrFwResourceClasses[0];
    br_fw.resource_class_index[BR_MEMORY_ANCHOR] = &BrFwResourceClasses[1];

    br_fw.res = BrResAllocate(nullptr, 0, BR_MEMORY_ANCHOR);
    if (br_fw.res == nullptr) {
        // Without the anchor nothing could be freed at end: stay not begun, keep the host records.
        br_diaghandler *diag = br_fw.diag;
        br_filesystem *fsys = br_fw.fsys;
        br_allocator *mem = br_fw.mem;
        memset(&br_fw, 0, sizeof(br_fw));
        br_fw.diag = diag;
        br_fw.fsys = fsys;
        br_fw.mem = mem;
        return BRE_NO_MEMORY;
    }

    for (int i = 0; i < BrFwResourceClassCount; i++)
        BrResClassAdd(&BrFwResourceClasses[i]);

    BrNewList(&br_fw.images);

    br_fw.dev_slots = (br_fw_device_slot *)BrResAllocate(br_fw.res, sizeof(br_fw_device_slot) * BR_FW_DEVICE_SLOTS,
                                                       BR_MEMORY_DRIVER);
    br_fw.ndev_slots = BR_FW_DEVICE_SLOTS;

    br_fw.active = 1;

    BrFwTokensBegin();
    BrFwSystemConfigBegin();

    br_fw.bAlreadyLoadedDrivers = 0;

    BrFwCoreImageAdd();
    return BRE_OK;
}

br_error BrFwEnd(void)
{
    if (!br_fw.active)
        return BRE_NOT_ACTIVE;

    BrFwCoreImageRemove();
    BrResFree(br_fw.res);
    memset(&br_fw, 0, sizeof(br_fw));
    return BRE_OK;
}

br_error BrCoreBegin(void)
{
    if (core_active)
        return BRE_ALREADY_ACTIVE;
    BrFwBegin();
    BrFwHostBegin();
    BrFwPixelmapBegin();
    core_active = 1;
    return BRE_OK;
}

br_error BrCoreEnd(void)
{
    if (!core_active)
        return BRE_NOT_ACTIVE;
    core_active = 0;
    for (void *dev; (dev = BrFwDevFirst()) != nullptr;)
        BrFwDevRemove(dev);
    BrFwPixelmapEnd();
    BrFwHostEnd();
    BrFwEnd();
    return BRE_OK;
}

br_diaghandler *BrDiagHandlerSet(br_diaghandler *newdh)
{
    br_diaghandler *old = br_fw.diag;
    br_fw.diag = newdh ? newdh : &BrStdioDiagHandler;
    return old;
}

br_filesystem *BrFilesystemSet(br_filesystem *newfs)
{
    br_filesystem *old = br_fw.fsys;
    br_fw.fsys = newfs ? newfs : BrFwStdFilesystem();
    return old;
}

br_allocator *BrAllocatorSet(br_allocator *newal)
{
    br_allocator *old = br_fw.mem;
    br_fw.mem = newal ? newal : &BrStdlibAllocator;
    return old;
}

void BrLastErrorSet(void *pointer, br_uint_32 value)
{
    br_fw.last_error_pointer = pointer;
    br_fw.last_error_value = value;
}

void *BrLastErrorGet(void)
{
    return br_fw.last_error_pointer;
}
