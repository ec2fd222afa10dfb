// Lighting of the stand-in renderer, worked out in view space.
#ifndef SOFTREND_SR_LIGHT_H
#define SOFTREND_SR_LIGHT_H

#include "sr_types.h"

#include <emmintrin.h>

namespace sr {

struct Lighting {
    // Prepares the active lights of a setup; colours are kept as 0..1 floats.
    explicit Lighting(const Setup &s);
    Lighting() = default;
    // The two halves of the above: the lights, and the surface with the eye model. A renderer
    // drawing model after model under the same lights renews only the surface.
    void set_lights(const Setup &s);
    void set_surface(const Setup &s);

    // Colour (0..255 each) of a point at view position p with unit normal n.
    void shade(const Vec3 &p, const Vec3 &n, float out[3]) const;

    // The same for four points at once, lane by lane with the same operations in the same order:
    // out[i] gets exactly what shade(p[i], n[i], out[i]) gives.
    void shade4(const Vec3 p[4], const Vec3 n[4], float *const out[4]) const;
    // Four points and their unit normals, a lane each.
    struct Lanes {
        __m128 px, py, pz, nx, ny, nz;
    };
    void shade4(const Lanes &in, float *const out[4]) const;

    float base[3] = {0, 0, 0}; // surface colour, 0..1
    float ka = 0, kd = 0, ks = 0, power = 0;
    int whole = 0; // power when it is a whole number (raised by squaring), else 0
    bool parallel = false;
    int n = 0;
    struct L {
        LightType type;
        float colour[3];
        float c, l, q;
        Vec3 pos, dir;
        float outer, inner;
        // The same in every lane, for shade4.
        __m128 vcolour[3], vc, vl, vq, vpos[3], vdir[3], vouter, vinner, vspan;
    } lights[MAX_LIGHTS];
    // The surface's terms in every lane: base x ka, base, kd, ks.
    __m128 vambient[3], vbase[3], vkd, vks;
};

} // namespace sr

#endif
