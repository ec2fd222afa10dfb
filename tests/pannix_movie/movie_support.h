// Shared bits of the movie tests: generated pictures, snapshots of what a movie shows, and a scratch
// folder per test.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "movie/flcwriter.h"
#include "movie/tmzwriter.h"
#include "pannix/pxmovie.h"
#include "../pannix_base/support.h"  // the Pannix tests' scratch folder and file helpers
#include "vokplat/clock.h"

namespace mvtest {

using Scratch = pxtest::Scratch;

// 8-bit frame `i` of a small animation: a gradient with a square that moves, runs and noise.
inline std::vector<uint8_t> picture(int w, int h, int i)
{
    std::vector<uint8_t> p(size_t(w) * h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t v = uint8_t(16 + (x + y) / 3);
            if (x >= 2 + 3 * i && x < 9 + 3 * i && y >= 1 + i && y < 7 + i)
                v = uint8_t(200 + i);
            if ((x * 7 + y * 13 + i) % 11 == 0)
                v = uint8_t(x * 31 + y * 17 + i);
            p[size_t(y) * w + x] = v;
        }
    return p;
}

// A palette where every entry differs from every other.
inline movie::Palette palette(int seed)
{
    movie::Palette p{};
    for (int i = 0; i < 256; i++) {
        p[3 * i] = uint8_t(i);
        p[3 * i + 1] = uint8_t(255 - i + seed);
        p[3 * i + 2] = uint8_t(i * 7 + seed * 3);
    }
    return p;
}

// Raw bytes of frame `i` of a true-colour or 8-bit TMZ movie.
inline std::vector<uint8_t> raw_frame(size_t size, int i)
{
    std::vector<uint8_t> p(size);
    for (size_t k = 0; k < size; k++)
        p[k] = uint8_t(k * 13 + size_t(i) * 57 + 1);
    return p;
}

// What the movie shows: its frame's pixels and its colour table.
struct Shot {
    std::vector<uint8_t> pixels;
    std::vector<uint8_t> colours;
    bool operator==(const Shot &) const = default;
};

inline Shot shot(const PMVMOVIE *m)
{
    const auto *p = static_cast<const uint8_t *>(m->pixels);
    const auto *c = reinterpret_cast<const uint8_t *>(m->bmpInfo->bmiColors);
    return {std::vector<uint8_t>(p, p + m->frameSize), std::vector<uint8_t>(c, c + 1024)};
}

// The colour table an 8-bit movie shows for a writer's palette (blue, green, red, 0).
inline std::vector<uint8_t> colours_of(const movie::Palette &p)
{
    std::vector<uint8_t> out(1024, 0);
    for (int i = 0; i < 256; i++) {
        out[4 * i] = p[3 * i + 2];
        out[4 * i + 1] = p[3 * i + 1];
        out[4 * i + 2] = p[3 * i];
    }
    return out;
}

// Moves the virtual clock by the movie's frame time and plays; the result of PlayMovie.
inline int32_t step(PMVMOVIE *m)
{
    PlatAdvanceClock(m->frameTime);
    return PlayMovie(m);
}

// A damaged copy of a sound movie: `value` written at `at` (and `value2` at `at2` when that is not
// 0), or the file cut at `at` when `value` is -1. `streams_first`: its first frame is still sound.
struct Damage {
    const char *what;
    size_t at;
    int value;
    bool streams_first;
    size_t at2 = 0;
    int value2 = 0;
};

// The damaged movie does not open preloaded; streamed it shows its first frame when that is sound
// (`first`) and then fails, or fails at once.
inline void expect_refused(const std::string &name, int kind, std::vector<uint8_t> bytes, const Damage &d,
                           const std::vector<uint8_t> &first)
{
    if (d.value < 0)
        bytes.resize(d.at);
    else
        bytes[d.at] = uint8_t(d.value);
    if (d.at2 != 0)
        bytes[d.at2] = uint8_t(d.value2);
    pxtest::write_bytes(name, bytes);
    EXPECT_EQ(OpenMovie(name.c_str(), kind, PMV_TOPDOWN), nullptr) << d.what;
    PMVMOVIE *m = OpenMovie(name.c_str(), kind, PMV_TOPDOWN | PMV_STREAM);
    if (d.streams_first) {
        ASSERT_NE(m, nullptr) << d.what;
        EXPECT_EQ(shot(m).pixels, first) << d.what;
        EXPECT_EQ(step(m), -1) << d.what;
        EXPECT_TRUE(m->flags & PMV_NOFRAME) << d.what;
        EXPECT_EQ(step(m), -1) << d.what;  // and again: no later frame is shown in its place
    } else if (m != nullptr) {
        // The header was sound; the first frame was not.
        EXPECT_EQ(step(m), -1) << d.what;
    }
    KillMovie(m);
}

}  // namespace mvtest
