// The host layer: processor detection, the default device, modules of the operating system, and the
// selector and DOS-extender services that have nothing to do in a flat process.
#include <string.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include "win32/winmod.h"

#include "fwstate.h"
#include "images.h"

// Tokens of the processor family and types.
static const br_uint_32 TOKEN_INTEL = 423;
static const br_uint_32 TOKEN_INTEL_386 = 427;
static const br_uint_32 TOKEN_INTEL_486 = 428;
static const br_uint_32 TOKEN_INTEL_PENTIUM = 429;
static const br_uint_32 TOKEN_INTEL_PENTIUM_PRO = 430;

static const br_host_info host_info_static = {
    BR_HOST_INFO_SIZE, "Microsoft WIN32", 0, TOKEN_INTEL, TOKEN_INTEL_386,
};

static_assert(sizeof(br_host_info) == BR_HOST_INFO_SIZE, "the host record is exchanged with drivers");

#if defined(__x86_64__) || defined(__i386__)
// Whether a bit of the flags register can be changed by the program. The stack pointer first steps
// over the red zone, where the compiler may keep values below it.
static bool flag_toggles(unsigned long bit)
{
    unsigned long before, after;
    __asm__ volatile(
#if defined(__x86_64__)
                     "sub $128, %%rsp\n\t"
#endif
                     "pushf\n\t"
                     "pop %0\n\t"
                     "mov %0, %1\n\t"
                     "xor %2, %1\n\t"
                     "push %1\n\t"
                     "popf\n\t"
                     "pushf\n\t"
                     "pop %1\n\t"
                     "push %0\n\t"
                     "popf\n\t"
#if defined(__x86_64__)
                     "add $128, %%rsp"
#endif
                     : "=&r"(before), "=&r"(after)
                     : "r"(bit)
                     : "cc", "memory");
    return ((before ^ after) & bit) != 0;
}
#endif

static void detect_processor(br_uint_32 *type, br_uint_32 *caps)
{
    *type = TOKEN_INTEL_386;
    *caps = 0;
#if defined(__x86_64__) || defined(__i386__)
    if (!flag_toggles(0x40000))
        return;
    *type = TOKEN_INTEL_486;
    if (!flag_toggles(0x200000))
        return;
    unsigned a, b, c, d;
    __cpuid(0, a, b, c, d);
    if (a < 1)
        return;
    __cpuid(1, a, b, c, d);
    switch ((a >> 8) & 0xf) {
    case 0:
    case 1:
    case 2:
    case 3:
        *type = TOKEN_INTEL_386;
        break;
    case 4:
        *type = TOKEN_INTEL_486;
        break;
    case 5:
        *type = TOKEN_INTEL_PENTIUM;
        break;
    default: // every later family runs what a Pentium Pro runs
        *type = TOKEN_INTEL_PENTIUM_PRO;
        break;
    }
    if (d & (1u << 0))
        *caps |= HOST_CAPS_FPU;
    if (d & (1u << 23))
        *caps |= HOST_CAPS_MMX;
#endif
}

br_error HostInfo(br_host_info *buffer, br_size_t buffersize)
{
    if (buffersize < sizeof(br_host_info)) {
        memcpy(buffer, &host_info_static, buffersize);
        return BRE_OVERFLOW;
    }
    memcpy(buffer, &host_info_static, sizeof(br_host_info));
    br_uint_32 type, caps;
    detect_processor(&type, &caps);
    buffer->processor_type = type;
    buffer->capabilities |= caps;
    return BRE_OK;
}

const char *HostDefaultDevice(void)
{
    return "DDRAW";
}

void *HostImageLoad(const char *name)
{
    return (void *)LoadLibraryA(name);
}

void *HostImageLookupName(void *img, const char *name, br_uint_32 hint)
{
    return (void *)GetProcAddress((HMODULE)img, name);
}

void *HostImageLookupOrdinal(void *img, br_uint_32 ordinal)
{
    return nullptr;
}

void HostImageUnload(void *img)
{
    // Modules stay loaded until the process ends.
}

