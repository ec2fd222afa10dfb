/* Vector and matrix arithmetic of the physics, the exported conversions to the 3D library's types,
 * and the rounding routines that turn positions into cells.
 *
 * Temporaries are plain values on the stack: no operator touches the heap or a shared pool, so a
 * temporary can never be reclaimed while something still refers to it. `QueueLevel` is still kept
 * (it is exported) and every physics operation that makes temporaries raises it for its duration
 * with a PhScope. */
#ifndef TERROW_PHYS_PHMATH_H
#define TERROW_PHYS_PHMATH_H

#include <math.h>
#include <stdint.h>
#include <emmintrin.h>
#include <xmmintrin.h>

#include <brondel/brmatrix.h>
#include <brondel/brvector.h>

#define PH_EXPORT __attribute__((visibility("default")))

extern "C" PH_EXPORT int32_t QueueLevel;

/* Object states. */
enum : uint8_t { PH_FREE = 0xFF, PH_CONSTRUCTED = 0, PH_VALID = 1 };

/* Reading an object that holds no value warns with "Using uninitialized object!" while this is on
 * (lengths always check). Returns the previous setting. */
bool Phys_SetValidityCheck(bool on);

/* Raises QueueLevel for the lifetime of an operation that makes temporaries. */
struct PhScope {
    PhScope() { ++QueueLevel; }
    ~PhScope() { --QueueLevel; }
    PhScope(const PhScope &) = delete;
    PhScope &operator=(const PhScope &) = delete;
};

struct FV3 {
    uint8_t state = PH_CONSTRUCTED;
    uint8_t fill = 'c';  // 'c' after construction; the next component while filling one at a time
    float x = 0, y = 0, z = 0;

    FV3() = default;
    FV3(float ax, float ay, float az) : state(PH_VALID), x(ax), y(ay), z(az) {}
    FV3(const FV3 &o);
    explicit FV3(const float v[3]) : state(PH_VALID), x(v[0]), y(v[1]), z(v[2]) {}
    FV3 &operator=(const FV3 &o);

    /* Fills the next component; the vector holds a value after the third. */
    FV3 &operator<<(float v);
    void Set(const float v[3]);
    bool Valid() const { return state == PH_VALID; }
    void Check() const;

    FV3 operator-() const;
    FV3 operator+(const FV3 &b) const;
    FV3 operator-(const FV3 &b) const;
    FV3 operator*(float s) const;
    FV3 operator*(int s) const;
    FV3 operator/(float s) const;
    FV3 operator/(int s) const;
    FV3 operator^(const FV3 &b) const;  // cross product
    FV3 &operator+=(const FV3 &b);
    FV3 &operator-=(const FV3 &b);
    FV3 &operator*=(float s);
    FV3 &operator/=(float s);
    FV3 &operator/=(int s);

    double Dot(const FV3 &b) const;
    double Length() const;
    double Length2() const;
    void Zero();
    void SetLength(double len);
    void Normalise();
    FV3 Normalised() const;
    FV3 Divided(float s) const { return *this / s; }
    void CopyOut(float *ox, float *oy, float *oz) const;
};

/* The warning for a value read before it was set (`always`: whatever the check setting). */
void PhMath_Unset(bool always);

/* The arithmetic used everywhere is inline; a value that is not set still warns. */
inline void FV3::Check() const
{
    if (state != PH_VALID)
        PhMath_Unset(false);
}
inline FV3::FV3(const FV3 &o) : state(PH_VALID), fill('c'), x(o.x), y(o.y), z(o.z) { o.Check(); }
inline FV3 &FV3::operator=(const FV3 &o)
{
    o.Check();
    x = o.x;
    y = o.y;
    z = o.z;
    state = PH_VALID;
    return *this;
}
inline FV3 FV3::operator-() const { Check(); return FV3(-x, -y, -z); }
inline FV3 FV3::operator+(const FV3 &b) const { Check(); b.Check(); return FV3(x + b.x, y + b.y, z + b.z); }
inline FV3 FV3::operator-(const FV3 &b) const { Check(); b.Check(); return FV3(x - b.x, y - b.y, z - b.z); }
inline FV3 FV3::operator*(float s) const { Check(); return FV3(x * s, y * s, z * s); }
inline FV3 FV3::operator/(float s) const { Check(); return FV3(x / s, y / s, z / s); }
inline FV3 &FV3::operator+=(const FV3 &b) { Check(); b.Check(); x += b.x; y += b.y; z += b.z; return *this; }
inline FV3 &FV3::operator-=(const FV3 &b) { Check(); b.Check(); x -= b.x; y -= b.y; z -= b.z; return *this; }
inline FV3 &FV3::operator*=(float s) { Check(); x *= s; y *= s; z *= s; return *this; }
inline FV3 &FV3::operator/=(float s) { Check(); x /= s; y /= s; z /= s; return *this; }
inline double FV3::Dot(const FV3 &b) const
{
    Check();
    b.Check();
    return static_cast<double>(x) * b.x + static_cast<double>(y) * b.y + static_cast<double>(z) * b.z;
}
inline double FV3::Length2() const
{
    if (state != PH_VALID)
        PhMath_Unset(true);
    // x and y widened and squared two at a time: the same (x x + y y) + z z in doubles.
    const __m128d xy = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(&x))));
    const __m128d sq = _mm_mul_pd(xy, xy);
    return (_mm_cvtsd_f64(sq) + _mm_cvtsd_f64(_mm_unpackhi_pd(sq, sq))) + static_cast<double>(z) * z;
}
inline double FV3::Length() const { return sqrt(Length2()); }
inline void FV3::Normalise()
{
    double l = Length();
    if (l == 0)
        return;
    *this /= static_cast<float>(l);
}
inline FV3 FV3::Normalised() const
{
    FV3 r(*this);
    r.Normalise();
    return r;
}
inline FV3 FV3::operator^(const FV3 &b) const
{
    Check();
    b.Check();
    return FV3(y * b.z - z * b.y, z * b.x - x * b.z, x * b.y - y * b.x);
}

