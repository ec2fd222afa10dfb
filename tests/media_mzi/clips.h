// Small generated movies for the .mzi tests: frames of one colour each (or given pixels), written with
// the project's writer.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "mzi/mziwriter.h"

namespace mzitest {

// A frame of width x height pixels of one colour in `format`.
inline std::vector<uint8_t> solid(uint32_t format, int width, int height, uint8_t r, uint8_t g, uint8_t b,
                                  uint8_t a = 255)
{
    const int bytes = mziw::pixel_bytes(format);
    std::vector<uint8_t> px(size_t(width) * height * bytes);
    for (size_t i = 0; i < px.size(); i += bytes)
        mziw::put_pixel(format, r, g, b, a, px.data() + i);
    return px;
}

// Frame n has red level n * 40 (format 5 keeps it exact in 5 bits: multiples of 8).
inline mziw::Writer numbered(int frames, uint16_t fps = 25, uint32_t format = 5, int width = 4, int height = 2)
{
    mziw::Options o;
    o.fps = fps;
    mziw::Writer w(o);
    for (int n = 0; n < frames; n++)
        w.add_frame(format, uint16_t(width), uint16_t(height), solid(format, width, height, uint8_t(n * 40), 16, 32));
    return w;
}

// The test process's own folder for its movies, removed when the process ends. Test processes run side by
// side (every case is a process of its own, and other builds run the same tests): a name shared by all
// of them let one case play the movie another had just written under it.
inline const std::string &movie_folder()
{
    struct Folder {
        std::string path;
        Folder()
        {
            std::string pattern = ::testing::TempDir() + "mzitest_XXXXXX";
            path = mkdtemp(pattern.data()) != nullptr ? pattern + "/" : ::testing::TempDir();
        }
        ~Folder()
        {
            std::error_code ec;
            if (path != ::testing::TempDir())
                std::filesystem::remove_all(path, ec);
        }
    };
    static Folder folder;
    return folder.path;
}

// Writes the movie into the test's temporary folder; answers its path.
inline std::string save(const mziw::Writer &w, const std::string &name)
{
    std::string path = movie_folder() + name;
    std::string error;
    EXPECT_TRUE(w.write(path, error)) << error;
    return path;
}

inline std::string save_bytes(const std::vector<uint8_t> &bytes, const std::string &name)
{
    std::string path = movie_folder() + name;
    FILE *f = fopen(path.c_str(), "wb");
    if (f != nullptr) {
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
    return path;
}

}  // namespace mzitest