br_error HostLock(br_uint_32 offset, br_uint_16 sel, br_size_t size) { return BRE_FAIL; }
br_error HostUnlock(br_uint_32 offset, br_uint_16 sel, br_size_t size) { return BRE_FAIL; }
br_error HostSelectorAllocate(br_uint_16 *selp) { return BRE_FAIL; }
br_error HostSelectorAllocateLinear(br_uint_16 *selp, br_uint_32 base, br_size_t size) { return BRE_FAIL; }
br_error HostSelectorAllocateAlias(br_uint_16 *aliasp, br_uint_16 selector) { return BRE_FAIL; }
br_error HostSelectorAllocatePhysical(br_uint_16 *selp, br_uint_32 phys_addr, br_size_t size) { return BRE_FAIL; }
br_error HostSelectorBaseSet(br_uint_16 selector, br_uint_32 base) { return BRE_FAIL; }
br_error HostSelectorLimitSet(br_uint_16 selector, br_size_t limit) { return BRE_FAIL; }
br_error HostSelectorBaseQuery(br_uint_32 *basep, br_uint_16 selector) { return BRE_FAIL; }
br_error HostSelectorLimitQuery(br_uint_32 *limitp, br_uint_16 selector) { return BRE_FAIL; }

#if defined(__x86_64__) || defined(__i386__)
#define READ_SEGMENT(reg, out) __asm__ volatile("mov %%" #reg ", %0" : "=r"(out))
#else
#define READ_SEGMENT(reg, out) ((out) = 0)
#endif

br_error HostSelectorDS(br_uint_16 *selp)
{
    br_uint_16 s;
    READ_SEGMENT(ds, s);
    *selp = s;
    return BRE_OK;
}

br_error HostSelectorCS(br_uint_16 *selp)
{
    br_uint_16 s;
    READ_SEGMENT(cs, s);
    *selp = s;
    return BRE_OK;
}

br_error HostSelectorSS(br_uint_16 *selp)
{
    br_uint_16 s;
    READ_SEGMENT(ss, s);
    *selp = s;
    return BRE_OK;
}

br_error HostSelectorES(br_uint_16 *selp)
{
    br_uint_16 s;
    READ_SEGMENT(es, s);
    *selp = s;
    return BRE_OK;
}

br_error HostSelectorFree(br_uint_16 selector)
{
    br_uint_16 ds;
    HostSelectorDS(&ds);
    return selector == ds ? BRE_OK : BRE_FAIL;
}

br_error HostRealAllocate(void *mem, br_uint_32 size) { return BRE_OK; }
br_error HostRealFree(void *mem) { return BRE_OK; }

br_error HostInterruptCall(void) { return BRE_FAIL; }
br_error HostRegistersGet(void) { return BRE_FAIL; }
br_error HostInterruptHook(void) { return BRE_FAIL; }
br_error HostInterruptUnhook(void) { return BRE_FAIL; }
br_error HostExceptionHook(void) { return BRE_FAIL; }
br_error HostExceptionUnhook(void) { return BRE_FAIL; }
br_error HostRealInterruptGet(void) { return BRE_FAIL; }
br_error HostRealInterruptSet(void) { return BRE_FAIL; }
br_error HostRealInterruptCall(void) { return BRE_FAIL; }
br_error HostSelectorReal(void) { return BRE_FAIL; }
br_error HostRealBlockRead(void) { return BRE_FAIL; }
br_error HostRealBlockWrite(void) { return BRE_FAIL; }
br_error HostRealBlockFill(void) { return BRE_FAIL; }
br_error HostRealStringRead(void) { return BRE_FAIL; }
br_error HostRealStringWrite(void) { return BRE_FAIL; }
br_error HostRealByteRead(void) { return BRE_FAIL; }
br_error HostRealByteWrite(void) { return BRE_FAIL; }
br_error HostRealWordRead(void) { return BRE_FAIL; }
br_error HostRealWordWrite(void) { return BRE_FAIL; }
br_error HostRealDWordRead(void) { return BRE_FAIL; }
br_error HostRealDWordWrite(void) { return BRE_FAIL; }
br_error HostFarBlockRead(void) { return BRE_FAIL; }
br_error HostFarBlockWrite(void) { return BRE_FAIL; }
br_error HostFarBlockFill(void) { return BRE_FAIL; }
br_error HostFarStringRead(void) { return BRE_FAIL; }
br_error HostFarStringWrite(void) { return BRE_FAIL; }
br_error HostFarByteRead(void) { return BRE_FAIL; }
br_error HostFarByteWrite(void) { return BRE_FAIL; }
br_error HostFarWordRead(void) { return BRE_FAIL; }
br_error HostFarWordWrite(void) { return BRE_FAIL; }
br_error HostFarDWordRead(void) { return BRE_FAIL; }
br_error HostFarDWordWrite(void) { return BRE_FAIL; }

