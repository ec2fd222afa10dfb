// FLI and FLC movies: header, frame reader and the decoders of the chunk types played here. Every
// frame is read whole and each chunk decoded within its own size; no write leaves the frame.
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "movie.h"

namespace {

constexpr int32_t kHeaderSize = 128;
constexpr int32_t kFrameHeaderSize = 16;
constexpr size_t kChunkHeaderSize = 6;
constexpr uint32_t kFrameType = 0xF1FA;
constexpr uint32_t kFliType = 0xAF11, kFlcType = 0xAF12;

enum Chunk : uint32_t {
    kColor256 = 4,
    kDeltaFlc = 7,
    kColor64 = 11,
    kDeltaFli = 12,
    kBlack = 13,
    kByteRun = 15,
    kCopy = 16,
};

FILE *file_of(PMVMOVIE *m)
{
    return static_cast<FILE *>(m->file);
}

bool read_at(FILE *f, int64_t at, void *to, size_t count)
{
    return fseek(f, long(at), SEEK_SET) == 0 && fread(to, 1, count, f) == count;
}

// The frame being written: rows top-down or bottom-up, every write clipped to its row.
struct Frame {
    uint8_t *pixels;
    int32_t width, height;
    bool top_down;

    uint8_t *row(int64_t y) const
    {
        if (y < 0 || y >= height)
            return nullptr;
        return pixels + (top_down ? y : height - 1 - y) * int64_t(width);
    }
    void put(int64_t y, int64_t x, uint8_t value) const
    {
        if (uint8_t *r = row(y); r != nullptr && x >= 0 && x < width)
            r[x] = value;
    }
    void copy(int64_t y, int64_t x, const uint8_t *from, int64_t count) const
    {
        for (int64_t i = 0; i < count; i++)
            put(y, x + i, from[i]);
    }
    void fill(int64_t y, int64_t x, uint8_t value, int64_t count) const
    {
        for (int64_t i = 0; i < count; i++)
            put(y, x + i, value);
    }
};

// A chunk's data; a read past its end ends the chunk.
struct Data {
    const uint8_t *p;
    size_t n, pos = 0;

