// Writes TMZ movies, Pannix's own format of uncompressed frames (the layout is described in
// pannix/pxmovie.h). The frame index holds the position where each frame's records begin; the
// frame header's second word holds the record's size in bytes.
#ifndef MOVIE_TMZWRITER_H
#define MOVIE_TMZWRITER_H

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

namespace movie {

class TmzWriter {
public:
    static constexpr uint32_t kPixels = 0x434D5402;
    static constexpr uint32_t kMarker = 0x434D5401;

    // bits: 8, 16, 24 or 32; row_bytes 0: (bits + 1) / 8 * width, written as 0.
    TmzWriter(int width, int height, int bits, uint16_t frame_ms, bool alpha = false, int row_bytes = 0);

    int row_bytes() const;
    int frame_size() const { return row_bytes() * height_; }

    // A frame of frame_size() bytes, rows in the order of the player's buffer. False for another size.
    bool add_frame(const std::vector<uint8_t> &pixels);
    // A frame without chunks: the frame before, again.
    void add_repeat();
    // A frame record of the given chunks {identifier, data} as they are; `counts` says whether the
    // header counts it (a record without pixels does not give a frame of its own).
    void add_raw(const std::vector<std::pair<uint32_t, std::vector<uint8_t>>> &chunks, bool counts = true);

    int frames() const { return frames_; }
    std::vector<uint8_t> bytes() const;
    // Through a temporary file renamed over the old one.
    bool write(const std::string &path, std::string &error) const;

private:
    int width_, height_, bits_, row_bytes_;
    uint16_t frame_ms_;
    bool alpha_;
    int frames_ = 0;
    std::vector<std::vector<uint8_t>> records_;
    std::vector<bool> counts_;
};

}  // namespace movie

#endif
