// Pictures written by ImageMagick, which no one here wrote: BMP and TGA in each depth the loaders
// take, plain and run-length, both row orders, compared pixel by pixel with the picture they came
// from; the depths the BMP loader does not take are refused. Skipped when `convert` is missing.
//
// ImageMagick writes a TGA's rows in its own top-first order and marks the file bottom-up unless told
// the picture is top-down; the picture such a file shows (and that ImageMagick reads back when it
// orients it) is the source upside down.
#include <string.h>
#include <stdlib.h>

#include <fstream>

#include "brondel/brpmfile.h"
#include "datafile_support.h"

namespace {

struct Rgb {
    int r, g, b;
};

constexpr int W = 7, H = 5;

// Six colours (a 4-bit picture) or thirty-five (an 8-bit one).
Rgb source(bool six, int x, int y)
{
    static const Rgb few[6] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {0, 255, 255}, {255, 0, 255}};
    if (six)
        return few[(x + 2 * y) % 6];
    return {(x * 37 + y * 11) % 256, (x * 53) % 256, (y * 60) % 256};
}

void write_ppm(const std::string &name, bool six)
{
    std::ofstream out(name, std::ios::binary);
    out << "P6 " << W << " " << H << " 255\n";
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            Rgb c = source(six, x, y);
            out << (char)c.r << (char)c.g << (char)c.b;
        }
}

enum Kind { Indexed, True24, True32, True16, Refused };

struct Case {
    const char *options; // between the source and the output
    const char *output;  // ImageMagick's output spelling, format prefix included
    bool six;
    Kind kind;
    const char *refusal;
};

const Case cases[] = {
    {"-type palette", "BMP3:four.bmp", true, Indexed, nullptr},
    {"-type palette -compress RLE", "BMP3:four_rle.bmp", true, Indexed, nullptr},
    {"-type palette -compress none", "BMP3:eight.bmp", false, Indexed, nullptr},
    {"-type palette -compress RLE", "BMP3:eight_rle.bmp", false, Indexed, nullptr},
    {"-type truecolor", "BMP3:true.bmp", false, True24, nullptr},
    {"-define bmp:subtype=RGB565", "BMP3:sixteen.bmp", false, Refused, "16 bit BMP"},
    {"-alpha set -type truecoloralpha", "BMP:thirtytwo.bmp", false, Refused, "is not a valid BMP file"},
    {"-type palette", "eight.tga", false, Indexed, nullptr},
    {"-type palette -compress RLE", "eight_rle.tga", false, Indexed, nullptr},
    {"-depth 5", "sixteen.tga", true, True16, nullptr},
    {"-depth 5 -compress RLE", "sixteen_rle.tga", true, True16, nullptr},
    {"-type truecolor", "true.tga", false, True24, nullptr},
    {"-type truecolor -compress RLE", "true_rle.tga", false, True24, nullptr},
    {"-type truecolor -orient TopLeft", "top_down.tga", false, True24, nullptr},
    {"-type truecolor -orient TopLeft -compress RLE", "top_down_rle.tga", false, True24, nullptr},
    {"-alpha set -type truecoloralpha", "alpha.tga", false, True32, nullptr},
    {"-alpha set -type truecoloralpha -compress RLE", "alpha_rle.tga", false, True32, nullptr},
};

