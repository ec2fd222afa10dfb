// libFuzzer target: the sound-pack directory reader over an in-memory stream, then every entry it
// lists loaded from an exactly sized copy, so a length or offset it failed to check reads outside it.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vokscore/soundpack.h"
#include "vokscore/wave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    auto *bytes = static_cast<uint8_t *>(malloc(size ? size : 1));
    memcpy(bytes, data, size);
    FILE *f = fmemopen(bytes, size ? size : 1, "rb");
    std::vector<vokpack::Entry> entries;
    if (f != nullptr && size > 0 && vokpack::read_directory(f, entries)) {
        for (const vokpack::Entry &e : entries) {
            if (e.offset > size || e.size > size - e.offset)
                abort();
            vokpack::WaveImage w;
            if (vokpack::parse_wave(bytes + e.offset, e.size, w) &&
                (w.dataOffset > e.size || w.dataSize > e.size - w.dataOffset))
                abort();
        }
    }
    if (f != nullptr)
        fclose(f);
    free(bytes);
    return 0;
}
