// Device, renderer facility, primitive library and geometry formats of the stand-in renderer, the
// driver entry and the built-in images it is found under.
#include "objects.h"
#include "softrend.h"
#include "zsort.h"

#include "brondel/brdevice.h"
#include "brondel/brimage.h"
#include "brondel/brmodel.h"
#include "brondel/brpixmap.h"

#include <cstddef>
#include <cstring>

namespace srdrv {

namespace {

// One device per carrier: the names it is found under all lead to it.
Device *live_device = nullptr;

template <typename T>
T *alloc(void *res)
{
    void *p = BrResAllocate(res, sizeof(T), BR_MEMORY_DRIVER);
    if (p)
        std::memset(p, 0, sizeof(T));
    return (T *)p;
}

br_tv_template *make_template(void *res, br_tv_template_entry *e, int n)
{
    return BrTVTemplateAllocate(res, e, n);
}

#define ENTRY(tok, rec, field) {BRT_##tok, nullptr, offsetof(rec, field), BRTV_QUERY | BRTV_ALL, BRTV_CONV_COPY, 0, 0}

br_tv_template_entry device_entries[] = {
    ENTRY(IDENTIFIER_CSTR, Device, h.identifier),
};
br_tv_template_entry facility_entries[] = {
    ENTRY(IDENTIFIER_CSTR, Facility, h.identifier),
    ENTRY(LIGHT_MAX_I32, Facility, light_max),
    ENTRY(CLIP_MAX_I32, Facility, clip_max),
    ENTRY(RENDERER_MAX_I32, Facility, renderer_max),
};
br_tv_template_entry plain_entries[] = {
    ENTRY(IDENTIFIER_CSTR, Head, identifier),
};

#undef ENTRY

br_tv_template *template_query(br_object *self)
{
    return ((Head *)self)->tpl;
}

void *list_query(br_object_container *self)
{
    switch (((Head *)self)->type) {
    case BRT_DEVICE:
        return ((Device *)self)->object_list;
    case BRT_RENDERER_FACILITY:
        return ((Facility *)self)->object_list;
    case BRT_PRIMITIVE_LIBRARY:
        return ((PrimLibrary *)self)->object_list;
    default:
        return nullptr;
    }
}

// Everything of a device lives under its resource; freeing the device frees it all.
void device_free(br_object *self)
{
    Device *d = (Device *)self;
    if (live_device == d)
        live_device = nullptr;
    BrResFree(d->res);
}

// The objects inside a device go with it.
void contained_free(br_object *) {}

template <typename D>
void fill_container(D &d)
{
    d._listQuery = list_query;
    d._tokensMatchBegin = _M_br_object_container_tokensMatchBegin;
    d._tokensMatch = _M_br_object_container_tokensMatch;
    d._tokensMatchEnd = _M_br_object_container_tokensMatchEnd;
    d._addFront = _M_br_object_container_addFront;
    d._removeFront = _M_br_object_container_removeFront;
    d._remove = _M_br_object_container_remove;
    d._find = _M_br_object_container_find;
    d._findMany = _M_br_object_container_findMany;
    d._count = _M_br_object_container_count;
}

const br_device_dispatch device_dispatch = [] {
    br_device_dispatch d{};
    fill_object(d, device_free, template_query);
    fill_container(d);
    return d;
}();

br_error valid_destination(br_renderer_facility *self, br_boolean *bp, br_object *h)
{
    sr::Buffer b;
    sr::ColourType t;
    *bp = h != nullptr && colour_buffer((const br_pixelmap *)h, b, t);
    return BRE_OK;
}

br_error renderer_new_op(br_renderer_facility *self, br_renderer **prenderer, br_token_value *tv)
{
    br_pixelmap *destination = nullptr;
    for (; tv && tv->t; ++tv)
        if (tv->t == BRT_DESTINATION_O)
            destination = (br_pixelmap *)tv->v.o;
    br_renderer *r = renderer_new((Facility *)self, destination);
    if (!r)
        return BRE_NO_MEMORY;
    *prenderer = r;
    return BRE_OK;
}

const br_renderer_facility_dispatch facility_dispatch = [] {
    br_renderer_facility_dispatch d{};
    fill_object(d, contained_free, template_query);
    fill_container(d);
    d._validDestination = valid_destination;
    d._rendererNew = renderer_new_op;
    return d;
}();

const br_primitive_library_dispatch primitives_dispatch = [] {
    br_primitive_library_dispatch d{};
    fill_object(d, contained_free, template_query);
    fill_container(d);
    return d;
}();

// V1 model format: draws the prepared block of the database group by group.
br_error v1_render(br_geometry_v1_model *self, br_renderer *renderer, void *model,
                   br_renderer_state_stored *default_state, br_token type);

br_error v1_stored_new(br_geometry_v1_model *, br_renderer *, br_geometry_stored **, void *, br_token, br_token_value *)
{
    // Stored geometry is not offered; the database draws from the prepared block.
    return BRE_UNSUPPORTED;
}

const br_geometry_v1_model_dispatch v1_dispatch = [] {
    br_geometry_v1_model_dispatch d{};
    fill_object(d, contained_free, template_query);
    d._render = v1_render;
    d._renderOnScreen = v1_render;
    d._storedNew = v1_stored_new;
    return d;
}();

br_error lighting_render(br_geometry_lighting *, br_renderer *, void *, br_renderer_state_stored *, br_token)
{
    return BRE_UNSUPPORTED;
}

br_error lighting_stored_new(br_geometry_lighting *, br_renderer *, br_geometry_stored **, void *, br_token,
                             br_token_value *)
{
    return BRE_UNSUPPORTED;
}

const br_geometry_lighting_dispatch lighting_dispatch = [] {
    br_geometry_lighting_dispatch d{};
    fill_object(d, contained_free, template_query);
    d._render = lighting_render;
    d._renderOnScreen = lighting_render;
    d._storedNew = lighting_stored_new;
    return d;
}();

const br_geometry_v1_buckets_dispatch buckets_dispatch = [] {
    br_geometry_v1_buckets_dispatch d{};
    fill_object(d, contained_free, template_query);
    d._render = buckets_render;
    d._renderOnScreen = buckets_render;
    return d;
}();

template <typename T>
T *contained(Device *dev, const void *dispatch, const char *name, br_token type, br_tv_template_entry *e, int n)
{
    T *o = alloc<T>(dev->res);
    if (!o)
        return nullptr;
    o->h.dispatch = dispatch;
    o->h.identifier = name;
    o->h.device = dev;
    o->h.type = type;
    o->h.tpl = make_template(dev->res, e, n);
    return o;
}

br_device *drv_begin(const char *args)
{
    if (live_device)
        return nullptr;
    Device *d = device_new(args);
    live_device = d;
    return (br_device *)d;
}

// The entry under both link-level spellings.
const br_image_export exports[] = {{"BrDrv1Begin", (void *)drv_begin}, {"_BrDrv1Begin", (void *)drv_begin}};
constexpr int NEXPORTS = 2;

struct BuiltIn {
    const char *name;
    br_image image;
    const char *names[NEXPORTS];
    void *functions[NEXPORTS];
    br_uint_16 ordinals[NEXPORTS];
};

BuiltIn builtins[] = {{"softrndf", {}, {}, {}, {}}, {"softrend", {}, {}, {}, {}}, {"softprmf", {}, {}, {}, {}},
                      {"softprim", {}, {}, {}, {}}, {"softfrmf", {}, {}, {}, {}}, {"softform", {}, {}, {}, {}}};

} // namespace

Device *device_new(const char *)
{
    void *res = BrResAllocate(nullptr, 0, BR_MEMORY_DRIVER);
    if (!res)
        return nullptr;
    Device *d = alloc<Device>(res);
    if (!d) {
        BrResFree(res);
        return nullptr;
    }
    d->res = res;
    d->h.dispatch = &device_dispatch;
    d->h.identifier = "Softrend";
    d->h.device = d;
    d->h.type = BRT_DEVICE;
    d->h.tpl = make_template(res, device_entries, 1);
    d->object_list = BrObjectListAllocate(res);

    Facility *f = facility_new(d);
    PrimLibrary *p = primitives_new(d);
    Format *v1 = format_v1_model(d), *lit = format_lighting(d), *buckets = format_v1_buckets(d);
    if (!d->h.tpl || !d->object_list || !f || !p || !v1 || !lit || !buckets) {
        BrResFree(res);
        return nullptr;
    }
    d->facility = f;
    br_object_container *dc = (br_object_container *)d, *fc = (br_object_container *)f;
    dc->dispatch->_addFront(dc, (br_object *)p);
    dc->dispatch->_addFront(dc, (br_object *)f);
    fc->dispatch->_addFront(fc, (br_object *)lit);
    fc->dispatch->_addFront(fc, (br_object *)buckets);
    fc->dispatch->_addFront(fc, (br_object *)v1);
    return d;
}

Facility *facility_new(Device *dev)
{
    Facility *f = contained<Facility>(dev, &facility_dispatch, "Default-Renderer-Float", BRT_RENDERER_FACILITY,
                                      facility_entries, 4);
    if (!f)
        return nullptr;
    f->object_list = BrObjectListAllocate(dev->res);
    f->light_max = sr::MAX_LIGHTS;
    f->clip_max = sr::MAX_CLIP_PLANES;
    f->renderer_max = 0; // no limit
    return f->object_list && f->h.tpl ? f : nullptr;
}

PrimLibrary *primitives_new(Device *dev)
{
    PrimLibrary *p = contained<PrimLibrary>(dev, &primitives_dispatch, "Default-Primitives-Float",
                                            BRT_PRIMITIVE_LIBRARY, plain_entries, 1);
    if (!p)
        return nullptr;
    p->object_list = BrObjectListAllocate(dev->res);
    return p->object_list && p->h.tpl ? p : nullptr;
}

Format *format_v1_model(Device *dev)
{
    return contained<Format>(dev, &v1_dispatch, "V1-Model-Float", BRT_GEOMETRY_V1_MODEL, plain_entries, 1);
}

Format *format_lighting(Device *dev)
{
    return contained<Format>(dev, &lighting_dispatch, "Lighting-Float", BRT_GEOMETRY_LIGHTING, plain_entries, 1);
}

Format *format_v1_buckets(Device *dev)
{
    return contained<Format>(dev, &buckets_dispatch, "V1-Buckets-Float", BRT_GEOMETRY_V1_BUCKETS, plain_entries, 1);
}

const char *obj_identifier(br_object *self)
{
    return ((Head *)self)->identifier;
}

br_token obj_type(br_object *self)
{
    return ((Head *)self)->type;
}

br_boolean obj_is_type(br_object *self, br_token t)
{
    return ((Head *)self)->type == t;
}

struct br_device *obj_device(br_object *self)
{
    return (struct br_device *)((Head *)self)->device;
}

br_int_32 obj_space(br_object *)
{
    return 0;
}

bool colour_buffer(const br_pixelmap *pm, sr::Buffer &b, sr::ColourType &t)
{
    if (!pm || !pm->pixels || pm->width == 0 || pm->height == 0)
        return false;
    switch (pm->type) {
    case BR_PMT_RGB_555:
        t = sr::ColourType::RGB_555;
        break;
    case BR_PMT_RGB_565:
        t = sr::ColourType::RGB_565;
        break;
    case BR_PMT_RGB_888:
        t = sr::ColourType::RGB_888;
        break;
    case BR_PMT_RGBX_888:
        t = sr::ColourType::RGBX_888;
        break;
    case BR_PMT_RGBA_8888:
        t = sr::ColourType::RGBA_8888;
        break;
    default:
        return false;
    }
    b.pixels = (uint8_t *)pm->pixels + (std::ptrdiff_t)pm->base_y * pm->row_bytes +
               (std::ptrdiff_t)pm->base_x * sr::colour_bytes(t);
    b.row_bytes = pm->row_bytes;
    b.width = pm->width;
    b.height = pm->height;
    return true;
}

bool depth_buffer(const br_pixelmap *pm, sr::Buffer &b, sr::DepthType &t)
{
    if (!pm || !pm->pixels || pm->width == 0 || pm->height == 0)
        return false;
    if (pm->type == BR_PMT_DEPTH_16)
        t = sr::DepthType::D16;
    else if (pm->type == BR_PMT_DEPTH_32)
        t = sr::DepthType::D32;
    else
        return false;
    b.pixels = (uint8_t *)pm->pixels + (std::ptrdiff_t)pm->base_y * pm->row_bytes +
               (std::ptrdiff_t)pm->base_x * sr::depth_bytes(t);
    b.row_bytes = pm->row_bytes;
    b.width = pm->width;
    b.height = pm->height;
    return true;
}

namespace {

static_assert(sizeof(br_prepared_vertex) == sizeof(sr::PVertex) && offsetof(br_prepared_vertex, n) == offsetof(sr::PVertex, n),
              "prepared vertices are read as the pipeline's");
static_assert(sizeof(br_prepared_face) == sizeof(sr::PFace) && offsetof(br_prepared_face, n) == offsetof(sr::PFace, n) &&
                  offsetof(br_prepared_face, d) == offsetof(sr::PFace, d),
              "prepared faces are read as the pipeline's");

br_error v1_render(br_geometry_v1_model *, br_renderer *renderer, void *model, br_renderer_state_stored *default_state,
                   br_token type)
{
    Renderer *r = (Renderer *)renderer;
    const br_prepared_model *pm = (const br_prepared_model *)model;
    if (!r || !pm)
        return BRE_FAIL;
    sr::Primitive prim;
    if (type == BRT_TRIANGLE)
        prim = sr::Primitive::Triangle;
    else if (type == BRT_LINE)
        prim = sr::Primitive::Line;
    else if (type == BRT_POINT)
        prim = sr::Primitive::Point;
    else
        return BRE_UNSUPPORTED;
    const sr::State &st = r->sm->cur;
    sr::Target t;
    if (!colour_buffer((const br_pixelmap *)st.output.colour, t.colour, t.ctype))
        return BRE_FAIL;
    // A z-sort render puts the primitives in buckets; the colour buffer only gives the screen size.
    const bool zsort = st.hidden.type == BRT_BUCKET_SORT;
    const sr::PartHidden hidden = st.hidden;
    if (zsort && !HeapSink(hidden).usable())
        return BRE_FAIL;
    if (zsort || !depth_buffer((const br_pixelmap *)st.output.depth, t.depth, t.dtype))
        t.dtype = sr::DepthType::None;
    for (br_uint_16 i = 0; i < pm->ngroups; ++i) {
        const br_prepared_group &g = pm->groups[i];
        sr::Group grp;
        grp.faces = (const sr::PFace *)g.faces;
        grp.face_colours = g.face_colours;
        grp.vertices = (const sr::PVertex *)g.vertices;
        grp.vertex_colours = g.vertex_colours;
        grp.nfaces = g.nfaces;
        grp.nvertices = g.nvertices;
        grp.nedges = g.nedges;
        br_renderer_state_stored *ss = g.stored ? g.stored : default_state;
        const sr::StateMachine::Stored *stored = ss ? ((StoredState *)ss)->stored : nullptr;
        if (zsort) {
            HeapSink sink(hidden);
            r->sm->draw(t, grp, stored, prim, *r->scratch, &sink);
        } else {
            r->sm->draw(t, grp, stored, prim, *r->scratch);
        }
    }
    return BRE_OK;
}

} // namespace

} // namespace srdrv

extern "C" void SoftrendImagesAdd(void)
{
    for (srdrv::BuiltIn &b : srdrv::builtins) {
        if (BrImageFind(b.name))
            continue;
        if (!BrImageResidentMake(&b.image, b.name, srdrv::exports, srdrv::NEXPORTS, b.names, b.functions, b.ordinals))
            continue;
        BrImageAdd(&b.image);
    }
}
