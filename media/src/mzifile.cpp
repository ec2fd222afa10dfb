#include "mzifile.h"

#include <algorithm>
#include <cstring>

namespace media::mzi {

int stored_bytes(uint32_t format)
{
    switch (format) {
    case kIndex8:
        return 1;
    case kRgb555:
    case kRgb565:
        return 2;
    case kRgba8888:
        return 4;
    case kAlpha555:
        return 3;
    default:
        return 0;
    }
}

int drawn_bits(uint32_t format)
{
    switch (format) {
    case kIndex8:
        return 8;
    case kRgb555:
    case kRgb565:
    case kAlpha555:
        return 16;
    case kRgba8888:
        return 32;
    default:
        return 0;
    }
}

namespace {

bool fail(std::string &why, const char *text)
{
    why = text;
    return false;
}

// Reads a frame header at `at` and checks it and its `count` frames of pixels against the data.
bool read_frame(const uint8_t *data, size_t size, size_t at, size_t count, Frame &f, std::string &why)
{
    if (size < kFrameHeaderSize || at > size - kFrameHeaderSize)
        return fail(why, "frame header beyond the end of the file");
    const uint8_t *p = data + at;
    f.width = get16(p);
    f.height = get16(p + 2);
    f.top = int32_t(get32(p + 4));
    f.left = int32_t(get32(p + 8));
    f.format = get32(p + 16);
    f.row_bytes = int32_t(get32(p + 20));
    f.pixels = at + kFrameHeaderSize;
    int bytes = stored_bytes(f.format);
    if (bytes == 0)
        return fail(why, "unknown pixel format");
    if (f.width == 0 || f.height == 0)
        return fail(why, "empty frame");
    if (f.row_bytes < 0 || int64_t(f.row_bytes) < int64_t(f.width) * bytes)
        return fail(why, "rows shorter than their pixels");
    uint64_t need = uint64_t(f.row_bytes) * f.height * count;
    if (need > size - f.pixels)
        return fail(why, "frame pixels beyond the end of the file");
    return true;
}

}  // namespace

bool parse(const uint8_t *data, size_t size, Movie &movie, std::string &why)
{
    movie = Movie{};
    if (data == nullptr || size < kHeaderSize)
        return fail(why, "shorter than the header");
    movie.version = get16(data);
    uint16_t tracks = get16(data + 2);
    uint16_t frames = get16(data + 4);
    movie.fps = get16(data + 6);
    if (movie.version >= kFlagsVersion)
        movie.per_frame_headers = get16(data + 8) != 0 || get16(data + 10) != 0;
    if (frames == 0)
        return fail(why, "no frames");
    if (movie.fps == 0)
        return fail(why, "0 frames per second");

    size_t at = kHeaderSize;
    for (uint16_t i = 0; i < tracks; i++) {
        if (size - at < kTrackRecordSize)
            return fail(why, "track record beyond the end of the file");
        Track t{};
        std::memcpy(t.format, data + at, kWaveFormatSize);
        t.length = get32(data + at + 20);
        t.start_frame = get32(data + at + 24);
        t.data_offset = at + kTrackRecordSize;
        if (t.length > size - t.data_offset)
            return fail(why, "track data beyond the end of the file");
        at = t.data_offset + t.length;
        movie.tracks.push_back(t);
    }

    movie.frames.resize(frames);
    if (movie.per_frame_headers) {
        for (Frame &f : movie.frames) {
            if (!read_frame(data, size, at, 1, f, why))
                return false;
            at = f.pixels + size_t(f.row_bytes) * f.height;
        }
    } else {
        Frame first{};
        if (!read_frame(data, size, at, frames, first, why))
            return false;
        first.top = 0;
        first.left = 0;
        size_t step = size_t(first.row_bytes) * first.height;
        for (size_t n = 0; n < frames; n++) {
            movie.frames[n] = first;
            movie.frames[n].pixels = first.pixels + n * step;
        }
    }

    const Frame &first = movie.frames.front();
    int64_t left = first.left, top = first.top;
    int64_t right = left + first.width, bottom = top + first.height;
    for (const Frame &f : movie.frames) {
        if (f.format != first.format)
            return fail(why, "frames of different pixel formats");
        left = std::min<int64_t>(left, f.left);
        top = std::min<int64_t>(top, f.top);
        right = std::max<int64_t>(right, int64_t(f.left) + f.width);
        bottom = std::max<int64_t>(bottom, int64_t(f.top) + f.height);
    }
    if (right - left > kMaxSide || bottom - top > kMaxSide || (right - left) * (bottom - top) > kMaxPixels ||
        left < -kMaxSide * 64 || top < -kMaxSide * 64 || right > kMaxSide * 64 || bottom > kMaxSide * 64)
        return fail(why, "movie too large");
    movie.left = int32_t(left);
    movie.top = int32_t(top);
    movie.right = int32_t(right);
    movie.bottom = int32_t(bottom);
    return true;
}

}  // namespace media::mzi
