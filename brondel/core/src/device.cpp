// The device table: devices made by drivers' entries, each with the image it came from; the
// configured driver list; output devices; and the look-up of the facilities the 3D database needs.
#include <stdarg.h>
#include <string.h>

#include "brondel/brconfig.h"
#include "brondel/brdevice.h"

#include "fwstate.h"
#include "images.h"

static bool is_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Trims white space at both ends, in place.
static char *trim(char *s)
{
    while (is_space(*s))
        s++;
    size_t n = strlen(s);
    while (n > 0 && is_space(s[n - 1]))
        s[--n] = '\0';
    return s;
}

static br_device *slot_device(br_int_32 i)
{
    return (br_device *)br_fw.dev_slots[i].dev;
}

static const char *device_identifier(br_device *dev)
{
    return dev->dispatch->_identifier((br_object *)dev);
}

// Puts a new device into the first free entry, growing the table by 16 when it is full.
static br_error add_device(br_device **pdev, br_device_begin_fn *begin, const char *args, br_image *image)
{
    br_device *dev = begin(args);
    if (dev == nullptr) {
        BrImageDereference(image);
        return BRE_FAIL;
    }

    br_int_32 at = -1;
    for (br_int_32 i = 0; i < br_fw.ndev_slots && at < 0; i++)
        if (br_fw.dev_slots[i].dev == nullptr)
            at = i;
    if (at < 0) {
        br_int_32 n = br_fw.ndev_slots + BR_FW_DEVICE_SLOTS;
        br_fw_device_slot *slots =
            (br_fw_device_slot *)BrResAllocate(br_fw.res, sizeof(br_fw_device_slot) * n, BR_MEMORY_DRIVER);
        if (slots == nullptr) {
            dev->dispatch->_free((br_object *)dev);
            BrImageDereference(image);
            return BRE_NO_MEMORY;
        }
        memset(slots, 0, sizeof(br_fw_device_slot) * n);
        if (br_fw.dev_slots != nullptr) {
            memcpy(slots, br_fw.dev_slots, sizeof(br_fw_device_slot) * br_fw.ndev_slots);
            BrResFree(br_fw.dev_slots);
        }
        at = br_fw.ndev_slots;
        br_fw.dev_slots = slots;
        br_fw.ndev_slots = n;
    }
    br_fw.dev_slots[at].dev = dev;
    br_fw.dev_slots[at].image = image;
    br_fw.ndevs++;
    if (pdev != nullptr)
        *pdev = dev;
    return BRE_OK;
}

br_error BrDevAdd(br_device **pdev, const char *name, const char *args)
{
    br_image *image = BrImageReference(name);
    if (image == nullptr)
        return BRE_FAIL;
    br_device_begin_fn *begin = (br_device_begin_fn *)BrImageLookupName(image, "BrDrv1Begin", 0);
    if (begin == nullptr) {
        BrImageDereference(image);
        return BRE_FAIL;
    }
    if (image->foreign) {
        // Its entry is code for another machine: jumping there would crash the process.
        BrFailure("Driver %s is not native code", image->identifier);
        BrImageDereference(image);
        return BRE_FAIL;
    }
    return add_device(pdev, begin, args, image);
}

br_error BrDevAddStatic(br_device **pdev, br_device_begin_fn *dev_begin, const char *args)
{
    if (dev_begin == nullptr)
        return BRE_FAIL;
    return add_device(pdev, dev_begin, args, nullptr);
}

// The configured driver list, once per framework begin: "name[,:]arguments" pieces split at ";".
static void load_driver_list(void)
{
    if (br_fw.bAlreadyLoadedDrivers)
        return;
    // Marked before the drivers start, so a driver that looks devices up does not load it again.
    br_fw.bAlreadyLoadedDrivers = 1;

    char list[256];
    if (BrSystemConfigQueryString(BRT_BRONDEL_DRIVERS_STR, list, sizeof(list)) != BRE_OK)
        return;
    for (char *piece = list; piece != nullptr;) {
        char *next = strchr(piece, ';');
        if (next != nullptr)
            *next++ = '\0';
        char *args = piece + strcspn(piece, ",:");
        if (*args != '\0')
            *args++ = '\0';
        char *name = trim(piece);
        if (*name != '\0')
            BrDevAdd(nullptr, name, args);
        piece = next;
    }
}

br_error BrDevCheckAdd(br_device **pdev, const char *name, const char *args)
{
    load_driver_list();
    for (br_int_32 i = 0; i < br_fw.ndev_slots; i++) {
        br_device *dev = slot_device(i);
        if (dev != nullptr && BrNamePatternMatch(name, device_identifier(dev))) {
            if (pdev != nullptr)
                *pdev = dev;
            return BRE_OK;
        }
    }
    return BrDevAdd(pdev, name, args);
}

