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

// Polynomials up to degree 4, coefficients from the constant term up.
struct Poly {
    int n = 0;
    double c[5] = {0, 0, 0, 0, 0};
    double at(double s) const
    {
        double v = c[n];
        for (int k = n - 1; k >= 0; k--)
            v = v * s + c[k];
        return v;
    }
    Poly derivative() const
    {
        Poly d;
        d.n = n > 0 ? n - 1 : 0;
        for (int k = 1; k <= n; k++)
            d.c[k - 1] = k * c[k];
        return d;
    }
};

// The one sign change of p in [a, b], where p(a) and p(b) differ in sign and p is monotone between:
// bisection, kept on the side of a so that the answer is never past the crossing.
double crossing(const Poly &p, double a, double b)
{
    const bool upFromA = p.at(a) > 0;
    for (int k = 0; k < 200 && b - a > 1e-13 * (1 + fabs(a)); k++) {
        const double m = 0.5 * (a + b);
        if (m <= a || m >= b)
            break;
        if ((p.at(m) > 0) == upFromA)
            a = m;
        else
            b = m;
    }
    return a;
}

// The zeros of p in [lo, hi] in ascending order (a zero where p only touches 0 counts once). The
// zeros of the derivative split the interval into pieces where p is monotone, so each piece holds
// at most one crossing, found by bisection.
int zeros(const Poly &p, double lo, double hi, double *out)
{
    if (p.n == 0)
        return 0;
    if (p.n == 1) {
        const double s = -p.c[0] / p.c[1];
        if (!(lo <= s && s <= hi))
            return 0;
        *out = s;
        return 1;
    }
    double ends[6];
    int m = 0;
    ends[m++] = lo;
    m += zeros(p.derivative(), lo, hi, ends + m);
    ends[m++] = hi;
    int found = 0;
    double last = 0;
    auto add = [&](double s) {
        if (found > 0 && s <= last)
            return;
        out[found++] = last = s;
    };
    for (int i = 0; i + 1 < m; i++) {
        const double a = ends[i], b = ends[i + 1];
        const double fa = p.at(a), fb = p.at(b);
        if (fa == 0)
            add(a);
        else if (fb != 0 && (fa > 0) != (fb > 0))
            add(crossing(p, a, b));
        if (fb == 0 && i + 2 == m)
            add(b);
    }
    return found;
}

}  // namespace

namespace {
void (*g_observe)(const double q[8]);
}  // namespace

void Solve4_SetObserver(void (*observe)(const double q[8])) { g_observe = observe; }

int Solve4(double a, double b, double c, double d, double e, double offset, double lo, double hi,
           double *out)
{
    if (g_observe != nullptr) {
        const double q[8] = {a, b, c, d, e, offset, lo, hi};
        g_observe(q);
    }
    *out = hi;
    Poly p;
    p.c[0] = e;
    p.c[1] = d;
    p.c[2] = c;
    p.c[3] = b;
    p.c[4] = a;
    for (double k : p.c)
        if (!isfinite(k) || !isfinite(lo - offset) || !isfinite(hi - offset))
            return 0;
    // Terms that cannot reach the end of the interval would only make the derivative chain
    // ill-conditioned: a leading term too small to matter is left out.
    const double reach = fmax(fabs(lo - offset), fabs(hi - offset));
    p.n = 4;
    while (p.n > 0) {
        double scale = 0;
        for (int k = 0; k < p.n; k++)
            scale = fmax(scale, fabs(p.c[k]) * pow(reach, k));
        if (fabs(p.c[p.n]) * pow(reach, p.n) > 1e-15 * scale)
            break;
        p.n--;
    }
    double roots[4];
    if (zeros(p, lo - offset, hi - offset, roots) == 0)
        return 0;
    *out = roots[0] + offset;
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
