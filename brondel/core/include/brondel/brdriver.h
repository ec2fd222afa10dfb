/* The objects a renderer driver makes, as the 3D database sees them: the renderer facility, the
 * renderer, its geometry formats, stored state, buffers and geometry, and the primitive library.
 * Every one is an object (see brobject.h); the operations below follow the shared ones in each
 * dispatch table, in this order. */
#ifndef BRONDEL_BRDRIVER_H
#define BRONDEL_BRDRIVER_H

#include "brondel/brobject.h"

#ifdef __cplusplus
extern "C" {
#endif

struct br_pixelmap;
struct br_matrix34;
struct br_bounds3;

typedef struct br_renderer br_renderer;
typedef struct br_renderer_facility br_renderer_facility;
typedef struct br_renderer_state_stored br_renderer_state_stored;
typedef struct br_buffer_stored br_buffer_stored;
typedef struct br_geometry br_geometry;
typedef struct br_geometry_v1_model br_geometry_v1_model;
typedef struct br_geometry_v1_buckets br_geometry_v1_buckets;
typedef struct br_geometry_lighting br_geometry_lighting;
typedef struct br_geometry_stored br_geometry_stored;
typedef struct br_primitive_library br_primitive_library;

/* Renderer facility: a container of the geometry formats, able to make renderers. */
typedef struct br_renderer_facility_dispatch {
    BR_OBJECT_METHODS
    BR_OBJECT_CONTAINER_METHODS
    br_error (*_validDestination)(br_renderer_facility *self, br_boolean *bp, br_object *h);
    /* Takes {DESTINATION_O} or nothing; the renderer starts in its default state. */
    br_error (*_rendererNew)(br_renderer_facility *self, br_renderer **prenderer, br_token_value *tv);
} br_renderer_facility_dispatch;

struct br_renderer_facility {
    const br_renderer_facility_dispatch *dispatch;
};

/* Renderer: a container whose find answers the geometry formats, then its own operations. Each
 * returns 0 on success. */
typedef struct br_renderer_dispatch {
    BR_OBJECT_METHODS
    BR_OBJECT_CONTAINER_METHODS
    br_error (*_newStoredState)(br_renderer *self, br_renderer_state_stored **pss, br_uint_32 mask,
                                br_token_value *tv);
    br_error (*_newStoredBuffer)(br_renderer *self, br_buffer_stored **psm, br_token use, struct br_pixelmap *pm,
                                 br_token_value *tv);
    br_error (*_partSet)(br_renderer *self, br_token part, br_int_32 index, br_token t, br_value value);
    br_error (*_partSetMany)(br_renderer *self, br_token part, br_int_32 index, br_token_value *tv,
                             br_int_32 *pcount);
    br_error (*_partQuery)(br_renderer *self, br_token part, br_int_32 index, br_value *pvalue, void *buffer,
                           br_size_t buffer_size, br_token t);
    br_error (*_partQueryBuffer)(br_renderer *self, br_token part, br_int_32 index, br_token_value *tv,
                                 void *buffer, br_size_t buffer_size);
    /* model-to-view = matrix x model-to-view */
    br_error (*_modelMul)(br_renderer *self, struct br_matrix34 *m);
    br_error (*_modelInvert)(br_renderer *self);
    br_error (*_statePush)(br_renderer *self, br_uint_32 mask);
    br_error (*_statePop)(br_renderer *self, br_uint_32 mask);
    br_error (*_stateSave)(br_renderer *self, br_renderer_state_stored *save, br_uint_32 mask);
    br_error (*_stateRestore)(br_renderer *self, br_renderer_state_stored *save, br_uint_32 mask);
    br_error (*_stateDefault)(br_renderer *self, br_uint_32 mask);
    /* Answers BRT_ACCEPT, BRT_REJECT or BRT_PARTIAL for bounds in model space. */
    br_error (*_boundsTest)(br_renderer *self, br_token *r, struct br_bounds3 *bounds);
    br_error (*_flush)(br_renderer *self, br_boolean wait);
} br_renderer_dispatch;

struct br_renderer {
    const br_renderer_dispatch *dispatch;
};

/* State masks the database relies on. */
#define BR_STATE_MATRIX_MODEL_TO_VIEW 0x00000002u
#define BR_STATE_BOUNDS 0x00000020u
#define BR_STATE_MATERIAL 0x80000041u

/* Stored renderer state: only freed (the shared free operation). */
typedef struct br_renderer_state_stored_dispatch {
    BR_OBJECT_METHODS
} br_renderer_state_stored_dispatch;

struct br_renderer_state_stored {
    const br_renderer_state_stored_dispatch *dispatch;
};

/* Stored buffer: a texture or table held for the renderer, refreshed from its pixel map. */
typedef struct br_buffer_stored_dispatch {
    BR_OBJECT_METHODS
    br_error (*_update)(br_buffer_stored *self, struct br_pixelmap *pm, br_token_value *tv);
} br_buffer_stored_dispatch;

struct br_buffer_stored {
    const br_buffer_stored_dispatch *dispatch;
};

/* Geometry formats. The prepared block is the database's prepared model; the material state is a
 * stored state; the primitive type is BRT_POINT, BRT_LINE or BRT_TRIANGLE. */
typedef struct br_geometry_v1_model_dispatch {
    BR_OBJECT_METHODS
    br_error (*_render)(br_geometry_v1_model *self, br_renderer *renderer, void *model,
                        br_renderer_state_stored *default_state, br_token type);
    br_error (*_renderOnScreen)(br_geometry_v1_model *self, br_renderer *renderer, void *model,
                                br_renderer_state_stored *default_state, br_token type);
    /* Takes {CAN_SHARE_B}. */
    br_error (*_storedNew)(br_geometry_v1_model *self, br_renderer *renderer, br_geometry_stored **psg, void *model,
                           br_token type, br_token_value *tv);
} br_geometry_v1_model_dispatch;

struct br_geometry_v1_model {
    const br_geometry_v1_model_dispatch *dispatch;
};

typedef struct br_geometry_lighting_dispatch {
    BR_OBJECT_METHODS
    br_error (*_render)(br_geometry_lighting *self, br_renderer *renderer, void *model,
                        br_renderer_state_stored *default_state, br_token type);
    br_error (*_renderOnScreen)(br_geometry_lighting *self, br_renderer *renderer, void *model,
                                br_renderer_state_stored *default_state, br_token type);
    br_error (*_storedNew)(br_geometry_lighting *self, br_renderer *renderer, br_geometry_stored **psg,
                           void *model, br_token type, br_token_value *tv);
} br_geometry_lighting_dispatch;

struct br_geometry_lighting {
    const br_geometry_lighting_dispatch *dispatch;
};

/* Bucket format (optional): renders the primitive buckets of an order table. */
typedef struct br_geometry_v1_buckets_dispatch {
    BR_OBJECT_METHODS
    br_error (*_render)(br_geometry_v1_buckets *self, br_renderer *renderer, void **buckets, br_int_32 nbuckets);
    br_error (*_renderOnScreen)(br_geometry_v1_buckets *self, br_renderer *renderer, void **buckets,
                                br_int_32 nbuckets);
} br_geometry_v1_buckets_dispatch;

struct br_geometry_v1_buckets {
    const br_geometry_v1_buckets_dispatch *dispatch;
};

/* Any geometry format, before its type is known. */
typedef struct br_geometry_dispatch {
    BR_OBJECT_METHODS
} br_geometry_dispatch;

struct br_geometry {
    const br_geometry_dispatch *dispatch;
};

/* Stored geometry: answers SHARED_B through query, and renders itself. */
typedef struct br_geometry_stored_dispatch {
    BR_OBJECT_METHODS
    br_error (*_render)(br_geometry_stored *self, br_renderer *renderer);
    br_error (*_renderOnScreen)(br_geometry_stored *self, br_renderer *renderer);
} br_geometry_stored_dispatch;

struct br_geometry_stored {
    const br_geometry_stored_dispatch *dispatch;
};

/* Primitive library: a container; the database only finds it. */
typedef struct br_primitive_library_dispatch {
    BR_OBJECT_METHODS
    BR_OBJECT_CONTAINER_METHODS
} br_primitive_library_dispatch;

struct br_primitive_library {
    const br_primitive_library_dispatch *dispatch;
};

#ifdef __cplusplus
}
#endif

#endif
