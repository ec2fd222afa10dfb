// TGA and BMP loaders on small hand-made files: row orders, padding, colour maps, run-length
// packets and escapes that try to leave the row or the picture, and every refusal.
#include <string.h>

#include <initializer_list>

#include "brondel/brpmfile.h"
#include "datafile_support.h"
#include "picture_writers.h"

using pictures::Bmp;
using pictures::Tga;

namespace {

std::string row_bytes_of(const br_pixelmap *pm, int y, int n)
{
    const char *p = (const char *)pm->pixels + (intptr_t)(pm->base_y + y) * pm->row_bytes;
    return std::string(p, n);
}

br_uint_32 palette_entry(const br_pixelmap *pm, int index)
{
    const br_uint_8 *p = (const br_uint_8 *)pm->map->pixels + (intptr_t)index * pm->map->row_bytes;
    return p[0] | (p[1] << 8) | (p[2] << 16) | ((br_uint_32)p[3] << 24);
}

class PictureTest : public DfTest {
protected:
    br_pixelmap *tga(const Tga &t, br_uint_32 flags = 0)
    {
        dir.write("p.tga", t.bytes());
        return BrFmtTGALoad(path("p.tga").c_str(), flags);
    }
    br_pixelmap *bmp(const Bmp &b)
    {
        dir.write("p.bmp", b.bytes());
        return BrFmtBMPLoad(path("p.bmp").c_str(), 0);
    }
};

TEST_F(PictureTest, TgaRowOrders)
{
    Tga t;
    t.width = 3;
    t.height = 2;
    t.pixels = "ABCDEFGHI" "abcdefghi";
    br_pixelmap *pm = tga(t);
    ASSERT_NE(pm, nullptr);
    EXPECT_EQ(pm->type, BR_PMT_RGB_888);
    EXPECT_STREQ(pm->identifier, path("p.tga").c_str());
    EXPECT_EQ(row_bytes_of(pm, 1, 9), "ABCDEFGHI"); // bottom-up: the first row of the file is the last
    EXPECT_EQ(row_bytes_of(pm, 0, 9), "abcdefghi");
    BrPixelmapFree(pm);

    t.descriptor = 0x20 | 0x10; // top-down, right to left
    pm = tga(t);
    ASSERT_NE(pm, nullptr);
    EXPECT_EQ(row_bytes_of(pm, 0, 9), "GHIDEFABC");
    EXPECT_EQ(row_bytes_of(pm, 1, 9), "ghidefabc");
    BrPixelmapFree(pm);
}

TEST_F(PictureTest, Tga32BitKeepsItsBytes)
{
    Tga t;
    t.depth = 32;
    t.width = 2;
    t.pixels = "\x01\x02\x03\x04\x05\x06\x07\x08";
    for (br_uint_32 flags : {0u, (br_uint_32)BR_FMT_TGA_ALPHA}) {
        br_pixelmap *pm = tga(t, flags);
        ASSERT_NE(pm, nullptr);
        EXPECT_EQ(pm->type, flags ? BR_PMT_RGBA_8888 : BR_PMT_RGBX_888);
        EXPECT_EQ(row_bytes_of(pm, 0, 8), t.pixels);
        BrPixelmapFree(pm);
    }
}

TEST_F(PictureTest, TgaRunLengthPackets)
{
    // One run packet of 128 pixels fills a whole 128-pixel row.
    Tga t;
    t.image_type = 10;
    t.depth = 16;
    t.width = 128;
    t.pixels = "\xff\x34\x12";
    br_pixelmap *pm = tga(t);
    ASSERT_NE(pm, nullptr);
    EXPECT_EQ(pm->type, BR_PMT_RGB_565);
    std::string row = row_bytes_of(pm, 0, 256);
    for (int i = 0; i < 128; i++)
        EXPECT_EQ(row.substr(2 * i, 2), "\x34\x12");
    BrPixelmapFree(pm);

    // A literal packet of 5 pixels in a 3-pixel row: the two extra are read and dropped, and the
    // next row starts with the next packet.
    t.image_type = 9;
    t.depth = 8;
    t.width = 3;
    t.height = 2;
    t.pixels = std::string("\x04" "abcde" "\x82" "z", 8);
    pm = tga(t);
    ASSERT_NE(pm, nullptr);
    EXPECT_EQ(row_bytes_of(pm, 1, 3), "abc");
    EXPECT_EQ(row_bytes_of(pm, 0, 3), "zzz");
    BrPixelmapFree(pm);
}

TEST_F(PictureTest, TgaColourMaps)
{
    Tga t;
    t.image_type = 1;
    t.depth = 8;
    t.width = 2;
    t.map_type = 1;
    t.map_first = 254;
    t.map_length = 3; // the entry for index 256 is read and dropped
    t.map_entry_size = 24;
    t.map = "\x30\x20\x10" "\x03\x02\x01" "\xff\xff\xff";
    t.pixels = "\xfe\xff";
    br_pixelmap *pm = tga(t);
    ASSERT_NE(pm, nullptr);
    ASSERT_NE(pm->map, nullptr);
    EXPECT_EQ(pm->map->type, BR_PMT_RGBX_888);
    EXPECT_EQ(pm->map->height, 256);
    EXPECT_TRUE(BrResIsChild(pm, pm->map));
    EXPECT_EQ(palette_entry(pm, 254), 0x102030u);
    EXPECT_EQ(palette_entry(pm, 255), 0x010203u);
    EXPECT_EQ(palette_entry(pm, 0), 0u);
    EXPECT_EQ(row_bytes_of(pm, 0, 2), "\xfe\xff");
    BrPixelmapFree(pm);

    // 16-bit entries: 5 bits each of blue, green, red from the bottom.
    t.map_first = 0;
    t.map_length = 1;
    t.map_entry_size = 16;
    t.map = std::string("\x1f\x7c", 2); // red 31, green 0, blue 31
    t.pixels = std::string("\0\0", 2);
    pm = tga(t);
    ASSERT_NE(pm, nullptr);
    EXPECT_EQ(palette_entry(pm, 0), 0xf800f8u);
    BrPixelmapFree(pm);
}

TEST_F(PictureTest, BmpPaddingAndRowOrder)
{
    Bmp b;
    b.width = 5;
    b.height = 2;
    b.pixels = std::string("ABCDEFGHIJKLMNO") + '#' + "abcdefghijklmno" + '#';
    br_pixelmap *pm = bmp(b);
    ASSERT_NE(pm, nullptr);
    EXPECT_EQ(pm->type, BR_PMT_RGB_888);
    EXPECT_EQ(row_bytes_of(pm, 1, 15), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(row_bytes_of(pm, 0, 15), "abcdefghijklmno");
    BrPixelmapFree(pm);

    b.height = -2; // top-down
    pm = bmp(b);
    ASSERT_NE(pm, nullptr);
    EXPECT_EQ(pm->height, 2);
    EXPECT_EQ(row_bytes_of(pm, 0, 15), "ABCDEFGHIJKLMNO");
    BrPixelmapFree(pm);

    // 4-bit, width 5: three bytes of nibbles, then one byte of padding.
    b = Bmp();
    b.bit_count = 4;
    b.width = 5;
    b.height = 2;
    b.palette = std::string(16 * 4, '\0');
    b.pixels = std::string("\x12\x34\x5f" "#" "\xab\xcd\xef" "#", 8);
    pm = bmp(b);
    ASSERT_NE(pm, nullptr);
    EXPECT_EQ(pm->type, BR_PMT_INDEX_8);
    EXPECT_EQ(row_bytes_of(pm, 1, 5), std::string("\x01\x02\x03\x04\x05", 5));
    EXPECT_EQ(row_bytes_of(pm, 0, 5), std::string("\x0a\x0b\x0c\x0d\x0e", 5));
    BrPixelmapFree(pm);
}

TEST_F(PictureTest, BmpPalettes)
{
    // Windows entries are blue, green, red, reserved; OS/2 entries blue, green, red.
    Bmp win;
    win.bit_count = 8;
    win.colours_used = 16;
    for (int i = 0; i < 16; i++)
        win.palette += std::string{(char)i, (char)(i + 1), (char)(i + 2), 0};
    win.pixels = std::string("\x0f\0\0\0", 4);
    br_pixelmap *a = bmp(win);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(palette_entry(a, 15), 0x11100fu);
    EXPECT_EQ(palette_entry(a, 16), 0u);
    EXPECT_EQ(palette_entry(a, 255), 0u);

    Bmp os2;
    os2.os2 = true;
    os2.bit_count = 8;
    for (int i = 0; i < 256; i++)
        os2.palette += i < 16 ? std::string{(char)i, (char)(i + 1), (char)(i + 2)} : std::string(3, '\0');
    os2.pixels = win.pixels;
    br_pixelmap *b = bmp(os2);
    ASSERT_NE(b, nullptr);
    for (int i = 0; i < 256; i++)
        EXPECT_EQ(palette_entry(a, i), palette_entry(b, i)) << i;
    BrPixelmapFree(a);
    BrPixelmapFree(b);

    // A file that claims 300 colours: 256 are kept, the rest skipped up to the pixels.
    Bmp many = win;
    many.colours_used = 300;
    many.palette = std::string(300 * 4, '\x07');
    many.pixels = std::string("\x05\0\0\0", 4);
    br_pixelmap *c = bmp(many);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(palette_entry(c, 255), 0x07070707u);
    EXPECT_EQ(row_bytes_of(c, 0, 1), "\x05");
    BrPixelmapFree(c);
}

TEST_F(PictureTest, BmpRunLengthEscapes)
{
    Bmp b;
    b.bit_count = 8;
    b.compression = 1;
    b.width = 4;
    b.height = 3;
    b.palette = std::string(256 * 4, '\0');
    // Bottom row: a run of 2, a literal of 3 (padded) that runs past the row; end of line.
    // Middle row: delta right 1 and up 1 (to the top row), a run of 9 past the row; end of line.
    b.pixels = std::string("\x02\x11" "\x00\x03\x21\x22\x23\x00" "\x00\x00"
                           "\x00\x02\x01\x01" "\x09\x33" "\x00\x00"
                           "\x01\x44" "\x00\x01",
                           22);
    br_pixelmap *pm = bmp(b);
    ASSERT_NE(pm, nullptr);
    EXPECT_EQ(row_bytes_of(pm, 2, 4), "\x11\x11\x21\x22");
    EXPECT_EQ(row_bytes_of(pm, 1, 4), std::string(4, '\0'));
    EXPECT_EQ(row_bytes_of(pm, 0, 4), std::string("\0\x33\x33\x33", 4));
    BrPixelmapFree(pm);

    // 4-bit: nibbles alternate in runs and come high first in literals; a delta off the top ends it.
    b.bit_count = 4;
    b.compression = 2;
    b.palette = std::string(16 * 4, '\0');
    b.pixels = std::string("\x03\x12" "\x00\x03\x45\x60" "\x00\x00" "\x00\x02\x00\x09", 12);
    pm = bmp(b);
    ASSERT_NE(pm, nullptr);
    EXPECT_EQ(row_bytes_of(pm, 2, 4), std::string("\x01\x02\x01\x04", 4));
    BrPixelmapFree(pm);

    // Running out of file before the end.
    b.pixels = std::string("\x03\x12", 2);
    DiagLog::clear();
    EXPECT_EQ(bmp(b), nullptr);
    EXPECT_TRUE(failed_with("Unable to read compressed image data"));
}

// A delta that moves up stores the row decoded so far where it was decoded, and the new row starts
// clear; a delta along the row only moves the column.
TEST_F(PictureTest, BmpRunLengthDeltasKeepEachRowInPlace)
{
    auto B = [](std::initializer_list<int> v) {
        std::string s;
        for (int c : v)
            s += (char)c;
        return s;
    };
    struct Case {
        const char *what;
        int bits, height;
        std::string stream;
        std::vector<std::string> rows; // top row first
    } cases[] = {
        {"8-bit, up one", 8, 3, B({2, 0x11, 0, 2, 0, 1, 1, 0x55, 0, 0, 0, 1}),
         {B({0, 0, 0, 0}), B({0, 0, 0x55, 0}), B({0x11, 0x11, 0, 0})}},
        {"8-bit, along the row, then up two", 8, 4,
         B({1, 0x22, 0, 2, 2, 0, 1, 0x33, 0, 0, 1, 0x44, 0, 2, 1, 2, 1, 0x66, 0, 0, 0, 1}),
         {B({0, 0, 0x66, 0}), B({0, 0, 0, 0}), B({0x44, 0, 0, 0}), B({0x22, 0, 0, 0x33})}},
        {"4-bit, up one", 4, 3, B({2, 0x12, 0, 2, 0, 1, 1, 0x50, 0, 0, 0, 1}),
         {B({0, 0, 0, 0}), B({0, 0, 5, 0}), B({1, 2, 0, 0})}},
        {"4-bit, up two from mid-row", 4, 4, B({1, 0x70, 0, 2, 1, 2, 3, 0x89, 0, 0, 0, 1}),
         {B({0, 0, 0, 0}), B({0, 0, 8, 9}), B({0, 0, 0, 0}), B({7, 0, 0, 0})}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Bmp b;
        b.bit_count = (uint16_t)c.bits;
        b.compression = c.bits == 8 ? 1 : 2;
        b.width = 4;
        b.height = c.height;
        b.palette = std::string((c.bits == 8 ? 256 : 16) * 4, '\0');
        b.pixels = c.stream;
        br_pixelmap *pm = bmp(b);
        ASSERT_NE(pm, nullptr);
        for (int y = 0; y < c.height; y++)
            EXPECT_EQ(row_bytes_of(pm, y, 4), c.rows[(size_t)y]) << "row " << y;
        BrPixelmapFree(pm);
    }
}

// A plain 4-bit row unpacks whole bytes: the spare nibble of an odd width goes into the row's
// padding, never into the next row.
TEST_F(PictureTest, Bmp4BitOddWidthSpareNibbleLandsInPadding)
{
    Bmp b;
    b.bit_count = 4;
    b.width = 3;
    b.height = 2;
    b.palette = std::string(16 * 4, '\0');
    b.pixels = std::string("\x12\x3c\0\0" "\x45\x6d\0\0", 8);
    br_pixelmap *pm = bmp(b);
    ASSERT_NE(pm, nullptr);
    ASSERT_GE(pm->row_bytes, 4);
    EXPECT_EQ(row_bytes_of(pm, 0, 4), std::string("\x04\x05\x06\x0d", 4));
    EXPECT_EQ(row_bytes_of(pm, 1, 4), std::string("\x01\x02\x03\x0c", 4));
    BrPixelmapFree(pm);
}

TEST_F(PictureTest, Refusals)
{
    auto tga_of = [](uint8_t image_type, uint8_t depth) {
        Tga t;
        t.image_type = image_type;
        t.depth = depth;
        t.pixels = std::string(4, '\0');
        return t.bytes();
    };
    auto bmp_of = [](uint16_t bits, uint32_t compression, int32_t height = 1, bool os2 = false) {
        Bmp b;
        b.bit_count = bits;
        b.compression = compression;
        b.height = height;
        b.os2 = os2;
        b.pixels = std::string(8, '\0');
        return b.bytes();
    };
    std::string short_palette = [] {
        Tga t;
        t.image_type = 1;
        t.depth = 8;
        t.map_type = 1;
        t.map_length = 10;
        t.map_entry_size = 24;
        t.map = "abc";
        return t.bytes();
    }();
    std::string v5_header = bmp_of(24, 0);
    v5_header[14] = 124;
    struct Case {
        const char *file;
        std::string content;
        const char *message;
    } cases[] = {
        {"a.tga", tga_of(3, 1), "TGA image type 3 in file"},
        {"a.tga", tga_of(11, 1), "TGA image type 11 in file"},
        {"a.tga", tga_of(2, 8), "TGA image type 2 in file"},   // a depth pictures have, not with this type
        {"a.tga", tga_of(1, 16), "TGA image type 1 in file"},
        {"a.tga", tga_of(9, 24), "TGA image type 9 in file"},
        {"a.tga", tga_of(10, 8), "TGA image type 10 in file"},
        {"a.tga", tga_of(2, 12), "12 bit TGA file"},           // a listed type, a depth no picture has
        {"a.tga", tga_of(1, 7), "7 bit TGA file"},
        {"a.tga", tga_of(4, 12), "TGA image type 4 in file"},
        {"a.tga", tga_of(2, 24).substr(0, 20), "Unable to read image data"},
        {"a.tga", std::string(10, '\0'), "Unable to read header information"},
        {"a.tga", short_palette, "Unable to read palette"},
        {"a.bmp", "BM", "Unable to read header information"},
        {"a.bmp", "XM" + bmp_of(24, 0).substr(2), "is not a valid BMP file"},
        {"a.bmp", bmp_of(24, 0).substr(0, 30), "Unable to read bitmap info header"},
        {"a.bmp", v5_header, "is not a valid BMP file"},
        {"a.bmp", bmp_of(1, 0), "1 bit BMP"},
        {"a.bmp", bmp_of(16, 3), "16 bit BMP"},
        {"a.bmp", bmp_of(32, 0), "32 bit BMP"},
        {"a.bmp", bmp_of(24, 1), "24 bit compressed file"},
        {"a.bmp", bmp_of(8, 3), "BITFIELDS not supported"},
        {"a.bmp", bmp_of(8, 1, -1), "is not a valid BMP file"},
        {"a.bmp", bmp_of(24, 0, 0x10000), "is not a valid BMP file"},
        {"a.bmp", bmp_of(24, 0, 2).substr(0, 60), "Unable to read image data"},
        {"a.bmp", bmp_of(8, 0).substr(0, 60), "Unable to read palette"},
    };
    for (const Case &c : cases) {
        DiagLog::clear();
        dir.write(c.file, c.content);
        std::string name = path(c.file);
        br_pixelmap *pm = strstr(c.file, ".tga") ? BrFmtTGALoad(name.c_str(), 0) : BrFmtBMPLoad(name.c_str(), 0);
        EXPECT_EQ(pm, nullptr) << c.message;
        EXPECT_TRUE(failed_with(c.message)) << c.message;
        EXPECT_TRUE(failed_with(name)) << c.message;
    }
    DiagLog::clear();
    EXPECT_EQ(BrFmtTGALoad(path("none.tga").c_str(), 0), nullptr);
    EXPECT_TRUE(failed_with("Could not open '" + path("none.tga") + "' for reading"));
}

} // namespace
