// Helpers of the end-to-end runs: a file's bytes, and the run's PNG captures read back for pixel checks.
#pragma once

#include <png.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace capture {

inline std::string slurp(const std::filesystem::path &p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The run's script with its captures sent into `dir`, a fresh folder of the run's own (the game works
// in its own folder meanwhile). Empty when the script cannot be read.
inline std::string script_into(const std::filesystem::path &script, const std::filesystem::path &dir)
{
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string text = slurp(script);
    return std::regex_replace(text, std::regex(" capture "), " capture " + dir.string() + "/");
}

struct Shot {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    const uint8_t *at(int x, int y) const { return &rgb[(size_t(y) * w + x) * 3]; }
};

inline bool load(const std::filesystem::path &path, Shot &s)
{
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str()))
        return false;
    img.format = PNG_FORMAT_RGB;
    s.w = int(img.width);
    s.h = int(img.height);
    s.rgb.resize(PNG_IMAGE_SIZE(img));
    return png_image_finish_read(&img, nullptr, s.rgb.data(), 0, nullptr) != 0;
}

// Pixels of a rectangle for which `test` holds.
template <class F>
int count(const Shot &s, int x0, int y0, int x1, int y1, F test)
{
    int n = 0;
    for (int y = y0; y < y1 && y < s.h; y++)
        for (int x = x0; x < x1 && x < s.w; x++)
            n += test(s.at(x, y));
    return n;
}

}  // namespace capture
