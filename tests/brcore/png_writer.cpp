#include "png_writer.h"

#include <zlib.h>

#include <cstdio>

namespace {

void put32(std::vector<uint8_t> &out, uint32_t v)
{
    out.push_back((uint8_t)(v >> 24));
    out.push_back((uint8_t)(v >> 16));
    out.push_back((uint8_t)(v >> 8));
    out.push_back((uint8_t)v);
}

void chunk(std::vector<uint8_t> &out, const char *type, const std::vector<uint8_t> &data)
{
    put32(out, (uint32_t)data.size());
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0L, out.data() + start, (uInt)(out.size() - start));
    put32(out, (uint32_t)crc);
}

} // namespace

bool WritePngRgb(const std::string &path, int width, int height, const std::vector<uint8_t> &rgb)
{
    if (width <= 0 || height <= 0 || rgb.size() != (size_t)width * height * 3)
        return false;

    // Each row is preceded by filter type 0 (none).
    std::vector<uint8_t> raw;
    raw.reserve((size_t)(width * 3 + 1) * height);
    for (int y = 0; y < height; y++) {
        raw.push_back(0);
        raw.insert(raw.end(), rgb.begin() + (size_t)y * width * 3, rgb.begin() + (size_t)(y + 1) * width * 3);
    }
    uLongf zsize = compressBound((uLong)raw.size());
    std::vector<uint8_t> z(zsize);
    if (compress2(z.data(), &zsize, raw.data(), (uLong)raw.size(), 9) != Z_OK)
        return false;
    z.resize(zsize);

    std::vector<uint8_t> ihdr;
    put32(ihdr, (uint32_t)width);
    put32(ihdr, (uint32_t)height);
    ihdr.push_back(8); // bit depth
    ihdr.push_back(2); // colour type: RGB
    ihdr.push_back(0); // deflate
    ihdr.push_back(0); // adaptive filtering
    ihdr.push_back(0); // no interlace

    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> out(signature, signature + 8);
    chunk(out, "IHDR", ihdr);
    chunk(out, "IDAT", z);
    chunk(out, "IEND", {});

    // Written beside and renamed, so a reader never sees half a file.
    std::string tmp = path + ".tmp";
    FILE *f = std::fopen(tmp.c_str(), "wb");
    if (f == nullptr)
        return false;
    bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    ok = (std::fclose(f) == 0) && ok;
    return ok && std::rename(tmp.c_str(), path.c_str()) == 0;
}
