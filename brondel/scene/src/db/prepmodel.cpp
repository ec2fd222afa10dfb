// Model preparation: faces grouped by material, corners merged into prepared vertices with
// smoothed normals, face planes, shared-edge numbers, bounds and radius.
#include <math.h>
#include <string.h>

#include <algorithm>

#include "dbstate.h"

namespace {

constexpr br_uint_16 SOURCE_KEPT = BR_MODF_KEEP_SOURCE | BR_MODF_KEEP_SOURCE_2;
constexpr float MIN_NORMAL_LENGTH = 2.3841858e-7f;
constexpr float TWO_PI = 6.28318530717958647692f;

// One face corner while the groups are built.
struct corner {
    br_vector3 n;          // accumulated normal
    br_material *material; // of its face
    br_uint_32 prepared;   // the prepared vertex it became
    br_uint_16 vertex;     // source vertex number
    br_uint_16 face;       // source face number
};

struct edge_record {
    br_uint_16 from, to;
    br_uint_32 matched;
    br_int_32 next; // -1 at the end of a bucket
};

br_size_t round32(br_size_t n)
{
    return (n + 31) & ~(br_size_t)31;
}

// A total order over floats, so a malformed position (NaN) cannot upset the sorts.
int fcmp(float a, float b)
{
    if (a < b)
        return -1;
    if (a > b)
        return 1;
    bool na = a != a, nb = b != b;
    return (int)na - (int)nb;
}

int vcmp(const float *a, const float *b, int n)
{
    for (int i = 0; i < n; i++)
        if (int r = fcmp(a[i], b[i]))
            return r;
    return 0;
}

int pcmp(const void *a, const void *b)
{
    return (uintptr_t)a < (uintptr_t)b ? -1 : (uintptr_t)a > (uintptr_t)b ? 1 : 0;
}

br_uint_32 pack_colour(const br_colour_bytes &c)
{
    return (br_uint_32)c.index << 24 | (br_uint_32)c.red << 16 | (br_uint_32)c.green << 8 | c.blue;
}

void normalise_or_x(br_vector3 *n)
{
    float l = sqrtf(BrVector3Dot(n, n));
    if (l <= MIN_NORMAL_LENGTH)
        BrVector3Set(n, 1.0f, 0.0f, 0.0f);
    else
        BrVector3InvScale(n, n, l);
}

// Plane through three points; a component at or below -1 is kept just above it.
void face_plane(br_vector3 *n, br_scalar *d, const br_vector3 *p0, const br_vector3 *p1, const br_vector3 *p2)
{
    br_vector4 eq;
    BrPlaneEquation(&eq, p0, p1, p2);
    for (int i = 0; i < 3; i++) {
        float c = eq.v[i];
        if (c <= -1.0f)
            c = -0.99999988f;
        else if (c >= 1.0f)
            c = 1.0f;
        n->v[i] = c;
    }
    *d = eq.v[3];
}

void bounds_update(br_model *model)
{
    if (model->vertices == nullptr || model->nvertices == 0)
        return;
    float r2 = 0.0f;
    br_bounds3 b;
    b.min = b.max = model->vertices[0].p;
    for (int i = 0; i < model->nvertices; i++) {
        const br_vector3 &p = model->vertices[i].p;
        r2 = std::max(r2, BrVector3Dot(&p, &p));
        for (int a = 0; a < 3; a++) {
            b.min.v[a] = std::min(b.min.v[a], p.v[a]);
            b.max.v[a] = std::max(b.max.v[a], p.v[a]);
        }
    }
    model->radius = sqrtf(r2);
    model->bounds = b;
}

void prepared_free(br_model *model)
{
    if (model->prepared != nullptr)
        BrResFree(model->prepared);
    model->prepared = nullptr;
}

// Where each array lives in a prepared block of the given counts.
struct block_layout {
    br_size_t groups, faces, vertices, vertex_colours, face_colours, vertex_user, face_user, size;

    block_layout(br_size_t ng, br_size_t nf, br_size_t nv)
    {
        br_size_t off = round32(sizeof(br_prepared_model));
        groups = off;
        off += round32(ng * sizeof(br_prepared_group));
        faces = off;
        off += round32(nf * sizeof(br_prepared_face));
        vertices = off;
        off += round32(nv * sizeof(br_prepared_vertex));
        vertex_colours = off;
        off += round32(nv * sizeof(br_uint_32));
        face_colours = off;
        off += round32(nf * sizeof(br_uint_32));
        vertex_user = off;
        off += round32(nv * sizeof(br_uint_16));
        face_user = off;
        off += round32(nf * sizeof(br_uint_16));
        size = off;
    }
};

struct builder {
    br_model *model;
    corner *corners;
    br_uint_32 ncorners;
    br_uint_32 *corner_order;
    br_uint_32 *face_order; // valid face slots, corners of slot k at 3k..3k+2
    br_uint_32 nslots;

