// Double-precision reference maths for the scene maths tests: independent formulas (Rodrigues
// rotations, Gauss-Jordan inverse), row-vector convention like the library.
#pragma once

#include <brondel/brmath.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace ref {

using M4 = std::array<std::array<double, 4>, 4>;
using V3 = std::array<double, 3>;

constexpr double kPi = 3.14159265358979323846;

inline double Radians(br_angle a)
{
    return a * (2.0 * kPi / 65536.0);
}

inline M4 Identity()
{
    M4 m{};
    for (int i = 0; i < 4; ++i)
        m[i][i] = 1;
    return m;
}

inline M4 From34(const br_matrix34 &s)
{
    M4 m = Identity();
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            m[r][c] = s.m[r][c];
    return m;
}

inline M4 From4(const br_matrix4 &s)
{
    M4 m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m[r][c] = s.m[r][c];
    return m;
}

inline br_matrix34 To34(const M4 &m)
{
    br_matrix34 d;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            d.m[r][c] = (br_scalar)m[r][c];
    return d;
}

inline br_matrix4 To4(const M4 &m)
{
    br_matrix4 d;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            d.m[r][c] = (br_scalar)m[r][c];
    return d;
}

inline M4 Mul(const M4 &a, const M4 &b)
{
    M4 d{};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            for (int k = 0; k < 4; ++k)
                d[r][c] += a[r][k] * b[k][c];
    return d;
}

// Gauss-Jordan with partial pivoting; returns the determinant (0 when singular).
inline double Inverse(const M4 &src, M4 *inv)
{
    M4 a = src, b = Identity();
    double det = 1;
    for (int c = 0; c < 4; ++c) {
        int p = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[p][c]))
                p = r;
        if (a[p][c] == 0)
            return 0;
        if (p != c) {
            std::swap(a[p], a[c]);
            std::swap(b[p], b[c]);
            det = -det;
        }
        double d = a[c][c];
        det *= d;
        for (int k = 0; k < 4; ++k) {
            a[c][k] /= d;
            b[c][k] /= d;
        }
        for (int r = 0; r < 4; ++r) {
            if (r == c)
                continue;
            double f = a[r][c];
            for (int k = 0; k < 4; ++k) {
                a[r][k] -= f * a[c][k];
                b[r][k] -= f * b[c][k];
            }
        }
    }
    if (inv)
        *inv = b;
    return det;
}

inline double Det(const M4 &m)
{
    return Inverse(m, nullptr);
}

// Right-handed rotation by theta about the unit axis n; row r is the image of axis r.
inline M4 Rotation(V3 n, double theta)
{
    double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (double &v : n)
        v /= len;
    double c = std::cos(theta), s = std::sin(theta);
    M4 m = Identity();
    for (int r = 0; r < 3; ++r) {
        V3 v{0, 0, 0};
        v[r] = 1;
        V3 cross{n[1] * v[2] - n[2] * v[1], n[2] * v[0] - n[0] * v[2], n[0] * v[1] - n[1] * v[0]};
        double dot = n[r];
        for (int k = 0; k < 3; ++k)
            m[r][k] = v[k] * c + cross[k] * s + n[k] * dot * (1 - c);
    }
    return m;
}

inline M4 AxisRotation(int axis, double theta)
{
    V3 n{0, 0, 0};
    n[axis] = 1;
    return Rotation(n, theta);
}

inline M4 Translation(double x, double y, double z)
{
    M4 m = Identity();
    m[3][0] = x;
    m[3][1] = y;
    m[3][2] = z;
    return m;
}

inline M4 Scale(double x, double y, double z)
{
    M4 m = Identity();
    m[0][0] = x;
    m[1][1] = y;
    m[2][2] = z;
    return m;
}

// Tolerance scaled by the size of the expected entry.
inline double Tol(double expected, double tol)
{
    return tol * std::fmax(1.0, std::fabs(expected));
}

inline void ExpectNear(const br_matrix34 &got, const M4 &want, double tol, const char *what = "")
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(got.m[r][c], want[r][c], Tol(want[r][c], tol))
                << what << " m[" << r << "][" << c << "]";
}

inline void ExpectNear(const br_matrix4 &got, const M4 &want, double tol, const char *what = "")
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(got.m[r][c], want[r][c], Tol(want[r][c], tol))
                << what << " m[" << r << "][" << c << "]";
}

inline void ExpectEqual(const br_matrix34 &got, const br_matrix34 &want, double tol = 0)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(got.m[r][c], want.m[r][c], tol) << " m[" << r << "][" << c << "]";
}

inline br_matrix34 Make34(std::array<float, 12> v)
{
    br_matrix34 m;
    for (int i = 0; i < 12; ++i)
        m.m[i / 3][i % 3] = v[i];
    return m;
}

inline br_matrix4 Make4(std::array<float, 16> v)
{
    br_matrix4 m;
    for (int i = 0; i < 16; ++i)
        m.m[i / 4][i % 4] = v[i];
    return m;
}

} // namespace ref
