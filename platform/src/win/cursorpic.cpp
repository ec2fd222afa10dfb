// Cursor pictures of module resources: a cursor group names its first cursor; a cursor is its hot
// spot (two words) followed by a DIB of twice its height, the colour picture above the AND mask.
// Every size and offset is checked against the resource's bytes.
#include <cstring>
#include <map>
#include <mutex>

#include "vokplat/window.h"
#include "win/cursorpic.h"
#include "win32/windows.h"

namespace plat {
namespace {

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

std::mutex g_m;
std::map<void*, CursorSource> g_sources;

bool resource_bytes(HMODULE module, LPCSTR name, LPCSTR type, const uint8_t*& data, size_t& size) {
    HRSRC r = FindResourceA(module, name, type);
    if (!r) return false;
    HGLOBAL g = LoadResource(module, r);
    data = static_cast<const uint8_t*>(LockResource(g));
    size = SizeofResource(module, r);
    return data != nullptr;
}

}  // namespace

bool decode_cursor(const uint8_t* data, size_t size, CursorPicture& out) {
    if (size < 4 + 40) return false;
    const int hot_x = le16(data), hot_y = le16(data + 2);
    const uint8_t* h = data + 4;
    const uint32_t header = le32(h);
    const int32_t w = int32_t(le32(h + 4)), h2 = int32_t(le32(h + 8));
    const int bits = le16(h + 14);
    const uint32_t compression = le32(h + 16), used = le32(h + 32);
    if (header < 40 || header > size - 4 || w <= 0 || w > 256 || h2 <= 0 || h2 % 2 || h2 / 2 > 256 ||
        compression != 0)
        return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
    const int height = h2 / 2;
    const size_t colours = bits <= 8 ? (used && used < (1u << bits) ? used : 1u << bits) : 0;
    const size_t xor_stride = (size_t(w) * bits + 31) / 32 * 4, and_stride = (size_t(w) + 31) / 32 * 4;
    const size_t table = 4 + header, pixels = table + colours * 4, mask = pixels + xor_stride * height;
    if (mask + and_stride * height > size) return false;
    out.w = w;
    out.h = height;
    out.hot_x = hot_x < w ? hot_x : 0;
    out.hot_y = hot_y < height ? hot_y : 0;
    out.argb.assign(size_t(w) * height, 0);
    bool any_alpha = false;
    if (bits == 32)
        for (int y = 0; y < height && !any_alpha; ++y)
            for (int x = 0; x < w; ++x)
                if (data[pixels + y * xor_stride + x * 4 + 3]) any_alpha = true;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = data + pixels + size_t(y) * xor_stride;
        const uint8_t* and_row = data + mask + size_t(y) * and_stride;
        uint32_t* dst = &out.argb[size_t(height - 1 - y) * w];  // bottom-up
        for (int x = 0; x < w; ++x) {
            uint32_t rgb = 0, alpha = 255;
            if (bits <= 8) {
                const int per = 8 / bits, shift = (per - 1 - x % per) * bits;
                const size_t index = (row[x / per] >> shift) & ((1 << bits) - 1);
                if (index < colours) {
                    const uint8_t* c = data + table + index * 4;
                    rgb = uint32_t(c[2]) << 16 | c[1] << 8 | c[0];
                }
            } else {
                const uint8_t* p = row + size_t(x) * (bits / 8);
                rgb = uint32_t(p[2]) << 16 | p[1] << 8 | p[0];
                if (bits == 32 && any_alpha) alpha = p[3];
            }
            const bool transparent = (and_row[x / 8] >> (7 - x % 8)) & 1;
            if (transparent && !(bits == 32 && any_alpha)) alpha = 0;
            dst[x] = alpha << 24 | rgb;
        }
    }
    return true;
}

void remember_cursor_source(void* handle, HMODULE module, LPCSTR name) {
    CursorSource s;
    s.module = module;
    if (IS_INTRESOURCE(name)) s.id = static_cast<uint16_t>(reinterpret_cast<uintptr_t>(name));
    else s.name = name;
    std::lock_guard<std::mutex> g(g_m);
    g_sources[handle] = s;
}

bool cursor_picture(void* handle, CursorPicture& out) {
    CursorSource s;
    {
        std::lock_guard<std::mutex> g(g_m);
        auto it = g_sources.find(handle);
        if (it == g_sources.end()) return false;
        s = it->second;
    }
    HMODULE m = static_cast<HMODULE>(s.module);
    LPCSTR name = s.name.empty() ? MAKEINTRESOURCEA(s.id) : s.name.c_str();
    const uint8_t* data = nullptr;
    size_t size = 0;
    // A group: a 6-byte header (count at 4), then 14-byte entries whose last word is a cursor id.
    if (resource_bytes(m, name, RT_GROUP_CURSOR, data, size)) {
        if (size < 6 + 14 || le16(data + 4) == 0) return false;
        const uint16_t id = le16(data + 6 + 12);
        if (!resource_bytes(m, MAKEINTRESOURCEA(id), RT_CURSOR, data, size)) return false;
        return decode_cursor(data, size, out);
    }
    return resource_bytes(m, name, RT_CURSOR, data, size) && decode_cursor(data, size, out);
}

}  // namespace plat

WIN32_BEGIN

BOOL VokGetCursorPicture(HCURSOR cursor, int* w, int* h, int* hot_x, int* hot_y, uint32_t* argb, int capacity) {
    plat::CursorPicture p;
    if (!plat::cursor_picture(cursor, p)) return FALSE;
    if (w) *w = p.w;
    if (h) *h = p.h;
    if (hot_x) *hot_x = p.hot_x;
    if (hot_y) *hot_y = p.hot_y;
    if (argb) {
        if (capacity < p.w * p.h) return FALSE;
        std::memcpy(argb, p.argb.data(), p.argb.size() * sizeof(uint32_t));
    }
    return TRUE;
}

WIN32_END
