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

// x^p for a whole power by squaring, the same products in the same order as shade4's lanes.
inline float pow_whole(float x, int p)
{
    float r = 1.0f;
    for (;;) {
        if (p & 1)
            r *= x;
        if (!(p >>= 1))
            return r;
        x *= x;
    }
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
    set_lights(s);
    set_surface(s);
}

void Lighting::set_surface(const Setup &s)
{
    unpack(s.colour, base);
    ka = s.ka;
    kd = s.kd;
    ks = s.ks;
    power = s.power;
    // Whole specular powers (the usual case) are raised by squaring, four lanes at once: a few
    // multiplications instead of a pow call a lane.
    whole = power >= 1.0f && power <= 1024.0f && power == (float)(int)power ? (int)power : 0;
    parallel = s.parallel;
    for (int k = 0; k < 3; ++k) {
        vambient[k] = _mm_set1_ps(base[k] * ka);
        vbase[k] = _mm_set1_ps(base[k]);
    }
    vkd = _mm_set1_ps(kd);
    vks = _mm_set1_ps(ks);
}

void Lighting::set_lights(const Setup &s)
{
    n = 0;
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
        for (int k = 0; k < 3; ++k)
            d.vcolour[k] = _mm_set1_ps(d.colour[k]);
        d.vc = _mm_set1_ps(d.c);
        d.vl = _mm_set1_ps(d.l);
        d.vq = _mm_set1_ps(d.q);
        d.vpos[0] = _mm_set1_ps(d.pos.x), d.vpos[1] = _mm_set1_ps(d.pos.y), d.vpos[2] = _mm_set1_ps(d.pos.z);
        d.vdir[0] = _mm_set1_ps(d.dir.x), d.vdir[1] = _mm_set1_ps(d.dir.y), d.vdir[2] = _mm_set1_ps(d.dir.z);
        d.vouter = _mm_set1_ps(d.outer);
        d.vinner = _mm_set1_ps(d.inner);
        d.vspan = _mm_set1_ps(d.inner - d.outer);
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
                spec = ks * (whole ? pow_whole(rv, whole) : std::pow(rv, power));
        }
        for (int k = 0; k < 3; ++k)
            acc[k] += lt.colour[k] * att * (diffuse * base[k] + spec);
    }
    for (int k = 0; k < 3; ++k) {
        float v = acc[k] * 255.0f;
        out[k] = v < 0.0f ? 0.0f : v > 255.0f ? 255.0f : v;
    }
}

namespace {

// Four lanes of x, y and z.
struct V4 {
    __m128 x, y, z;
};

inline __m128 dot4(const V4 &a, const V4 &b)
{
    return _mm_add_ps(_mm_add_ps(_mm_mul_ps(a.x, b.x), _mm_mul_ps(a.y, b.y)), _mm_mul_ps(a.z, b.z));
}

// m ? a : b
inline __m128 pick(__m128 m, __m128 a, __m128 b)
{
    return _mm_or_ps(_mm_and_ps(m, a), _mm_andnot_ps(m, b));
}

inline V4 unit4(V4 v)
{
    __m128 l = _mm_sqrt_ps(dot4(v, v));
    __m128 pos = _mm_cmpgt_ps(l, _mm_setzero_ps());
    __m128 k = _mm_div_ps(_mm_set1_ps(1.0f), l);
    return {pick(pos, _mm_mul_ps(v.x, k), v.x), pick(pos, _mm_mul_ps(v.y, k), v.y), pick(pos, _mm_mul_ps(v.z, k), v.z)};
}

} // namespace

void Lighting::shade4(const Vec3 p[4], const Vec3 nrm4[4], float *const out[4]) const
{
    shade4(Lanes{_mm_setr_ps(p[0].x, p[1].x, p[2].x, p[3].x), _mm_setr_ps(p[0].y, p[1].y, p[2].y, p[3].y),
                 _mm_setr_ps(p[0].z, p[1].z, p[2].z, p[3].z), _mm_setr_ps(nrm4[0].x, nrm4[1].x, nrm4[2].x, nrm4[3].x),
                 _mm_setr_ps(nrm4[0].y, nrm4[1].y, nrm4[2].y, nrm4[3].y),
                 _mm_setr_ps(nrm4[0].z, nrm4[1].z, nrm4[2].z, nrm4[3].z)},
           out);
}