// A device held in several entries is freed once; each entry drops its own image reference.
br_error BrDevRemove(br_device *dev)
{
    if (dev == nullptr)
        return BRE_OK;
    bool freed = false;
    for (br_int_32 i = 0; i < br_fw.ndev_slots; i++) {
        if (br_fw.dev_slots[i].dev != dev)
            continue;
        if (!freed) {
            // A screen the device made goes with it.
            if (br_fw.last_begin_device == dev) {
                br_fw.last_begin_screen = nullptr;
                br_fw.last_begin_device = nullptr;
            }
            dev->dispatch->_free((br_object *)dev);
            freed = true;
        }
        br_image *image = (br_image *)br_fw.dev_slots[i].image;
        br_fw.dev_slots[i].dev = nullptr;
        br_fw.dev_slots[i].image = nullptr;
        br_fw.ndevs--;
        if (image != nullptr)
            BrImageDereference(image);
    }
    return BRE_OK;
}

void *BrFwDevFirst(void)
{
    for (br_int_32 i = 0; i < br_fw.ndev_slots; i++)
        if (br_fw.dev_slots[i].dev != nullptr)
            return br_fw.dev_slots[i].dev;
    return nullptr;
}

void BrFwDevRemove(void *dev)
{
    BrDevRemove((br_device *)dev);
}

br_error BrDevFind(br_device **pdev, const char *pattern)
{
    load_driver_list();
    for (br_int_32 i = 0; i < br_fw.ndev_slots; i++) {
        br_device *dev = slot_device(i);
        if (dev != nullptr && BrNamePatternMatch(pattern, device_identifier(dev))) {
            if (pdev != nullptr)
                *pdev = dev;
            return BRE_OK;
        }
    }
    return BRE_FAIL;
}

br_error BrDevFindMany(br_device **devices, br_int_32 *ndevices, br_int_32 max_devices, const char *pattern)
{
    load_driver_list();
    br_int_32 n = 0;
    for (br_int_32 i = 0; i < br_fw.ndev_slots; i++) {
        br_device *dev = slot_device(i);
        if (dev == nullptr || !BrNamePatternMatch(pattern, device_identifier(dev)))
            continue;
        if (n >= max_devices)
            return BRE_OVERFLOW;
        devices[n++] = dev;
    }
    if (ndevices != nullptr)
        *ndevices = n;
    return BRE_OK;
}

br_error BrDevCount(br_int_32 *ndevices, const char *pattern)
{
    load_driver_list();
    br_int_32 n = 0;
    for (br_int_32 i = 0; i < br_fw.ndev_slots; i++) {
        br_device *dev = slot_device(i);
        if (dev != nullptr && BrNamePatternMatch(pattern, device_identifier(dev)))
            n++;
    }
    if (ndevices != nullptr)
        *ndevices = n;
    return BRE_OK;
}

// The first object a device's find yields, devices in table order; the device it came from.
static br_device *contained_find(br_object **ph, br_token type, const char *pattern, br_token_value *tv)
{
    load_driver_list();
    for (br_int_32 i = 0; i < br_fw.ndev_slots; i++) {
        br_device *dev = slot_device(i);
        br_object *h = nullptr;
        if (dev != nullptr && dev->dispatch->_find((br_object_container *)dev, &h, type, pattern, tv) == BRE_OK) {
            if (ph != nullptr)
                *ph = h;
            return dev;
        }
    }
    return nullptr;
}

br_error BrDevContainedFind(br_object **ph, br_token type, const char *pattern, br_token_value *tv)
{
    return contained_find(ph, type, pattern, tv) != nullptr ? BRE_OK : BRE_FAIL;
}

br_error BrDevContainedFindMany(br_object **objects, br_int_32 max_objects, br_int_32 *pnum_objects, br_token type,
                                const char *pattern, br_token_value *tv)
{
    load_driver_list();
    br_int_32 total = 0;
    for (br_int_32 i = 0; i < br_fw.ndev_slots; i++) {
        br_device *dev = slot_device(i);
        if (dev == nullptr)
            continue;
        br_int_32 n = 0;
        br_error r = dev->dispatch->_findMany((br_object_container *)dev, objects + total, max_objects - total, &n, type, pattern, tv);
        if (r != BRE_OK)
            return r;
        total += n;
    }
    if (pnum_objects != nullptr)
        *pnum_objects = total;
    return BRE_OK;
}

