// Rasterises Windows-1252 glyphs with FreeType into glyph pictures and font records.
#include "fontmaker/fontmaker.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace fontmaker {

const char *const kDefaultTtf = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

namespace {

constexpr uint32_t kSheetWidth = 512;

// Codes 0x80 to 0x9F; 0 where the code page has no character.
const uint16_t kHighControls[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

struct Rgba {
    float r = 0, g = 0, b = 0, a = 0;  // straight colour, 0..255; alpha 0..1
};

Rgba colour_of(uint32_t rgb, float alpha)
{
    return Rgba{float(rgb >> 16 & 255), float(rgb >> 8 & 255), float(rgb & 255), alpha};
}

// `top` over `under`.
Rgba over(const Rgba &top, const Rgba &under)
{
    Rgba out;
    out.a = top.a + under.a * (1 - top.a);
    if (out.a <= 0)
        return Rgba{};
    out.r = (top.r * top.a + under.r * under.a * (1 - top.a)) / out.a;
    out.g = (top.g * top.a + under.g * under.a * (1 - top.a)) / out.a;
    out.b = (top.b * top.a + under.b * under.a * (1 - top.a)) / out.a;
    return out;
}

uint32_t lerp(uint32_t a, uint32_t b, float t)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        float v = float(a >> shift & 255) * (1 - t) + float(b >> shift & 255) * t;
        out |= uint32_t(std::lround(v)) << shift;
    }
    return out;
}

uint8_t byte(float v)
{
    return uint8_t(std::clamp(std::lround(v), 0L, 255L));
}

// One pixel in the sheet's type; nothing covered is 0, so that key-0 copies leave it out.
void store(const Rgba &c, uint32_t type, uint8_t *p)
{
    const uint8_t a = byte(c.a * 255), r = byte(c.r), g = byte(c.g), b = byte(c.b);
    uint32_t v = 0;
    switch (type) {
    case kArgb4444:
        if (a >> 4 != 0)
            v = uint32_t(a >> 4) << 12 | uint32_t(r >> 4) << 8 | uint32_t(g >> 4) << 4 | uint32_t(b >> 4);
        p[0] = uint8_t(v), p[1] = uint8_t(v >> 8);
        break;
    case kRgb565: {
        // Opaque: the colour as seen over black.
        const float k = c.a;
        if (a != 0)
            v = uint32_t(byte(r * k) >> 3) << 11 | uint32_t(byte(g * k) >> 2) << 5 | uint32_t(byte(b * k) >> 3);
        p[0] = uint8_t(v), p[1] = uint8_t(v >> 8);
        break;
    }
    case kRgb565Alpha8:
        if (a != 0)
            v = uint32_t(r >> 3) << 11 | uint32_t(g >> 2) << 5 | uint32_t(b >> 3);
        p[0] = v != 0 || a != 0 ? a : 0, p[1] = uint8_t(v), p[2] = uint8_t(v >> 8);
        break;
    default:  // RGBA_8888: blue, green, red, alpha
        if (a != 0)
            p[0] = b, p[1] = g, p[2] = r, p[3] = a;
        else
            p[0] = p[1] = p[2] = p[3] = 0;
        break;
    }
}

struct FtLibrary {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    ~FtLibrary()
    {
        if (face != nullptr)
            FT_Done_Face(face);
        if (lib != nullptr)
            FT_Done_FreeType(lib);
    }
};

// A glyph's coverage before placing: bitmap, its left bearing and top above the baseline, advance.
struct Raster {
    int width = 0, rows = 0, left = 0, top = 0, advance = 0;
    std::vector<uint8_t> coverage;
};

int8_t clamp8(int v)
{
    return int8_t(std::clamp(v, -128, 127));
}

void put32(std::vector<uint8_t> &out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        out[at + i] = uint8_t(v >> (8 * i));
}

}  // namespace

