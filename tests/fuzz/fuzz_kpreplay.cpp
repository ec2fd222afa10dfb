// libFuzzer target: bytes read as a Kelpa replay. Whatever is accepted holds a worm section within
// its table and a level that reads, and its frames and worm rows are all handed out without reading
// past what was read.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "kelpa/kprules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static KpReplayFiles f;
    if (!KpReplayParse(f, data, size))
        return 0;
    if (f.wormBytes < 1 || f.wormBytes > kKpWormBytes || f.replayPlayer[11] != '\0')
        abort();
    if (f.frames.size() % 5 != 0 || f.frames.size() + size_t(f.wormBytes) + 4 + kKpTrialHeader + 2 > size)
        abort();
    size_t frames = 0;
    while (KpReplayNextFrame(f))
        frames++;
    uint8_t row[5];
    while (KpReplayNextWormRow(f, row)) {
    }
    if (frames * 5 != f.frames.size())
        abort();
    return 0;
}