br_error BrDevContainedCount(br_int_32 *pcount, br_token type, const char *pattern, br_token_value *tv)
{
    load_driver_list();
    br_int_32 total = 0;
    for (br_int_32 i = 0; i < br_fw.ndev_slots; i++) {
        br_device *dev = slot_device(i);
        if (dev == nullptr)
            continue;
        br_int_32 n = 0;
        br_error r = dev->dispatch->_count((br_object_container *)dev, &n, type, pattern, tv);
        if (r != BRE_OK)
            return r;
        total += n;
    }
    if (pcount != nullptr)
        *pcount = total;
    return BRE_OK;
}

// The output facility of the named device ("*" or empty: of any device), made to create a screen.
static br_error begin_output(struct br_pixelmap **ppm, char *name, br_token_value *tv)
{
    br_output_facility *of = nullptr;
    br_error r;
    br_device *dev = nullptr;
    if (*name != '\0' && strcmp(name, "*") != 0) {
        if (BrDevFind(&dev, name) != BRE_OK) {
            r = BrDevAdd(&dev, name, nullptr);
            if (r != BRE_OK)
                return r;
        }
        r = dev->dispatch->_find((br_object_container *)dev, (br_object **)&of, BRT_OUTPUT_FACILITY, nullptr, tv);
    } else {
        dev = contained_find((br_object **)&of, BRT_OUTPUT_FACILITY, nullptr, tv);
        r = dev != nullptr ? BRE_OK : BRE_FAIL;
    }
    if (r != BRE_OK)
        return r;

    struct br_pixelmap *screen = nullptr;
    r = of->dispatch->_pixelmapNew(of, &screen, tv);
    if (r != BRE_OK)
        return r;
    // Remembered with its device: the screen goes when the device does.
    br_fw.last_begin_screen = screen;
    br_fw.last_begin_device = dev;
    if (ppm != nullptr)
        *ppm = screen;
    return BRE_OK;
}

// The setup string, or the configured default device for none.
static void setup_copy(char *buf, size_t size, const char *setup_string)
{
    buf[0] = '\0';
    if (setup_string != nullptr) {
        strncpy(buf, setup_string, size - 1);
        buf[size - 1] = '\0';
    } else {
        BrSystemConfigQueryString(BRT_DEFAULT_DEVICE_STR, buf, size);
    }
}

// Room for the pairs and the strings a parsed argument text packs behind them.
#define BEGIN_TV_PAIRS 64

br_error BrDevBegin(struct br_pixelmap **ppm, const char *setup_string)
{
    char buf[512];
    setup_copy(buf, sizeof(buf), setup_string);

    char *args = strchr(buf, ',');
    if (args != nullptr)
        *args++ = '\0';
    char *name = trim(buf);

    br_token_value tv[BEGIN_TV_PAIRS];
    br_token_value *list = nullptr;
    if (args != nullptr && *args != '\0' && BrStringToTokenValue(tv, sizeof(tv), args) == BRE_OK)
        list = tv;
    return begin_output(ppm, name, list);
}

br_error BrDevBeginVar(struct br_pixelmap **ppm, const char *setup_string, ...)
{
    char buf[512];
    setup_copy(buf, sizeof(buf), setup_string);
    char *name = trim(buf);

    br_token_value tv[BEGIN_TV_PAIRS];
    int n = 0;
    va_list ap;
    va_start(ap, setup_string);
    for (;;) {
        br_token t = va_arg(ap, br_token);
        if (t == 0)
            break;
        if (n == BEGIN_TV_PAIRS - 1) {
            BrFailure("Too many token value pairs");
            break;
        }
        tv[n].t = t;
        tv[n].v.raw = va_arg(ap, uintptr_t);
        n++;
    }
    va_end(ap);
    tv[n].t = 0;
    tv[n].v.raw = 0;
    return begin_output(ppm, name, tv);
}

struct br_pixelmap *BrDevLastBeginQuery(void)
{
    return br_fw.last_begin_screen;
}

struct br_pixelmap *BrDevLastBeginSet(struct br_pixelmap *pm)
{
    br_fw.last_begin_screen = pm;
    br_fw.last_begin_device = nullptr;
    return pm;
}

// What one kind of facility is looked for by: the destination's query token, its type, the
// default name, and the standard drivers that make it.
struct FacilityKind {
    br_token query_token;
    br_token type;
    const char *default_name;
    const char *typed_name; // "...-00000": the part after the last hyphen becomes Fixed or Float
    const char *typed_driver; // "...0": the last character becomes x or f
    const char *driver;
};

static const FacilityKind renderer_kind = {BRT_RENDERER_FACILITY_O, BRT_RENDERER_FACILITY, "Default-Renderer",
                                           "Default-Renderer-00000", "softrnd0", "softrend"};
