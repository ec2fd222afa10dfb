// RIFF WAVE images: the format and the sample data inside, every chunk bounded by the image.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

namespace vokpack {

struct WaveImage {
    // The "fmt " chunk as far as the sound buffers read it; fields the chunk does not reach stay 0.
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    size_t dataOffset = 0;  // of the samples in the image
    size_t dataSize = 0;
};

// False unless the image starts "RIFF", holds "WAVE" at 8 and has a "fmt " chunk of at least 14 bytes
// and a "data" chunk. Chunks are walked up to the RIFF size or the end of the image, whichever comes
// first; a "data" chunk longer than what is left keeps the bytes that are there.
bool parse_wave(const uint8_t *image, size_t size, WaveImage &out);

// A PCM WAVE image of the given samples, for the tools and the tests.
std::vector<uint8_t> make_wave(const std::vector<uint8_t> &samples, uint16_t channels, uint32_t rate,
                               uint16_t bits);
// `ms` milliseconds of a 16-bit mono sine tone at `hz`, with amplitude `level` (0..32767).
std::vector<uint8_t> tone_samples(double hz, uint32_t ms, uint32_t rate, int level = 12000);

}  // namespace vokpack
