// Movies of every chunk kind the writer makes, decoded by ffmpeg and by the player: the same
// colours at every pixel of every frame, preloaded and streamed.
#include <stdio.h>
#include <stdlib.h>

#include "movie_support.h"

namespace {

using Code = movie::FlcWriter::Code;

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

    // The player's frames in both modes, turned into RGB through the colour table.
    void compare(const movie::FlcWriter &flc, int w, int h, int frames)
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
                    differ += ours[k] != theirs[size_t(i)][k];
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

}  // namespace
