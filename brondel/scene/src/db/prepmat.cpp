// Materials, texture maps and tables made into renderer state and renderer buffers.
#include <stddef.h>

#include <brondel/brdriver.h>
#include <brondel/brpixmap.h>

#include "dbstate.h"

// The core's registry reads a pixel map's identifier from the word after its first.
static_assert(offsetof(br_pixelmap, identifier) == sizeof(void *));

namespace {

// A token-value list filled in order.
struct tv_list {
    br_token_value tv[32];
    int n = 0;

    br_value &add(br_token t)
    {
        tv[n].t = t;
        tv[n].v.raw = 0;
        tv[n + 1].t = 0;
        tv[n + 1].v.raw = 0;
        return tv[n++].v;
    }
    void b(br_token t, bool v) { add(t).b = v ? 1 : 0; }
    void u(br_token t, br_uint_32 v) { add(t).u32 = v; }
    void i(br_token t, br_int_32 v) { add(t).i32 = v; }
    void f(br_token t, float v) { add(t).f = v; }
    void tok(br_token t, br_token v) { add(t).t = v; }
    void p(br_token t, void *v) { add(t).p = v; }
};

void part_set(br_renderer *r, br_token part, br_token_value *tv)
{
    br_int_32 count = 0;
    r->dispatch->_partSetMany(r, part, 0, tv, &count);
}

void *buffer_of(br_pixelmap *pm)
{
    return pm != nullptr ? pm->stored : nullptr;
}

br_token linear_or_none(br_uint_32 flags, br_uint_32 bit)
{
    return (flags & bit) ? BRT_LINEAR : BRT_NONE;
}

void primitive_state(br_renderer *r, const br_material *m)
{
    tv_list l;
    l.u(BRT_COLOUR_RGB, m->colour);
    l.f(BRT_OPACITY_F, (float)m->opacity * 0.003921569f);
    l.b(BRT_MODULATE_B, (m->flags & (BR_MATF_LIT | BR_MATF_GEOMETRY_COLOURS)) != 0);
    l.b(BRT_BLEND_B, m->opacity < 255);
    l.b(BRT_SMOOTH_B, m->flags & BR_MATF_SMOOTH);
    if (m->flags & BR_MATF_SUBDIVIDE) {
        l.tok(BRT_PERSPECTIVE_T, BRT_SUBDIVIDE);
        l.i(BRT_SUBDIVIDE_TOLERANCE_I32, m->subdivide_tolerance);
    } else {
        l.b(BRT_PERSPECTIVE_B, m->flags & BR_MATF_PERSPECTIVE);
    }
    l.b(BRT_DECAL_B, m->flags & BR_MATF_DECAL);
    l.b(BRT_DITHER_MAP_B, m->flags & BR_MATF_DITHER);
    l.b(BRT_DITHER_COLOUR_B, m->flags & BR_MATF_DITHER);
    l.i(BRT_INDEX_BASE_I32, m->index_base);
    l.i(BRT_INDEX_RANGE_I32, m->index_range);
    l.tok(BRT_MAP_ANTIALIASING_T, linear_or_none(m->flags, BR_MATF_MAP_ANTIALIAS));
    l.tok(BRT_MAP_INTERPOLATION_T, linear_or_none(m->flags, BR_MATF_MAP_LINEAR));
    l.tok(BRT_MIP_INTERPOLATION_T, linear_or_none(m->flags, BR_MATF_MIP_LINEAR));
    l.tok(BRT_FOG_T, linear_or_none(m->flags, BR_MATF_FOG));
    if (m->flags & BR_MATF_FOG) {
        l.f(BRT_FOG_MIN_F, m->fog_min);
        l.f(BRT_FOG_MAX_F, m->fog_max);
        l.u(BRT_FOG_RGB, m->fog_colour);
    }
    part_set(r, BRT_PRIMITIVE, l.tv);

    tv_list cull;
    cull.tok(BRT_TYPE_T, (m->flags & BR_MATF_TWO_SIDED) ? BRT_TWO_SIDED
                         : (m->flags & BR_MATF_NO_CULL) ? BRT_NONE
                                                        : BRT_ONE_SIDED);
    part_set(r, BRT_CULL, cull.tv);
}

void surface_state(br_renderer *r, const br_material *m)
{
    tv_list l;
    l.u(BRT_COLOUR_RGB, m->colour);
    l.f(BRT_OPACITY_F, (float)m->opacity / 255.0f);
    l.f(BRT_AMBIENT_F, m->ka);
    l.f(BRT_DIFFUSE_F, m->kd);
    l.f(BRT_SPECULAR_F, m->ks);
    l.f(BRT_SPECULAR_POWER_F, m->power);
    l.b(BRT_LIGHTING_B, (m->flags & BR_MATF_GEOMETRY_COLOURS) ? false : (m->flags & BR_MATF_LIT) != 0);
    l.b(BRT_FORCE_FRONT_B, m->flags & BR_MATF_FORCE_FRONT);
    l.tok(BRT_COLOUR_SOURCE_T, (m->flags & BR_MATF_GEOMETRY_COLOURS) ? BRT_GEOMETRY : BRT_SURFACE);
    l.tok(BRT_MAPPING_SOURCE_T, (m->flags & BR_MATF_ENV_INFINITE) ? BRT_ENVIRONMENT_INFINITE
                                : (m->flags & BR_MATF_ENV_LOCAL)  ? BRT_ENVIRONMENT_LOCAL
                                                                  : BRT_GEOMETRY_MAP);
    part_set(r, BRT_SURFACE, l.tv);
}

bool material_uses(const br_material *m, const br_pixelmap *pm)
{
    return m->colour_map == pm || m->index_shade == pm || m->index_blend == pm || m->index_fog == pm ||
           m->screendoor == pm;
}

struct repoint_args {
    br_pixelmap *pm;
    bool forget;
};

br_uint_32 material_repoint(void *item, void *arg)
{
    br_material *m = (br_material *)item;
    const repoint_args *a = (const repoint_args *)arg;
    if (!material_uses(m, a->pm))
        return 0;
    if (a->forget) {
        br_pixelmap **fields[] = {&m->colour_map, &m->index_shade, &m->index_blend, &m->index_fog, &m->screendoor};
        for (br_pixelmap **f : fields)
            if (*f == a->pm)
                *f = nullptr;
    }
    if (m->stored != nullptr)
        BrMaterialUpdate(m, BR_MATU_BUFFERS | BR_MATU_SCREEN_DOOR);
    return 0;
}

// A map's buffer came or went: every registered material that uses the map takes the buffer it
// has now (none draws untextured), so no renderer state keeps a freed buffer. `forget` also drops
// the material's pointer to a map that is being freed.
void materials_repoint(br_pixelmap *pm, bool forget)
{
    repoint_args a = {pm, forget};
    BrRegistryEnum(&v1db.reg_materials, nullptr, material_repoint, &a);
}

// The buffer leaves the map before it is freed, so the materials never see it half gone.
void map_buffer_free(br_pixelmap *pm, bool forget)
{
    void *old = pm->stored;
    pm->stored = nullptr;
    if (old != nullptr || forget)
        materials_repoint(pm, forget);
    if (old != nullptr)
        ObjectFree(old);
}

br_error buffer_update(br_pixelmap *pm, br_uint_16 flags, br_token use)
{
    br_renderer *r = v1db.renderer;
    if (r == nullptr || pm == nullptr)
        return BRE_OK;
    tv_list l;
    l.b(BRT_PREFER_SHARE_B, (flags & BR_MAPU_PREFER_SHARE) != 0);
    l.b(BRT_CAN_SHARE_B, true);
    if (pm->stored != nullptr) {
        br_buffer_stored *b = (br_buffer_stored *)pm->stored;
        return b->dispatch->_update(b, pm, l.tv);
    }
    br_buffer_stored *b = nullptr;
    br_error e = r->dispatch->_newStoredBuffer(r, &b, use, pm, l.tv);
    if (e == BRE_OK) {
        pm->stored = b;
        materials_repoint(pm, false);
    }
    return e;
}

void stored_free(void **stored)
{
    if (*stored != nullptr)
        ObjectFree(*stored);
    *stored = nullptr;
}

} // namespace

