/* The solid of a slope or corner piece, the regions around it, and the zone code of a ball against a
 * piece's box. */
#ifndef TERROW_PHYS_PHGEOM_H
#define TERROW_PHYS_PHGEOM_H

#include <stdint.h>

#include "terrow/phys/phparams.h"
#include "terrow/phys/phsolve.h"

struct PhFace {
    PhPlane plane;
    int32_t count;  // 3 or 4
    FV3 vertex[4];
    FV3 edge[4];    // vertex k + 1 - vertex k, the last back to vertex 0
};

/* A right triangular prism: triangle A = C0 C1 C2, triangle B = C3 C4 C5 opposite them, the right
 * angle at C0 and C3. Plane normals point into the solid. */
struct PhRampGeom {
    int32_t orientation;  // slope 0..3, corner 4..7
    FV3 corner[7];        // C0..C5, then the centroid
    FV3 boxLow, boxHigh;
    PhLine *edge[9];      // C1-C2, C0-C1, C0-C2, C4-C5, C3-C4, C3-C5, C0-C3, C1-C4, C2-C5
    PhFace *face[5];
    PhPlane *plane[9];
    float edgeLength[3];  // |C3 - C0|, |C2 - C0|, |C1 - C0|
    // The planes' normals and distances, widened to double as Plane_Dist widens them, a row by
    // component (x, y, z, distance) and a plane by column: the region test reads all nine for every
    // point, two side by side (the tenth column is no plane).
    double planeCol[4][10];
};

/* The side of a corner piece's legs. */
extern const float PH_CORNER_LEG;

/* Builds the geometry of a slope (`corner` false) or a corner standing in cell (x, y, z) (y is the
 * field's 1-based level) with direction key 0..3. NULL when out of memory. */
PhRampGeom *Ramp_New(int32_t x, int32_t y, int32_t z, int32_t key, bool corner);
void Ramp_Free(PhRampGeom *g);

/* The region code 0..20 of `point` around the solid and the vector towards its nearest feature, or
 * -1 with a warning and `out` not valid. */
int Ramp_Region(const PhRampGeom &g, const FV3 &point, FV3 *out);
/* Ramp_Region's code alone, without the vector. */
int Ramp_RegionCode(const PhRampGeom &g, const FV3 &point);

/* Contact of a ball (centre, velocity, radius) with the solid: 0 none, 1 contact, 2 through the top
 * surface; `d` the vector towards the feature, `code` its region. */
int Ramp_Contact(const PhRampGeom &g, const FV3 &centre, const FV3 &velocity, float radius, FV3 *d,
                 int *code, float tolerance);

/* Six 5-bit fields, lowest first: x, y, z zone, then x, y, z detail (0..10). */
struct PhZoneCode {
    uint32_t bits;
    int Field(int i) const { return static_cast<int>((bits >> (5 * i)) & 31u); }
    int Zone(int axis) const { return Field(axis); }
    int Detail(int axis) const { return Field(3 + axis); }
    // The x and z detail fields: what a ball's support slots are found by.
    static constexpr uint32_t k_xzDetails = 31u << 15 | 31u << 25;
    // A centre inside its cell: zone 5 on every axis; detail 4 on an axis whose bit is set in `low`
    // (the ball reaches over the low face), else 6 where set in `high`, else 5.
    static PhZoneCode InCell(uint32_t low, uint32_t high)
    {
        // Per axis a: 1 << (15 + 5a), the unit of its detail field.
        static constexpr uint32_t k_unit[8] = {0,        1u << 15,           1u << 20,           (1u << 15) | (1u << 20),
                                               1u << 25, (1u << 15) | (1u << 25), (1u << 20) | (1u << 25),
                                               (1u << 15) | (1u << 20) | (1u << 25)};
        const uint32_t all5 = 5u | 5u << 5 | 5u << 10 | 5u << 15 | 5u << 20 | 5u << 25;
        return PhZoneCode{all5 - k_unit[low & 7] + k_unit[high & ~low & 7]};
    }
};

/* Zones of a ball (centre, radius) against the box [low, high], one axis at a time, and the point of
 * the box closest to the centre. */
PhZoneCode PhElem_Classify(const FV3 &low, const FV3 &high, const FV3 &centre, float radius, FV3 *closest);
/* Whether PhElem_Classify would put the ball in zone 0 or 10 on some axis (beyond reach of the box),
 * found with the same comparisons but without the rest of the code. */
inline bool PhElem_OutOfReach(const FV3 &low, const FV3 &high, const FV3 &centre, float radius)
{
    // Inline: the step asks it for every iron ball and magnet.
    const float reach = PhyParams.classifyReach;
    const float p[3] = {centre.x, centre.y, centre.z};
    const float l[3] = {low.x, low.y, low.z}, h[3] = {high.x, high.y, high.z};
    for (int a = 0; a < 3; a++) {
        const float ra = a == 1 ? 0.55f * reach : reach;
        // The zone 0 and zone 10 branches of classify_axis, nothing else.
        if (p[a] < l[a] ? p[a] + radius < l[a] - ra : !(p[a] <= h[a]) && p[a] - radius > h[a] + ra)
            return true;
    }
    return false;
}

#endif