class MagickTest : public DfTest {
protected:
    void SetUp() override
    {
        DfTest::SetUp();
        if (system("command -v convert >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "ImageMagick's convert is not installed";
        write_ppm(path("six.ppm"), true);
        write_ppm(path("many.ppm"), false);
    }
};

const br_uint_8 *pixel(const br_pixelmap *pm, int x, int y, int bytes)
{
    return (const br_uint_8 *)pm->pixels + (intptr_t)(pm->base_y + y) * pm->row_bytes + (intptr_t)x * bytes;
}

TEST_F(MagickTest, PicturesComparePixelByPixel)
{
    int made = 0;
    for (const Case &c : cases) {
        std::string out = c.output;
        std::string file = out.substr(out.find(':') + 1);
        std::string cmd = "convert '" + path(c.six ? "six.ppm" : "many.ppm") + "' " + c.options + " '" +
                          out.substr(0, out.find(':') + 1) + path(file) + "' 2>/dev/null";
        if (system(cmd.c_str()) != 0) {
            ADD_FAILURE() << "convert failed: " << cmd;
            continue;
        }
        made++;
        SCOPED_TRACE(file);
        DiagLog::clear();
        bool tga = file.find(".tga") != std::string::npos;
        br_pixelmap *pm = tga ? BrFmtTGALoad(path(file).c_str(), BR_FMT_TGA_ALPHA)
                              : BrFmtBMPLoad(path(file).c_str(), 0);
        if (c.kind == Refused) {
            EXPECT_EQ(pm, nullptr);
            EXPECT_TRUE(failed_with(c.refusal));
            continue;
        }
        ASSERT_NE(pm, nullptr) << (DiagLog::failures.empty() ? "" : DiagLog::failures[0]);
        ASSERT_EQ(pm->width, W);
        ASSERT_EQ(pm->height, H);
        bool upside_down = tga && strstr(c.options, "TopLeft") == nullptr;
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++) {
                Rgb s = source(c.six, x, upside_down ? H - 1 - y : y);
                SCOPED_TRACE(testing::Message() << "pixel " << x << "," << y);
                switch (c.kind) {
                case Indexed: {
                    ASSERT_EQ(pm->type, BR_PMT_INDEX_8);
                    ASSERT_NE(pm->map, nullptr);
                    const br_uint_8 *e = (const br_uint_8 *)pm->map->pixels + (intptr_t)*pixel(pm, x, y, 1) * pm->map->row_bytes;
                    EXPECT_EQ(e[0] | (e[1] << 8) | (e[2] << 16), s.b | (s.g << 8) | (s.r << 16));
                    break;
                }
                case True24: {
                    ASSERT_EQ(pm->type, BR_PMT_RGB_888);
                    const br_uint_8 *p = pixel(pm, x, y, 3);
                    EXPECT_EQ(p[0] | (p[1] << 8) | (p[2] << 16), s.b | (s.g << 8) | (s.r << 16));
                    break;
                }
                case True32: {
                    ASSERT_EQ(pm->type, BR_PMT_RGBA_8888);
                    const br_uint_8 *p = pixel(pm, x, y, 4);
                    EXPECT_EQ(p[0] | (p[1] << 8) | (p[2] << 16), s.b | (s.g << 8) | (s.r << 16));
                    EXPECT_EQ(p[3], 255);
                    break;
                }
                case True16: {
                    // Sixteen-bit TGA pixels are 5-5-5, kept as they are stored. The source has only
                    // full and empty channels, which every rounding to five bits agrees on.
                    ASSERT_EQ(pm->type, BR_PMT_RGB_565);
                    const br_uint_8 *p = pixel(pm, x, y, 2);
                    int v = (p[0] | (p[1] << 8)) & 0x7fff;
                    EXPECT_EQ(v, ((s.r >> 3) << 10) | ((s.g >> 3) << 5) | (s.b >> 3));
                    break;
                }
                default:
                    break;
                }
            }
        BrPixelmapFree(pm);
    }
    EXPECT_EQ(made, (int)(sizeof(cases) / sizeof(cases[0])));
}

// The same pictures through pixtool: to a text pixel-map file, then dumped.
TEST_F(MagickTest, PixtoolConvertsAndDumps)
{
    std::string bmp = path("eight.bmp");
    ASSERT_EQ(system(("convert '" + path("many.ppm") + "' -type palette -compress none 'BMP3:" + bmp + "'").c_str()), 0);
    std::string tool = std::string(VOK_BIN_DIR) + "/pixtool";
    std::string pix = path("out.pix");
    ASSERT_EQ(system(("'" + tool + "' convert '" + bmp + "' '" + pix + "' --text").c_str()), 0);
    EXPECT_EQ(dir.read("out.pix").substr(0, 8), "*FILE_IN");
    std::string listing = path("dump.txt");
    ASSERT_EQ(system(("'" + tool + "' dump '" + pix + "' > '" + listing + "'").c_str()), 0);
    std::string text = dir.read("dump.txt");
    EXPECT_NE(text.find("type BR_PMT_INDEX_8, 7 x 5"), std::string::npos) << text;
    EXPECT_NE(text.find("colour map"), std::string::npos);

    br_pixelmap *from_pix = BrPixelmapLoad(pix.c_str());
    br_pixelmap *from_bmp = BrFmtBMPLoad(bmp.c_str(), 0);
    ASSERT_NE(from_pix, nullptr);
    ASSERT_NE(from_bmp, nullptr);
    for (int y = 0; y < H; y++)
        EXPECT_EQ(0, memcmp(pixel(from_pix, 0, y, 1), pixel(from_bmp, 0, y, 1), W));
    BrPixelmapFree(from_pix);
    BrPixelmapFree(from_bmp);
}

} // namespace
