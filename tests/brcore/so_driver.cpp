// A driver built as a shared object, loaded through the operating system's module loader. It
// calls nothing of the core: a device that answers its name and counts its frees.
#include "brondel/brdevice.h"
#include "vokplat/export.h"

static int frees;

static void dev_free(br_object *)
{
    frees++;
}

static const char *dev_identifier(br_object *)
{
    return "sodriver";
}

static br_token dev_type(br_object *)
{
    return BRT_DEVICE;
}

static br_error dev_find(br_object_container *, br_object **, br_token, const char *, br_token_value *)
{
    return BRE_FAIL;
}

static const br_device_dispatch dispatch = [] {
    br_device_dispatch d{};
    d._free = dev_free;
    d._identifier = dev_identifier;
    d._type = dev_type;
    d._find = dev_find;
    return d;
}();

static br_device device = {&dispatch};

VOK_EXPORT br_device *BrDrv1Begin(const char *)
{
    return &device;
}

VOK_EXPORT int SoDriverFrees(void)
{
    return frees;
}
