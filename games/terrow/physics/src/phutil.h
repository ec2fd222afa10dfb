// Small helpers shared by the physics sources.
#ifndef TERROW_PHYS_PHUTIL_H
#define TERROW_PHYS_PHUTIL_H

#include <math.h>
#include <stdint.h>

#include <initializer_list>

namespace phys_detail {

// Whether v is one of the kinds listed.
inline bool in(int v, std::initializer_list<int> set)
{
    for (int s : set)
        if (s == v)
            return true;
    return false;
}

// floorf without the library call (the queries of the step run it many times); the same value,
// but for the sign of a zero.
inline float floor_of(float v)
{
    if (fabsf(v) < 8388608.0f) {  // 2^23: beyond it every float is whole
        const float t = static_cast<float>(static_cast<int32_t>(v));
        return t > v ? t - 1.0f : t;
    }
    return floorf(v);
}

// floor of v as a whole number, for |v| below 2^31 (the callers make sure).
inline int32_t floor_int(float v)
{
    const int32_t t = static_cast<int32_t>(v);
    return t - (static_cast<float>(t) > v);
}

// dx^2 + dy^2 + dz^2 in doubles, in the order of FV3::Length2, for differences already checked.
inline double squares(float dx, float dy, float dz)
{
    return static_cast<double>(dx) * dx + static_cast<double>(dy) * dy + static_cast<double>(dz) * dz;
}

} // namespace phys_detail

#endif
