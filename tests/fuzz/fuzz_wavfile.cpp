// libFuzzer target: the one WAVE reader of the platform and the tools, on the whole image and, as the
// platform reads a file, on its first bytes with the rest of the file beyond them. The samples it
// answers lie inside the file, in whole frames.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "vokplat/wavfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    auto *bytes = static_cast<uint8_t *>(malloc(size ? size : 1));
    memcpy(bytes, data, size);
    vokplat::WavLayout w;
    std::string why;
    volatile unsigned sum = 0;
    if (vokplat::parse_wav(bytes, size, size, w, why)) {
        if (w.data_at > size || w.data_len > size - w.data_at || w.block == 0 || w.data_len % w.block != 0)
            abort();
        for (size_t i = 0; i < w.data_len; i++)
            sum = sum + bytes[w.data_at + i];
    }
    for (size_t head : {size_t(12), size_t(44), size_t(64)}) {
        head = std::min(head, size);
        auto *prefix = static_cast<uint8_t *>(malloc(head ? head : 1));
        memcpy(prefix, data, head);
        if (vokplat::parse_wav(prefix, head, size, w, why) && (w.data_at > size || w.data_len > size - w.data_at))
            abort();
        free(prefix);
    }
    free(bytes);
    return 0;
}
