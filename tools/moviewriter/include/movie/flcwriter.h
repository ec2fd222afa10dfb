// Writes FLI and FLC movies (8 bits a pixel) for the tests and the data recipes.
//
// Layout, little-endian: a 128-byte header (file size, type 0xAF11 FLI / 0xAF12 FLC, frame count,
// width, height, depth 8, flags, speed: FLC u32 milliseconds, FLI u16 1/70 s; FLC: the positions of
// the first two frames at 80 and 84), then one record per frame: u32 size, u16 0xF1FA, u16 chunk
// count, 8 zero bytes, the chunks {u32 size with its 6-byte header, u16 type, data}.
#ifndef MOVIE_FLCWRITER_H
#define MOVIE_FLCWRITER_H

#include <stdint.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace movie {

// 256 colours, each red, green, blue (0-255).
using Palette = std::array<uint8_t, 768>;

namespace flc {

enum ChunkType : uint16_t {
    kColor256 = 4,
    kDeltaFlc = 7,
    kColor64 = 11,
    kDeltaFli = 12,
    kBlack = 13,
    kByteRun = 15,
    kCopy = 16,
    kStamp = 18,
};

// The data of each chunk kind (without the chunk header). Pictures are width * height indices, top
// row first. The deltas give false when they cannot express the change (a changed last column of an
// odd-width picture for DELTA_FLC, more packets in a row than a count holds).
std::vector<uint8_t> byte_run(const uint8_t *pixels, int width, int height);
std::vector<uint8_t> copy(const uint8_t *pixels, int width, int height);
bool delta_fli(const uint8_t *before, const uint8_t *pixels, int width, int height, std::vector<uint8_t> &out);
bool delta_flc(const uint8_t *before, const uint8_t *pixels, int width, int height, std::vector<uint8_t> &out);
// Packets of the entries that differ from `before` (every entry when there is none); `six_bits`
// writes levels 0-63 (the top six bits of each level).
std::vector<uint8_t> palette(const Palette *before, const Palette &colours, bool six_bits);

}  // namespace flc

class FlcWriter {
public:
    enum class Code { Auto, Black, Copy, ByteRun, DeltaFli, DeltaFlc };

    // speed: milliseconds a frame for FLC, 1/70 s for FLI.
    FlcWriter(int width, int height, uint32_t speed, bool fli = false);

    // A frame of width * height indices. A palette given is written (its changed entries) before
    // the pixels, as COLOR_64 when `six_bits`. Auto picks the smallest chunk that gives the frame,
    // and a record without chunks when nothing changed. False when the chosen code cannot give the
    // frame; nothing is added then.
    bool add_frame(const std::vector<uint8_t> &pixels, const Palette *colours = nullptr, Code code = Code::Auto,
                   bool six_bits = false);
    // A frame record without chunks: the frame before, again.
    void add_repeat();
    // A chunk put first into the next frame record (fixtures: postage stamps, unknown chunks).
    void add_extra_chunk(uint16_t type, std::vector<uint8_t> data);
    // A record of the given chunks as they are; `counts` says whether the header counts it.
    void add_raw(const std::vector<std::pair<uint16_t, std::vector<uint8_t>>> &chunks, bool counts = true);

    int frames() const { return frames_; }
    // The picture and palette after the last frame added (raw records are not followed).
    const std::vector<uint8_t> &picture() const { return picture_; }
    const Palette &colours() const { return colours_; }

    std::vector<uint8_t> bytes() const;
    // Through a temporary file renamed over the old one.
    bool write(const std::string &path, std::string &error) const;

private:
    void add_record(std::vector<std::pair<uint16_t, std::vector<uint8_t>>> chunks, bool counts);

    int width_, height_;
    uint32_t speed_;
    bool fli_;
    int frames_ = 0;
    bool have_palette_ = false;
    std::vector<uint8_t> picture_;
    Palette colours_{};
    std::vector<std::pair<uint16_t, std::vector<uint8_t>>> extra_;
    std::vector<std::vector<uint8_t>> records_;
};

}  // namespace movie

#endif