/* target := a - b; target := a x b. */
void FV3_Diff(FV3 &target, const FV3 &a, const FV3 &b);
void FV3_Cross(FV3 &target, const FV3 &a, const FV3 &b);

struct M33 {
    uint8_t state = PH_CONSTRUCTED;
    uint8_t fill = 'c';
    float m[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
    uint8_t zero = 0;
    uint8_t detKnown = 0;
    uint8_t singular = 0;
    float det = 0;

    /* The zero matrix. */
    M33();
    explicit M33(const float e[9]);
    /* The rotation by |v| about v / |v| for row vectors (p' = p.M), identity for |v| <= 0, > 1e20 or NaN. */
    explicit M33(const FV3 &v);
    M33(const M33 &o) = default;
    M33 &operator=(const M33 &o);

    void Check() const;
    M33 operator*(const M33 &b) const;
    M33 &operator*=(const M33 &b);
    /* *this = *this * M33(v), without the temporaries. */
    M33 &TurnBy(const FV3 &v);
    float Det();
    void CopyOut(float e[9]) const;
    float operator()(int r, int c) const { return m[r * 3 + c]; }
};

/* The rows of M33(v) in lanes 0-2 (lane 3: 0), from the exact form. */
void PhMath_ExactTurnRows(const FV3 &v, __m128 row[3]);

namespace ph_detail {
// The turn of a rolling ball's step is small: below this angle its matrix comes from the series of
// sin t / t and (1 - cos t) / t^2 in t^2, with no root, division or sincos. The first terms left out
// are below 1.1e-8 there, under a float's rounding.
const float k_small_turn2 = 0.25f;  // (0.5 rad)^2

// The rows of the rotation, a fourth lane of 0, four lanes wide and kept in registers: written to
// memory and read back four wide, each row would wait for its three stores.
inline bool small_rotation_rows(const FV3 &v, __m128 row[3])
{
    const float x = v.x, y = v.y, z = v.z;
    const float t2 = x * x + y * y + z * z;
    if (!(t2 <= k_small_turn2))  // a NaN turn too: the exact form makes it the identity
        return false;
    // s = sin t / t, u = (1 - cos t) / t^2, cos t = 1 - t^2 u; the rotation is c I + u v v' + s [v]x.
    // The two series side by side (s in lane 0, 2u in lane 1), each lane the same steps as alone.
    const __m128 T = _mm_set1_ps(t2), one = _mm_set1_ps(1.0f);
    const __m128 in3 = _mm_sub_ps(one, _mm_mul_ps(T, _mm_setr_ps(1.0f / 42, 1.0f / 56, 0.0f, 0.0f)));
    const __m128 in2 = _mm_sub_ps(one, _mm_mul_ps(_mm_mul_ps(T, _mm_setr_ps(1.0f / 20, 1.0f / 30, 0.0f, 0.0f)), in3));
    const __m128 su = _mm_sub_ps(one, _mm_mul_ps(_mm_mul_ps(T, _mm_setr_ps(1.0f / 6, 1.0f / 12, 0.0f, 0.0f)), in2));
    const float s = _mm_cvtss_f32(su);
    const float u = 0.5f * _mm_cvtss_f32(_mm_shuffle_ps(su, su, _MM_SHUFFLE(1, 1, 1, 1)));
    const __m128 C = _mm_set_ss(1 - t2 * u);  // c, 0, 0, 0
    const __m128 V = _mm_setr_ps(x, y, z, 0.0f);
    const __m128 uV = _mm_mul_ps(V, _mm_set1_ps(u));
    const __m128 sV = _mm_mul_ps(V, _mm_set1_ps(s));  // xs, ys, zs, 0
    // (c, zs, -ys), (-zs, c, xs), (ys, -xs, c): sV's lanes moved, signs turned, c put in a lane of 0.
    const __m128 neg = _mm_set_ss(-0.0f);
    const __m128 a0 = _mm_move_ss(_mm_xor_ps(_mm_shuffle_ps(sV, sV, _MM_SHUFFLE(3, 1, 2, 3)), _mm_shuffle_ps(neg, neg, _MM_SHUFFLE(1, 0, 1, 1))), C);
    const __m128 a1 = _mm_or_ps(_mm_xor_ps(_mm_shuffle_ps(sV, sV, _MM_SHUFFLE(3, 0, 3, 2)), neg), _mm_shuffle_ps(C, C, _MM_SHUFFLE(1, 1, 0, 1)));
    const __m128 a2 = _mm_or_ps(_mm_xor_ps(_mm_shuffle_ps(sV, sV, _MM_SHUFFLE(3, 3, 0, 1)), _mm_shuffle_ps(neg, neg, _MM_SHUFFLE(1, 1, 0, 1))),
                                _mm_shuffle_ps(C, C, _MM_SHUFFLE(1, 0, 1, 1)));
    row[0] = _mm_add_ps(_mm_mul_ps(uV, _mm_set1_ps(x)), a0);
    row[1] = _mm_add_ps(_mm_mul_ps(uV, _mm_set1_ps(y)), a1);
    row[2] = _mm_add_ps(_mm_mul_ps(uV, _mm_set1_ps(z)), a2);
    return true;
}
}  // namespace ph_detail

/* Inline: every rolling ball turns once a step. */
inline M33 &M33::TurnBy(const FV3 &v)
{
    if (state != PH_VALID)
        PhMath_Unset(false);
    __m128 r[3];
    if (!ph_detail::small_rotation_rows(v, r))
        PhMath_ExactTurnRows(v, r);
    // A row at a time, four lanes wide: each entry is the same (a + b) + c of the same products.
    __m128 out[3];
    for (int i = 0; i < 3; i++) {
        const __m128 a = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(m[i * 3]), r[0]), _mm_mul_ps(_mm_set1_ps(m[i * 3 + 1]), r[1]));
        out[i] = _mm_add_ps(a, _mm_mul_ps(_mm_set1_ps(m[i * 3 + 2]), r[2]));
    }
    // Rows 0 and 1 four wide (row 1 writes over row 0's spare lane), row 2 in its three floats.
    _mm_storeu_ps(m, out[0]);
    _mm_storeu_ps(m + 3, out[1]);
    _mm_storel_pi(reinterpret_cast<__m64 *>(m + 6), out[2]);
    _mm_store_ss(m + 8, _mm_movehl_ps(out[2], out[2]));
    zero = detKnown = singular = 0;
    det = 0;
    state = PH_VALID;
    return *this;
}

