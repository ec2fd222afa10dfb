// Small helpers shared by the physics sources.
#ifndef TERROW_PHYS_PHUTIL_H
#define TERROW_PHYS_PHUTIL_H

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

} // namespace phys_detail

#endif