    const br_vector3 &pos(const corner &c) const { return model->vertices[c.vertex].p; }
    const br_vector2 &map(const corner &c) const { return model->vertices[c.vertex].map; }
    const br_face &face(const corner &c) const { return model->faces[c.face]; }

    // The order in which corners merge: equal corners become one prepared vertex.
    int merge_cmp(const corner &a, const corner &b) const
    {
        if (int r = pcmp(a.material, b.material))
            return r;
        if (model->flags & BR_MODF_NO_POSITION_MERGE) {
            if (a.vertex != b.vertex)
                return a.vertex < b.vertex ? -1 : 1;
        } else if (a.vertex != b.vertex) {
            if (int r = vcmp(pos(a).v, pos(b).v, 3))
                return r;
            if (int r = vcmp(map(a).v, map(b).v, 2))
                return r;
        }
        return vcmp(a.n.v, b.n.v, 3);
    }
};

// Smoothing: each corner takes its own face's normal, and those of the faces meeting it at the same
// position that share a smoothing group (and, with a crease angle, do not bend too far).
void smooth(builder &b)
{
    br_model *model = b.model;
    std::sort(b.corner_order, b.corner_order + b.ncorners, [&](br_uint_32 x, br_uint_32 y) {
        if (int r = vcmp(b.pos(b.corners[x]).v, b.pos(b.corners[y]).v, 3))
            return r < 0;
        return x < y;
    });
    bool crease = model->flags & BR_MODF_USE_CREASE;
    float crease_cos = cosf((float)model->crease_angle * (TWO_PI / 65536.0f));
    for (br_uint_32 start = 0, end; start < b.ncorners; start = end) {
        const br_vector3 &p0 = b.pos(b.corners[b.corner_order[start]]);
        for (end = start + 1; end < b.ncorners && vcmp(b.pos(b.corners[b.corner_order[end]]).v, p0.v, 3) == 0; end++)
            ;
        for (br_uint_32 i = start; i < end; i++) {
            corner &p = b.corners[b.corner_order[i]];
            const br_face &pf = b.face(p);
            p.n = pf.normal;
            for (br_uint_32 j = start; j < end; j++) {
                if (j == i)
                    continue;
                const br_face &qf = b.face(b.corners[b.corner_order[j]]);
                if ((pf.smoothing & qf.smoothing) == 0)
                    continue;
                if (crease && BrVector3Dot(&pf.normal, &qf.normal) <= crease_cos)
                    continue;
                BrVector3Accumulate(&p.n, &qf.normal);
            }
        }
    }
}

// Numbers the edges of one group; equal numbers mark an edge two faces share in opposite
// directions. False when the numbers do not fit 16 bits.
bool group_edges(br_model *model, br_prepared_group *g, br_int_32 *heads, edge_record *records)
{
    for (int v = 0; v < g->nvertices; v++)
        heads[v] = -1;
    br_uint_32 counter = 0;
    for (int f = 0; f < g->nfaces; f++) {
        br_prepared_face *pf = &g->faces[f];
        br_uint_8 hidden = model->faces[g->face_user[f]].flags;
        for (int e = 0; e < 3; e++) {
            if (hidden & (1 << e)) {
                pf->edges[e] = 0;
                continue;
            }
            br_uint_16 from = pf->vertices[e], to = pf->vertices[(e + 1) % 3];
            br_int_32 r;
            for (r = heads[to]; r >= 0; r = records[r].next)
                if (!records[r].matched && records[r].from == to && records[r].to == from)
                    break;
            if (r >= 0) {
                records[r].matched = 1;
                pf->edges[e] = (br_uint_16)(r + 1);
                continue;
            }
            if (counter + 2 > 0xffff)
                return false;
            edge_record &n = records[counter];
            n.from = from;
            n.to = to;
            n.matched = 0;
            n.next = -1;
            br_int_32 *link = &heads[from];
            while (*link >= 0)
                link = &records[*link].next;
            *link = (br_int_32)counter;
            pf->edges[e] = (br_uint_16)(counter + 1);
            counter++;
        }
    }
    g->nedges = (br_uint_16)(counter + 1);
    return true;
}

bool prepare_edges(br_model *model)
{
    br_prepared_model *pm = model->prepared;
    br_size_t maxv = 0, maxf = 0;
    for (int g = 0; g < pm->ngroups; g++) {
        maxv = std::max<br_size_t>(maxv, pm->groups[g].nvertices);
        maxf = std::max<br_size_t>(maxf, pm->groups[g].nfaces);
    }
    br_size_t heads_size = (maxv * sizeof(br_int_32) + 7) & ~(br_size_t)7;
    br_size_t size = heads_size + maxf * 3 * sizeof(edge_record);
    if (size == 0)
        return true;
    br_uint_8 *scratch = (br_uint_8 *)BrScratchAllocate(size);
    if (scratch == nullptr)
        return false;
    bool ok = true;
    for (int g = 0; ok && g < pm->ngroups; g++)
        ok = group_edges(model, &pm->groups[g], (br_int_32 *)scratch, (edge_record *)(scratch + heads_size));
    BrScratchFree(scratch);
    if (!ok)
        BrFailure("BrModelUpdate: too many edges in one material group (%s)",
                  model->identifier ? model->identifier : "<NULL>");
    return ok;
}

// Builds the groups, prepared faces and prepared vertices. False when nothing could be built.
bool prepare_groups(br_model *model)
{
    // Faces with a vertex number out of range are left out, so nothing reads past the vertices.
    br_uint_32 nslots = 0;
    model->flags &= ~BR_MODF_FACE_WITHOUT_MATERIAL;
    for (int f = 0; f < model->nfaces; f++) {
        br_face *fp = &model->faces[f];
        bool valid = true;
        for (int c = 0; c < 3; c++) {
            if (fp->vertices[c] >= model->nvertices) {
                BrFailure("face references invalid vertex f=%d v=%d", f, c);
                valid = false;
            }
        }
        if (!valid)
            continue;
        face_plane(&fp->normal, &fp->d, &model->vertices[fp->vertices[0]].p, &model->vertices[fp->vertices[1]].p,
                   &model->vertices[fp->vertices[2]].p);
        if (fp->material == nullptr)
            model->flags |= BR_MODF_FACE_WITHOUT_MATERIAL;
        nslots++;
    }

    builder b;
    b.model = model;
    b.nslots = nslots;
    b.ncorners = nslots * 3;
    br_size_t corners_size = b.ncorners * sizeof(corner);
    br_size_t size = corners_size + b.ncorners * sizeof(br_uint_32) + nslots * sizeof(br_uint_32);
    br_uint_8 *scratch = (br_uint_8 *)BrScratchAllocate(size ? size : 1);
    if (scratch == nullptr)
        return false;
    b.corners = (corner *)scratch;
    b.corner_order = (br_uint_32 *)(scratch + corners_size);
    b.face_order = b.corner_order + b.ncorners;

    br_uint_32 k = 0;
    for (int f = 0; f < model->nfaces; f++) {
        br_face *fp = &model->faces[f];
        if (fp->vertices[0] >= model->nvertices || fp->vertices[1] >= model->nvertices ||
            fp->vertices[2] >= model->nvertices)
            continue;
        for (int c = 0; c < 3; c++) {
            corner &cr = b.corners[k * 3 + c];
            BrVector3Set(&cr.n, 0.0f, 0.0f, 0.0f);
            cr.material = fp->material;
            cr.prepared = 0;
            cr.vertex = fp->vertices[c];
            cr.face = (br_uint_16)f;
            b.corner_order[k * 3 + c] = k * 3 + c;
        }
        b.face_order[k] = k;
        k++;
    }

    std::sort(b.face_order, b.face_order + nslots, [&](br_uint_32 x, br_uint_32 y) {
        if (int r = pcmp(b.corners[x * 3].material, b.corners[y * 3].material))
            return r < 0;
        return x < y;
    });
    smooth(b);
    std::sort(b.corner_order, b.corner_order + b.ncorners, [&](br_uint_32 x, br_uint_32 y) {
        if (int r = b.merge_cmp(b.corners[x], b.corners[y]))
            return r < 0;
        return x < y;
    });

    // Counts: groups are the distinct materials; prepared vertices the distinct corners.
    br_uint_32 ngroups = 0, nverts = 0, group_verts = 0;
    bool overflow = false;
    for (br_uint_32 i = 0; i < b.ncorners; i++) {
        const corner &c = b.corners[b.corner_order[i]];
        const corner *prev = i ? &b.corners[b.corner_order[i - 1]] : nullptr;
        if (prev == nullptr || prev->material != c.material) {
            ngroups++;
            group_verts = 0;
        }
        if (prev == nullptr || b.merge_cmp(*prev, c) != 0) {
            nverts++;
            if (++group_verts > 0xffff)
                overflow = true;
        }
    }
    if (overflow) {
        BrScratchFree(scratch);
        BrFailure("BrModelUpdate: too many vertices in one material group (%s)",
                  model->identifier ? model->identifier : "<NULL>");
        prepared_free(model);
        return false;
    }

    block_layout l(ngroups, nslots, nverts);
    if (model->prepared == nullptr || model->prepared->size < l.size) {
        prepared_free(model);
        model->prepared = (br_prepared_model *)BrResAllocate(model, l.size, BR_MEMORY_PREPARED_MODEL);
        if (model->prepared == nullptr) {
            BrScratchFree(scratch);
            return false;
        }
        model->prepared->size = (br_uint_32)l.size;
    }
    br_uint_8 *base = (br_uint_8 *)model->prepared;
    br_prepared_model *pm = model->prepared;
    pm->ngroups = (br_uint_16)ngroups;
    pm->groups = (br_prepared_group *)(base + l.groups);
    br_prepared_face *faces = (br_prepared_face *)(base + l.faces);
    br_prepared_vertex *verts = (br_prepared_vertex *)(base + l.vertices);
    br_uint_32 *vcol = (br_uint_32 *)(base + l.vertex_colours);
    br_uint_32 *fcol = (br_uint_32 *)(base + l.face_colours);
    br_uint_16 *vuser = (br_uint_16 *)(base + l.vertex_user);
    br_uint_16 *fuser = (br_uint_16 *)(base + l.face_user);

    // Faces, in material order.
    br_prepared_group *g = pm->groups - 1;
    for (br_uint_32 i = 0; i < nslots; i++) {
        const corner &c0 = b.corners[b.face_order[i] * 3];
        if (i == 0 || b.corners[b.face_order[i - 1] * 3].material != c0.material) {
            g++;
            memset(g, 0, sizeof(*g));
            g->stored = c0.material ? c0.material->stored : nullptr;
            g->material = c0.material;
            g->faces = &faces[i];
            g->face_colours = &fcol[i];
            g->face_user = &fuser[i];
        }
        const br_face &sf = model->faces[c0.face];
        br_prepared_face &pf = faces[i];
        memset(&pf, 0, sizeof(pf));
        pf.n = sf.normal;
        pf.d = sf.d;
        fcol[i] = pack_colour(sf.colour);
        fuser[i] = c0.face;
        g->nfaces++;
    }

    // Vertices, in merge order; each corner learns its prepared vertex.
    g = pm->groups - 1;
    br_uint_32 v = 0;
    for (br_uint_32 i = 0; i < b.ncorners; i++) {
        corner &c = b.corners[b.corner_order[i]];
        const corner *prev = i ? &b.corners[b.corner_order[i - 1]] : nullptr;
        bool new_group = prev == nullptr || prev->material != c.material;
        if (new_group) {
            g++;
            g->vertices = &verts[v];
            g->vertex_colours = &vcol[v];
            g->vertex_user = &vuser[v];
        }
        if (new_group || b.merge_cmp(*prev, c) != 0) {
            const br_vertex &sv = model->vertices[c.vertex];
            br_prepared_vertex &pv = verts[v];
            BrVector3Sub(&pv.p, &sv.p, &model->pivot);
            pv.map = sv.map;
            pv.n = c.n;
            normalise_or_x(&pv.n);
            vcol[v] = pack_colour(sv.colour);
            vuser[v] = c.vertex;
            g->nvertices++;
            v++;
        }
        c.prepared = v - 1;
    }

    // Face corners to group-local prepared vertex numbers.
    g = pm->groups;
    for (br_uint_32 i = 0; i < nslots; i++) {
        while (&faces[i] >= g->faces + g->nfaces)
            g++;
        br_uint_32 first = (br_uint_32)(g->vertices - verts);
        for (int c = 0; c < 3; c++)
            faces[i].vertices[c] = (br_uint_16)(b.corners[b.face_order[i] * 3 + c].prepared - first);
    }

    // The lists above live in the scratch block; the edges take it afresh.
    BrScratchFree(scratch);
    if (!prepare_edges(model)) {
        prepared_free(model);
        return false;
    }
    return true;
}

void refresh(br_model *model, br_uint_16 flags)
{
    br_prepared_model *pm = model->prepared;
    for (int gi = 0; gi < pm->ngroups; gi++) {
        br_prepared_group *g = &pm->groups[gi];
        if (model->vertices != nullptr && (flags & 0x0f)) {
            for (int i = 0; i < g->nvertices; i++) {
                if (g->vertex_user[i] >= model->nvertices)
                    continue;
                const br_vertex &sv = model->vertices[g->vertex_user[i]];
                br_prepared_vertex &pv = g->vertices[i];
                if (flags & BR_MODU_POSITIONS)
                    BrVector3Sub(&pv.p, &sv.p, &model->pivot);
                if (flags & BR_MODU_VERTEX_COLOURS)
                    g->vertex_colours[i] = pack_colour(sv.colour);
                if (flags & BR_MODU_MAPPING)
                    pv.map = sv.map;
                if ((flags & BR_MODU_NORMALS) && (model->flags & BR_MODF_GIVEN_NORMALS))
                    pv.n = sv.normal;
            }
        }
        if (model->faces != nullptr && (flags & BR_MODU_FACE_COLOURS)) {
            for (int i = 0; i < g->nfaces; i++)
                if (g->face_user[i] < model->nfaces)
                    g->face_colours[i] = pack_colour(model->faces[g->face_user[i]].colour);
        }
        if (flags & BR_MODU_POSITIONS) {
            if (!(model->flags & BR_MODF_GIVEN_NORMALS)) {
                for (int i = 0; i < g->nvertices; i++)
                    BrVector3Set(&g->vertices[i].n, 0.0f, 0.0f, 0.0f);
                for (int f = 0; f < g->nfaces; f++)
                    for (int c = 0; c < 3; c++)
                        BrVector3Accumulate(&g->vertices[g->faces[f].vertices[c]].n, &g->faces[f].n);
                for (int i = 0; i < g->nvertices; i++)
                    normalise_or_x(&g->vertices[i].n);
            }
            for (int f = 0; f < g->nfaces; f++) {
                br_prepared_face &pf = g->faces[f];
                face_plane(&pf.n, &pf.d, &g->vertices[pf.vertices[0]].p, &g->vertices[pf.vertices[1]].p,
                           &g->vertices[pf.vertices[2]].p);
            }
        }
    }
}

void stored_free(br_model *model)
{
    if (model->stored != nullptr)
        ObjectFree(model->stored);
    model->stored = nullptr;
}

} // namespace

