// Cursor pictures that modules carry as resources, for the backend to draw as colour cursors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "win32/wintypes.h"

namespace plat {

struct CursorPicture {
    int w = 0, h = 0, hot_x = 0, hot_y = 0;
    std::vector<uint32_t> argb;  // top row first, alpha 0 transparent
};

struct CursorSource {
    void* module = nullptr;
    std::string name;
    uint16_t id = 0;
};

// A cursor resource's bytes into a picture; false for anything malformed or unsupported.
bool decode_cursor(const uint8_t* data, size_t size, CursorPicture& out);
// LoadCursorA remembers which module resource a handle names.
void remember_cursor_source(void* handle, HMODULE module, LPCSTR name);
// The picture of a module cursor handle; false for system cursors and broken resources.
bool cursor_picture(void* handle, CursorPicture& out);

}  // namespace plat