SR_AVX2_CLONES void Lighting::shade4(const Lanes &in, float *const out[4]) const
{
    const __m128 zero = _mm_setzero_ps();
    const V4 P{in.px, in.py, in.pz}, N{in.nx, in.ny, in.nz};
    __m128 acc[3] = {vambient[0], vambient[1], vambient[2]};
    const __m128 negz = _mm_set1_ps(-0.0f);
    V4 eye = parallel ? V4{zero, zero, _mm_set1_ps(1.0f)}
                      : unit4(V4{_mm_xor_ps(P.x, negz), _mm_xor_ps(P.y, negz), _mm_xor_ps(P.z, negz)});
    for (int i = 0; i < n; ++i) {
        const L &lt = lights[i];
        V4 to;
        __m128 att = _mm_set1_ps(1.0f);
        __m128 keep = _mm_castsi128_ps(_mm_set1_epi32(-1)); // lanes the light reaches
        if (lt.type == LightType::Direct) {
            to = {lt.vdir[0], lt.vdir[1], lt.vdir[2]};
        } else {
            V4 d{_mm_sub_ps(lt.vpos[0], P.x), _mm_sub_ps(lt.vpos[1], P.y), _mm_sub_ps(lt.vpos[2], P.z)};
            __m128 dist = _mm_sqrt_ps(dot4(d, d));
            __m128 pos = _mm_cmpgt_ps(dist, zero);
            to = {pick(pos, _mm_div_ps(d.x, dist), zero), pick(pos, _mm_div_ps(d.y, dist), zero),
                  pick(pos, _mm_div_ps(d.z, dist), _mm_set1_ps(1.0f))};
            __m128 den = _mm_add_ps(_mm_add_ps(lt.vc, _mm_mul_ps(lt.vl, dist)), _mm_mul_ps(_mm_mul_ps(lt.vq, dist), dist));
            att = pick(_mm_cmpgt_ps(den, zero), _mm_div_ps(_mm_set1_ps(1.0f), den), _mm_set1_ps(1.0f));
            if (lt.type == LightType::Spot) {
                __m128 cosang = dot4(to, V4{lt.vdir[0], lt.vdir[1], lt.vdir[2]});
                keep = _mm_cmpnlt_ps(cosang, lt.vouter);
                if (lt.inner > lt.outer) {
                    __m128 edge = _mm_cmplt_ps(cosang, lt.vinner);
                    __m128 f = _mm_div_ps(_mm_sub_ps(cosang, lt.vouter), lt.vspan);
                    att = pick(edge, _mm_mul_ps(att, f), att);
                }
                if (_mm_movemask_ps(keep) == 0)
                    continue;
            }
        }
        __m128 nl = dot4(N, to);
        __m128 lit = _mm_cmpgt_ps(nl, zero);
        __m128 diffuse = _mm_and_ps(lit, _mm_mul_ps(vkd, nl));
        __m128 spec = zero;
        int litmask = _mm_movemask_ps(_mm_and_ps(lit, keep));
        if (ks != 0.0f && litmask) {
            __m128 nl2 = _mm_mul_ps(_mm_set1_ps(2.0f), nl);
            V4 r{_mm_sub_ps(_mm_mul_ps(nl2, N.x), to.x), _mm_sub_ps(_mm_mul_ps(nl2, N.y), to.y),
                 _mm_sub_ps(_mm_mul_ps(nl2, N.z), to.z)};
            __m128 rv = dot4(r, eye);
            int m = litmask & _mm_movemask_ps(_mm_cmpgt_ps(rv, zero));
            if (m && whole) {
                __m128 r = _mm_set1_ps(1.0f), x = rv;
                for (int p = whole;;) {
                    if (p & 1)
                        r = _mm_mul_ps(r, x);
                    if (!(p >>= 1))
                        break;
                    x = _mm_mul_ps(x, x);
                }
                const __m128 on = _mm_and_ps(_mm_and_ps(lit, keep), _mm_cmpgt_ps(rv, zero)); // the lanes of m
                spec = _mm_and_ps(on, _mm_mul_ps(vks, r));
            } else if (m) {
                alignas(16) float rvs[4], sp[4] = {0, 0, 0, 0};
                _mm_store_ps(rvs, rv);
                for (int k = 0; k < 4; ++k)
                    if (m & (1 << k))
                        sp[k] = ks * std::pow(rvs[k], power);
                spec = _mm_load_ps(sp);
            }
        }
        // A direct light's attenuation is 1 (the product is the colour itself), and only a spot
        // leaves lanes out.
        const bool direct = lt.type == LightType::Direct, spot = lt.type == LightType::Spot;
        for (int k = 0; k < 3; ++k) {
            const __m128 shine = direct ? lt.vcolour[k] : _mm_mul_ps(lt.vcolour[k], att);
            const __m128 term = _mm_mul_ps(shine, _mm_add_ps(_mm_mul_ps(diffuse, vbase[k]), spec));
            acc[k] = spot ? pick(keep, _mm_add_ps(acc[k], term), acc[k]) : _mm_add_ps(acc[k], term);
        }
    }
    alignas(16) float res[3][4];
    const __m128 top = _mm_set1_ps(255.0f);
    for (int k = 0; k < 3; ++k) {
        __m128 v = _mm_mul_ps(acc[k], top);
        // v < 0 ? 0 : v > 255 ? 255 : v, NaN and -0 kept: max and min give their second operand
        // when unordered or equal.
        v = _mm_min_ps(top, _mm_max_ps(zero, v));
        _mm_store_ps(res[k], v);
    }
    for (int i = 0; i < 4; ++i) {
        out[i][0] = res[0][i];
        out[i][1] = res[1][i];
        out[i][2] = res[2][i];
    }
}

} // namespace sr