// "BRHOST1" has 50 slots, in byte order of the link-level names. The default device and the four
// module services belong to the framework (its configuration and its loader), not to drivers, and
// stay out of the table.
#define HOST_EXPORT(f) {"_" #f, (void *)f}
static const br_image_export host_exports[] = {
    HOST_EXPORT(HostExceptionHook),
    HOST_EXPORT(HostExceptionUnhook),
    HOST_EXPORT(HostFarBlockFill),
    HOST_EXPORT(HostFarBlockRead),
    HOST_EXPORT(HostFarBlockWrite),
    HOST_EXPORT(HostFarByteRead),
    HOST_EXPORT(HostFarByteWrite),
    HOST_EXPORT(HostFarDWordRead),
    HOST_EXPORT(HostFarDWordWrite),
    HOST_EXPORT(HostFarStringRead),
    HOST_EXPORT(HostFarStringWrite),
    HOST_EXPORT(HostFarWordRead),
    HOST_EXPORT(HostFarWordWrite),
    HOST_EXPORT(HostInfo),
    HOST_EXPORT(HostInterruptCall),
    HOST_EXPORT(HostInterruptHook),
    HOST_EXPORT(HostInterruptUnhook),
    HOST_EXPORT(HostLock),
    HOST_EXPORT(HostRealAllocate),
    HOST_EXPORT(HostRealBlockFill),
    HOST_EXPORT(HostRealBlockRead),
    HOST_EXPORT(HostRealBlockWrite),
    HOST_EXPORT(HostRealByteRead),
    HOST_EXPORT(HostRealByteWrite),
    HOST_EXPORT(HostRealDWordRead),
    HOST_EXPORT(HostRealDWordWrite),
    HOST_EXPORT(HostRealFree),
    HOST_EXPORT(HostRealInterruptCall),
    HOST_EXPORT(HostRealInterruptGet),
    HOST_EXPORT(HostRealInterruptSet),
    HOST_EXPORT(HostRealStringRead),
    HOST_EXPORT(HostRealStringWrite),
    HOST_EXPORT(HostRealWordRead),
    HOST_EXPORT(HostRealWordWrite),
    HOST_EXPORT(HostRegistersGet),
    HOST_EXPORT(HostSelectorAllocate),
    HOST_EXPORT(HostSelectorAllocateAlias),
    HOST_EXPORT(HostSelectorAllocateLinear),
    HOST_EXPORT(HostSelectorAllocatePhysical),
    HOST_EXPORT(HostSelectorBaseQuery),
    HOST_EXPORT(HostSelectorBaseSet),
    HOST_EXPORT(HostSelectorCS),
    HOST_EXPORT(HostSelectorDS),
    HOST_EXPORT(HostSelectorES),
    HOST_EXPORT(HostSelectorFree),
    HOST_EXPORT(HostSelectorLimitQuery),
    HOST_EXPORT(HostSelectorLimitSet),
    HOST_EXPORT(HostSelectorReal),
    HOST_EXPORT(HostSelectorSS),
    HOST_EXPORT(HostUnlock),
};

#define HOST_N (sizeof(host_exports) / sizeof(host_exports[0]))
static_assert(HOST_N == 50, "BRHOST1 has 50 slots");

static const char *host_names[HOST_N];
static void *host_functions[HOST_N];
static br_uint_16 host_ordinals[HOST_N];
static br_image host_image;

void BrHostBegin(void)
{
    if (BrImageResidentMake(&host_image, "BRHOST1", host_exports, HOST_N, host_names, host_functions, host_ordinals))
        BrImageAdd(&host_image);
}

void BrHostEnd(void)
{
    if (host_image.node.next != nullptr)
        BrImageRemove(&host_image);
}

void BrFwHostBegin(void)
{
    BrHostBegin();
}

void BrFwHostEnd(void)
{
    BrHostEnd();
}
