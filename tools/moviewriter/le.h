// Little-endian numbers appended to or written into a byte vector.
#pragma once

#include <stdint.h>

#include <vector>

namespace movie::le {

inline void put16(std::vector<uint8_t> &out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

inline void put32(std::vector<uint8_t> &out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

inline void set16(std::vector<uint8_t> &out, size_t at, uint32_t v)
{
    out[at] = uint8_t(v);
    out[at + 1] = uint8_t(v >> 8);
}

inline void set32(std::vector<uint8_t> &out, size_t at, uint32_t v)
{
    set16(out, at, v & 0xFFFF);
    set16(out, at + 2, v >> 16);
}

}  // namespace movie::le
