// Small matrix helpers of the pipeline (row-vector convention) and the depth value mapping.
#include "sr_types.h"

#include <cmath>
#include <cstring>

#include <xmmintrin.h>

namespace sr {

Mat34 identity34()
{
    Mat34 m{};
    m.m[0][0] = m.m[1][1] = m.m[2][2] = 1.0f;
    return m;
}

Mat4 identity4()
{
    Mat4 m{};
    m.m[0][0] = m.m[1][1] = m.m[2][2] = m.m[3][3] = 1.0f;
    return m;
}

Mat4 mul34_4(const Mat34 &a, const Mat4 &b)
{
    // A row at a time, a lane a column: a[i][0] b[0][j] + a[i][1] b[1][j] + a[i][2] b[2][j]
    // (+ b[3][j] on the last row), summed left to right.
    const __m128 b0 = _mm_loadu_ps(b.m[0]), b1 = _mm_loadu_ps(b.m[1]), b2 = _mm_loadu_ps(b.m[2]);
    Mat4 r;
    for (int i = 0; i < 4; ++i) {
        __m128 v = _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(a.m[i][0]), b0), _mm_mul_ps(_mm_set1_ps(a.m[i][1]), b1)),
                              _mm_mul_ps(_mm_set1_ps(a.m[i][2]), b2));
        if (i == 3)
            v = _mm_add_ps(v, _mm_loadu_ps(b.m[3]));
        _mm_storeu_ps(r.m[i], v);
    }
    return r;
}

Mat34 mul34(const Mat34 &a, const Mat34 &b)
{
    Mat34 r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) {
            float v = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
            if (i == 3)
                v += b.m[3][j];
            r.m[i][j] = v;
        }
    return r;
}

bool invert34(Mat34 &out, const Mat34 &in)
{
    const float(*m)[3] = in.m;
    float c00 = m[1][1] * m[2][2] - m[1][2] * m[2][1];
    float c01 = m[1][2] * m[2][0] - m[1][0] * m[2][2];
    float c02 = m[1][0] * m[2][1] - m[1][1] * m[2][0];
    float det = m[0][0] * c00 + m[0][1] * c01 + m[0][2] * c02;
    if (!(std::fabs(det) > 1e-15f)) {
        out = identity34();
        return false;
    }
    float k = 1.0f / det;
    Mat34 r{};
    r.m[0][0] = c00 * k;
    r.m[1][0] = c01 * k;
    r.m[2][0] = c02 * k;
    r.m[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) * k;
    r.m[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) * k;
    r.m[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) * k;
    r.m[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) * k;
    r.m[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) * k;
    r.m[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) * k;
    for (int j = 0; j < 3; ++j)
        r.m[3][j] = -(m[3][0] * r.m[0][j] + m[3][1] * r.m[1][j] + m[3][2] * r.m[2][j]);
    out = r;
    return true;
}

Mat34 invert34_lp(const Mat34 &in)
{
    Mat34 r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[i][j] = in.m[j][i];
    for (int j = 0; j < 3; ++j)
        r.m[3][j] = -(in.m[3][0] * r.m[0][j] + in.m[3][1] * r.m[1][j] + in.m[3][2] * r.m[2][j]);
    return r;
}

int colour_bytes(ColourType t)
{
    switch (t) {
    case ColourType::RGB_555:
    case ColourType::RGB_565:
        return 2;
    case ColourType::RGB_888:
        return 3;
    default:
        return 4;
    }
}

int depth_bytes(DepthType t)
{
    return t == DepthType::D16 ? 2 : t == DepthType::D32 ? 4 : 0;
}

uint32_t depth_from_screen_z(float sz)
{
    if (!(sz < 32768.0f)) // NaN counts as farthest
        return 0xffffffffu;
    if (sz <= -32768.0f)
        return 0;
    return (uint32_t)(int32_t)(sz * 65536.0f) + 0x80000000u;
}

void ScreenBounds::reset()
{
    min[0] = min[1] = INFINITY;
    max[0] = max[1] = -INFINITY;
}

} // namespace sr
