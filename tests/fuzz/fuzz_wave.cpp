// libFuzzer target: the RIFF WAVE parser on an exactly sized copy; the sample range it answers must
// lie inside the image.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "vokscore/wave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    auto *bytes = static_cast<uint8_t *>(malloc(size ? size : 1));
    memcpy(bytes, data, size);
    vokpack::WaveImage w;
    volatile unsigned sum = 0;
    if (vokpack::parse_wave(bytes, size, w)) {
        if (w.dataOffset > size || w.dataSize > size - w.dataOffset)
            abort();
        for (size_t i = 0; i < w.dataSize; i++)
            sum = sum + bytes[w.dataOffset + i];
    }
    free(bytes);
    return 0;
}
