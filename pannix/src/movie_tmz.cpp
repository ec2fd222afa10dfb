// TMZ movies: header and frame reader, through the pack-file layer (a plain file or a pack entry).
#include <stdlib.h>
#include <string.h>

#include "movie.h"
#include "pannix/ffpack.h"

namespace {

constexpr int32_t kHeaderSize = 32;
constexpr int32_t kFrameHeaderSize = 32;
constexpr int32_t kChunkHeaderSize = 8;

FFFILEHANDLE *file_of(PMVMOVIE *m)
{
    return static_cast<FFFILEHANDLE *>(m->file);
}

bool read_exact(FFFILEHANDLE *f, void *to, int32_t count)
{
    return FFRead(f, to, count) == count;
}

// Preloading: the frame's own block (kept when a second pixel chunk comes in the same frame).
void *own_block(PMVMOVIE *m, int32_t index)
{
    PMVFRAME &frame = m->frames[index];
    if (frame.pixels == nullptr)
        frame.pixels = calloc(1, size_t(m->frameSize));
    return frame.pixels;
}

}  // namespace

namespace px {

bool tmz_read_header(PMVMOVIE *m)
{
    FFFILEHANDLE *f = file_of(m);
    uint8_t h[kHeaderSize];
    if (!read_exact(f, h, kHeaderSize) || le32(h) != TMZ_MAGIC)
        return false;
    int32_t frames = int32_t(le16(h + 8)), width = int32_t(le16(h + 10)), height = int32_t(le16(h + 12));
    int32_t bits = int32_t(le16(h + 14)), row_bytes = int32_t(le16(h + 16));
    // A row must hold the pixels of its width, or a pixel map over the frame reads past its end.
    int32_t least = (bits + 1) / 8 * width;
    if (row_bytes == 0)
        row_bytes = least;
    int64_t frame_size = int64_t(row_bytes) * height;
    if (frames == 0 || width == 0 || frame_size == 0 || frame_size > INT32_MAX || least == 0 || row_bytes < least ||
        width > kMaxMovieSide || height > kMaxMovieSide)
        return false;
    // Every pixel chunk carries a whole frame: a file that cannot hold one is no movie, and its header
    // alone must not decide how much memory opening it takes.
    const int32_t file_size = FFSeek(f, 0, 2);
    if (file_size < 0 ||
        int64_t(kHeaderSize) + 4 * int64_t(frames) + kFrameHeaderSize + kChunkHeaderSize + frame_size > file_size)
        return false;
    m->width = width;
    m->height = height;
    m->bitsPerPixel = bits;
    m->rowBytes = row_bytes;
    m->frameSize = int32_t(frame_size);
    m->frameCount = frames;
    if (le32(h + 4) & 1)
        m->flags |= PMV_ALPHA;
    if (!(m->flags & PMV_KEEPTIME))
        m->frameTime = le16(h + 18);
    m->currentFrame = m->loopStart = 0;
    m->loopEnd = frames;
    m->firstOffset = m->loopOffset = m->currentOffset = kHeaderSize + 4 * frames;
    return FFSeek(f, m->firstOffset, 0) == m->firstOffset;
}

int32_t tmz_read_frame(PMVMOVIE *m, bool preload)
{
    if (m->currentFrame >= m->frameCount)
        return 0;
    FFFILEHANDLE *f = file_of(m);
    const int32_t index = m->currentFrame;
    for (;;) {
        uint8_t h[kFrameHeaderSize];
        if (!read_exact(f, h, kFrameHeaderSize) || le32(h) != TMZ_FRAME_MAGIC)
            return -1;
        m->currentOffset += kFrameHeaderSize;
        uint32_t chunks = le16(h + 8);
        if (chunks == 0)
            return repeat_frame(m, index, preload);
        bool taken = false;
        for (uint32_t c = 0; c < chunks; c++) {
            uint8_t ch[kChunkHeaderSize];
            if (!read_exact(f, ch, kChunkHeaderSize))
                return -1;
            m->currentOffset += kChunkHeaderSize;
            uint32_t size = le32(ch + 4);
            int64_t end = int64_t(m->currentOffset) + size;
            if (end > INT32_MAX)
                return -1;
            if (le32(ch) == TMZ_CHUNK_PIXELS) {
                if (size < uint32_t(m->frameSize))
                    return -1;
                if (preload && (m->flags & PMV_INPACK)) {
                    // The frame is used where it lies: it must lie inside the entry.
                    int32_t at = FFTell(f);
                    if (at < 0 || int64_t(at) + m->frameSize > int64_t(m->packSize))
                        return -1;
                    m->frames[index].pixels = const_cast<uint8_t *>(m->packData + at);
                    m->pixels = m->frames[index].pixels;
                } else {
                    void *to = preload ? own_block(m, index) : m->pixels;
                    if (to == nullptr || !read_exact(f, to, m->frameSize))
                        return -1;
                    m->pixels = to;
                }
                taken = true;
            }
            // Every chunk ends where its size says, whatever of it was read.
            if (FFSeek(f, int32_t(end), 0) != int32_t(end))
                return -1;
            m->currentOffset = int32_t(end);
        }
        if (taken) {
            m->currentFrame++;
            return 1;
        }
    }
}

}  // namespace px
