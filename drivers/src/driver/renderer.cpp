// The renderer object and its stored states and buffers: thin wrappers over the state machine.
#include "objects.h"

#include "brondel/brdevice.h"
#include "brondel/brmatrix.h"
#include "brondel/brpixmap.h"

#include <cstddef>
#include <cstring>
#include <new>

namespace srdrv {

namespace {

br_tv_template_entry renderer_entries[] = {
    {BRT_IDENTIFIER_CSTR, nullptr, offsetof(Renderer, h.identifier), BRTV_QUERY | BRTV_ALL, BRTV_CONV_COPY, 0, 0},
    {BRT_RENDERER_FACILITY_O, nullptr, offsetof(Renderer, facility), BRTV_QUERY | BRTV_ALL, BRTV_CONV_COPY, 0, 0},
};

br_tv_template_entry stored_entries[] = {
    {BRT_IDENTIFIER_CSTR, nullptr, offsetof(Head, identifier), BRTV_QUERY | BRTV_ALL, BRTV_CONV_COPY, 0, 0},
};

br_tv_template *template_query(br_object *self)
{
    return ((Head *)self)->tpl;
}

void *renderer_list(br_object_container *self)
{
    return ((Renderer *)self)->object_list;
}

Renderer *R(br_renderer *self)
{
    return (Renderer *)self;
}

// Every live renderer and stored state of this carrier's driver.
Renderer *renderers = nullptr;
StoredState *stored_states = nullptr;

template <typename T>
void link(T *&head, T *item)
{
    item->prev = nullptr;
    item->next = head;
    if (head)
        head->prev = item;
    head = item;
}

template <typename T>
void unlink(T *&head, T *item)
{
    if (item->prev)
        item->prev->next = item->next;
    else if (head == item)
        head = item->next;
    if (item->next)
        item->next->prev = item->prev;
    item->prev = item->next = nullptr;
}

// Stored states and buffers are plain allocations with their own template.
void stored_state_free(br_object *self)
{
    StoredState *s = (StoredState *)self;
    unlink(stored_states, s);
    delete s->stored;
    BrTVTemplateFree(s->h.tpl);
    delete s;
}

const br_renderer_state_stored_dispatch stored_state_dispatch = [] {
    br_renderer_state_stored_dispatch d{};
    fill_object(d, stored_state_free, template_query);
    return d;
}();

void stored_buffer_free(br_object *self)
{
    StoredBuffer *b = (StoredBuffer *)self;
    // No state keeps naming the buffer: a material drawn with it later draws untextured.
    for (StoredState *s = stored_states; s; s = s->next)
        sr::prim_forget(s->stored->s.prim, b);
    for (Renderer *r = renderers; r; r = r->next)
        r->sm->forget(b);
    BrTVTemplateFree(b->h.tpl);
    delete b;
}

// Texture types the renderer can read: index 8 with its palette, the true-colour types, and the two
// alpha types that picture files of the 2D library carry (10: alpha byte and 565 word, 18: 4444).
bool texture_type(const br_pixelmap *pm)
{
    switch (pm->type) {
    case BR_PMT_INDEX_8:
    case BR_PMT_RGB_555:
    case BR_PMT_RGB_565:
    case BR_PMT_RGB_888:
    case BR_PMT_RGBX_888:
    case BR_PMT_RGBA_8888:
    case 10:
    case 18:
        return true;
    default:
        return false;
    }
}

// The colours of an index 8 map: its palette map's entries (0x00RRGGBB words, or B, G, R bytes),
// row by row; a grey ramp where it has none.
void make_palette(const br_pixelmap *pm, uint32_t *palette)
{
    for (uint32_t i = 0; i < 256; ++i)
        palette[i] = 0xff000000u | i * 0x010101u;
    const br_pixelmap *map = pm->map;
    if (pm->type != BR_PMT_INDEX_8 || !map || !map->pixels)
        return;
    int bpp = map->type == BR_PMT_RGB_888 ? 3 : map->type == BR_PMT_RGBX_888 || map->type == BR_PMT_RGBA_8888 ? 4 : 0;
    if (!bpp)
        return;
    int n = 0;
    for (int y = 0; y < map->height && n < 256; ++y) {
        const uint8_t *row = (const uint8_t *)map->pixels + (std::ptrdiff_t)(map->base_y + y) * map->row_bytes +
                             (std::ptrdiff_t)map->base_x * bpp;
        for (int x = 0; x < map->width && n < 256; ++x, row += bpp) {
            uint32_t c = (uint32_t)row[2] << 16 | (uint32_t)row[1] << 8 | row[0];
            palette[n++] = 0xff000000u | c;
        }
    }
}

// The buffer reads its pixel map's memory live; an update re-points it and remakes the palette.
br_error stored_buffer_update(br_buffer_stored *self, br_pixelmap *pm, br_token_value *)
{
    StoredBuffer *b = (StoredBuffer *)self;
    if (!pm)
        return BRE_FAIL;
    if (b->usage == BRT_COLOUR_MAP_O && !texture_type(pm))
        return BRE_UNSUPPORTED;
    b->pm = pm;
    make_palette(pm, b->palette);
    return BRE_OK;
}

const br_buffer_stored_dispatch stored_buffer_dispatch = [] {
    br_buffer_stored_dispatch d{};
    fill_object(d, stored_buffer_free, template_query);
    d._update = stored_buffer_update;
    return d;
}();

void renderer_free(br_object *self)
{
    Renderer *r = (Renderer *)self;
    unlink(renderers, r);
    delete r->sm;
    delete r->scratch;
    BrResFree(r->object_list);
    BrTVTemplateFree(r->h.tpl);
    delete r;
}

br_error new_stored_state(br_renderer *self, br_renderer_state_stored **pss, br_uint_32 mask, br_token_value *)
{
    auto *s = new (std::nothrow) StoredState{};
    if (!s)
        return BRE_NO_MEMORY;
    s->stored = new (std::nothrow) sr::StateMachine::Stored{};
    s->h.tpl = BrTVTemplateAllocate(nullptr, stored_entries, 1);
    if (!s->stored || !s->h.tpl) {
        delete s->stored;
        BrTVTemplateFree(s->h.tpl);
        delete s;
        return BRE_NO_MEMORY;
    }
    s->h.dispatch = &stored_state_dispatch;
    s->h.identifier = "Stored-State";
    s->h.device = R(self)->h.device;
    s->h.type = BRT_RENDERER_STATE_STORED;
    R(self)->sm->save(*s->stored, mask);
    link(stored_states, s);
    *pss = (br_renderer_state_stored *)s;
    return BRE_OK;
}

br_error new_stored_buffer(br_renderer *self, br_buffer_stored **psm, br_token use, br_pixelmap *pm,
                           br_token_value *tv)
{
    if (!pm)
        return BRE_FAIL;
    if (use == BRT_COLOUR_MAP_O && !texture_type(pm))
        return BRE_UNSUPPORTED;
    auto *b = new (std::nothrow) StoredBuffer{};
    if (!b)
        return BRE_NO_MEMORY;
    b->h.tpl = BrTVTemplateAllocate(nullptr, stored_entries, 1);
    if (!b->h.tpl) {
        delete b;
        return BRE_NO_MEMORY;
    }
    b->h.dispatch = &stored_buffer_dispatch;
    b->h.identifier = "Stored-Buffer";
    b->h.device = R(self)->h.device;
    b->h.type = BRT_BUFFER_STORED;
    b->usage = use;
    b->pm = pm;
    make_palette(pm, b->palette);
    *psm = (br_buffer_stored *)b;
    return BRE_OK;
}

br_error part_set(br_renderer *self, br_token part, br_int_32 index, br_token t, br_value value)
{
    return R(self)->sm->partSet(part, index, t, value);
}

br_error part_set_many(br_renderer *self, br_token part, br_int_32 index, br_token_value *tv, br_int_32 *pcount)
{
    return R(self)->sm->partSetMany(part, index, tv, pcount);
}

br_error part_query(br_renderer *self, br_token part, br_int_32 index, br_value *pvalue, void *buffer,
                    br_size_t size, br_token t)
{
    return R(self)->sm->partQuery(part, index, pvalue, buffer, size, t);
}

br_error part_query_buffer(br_renderer *self, br_token part, br_int_32 index, br_token_value *tv, void *buffer,
                           br_size_t size)
{
    return R(self)->sm->partQueryBuffer(part, index, tv, buffer, size);
}

br_error model_mul(br_renderer *self, br_matrix34 *m)
{
    return m ? R(self)->sm->modelMul(m->m) : BRE_FAIL;
}

br_error model_invert(br_renderer *self)
{
    return R(self)->sm->modelInvert();
}

br_error state_push(br_renderer *self, br_uint_32 mask)
{
    return R(self)->sm->push(mask);
}

br_error state_pop(br_renderer *self, br_uint_32 mask)
{
    return R(self)->sm->pop(mask);
}

br_error state_save(br_renderer *self, br_renderer_state_stored *save, br_uint_32 mask)
{
    if (!save)
        return BRE_FAIL;
    R(self)->sm->save(*((StoredState *)save)->stored, mask);
    return BRE_OK;
}

br_error state_restore(br_renderer *self, br_renderer_state_stored *save, br_uint_32 mask)
{
    if (!save)
        return BRE_FAIL;
    R(self)->sm->restore(*((StoredState *)save)->stored, mask);
    return BRE_OK;
}

br_error state_default(br_renderer *self, br_uint_32 mask)
{
    R(self)->sm->reset(mask);
    return BRE_OK;
}

br_error bounds_test(br_renderer *self, br_token *r, br_bounds3 *bounds)
{
    if (!r || !bounds)
        return BRE_FAIL;
    float b[6];
    std::memcpy(b, bounds, sizeof b);
    *r = R(self)->sm->boundsTest(b, b + 3);
    return BRE_OK;
}

br_error flush(br_renderer *, br_boolean)
{
    return BRE_OK;
}

const br_renderer_dispatch renderer_dispatch = [] {
    br_renderer_dispatch d{};
    fill_object(d, renderer_free, template_query);
    d._listQuery = renderer_list;
    d._tokensMatchBegin = _M_br_object_container_tokensMatchBegin;
    d._tokensMatch = _M_br_object_container_tokensMatch;
    d._tokensMatchEnd = _M_br_object_container_tokensMatchEnd;
    d._addFront = _M_br_object_container_addFront;
    d._removeFront = _M_br_object_container_removeFront;
    d._remove = _M_br_object_container_remove;
    d._find = _M_br_object_container_find;
    d._findMany = _M_br_object_container_findMany;
    d._count = _M_br_object_container_count;
    d._newStoredState = new_stored_state;
    d._newStoredBuffer = new_stored_buffer;
    d._partSet = part_set;
    d._partSetMany = part_set_many;
    d._partQuery = part_query;
    d._partQueryBuffer = part_query_buffer;
    d._modelMul = model_mul;
    d._modelInvert = model_invert;
    d._statePush = state_push;
    d._statePop = state_pop;
    d._stateSave = state_save;
    d._stateRestore = state_restore;
    d._stateDefault = state_default;
    d._boundsTest = bounds_test;
    d._flush = flush;
    return d;
}();

} // namespace

bool buffer_texture(void *buffer, sr::Texture &out)
{
    const StoredBuffer *b = (const StoredBuffer *)buffer;
    if (b->h.type != BRT_BUFFER_STORED || b->usage != BRT_COLOUR_MAP_O || !b->pm)
        return false;
    // The pixel map as it is now: a game animates a texture by changing its pixels.
    const br_pixelmap *pm = b->pm;
    switch (pm->type) {
    case BR_PMT_INDEX_8:
        out.type = sr::TexelType::Index8;
        break;
    case BR_PMT_RGB_555:
        out.type = sr::TexelType::RGB_555;
        break;
    case BR_PMT_RGB_565:
        out.type = sr::TexelType::RGB_565;
        break;
    case BR_PMT_RGB_888:
        out.type = sr::TexelType::RGB_888;
        break;
    case BR_PMT_RGBX_888:
        out.type = sr::TexelType::RGBX_888;
        break;
    case BR_PMT_RGBA_8888:
        out.type = sr::TexelType::RGBA_8888;
        break;
    case 10:
        out.type = sr::TexelType::RGB565_A8;
        break;
    case 18:
        out.type = sr::TexelType::ARGB_4444;
        break;
    default:
        return false;
    }
    if (!pm->pixels || pm->width == 0 || pm->height == 0)
        return false;
    out.pixels = (const uint8_t *)pm->pixels + (std::ptrdiff_t)pm->base_y * pm->row_bytes +
                 (std::ptrdiff_t)pm->base_x * sr::texel_bytes(out.type);
    out.row_bytes = pm->row_bytes;
    out.width = pm->width;
    out.height = pm->height;
    out.palette = b->palette;
    return true;
}

br_renderer *renderer_new(Facility *f, br_pixelmap *)
{
    auto *r = new (std::nothrow) Renderer{};
    if (!r)
        return nullptr;
    r->h.dispatch = &renderer_dispatch;
    r->h.identifier = "Renderer-Float";
    r->h.device = f->h.device;
    r->h.type = BRT_RENDERER;
    r->h.tpl = BrTVTemplateAllocate(nullptr, renderer_entries, 2);
    r->facility = f;
    r->object_list = BrObjectListAllocate(nullptr);
    r->sm = new (std::nothrow) sr::StateMachine(nullptr);
    r->scratch = new (std::nothrow) sr::Scratch;
    if (!r->h.tpl || !r->object_list || !r->sm || !r->scratch) {
        renderer_free((br_object *)r);
        return nullptr;
    }
    r->sm->texture_of = buffer_texture;
    link(renderers, r);
    // The renderer answers for the formats of its facility.
    br_object_container *fc = (br_object_container *)f, *rc = (br_object_container *)r;
    br_object *formats[4];
    br_int_32 n = 0;
    fc->dispatch->_findMany(fc, formats, 4, &n, 0, nullptr, nullptr);
    for (br_int_32 i = n - 1; i >= 0; --i)
        rc->dispatch->_addFront(rc, formats[i]);
    return (br_renderer *)r;
}

} // namespace srdrv
