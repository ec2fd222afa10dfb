#include "mzi/mziwriter.h"

#include <errno.h>
#include <string.h>

#include <cmath>

#include "vokplat/save.h"

namespace mziw {

namespace {

void put16(std::vector<uint8_t> &out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t> &out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

}  // namespace

int pixel_bytes(uint32_t format)
{
    switch (format) {
    case 3:
        return 1;
    case 4:
    case 5:
        return 2;
    case 8:
        return 4;
    case 10:
        return 3;
    default:
        return 0;
    }
}

void put_pixel(uint32_t format, uint8_t r, uint8_t g, uint8_t b, uint8_t a, uint8_t *out)
{
    uint32_t v = 0;
    switch (format) {
    case 3:
        out[0] = uint8_t((r * 299 + g * 587 + b * 114) / 1000);
        return;
    case 4:
        v = uint32_t(r >> 3) << 10 | uint32_t(g >> 3) << 5 | (b >> 3);
        out[0] = uint8_t(v);
        out[1] = uint8_t(v >> 8);
        return;
    case 5:
        v = uint32_t(r >> 3) << 11 | uint32_t(g >> 2) << 5 | (b >> 3);
        out[0] = uint8_t(v);
        out[1] = uint8_t(v >> 8);
        return;
    case 8:
        out[0] = b;
        out[1] = g;
        out[2] = r;
        out[3] = a;
        return;
    case 10:
        v = uint32_t(r >> 3) << 10 | uint32_t(g >> 3) << 5 | (b >> 3);
        out[0] = a;
        out[1] = uint8_t(v);
        out[2] = uint8_t(v >> 8);
        return;
    default:
        return;
    }
}

std::vector<uint8_t> tone(double hz, uint32_t ms, uint32_t rate, uint16_t channels)
{
    std::vector<uint8_t> out;
    uint64_t frames = uint64_t(rate) * ms / 1000;
    for (uint64_t i = 0; i < frames; i++) {
        double s = std::sin(2.0 * 3.14159265358979323846 * hz * double(i) / double(rate));
        int16_t v = int16_t(std::lround(s * 12000.0));
        for (uint16_t c = 0; c < channels; c++)
            put16(out, uint16_t(v));
    }
    return out;
}

bool Writer::per_frame_headers() const
{
    return options_.version >= 8192 && (options_.per_frame_flag != 0 || options_.second_flag != 0);
}

bool Writer::add_frame(uint32_t format, uint16_t width, uint16_t height, const std::vector<uint8_t> &pixels,
                       int32_t top, int32_t left, int32_t row_bytes)
{
    if (row_bytes == 0)
        row_bytes = width * pixel_bytes(format);
    if (row_bytes < 0 || pixels.size() != size_t(row_bytes) * height)
        return false;
    if (!per_frame_headers() && !frames_.empty()) {
        const Frame &first = frames_.front();
        if (first.format != format || first.width != width || first.height != height || first.row_bytes != row_bytes)
            return false;
    }
    frames_.push_back(Frame{format, width, height, top, left, row_bytes, pixels});
    return true;
}

std::vector<uint8_t> Writer::bytes() const
{
    std::vector<uint8_t> out;
    put16(out, options_.version);
    put16(out, uint32_t(tracks_.size()));
    put16(out, uint32_t(frames_.size()));
    put16(out, options_.fps);
    put16(out, options_.per_frame_flag);
    put16(out, options_.second_flag);
    out.resize(256, 0);
    for (const Track &t : tracks_) {
        uint16_t align = uint16_t(t.channels * t.bits / 8);
        put16(out, t.format_tag);
        put16(out, t.channels);
        put32(out, t.rate);
        put32(out, t.rate * align);
        put16(out, align);
        put16(out, t.bits);
        put16(out, 0);  // no extra format bytes
        put16(out, 0);  // reserved
        put32(out, uint32_t(t.data.size()));
        put32(out, t.start_frame);
        out.insert(out.end(), t.data.begin(), t.data.end());
    }
    const bool each = per_frame_headers();
    for (size_t n = 0; n < frames_.size(); n++) {
        const Frame &f = frames_[n];
        if (each || n == 0) {
            put16(out, f.width);
            put16(out, f.height);
            put32(out, uint32_t(f.top));
            put32(out, uint32_t(f.left));
            put32(out, 0);
            put32(out, f.format);
            put32(out, uint32_t(f.row_bytes));
        }
        out.insert(out.end(), f.pixels.begin(), f.pixels.end());
    }
    return out;
}

bool Writer::write(const std::string &path, std::string &error) const
{
    std::vector<uint8_t> data = bytes();
    if (!PlatWriteFileAtomic(path.c_str(), data.data(), data.size())) {
        error = "cannot write '" + path + "': " + strerror(errno);
        return false;
    }
    return true;
}

}  // namespace mziw
