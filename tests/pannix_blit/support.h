// Pixel maps built by hand over guarded memory: every byte outside the map's area, and a margin
// of guard bytes around the whole block, can be checked after a blit.
#ifndef PANNIX_BLIT_TEST_SUPPORT_H
#define PANNIX_BLIT_TEST_SUPPORT_H

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "blit_core.h"

namespace pxtest {

using pxblit::PxMap;

constexpr int kGuard = 64;
constexpr uint8_t kGuardByte = 0xEE;

struct MapSpec {
    int type = pxblit::T_565;
    int w = 4, h = 4;
    int pad = 0;             // bytes after each row
    bool bottom_up = false;  // negative row_bytes
    int base_x = 0, base_y = 0;
    int margin_x = 0, margin_y = 0;  // pixels right of and rows below the area
};

// A random layout of a w x h area: row padding, row direction, base and the margins given.
template <class Rng>
MapSpec random_layout(int type, int w, int h, Rng& rng, int margin_x, int margin_y) {
    return MapSpec{type, w, h, static_cast<int>(rng() % 5), (rng() & 1) != 0, static_cast<int>(rng() % 3),
                   static_cast<int>(rng() % 2), margin_x, margin_y};
}

class TestMap {
public:
    explicit TestMap(const MapSpec& s) : spec_(s) {
        b_ = pxblit::pixel_bytes(s.type);
        if (b_ == 0) b_ = 2;
        stride_ = (s.base_x + s.w + s.margin_x) * b_ + s.pad;
        rows_ = s.base_y + s.h + s.margin_y;
        size_ = static_cast<size_t>(stride_) * static_cast<size_t>(rows_);
        mem_.assign(2 * kGuard + size_, kGuardByte);
        std::fill(mem_.begin() + kGuard, mem_.end() - kGuard, uint8_t{0});
        map_.type = s.type;
        map_.width = static_cast<uint16_t>(s.w);
        map_.height = static_cast<uint16_t>(s.h);
        map_.base_x = static_cast<uint16_t>(s.base_x);
        map_.base_y = static_cast<uint16_t>(s.base_y);
        if (s.bottom_up) {
            map_.pixels = block() + static_cast<size_t>(stride_) * (rows_ - 1);
            map_.row_bytes = -stride_;
        } else {
            map_.pixels = block();
            map_.row_bytes = stride_;
        }
    }
    TestMap(int type, int w, int h) : TestMap(MapSpec{type, w, h}) {}

    PxMap* map() { return &map_; }
    int bytes() const { return b_; }
    uint8_t* block() { return mem_.data() + kGuard; }
    // Pixel (x, y) of the map's area.
    uint8_t* at(int x, int y) {
        return map_.pixels + static_cast<ptrdiff_t>(y + map_.base_y) * map_.row_bytes +
               static_cast<ptrdiff_t>(x + map_.base_x) * b_;
    }
    uint32_t get(int x, int y) {
        uint32_t v = 0;
        std::memcpy(&v, at(x, y), b_);
        return v;
    }
    void set(int x, int y, uint32_t v) { std::memcpy(at(x, y), &v, b_); }
    void fill_bytes(uint8_t v) { std::fill(mem_.begin() + kGuard, mem_.end() - kGuard, v); }
    bool guards_ok() const {
        for (int i = 0; i < kGuard; ++i)
            if (mem_[i] != kGuardByte || mem_[mem_.size() - 1 - i] != kGuardByte) return false;
        return true;
    }
    std::vector<uint8_t> snapshot() const { return mem_; }
    // Puts back a snapshot of a map of the same layout.
    void restore(const std::vector<uint8_t>& bytes) { std::copy(bytes.begin(), bytes.end(), mem_.begin()); }
    template <class Rng>
    void randomize(Rng& rng) {
        for (auto it = mem_.begin() + kGuard; it != mem_.end() - kGuard; ++it) *it = static_cast<uint8_t>(rng());
    }
    const std::vector<uint8_t>& memory() const { return mem_; }
    // Offset in memory() of the first byte of pixel (x, y).
    size_t offset(int x, int y) { return static_cast<size_t>(at(x, y) - mem_.data()); }

private:
    MapSpec spec_;
    int b_ = 2, stride_ = 0, rows_ = 0;
    size_t size_ = 0;
    std::vector<uint8_t> mem_;
    PxMap map_;
};

// The vector variants of a kernel this processor runs.
inline std::vector<pxblit::RowFn> fast_rows(const pxblit::PairKernel& k) {
    std::vector<pxblit::RowFn> v;
    if (k.sse2) v.push_back(k.sse2);
    if (k.avx2 && pxblit::simd_supported() == pxblit::SimdLevel::Avx2) v.push_back(k.avx2);
    return v;
}

// A row of n bytes that touches an inaccessible page at one end.
class FencedRow {
public:
    FencedRow(size_t n, bool fence_after) : page_(static_cast<size_t>(sysconf(_SC_PAGESIZE))) {
        span_ = ((n + page_ - 1) / page_ + 2) * page_;
        base_ = static_cast<uint8_t*>(mmap(nullptr, span_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        if (fence_after) {
            mprotect(base_ + span_ - page_, page_, PROT_NONE);
            row_ = base_ + span_ - page_ - n;
        } else {
            mprotect(base_, page_, PROT_NONE);
            row_ = base_ + page_;
        }
    }
    ~FencedRow() { munmap(base_, span_); }
    uint8_t* row() { return row_; }

private:
    size_t page_, span_;
    uint8_t* base_;
    uint8_t* row_;
};

}  // namespace pxtest

#endif
