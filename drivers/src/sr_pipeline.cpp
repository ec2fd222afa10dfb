// The geometry pipeline: model space -> clip space, lighting, culling, clipping against the view
// volume and the enabled user planes, mapping to the screen, rasterisation.
#include "sr_light.h"
#include "sr_raster.h"
#include "sr_types.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include <emmintrin.h>

namespace sr {

namespace {

constexpr int NPLANES = 6 + MAX_CLIP_PLANES;
constexpr int MAXPOLY = 3 + NPLANES + 1;

struct ClipVert {
    float c[4];
    float rgb[3];
    float tu, tv;
    uint32_t on = 0; // the view volume's sides (bits 0..3) the clipper put the vertex on
};

// Signed distances to the view volume (-w <= x, y, z <= w) and the user planes; negative is outside.
struct Planes {
    float user[MAX_CLIP_PLANES][4];
    int nuser = 0;

    float dist(int k, const float *c) const
    {
        switch (k) {
        case 0:
            return c[0] + c[3];
        case 1:
            return c[3] - c[0];
        case 2:
            return c[3] - c[1];
        case 3:
            return c[1] + c[3];
        case 4:
            return c[3] - c[2];
        case 5:
            return c[2] + c[3];
        default: {
            const float *p = user[k - 6];
            return c[0] * p[0] + c[1] * p[1] + c[2] * p[2] + c[3] * p[3];
        }
        }
    }

    uint32_t code(const float *c) const
    {
        // The view volume's six (the same sums as dist(), four lanes at a time), then the user planes.
        const __m128 v = _mm_loadu_ps(c), w = _mm_shuffle_ps(v, v, 0xff), zero = _mm_setzero_ps();
        const uint32_t plus = (uint32_t)_mm_movemask_ps(_mm_cmplt_ps(_mm_add_ps(v, w), zero));  // x+w, y+w, z+w
        const uint32_t minus = (uint32_t)_mm_movemask_ps(_mm_cmplt_ps(_mm_sub_ps(w, v), zero)); // w-x, w-y, w-z
        uint32_t out = (plus & 1u) | (minus & 1u) << 1 | (minus & 2u) << 1 | (plus & 2u) << 2 | (minus & 4u) << 2 |
                       (plus & 4u) << 3;
        for (int k = 6; k < 6 + nuser; ++k)
            if (dist(k, c) < 0.0f)
                out |= 1u << k;
        return out;
    }
};

struct Mapping {
    float xs, xo, ys, yo;
    bool front;

    void project(const float *c, SVert &s, float tu = 0, float tv = 0, uint32_t on = 0) const
    {
        float iw = 1.0f / c[3];
        s.x = c[0] * iw * xs + xo;
        s.y = c[1] * iw * ys + yo;
        // A vertex cut on a side lies on it exactly, where the division may leave it a rounding step
        // inside: the first row and column have their centres on the sides and would be left out.
        if (on & 1u)
            s.x = -xs + xo;
        else if (on & 2u)
            s.x = xs + xo;
        if (on & 4u)
            s.y = ys + yo;
        else if (on & 8u)
            s.y = -ys + yo;
        float z = c[2] * iw * -32767.0f;
        s.z = front ? -32768.0f : std::clamp(z, -32767.0f, 32767.0f);
        s.w = c[3];
        s.q = iw;
        s.uq = tu * iw;
        s.vq = tv * iw;
    }
};

// out[j] = p[0] m[0][j] + p[1] m[1][j] + p[2] m[2][j] + m[3][j], summed left to right, a lane a column.
struct Apply4 {
    __m128 r0, r1, r2, r3;
    explicit Apply4(const Mat4 &m)
        : r0(_mm_loadu_ps(m.m[0])), r1(_mm_loadu_ps(m.m[1])), r2(_mm_loadu_ps(m.m[2])), r3(_mm_loadu_ps(m.m[3]))
    {
    }
    void operator()(const float *p, float *out) const
    {
        __m128 s = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(p[0]), r0), _mm_mul_ps(_mm_set1_ps(p[1]), r1));
        s = _mm_add_ps(_mm_add_ps(s, _mm_mul_ps(_mm_set1_ps(p[2]), r2)), r3);
        _mm_storeu_ps(out, s);
    }
};