void BrModelUpdate(br_model *model, br_uint_16 flags)
{
    if (model == nullptr || (model->flags & BR_MODF_NEVER_PREPARE))
        return;
    if (model->faces == nullptr || model->vertices == nullptr)
        BrFailure("BrModelUpdate: model has no faces or vertices (%s)",
                  model->identifier ? model->identifier : "<NULL>");
    if (flags & BR_MODU_PIVOT)
        flags |= BR_MODU_POSITIONS;
    if (model->flags & SOURCE_KEPT)
        model->flags |= BR_MODF_UPDATEABLE;

    if (!(model->flags & BR_MODF_GIVEN_BOUNDS) && (flags & (BR_MODU_POSITIONS | BR_MODU_BOUNDS)))
        bounds_update(model);

    if (model->prepared == nullptr || (flags & BR_MODU_REBUILD)) {
        if (model->faces == nullptr || model->vertices == nullptr || model->nfaces == 0 || model->nvertices == 0)
            return;
        if (!prepare_groups(model))
            return;
    } else {
        refresh(model, flags);
    }

    if (!(model->flags & BR_MODF_UPDATEABLE)) {
        if (model->vertices != nullptr)
            BrResFree(model->vertices);
        if (model->faces != nullptr)
            BrResFree(model->faces);
        model->vertices = nullptr;
        model->faces = nullptr;
        model->nvertices = 0;
        model->nfaces = 0;
    }

    BrDbModelStoredMake(model);
}

namespace {

void groups_repoint(br_model *model, br_material *material)
{
    if (model == nullptr || model->prepared == nullptr)
        return;
    for (int g = 0; g < model->prepared->ngroups; g++)
        if (model->prepared->groups[g].material == material)
            model->prepared->groups[g].stored = material->stored;
}

br_uint_32 repoint_one(void *model, void *material)
{
    groups_repoint((br_model *)model, (br_material *)material);
    return 0;
}

br_uint_32 repoint_anchored(void *item, void *material)
{
    if (BrResClass(item) == BR_MEMORY_MODEL)
        groups_repoint((br_model *)item, (br_material *)material);
    return 0;
}

} // namespace

// A model need not be registered to be prepared (BrModelUpdate on its own), so every model of the
// database is visited, the default model among them; registered models made elsewhere as well.
void BrDbGroupsRepoint(br_material *material)
{
    if (material == nullptr)
        return;
    if (v1db.res != nullptr)
        BrResChildEnum(v1db.res, repoint_anchored, material);
    BrRegistryEnum(&v1db.reg_models, nullptr, repoint_one, material);
}

void BrModelClear(br_model *model)
{
    if (model == nullptr)
        return;
    prepared_free(model);
    stored_free(model);
}
