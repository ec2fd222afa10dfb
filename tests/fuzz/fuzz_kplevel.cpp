// libFuzzer target: bytes read as a Kelpa level file (playable and work). Whatever is accepted must
// hold only cells the set-up knows and a streak count the rules can index by, and encode back to
// the same bytes.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <initializer_list>

#include "kelpa/kprules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    for (bool work : {false, true}) {
        KpLevelFile level;
        if (!KpDecodeLevel(data, size, level, work))
            continue;
        for (int32_t c : level.board)
            if (c < 0 || c > 9)
                abort();
        const int32_t s = level.header[KP_H_STREAKS];
        if (!(s == kKpNoPattern || (s >= 1 && s <= 6) || (work && s == 0)))
            abort();
        uint8_t back[kKpLevelBytes];
        KpEncodeLevel(level, back);
        if (size != kKpLevelBytes || memcmp(back, data, size) != 0)
            abort();
    }
    return 0;
}
