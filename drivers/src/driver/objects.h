// The driver objects: device, renderer facility, primitive library, geometry formats, renderer,
// stored states and buffers. Each record starts with its operation table; the rest is plain data
// so the core's default query operations can read it through a template.
#ifndef SOFTREND_DRIVER_OBJECTS_H
#define SOFTREND_DRIVER_OBJECTS_H

#include "brondel/brcore.h"
#include "rstate.h"

namespace srdrv {

struct Device;

// Fields every object of the driver has after its table.
struct Head {
    const void *dispatch;
    const char *identifier;
    Device *device;
    br_token type;
    br_tv_template *tpl;
};

struct Device {
    Head h;
    void *object_list;
    void *res;
    struct Facility *facility;
};

struct Facility {
    Head h;
    void *object_list;
    br_int_32 light_max, clip_max, renderer_max;
};

struct PrimLibrary {
    Head h;
    void *object_list;
};

// A geometry format (V1 model or lighting): only its table differs.
struct Format {
    Head h;
};

// Renderers and stored states are listed while they live, so a buffer that goes is taken out of
// every state that names it (a material the database does not list keeps its stored state too).
struct Renderer {
    Head h;
    void *object_list;
    Facility *facility;
    sr::StateMachine *sm;
    sr::Scratch *scratch;
    Renderer *prev, *next;
};

struct StoredState {
    Head h;
    sr::StateMachine::Stored *stored;
    StoredState *prev, *next;
};

struct StoredBuffer {
    Head h;
    struct br_pixelmap *pm; // read in place at every draw
    br_token usage;
    uint32_t palette[256];  // index 8 colours, made at creation and update
};

// The objects of one device; made by BrDrv1Begin.
Device *device_new(const char *args);
Format *format_v1_model(Device *dev);
Format *format_lighting(Device *dev);
Format *format_v1_buckets(Device *dev);
Facility *facility_new(Device *dev);
PrimLibrary *primitives_new(Device *dev);
br_renderer *renderer_new(Facility *f, struct br_pixelmap *destination);

// Shared object operations.
const char *obj_identifier(br_object *self);
br_token obj_type(br_object *self);
br_boolean obj_is_type(br_object *self, br_token t);
struct br_device *obj_device(br_object *self);
br_int_32 obj_space(br_object *self);

// The head every driver object's operation table shares; `query` answers the object's own template.
template <typename D>
void fill_object(D &d, void (*free_fn)(br_object *), br_tv_template *(*query)(br_object *))
{
    d._free = free_fn;
    d._identifier = obj_identifier;
    d._type = obj_type;
    d._isType = obj_is_type;
    d._device = obj_device;
    d._space = obj_space;
    d._templateQuery = query;
    d._query = _M_br_object_query;
    d._queryBuffer = _M_br_object_queryBuffer;
    d._queryMany = _M_br_object_queryMany;
    d._queryManySize = _M_br_object_queryManySize;
    d._queryAll = _M_br_object_queryAll;
    d._queryAllSize = _M_br_object_queryAllSize;
}

// The texture a colour map buffer stands for, read from its pixel map now.
bool buffer_texture(void *buffer, sr::Texture &out);

// The pipeline's view of a 3D library pixel map; false when it cannot be drawn into.
bool colour_buffer(const struct br_pixelmap *pm, sr::Buffer &b, sr::ColourType &t);
bool depth_buffer(const struct br_pixelmap *pm, sr::Buffer &b, sr::DepthType &t);

} // namespace srdrv

#endif
