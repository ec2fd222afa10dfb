// Writes .mzi movies: the 256-byte header, sound tracks of PCM data and frames of raw pixels, field by
// field, little-endian. Tests, the data recipes and mzitool share it.
#ifndef MZI_MZIWRITER_H
#define MZI_MZIWRITER_H

#include <stdint.h>

#include <string>
#include <vector>

namespace mziw {

// Bytes a pixel of a format takes in the file (3, 4, 5, 8, 10); 0 for another format.
int pixel_bytes(uint32_t format);

// One pixel of 8-bit channels in a format: grey level for 3, 5-5-5 for 4 and 10 (alpha byte first),
// 5-6-5 for 5, 0xAARRGGBB for 8.
void put_pixel(uint32_t format, uint8_t r, uint8_t g, uint8_t b, uint8_t a, uint8_t *out);

struct Track {
    uint16_t format_tag = 1;  // PCM
    uint16_t channels = 1;
    uint32_t rate = 22050;
    uint16_t bits = 16;
    uint32_t start_frame = 0;
    std::vector<uint8_t> data;
};

// `ms` milliseconds of a sine tone at `hz` as 16-bit PCM.
std::vector<uint8_t> tone(double hz, uint32_t ms, uint32_t rate, uint16_t channels);

struct Options {
    uint16_t version = 8192;
    uint16_t fps = 10;
    uint16_t per_frame_flag = 0;  // offset 8
    uint16_t second_flag = 0;     // offset 10: also asks for per-frame headers
};

class Writer {
public:
    explicit Writer(const Options &options) : options_(options) {}

    void add_track(const Track &track) { tracks_.push_back(track); }
    // Pixels bottom row first, `row_bytes` a row (0: width x the format's pixel bytes). Without
    // per-frame headers only the first frame's header is written, so every frame must match it.
    // False when the pixels do not fill the frame or the frame does not match the first.
    bool add_frame(uint32_t format, uint16_t width, uint16_t height, const std::vector<uint8_t> &pixels,
                   int32_t top = 0, int32_t left = 0, int32_t row_bytes = 0);

    bool per_frame_headers() const;
    size_t frames() const { return frames_.size(); }
    std::vector<uint8_t> bytes() const;
    // Replaces the file in one step (temporary file and rename); false with a reason on failure.
    bool write(const std::string &path, std::string &error) const;

private:
    struct Frame {
        uint32_t format;
        uint16_t width, height;
        int32_t top, left, row_bytes;
        std::vector<uint8_t> pixels;
    };
    Options options_;
    std::vector<Track> tracks_;
    std::vector<Frame> frames_;
};

}  // namespace mziw

#endif
