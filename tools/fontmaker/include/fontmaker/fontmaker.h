// The font maker: glyphs of a TrueType font rasterised (at build time, with FreeType) into glyph
// pictures and font records, packed as a font pack "<name>.fnp" holding "<name>.fnb" and one stored
// pixel map a font. Texts are Windows-1252 bytes; each font covers the codes 32 to 255.
//
// Glyph cells are the font's full line height, so a glyph drawn at the pen's y sits on the line's
// baseline. The blank (code 32) is a cell as wide as its advance holding only the background colour.
#ifndef FONTMAKER_FONTMAKER_H
#define FONTMAKER_FONTMAKER_H

#include <stdint.h>

#include <string>
#include <vector>

#include "fpk/fpkformat.h"

namespace fontmaker {

constexpr int kFirstCode = 32;
constexpr int kGlyphs = 224;
constexpr size_t kRecordSize = 1912;
constexpr size_t kNameSize = 64;
constexpr uint32_t kMulticolour = 1;

// Pixel types a glyph picture can be made in.
constexpr uint32_t kRgb565 = 5;     // opaque glyphs on 0 (the key colour)
constexpr uint32_t kRgba8888 = 8;
constexpr uint32_t kRgb565Alpha8 = 10;
constexpr uint32_t kArgb4444 = 18;  // the default: 16 bits like the screens, with coverage as alpha

extern const char *const kDefaultTtf;

struct Glyph {
    int16_t x = 0, y = 0;
    uint8_t width = 0, height = 0;
    int8_t before = 0, after = 0;
};

// A glyph picture, rows top first, each row exactly width × bytes of the type (the width is a
// multiple of 4, so the rows are the library's own row layout).
struct Sheet {
    uint32_t width = 0, height = 0, type = kArgb4444;
    std::vector<uint8_t> rows;
};

struct Font {
    std::string picture;  // glyph picture name, without extension
    int32_t spacing = 0, linespace = 0, height = 0;
    uint32_t flags = 0;
    Glyph glyphs[kGlyphs];
};

struct Style {
    std::string ttf = kDefaultTtf;
    int size = 16;                 // pixels per em
    uint32_t colour = 0xFFFFFF;    // 0xRRGGBB
    bool gradient = false;         // from colour at the top of the line to colour2 at the bottom
    uint32_t colour2 = 0;
    bool shadow = false;           // one pixel right and down
    uint32_t shadow_colour = 0;
    int spacing = 0, linespace = 0;
    uint32_t type = kArgb4444;
    std::string picture;           // empty: made from the size
};

// The character of a Windows-1252 code; 0 for the five codes that have none.
uint32_t unicode_of(uint8_t code);

// Bytes of one pixel of a sheet type; 0 for types the maker does not make.
uint32_t pixel_bytes(uint32_t type);

bool rasterise(const Style &style, Font &font, Sheet &sheet, std::string &error);

// The record file: one record a font, the last one's "next" word 0 and the others' 1.
std::vector<uint8_t> records(const std::vector<Font> &fonts);

// The pack entries of a font set: "<set>.fnb" and "<picture>.pix" of each font.
bool pack_entries(const std::string &set, const std::vector<Font> &fonts, const std::vector<Sheet> &sheets,
                  std::vector<fpk::Entry> &entries, std::string &error);

// Rasterises each style and writes the pack at `path` (its file name without extension names the set).
bool make_font_pack(const std::string &path, const std::vector<Style> &styles, std::string &error);

// Reads "size=16,colour=ffcc00,shadow=000000,..." into a style (keys: ttf size colour gradient
// shadow spacing linespace type picture; type is 565, 4444, 10 or rgba).
bool parse_style(const std::string &text, Style &style, std::string &error);

}  // namespace fontmaker

#endif
