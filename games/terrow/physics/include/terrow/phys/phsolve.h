/* Polynomial root finding for the time of impact, and the line and plane records. */
#ifndef TERROW_PHYS_PHSOLVE_H
#define TERROW_PHYS_PHSOLVE_H

#include "terrow/phys/phmath.h"

double Quartic(float a, float b, float c, float d, float e, double t);
double Quartic1(float a, float b, float c, float d, double t);  // first derivative
double Quartic2(float a, float b, float c, double t);           // second derivative

/* Roots t = offset + s of a.s^2 + b.s + c in [lo, hi] (a linear root down to 2.lo - hi); returns the
 * number accepted and the smallest accepted root in *out, hi when none is accepted (a rejected finite
 * linear root is written all the same). */
int Solve2(double a, double b, double c, double offset, double lo, double hi, double *out);
/* The first zero in [lo, hi] of the quartic in s = t - offset (a crossing or a point where it only
 * touches 0): 1 and the time in *out, or 0 and hi when there is none. */
int Solve4(double a, double b, double c, double d, double e, double offset, double lo, double hi,
           double *out);
/* Sees every quartic Solve4 is given ({a, b, c, d, e, offset, lo, hi}); null: none. For checks of the
 * solver on the equations real runs produce. */
void Solve4_SetObserver(void (*observe)(const double q[8]));

struct PhLine {
    FV3 origin;
    FV3 dir;  // unit
};

struct PhPlane {
    FV3 point;
    FV3 normal;  // unit
    float d;
};

/* The line through `a` towards `b`, kept by its point nearest the world origin. */
PhLine Line_Through(const FV3 &a, const FV3 &b);
FV3 Line_Perp(const PhLine &line, const FV3 &point);
double Line_Dist(const PhLine &line, const FV3 &point);
PhPlane &Plane_Set(PhPlane &plane, const FV3 &point, const FV3 &normal);
FV3 Plane_Along(const PhPlane &plane, const FV3 &point);
inline double Plane_Dist(const PhPlane &plane, const FV3 &point) { return point.Dot(plane.normal) - plane.d; }
FV3 Plane_Hit(const PhPlane &plane, const PhLine &line);

#endif
