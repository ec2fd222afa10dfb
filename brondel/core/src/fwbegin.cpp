// Begin and end of the framework and of the core, the three host slots and the last error.
#include <string.h>

#include "fwstate.h"

br_framework_state fw;

static br_boolean core_active;

br_error BrFwBegin(void)
{
    if (fw.active)
        return BRE_ALREADY_ACTIVE;

    // Records installed before begin stay.
    if (fw.diag == nullptr)
        fw.diag = &BrStdioDiagHandler;
    if (fw.fsys == nullptr)
        fw.fsys = BrFwStdFilesystem();
    if (fw.mem == nullptr)
        fw.mem = &BrStdlibAllocator;

    fw.open_mode = 0;
    BrRegistryNew(&fw.reg_resource_classes);

    // The registry entries and the anchor need their classes before any class is registered.
    fw.resource_class_index[BR_MEMORY_REGISTRY] = &BrFwResourceClasses[0];
    fw.resource_class_index[BR_MEMORY_ANCHOR] = &BrFwResourceClasses[1];

    fw.res = BrResAllocate(nullptr, 0, BR_MEMORY_ANCHOR);
    if (fw.res == nullptr) {
        // Without the anchor nothing could be freed at end: stay not begun, keep the host records.
        br_diaghandler *diag = fw.diag;
        br_filesystem *fsys = fw.fsys;
        br_allocator *mem = fw.mem;
        memset(&fw, 0, sizeof(fw));
        fw.diag = diag;
        fw.fsys = fsys;
        fw.mem = mem;
        return BRE_NO_MEMORY;
    }

    for (int i = 0; i < BrFwResourceClassCount; i++)
        BrResClassAdd(&BrFwResourceClasses[i]);

    BrNewList(&fw.images);

    fw.dev_slots = (br_fw_device_slot *)BrResAllocate(fw.res, sizeof(br_fw_device_slot) * BR_FW_DEVICE_SLOTS,
                                                       BR_MEMORY_DRIVER);
    fw.ndev_slots = BR_FW_DEVICE_SLOTS;

    fw.active = 1;

    BrFwTokensBegin();
    BrFwSystemConfigBegin();

    fw.bAlreadyLoadedDrivers = 0;

    BrFwCoreImageAdd();
    return BRE_OK;
}

br_error BrFwEnd(void)
{
    if (!fw.active)
        return BRE_NOT_ACTIVE;

    BrFwCoreImageRemove();
    BrResFree(fw.res);
    memset(&fw, 0, sizeof(fw));
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
    br_diaghandler *old = fw.diag;
    fw.diag = newdh ? newdh : &BrStdioDiagHandler;
    return old;
}

br_filesystem *BrFilesystemSet(br_filesystem *newfs)
{
    br_filesystem *old = fw.fsys;
    fw.fsys = newfs ? newfs : BrFwStdFilesystem();
    return old;
}

br_allocator *BrAllocatorSet(br_allocator *newal)
{
    br_allocator *old = fw.mem;
    fw.mem = newal ? newal : &BrStdlibAllocator;
    return old;
}

void BrLastErrorSet(void *pointer, br_uint_32 value)
{
    fw.last_error_pointer = pointer;
    fw.last_error_value = value;
}

void *BrLastErrorGet(void)
{
    return fw.last_error_pointer;
}
