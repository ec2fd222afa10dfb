// Slope and corner solids, the region classifier around them, and the box zone code.
#include "terrow/phys/phgeom.h"

#include <emmintrin.h>
#include <math.h>
#include <new>

#include "terrow/phys/phmsg.h"
#include "terrow/phys/phparams.h"

const float PH_CORNER_LEG = static_cast<float>((2 - 0.7 * sqrt(2.0)) * 0.05 * 10);

namespace {

void set_face(PhFace &f, int count, const FV3 *v[4], const FV3 &through, const FV3 &normal)
{
    Plane_Set(f.plane, through, normal);
    f.count = count;
    for (int k = 0; k < 4; k++) {
        f.vertex[k] = k < count ? *v[k] : FV3(0, 0, 0);
        f.edge[k].Zero();
    }
    for (int k = 0; k < count; k++)
        f.edge[k] = f.vertex[(k + 1) % count] - f.vertex[k];
}

}  // namespace

PhRampGeom *Ramp_New(int32_t x, int32_t y, int32_t z, int32_t key, bool corner)
{
    PhScope scope;
    PhRampGeom *g = new (std::nothrow) PhRampGeom();
    if (g == nullptr)
        return nullptr;
    for (auto &e : g->edge)
        e = new (std::nothrow) PhLine();
    for (auto &f : g->face)
        f = new (std::nothrow) PhFace();
    for (auto &p : g->plane)
        p = new (std::nothrow) PhPlane();
    for (auto *e : g->edge)
        if (e == nullptr)
            return Ramp_Free(g), nullptr;
    for (auto *f : g->face)
        if (f == nullptr)
            return Ramp_Free(g), nullptr;
    for (auto *p : g->plane)
        if (p == nullptr)
            return Ramp_Free(g), nullptr;

    key &= 3;
    const float fx = static_cast<float>(x), fz = static_cast<float>(z);
    const float b = static_cast<float>(y - 1) * 0.55f, t = b + 0.55f;
    FV3 *C = g->corner;
    if (!corner) {
        g->orientation = key;
        static const float table[4][3][3] = {
            {{1, 0, 1}, {1, 1, 1}, {0, 0, 1}}, {{1, 0, 0}, {1, 1, 0}, {1, 0, 1}},
            {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}, {{0, 0, 1}, {0, 1, 1}, {0, 0, 0}}};
        static const float along[4][3] = {{0, 0, -1}, {-1, 0, 0}, {0, 0, 1}, {1, 0, 0}};
        for (int i = 0; i < 3; i++) {
            const float *p = table[key][i];
            C[i] = FV3(fx + p[0], p[1] != 0 ? t : b, fz + p[2]);
            C[i + 3] = C[i] + FV3(along[key][0], 0, along[key][2]);
        }
        g->boxLow = FV3(fx, b, fz);
        g->boxHigh = FV3(fx + 1, t, fz + 1);
    } else {
        g->orientation = key + 4;
        const float c = PH_CORNER_LEG;
        // Per key: C0, C1, C2 as offsets in the cell.
        const float table[4][3][2] = {{{0, 0}, {c, 0}, {0, c}},
                                      {{0, 1}, {0, 1 - c}, {c, 1}},
                                      {{1, 1}, {1 - c, 1}, {1, 1 - c}},
                                      {{1, 0}, {1, c}, {1 - c, 0}}};
        for (int i = 0; i < 3; i++) {
            C[i] = FV3(fx + table[key][i][0], b, fz + table[key][i][1]);
            C[i + 3] = C[i] + FV3(0, 0.55f, 0);
        }
        FV3 lo = C[0], hi = C[0];
        for (int i = 1; i < 6; i++) {
            lo = FV3(fminf(lo.x, C[i].x), fminf(lo.y, C[i].y), fminf(lo.z, C[i].z));
            hi = FV3(fmaxf(hi.x, C[i].x), fmaxf(hi.y, C[i].y), fmaxf(hi.z, C[i].z));
        }
        g->boxLow = lo;
        g->boxHigh = hi;
    }
    FV3 sum(0, 0, 0);
    for (int i = 0; i < 6; i++)
        sum += C[i];
    C[6] = sum / 6.0f;

    static const int lines[9][2] = {{1, 2}, {0, 1}, {0, 2}, {4, 5}, {3, 4}, {3, 5}, {0, 3}, {1, 4}, {2, 5}};
    for (int k = 0; k < 9; k++)
        *g->edge[k] = Line_Through(C[lines[k][0]], C[lines[k][1]]);

    const FV3 *f0[4] = {&C[0], &C[2], &C[1], nullptr};
    set_face(*g->face[0], 3, f0, C[0], (C[2] - C[0]) ^ (C[1] - C[0]));
    const FV3 *f1[4] = {&C[3], &C[4], &C[5], nullptr};
    set_face(*g->face[1], 3, f1, C[3], (C[4] - C[3]) ^ (C[5] - C[3]));
    const FV3 *f2[4] = {&C[0], &C[1], &C[4], &C[3]};
    set_face(*g->face[2], 4, f2, C[0], (C[1] - C[0]) ^ (C[3] - C[0]));
    const FV3 *f3[4] = {&C[0], &C[3], &C[5], &C[2]};
    set_face(*g->face[3], 4, f3, C[0], (C[3] - C[0]) ^ (C[2] - C[0]));
    const FV3 *f4[4] = {&C[1], &C[2], &C[5], &C[4]};
    set_face(*g->face[4], 4, f4, C[1], (C[2] - C[1]) ^ (C[4] - C[1]));

    PhPlane **P = g->plane;
    Plane_Set(*P[0], C[0], C[3] - C[0]);
    Plane_Set(*P[1], C[3], C[0] - C[3]);
    Plane_Set(*P[2], C[0], C[2] - C[0]);
    Plane_Set(*P[3], C[0], C[1] - C[0]);
    Plane_Set(*P[4], (C[1] + C[2]) / 2.0f, (C[3] - C[0]) ^ (C[1] - C[2]));
    Plane_Set(*P[5], C[1], C[2] - C[1]);
    Plane_Set(*P[6], C[2], C[1] - C[2]);
    Plane_Set(*P[7], C[1], C[0] - C[1]);
    Plane_Set(*P[8], C[2], C[0] - C[2]);

    g->edgeLength[0] = static_cast<float>((C[3] - C[0]).Length());
    g->edgeLength[1] = static_cast<float>((C[2] - C[0]).Length());
    g->edgeLength[2] = static_cast<float>((C[1] - C[0]).Length());
    for (int k = 0; k < 9; k++) {
        const PhPlane &q = *P[k];
        const double row[4] = {q.normal.x, q.normal.y, q.normal.z, q.d};
        for (int i = 0; i < 4; i++)
            g->planeCol[i][k] = row[i];
    }
    return g;
}

