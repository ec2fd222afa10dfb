// RIFF WAVE images: chunk walk bounded by the image, and a writer of plain PCM images.
#include <math.h>
#include <string.h>

#include "vokscore/wave.h"

namespace vokpack {

namespace {

uint32_t u32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t u16(const uint8_t *p)
{
    return uint16_t(p[0] | p[1] << 8);
}

}  // namespace

bool parse_wave(const uint8_t *image, size_t size, WaveImage &out)
{
    out = WaveImage{};
    if (image == nullptr || size < 12 || memcmp(image, "RIFF", 4) != 0 || memcmp(image + 8, "WAVE", 4) != 0)
        return false;
    uint64_t end = uint64_t(u32(image + 4)) + 8;
    if (end > size)
        end = size;
    bool haveFmt = false, haveData = false;
    uint64_t at = 12;
    while (at < end && end - at >= 8) {
        const uint8_t *chunk = image + at;
        const uint64_t length = u32(chunk + 4);
        const uint64_t left = end - at - 8;
        if (memcmp(chunk, "fmt ", 4) == 0) {
            if (length < 14 || length > left)
                return false;
            const uint8_t *f = chunk + 8;
            out.formatTag = u16(f);
            out.channels = u16(f + 2);
            out.samplesPerSec = u32(f + 4);
            out.avgBytesPerSec = u32(f + 8);
            out.blockAlign = u16(f + 12);
            out.bitsPerSample = length >= 16 ? u16(f + 14) : 0;
            haveFmt = true;
        } else if (memcmp(chunk, "data", 4) == 0) {
            out.dataOffset = size_t(at + 8);
            out.dataSize = size_t(length < left ? length : left);
            haveData = true;
        }
        if (length > left)
            break;
        at += 8 + length + (length & 1);
    }
    return haveFmt && haveData;
}

std::vector<uint8_t> make_wave(const std::vector<uint8_t> &samples, uint16_t channels, uint32_t rate,
                               uint16_t bits)
{
    std::vector<uint8_t> out;
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; i++)
            out.push_back(uint8_t(v >> (8 * i)));
    };
    auto put16 = [&](uint16_t v) {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
    };
    auto tag = [&](const char *t) { out.insert(out.end(), t, t + 4); };
    const uint16_t align = uint16_t(channels * bits / 8);
    const uint32_t pad = samples.size() & 1;
    tag("RIFF");
    put32(uint32_t(4 + 8 + 16 + 8 + samples.size() + pad));
    tag("WAVE");
    tag("fmt ");
    put32(16);
    put16(1);
    put16(channels);
    put32(rate);
    put32(rate * align);
    put16(align);
    put16(bits);
    tag("data");
    put32(uint32_t(samples.size()));
    out.insert(out.end(), samples.begin(), samples.end());
    if (pad)
        out.push_back(0);
    return out;
}

std::vector<uint8_t> tone_samples(double hz, uint32_t ms, uint32_t rate, int level)
{
    const size_t frames = size_t(uint64_t(rate) * ms / 1000);
    std::vector<uint8_t> out(frames * 2);
    for (size_t i = 0; i < frames; i++) {
        const int16_t v = int16_t(lrint(level * sin(2.0 * M_PI * hz * double(i) / rate)));
        out[i * 2] = uint8_t(uint16_t(v));
        out[i * 2 + 1] = uint8_t(uint16_t(v) >> 8);
    }
    return out;
}

}  // namespace vokpack
