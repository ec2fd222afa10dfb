// Pictures that ImageMagick wrote, found and converted to the screens' 16-bit type: every pixel is
// the source's colour narrowed to 5-6-5 (16-bit TGA pixels are 5-5-5, widened by a low 0 bit).
#include <stdlib.h>

#include <fstream>

#include "pic_support.h"

namespace {

using pictest::pixel;

constexpr int W = 7, H = 5;

// Full and empty channels only, so that ImageMagick's rounding to five bits cannot differ.
pictest::Rgb source(int x, int y)
{
    static const pictest::Rgb colours[6] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},
                                            {255, 255, 0}, {0, 255, 255}, {255, 255, 255}};
    return colours[(x + 2 * y) % 6];
}

class Magick : public pictest::DataFolder {
protected:
    void SetUp() override
    {
        DataFolder::SetUp();
        if (system("command -v convert >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "ImageMagick's convert is not installed";
        std::ofstream out(path("source.ppm"), std::ios::binary);
        out << "P6 " << W << " " << H << " 255\n";
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++) {
                pictest::Rgb c = source(x, y);
                out << char(c.r) << char(c.g) << char(c.b);
            }
    }
};

TEST_F(Magick, PicturesAreConvertedPixelByPixel)
{
    struct Case {
        const char *options;
        const char *file;     // with ImageMagick's format prefix
        const char *request;  // the name asked for
        bool upside_down;     // ImageMagick marks its TGA rows bottom-up unless told otherwise
        bool five_bit_green;
        int type;
    } cases[] = {
        {"-type truecolor", "BMP3:true.bmp", "TRUE.BMP", false, false, BR_PMT_RGB_565},
        {"-type truecolor", "plain.tga", "plain", true, false, BR_PMT_RGB_565},
        {"-type truecolor -compress RLE", "rle.tga", "rle", true, false, BR_PMT_RGB_565},
        {"-type truecolor -orient TopLeft", "top.tga", "Top", false, false, BR_PMT_RGB_565},
        {"-depth 5", "sixteen.tga", "sixteen", true, true, BR_PMT_RGB_565},
        {"-depth 5 -compress RLE", "sixteen_rle.tga", "sixteen_rle", true, true, BR_PMT_RGB_565},
        {"-alpha set -type truecoloralpha", "alpha.tga", "alpha", true, false, PX_PMT_RGB565_ALPHA8},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        const std::string out = c.file;
        const size_t colon = out.find(':');
        const std::string file = colon == std::string::npos ? out : out.substr(colon + 1);
        const std::string prefix = colon == std::string::npos ? "" : out.substr(0, colon + 1);
        const std::string cmd = "convert '" + path("source.ppm") + "' " + c.options + " '" + prefix + path(file) +
                                "' 2>/dev/null";
        ASSERT_EQ(system(cmd.c_str()), 0) << cmd;
        br_pixelmap *pm = AmsgGetPixFile(c.request, BR_PMT_RGB_565);
        ASSERT_NE(pm, nullptr) << GetLastMsgError();
        ASSERT_EQ(pm->type, c.type);
        ASSERT_EQ(pm->width, W);
        ASSERT_EQ(pm->height, H);
        const int bytes = c.type == BR_PMT_RGB_565 ? 2 : 3;
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++) {
                const pictest::Rgb s = source(x, c.upside_down ? H - 1 - y : y);
                uint32_t want = c.five_bit_green ? uint32_t(s.r >> 3) << 11 | uint32_t(s.g >> 3) << 6 | s.b >> 3
                                                 : pictest::rgb565(s);
                if (bytes == 3)
                    want = 0xFF | want << 8;
                EXPECT_EQ(pixel(pm, x, y, bytes), want) << "pixel " << x << "," << y;
            }
        PxFreePix(pm);
    }
}

}  // namespace