void Ramp_Free(PhRampGeom *g)
{
    if (g == nullptr)
        return;
    for (auto *e : g->edge)
        delete e;
    for (auto *f : g->face)
        delete f;
    for (auto *p : g->plane)
        delete p;
    delete g;
}

namespace {

enum Kind { PLANE, EDGE, CORNER, INSIDE };
struct Outcome {
    int pattern;  // 1..7
    int code;
    Kind kind;
    int index;
};

bool matches(int pattern, unsigned mask)
{
    static const unsigned test[8][2] = {{0, 0},         {0x1FC, 0x1FC}, {0x1DC, 0x1D8}, {0x07C, 0x06C},
                                        {0x1BC, 0x1B4}, {0x19C, 0x190}, {0x0E8, 0x048}, {0x164, 0x024}};
    return (mask & test[pattern][0]) == test[pattern][1];
}

const Outcome k_top[7] = {{1, 5, PLANE, 1}, {2, 9, EDGE, 4},    {3, 10, EDGE, 3},  {4, 11, EDGE, 5},
                          {5, 18, CORNER, 3}, {6, 19, CORNER, 4}, {7, 20, CORNER, 5}};
const Outcome k_bottom[7] = {{1, 4, PLANE, 0},  {2, 6, EDGE, 1},    {3, 7, EDGE, 0},   {4, 8, EDGE, 2},
                             {5, 15, CORNER, 0}, {6, 16, CORNER, 1}, {7, 17, CORNER, 2}};
const Outcome k_middle[7] = {{1, 0, INSIDE, 6}, {3, 1, PLANE, 4},  {4, 2, PLANE, 3}, {2, 3, PLANE, 2},
                             {5, 12, EDGE, 6},  {6, 13, EDGE, 7},  {7, 14, EDGE, 8}};

}  // namespace

namespace {

const Outcome *match_region(unsigned mask)
{
    const Outcome *order = nullptr;
    switch (mask & 3) {
    case 1: order = k_top; break;
    case 2: order = k_bottom; break;
    case 3: order = k_middle; break;
    default: return nullptr;
    }
    for (int i = 0; i < 7; i++)
        if (matches(order[i].pattern, mask))
            return &order[i];
    return nullptr;
}

// A point on an edge or corner of the solid lies on several planes at once, and rounding can put it
// a hair behind some of them in a combination no real point has. Such a point is classified as if it
// lay on the solid's side of every plane this close.
const double k_on_plane = 1e-4;

}  // namespace

