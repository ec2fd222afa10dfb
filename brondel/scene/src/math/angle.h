// Conversions between 16-bit angles and radians shared by the maths files.
#pragma once

#include <brondel/brtypes.h>

#include <cmath>

namespace brmath {

// 2pi/65536 and its reciprocal, as single-precision constants.
constexpr br_scalar kAngleToRadian = 9.587379924285257e-05f;
constexpr br_scalar kRadianToAngle = 10430.378350470453f;

inline br_scalar AngleRadians(br_angle a)
{
    return (br_scalar)a * kAngleToRadian;
}

// Truncates towards zero and wraps modulo 65536. Anything out of int range (or NaN) must not
// reach a float-to-int conversion, so wrap in float first; fmodf of a whole number is exact.
inline br_angle AngleFromUnits(br_scalar units)
{
    if (!std::isfinite(units))
        return 0;
    br_scalar whole = std::fmod(std::trunc(units), 65536.0f);
    return (br_angle)(br_int_32)whole;
}

inline br_angle AngleFromRadians(br_scalar rad)
{
    return AngleFromUnits(rad * kRadianToAngle);
}

inline br_angle AngleNegate(br_angle a)
{
    return (br_angle)(0u - a);
}

} // namespace brmath
