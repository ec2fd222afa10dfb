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

} // namespace phys_detail

#endif
