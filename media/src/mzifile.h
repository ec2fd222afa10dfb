// The .mzi movie file: a 256-byte header, sound tracks (a 28-byte record and its PCM data each), then
// frames of raw pixels, each behind a 24-byte frame header (or one header for all), little-endian.
// The reader checks every count, length and offset against the bytes present before anything uses
// them, so a player never reads outside the data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace media {

namespace mzi {

constexpr size_t kHeaderSize = 256;
constexpr size_t kTrackRecordSize = 28;
constexpr size_t kFrameHeaderSize = 24;
constexpr size_t kWaveFormatSize = 18;
// Versions from this one on carry the frame-header flags.
constexpr uint16_t kFlagsVersion = 8192;
// A movie larger than this on either side, or than this many pixels in all, is refused: its buffers
// would be absurd (frames with headers of their own can spread a few bytes over a huge rectangle).
constexpr int32_t kMaxSide = 16384;
constexpr int64_t kMaxPixels = int64_t(4096) * 4096;

enum PixelFormat : uint32_t {
    kIndex8 = 3,
    kRgb555 = 4,
    kRgb565 = 5,
    kRgba8888 = 8,
    kAlpha555 = 10,  // u8 alpha, then u16 5-5-5 colour; blended
};

// Bytes a pixel takes in the file (0: unknown format).
int stored_bytes(uint32_t format);
// Bits a pixel takes when drawn (0: unknown format).
int drawn_bits(uint32_t format);

struct Track {
    uint8_t format[kWaveFormatSize];  // WAVEFORMATEX as stored
    size_t data_offset;
    uint32_t length;
    uint32_t start_frame;
};

struct Frame {
    uint16_t width;
    uint16_t height;
    int32_t top;
    int32_t left;
    uint32_t format;
    int32_t row_bytes;
    size_t pixels;  // offset of the bottom row in the data
};

struct Movie {
    uint16_t version = 0;
    uint16_t fps = 0;
    bool per_frame_headers = false;
    std::vector<Track> tracks;
    std::vector<Frame> frames;
    // Union of the frame rectangles (per-frame headers), else 0, 0, width, height.
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// Reads and checks a whole file image. False with a reason for a file that is not a playable movie:
// shorter than its header, no frames, 0 frames per second, a track or frame beyond the end, an
// unknown pixel format, rows shorter than their pixels, frames of different formats, an empty frame,
// or a movie too large.
bool parse(const uint8_t *data, size_t size, Movie &movie, std::string &why);

// Little-endian reads.
inline uint16_t get16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t get32(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

}  // namespace mzi

}  // namespace media