void BrMaterialUpdate(br_material *material, br_uint_16 flags)
{
    br_renderer *r = v1db.renderer;
    if (material == nullptr || r == nullptr)
        return;
    const br_uint_32 mask = BR_STATE_MATERIAL;
    r->dispatch->_statePush(r, mask);
    r->dispatch->_stateDefault(r, mask);
    if (material->stored != nullptr)
        r->dispatch->_stateRestore(r, (br_renderer_state_stored *)material->stored, mask);

    if (flags & BR_MATU_MAP_MATRIX) {
        tv_list l;
        l.p(BRT_MAP_MATRIX_M23_F, &material->map_transform);
        part_set(r, BRT_SURFACE, l.tv);
    }
    if (flags & BR_MATU_PRIMITIVE)
        primitive_state(r, material);
    if (flags & BR_MATU_SURFACE)
        surface_state(r, material);
    if (flags & BR_MATU_BUFFERS) {
        tv_list l;
        l.p(BRT_COLOUR_MAP_O, buffer_of(material->colour_map));
        l.p(BRT_INDEX_SHADE_O, buffer_of(material->index_shade));
        l.p(BRT_INDEX_BLEND_O, buffer_of(material->index_blend));
        l.p(BRT_INDEX_FOG_O, buffer_of(material->index_fog));
        part_set(r, BRT_PRIMITIVE, l.tv);
    }
    if (flags & BR_MATU_SCREEN_DOOR) {
        tv_list l;
        l.p(BRT_SCREEN_DOOR_O, buffer_of(material->screendoor));
        part_set(r, BRT_PRIMITIVE, l.tv);
    }
    if ((flags & BR_MATU_SURFACE_EXTRA) && material->surface_extra != nullptr)
        part_set(r, BRT_SURFACE, material->surface_extra);
    if ((flags & BR_MATU_PRIMITIVE_EXTRA) && material->primitive_extra != nullptr)
        part_set(r, BRT_PRIMITIVE, material->primitive_extra);

    if (material->stored != nullptr) {
        r->dispatch->_stateSave(r, (br_renderer_state_stored *)material->stored, mask);
    } else {
        br_renderer_state_stored *s = nullptr;
        if (r->dispatch->_newStoredState(r, &s, mask, nullptr) == BRE_OK) {
            material->stored = s;
            BrDbGroupsRepoint(material);
        }
    }
    r->dispatch->_statePop(r, mask);
}

void BrMaterialClear(br_material *material)
{
    if (material == nullptr || material->stored == nullptr)
        return;
    stored_free((void **)&material->stored);
    BrDbGroupsRepoint(material);
}

br_error BrMapUpdate(br_pixelmap *map, br_uint_16 flags)
{
    return buffer_update(map, flags, BRT_COLOUR_MAP_O);
}

br_error BrTableUpdate(br_pixelmap *table, br_uint_16 flags)
{
    return buffer_update(table, flags, BRT_UNKNOWN);
}

void BrMapClear(br_pixelmap *map)
{
    if (map != nullptr)
        map_buffer_free(map, false);
}

void BrTableClear(br_pixelmap *table)
{
    if (table != nullptr)
        map_buffer_free(table, false);
}

// A pixel map being freed leaves both registries, lets go of its buffer, and no registered
// material keeps pointing at it.
void BrDbPixelmapFreed(br_pixelmap *pm)
{
    while (BrRegistryRemove(&v1db.reg_textures, pm) != nullptr)
        ;
    while (BrRegistryRemove(&v1db.reg_tables, pm) != nullptr)
        ;
    map_buffer_free(pm, true);
}
