/* The host layer: what machine the drivers run on, and the few services of the operating system the
 * framework needs. Its functions are published to drivers as the image "BRHOST1". */
#ifndef BRONDEL_BRHOST_H
#define BRONDEL_BRHOST_H

#include "brondel/brfw.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Host information, exchanged with drivers: 56 bytes, every field 32 bits wide. */
typedef struct br_host_info {
    br_uint_32 size;
    char identifier[40];
    br_uint_32 capabilities;
    br_uint_32 processor_family; /* a token */
    br_uint_32 processor_type;   /* a token */
} br_host_info;

#define BR_HOST_INFO_SIZE 56

#define HOST_CAPS_FPU 0x800
#define HOST_CAPS_MMX 0x400

void BrHostBegin(void);
void BrHostEnd(void);

br_error HostInfo(br_host_info *buffer, br_size_t buffersize);
const char *HostDefaultDevice(void);

/* Modules of the operating system, for drivers built as shared objects. */
void *HostImageLoad(const char *name);
void *HostImageLookupName(void *img, const char *name, br_uint_32 hint);
void *HostImageLookupOrdinal(void *img, br_uint_32 ordinal);
void HostImageUnload(void *img);

/* Memory locking and selectors: a flat process has none to manage. */
br_error HostLock(br_uint_32 offset, br_uint_16 sel, br_size_t size);
br_error HostUnlock(br_uint_32 offset, br_uint_16 sel, br_size_t size);
br_error HostSelectorAllocate(br_uint_16 *selp);
br_error HostSelectorAllocateLinear(br_uint_16 *selp, br_uint_32 base, br_size_t size);
br_error HostSelectorAllocateAlias(br_uint_16 *aliasp, br_uint_16 selector);
br_error HostSelectorAllocatePhysical(br_uint_16 *selp, br_uint_32 phys_addr, br_size_t size);
br_error HostSelectorFree(br_uint_16 selector);
br_error HostSelectorBaseSet(br_uint_16 selector, br_uint_32 base);
br_error HostSelectorLimitSet(br_uint_16 selector, br_size_t limit);
br_error HostSelectorBaseQuery(br_uint_32 *basep, br_uint_16 selector);
br_error HostSelectorLimitQuery(br_uint_32 *limitp, br_uint_16 selector);
br_error HostSelectorDS(br_uint_16 *selp);
br_error HostSelectorCS(br_uint_16 *selp);
br_error HostSelectorSS(br_uint_16 *selp);
br_error HostSelectorES(br_uint_16 *selp);
br_error HostRealAllocate(void *mem, br_uint_32 size);
br_error HostRealFree(void *mem);

/* Services of DOS extenders. There is no real mode, no interrupt vector and no far memory here:
 * each answers BRE_FAIL and does nothing. They exist so that drivers importing them still load. */
br_error HostInterruptCall(void);
br_error HostRegistersGet(void);
br_error HostInterruptHook(void);
br_error HostInterruptUnhook(void);
br_error HostExceptionHook(void);
br_error HostExceptionUnhook(void);
br_error HostRealInterruptGet(void);
br_error HostRealInterruptSet(void);
br_error HostRealInterruptCall(void);
br_error HostSelectorReal(void);
br_error HostRealBlockRead(void);
br_error HostRealBlockWrite(void);
br_error HostRealBlockFill(void);
br_error HostRealStringRead(void);
br_error HostRealStringWrite(void);
br_error HostRealByteRead(void);
br_error HostRealByteWrite(void);
br_error HostRealWordRead(void);
br_error HostRealWordWrite(void);
br_error HostRealDWordRead(void);
br_error HostRealDWordWrite(void);
br_error HostFarBlockRead(void);
br_error HostFarBlockWrite(void);
br_error HostFarBlockFill(void);
br_error HostFarStringRead(void);
br_error HostFarStringWrite(void);
br_error HostFarByteRead(void);
br_error HostFarByteWrite(void);
br_error HostFarWordRead(void);
br_error HostFarWordWrite(void);
br_error HostFarDWordRead(void);
br_error HostFarDWordWrite(void);

#ifdef __cplusplus
}
#endif

#endif