static const FacilityKind primitives_kind = {BRT_PRIMITIVE_LIBRARY_O, BRT_PRIMITIVE_LIBRARY, "Default-Primitives",
                                             "Default-Primitives-00000", "softprm0", "softprim"};
static const FacilityKind format_names = {0, 0, "Default-Format", "Default-Format-00000", "softfrm0", "softform"};

// The typed facility and driver names of a scalar type; false when the type gives none.
static bool typed_names(const FacilityKind &k, br_token scalar_type, char *name, size_t name_size, char *driver,
                        size_t driver_size)
{
    if (scalar_type != BRT_FIXED && scalar_type != BRT_FLOAT)
        return false;
    strncpy(name, k.typed_name, name_size - 1);
    name[name_size - 1] = '\0';
    memcpy(strrchr(name, '-') + 1, scalar_type == BRT_FIXED ? "Fixed" : "Float", 5);
    strncpy(driver, k.typed_driver, driver_size - 1);
    driver[driver_size - 1] = '\0';
    driver[strlen(driver) - 1] = scalar_type == BRT_FIXED ? 'x' : 'f';
    return true;
}

static br_object *query_object(br_object *o, br_token t)
{
    br_value v;
    v.raw = 0;
    if (o->dispatch->_query(o, &v, t) != BRE_OK)
        return nullptr;
    return v.o;
}

static br_error facility_find(br_object **out, br_object *destination, br_token scalar_type, const FacilityKind &k)
{
    br_object *found = nullptr;
    if (destination != nullptr) {
        found = query_object(destination, k.query_token);
        if (found == nullptr) {
            br_object *of = query_object(destination, BRT_OUTPUT_FACILITY_O);
            if (of != nullptr)
                found = query_object(of, k.query_token);
        }
    }

    char name[32], driver[16];
    bool typed = typed_names(k, scalar_type, name, sizeof(name), driver, sizeof(driver));
    if (found == nullptr && typed)
        BrDevContainedFind(&found, k.type, name, nullptr);
    if (found == nullptr)
        BrDevContainedFind(&found, k.type, k.default_name, nullptr);
    if (found == nullptr && typed && BrDevCheckAdd(nullptr, driver, nullptr) == BRE_OK)
        BrDevContainedFind(&found, k.type, name, nullptr);
    if (found == nullptr && BrDevCheckAdd(nullptr, k.driver, nullptr) == BRE_OK)
        BrDevContainedFind(&found, k.type, k.default_name, nullptr);
    if (found == nullptr)
        return BRE_FAIL;
    *out = found;
    return BRE_OK;
}

br_error BrRendererFacilityFind(br_renderer_facility **prf, br_object *destination, br_token scalar_type)
{
    return facility_find((br_object **)prf, destination, scalar_type, renderer_kind);
}

br_error BrPrimitiveLibraryFind(br_primitive_library **ppl, br_object *destination, br_token scalar_type)
{
    return facility_find((br_object **)ppl, destination, scalar_type, primitives_kind);
}

br_error BrGeometryFormatFind(br_geometry **pgf, br_renderer *renderer, br_renderer_facility *renderer_facility,
                              br_token scalar_type, br_token format_type)
{
    br_object *found = nullptr;
    if (renderer != nullptr)
        renderer->dispatch->_find((br_object_container *)renderer, &found, format_type, nullptr, nullptr);
    if (found == nullptr) {
        br_renderer_facility *rf = renderer_facility;
        if (rf == nullptr && renderer != nullptr)
            rf = (br_renderer_facility *)query_object((br_object *)renderer, BRT_RENDERER_FACILITY_O);
        if (rf != nullptr)
            rf->dispatch->_find((br_object_container *)rf, &found, format_type, nullptr, nullptr);
    }

    char name[32], driver[16];
    bool typed = typed_names(format_names, scalar_type, name, sizeof(name), driver, sizeof(driver));
    if (found == nullptr && typed)
        BrDevContainedFind(&found, format_type, name, nullptr);
    if (found == nullptr)
        BrDevContainedFind(&found, format_type, format_names.default_name, nullptr);
    if (found == nullptr && typed && BrDevCheckAdd(nullptr, driver, nullptr) == BRE_OK)
        BrDevContainedFind(&found, format_type, name, nullptr);
    if (found == nullptr && BrDevCheckAdd(nullptr, format_names.driver, nullptr) == BRE_OK)
        BrDevContainedFind(&found, format_type, format_names.default_name, nullptr);
    if (found == nullptr)
        return BRE_FAIL;
    *pgf = (br_geometry *)found;
    return BRE_OK;
}