    bool has(size_t count) const { return n - pos >= count; }
    uint8_t u8() { return p[pos++]; }
    uint32_t u16()
    {
        uint32_t v = px::le16(p + pos);
        pos += 2;
        return v;
    }
};

void decode_palette(Data d, RGBQUAD *palette, bool six_bits)
{
    if (!d.has(2))
        return;
    uint32_t packets = d.u16();
    uint32_t index = 0;
    for (uint32_t i = 0; i < packets && d.has(2); i++) {
        index += d.u8();
        uint32_t count = d.u8();
        if (count == 0)
            count = 256;
        for (uint32_t k = 0; k < count; k++, index++) {
            if (!d.has(3))
                return;
            uint8_t rgb[3] = {d.u8(), d.u8(), d.u8()};
            if (six_bits)
                for (uint8_t &v : rgb)
                    v = uint8_t((v & 0x3F) << 2 | (v & 0x3F) >> 4);
            // Packets never run past the last entry.
            if (index < 256)
                palette[index] = RGBQUAD{rgb[2], rgb[1], rgb[0], 0};
        }
    }
}

void decode_delta_fli(Data d, const Frame &f)
{
    if (!d.has(4))
        return;
    int64_t y = d.u16();
    uint32_t lines = d.u16();
    for (uint32_t l = 0; l < lines; l++, y++) {
        if (!d.has(1))
            return;
        uint32_t packets = d.u8();
        int64_t x = 0;
        for (uint32_t i = 0; i < packets; i++) {
            if (!d.has(2))
                return;
            x += d.u8();
            int32_t size = int8_t(d.u8());
            if (size > 0) {
                if (!d.has(size_t(size)))
                    return;
                f.copy(y, x, d.p + d.pos, size);
                d.pos += size_t(size);
                x += size;
            } else {
                if (!d.has(1))
                    return;
                uint8_t v = d.u8();
                f.fill(y, x, v, -size);
                x += -size;
            }
        }
    }
}

void decode_delta_flc(Data d, const Frame &f)
{
    if (!d.has(2))
        return;
    uint32_t lines = d.u16();
    int64_t y = 0;
    while (lines > 0) {
        if (!d.has(2))
            return;
        uint32_t word = d.u16();
        switch (word & 0xC000) {
        case 0xC000: y += -int32_t(int16_t(word)); continue;
        // The last pixel of an odd-width row, which words cannot reach; its packet count follows.
        case 0x8000: f.put(y, f.width - 1, uint8_t(word)); continue;
        case 0x4000: continue;  // undefined: skipped, as other players do
        default: break;
        }
        // A row of 0 packets is still a row (one whose only change was its last pixel).
        uint32_t packets = word;
        int64_t x = 0;
        for (uint32_t i = 0; i < packets; i++) {
            if (!d.has(2))
                return;
            x += d.u8();
            int32_t count = int8_t(d.u8());
            if (count > 0) {
                if (!d.has(2 * size_t(count)))
                    return;
                f.copy(y, x, d.p + d.pos, 2 * count);
                d.pos += 2 * size_t(count);
                x += 2 * count;
            } else if (count < 0) {
                if (!d.has(2))
                    return;
                uint8_t lo = d.u8(), hi = d.u8();
                for (int32_t k = 0; k < -count; k++, x += 2) {
                    f.put(y, x, lo);
                    f.put(y, x + 1, hi);
                }
            }
        }
        y++;
        lines--;
    }
}

// Each row starts with a packet count that writers fill in only modulo 256 (or not at all): the
// packets run until the row is full instead.
void decode_byte_run(Data d, const Frame &f)
{
    for (int32_t y = 0; y < f.height; y++) {
        if (!d.has(1))
            return;
        d.u8();
        int64_t x = 0;
        while (x < f.width) {
            if (!d.has(1))
                return;
            int32_t n = int8_t(d.u8());
            if (n > 0) {
                if (!d.has(1))
                    return;
                f.fill(y, x, d.u8(), n);
                x += n;
            } else if (n < 0) {
                if (!d.has(size_t(-n)))
                    return;
                f.copy(y, x, d.p + d.pos, -n);
                d.pos += size_t(-n);
                x += -n;
            } else {
                return;  // a run of 0 is damage: nothing after it can be placed
            }
        }
    }
}

void decode_copy(Data d, const Frame &f)
{
    for (int32_t y = 0; y < f.height; y++) {
        size_t count = std::min(size_t(f.width), d.n - d.pos);
        f.copy(y, 0, d.p + d.pos, int64_t(count));
        d.pos += count;
        if (count < size_t(f.width))
            return;
    }
}

// Where a frame chunk writes. Preloading, a frame gets its block at its first frame chunk, starting
// from the frame before when the chunk only changes part of the picture.
uint8_t *frame_pixels(PMVMOVIE *m, int32_t index, bool preload, bool builds_on_previous)
{
    if (!preload)
        return static_cast<uint8_t *>(m->pixels);
    PMVFRAME &frame = m->frames[index];
    if (frame.pixels == nullptr) {
        frame.pixels = calloc(1, size_t(m->frameSize));
        if (frame.pixels == nullptr)
            return nullptr;
        if (builds_on_previous && index > 0)
            memcpy(frame.pixels, m->frames[index - 1].pixels, size_t(m->frameSize));
    }
    m->pixels = frame.pixels;
    return static_cast<uint8_t *>(frame.pixels);
}

// Preloading, a frame that brings a palette gets a block that starts as the palette in force.
RGBQUAD *frame_palette(PMVMOVIE *m, int32_t index, bool preload)
{
    if (!preload)
        return m->bmpInfo->bmiColors;
    PMVFRAME &frame = m->frames[index];
    if (frame.palette == nullptr) {
        frame.palette = static_cast<RGBQUAD *>(calloc(256, sizeof(RGBQUAD)));
        if (frame.palette == nullptr)
            return nullptr;
        if (const RGBQUAD *before = px::palette_before(m, index))
            memcpy(frame.palette, before, 256 * sizeof(RGBQUAD));
    }
    return frame.palette;
}

// Decodes the chunks of one frame record. 1 it held a frame chunk, 0 it did not, -1 a chunk header
// is damaged or memory ran out.
int32_t decode_chunks(PMVMOVIE *m, int32_t index, const std::vector<uint8_t> &body, uint32_t chunks,
                      bool preload)
{
    bool taken = false;
    size_t pos = 0;
    for (uint32_t c = 0; c < chunks; c++) {
        if (body.size() - pos < kChunkHeaderSize)
            return -1;
        uint32_t size = px::le32(body.data() + pos), type = px::le16(body.data() + pos + 4);
        if (size < kChunkHeaderSize)
            return -1;
        // A chunk longer than what is left of its frame ends with the frame.
        size_t end = pos + std::min<size_t>(size, body.size() - pos);
        Data data{body.data() + pos + kChunkHeaderSize, end - pos - kChunkHeaderSize};
        pos = end;
        if (type == kColor256 || type == kColor64) {
            RGBQUAD *palette = frame_palette(m, index, preload);
            if (palette == nullptr)
                return -1;
            decode_palette(data, palette, type == kColor64);
            m->flags |= PMV_PALETTE;
            continue;
        }
        if (type != kDeltaFlc && type != kDeltaFli && type != kBlack && type != kByteRun && type != kCopy)
            continue;
        // All but BLACK may leave part of the frame as it was (a copy cut short, rows of fewer packets).
        uint8_t *pixels = frame_pixels(m, index, preload, type != kBlack);
        if (pixels == nullptr)
            return -1;
        Frame frame{pixels, m->width, m->height, (m->flags & PMV_TOPDOWN) != 0};
        switch (type) {
        case kDeltaFlc: decode_delta_flc(data, frame); break;
        case kDeltaFli: decode_delta_fli(data, frame); break;
        case kByteRun: decode_byte_run(data, frame); break;
        case kCopy: decode_copy(data, frame); break;
        default: memset(pixels, 0, size_t(m->frameSize)); break;
        }
        taken = true;
    }
    return taken ? 1 : 0;
}

}  // namespace