inline Vec3 applyP(const Mat34 &m, const float *p)
{
    return {p[0] * m.m[0][0] + p[1] * m.m[1][0] + p[2] * m.m[2][0] + m.m[3][0],
            p[0] * m.m[0][1] + p[1] * m.m[1][1] + p[2] * m.m[2][1] + m.m[3][1],
            p[0] * m.m[0][2] + p[1] * m.m[1][2] + p[2] * m.m[2][2] + m.m[3][2]};
}

inline Vec3 applyN(const float (*n)[3], const float *v)
{
    Vec3 r{v[0] * n[0][0] + v[1] * n[1][0] + v[2] * n[2][0], v[0] * n[0][1] + v[1] * n[1][1] + v[2] * n[2][1],
           v[0] * n[0][2] + v[1] * n[1][2] + v[2] * n[2][2]};
    float l = std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z);
    if (l > 0.0f)
        r = {r.x / l, r.y / l, r.z / l};
    return r;
}

inline void unpack255(uint32_t c, float *out)
{
    out[0] = (float)((c >> 16) & 0xff);
    out[1] = (float)((c >> 8) & 0xff);
    out[2] = (float)(c & 0xff);
}

// The transpose of the inverse of m's 3 x 3 part, as invert34 works it out (the translation is
// not needed); false for a singular matrix.
inline bool normal_matrix(float nm[3][3], const Mat34 &in)
{
    const float(*m)[3] = in.m;
    float c00 = m[1][1] * m[2][2] - m[1][2] * m[2][1];
    float c01 = m[1][2] * m[2][0] - m[1][0] * m[2][2];
    float c02 = m[1][0] * m[2][1] - m[1][1] * m[2][0];
    float det = m[0][0] * c00 + m[0][1] * c01 + m[0][2] * c02;
    if (!(std::fabs(det) > 1e-15f))
        return false;
    float k = 1.0f / det;
    nm[0][0] = c00 * k;
    nm[0][1] = c01 * k;
    nm[0][2] = c02 * k;
    nm[1][0] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) * k;
    nm[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) * k;
    nm[1][2] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) * k;
    nm[2][0] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) * k;
    nm[2][1] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) * k;
    nm[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) * k;
    return true;
}

// The intersection is always computed from the inside end, so an edge shared by two polygons is
// cut at the same point in both.
inline void cut(const ClipVert &in, const ClipVert &out, float din, float dout, int plane, ClipVert &r)
{
    // On the plane cut, and on every side both ends share.
    const uint32_t on = (in.on & out.on) | (plane < 4 ? 1u << plane : 0u);
    r.on = on;
    float t = din / (din - dout);
    for (int k = 0; k < 4; ++k)
        r.c[k] = in.c[k] + (out.c[k] - in.c[k]) * t;
    for (int k = 0; k < 3; ++k)
        r.rgb[k] = in.rgb[k] + (out.rgb[k] - in.rgb[k]) * t;
    r.tu = in.tu + (out.tu - in.tu) * t;
    r.tv = in.tv + (out.tv - in.tv) * t;
}

int clip_polygon(const Planes &pl, uint32_t mask, ClipVert *poly, int n, ClipVert *tmp)
{
    ClipVert *src = poly, *dst = tmp;
    for (int k = 0; k < NPLANES && n > 0; ++k) {
        if (!(mask & (1u << k)))
            continue;
        int m = 0;
        for (int i = 0; i < n; ++i) {
            const ClipVert &a = src[i], &b = src[(i + 1) % n];
            float da = pl.dist(k, a.c), db = pl.dist(k, b.c);
            if (da >= 0.0f)
                dst[m++] = a;
            if ((da >= 0.0f) != (db >= 0.0f)) {
                if (da >= 0.0f)
                    cut(a, b, da, db, k, dst[m++]);
                else
                    cut(b, a, db, da, k, dst[m++]);
            }
        }
        n = m;
        std::swap(src, dst);
    }
    if (src != poly)
        std::copy(src, src + n, poly);
    return n;
}

