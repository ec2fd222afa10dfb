// moviedump: every frame of a movie as a PNG picture with the movie's colours.
#include <png.h>
#include <stdio.h>
#include <sys/wait.h>

#include "movie_support.h"

namespace {

using Code = movie::FlcWriter::Code;

const std::string tool = std::string(VOK_BIN_DIR) + "/moviedump";

int run(const std::string &args)
{
    int status = system((tool + " " + args + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool read_png(const std::string &path, int &w, int &h, std::vector<uint8_t> &rgb)
{
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str()))
        return false;
    img.format = PNG_FORMAT_RGB;
    rgb.resize(PNG_IMAGE_SIZE(img));
    w = int(img.width);
    h = int(img.height);
    return png_image_finish_read(&img, nullptr, rgb.data(), 0, nullptr) != 0;
}

using MovieDump = mvtest::Scratch;

TEST_F(MovieDump, WritesEveryFrameWithItsColours)
{
    const int w = 14, h = 9;
    movie::FlcWriter flc(w, h, 40);
    const movie::Palette one = mvtest::palette(2), two = mvtest::palette(7);
    std::vector<std::vector<uint8_t>> expected;
    for (int i = 0; i < 3; i++) {
        ASSERT_TRUE(flc.add_frame(mvtest::picture(w, h, i), i == 1 ? &two : &one, Code::Auto));
        std::vector<uint8_t> rgb;
        for (uint8_t v : flc.picture())
            for (int c = 0; c < 3; c++)
                rgb.push_back(flc.colours()[3 * size_t(v) + size_t(c)]);
        expected.push_back(rgb);
    }
    std::string error;
    ASSERT_TRUE(flc.write(path("anim.flc"), error));

    // A 32-bit TMZ: blue, green, red, spare.
    movie::TmzWriter tmz(3, 2, 32, 20);
    std::vector<uint8_t> frame = mvtest::raw_frame(24, 0), tmz_rgb;
    tmz.add_frame(frame);
    for (size_t k = 0; k < 24; k += 4)
        tmz_rgb.insert(tmz_rgb.end(), {frame[k + 2], frame[k + 1], frame[k]});
    ASSERT_TRUE(tmz.write(path("button.tmz"), error));

    for (const char *mode : {"", "--stream "}) {
        std::string out = path(std::string("out") + (*mode ? "s" : "p"));
        ASSERT_EQ(run(mode + path("anim.flc") + " " + out), 0);
        for (int i = 0; i < 3; i++) {
            int pw = 0, ph = 0;
            std::vector<uint8_t> rgb;
            ASSERT_TRUE(read_png(out + "/frame000" + std::to_string(i) + ".png", pw, ph, rgb)) << i;
            EXPECT_EQ(pw, w);
            EXPECT_EQ(ph, h);
            EXPECT_EQ(rgb, expected[size_t(i)]) << mode << "frame " << i;
        }
        EXPECT_FALSE(std::filesystem::exists(out + "/frame0003.png"));

        ASSERT_EQ(run(mode + path("button.tmz") + " " + out + "/tmz"), 0);
        int pw = 0, ph = 0;
        std::vector<uint8_t> rgb;
        ASSERT_TRUE(read_png(out + "/tmz/frame0000.png", pw, ph, rgb));
        EXPECT_EQ(rgb, tmz_rgb);
    }
}

TEST_F(MovieDump, RefusesWhatItCannotPlay)
{
    pxtest::write_text(path("not.flc"), std::string(200, 'x'));
    EXPECT_EQ(run(path("not.flc") + " " + path("out")), 1);
    EXPECT_FALSE(std::filesystem::exists(path("out/frame0000.png")));
    EXPECT_EQ(run(path("missing.flc") + " " + path("out")), 1);
    EXPECT_EQ(run(""), 2);
    EXPECT_EQ(run("--stream only.flc"), 2);
}

// Runs moviedump with its address space held to 1 GB: `ulimit -v`, or where AddressSanitizer's shadow
// memory takes more than that of address space alone, its own limit on what it maps. ThreadSanitizer
// counts its own tables against such a limit: there the run goes without one.
int run_in_1gb(const std::string &args)
{
    auto links = [](const char *lib) { return system(("ldd " + tool + " | grep -q " + lib).c_str()) == 0; };
    const std::string limit = links("libasan") ? "ASAN_OPTIONS=mmap_limit_mb=1024:allocator_may_return_null=1 "
                              : links("libtsan") ? ""
                                                 : "ulimit -v 1048576; ";
    int status = system(("(" + limit + tool + " " + args + ") >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void put16(std::vector<uint8_t> &b, size_t at, unsigned v)
{
    b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8);
}

// A small file never asks for more memory than a bounded amount: its header's size is capped, its frame
// count is held to the frames the file can hold, and a preloaded movie to what preloading may take.
TEST_F(MovieDump, ASmallFileTakesBoundedMemory)
{
    movie::FlcWriter flc(8, 4, 10);
    for (int i = 0; i < 40; i++)
        ASSERT_TRUE(flc.add_frame(mvtest::picture(8, 4, i % 2), nullptr, Code::ByteRun));
    std::vector<uint8_t> b = flc.bytes();
    ASSERT_LT(b.size(), 4096u);
    auto write_with = [&](const char *name, unsigned w, unsigned h, unsigned frames) {
        std::vector<uint8_t> v = b;
        put16(v, 8, w), put16(v, 10, h), put16(v, 6, frames);
        pxtest::write_text(path(name), std::string(v.begin(), v.end()));
    };
    write_with("huge.flc", 65535, 32767, 40);      // 2 GB a frame
    write_with("wide.flc", 4097, 16, 40);          // past the side cap
    write_with("many.flc", 640, 480, 65535);       // more frames than the file holds
    write_with("large.flc", 4096, 4096, 40);       // 640 MB preloaded; two frames streamed
    for (const char *mode : {"", "--stream "}) {
        SCOPED_TRACE(mode);
        for (const char *name : {"huge.flc", "wide.flc", "many.flc"})
            EXPECT_EQ(run_in_1gb(mode + path(name) + " " + path("out")), 1) << name;
    }
    EXPECT_EQ(run_in_1gb(path("large.flc") + " " + path("out")), 1);
    EXPECT_FALSE(std::filesystem::exists(path("out/frame0000.png")));

    // A movie of the largest size plays, in both modes.
    movie::FlcWriter black(8, 4, 10);
    for (int i = 0; i < 2; i++)
        ASSERT_TRUE(black.add_frame(std::vector<uint8_t>(32, 0), nullptr, Code::Black));
    b = black.bytes();
    write_with("largest.flc", 4096, 4096, 2);
    for (const char *mode : {"", "--stream "}) {
        std::string out = path(std::string("largest") + (*mode ? "s" : "p"));
        EXPECT_EQ(run_in_1gb(mode + path("largest.flc") + " " + out), 0) << mode;
        EXPECT_TRUE(std::filesystem::exists(out + "/frame0001.png")) << mode;
    }
}

}  // namespace