/* A point as a row vector times a matrix. */
FV3 operator*(const FV3 &p, const M33 &m);

struct Mtx34 {
    uint8_t state = PH_CONSTRUCTED;
    uint8_t fill = 'c';
    float m[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    uint8_t flag0 = 0, flag1 = 0;
    int32_t word = 0;
};

extern "C" {
PH_EXPORT br_vector3 *DD_FV3toBrV3(const FV3 *src, br_vector3 *dst);
/* Rows 0..2 of the target; row 3 is left as it is. */
PH_EXPORT br_matrix34 *DD_Mtx33toBrM34(const M33 *src, br_matrix34 *dst);
PH_EXPORT br_matrix34 *DD_Mtx34toBrM34(const Mtx34 *src, br_matrix34 *dst);
}

/* Rounding routines. Truncation toward zero, one less for negative values (so -1.0 gives -2: the
 * cell walk depends on that). */
namespace ph_detail {
// Saturated: a position gone wild (NaN, or beyond the 32-bit range) gives the lowest or highest
// cell instead of an undefined conversion. Inline: the step takes cells of every ball many times.
inline int32_t trunc_minus(double q, bool negative)
{
    if (!(q > -2147483648.0))  // NaN included
        return INT32_MIN;
    if (q >= 2147483647.0)
        return INT32_MAX;
    int32_t t = static_cast<int32_t>(q);
    return negative && t > INT32_MIN ? t - 1 : t;
}
}  // namespace ph_detail

inline int32_t FloorI(float v) { return ph_detail::trunc_minus(v, v < 0); }
inline int32_t CellOf(float size, float v) { return ph_detail::trunc_minus(v / size, v < 0); }
int32_t CellOfBiased(float size, float bias, float v);
inline float Frac(float v) { return v - static_cast<float>(FloorI(v)); }
inline float ModCell(float size, float v) { return v - static_cast<float>(CellOf(size, v)) * size; }

#endif