namespace px {

bool flc_read_header(PMVMOVIE *m)
{
    FILE *f = file_of(m);
    if (fseek(f, 0, SEEK_END) != 0)
        return false;
    long size = ftell(f);
    uint8_t h[kHeaderSize];
    if (size < kHeaderSize || size > INT32_MAX || !read_at(f, 0, h, kHeaderSize))
        return false;
    m->fileSize = size;
    uint32_t type = le16(h + 4);
    int64_t first;
    if (type == kFlcType) {
        if (!(m->flags & PMV_KEEPTIME))
            m->frameTime = le32(h + 16);
        first = le32(h + 80);
    } else if (type == kFliType) {
        m->kind = PMV_KIND_FLI;
        // 1/70 s to the nearest millisecond.
        if (!(m->flags & PMV_KEEPTIME))
            m->frameTime = (le16(h + 16) * 1000 + 35) / 70;
        first = kHeaderSize;
    } else {
        return false;
    }
    m->frameCount = int32_t(le16(h + 6));
    m->width = int32_t(le16(h + 8));
    m->height = int32_t(le16(h + 10));
    // Some writers leave the first frame's position out: the frames then follow the header.
    if (first < kHeaderSize)
        first = kHeaderSize;
    int64_t frame_size = int64_t(m->width) * m->height;
    if (m->frameCount == 0 || frame_size == 0 || frame_size > INT32_MAX || first > size)
        return false;
    m->bitsPerPixel = 8;
    m->rowBytes = m->width;
    m->frameSize = int32_t(frame_size);
    m->currentFrame = m->loopStart = 0;
    m->loopEnd = m->frameCount;
    m->firstOffset = m->loopOffset = m->currentOffset = int32_t(first);
    return fseek(f, long(first), SEEK_SET) == 0;
}

int32_t flc_read_frame(PMVMOVIE *m, bool preload)
{
    if (m->currentFrame >= m->frameCount)
        return 0;
    FILE *f = file_of(m);
    const int32_t index = m->currentFrame;
    std::vector<uint8_t> body;
    for (;;) {
        int64_t at = m->currentOffset;
        uint8_t h[kFrameHeaderSize];
        if (!read_at(f, at, h, kFrameHeaderSize))
            return -1;
        uint32_t size = le32(h);
        if (le16(h + 4) != kFrameType) {
            // A pad byte between frames, or a record that is no frame (skipped by its size).
            uint8_t next[kFrameHeaderSize];
            if (read_at(f, at + 1, next, kFrameHeaderSize) && le16(next + 4) == kFrameType) {
                at++;
                memcpy(h, next, sizeof h);
                size = le32(h);
            } else if (size >= uint32_t(kFrameHeaderSize) && at + size <= m->fileSize) {
                m->currentOffset = int32_t(at + size);
                continue;
            } else {
                return -1;
            }
        }
        if (size < uint32_t(kFrameHeaderSize))
            return -1;
        int64_t end = std::min<int64_t>(at + size, m->fileSize);
        body.resize(size_t(end - at - kFrameHeaderSize));
        if (!body.empty() && fread(body.data(), 1, body.size(), f) != body.size())
            return -1;
        m->currentOffset = int32_t(end);
        uint32_t chunks = le16(h + 6);
        if (chunks == 0)
            return repeat_frame(m, index, preload);
        int32_t result = decode_chunks(m, index, body, chunks, preload);
        if (result < 0)
            return -1;
        if (result == 1) {
            m->currentFrame++;
            return 1;
        }
    }
}

}  // namespace px
