// Parameter lists: (id, value) pairs with pointer-sized values, read from the exports' variadic
// arguments into a typed list, and the answers of get-lists written at their exact widths.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "win32/wintypes.h"

namespace media {

struct MediaParam {
    int32_t id;
    intptr_t value;
};

using ParamList = std::span<const MediaParam>;

// Reads pairs up to the closing id 0 (not included). Only the low 32 bits of an id count, so a caller
// that passed a plain int as id still ends the list.
std::vector<MediaParam> read_list(va_list args);

// Writes an answer of exactly sizeof(T) bytes at `address`; a null address is skipped.
template <class T>
void answer(intptr_t address, T value)
{
    if (address != 0)
        std::memcpy(reinterpret_cast<void *>(address), &value, sizeof value);
}

// Four 32-bit words left, top, right, bottom.
void answer_rect(intptr_t address, const RECT &rect);
// False (rectangle unchanged) for a null address.
bool read_rect(intptr_t address, RECT &rect);
// Scales a top-down 0x00RRGGBB picture into the MediaPicture at `address` (RGB 5-6-5); a null address,
// a record without pixels or an empty source is skipped.
void answer_picture(intptr_t address, const uint32_t *source, int width, int height);

}  // namespace media
