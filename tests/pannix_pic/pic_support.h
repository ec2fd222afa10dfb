// Picture fixtures of the picture-file tests: small TGA and BMP files, a data folder per test, and
// pixel reads.
#pragma once

#include <stdint.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "brondel/brpixmap.h"
#include "pannix/pannix.h"
#include "support.h"

namespace pictest {

struct Rgb {
    uint8_t r, g, b;
};

inline uint32_t rgb565(Rgb c)
{
    return uint32_t(c.r >> 3) << 11 | uint32_t(c.g >> 2) << 5 | uint32_t(c.b >> 3);
}

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

// An uncompressed top-down TGA of `w` × `h` pixels of one colour: 24-bit, 32-bit (alpha `a`) or
// 16-bit (5-5-5).
inline std::vector<uint8_t> tga(int w, int h, Rgb c, int depth = 24, uint8_t a = 255)
{
    std::vector<uint8_t> out = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    put16(out, uint32_t(w));
    put16(out, uint32_t(h));
    out.push_back(uint8_t(depth));
    out.push_back(uint8_t(0x20 | (depth == 32 ? 8 : 0)));
    for (int i = 0; i < w * h; i++) {
        if (depth == 16) {
            put16(out, uint32_t(c.r >> 3) << 10 | uint32_t(c.g >> 3) << 5 | uint32_t(c.b >> 3));
            continue;
        }
        out.insert(out.end(), {c.b, c.g, c.r});
        if (depth == 32)
            out.push_back(a);
    }
    return out;
}

// A bottom-up BMP: 24-bit of one colour, or 8-bit whose every pixel is `index` (palette: grey ramp).
inline std::vector<uint8_t> bmp(int w, int h, Rgb c, int bits = 24, uint8_t index = 0)
{
    const uint32_t row = uint32_t((w * bits / 8 + 3) & ~3);
    const uint32_t palette = bits == 8 ? 1024 : 0;
    std::vector<uint8_t> out = {'B', 'M'};
    put32(out, 54 + palette + row * uint32_t(h));
    put32(out, 0);
    put32(out, 54 + palette);
    put32(out, 40);
    put32(out, uint32_t(w));
    put32(out, uint32_t(h));
    put16(out, 1);
    put16(out, uint32_t(bits));
    put32(out, 0);
    put32(out, row * uint32_t(h));
    put32(out, 2835);
    put32(out, 2835);
    put32(out, bits == 8 ? 256 : 0);
    put32(out, 0);
    for (uint32_t i = 0; i < palette / 4; i++)
        out.insert(out.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 0});
    for (int y = 0; y < h; y++) {
        std::vector<uint8_t> line;
        for (int x = 0; x < w; x++) {
            if (bits == 8)
                line.push_back(index);
            else
                line.insert(line.end(), {c.b, c.g, c.r});
        }
        line.resize(row, 0);
        out.insert(out.end(), line.begin(), line.end());
    }
    return out;
}

// The raw value of pixel (x, y) of a map of `bytes` bytes a pixel.
inline uint32_t pixel(const br_pixelmap *pm, int x, int y, int bytes)
{
    const uint8_t *p = static_cast<const uint8_t *>(pm->pixels) + (intptr_t)(pm->base_y + y) * pm->row_bytes +
                       (intptr_t)(pm->base_x + x) * bytes;
    uint32_t v = 0;
    for (int i = 0; i < bytes; i++)
        v |= uint32_t(p[i]) << (8 * i);
    return v;
}

// A scratch folder that is the library's data folder for the length of a test.
class DataFolder : public pxtest::Scratch {
protected:
    void SetUp() override
    {
        Scratch::SetUp();
        saved_ = PxDataPath(nullptr);
        InitPannix((dir.string() + "/").c_str(), 640, 480, 16, 0, 1);
    }
    void TearDown() override
    {
        InitPannix(saved_.c_str(), 640, 480, 16, 0, 1);
        pMsgPalette = nullptr;
        FFSetCurrentPack(nullptr);
        Scratch::TearDown();
    }

private:
    std::string saved_;
};

}  // namespace pictest