uint32_t unicode_of(uint8_t code)
{
    if (code >= 0x80 && code <= 0x9F)
        return kHighControls[code - 0x80];
    return code;
}

uint32_t pixel_bytes(uint32_t type)
{
    switch (type) {
    case kRgb565:
    case kArgb4444:
        return 2;
    case kRgb565Alpha8:
        return 3;
    case kRgba8888:
        return 4;
    default:
        return 0;
    }
}

bool rasterise(const Style &style, Font &font, Sheet &sheet, std::string &error)
{
    const uint32_t bytes = pixel_bytes(style.type);
    if (bytes == 0) {
        error = "unknown glyph picture type " + std::to_string(style.type);
        return false;
    }
    if (style.size < 4 || style.size > 200) {
        error = "font size " + std::to_string(style.size) + " outside 4 to 200";
        return false;
    }
    FtLibrary ft;
    if (FT_Init_FreeType(&ft.lib) != 0) {
        error = "FreeType did not start";
        return false;
    }
    if (FT_New_Face(ft.lib, style.ttf.c_str(), 0, &ft.face) != 0) {
        error = "cannot read the font '" + style.ttf + "'";
        return false;
    }
    if (FT_Set_Pixel_Sizes(ft.face, 0, FT_UInt(style.size)) != 0) {
        error = "the font '" + style.ttf + "' has no size " + std::to_string(style.size);
        return false;
    }
    const int ascent = int((ft.face->size->metrics.ascender + 63) >> 6);
    const int descent = int((-ft.face->size->metrics.descender + 63) >> 6);
    const int shadow = style.shadow ? 1 : 0;
    const int height = ascent + descent + shadow;
    if (height > 255) {
        error = "glyph cells higher than 255 pixels";
        return false;
    }

    std::vector<Raster> rasters(kGlyphs);
    for (int i = 0; i < kGlyphs; i++) {
        const uint32_t uc = unicode_of(uint8_t(kFirstCode + i));
        Raster &r = rasters[i];
        if (uc == 0)
            continue;
        if (FT_Load_Char(ft.face, uc, FT_LOAD_RENDER) != 0)
            continue;
        const FT_GlyphSlot slot = ft.face->glyph;
        const FT_Bitmap &bm = slot->bitmap;
        r.advance = int((slot->advance.x + 32) >> 6);
        r.left = slot->bitmap_left;
        r.top = slot->bitmap_top;
        if (bm.pixel_mode != FT_PIXEL_MODE_GRAY || bm.width == 0 || bm.rows == 0)
            continue;
        r.width = int(bm.width);
        r.rows = int(bm.rows);
        r.coverage.resize(size_t(r.width) * r.rows);
        for (int y = 0; y < r.rows; y++)
            for (int x = 0; x < r.width; x++)
                r.coverage[size_t(y) * r.width + x] = bm.buffer[y * bm.pitch + x];
    }

    // Cells left to right in rows of the sheet, one pixel apart.
    struct Place {
        int x, y, w;
    };
    std::vector<Place> places(kGlyphs);
    int pen_x = 0, pen_y = 0;
    for (int i = 0; i < kGlyphs; i++) {
        const Raster &r = rasters[i];
        int w = i == 0 ? std::max(r.advance, 1) : (r.width > 0 ? r.width + shadow : 0);
        if (w > 255) {
            error = "glyph wider than 255 pixels";
            return false;
        }
        if (pen_x + w > int(kSheetWidth)) {
            pen_x = 0;
            pen_y += height + 1;
        }
        places[i] = Place{pen_x, pen_y, w};
        pen_x += w + (w > 0 ? 1 : 0);
    }
    sheet.type = style.type;
    sheet.width = kSheetWidth;
    sheet.height = uint32_t(pen_y + height);
    if (sheet.height > 0x7FFF) {
        error = "glyph picture too high";
        return false;
    }
    sheet.rows.assign(size_t(sheet.width) * sheet.height * bytes, 0);

    font = Font{};
    font.picture = style.picture.empty() ? "g_" + std::to_string(style.size) : style.picture;
    font.spacing = style.spacing;
    font.linespace = style.linespace;
    font.height = height;
    font.flags = style.gradient || style.shadow ? kMulticolour : 0;

    std::vector<Rgba> cell;
    for (int i = 0; i < kGlyphs; i++) {
        const Raster &r = rasters[i];
        const Place &pl = places[i];
        Glyph &g = font.glyphs[i];
        g.x = int16_t(pl.x);
        g.y = int16_t(pl.y);
        g.width = uint8_t(pl.w);
        g.height = uint8_t(pl.w > 0 ? height : 0);
        if (i == 0) {
            g.before = 0;
            g.after = 0;
            continue;
        }
        if (pl.w == 0) {
            g.after = clamp8(r.advance);
            continue;
        }
        g.before = clamp8(r.left);
        g.after = clamp8(r.advance - r.left - r.width);
        // Coverage placed on the baseline, the shadow under it.
        cell.assign(size_t(pl.w) * height, Rgba{});
        auto coverage_at = [&](int cx, int cy) -> float {
            const int bx = cx, by = cy - (ascent - r.top);
            if (bx < 0 || by < 0 || bx >= r.width || by >= r.rows)
                return 0.f;
            return float(r.coverage[size_t(by) * r.width + bx]) / 255.f;
        };
        for (int cy = 0; cy < height; cy++)
            for (int cx = 0; cx < pl.w; cx++) {
                const float t = height > 1 ? float(cy) / float(height - 1) : 0.f;
                const uint32_t rgb = style.gradient ? lerp(style.colour, style.colour2, t) : style.colour;
                Rgba px = colour_of(rgb, coverage_at(cx, cy));
                if (shadow)
                    px = over(px, colour_of(style.shadow_colour, coverage_at(cx - 1, cy - 1)));
                cell[size_t(cy) * pl.w + cx] = px;
            }
        for (int cy = 0; cy < height; cy++)
            for (int cx = 0; cx < pl.w; cx++) {
                const size_t at = (size_t(pl.y + cy) * sheet.width + size_t(pl.x + cx)) * bytes;
                store(cell[size_t(cy) * pl.w + cx], sheet.type, &sheet.rows[at]);
            }
    }
    return true;
}

