// c = colour x ka + sum over lights of light colour x attenuation x spot x
//     (kd x max(0, N.L) x colour + ks x max(0, R.V)^power), clamped to 0..255.
#include "sr_light.h"

#include <cmath>

namespace sr {

namespace {

inline float dot(const Vec3 &a, const Vec3 &b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

inline Vec3 unit(Vec3 v)
{
    float l = std::sqrt(dot(v, v));
    if (l > 0.0f) {
        float k = 1.0f / l;
        v = {v.x * k, v.y * k, v.z * k};
    }
    return v;
}

inline void unpack(uint32_t c, float out[3])
{
    out[0] = (float)((c >> 16) & 0xff) / 255.0f;
    out[1] = (float)((c >> 8) & 0xff) / 255.0f;
    out[2] = (float)(c & 0xff) / 255.0f;
}

} // namespace

Lighting::Lighting(const Setup &s)
{
    unpack(s.colour, base);
    ka = s.ka;
    kd = s.kd;
    ks = s.ks;
    power = s.power;
    parallel = s.parallel;
    for (const Light &src : s.lights) {
        if (src.type == LightType::None)
            continue;
        L &d = lights[n++];
        d.type = src.type;
        unpack(src.colour, d.colour);
        d.c = src.att_c;
        d.l = src.att_l;
        d.q = src.att_q;
        d.pos = src.position;
        d.dir = unit(src.direction);
        d.outer = src.spot_outer;
        d.inner = src.spot_inner;
    }
}

void Lighting::shade(const Vec3 &p, const Vec3 &nrm, float out[3]) const
{
    float acc[3] = {base[0] * ka, base[1] * ka, base[2] * ka};
    Vec3 eye = parallel ? Vec3{0, 0, 1} : unit(Vec3{-p.x, -p.y, -p.z});
    for (int i = 0; i < n; ++i) {
        const L &lt = lights[i];
        Vec3 to;
        float att = 1.0f;
        if (lt.type == LightType::Direct) {
            to = lt.dir;
        } else {
            Vec3 d{lt.pos.x - p.x, lt.pos.y - p.y, lt.pos.z - p.z};
            float dist = std::sqrt(dot(d, d));
            to = dist > 0.0f ? Vec3{d.x / dist, d.y / dist, d.z / dist} : Vec3{0, 0, 1};
            float den = lt.c + lt.l * dist + lt.q * dist * dist;
            att = den > 0.0f ? 1.0f / den : 1.0f;
            if (lt.type == LightType::Spot) {
                // The spot shines along -dir; the point sees the light along `to`.
                float cosang = dot(to, lt.dir);
                if (cosang < lt.outer)
                    continue;
                if (cosang < lt.inner && lt.inner > lt.outer)
                    att *= (cosang - lt.outer) / (lt.inner - lt.outer);
            }
        }
        float nl = dot(nrm, to);
        float diffuse = nl > 0.0f ? kd * nl : 0.0f;
        float spec = 0.0f;
        if (ks != 0.0f && nl > 0.0f) {
            Vec3 r{2 * nl * nrm.x - to.x, 2 * nl * nrm.y - to.y, 2 * nl * nrm.z - to.z};
            float rv = dot(r, eye);
            if (rv > 0.0f)
                spec = ks * std::pow(rv, power);
        }
        for (int k = 0; k < 3; ++k)
            acc[k] += lt.colour[k] * att * (diffuse * base[k] + spec);
    }
    for (int k = 0; k < 3; ++k) {
        float v = acc[k] * 255.0f;
        out[k] = v < 0.0f ? 0.0f : v > 255.0f ? 255.0f : v;
    }
}

} // namespace sr
