// Movies of every chunk kind the writer makes, decoded by ffmpeg and by the player: the same
// colours at every pixel of every frame, preloaded and streamed.
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

#include "movie_support.h"

namespace {

using Code = movie::FlcWriter::Code;
using Chunks = std::vector<std::pair<uint16_t, std::vector<uint8_t>>>;

// Chunks as other tools write them, which the project's writer never does.
void put16(std::vector<uint8_t> &out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

// BYTE_RUN whose row packet count keeps only its low byte: rows of more than 255 packets say less.
std::vector<uint8_t> byte_run_wrapped(const std::vector<uint8_t> &pic, int w, int h)
{
    std::vector<uint8_t> out;
    for (int y = 0; y < h; y++) {
        const uint8_t *row = &pic[size_t(y) * w];
        size_t at = out.size();
        out.push_back(0);
        int packets = 0;
        for (int x = 0; x < w; packets++) {
            int run = 1;
            while (x + run < w && run < 127 && row[x + run] == row[x])
                run++;
            if (run >= 2) {
                out.push_back(uint8_t(run));
                out.push_back(row[x]);
                x += run;
                continue;
            }
            int n = 1;
            while (x + n < w && n < 128 && !(x + n + 1 < w && row[x + n] == row[x + n + 1]))
                n++;
            out.push_back(uint8_t(-n));
            out.insert(out.end(), row + x, row + x + n);
            x += n;
        }
        out[at] = uint8_t(packets);
    }
    return out;
}

// DELTA_FLC for an odd width: a row whose last pixel changed has a "last pixel" word before its
// packet count, and a row with no other change has 0 packets.
std::vector<uint8_t> delta_flc_odd(const std::vector<uint8_t> &before, const std::vector<uint8_t> &now, int w,
                                   int h)
{
    std::vector<uint8_t> out(2, 0);
    int lines = 0, skipped = 0;
    for (int y = 0; y < h; y++) {
        const uint8_t *row = &now[size_t(y) * w], *old = &before[size_t(y) * w];
        if (std::equal(row, row + w, old)) {
            skipped++;
            continue;
        }
        if (skipped > 0)
            put16(out, uint16_t(-skipped));
        skipped = 0;
        lines++;
        if (row[w - 1] != old[w - 1])
            put16(out, 0x8000 | row[w - 1]);
        size_t at = out.size();
        put16(out, 0);
        int packets = 0, cursor = 0;
        auto changed = [&](int x) { return row[x] != old[x] || row[x + 1] != old[x + 1]; };
        for (int x = 0; x + 1 < w;) {
            if (!changed(x)) {
                x += 2;
                continue;
            }
            x = std::max(x, cursor);
            if (x - cursor > 254)
                x = cursor + 254;  // a longer skip than a byte holds: copy some unchanged words
            int end = x + 2;
            while (end + 1 < w && end - x < 2 * 127 && changed(end))
                end += 2;
            int words = (end - x) / 2;
            bool same = words > 1;
            for (int k = x; k < end && same; k += 2)
                same = row[k] == row[x] && row[k + 1] == row[x + 1];
            out.push_back(uint8_t(x - cursor));
            out.push_back(uint8_t(same ? -words : words));
            out.insert(out.end(), row + x, row + (same ? x + 2 : end));
            packets++;
            cursor = x = end;
        }
        out[at] = uint8_t(packets), out[at + 1] = uint8_t(packets >> 8);
    }
    out[0] = uint8_t(lines), out[1] = uint8_t(lines >> 8);
    return out;
}

class Ffmpeg : public mvtest::Scratch {
protected:
    void SetUp() override
    {
        if (system("command -v ffmpeg >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "ffmpeg is not installed (scripts/deps.sh installs it)";
        Scratch::SetUp();
    }

    // ffmpeg's frames as RGB rows, top row first.
    std::vector<std::vector<uint8_t>> ffmpeg_frames(const std::string &movie, int w, int h)
    {
        std::string raw = path("ffmpeg.rgb");
        std::string cmd = "ffmpeg -v error -nostdin -y -f flic -i '" + movie +
                          "' -f rawvideo -pix_fmt rgb24 -fps_mode passthrough '" + raw + "'";
        EXPECT_EQ(system(cmd.c_str()), 0) << cmd;
        std::string bytes = pxtest::read_text(raw);
        size_t size = size_t(w) * h * 3;
        EXPECT_EQ(bytes.size() % size, 0u);
        std::vector<std::vector<uint8_t>> frames;
        for (size_t at = 0; at + size <= bytes.size(); at += size)
            frames.emplace_back(bytes.begin() + long(at), bytes.begin() + long(at + size));
        return frames;
    }

    // The player's frames in both modes, turned into RGB through the colour table. With the
    // pictures given, the player's indices must be those, and ffmpeg's last column is not compared:
    // ffmpeg (5.1) writes a "last pixel" word past the end of the row.
    void compare(const movie::FlcWriter &flc, int w, int h, int frames,
                 const std::vector<std::vector<uint8_t>> &pictures = {})
    {
        ASSERT_EQ(flc.frames(), frames);
        std::string error, name = path("movie.flc");
        ASSERT_TRUE(flc.write(name, error)) << error;
        std::vector<std::vector<uint8_t>> theirs = ffmpeg_frames(name, w, h);
        ASSERT_EQ(theirs.size(), size_t(frames));
        for (uint32_t mode : {0u, uint32_t(PMV_STREAM)}) {
            PMVMOVIE *m = OpenMovie(name.c_str(), PMV_KIND_FLC, PMV_TOPDOWN | mode);
            ASSERT_NE(m, nullptr);
            ASSERT_EQ(m->frameCount, frames);
            for (int i = 0; i < frames; i++) {
                if (i > 0) {
                    ASSERT_EQ(mvtest::step(m), 1);
                }
                const auto *p = static_cast<const uint8_t *>(m->pixels);
                std::vector<uint8_t> ours(size_t(w) * h * 3);
                for (size_t k = 0; k < size_t(w) * h; k++) {
                    const RGBQUAD &c = m->bmpInfo->bmiColors[p[k]];
                    ours[3 * k] = c.rgbRed, ours[3 * k + 1] = c.rgbGreen, ours[3 * k + 2] = c.rgbBlue;
                }
                size_t differ = 0;
                for (size_t k = 0; k < ours.size(); k++)
                    if (pictures.empty() || (k / 3) % size_t(w) != size_t(w - 1))
                        differ += ours[k] != theirs[size_t(i)][k];
                if (!pictures.empty())
                    EXPECT_TRUE(std::equal(p, p + size_t(w) * h, pictures[size_t(i)].begin()))
                        << (mode ? "streamed" : "preloaded") << " frame " << i;
                EXPECT_EQ(differ, 0u) << (mode ? "streamed" : "preloaded") << " frame " << i;
            }
            KillMovie(m);
        }
    }
};

TEST_F(Ffmpeg, FlcOfEveryChunkKind)
{
    const int w = 48, h = 30;
    movie::FlcWriter flc(w, h, 40);
    movie::Palette one = mvtest::palette(0), two = one, three = one;
    for (int i = 10; i < 90; i++)
        two[3 * size_t(i) + 2] = uint8_t(255 - i);
    for (int i = 150; i < 256; i += 2)
        three[3 * size_t(i)] = uint8_t(i / 3);
    auto pic = [&](int i) { return mvtest::picture(w, h, i); };
    ASSERT_TRUE(flc.add_frame(pic(0), &one, Code::ByteRun));
    ASSERT_TRUE(flc.add_frame(pic(1), nullptr, Code::DeltaFlc));
    ASSERT_TRUE(flc.add_frame(pic(2), &two, Code::DeltaFli));
    flc.add_repeat();
    ASSERT_TRUE(flc.add_frame(pic(3), &three, Code::Copy, true));
    ASSERT_TRUE(flc.add_frame(std::vector<uint8_t>(size_t(w) * h, 0), nullptr, Code::Black));
    flc.add_extra_chunk(movie::flc::kStamp, std::vector<uint8_t>(30, 9));
    ASSERT_TRUE(flc.add_frame(pic(4), &one, Code::ByteRun));
    ASSERT_TRUE(flc.add_frame(pic(5), nullptr, Code::Auto));
    ASSERT_TRUE(flc.add_frame(pic(7), &two, Code::DeltaFlc));
    ASSERT_TRUE(flc.add_frame(pic(7), nullptr, Code::Auto));  // nothing changed: a repeat
    compare(flc, w, h, 10);
}

TEST_F(Ffmpeg, FliWithSixBitPalettes)
{
    const int w = 40, h = 20;
    movie::FlcWriter fli(w, h, 5, true);
    movie::Palette one = mvtest::palette(5), two = mvtest::palette(9);
    ASSERT_TRUE(fli.add_frame(mvtest::picture(w, h, 0), &one, Code::ByteRun, true));
    ASSERT_TRUE(fli.add_frame(mvtest::picture(w, h, 1), nullptr, Code::DeltaFli));
    ASSERT_TRUE(fli.add_frame(mvtest::picture(w, h, 2), &two, Code::Auto, true));
    ASSERT_TRUE(fli.add_frame(mvtest::picture(w, h, 3), nullptr, Code::Copy));
    compare(fli, w, h, 4);
}

// Other tools' odd-width deltas: last-pixel words, rows changed only there, runs of repeated words.
TEST_F(Ffmpeg, FlcOfOddWidthWithLastPixelWords)
{
    const int w = 321, h = 201;
    movie::FlcWriter flc(w, h, 40);
    movie::Palette colours = mvtest::palette(3);
    std::vector<uint8_t> pic(size_t(w) * h, 0);
    std::vector<std::vector<uint8_t>> pictures;
    for (int i = 0; i < 5; i++) {
        std::vector<uint8_t> now = pic;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                uint8_t &v = now[size_t(y) * w + x];
                if (x == w - 1 && (y + i) % 3 != 0)
                    v = uint8_t(y * 5 + i * 40 + 1);  // the last column alone, on most rows
                else if (y % 4 == i % 4 && x < w - 1)
                    v = uint8_t((x / 7 + y + i) % 5 == 0 ? x * 3 + i : 90 + i);  // runs and changes
            }
        Chunks chunks;
        if (i == 0)
            chunks.push_back({movie::flc::kColor256, movie::flc::palette(nullptr, colours, false)});
        chunks.push_back({movie::flc::kDeltaFlc, delta_flc_odd(pic, now, w, h)});
        flc.add_raw(chunks);
        pic = now;
        pictures.push_back(now);
    }
    compare(flc, w, h, 5, pictures);
}

// Rows of 320 packets at 640 pixels, their count byte wrapped to 64 (and DELTA_FLI after them).
TEST_F(Ffmpeg, ByteRunRowsOfMoreThan255Packets)
{
    for (bool fli : {false, true}) {
        SCOPED_TRACE(fli ? "FLI" : "FLC");
        const int w = 640, h = 48;
        movie::FlcWriter flc(w, h, 5, fli);
        movie::Palette colours = mvtest::palette(7);
        std::vector<uint8_t> pic(size_t(w) * h);
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                pic[size_t(y) * w + x] = uint8_t(x % 4 == 3 ? x / 4 + y : 7 + y % 9);
        flc.add_raw({{fli ? movie::flc::kColor64 : movie::flc::kColor256,
                      movie::flc::palette(nullptr, colours, fli)},
                     {movie::flc::kByteRun, byte_run_wrapped(pic, w, h)}});
        for (int y = 0; y < h; y += 3)
            pic[size_t(y) * w + size_t(y) * 11] = 250;
        flc.add_raw({{movie::flc::kByteRun, byte_run_wrapped(pic, w, h)}});
        compare(flc, w, h, 2);
    }
}

}  // namespace