std::vector<uint8_t> records(const std::vector<Font> &fonts)
{
    std::vector<uint8_t> out(fonts.size() * kRecordSize, 0);
    for (size_t f = 0; f < fonts.size(); f++) {
        const Font &font = fonts[f];
        const size_t at = f * kRecordSize;
        const size_t name_len = std::min(font.picture.size(), kNameSize - 1);
        std::copy(font.picture.begin(), font.picture.begin() + ptrdiff_t(name_len), out.begin() + ptrdiff_t(at));
        const size_t image = at + kNameSize;
        put32(out, image, f + 1 < fonts.size() ? 1 : 0);
        put32(out, image + 8, uint32_t(font.spacing));
        put32(out, image + 12, uint32_t(font.linespace));
        put32(out, image + 16, uint32_t(font.height));
        put32(out, image + 20, font.flags);
        for (int i = 0; i < kGlyphs; i++) {
            const Glyph &g = font.glyphs[i];
            uint8_t *p = &out[image + 56 + size_t(i) * 8];
            p[0] = uint8_t(g.x), p[1] = uint8_t(uint16_t(g.x) >> 8);
            p[2] = uint8_t(g.y), p[3] = uint8_t(uint16_t(g.y) >> 8);
            p[4] = g.width, p[5] = g.height;
            p[6] = uint8_t(g.before), p[7] = uint8_t(g.after);
        }
    }
    return out;
}