namespace {

// The region of a point, or none (with its warnings) when no pattern matches.
const Outcome *region_of(const PhRampGeom &g, const FV3 &point)
{
    unsigned mask = 0, near = 0;
    point.Check();
    const double x = point.x, y = point.y, z = point.z;
    // Plane_Dist, its sums in the same order, for two planes at a time.
    const __m128d X = _mm_set1_pd(x), Y = _mm_set1_pd(y), Z = _mm_set1_pd(z);
    const __m128d zero = _mm_setzero_pd(), close = _mm_set1_pd(-k_on_plane);
    const double(*col)[10] = g.planeCol;
    for (int k = 0; k < 10; k += 2) {
        const __m128d dist = _mm_sub_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(X, _mm_loadu_pd(col[0] + k)), _mm_mul_pd(Y, _mm_loadu_pd(col[1] + k))),
                                                   _mm_mul_pd(Z, _mm_loadu_pd(col[2] + k))),
                                        _mm_loadu_pd(col[3] + k));
        mask |= unsigned(_mm_movemask_pd(_mm_cmpge_pd(dist, zero))) << k;
        near |= unsigned(_mm_movemask_pd(_mm_cmpge_pd(dist, close))) << k;
    }
    mask &= 0x1ff;
    near &= 0x1ff;
    const Outcome *o = match_region(mask);
    if (o == nullptr)
        o = match_region(near);
    if (o == nullptr) {
        static const char *const k_failure[4] = {PHMSG_REGION_LEVEL, PHMSG_REGION_TOP, PHMSG_REGION_BOTTOM,
                                                 PHMSG_REGION_MIDDLE};
        Phys_Warning(k_failure[mask & 3]);
        Phys_Warning(PHMSG_REGION_NONE);
    }
    return o;
}

}  // namespace

int Ramp_Region(const PhRampGeom &g, const FV3 &point, FV3 *out)
{
    PhScope scope;
    const Outcome *o = region_of(g, point);
    if (o == nullptr) {
        out->state = PH_CONSTRUCTED;
        return -1;
    }
    switch (o->kind) {
    case PLANE: *out = -Plane_Along(*g.plane[o->index], point); break;
    case EDGE: *out = -Line_Perp(*g.edge[o->index], point); break;
    case CORNER: *out = g.corner[o->index] - point; break;
    case INSIDE: *out = point - g.corner[6]; break;
    }
    return o->code;
}

int Ramp_RegionCode(const PhRampGeom &g, const FV3 &point)
{
    const Outcome *o = region_of(g, point);
    return o != nullptr ? o->code : -1;
}

int Ramp_Contact(const PhRampGeom &g, const FV3 &centre, const FV3 &velocity, float radius, FV3 *d,
                 int *code, float tolerance)
{
    PhScope scope;
    *code = Ramp_Region(g, centre, d);
    if (*code < 0)
        return 0;  // no region, no usable vector: treat as no contact
    if (d->Length() > radius - tolerance)
        return 0;
    if (velocity.Dot(*d) <= 0)
        return 0;
    if (g.orientation >= 4 && (*code == 5 || *code == 10 || *code == 1) &&
        velocity.Dot(g.plane[4]->normal) < 0) {
        d->x = 0;
        d->z = 0;
        return 1;
    }
    if (*code == 1)
        return 2;
    if (*code != 0)
        return 1;
    PhLine travel{centre, velocity.Normalised()};
    FV3 hit = Plane_Hit(*g.plane[4], travel);
    const PhFace &f = *g.face[4];
    if (fabs(Plane_Dist(f.plane, hit)) > PhyParams.epsilon)
        return 1;
    for (int k = 0; k < f.count; k++)
        if (((f.vertex[k] - hit) ^ f.edge[k]).Dot(f.plane.normal) < 0)
            return 1;
    return velocity.Dot(f.plane.normal) > 0 ? 2 : 1;
}

namespace {

// Zone and detail of one axis, and the closest coordinate of the slab.
void classify_axis(float p, float r, float l, float h, float reach, float near, int *zone, int *detail,
                   float *closest)
{
    int z;
    if (p < l) {
        if (p + r < l - reach)
            z = 0;
        else if (p + near < l)
            z = 1;
        else if (p + r < l)
            z = 2;
        else
            z = 3;
        *closest = l;
    } else if (p <= h) {
        *zone = 5;
        *detail = l > p - r ? 4 : (p + r > h ? 6 : 5);
        *closest = p;
        return;
    } else {
        if (p - r > h + reach)
            z = 10;
        else if (h < p - near)
            z = 9;
        else if (h < p - r)
            z = 8;
        else
            z = 7;
        *closest = h;
    }
    *zone = *detail = z;
}

}  // namespace

PhZoneCode PhElem_Classify(const FV3 &low, const FV3 &high, const FV3 &centre, float radius, FV3 *closest)
{
    const float reach = PhyParams.classifyReach;
    const float near = (1 + PhyParams.classifyMargin) * radius;
    const float p[3] = {centre.x, centre.y, centre.z};
    const float l[3] = {low.x, low.y, low.z}, h[3] = {high.x, high.y, high.z};
    float c[3];
    uint32_t bits = 0;
    for (int a = 0; a < 3; a++) {
        int zone, detail;
        classify_axis(p[a], radius, l[a], h[a], a == 1 ? 0.55f * reach : reach, near, &zone, &detail, &c[a]);
        bits |= static_cast<uint32_t>(zone) << (5 * a) | static_cast<uint32_t>(detail) << (5 * (a + 3));
    }
    if (closest != nullptr)
        *closest = FV3(c[0], c[1], c[2]);
    return PhZoneCode{bits};
}

