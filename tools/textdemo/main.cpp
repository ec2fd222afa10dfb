// textdemo: draws a multi-line Windows-1252 text with each show method onto a 16-bit picture and
// writes it as PNG.
//   textdemo --out t.png [--font PACK.fnp]
// Without --font, a font pack is made first with the font maker (DejaVu Sans in three styles).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "brondel/brpixmap.h"
#include "fontmaker/fontmaker.h"
#include "pannix/pannix.h"
#include "vokplat/paths.h"
#include "vokplat/png.h"

namespace {

// Windows-1252: German and French letters, quotes, the euro sign; code 17 switches to font 1 of
// the set and 31 back.
const char kText[] =
    "Gr\xfc\xdf" "e aus K\xf6ln! \x84Zitat\x93 \x96 \x80" "12,50\n"
    "\xc7" "a va tr\xe8s bien, \x9c" "uvre na\xefve \xe0 l'\xe9t\xe9.\n"
    "\tTab, \x11zweite Schrift\x1f und zur\xfc" "ck: \xc4\xd6\xdc \xe2\xea\xee\xf4\xfb \xff";

uint8_t widen(uint32_t v, int bits)
{
    return uint8_t(v * 255 / ((1u << bits) - 1));
}

std::vector<uint8_t> rgb_of(const br_pixelmap *pm)
{
    std::vector<uint8_t> rgb(size_t(pm->width) * pm->height * 3);
    for (int y = 0; y < pm->height; y++) {
        const uint8_t *row = static_cast<const uint8_t *>(pm->pixels) + ptrdiff_t(y) * pm->row_bytes;
        for (int x = 0; x < pm->width; x++) {
            const uint32_t v = uint32_t(row[2 * x] | row[2 * x + 1] << 8);
            uint8_t *d = &rgb[(size_t(y) * pm->width + x) * 3];
            d[0] = widen(v >> 11, 5), d[1] = widen(v >> 5 & 63, 6), d[2] = widen(v & 31, 5);
        }
    }
    return rgb;
}

uint32_t rgb565(uint32_t r, uint32_t g, uint32_t b)
{
    return (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
}

}  // namespace

int main(int argc, char **argv)
{
    std::string out, font;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--out") == 0 && i + 1 < argc)
            out = PlatToolPath(argv[++i]);
        else if (strcmp(argv[i], "--font") == 0 && i + 1 < argc)
            font = PlatToolPath(argv[++i]);
        else
            out.clear(), i = argc;
    }
    if (out.empty()) {
        fprintf(stderr, "usage: textdemo --out t.png [--font PACK.fnp]\n");
        return 2;
    }
    std::filesystem::path made;
    if (font.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "textdemo_XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            perror("textdemo");
            return 1;
        }
        made = pattern;
        std::vector<fontmaker::Style> styles(2);
        styles[0].size = 17;
        styles[0].shadow = true;
        styles[0].shadow_colour = 0x202040;
        styles[1].size = 17;
        styles[1].colour = 0xFFE060;
        styles[1].gradient = true;
        styles[1].colour2 = 0xFF6020;
        std::string error;
        font = (made / "demo.fnp").string();
        if (!fontmaker::make_font_pack(font, styles, error)) {
            fprintf(stderr, "textdemo: %s\n", error.c_str());
            return 1;
        }
    }
    std::string set_name = font;
    if (set_name.size() > 4 && set_name.compare(set_name.size() - 4, 4, ".fnp") == 0)
        set_name.resize(set_name.size() - 4);
    PXFONTSET *set = PxLoadFontset(set_name.c_str(), 0, nullptr);
    if (set == nullptr) {
        fprintf(stderr, "textdemo: %s\n", GetLastMsgError());
        return 1;
    }

    const int width = 640, block = 96, height = 4 * block;
    br_pixelmap *screen = PxAllocPix(BR_PMT_RGB_565, width, height, nullptr, 0);
    for (int y = 0; y < height; y++)
        PxFillPixRect(screen, 0, y, width, 1, rgb565(40 + y / 4, 60 + y / 3, 140 - y / 4));
    struct Method {
        int32_t method;
        uint32_t colour;
        const char *label;
    };
    const Method methods[] = {{0, 0, "0 copy"},
                              {1, 0, "1 transparent (key 0)"},
                              {2, 160, "2 alpha, capped at 160"},
                              {3, rgb565(255, 230, 80), "3 filled in yellow"}};
    for (int i = 0; i < 4; i++) {
        const int y = i * block + 4;
        PxSelectFont(set, 0);
        PxSetShowTextMethod(1, 0);
        PxShowText(screen, 8, y, methods[i].label);
        // Both fonts of the set draw with the method, the in-text switch included.
        for (int f = 1; f >= 0; f--) {
            PxSelectFont(set, f);
            PxSetShowTextMethod(methods[i].method, methods[i].colour);
        }
        PxShowTextMl(screen, 24, y + 20, kText);
    }
    std::vector<uint8_t> rgb = rgb_of(screen);
    const bool written = PlatWritePngRgb(out.c_str(), width, height, rgb.data());
    PxFreePix(screen);
    PxKillAllFontset(set);
    if (!made.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(made, ec);
    }
    if (!written) {
        fprintf(stderr, "textdemo: cannot write '%s'\n", out.c_str());
        return 1;
    }
    return 0;
}
