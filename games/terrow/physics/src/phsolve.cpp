// Time-of-impact roots and line/plane queries, in double on single-precision inputs.
#include "terrow/phys/phsolve.h"

#include <math.h>

#include "terrow/phys/phparams.h"

double Quartic(float a, float b, float c, float d, float e, double t)
{
    return (((static_cast<double>(a) * t + b) * t + c) * t + d) * t + e;
}

double Quartic1(float a, float b, float c, float d, double t)
{
    return ((4.0 * a * t + 3.0 * b) * t + 2.0 * c) * t + d;
}

double Quartic2(float a, float b, float c, double t) { return (12.0 * a * t + 6.0 * b) * t + 2.0 * c; }

int Solve2(double a, double b, double c, double offset, double lo, double hi, double *out)
{
    *out = hi;
    if (a != 0) {
        double disc = b * b - 4 * a * c;
        if (disc < -0.001 || !isfinite(disc))
            return 0;
        // The root next to -b comes from q / a, the other from c / q: subtracting two nearly equal
        // numbers, (r - b) with a small a, would lose the root a nearly linear motion needs.
        double t1, t2;
        double r = disc < 0 ? 0.0 : sqrt(disc);
        double q = -0.5 * (b + copysign(r, b));
        if (disc <= 0 || q == 0) {
            t1 = t2 = offset - b / (2 * a);
        } else {
            t1 = offset + q / a;
            t2 = offset + c / q;
        }
        bool ok1 = lo <= t1 && t1 <= hi, ok2 = lo <= t2 && t2 <= hi;
        if (ok1 && ok2) {
            *out = t1 < t2 ? t1 : t2;
            return 2;
        }
        if (ok1 || ok2) {
            *out = ok1 ? t1 : t2;
            return 1;
        }
        return 0;
    }
    if (b == 0)
        return 0;
    double t = offset - c / b;
    if (!isfinite(t))
        return 0;  // leaves hi: a NaN or infinite time must not reach the caller
    *out = t;
    return 2 * lo - hi <= t && t <= hi ? 1 : 0;
}

namespace {
struct Quart {
    double a, b, c, d, e;
    double f(double s) const { return (((a * s + b) * s + c) * s + d) * s + e; }
    double f1(double s) const { return ((4 * a * s + 3 * b) * s + 2 * c) * s + d; }
    double f2(double s) const { return (12 * a * s + 6 * b) * s + 2 * c; }
};
}  // namespace

int Solve4(double a, double b, double c, double d, double e, double offset, double lo, double hi,
           double *out)
{
    if (a == 0)
        return Solve2(c, d, e, offset, lo, hi, out);
    const Quart p{a, b, c, d, e};
    const double eps = PhyParams.epsilon;
    double U = hi - offset, L = lo - offset, s = U;
    for (int pass = 0; pass < 10; pass++) {
        double f = p.f(U);
        if (fabs(f) < eps) {
            // Only a pass that moved the upper end can get here after the first, so out == U.
            *out = U + offset;
            return 1;
        }
        double f1 = p.f1(U), f2 = p.f2(U), fL = p.f(L);
        if (Solve2(0.5 * f2, f1 - f2 * U, f - (f1 - 0.5 * f2 * U) * U, 0, L, U, &s) == 0)
            s = (U + L) / 2;
        double fo = p.f(s);
        if (fabs(fo) < eps) {
            *out = s + offset;
            return 1;
        }
        if (fo * f >= 0 && fo * fL < 0)
            U = s;
        else if (fo * f < 0)
            L = s;
    }
    *out = U + offset;
    return 1;
}

PhLine Line_Through(const FV3 &a, const FV3 &b)
{
    PhScope scope;
    PhLine l;
    l.dir = (b - a).Normalised();
    l.origin = a - l.dir * static_cast<float>(a.Dot(l.dir));
    return l;
}

namespace {
// Unit vector perpendicular to the line, in the plane of the line and w = point - origin.
FV3 perp_unit(const PhLine &line, const FV3 &w)
{
    return (line.dir ^ (w ^ line.dir)).Normalised();
}
}  // namespace

FV3 Line_Perp(const PhLine &line, const FV3 &point)
{
    PhScope scope;
    FV3 w = point - line.origin;
    FV3 n = perp_unit(line, w);
    return n * static_cast<float>(n.Dot(w));
}

double Line_Dist(const PhLine &line, const FV3 &point)
{
    PhScope scope;
    FV3 w = point - line.origin;
    return fabs(perp_unit(line, w).Dot(w));
}

PhPlane &Plane_Set(PhPlane &plane, const FV3 &point, const FV3 &normal)
{
    PhScope scope;
    plane.normal = normal.Normalised();
    plane.d = static_cast<float>(point.Dot(plane.normal));
    plane.point = plane.normal * plane.d;
    return plane;
}

FV3 Plane_Along(const PhPlane &plane, const FV3 &point)
{
    PhScope scope;
    return plane.normal * static_cast<float>(plane.normal.Dot(point - plane.point));
}

double Plane_Dist(const PhPlane &plane, const FV3 &point) { return point.Dot(plane.normal) - plane.d; }

FV3 Plane_Hit(const PhPlane &plane, const PhLine &line)
{
    PhScope scope;
    double dist = Plane_Dist(plane, line.origin);
    if (dist == 0)
        return line.origin;
    double along = line.dir.Dot(plane.normal);
    if (along == 0)
        return FV3(0, 0, 0);
    return line.origin + line.dir * static_cast<float>(-dist / along);
}
