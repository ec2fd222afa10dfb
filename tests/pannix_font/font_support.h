// Font fixtures: font packs written with the font maker's record and pack writers, from small glyph
// pictures drawn here, so every metric of a test is known.
#pragma once

#include <string>
#include <vector>

#include "brondel/brpixmap.h"
#include "fontmaker/fontmaker.h"
#include "pannix/pannix.h"
#include "support.h"

namespace fonttest {

constexpr uint32_t kInk = 0xF00F;  // ARGB_4444: opaque blue
constexpr int kSheetW = 64;

// A font whose glyphs are all 5 wide, 0 before and 1 after, at an empty part of the picture, but for
// "a" (x 0), "b" (x 8), "c" (x 16, width 1, after 0), "d" (x 24, width 14, after 0).
inline fontmaker::Font font(int height, int spacing = 2, int linespace = 3, const std::string &picture = "g_main")
{
    fontmaker::Font f;
    f.picture = picture;
    f.height = height;
    f.spacing = spacing;
    f.linespace = linespace;
    for (auto &g : f.glyphs)
        g = fontmaker::Glyph{56, 0, 5, uint8_t(height), 0, 1};
    auto set = [&](char c, int x, int w, int after) {
        f.glyphs[uint8_t(c) - 32] = fontmaker::Glyph{int16_t(x), 0, uint8_t(w), uint8_t(height), 0, int8_t(after)};
    };
    set('a', 0, 5, 1);
    set('b', 8, 5, 1);
    set('c', 16, 1, 0);
    set('d', 24, 14, 0);
    set(' ', 40, 5, 1);
    return f;
}

// The glyph picture of those fonts: ink on every other pixel of "a" and "b", a full "c" column.
inline fontmaker::Sheet sheet(int height)
{
    fontmaker::Sheet s;
    s.width = kSheetW;
    s.height = uint32_t(height);
    s.type = fontmaker::kArgb4444;
    s.rows.assign(size_t(kSheetW) * height * 2, 0);
    auto ink = [&](int x, int y) {
        s.rows[(size_t(y) * kSheetW + x) * 2] = uint8_t(kInk);
        s.rows[(size_t(y) * kSheetW + x) * 2 + 1] = uint8_t(kInk >> 8);
    };
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < 5; x++)
            if ((x + y) % 2 == 0) {
                ink(x, y);
                ink(8 + x, y);
            }
        ink(16, y);
    }
    return s;
}

// Writes "<folder>/<name>.fnp" from fonts (their pictures made by `sheet`) or from entries as given.
inline void write_pack(const std::string &path, const std::vector<fpk::Entry> &entries)
{
    pxtest::write_bytes(path, pxtest::pack_bytes(entries));
}

inline void write_set(const std::string &folder, const std::string &name, const std::vector<fontmaker::Font> &fonts)
{
    std::vector<fontmaker::Sheet> sheets;
    std::vector<fontmaker::Font> named = fonts;
    for (size_t i = 0; i < fonts.size(); i++) {
        named[i].picture = fonts[i].picture + "_" + std::to_string(i);
        sheets.push_back(sheet(fonts[i].height));
    }
    std::vector<fpk::Entry> entries;
    std::string error;
    ASSERT_TRUE(fontmaker::pack_entries(name, named, sheets, entries, error)) << error;
    write_pack(folder + "/" + name + ".fnp", entries);
}

// A scratch folder holding one loaded set of one font of height 8 (spacing 2, line spacing 3).
class OneFont : public pxtest::Scratch {
protected:
    void SetUp() override
    {
        Scratch::SetUp();
        write_set(dir.string(), "main", {font(8)});
        set = PxLoadFontset(path("main").c_str(), 0, nullptr);
        ASSERT_NE(set, nullptr) << GetLastMsgError();
        PxSetTab(16);
    }
    void TearDown() override
    {
        PxKillAllFontset(set);
        Scratch::TearDown();
    }
    PXFONTSET *set = nullptr;
};

}  // namespace fonttest
