// TMZ writer.
#include "movie/tmzwriter.h"

#include "fpk/fpkformat.h"
#include "le.h"

namespace movie {

using le::put16;
using le::put32;

TmzWriter::TmzWriter(int width, int height, int bits, uint16_t frame_ms, bool alpha, int row_bytes)
    : width_(width), height_(height), bits_(bits), row_bytes_(row_bytes), frame_ms_(frame_ms), alpha_(alpha)
{
}

int TmzWriter::row_bytes() const
{
    return row_bytes_ != 0 ? row_bytes_ : (bits_ + 1) / 8 * width_;
}

bool TmzWriter::add_frame(const std::vector<uint8_t> &pixels)
{
    if (pixels.size() != size_t(frame_size()))
        return false;
    add_raw({{kPixels, pixels}});
    return true;
}

void TmzWriter::add_repeat()
{
    add_raw({});
}

void TmzWriter::add_raw(const std::vector<std::pair<uint32_t, std::vector<uint8_t>>> &chunks, bool counts)
{
    std::vector<uint8_t> record;
    put32(record, 0x434D5400);
    put32(record, 0);
    put16(record, uint32_t(chunks.size()));
    record.resize(32, 0);
    for (const auto &[id, data] : chunks) {
        put32(record, id);
        put32(record, uint32_t(data.size()));
        record.insert(record.end(), data.begin(), data.end());
    }
    le::set32(record, 4, uint32_t(record.size()));
    records_.push_back(std::move(record));
    counts_.push_back(counts);
    if (counts)
        frames_++;
}

std::vector<uint8_t> TmzWriter::bytes() const
{
    std::vector<uint8_t> out;
    put32(out, 0x315A4D54);  // "TMZ1"
    put32(out, alpha_ ? 1 : 0);
    put16(out, uint32_t(frames_));
    put16(out, uint32_t(width_));
    put16(out, uint32_t(height_));
    put16(out, uint32_t(bits_));
    put16(out, uint32_t(row_bytes_));
    put16(out, frame_ms_);
    out.resize(32, 0);
    uint32_t at = uint32_t(32 + 4 * frames_), start = at;
    for (size_t i = 0; i < records_.size(); i++) {
        at += uint32_t(records_[i].size());
        if (counts_[i]) {
            put32(out, start);
            start = at;
        }
    }
    for (const auto &r : records_)
        out.insert(out.end(), r.begin(), r.end());
    return out;
}

bool TmzWriter::write(const std::string &path, std::string &error) const
{
    return fpk::write_file(path, bytes(), error);
}

}  // namespace movie
