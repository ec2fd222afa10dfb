// FLI/FLC writer: chunk encoders and the file around them.
#include "movie/flcwriter.h"

#include <algorithm>

#include "fpk/fpkformat.h"
#include "le.h"

namespace movie {

using le::put16;
using le::put32;
using le::set16;
using le::set32;

namespace {

// Length of the run of equal units (of `unit` bytes) at `at`, at most `limit` units.
int run_length(const uint8_t *p, int at, int end, int unit, int limit)
{
    int n = 1;
    while (n < limit && at + (n + 1) * unit <= end &&
           std::equal(p + at, p + at + unit, p + at + n * unit))
        n++;
    return n;
}

// The packets {count, data} that write units [from, to) of a row: runs of `min_run` or more equal
// units repeat one unit, the rest is copied. `sign` is +1 when a positive count repeats (BYTE_RUN:
// repeats up to 127, copies up to 128), -1 when a positive count copies (the deltas: the other way).
struct Packet {
    int count;
    std::vector<uint8_t> data;
};

std::vector<Packet> runs(const uint8_t *row, int from, int to, int unit, int min_run, int sign)
{
    std::vector<Packet> out;
    int x = from;
    while (x < to) {
        int run = run_length(row, x * unit, to * unit, unit, 128);
        if (run >= min_run || (run > 1 && x + run == to)) {
            run = std::min(run, sign > 0 ? 127 : 128);
            out.push_back({sign * run, std::vector<uint8_t>(row + x * unit, row + (x + 1) * unit)});
            x += run;
            continue;
        }
        int start = x;
        int limit = sign > 0 ? 128 : 127;
        while (x < to && x - start < limit && run_length(row, x * unit, to * unit, unit, min_run) < min_run)
            x++;
        if (x == start)
            x++;
        out.push_back({-sign * (x - start), std::vector<uint8_t>(row + start * unit, row + x * unit)});
    }
    return out;
}

// Delta packets of one row, in units of `unit` bytes over `units` units: each packet is {skip in
// bytes, count, data}; skips longer than a byte holds are bridged by copying one unchanged unit.
bool delta_row(const uint8_t *before, const uint8_t *row, int units, int unit, std::vector<uint8_t> &out,
               int &packets)
{
    auto changed = [&](int k) { return !std::equal(row + k * unit, row + (k + 1) * unit, before + k * unit); };
    int cursor = 0, k = 0;
    const int max_skip = 255 / unit;
    packets = 0;
    while (k < units) {
        if (!changed(k)) {
            k++;
            continue;
        }
        int end = k;
        while (end < units && (changed(end) || (end + 1 < units && changed(end + 1))))
            end++;
        while (k - cursor > max_skip) {
            out.push_back(uint8_t(max_skip * unit));
            out.push_back(1);
            int at = cursor + max_skip;
            out.insert(out.end(), row + at * unit, row + (at + 1) * unit);
            cursor = at + 1;
            packets++;
        }
        bool first = true;
        for (const Packet &p : runs(row, k, end, unit, unit == 1 ? 3 : 2, -1)) {
            out.push_back(uint8_t(first ? (k - cursor) * unit : 0));
            out.push_back(uint8_t(int8_t(p.count)));
            out.insert(out.end(), p.data.begin(), p.data.end());
            first = false;
            packets++;
        }
        cursor = k = end;
    }
    return true;
}

}  // namespace

namespace flc {

std::vector<uint8_t> byte_run(const uint8_t *pixels, int width, int height)
{
    std::vector<uint8_t> out;
    for (int y = 0; y < height; y++) {
        const uint8_t *row = pixels + size_t(y) * width;
        std::vector<Packet> packets = runs(row, 0, width, 1, 3, 1);
        out.push_back(packets.size() < 256 ? uint8_t(packets.size()) : 0);
        for (const Packet &p : packets) {
            out.push_back(uint8_t(int8_t(p.count)));
            out.insert(out.end(), p.data.begin(), p.data.end());
        }
    }
    return out;
}

std::vector<uint8_t> copy(const uint8_t *pixels, int width, int height)
{
    return std::vector<uint8_t>(pixels, pixels + size_t(width) * height);
}

bool delta_fli(const uint8_t *before, const uint8_t *pixels, int width, int height, std::vector<uint8_t> &out)
{
    auto same = [&](int y) {
        return std::equal(pixels + size_t(y) * width, pixels + size_t(y + 1) * width, before + size_t(y) * width);
    };
    int first = 0, last = height - 1;
    while (first < height && same(first))
        first++;
    while (last >= first && same(last))
        last--;
    out.clear();
    put16(out, first < height ? first : 0);
    put16(out, first < height ? last - first + 1 : 0);
    for (int y = first; y <= last; y++) {
        size_t at = out.size();
        out.push_back(0);
        int packets = 0;
        delta_row(before + size_t(y) * width, pixels + size_t(y) * width, width, 1, out, packets);
        if (packets > 255)
            return false;
        out[at] = uint8_t(packets);
    }
    return true;
}

bool delta_flc(const uint8_t *before, const uint8_t *pixels, int width, int height, std::vector<uint8_t> &out)
{
    out.assign(2, 0);
    int lines = 0, skipped = 0;
    for (int y = 0; y < height; y++) {
        const uint8_t *row = pixels + size_t(y) * width, *old = before + size_t(y) * width;
        if (std::equal(row, row + width, old)) {
            skipped++;
            continue;
        }
        // Words cannot reach the last column of an odd-width row.
        if (width % 2 == 1 && row[width - 1] != old[width - 1])
            return false;
        for (; skipped > 0; skipped -= std::min(skipped, 16384))
            put16(out, uint16_t(-std::min(skipped, 16384)));
        size_t at = out.size();
        put16(out, 0);
        int packets = 0;
        delta_row(old, row, width / 2, 2, out, packets);
        if (packets > 0x3FFF)
            return false;
        set16(out, at, uint32_t(packets));
        lines++;
    }
    set16(out, 0, uint32_t(lines));
    return true;
}

std::vector<uint8_t> palette(const Palette *before, const Palette &colours, bool six_bits)
{
    auto level = [&](const Palette &p, int i) { return six_bits ? p[i] >> 2 : p[i]; };
    auto changed = [&](int e) {
        if (before == nullptr)
            return true;
        for (int c = 0; c < 3; c++)
            if (level(*before, 3 * e + c) != level(colours, 3 * e + c))
                return true;
        return false;
    };
    std::vector<uint8_t> out(2, 0);
    int index = 0, packets = 0;
    for (int e = 0; e < 256;) {
        if (!changed(e)) {
            e++;
            continue;
        }
        int end = e;
        while (end < 256 && changed(end))
            end++;
        out.push_back(uint8_t(e - index));
        out.push_back(uint8_t(end - e));  // 256 entries are written as 0
        for (int i = 3 * e; i < 3 * end; i++)
            out.push_back(uint8_t(level(colours, i)));
        packets++;
        index = e = end;
    }
    set16(out, 0, uint32_t(packets));
    return out;
}

}  // namespace flc

FlcWriter::FlcWriter(int width, int height, uint32_t speed, bool fli)
    : width_(width), height_(height), speed_(speed), fli_(fli), picture_(size_t(width) * height, 0)
{
}

bool FlcWriter::add_frame(const std::vector<uint8_t> &pixels, const Palette *colours, Code code, bool six_bits)
{
    if (pixels.size() != size_t(width_) * height_)
        return false;
    std::vector<std::pair<uint16_t, std::vector<uint8_t>>> chunks;
    if (colours != nullptr) {
        std::vector<uint8_t> data = flc::palette(have_palette_ ? &colours_ : nullptr, *colours, six_bits);
        if (data.size() > 2)
            chunks.push_back({six_bits ? flc::kColor64 : flc::kColor256, std::move(data)});
    }
    const uint8_t *p = pixels.data(), *before = picture_.data();
    bool black = std::all_of(pixels.begin(), pixels.end(), [](uint8_t v) { return v == 0; });
    std::vector<uint8_t> delta;
    std::pair<uint16_t, std::vector<uint8_t>> frame;
    switch (code) {
    case Code::Black:
        if (!black)
            return false;
        frame = {flc::kBlack, {}};
        break;
    case Code::Copy: frame = {flc::kCopy, flc::copy(p, width_, height_)}; break;
    case Code::ByteRun: frame = {flc::kByteRun, flc::byte_run(p, width_, height_)}; break;
    case Code::DeltaFli:
        if (!flc::delta_fli(before, p, width_, height_, delta))
            return false;
        frame = {flc::kDeltaFli, delta};
        break;
    case Code::DeltaFlc:
        if (!flc::delta_flc(before, p, width_, height_, delta))
            return false;
        frame = {flc::kDeltaFlc, delta};
        break;
    case Code::Auto:
        if (frames_ > 0 && pixels == picture_ && chunks.empty() && extra_.empty()) {
            add_repeat();
            return true;
        }
        frame = {flc::kByteRun, flc::byte_run(p, width_, height_)};
        if (black)
            frame = {flc::kBlack, {}};
        if (frames_ > 0) {
            if (flc::delta_fli(before, p, width_, height_, delta) && delta.size() < frame.second.size())
                frame = {flc::kDeltaFli, delta};
            if (flc::delta_flc(before, p, width_, height_, delta) && delta.size() < frame.second.size())
                frame = {flc::kDeltaFlc, delta};
        }
        break;
    }
    chunks.push_back(std::move(frame));
    if (colours != nullptr) {
        // Entries the chunk left out keep their colour; six-bit levels come back as a player widens them.
        for (size_t e = 0; e < 256; e++) {
            bool sent = !have_palette_;
            for (size_t c = 3 * e; c < 3 * e + 3 && !sent; c++)
                sent = six_bits ? ((*colours)[c] >> 2) != (colours_[c] >> 2) : (*colours)[c] != colours_[c];
            for (size_t c = 3 * e; c < 3 * e + 3 && sent; c++) {
                uint8_t v = (*colours)[c];
                colours_[c] = six_bits ? uint8_t((v >> 2) << 2 | v >> 6) : v;
            }
        }
        have_palette_ = true;
    }
    picture_ = pixels;
    add_record(std::move(chunks), true);
    return true;
}

void FlcWriter::add_repeat()
{
    add_record({}, true);
}

void FlcWriter::add_extra_chunk(uint16_t type, std::vector<uint8_t> data)
{
    extra_.push_back({type, std::move(data)});
}

void FlcWriter::add_raw(const std::vector<std::pair<uint16_t, std::vector<uint8_t>>> &chunks, bool counts)
{
    add_record(chunks, counts);
}

void FlcWriter::add_record(std::vector<std::pair<uint16_t, std::vector<uint8_t>>> chunks, bool counts)
{
    chunks.insert(chunks.begin(), extra_.begin(), extra_.end());
    extra_.clear();
    std::vector<uint8_t> record;
    put32(record, 0);
    put16(record, 0xF1FA);
    put16(record, uint32_t(chunks.size()));
    record.resize(16, 0);
    for (const auto &[type, data] : chunks) {
        put32(record, uint32_t(data.size() + 6));
        put16(record, type);
        record.insert(record.end(), data.begin(), data.end());
    }
    set32(record, 0, uint32_t(record.size()));
    records_.push_back(std::move(record));
    if (counts)
        frames_++;
}

std::vector<uint8_t> FlcWriter::bytes() const
{
    std::vector<uint8_t> out(128, 0);
    set16(out, 4, fli_ ? 0xAF11 : 0xAF12);
    set16(out, 6, uint32_t(frames_));
    set16(out, 8, uint32_t(width_));
    set16(out, 10, uint32_t(height_));
    set16(out, 12, 8);
    if (fli_) {
        set16(out, 16, speed_ & 0xFFFF);
    } else {
        set16(out, 14, 3);
        set32(out, 16, speed_);
        set16(out, 38, 1);  // square pixels
        set16(out, 40, 1);
        set32(out, 80, 128);
        set32(out, 84, records_.empty() ? 0 : uint32_t(128 + records_[0].size()));
    }
    for (const auto &r : records_)
        out.insert(out.end(), r.begin(), r.end());
    set32(out, 0, uint32_t(out.size()));
    return out;
}

bool FlcWriter::write(const std::string &path, std::string &error) const
{
    return fpk::write_file(path, bytes(), error);
}

}  // namespace movie