void draw_group(const Setup &s, const Lighting &light, const Group &g, Primitive prim, Scratch &scratch,
                ScreenBounds *bounds);

} // namespace

void render_group(const Setup &s, const Group &g, Primitive prim, Scratch &scratch, ScreenBounds *bounds)
{
    // The lighting is made here when the caller keeps none.
    if (s.prepared)
        draw_group(s, *s.prepared, g, prim, scratch, bounds);
    else
        draw_group(s, Lighting(s), g, prim, scratch, bounds);
}

namespace {

SR_AVX2_CLONES void draw_group(const Setup &s, const Lighting &light, const Group &g, Primitive prim,
                               Scratch &scratch, ScreenBounds *bounds)
{
    Raster r(s.target);
    if (!r.usable() || !g.vertices || g.nvertices == 0)
        return;
    r.track = s.bounds_enabled && bounds;
    r.set_paint(s.paint);
    // A z-sort render hands its primitives on; they are only measured here for the bounds.
    Sink *sink = s.sink;
    r.dry = sink != nullptr;
    const bool textured = s.paint.textured && prim == Primitive::Triangle;
    const float tw = (float)s.paint.texture.width, th = (float)s.paint.texture.height;

    const Mat4 m = mul34_4(s.model_to_view, s.view_to_screen);
    // Normals go through the inverse transpose unless the matrix keeps lengths.
    float nm[3][3];
    if (s.model_to_view_lp || !normal_matrix(nm, s.model_to_view))
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                nm[i][j] = s.model_to_view.m[i][j];

    Planes pl;
    for (const ClipPlane &c : s.clip)
        if (c.enabled)
            std::copy(c.plane, c.plane + 4, pl.user[pl.nuser++]);

    const int hw = s.target.colour.width / 2, hh = s.target.colour.height / 2;
    Mapping map{(float)hw, (float)hw + 0.5f, -(float)hh, (float)hh + 0.5f, s.force_front};

    const bool lit = s.lighting && !s.colour_from_geometry;
    const bool two_sided = s.cull == CullType::TwoSided;
    const bool per_vertex = s.smooth || prim != Primitive::Triangle;
    float surface[3];
    unpack255(s.colour, surface);

    scratch.v.resize(g.nvertices);
    // The vertices by a pointer of its own: the stores through float pointers below would have the
    // vector's one read again at every use.
    Scratch::V *const verts = scratch.v.data();
    // Triangles map and light only the vertices their drawn faces use: the back of a closed model
    // costs nothing.
    const bool tri = prim == Primitive::Triangle && g.faces;
    auto light_vertex = [&](uint32_t i) {
        Scratch::V &v = verts[i];
        const PVertex &pv = g.vertices[i];
        Vec3 p = applyP(s.model_to_view, pv.p);
        Vec3 n = applyN(nm, pv.n);
        light.shade(p, n, v.s.rgb);
        if (two_sided)
            light.shade(p, Vec3{-n.x, -n.y, -n.z}, v.brgb);
        v.lit = true;
    };
    // Screen position (of a vertex inside the view) and texel position.
    auto map_vertex = [&](const PVertex &pv, Scratch::V &v) {
        if (!v.out) {
            SVert sv;
            map.project(v.c, sv);
            v.s.x = sv.x;
            v.s.y = sv.y;
            v.s.z = sv.z;
        }
        if (textured) {
            const float u = pv.map[0], w = pv.map[1];
            v.tu = (u * s.map[0][0] + w * s.map[1][0] + s.map[2][0]) * tw;
            v.tv = (u * s.map[0][1] + w * s.map[1][1] + s.map[2][1]) * th;
        }
    };
    // An unlit vertex's colour: the geometry's own, else the surface's.
    auto own_colour = [&](uint32_t i, Scratch::V &v) {
        if (s.colour_from_geometry) {
            unpack255(g.vertex_colours ? g.vertex_colours[i] : 0xffffff, v.s.rgb);
            std::copy(v.s.rgb, v.s.rgb + 3, v.brgb);
        } else {
            std::copy(surface, surface + 3, v.s.rgb);
            std::copy(surface, surface + 3, v.brgb);
        }
    };
    const Apply4 apply4(m);
    uint32_t first = 0;
    if (tri) {
        // Four vertices at a time, a lane each: the clip position with apply4's sums in its order and
        // the out codes with code()'s.
        static_assert(offsetof(Scratch::V, out) == 4 * sizeof(float));
        auto col = [&](int j, __m128 x, __m128 y, __m128 z) {
            return _mm_add_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(x, _mm_set1_ps(m.m[0][j])), _mm_mul_ps(y, _mm_set1_ps(m.m[1][j]))),
                                         _mm_mul_ps(z, _mm_set1_ps(m.m[2][j]))),
                              _mm_set1_ps(m.m[3][j]));
        };
        const __m128 zero = _mm_setzero_ps();
        auto bit = [&](__m128 d, int b) { return _mm_and_si128(_mm_castps_si128(_mm_cmplt_ps(d, zero)), _mm_set1_epi32(b)); };
        for (; first + 4 <= g.nvertices; first += 4) {
            __m128 r0 = _mm_loadu_ps(g.vertices[first].p), r1 = _mm_loadu_ps(g.vertices[first + 1].p),
                   r2 = _mm_loadu_ps(g.vertices[first + 2].p), r3 = _mm_loadu_ps(g.vertices[first + 3].p);
            _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
            __m128 cx = col(0, r0, r1, r2), cy = col(1, r0, r1, r2), cz = col(2, r0, r1, r2), cw = col(3, r0, r1, r2);
            __m128i out = _mm_or_si128(_mm_or_si128(bit(_mm_add_ps(cx, cw), 1), bit(_mm_sub_ps(cw, cx), 2)),
                                       _mm_or_si128(bit(_mm_sub_ps(cw, cy), 4), bit(_mm_add_ps(cy, cw), 8)));
            out = _mm_or_si128(out, _mm_or_si128(bit(_mm_sub_ps(cw, cz), 16), bit(_mm_add_ps(cz, cw), 32)));
            for (int k = 0; k < pl.nuser; ++k) {
                const float *u = pl.user[k];
                __m128 d = _mm_add_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(cx, _mm_set1_ps(u[0])), _mm_mul_ps(cy, _mm_set1_ps(u[1]))),
                                                 _mm_mul_ps(cz, _mm_set1_ps(u[2]))),
                                      _mm_mul_ps(cw, _mm_set1_ps(u[3])));
                out = _mm_or_si128(out, bit(d, 1 << (6 + k)));
            }
            alignas(16) uint32_t codes[4];
            _mm_store_si128((__m128i *)codes, out);
            _MM_TRANSPOSE4_PS(cx, cy, cz, cw);
            const __m128 c[4] = {cx, cy, cz, cw};
            for (int j = 0; j < 4; ++j) {
                Scratch::V &v = verts[first + j];
                _mm_storeu_ps(v.c, c[j]);
                v.out = codes[j];
                v.used = false;
            }
        }
    }
    for (uint32_t i = first; i < g.nvertices; ++i) {
        const PVertex &pv = g.vertices[i];
        Scratch::V &v = verts[i];
        apply4(pv.p, v.c);
        v.out = pl.code(v.c);
        if (tri) {
            v.used = false;
            continue;
        }
        map_vertex(pv, v);
        if (!per_vertex)
            continue;
        if (lit && !s.colour_from_geometry)
            light_vertex(i);
        else
            own_colour(i, v);
    }

    auto svert = [&](uint32_t i, bool back) {
        const Scratch::V &v = verts[i];
        SVert sv{v.s.x, v.s.y, v.s.z, {0, 0, 0}};
        const float *c = back ? v.brgb : v.s.rgb;
        std::copy(c, c + 3, sv.rgb);
        sv.w = v.c[3];
        if (textured) {
            sv.q = v.s.q;
            sv.uq = v.s.uq;
            sv.vq = v.s.vq;
        }
        return sv;
    };
    auto clipvert = [&](uint32_t i, bool back) {
        const Scratch::V &v = verts[i];
        ClipVert cv;
        std::copy(v.c, v.c + 4, cv.c);
        const float *c = back ? v.brgb : v.s.rgb;
        std::copy(c, c + 3, cv.rgb);
        cv.tu = textured ? v.tu : 0.0f;
        cv.tv = textured ? v.tv : 0.0f;
        return cv;
    };
    // Drawn here, or handed to the z-sort (and measured here).
    const bool rasterise = !sink || r.track;
    auto point = [&](const SVert &a) {
        if (rasterise)
            r.point(a);
        if (sink)
            sink->point(s, a);
    };
    auto line = [&](const SVert &a, const SVert &b) {
        if (rasterise)
            r.line(a, b, true);
        if (sink)
            sink->line(s, a, b);
    };
    auto triangle = [&](const SVert &a, const SVert &b, const SVert &c, const float *flat) {
        if (rasterise)
            r.triangle(a, b, c, s.smooth, flat);
        if (sink)
            sink->triangle(s, a, b, c, s.smooth ? nullptr : flat);
    };

    if (prim == Primitive::Point) {
        for (uint32_t i = 0; i < g.nvertices; ++i)
            if (!verts[i].out)
                point(svert(i, false));
    } else if (prim == Primitive::Line && g.faces) {
        scratch.edge_done.assign(std::max<uint32_t>(g.nedges, 1) + 1, 0);
        for (uint32_t f = 0; f < g.nfaces; ++f) {
            const PFace &face = g.faces[f];
            for (int e = 0; e < 3; ++e) {
                uint16_t num = face.edges[e];
                uint32_t a = face.vertices[e], b = face.vertices[(e + 1) % 3];
                if (!num || a >= g.nvertices || b >= g.nvertices)
                    continue;
                if (num >= scratch.edge_done.size())
                    scratch.edge_done.resize(num + 1u, 0);
                if (scratch.edge_done[num])
                    continue;
                scratch.edge_done[num] = 1;
                uint32_t oa = verts[a].out, ob = verts[b].out;
                if (oa & ob)
                    continue;
                if (!(oa | ob)) {
                    line(svert(a, false), svert(b, false));
                    continue;
                }
                ClipVert ca = clipvert(a, false), cb = clipvert(b, false);
                bool gone = false;
                for (int k = 0; k < NPLANES && !gone; ++k) {
                    if (!((oa | ob) & (1u << k)))
                        continue;
                    float da = pl.dist(k, ca.c), db = pl.dist(k, cb.c);
                    if (da < 0.0f && db < 0.0f)
                        gone = true;
                    else if (da < 0.0f)
                        cut(cb, ca, db, da, k, ca);
                    else if (db < 0.0f)
                        cut(ca, cb, da, db, k, cb);
                }
                if (gone || !(ca.c[3] > 0.0f) || !(cb.c[3] > 0.0f))
                    continue;
                SVert sa, sb;
                map.project(ca.c, sa, 0, 0, ca.on);
                map.project(cb.c, sb, 0, 0, cb.on);
                std::copy(ca.rgb, ca.rgb + 3, sa.rgb);
                std::copy(cb.rgb, cb.rgb + 3, sb.rgb);
                line(sa, sb);
            }
        }
    } else if (prim == Primitive::Triangle && g.faces) {
        // The faces drawn, and the vertices they use (at most every face and every vertex: the
        // lists are sized once and written by index).
        if (scratch.faces.size() < g.nfaces)
            scratch.faces.resize(g.nfaces);
        if (scratch.used.size() < g.nvertices)
            scratch.used.resize(g.nvertices);
        uint32_t *const faces = scratch.faces.data(), *const used = scratch.used.data();
        size_t nfaces = 0, nu = 0;
        for (uint32_t f = 0; f < g.nfaces; ++f) {
            const PFace &face = g.faces[f];
            uint32_t i0 = face.vertices[0], i1 = face.vertices[1], i2 = face.vertices[2];
            if (i0 >= g.nvertices || i1 >= g.nvertices || i2 >= g.nvertices)
                continue;
            Scratch::V &a = verts[i0], &b = verts[i1], &c = verts[i2];
            if (a.out & b.out & c.out)
                continue;
            // Orientation in homogeneous (x, y, w): positive is counter-clockwise as seen by the eye,
            // the front of a face, and stays right for vertices behind the eye.
            float det = a.c[0] * (b.c[1] * c.c[3] - c.c[1] * b.c[3]) - a.c[1] * (b.c[0] * c.c[3] - c.c[0] * b.c[3]) +
                        a.c[3] * (b.c[0] * c.c[1] - c.c[0] * b.c[1]);
            if (!(det != 0.0f))
                continue;
            bool back = det < 0.0f;
            if (back && s.cull == CullType::OneSided)
                continue;
            faces[nfaces++] = f << 1 | (uint32_t)(back && two_sided);
            for (Scratch::V *v : {&a, &b, &c})
                if (!v->used) {
                    v->used = true;
                    used[nu++] = (uint32_t)(v - verts);
                }
        }
        const bool light_used = lit && per_vertex;
        {
            // Screen and texel positions four vertices at a time, a lane each, with map_vertex's
            // and Mapping::project's operations in their order (a short last batch repeats its
            // last vertex).
            const __m128 xs = _mm_set1_ps(map.xs), xo = _mm_set1_ps(map.xo), ys = _mm_set1_ps(map.ys),
                         yo = _mm_set1_ps(map.yo), lo = _mm_set1_ps(-32767.0f), hi = _mm_set1_ps(32767.0f);
            auto pick = [](__m128 m, __m128 a, __m128 b) { return _mm_or_ps(_mm_and_ps(m, a), _mm_andnot_ps(m, b)); };
            for (size_t k = 0; k < nu; k += 4) {
                uint32_t idx[4];
                for (size_t j = 0; j < 4; ++j)
                    idx[j] = used[k + j < nu ? k + j : nu - 1];
                __m128 cx = _mm_loadu_ps(verts[idx[0]].c), cy = _mm_loadu_ps(verts[idx[1]].c),
                       cz = _mm_loadu_ps(verts[idx[2]].c), cw = _mm_loadu_ps(verts[idx[3]].c);
                _MM_TRANSPOSE4_PS(cx, cy, cz, cw);
                const __m128 iw = _mm_div_ps(_mm_set1_ps(1.0f), cw);
                alignas(16) float sx[4], sy[4], sz[4], tu[4], tv[4], uq[4], vq[4];
                _mm_store_ps(sx, _mm_add_ps(_mm_mul_ps(_mm_mul_ps(cx, iw), xs), xo));
                _mm_store_ps(sy, _mm_add_ps(_mm_mul_ps(_mm_mul_ps(cy, iw), ys), yo));
                const __m128 z = _mm_mul_ps(_mm_mul_ps(cz, iw), _mm_set1_ps(-32767.0f));
                _mm_store_ps(sz, map.front ? _mm_set1_ps(-32768.0f)
                                           : pick(_mm_cmplt_ps(z, lo), lo, pick(_mm_cmplt_ps(hi, z), hi, z)));
                if (textured) {
                    // u, w of each vertex: the load starts at p[1] so map[0], map[1] land in lanes 2, 3.
                    static_assert(offsetof(PVertex, map) == 3 * sizeof(float));
                    __m128 a0 = _mm_loadu_ps(g.vertices[idx[0]].p + 1), a1 = _mm_loadu_ps(g.vertices[idx[1]].p + 1),
                           a2 = _mm_loadu_ps(g.vertices[idx[2]].p + 1), a3 = _mm_loadu_ps(g.vertices[idx[3]].p + 1);
                    _MM_TRANSPOSE4_PS(a0, a1, a2, a3);
                    const __m128 u = a2, w = a3;
                    const __m128 U = _mm_mul_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(u, _mm_set1_ps(s.map[0][0])),
                                                                      _mm_mul_ps(w, _mm_set1_ps(s.map[1][0]))),
                                                           _mm_set1_ps(s.map[2][0])),
                                                _mm_set1_ps(tw));
                    const __m128 V = _mm_mul_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(u, _mm_set1_ps(s.map[0][1])),
                                                                      _mm_mul_ps(w, _mm_set1_ps(s.map[1][1]))),
                                                           _mm_set1_ps(s.map[2][1])),
                                                _mm_set1_ps(th));
                    _mm_store_ps(tu, U);
                    _mm_store_ps(tv, V);
                    _mm_store_ps(uq, _mm_mul_ps(U, iw));
                    _mm_store_ps(vq, _mm_mul_ps(V, iw));
                }
                alignas(16) float q[4];
                _mm_store_ps(q, iw);
                for (size_t j = 0; j < 4 && k + j < nu; ++j) {
                    Scratch::V &v = verts[idx[j]];
                    if (!v.out) {
                        v.s.x = sx[j];
                        v.s.y = sy[j];
                        v.s.z = sz[j];
                    }
                    v.s.w = v.c[3];
                    if (textured) {
                        v.tu = tu[j];
                        v.tv = tv[j];
                        v.s.q = q[j];
                        v.s.uq = uq[j];
                        v.s.vq = vq[j];
                    } else {
                        v.s.q = 1;
                        v.s.uq = v.s.vq = 0;
                    }
                }
            }
            if (per_vertex && !light_used)
                for (size_t k = 0; k < nu; ++k)
                    own_colour(used[k], verts[used[k]]);
        }
        if (light_used) {
            // Four vertices at a time (a short last batch repeats its last vertex into a spare),
            // view position and normal as applyP and applyN work them out, a lane each.
            // The matrices' elements in every lane, made once for the batches.
            __m128 mvl[4][3], nml[3][3];
            for (int i = 0; i < 4; ++i)
                for (int j = 0; j < 3; ++j) {
                    mvl[i][j] = _mm_set1_ps(s.model_to_view.m[i][j]);
                    if (i < 3)
                        nml[i][j] = _mm_set1_ps(nm[i][j]);
                }
            float spare[3];
            for (size_t k = 0; k < nu; k += 4) {
                float *out[4], *bout[4];
                // Position and normal of a vertex by one load each (the normal's load starts a float
                // early, inside the record), turned into lanes.
                static_assert(sizeof(PVertex) == 8 * sizeof(float) && offsetof(PVertex, n) == 5 * sizeof(float));
                __m128 x, y, z, a, b, c;
                {
                    __m128 pr[4], nr[4];
                    for (size_t j = 0; j < 4; ++j) {
                        const bool real = k + j < nu;
                        const uint32_t i = used[real ? k + j : nu - 1];
                        const PVertex &pv = g.vertices[i];
                        pr[j] = _mm_loadu_ps(pv.p);
                        nr[j] = _mm_loadu_ps((const float *)&pv + 4);
                        out[j] = real ? verts[i].s.rgb : spare;
                        bout[j] = real ? verts[i].brgb : spare;
                    }
                    _MM_TRANSPOSE4_PS(pr[0], pr[1], pr[2], pr[3]);
                    _MM_TRANSPOSE4_PS(nr[0], nr[1], nr[2], nr[3]);
                    x = pr[0], y = pr[1], z = pr[2];
                    a = nr[1], b = nr[2], c = nr[3];
                }
                auto row = [&](const __m128 (*t)[3], int col, __m128 u, __m128 v, __m128 w) {
                    return _mm_add_ps(_mm_add_ps(_mm_mul_ps(u, t[0][col]), _mm_mul_ps(v, t[1][col])), _mm_mul_ps(w, t[2][col]));
                };
                Lighting::Lanes l;
                l.px = _mm_add_ps(row(mvl, 0, x, y, z), mvl[3][0]);
                l.py = _mm_add_ps(row(mvl, 1, x, y, z), mvl[3][1]);
                l.pz = _mm_add_ps(row(mvl, 2, x, y, z), mvl[3][2]);
                __m128 nx = row(nml, 0, a, b, c), ny = row(nml, 1, a, b, c), nz = row(nml, 2, a, b, c);
                const __m128 len = _mm_sqrt_ps(
                    _mm_add_ps(_mm_add_ps(_mm_mul_ps(nx, nx), _mm_mul_ps(ny, ny)), _mm_mul_ps(nz, nz)));
                const __m128 pos = _mm_cmpgt_ps(len, _mm_setzero_ps());
                auto norm = [&](__m128 v) {
                    return _mm_or_ps(_mm_and_ps(pos, _mm_div_ps(v, len)), _mm_andnot_ps(pos, v));
                };
                l.nx = norm(nx);
                l.ny = norm(ny);
                l.nz = norm(nz);
                light.shade4(l, out);
                if (two_sided) {
                    const __m128 sign = _mm_set1_ps(-0.0f);
                    l.nx = _mm_xor_ps(l.nx, sign);
                    l.ny = _mm_xor_ps(l.ny, sign);
                    l.nz = _mm_xor_ps(l.nz, sign);
                    light.shade4(l, bout);
                }
            }
        }

        ClipVert poly[MAXPOLY], tmp[MAXPOLY];
        for (size_t fi = 0; fi < nfaces; ++fi) {
            const uint32_t fb = faces[fi];
            const uint32_t f = fb >> 1;
            const bool use_back = fb & 1u;
            const PFace &face = g.faces[f];
            uint32_t i0 = face.vertices[0], i1 = face.vertices[1], i2 = face.vertices[2];
            const Scratch::V &a = verts[i0], &b = verts[i1], &c = verts[i2];

            float flat[3] = {0, 0, 0};
            if (!s.smooth) {
                if (s.colour_from_geometry) {
                    unpack255(g.face_colours ? g.face_colours[f] : 0xffffff, flat);
                } else if (lit) {
                    const PVertex &pa = g.vertices[i0], &pb = g.vertices[i1], &pc = g.vertices[i2];
                    float cen[3];
                    for (int k = 0; k < 3; ++k)
                        cen[k] = (pa.p[k] + pb.p[k] + pc.p[k]) * (1.0f / 3.0f);
                    Vec3 n = applyN(nm, face.n);
                    if (use_back)
                        n = {-n.x, -n.y, -n.z};
                    light.shade(applyP(s.model_to_view, cen), n, flat);
                } else {
                    std::copy(surface, surface + 3, flat);
                }
            }

            if (!(a.out | b.out | c.out)) {
                if (use_back)
                    triangle(svert(i0, true), svert(i1, true), svert(i2, true), flat);
                else
                    triangle(a.s, b.s, c.s, flat);
                continue;
            }
            poly[0] = clipvert(i0, use_back);
            poly[1] = clipvert(i1, use_back);
            poly[2] = clipvert(i2, use_back);
            int n = clip_polygon(pl, a.out | b.out | c.out, poly, 3, tmp);
            if (n < 3)
                continue;
            SVert sv[MAXPOLY];
            bool ok = true;
            for (int k = 0; k < n && ok; ++k) {
                ok = poly[k].c[3] > 0.0f;
                map.project(poly[k].c, sv[k], poly[k].tu, poly[k].tv, poly[k].on);
                std::copy(poly[k].rgb, poly[k].rgb + 3, sv[k].rgb);
            }
            if (!ok)
                continue;
            for (int k = 1; k + 1 < n; ++k)
                triangle(sv[0], sv[k], sv[k + 1], flat);
        }
    }

    if (r.track)
        r.grow(*bounds);
    scratch.pixels_tested += r.tested;
}

} // namespace

} // namespace sr
