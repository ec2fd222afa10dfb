/* Devices made by drivers, driver loading, output devices and the look-up of the renderer
 * facility, the primitive library and the geometry formats. */
#ifndef BRONDEL_BRDEVICE_H
#define BRONDEL_BRDEVICE_H

#include "brondel/brdriver.h"

#ifdef __cplusplus
extern "C" {
#endif

struct br_pixelmap;

/* A device is an object container: the facilities it offers are its contained objects. */
typedef struct br_device br_device;

typedef struct br_device_dispatch {
    BR_OBJECT_METHODS
    BR_OBJECT_CONTAINER_METHODS
} br_device_dispatch;

struct br_device {
    const br_device_dispatch *dispatch;
};

/* An output facility makes screen pixel maps (its second operation after count). */
typedef struct br_output_facility br_output_facility;

typedef struct br_output_facility_dispatch {
    BR_OBJECT_METHODS
    BR_OBJECT_CONTAINER_METHODS
    br_error (*_validSource)(br_output_facility *self, br_boolean *bp, br_object *h);
    br_error (*_pixelmapNew)(br_output_facility *self, struct br_pixelmap **ppmap, br_token_value *tv);
} br_output_facility_dispatch;

struct br_output_facility {
    const br_output_facility_dispatch *dispatch;
};

/* The entry every driver exports as "BrDrv1Begin": a device from an argument string (may be
 * null), or null. */
typedef br_device *br_device_begin_fn(const char *arguments);

br_error BrDevAdd(br_device **pdev, const char *image, const char *args);
br_error BrDevAddStatic(br_device **pdev, br_device_begin_fn *dev_begin, const char *args);
br_error BrDevCheckAdd(br_device **pdev, const char *name, const char *args);
br_error BrDevRemove(br_device *dev);
br_error BrDevFind(br_device **pdev, const char *pattern);
br_error BrDevFindMany(br_device **devices, br_int_32 *ndevices, br_int_32 max_devices, const char *pattern);
br_error BrDevCount(br_int_32 *ndevices, const char *pattern);
br_error BrDevContainedFind(br_object **ph, br_token type, const char *pattern, br_token_value *tv);
br_error BrDevContainedFindMany(br_object **objects, br_int_32 max_objects, br_int_32 *pnum_objects, br_token type,
                                const char *pattern, br_token_value *tv);
br_error BrDevContainedCount(br_int_32 *pcount, br_token type, const char *pattern, br_token_value *tv);

/* Begins an output device from "name,arguments" ("*" or no name: the first output facility any
 * device offers); null takes the configured default device. */
br_error BrDevBegin(struct br_pixelmap **ppm, const char *setup_string);
/* The same with the arguments as (token, value) pairs up to a token 0; each value is passed
 * pointer-wide (cast integers to intptr_t). */
br_error BrDevBeginVar(struct br_pixelmap **ppm, const char *setup_string, ...);
struct br_pixelmap *BrDevLastBeginQuery(void);
struct br_pixelmap *BrDevLastBeginSet(struct br_pixelmap *pm);

/* Facilities the 3D database needs; the standard drivers are loaded when nothing suitable is
 * present. scalar_type is BRT_FIXED, BRT_FLOAT or anything else for no preference. */
br_error BrRendererFacilityFind(br_renderer_facility **prf, br_object *destination, br_token scalar_type);
br_error BrPrimitiveLibraryFind(br_primitive_library **ppl, br_object *destination, br_token scalar_type);
br_error BrGeometryFormatFind(br_geometry **pgf, br_renderer *renderer, br_renderer_facility *renderer_facility,
                              br_token scalar_type, br_token format_type);

#ifdef __cplusplus
}
#endif

#endif
