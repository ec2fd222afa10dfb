#include <zlib.h>

#include <cstdint>
#include <string>

#include "fsutil.h"
#include "vokplat/png.h"
#include "vokplat/save.h"

namespace {

void put32(std::string& s, uint32_t v) {
    for (int i = 3; i >= 0; --i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void chunk(std::string& out, const char* type, const std::string& data) {
    put32(out, static_cast<uint32_t>(data.size()));
    std::string body(type, 4);
    body += data;
    out += body;
    put32(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
}

}  // namespace

extern "C" BOOL PlatWritePngRgb(const char* path, int w, int h, const unsigned char* rgb) {
    if (!path || !rgb || w <= 0 || h <= 0) return FALSE;
    const size_t row = static_cast<size_t>(w) * 3;
    std::string raw;
    raw.reserve(static_cast<size_t>(h) * (row + 1));
    for (int y = 0; y < h; ++y) {
        raw.push_back(0);  // no filter
        raw.append(reinterpret_cast<const char*>(rgb) + static_cast<size_t>(y) * row, row);
    }
    uLongf zlen = compressBound(raw.size());
    std::string z(zlen, '\0');
    if (compress2(reinterpret_cast<Bytef*>(&z[0]), &zlen, reinterpret_cast<const Bytef*>(raw.data()), raw.size(),
                  6) != Z_OK)
        return FALSE;
    z.resize(zlen);
    std::string out("\x89PNG\r\n\x1a\n", 8);
    std::string ihdr;
    put32(ihdr, static_cast<uint32_t>(w));
    put32(ihdr, static_cast<uint32_t>(h));
    ihdr += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
    chunk(out, "IHDR", ihdr);
    chunk(out, "IDAT", z);
    chunk(out, "IEND", "");
    return PlatWriteFileAtomic(path, out.data(), out.size());
}
