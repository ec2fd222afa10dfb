// libFuzzer target: the movie readers and player. The first byte chooses the source (an FLI/FLC
// stream, a TMZ file, or a TMZ entry of a pack in memory) and the playing mode; the rest is the
// movie, opened from an exactly sized copy and played with loops and seeks chosen by its bytes.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "movie.h"
#include "pannix/ffpack.h"

namespace {

uint32_t le16(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

// Frames of more than 64K pixels cost time, not coverage.
bool small_enough(const uint8_t *data, size_t size, bool tmz)
{
    if (size < 32)
        return true;
    uint64_t area = tmz ? uint64_t(le16(data + 16) ? le16(data + 16) : le16(data + 10) * 4) * le16(data + 12)
                        : uint64_t(le16(data + 8)) * le16(data + 10);
    return area <= 65536;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t mode = data[0];
    data++, size--;
    const int source = mode % 3;
    if (!small_enough(data, size, source != 0))
        return 0;
    auto *bytes = static_cast<uint8_t *>(malloc(size ? size : 1));
    memcpy(bytes, data, size);

    uint32_t flags = PMV_KEEPTIME;  // frame time 0: every PlayMovie takes a frame
    if (mode & 0x08)
        flags |= PMV_STREAM;
    if (mode & 0x10)
        flags |= PMV_TOPDOWN;
    if (mode & 0x20)
        flags |= PMV_LOOP;

    FFPACKENTRY entry{"fuzz.tmz", bytes, 0, uint32_t(size)};
    PMVMOVIE *m = nullptr;
    FILE *stream = size > 0 ? fmemopen(bytes, size, "rb") : nullptr;
    if (source == 0 && stream != nullptr) {
        m = px::movie_open("fuzz.flc", PMV_KIND_FLC, flags, stream);
    } else if (source != 0) {
        auto *file = static_cast<FFFILEHANDLE *>(calloc(1, sizeof(FFFILEHANDLE)));
        if (source == 1 && stream != nullptr)
            file->file = stream;
        else
            file->entry = &entry;
        if (source == 2 && stream != nullptr)
            fclose(stream);
        if (file->file != nullptr || file->entry != nullptr)
            m = px::movie_open("fuzz.tmz", PMV_KIND_TMZ, flags, file);
        else
            free(file);
    }
    if (m != nullptr) {
        // Loops and seeks from the movie's own last bytes.
        const uint8_t *tail = data + size - (size < 8 ? size : 8);
        for (int i = 0; i < 40; i++) {
            int32_t r = PlayMovie(m);
            if (m->pixels != nullptr && m->frameSize > 0) {
                volatile uint8_t touch = static_cast<uint8_t *>(m->pixels)[m->frameSize - 1];
                (void)touch;
            }
            if (i == 7 && size >= 8)
                SetLoopFrames(m, int8_t(tail[0]), int8_t(tail[1]));
            if (i == 13 || r == 0)
                PmvSeekToLoop(m);
            if (r < 0)
                break;
        }
        KillMovie(m);
    }
    free(bytes);
    return 0;
}
