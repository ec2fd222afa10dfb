// An 8-bit RGB PNG writer: signature, IHDR, one IDAT of zlib data, IEND.
#include "png.h"

#include <stdio.h>

#include <zlib.h>

namespace {

void put32(std::vector<unsigned char> &out, uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8)
        out.push_back((unsigned char)(v >> s));
}

void chunk(std::vector<unsigned char> &out, const char *type, const std::vector<unsigned char> &data)
{
    put32(out, (uint32_t)data.size());
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0, out.data() + start, (uInt)(out.size() - start));
    put32(out, (uint32_t)crc);
}

} // namespace

bool png_write(const char *path, int w, int h, const std::vector<unsigned char> &rgb)
{
    if (w <= 0 || h <= 0 || rgb.size() != (size_t)w * h * 3)
        return false;
    std::vector<unsigned char> raw;
    raw.reserve((size_t)(w * 3 + 1) * h);
    for (int y = 0; y < h; y++) {
        raw.push_back(0); // no filter
        raw.insert(raw.end(), rgb.begin() + (size_t)y * w * 3, rgb.begin() + (size_t)(y + 1) * w * 3);
    }
    uLongf zsize = compressBound((uLong)raw.size());
    std::vector<unsigned char> z(zsize);
    if (compress2(z.data(), &zsize, raw.data(), (uLong)raw.size(), 9) != Z_OK)
        return false;
    z.resize(zsize);

    std::vector<unsigned char> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<unsigned char> ihdr;
    put32(ihdr, (uint32_t)w);
    put32(ihdr, (uint32_t)h);
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0}); // 8 bits, RGB, deflate, no filter, no interlace
    chunk(out, "IHDR", ihdr);
    chunk(out, "IDAT", z);
    chunk(out, "IEND", {});

    // A temporary file renamed over the old one: no half-written picture is left behind.
    std::string tmp = std::string(path) + ".tmp";
    FILE *f = fopen(tmp.c_str(), "wb");
    if (f == nullptr)
        return false;
    bool ok = fwrite(out.data(), 1, out.size(), f) == out.size();
    ok = fclose(f) == 0 && ok;
    if (!ok || rename(tmp.c_str(), path) != 0) {
        remove(tmp.c_str());
        return false;
    }
    return true;
}