bool pack_entries(const std::string &set, const std::vector<Font> &fonts, const std::vector<Sheet> &sheets,
                  std::vector<fpk::Entry> &entries, std::string &error)
{
    if (fonts.empty() || fonts.size() != sheets.size()) {
        error = "a font set needs one glyph picture for each of its fonts";
        return false;
    }
    entries.push_back(fpk::Entry{set + ".fnb", records(fonts), 0});
    for (size_t i = 0; i < fonts.size(); i++) {
        if (fonts[i].picture.empty() || fonts[i].picture.size() >= kNameSize) {
            error = "glyph picture names are 1 to 63 characters";
            return false;
        }
        const Sheet &s = sheets[i];
        entries.push_back(fpk::Entry{fonts[i].picture + ".pix", fpk::stored_pixmap(s.width, s.height, s.type, s.rows),
                                     fpk::kPixmapFlag});
    }
    return true;
}

bool make_font_pack(const std::string &path, const std::vector<Style> &styles, std::string &error)
{
    std::vector<Font> fonts(styles.size());
    std::vector<Sheet> sheets(styles.size());
    for (size_t i = 0; i < styles.size(); i++) {
        Style style = styles[i];
        if (style.picture.empty())
            style.picture = "g_" + std::to_string(i) + "_" + std::to_string(style.size);
        if (!rasterise(style, fonts[i], sheets[i], error))
            return false;
    }
    size_t cut = path.find_last_of("/\\");
    std::string set = cut == std::string::npos ? path : path.substr(cut + 1);
    size_t dot = set.rfind('.');
    if (dot != std::string::npos)
        set.erase(dot);
    std::vector<fpk::Entry> entries;
    std::vector<uint8_t> bytes;
    if (!pack_entries(set, fonts, sheets, entries, error) || !fpk::build(entries, bytes, error))
        return false;
    return fpk::write_file(path, bytes, error);
}

bool parse_style(const std::string &text, Style &style, std::string &error)
{
    size_t at = 0;
    while (at <= text.size() && !text.empty()) {
        size_t end = text.find(',', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string item = text.substr(at, end - at);
        at = end + 1;
        const size_t eq = item.find('=');
        if (eq == std::string::npos) {
            error = "'" + item + "' is not key=value";
            return false;
        }
        const std::string key = item.substr(0, eq), value = item.substr(eq + 1);
        char *rest = nullptr;
        auto number = [&](int base, long lo, long hi, long &out) {
            errno = 0;
            out = strtol(value.c_str(), &rest, base);
            if (value.empty() || *rest != '\0' || errno != 0 || out < lo || out > hi) {
                error = "bad value '" + value + "' for " + key;
                return false;
            }
            return true;
        };
        long v = 0;
        if (key == "ttf") {
            style.ttf = value;
        } else if (key == "picture") {
            style.picture = value;
        } else if (key == "size") {
            if (!number(10, 4, 200, v))
                return false;
            style.size = int(v);
        } else if (key == "spacing" || key == "linespace") {
            if (!number(10, -100, 100, v))
                return false;
            (key == "spacing" ? style.spacing : style.linespace) = int(v);
        } else if (key == "colour" || key == "gradient" || key == "shadow") {
            if (value.size() != 6 || !number(16, 0, 0xFFFFFF, v))
                return false;
            if (key == "colour") {
                style.colour = uint32_t(v);
            } else if (key == "gradient") {
                style.gradient = true;
                style.colour2 = uint32_t(v);
            } else {
                style.shadow = true;
                style.shadow_colour = uint32_t(v);
            }
        } else if (key == "type") {
            if (value == "565")
                style.type = kRgb565;
            else if (value == "4444")
                style.type = kArgb4444;
            else if (value == "10")
                style.type = kRgb565Alpha8;
            else if (value == "rgba")
                style.type = kRgba8888;
            else {
                error = "type is 565, 4444, 10 or rgba, not '" + value + "'";
                return false;
            }
        } else {
            error = "unknown key '" + key + "'";
            return false;
        }
        if (end == text.size())
            break;
    }
    return true;
}

}  // namespace fontmaker
