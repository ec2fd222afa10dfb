// moviedump: plays an FLI, FLC or TMZ movie through Pannix and writes each frame as a PNG picture
// (frame0000.png, frame0001.png ...) into a folder.
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <filesystem>
#include <string>
#include <vector>

#include "pannix/pxmovie.h"
#include "vokplat/paths.h"
#include "vokplat/png.h"

namespace {

int usage()
{
    fprintf(stderr, "usage: moviedump [--stream] movie.flc|.fli|.tmz outdir/\n");
    return 2;
}

uint8_t scale(uint32_t v, int bits)
{
    return uint8_t(v * 255 / ((1u << bits) - 1));
}

// The frame last taken as RGB rows, top row first.
std::vector<uint8_t> to_rgb(const PMVMOVIE *m)
{
    std::vector<uint8_t> rgb(size_t(m->width) * m->height * 3);
    const auto *pixels = static_cast<const uint8_t *>(m->pixels);
    bool alpha = (m->flags & PMV_ALPHA) != 0;
    for (int y = 0; y < m->height; y++) {
        int row = (m->flags & PMV_TOPDOWN) ? y : m->height - 1 - y;
        const uint8_t *s = pixels + size_t(row) * m->rowBytes;
        uint8_t *d = rgb.data() + size_t(y) * m->width * 3;
        for (int x = 0; x < m->width; x++, d += 3) {
            uint32_t v;
            switch (m->bitsPerPixel) {
            case 8: {
                const RGBQUAD &c = m->bmpInfo->bmiColors[s[x]];
                d[0] = c.rgbRed, d[1] = c.rgbGreen, d[2] = c.rgbBlue;
                break;
            }
            case 15:
                v = uint32_t(s[2 * x] | s[2 * x + 1] << 8);
                d[0] = scale(v >> 10 & 31, 5), d[1] = scale(v >> 5 & 31, 5), d[2] = scale(v & 31, 5);
                break;
            case 16:
                v = uint32_t(s[2 * x] | s[2 * x + 1] << 8);
                if (alpha)  // 4444: alpha, red, green, blue
                    d[0] = scale(v >> 8 & 15, 4), d[1] = scale(v >> 4 & 15, 4), d[2] = scale(v & 15, 4);
                else
                    d[0] = scale(v >> 11, 5), d[1] = scale(v >> 5 & 63, 6), d[2] = scale(v & 31, 5);
                break;
            case 24:
                if (alpha) {  // alpha, then a 565 word
                    v = uint32_t(s[3 * x + 1] | s[3 * x + 2] << 8);
                    d[0] = scale(v >> 11, 5), d[1] = scale(v >> 5 & 63, 6), d[2] = scale(v & 31, 5);
                } else {
                    d[0] = s[3 * x + 2], d[1] = s[3 * x + 1], d[2] = s[3 * x];
                }
                break;
            default:
                d[0] = s[4 * x + 2], d[1] = s[4 * x + 1], d[2] = s[4 * x];
                break;
            }
        }
    }
    return rgb;
}

}  // namespace

int main(int argc, char **argv)
{
    uint32_t flags = PMV_TOPDOWN | PMV_KEEPTIME;
    int arg = 1;
    if (arg < argc && strcmp(argv[arg], "--stream") == 0) {
        flags |= PMV_STREAM;
        arg++;
    }
    if (argc - arg != 2)
        return usage();
    std::string name = PlatToolPath(argv[arg]), out = PlatToolPath(argv[arg + 1]);
    std::string ext = name.size() >= 4 ? name.substr(name.size() - 4) : "";
    int kind = strcasecmp(ext.c_str(), ".tmz") == 0 ? PMV_KIND_TMZ : PMV_KIND_FLC;
    PMVMOVIE *m = OpenMovie(name.c_str(), kind, flags);
    if (m == nullptr) {
        fprintf(stderr, "moviedump: cannot open '%s' as a movie\n", name.c_str());
        return 1;
    }
    std::error_code ec;
    std::filesystem::create_directories(out, ec);
    printf("%s: %s %dx%d, %d bits, %d frames, %u ms\n", name.c_str(),
           m->kind == PMV_KIND_TMZ ? "TMZ" : m->kind == PMV_KIND_FLI ? "FLI" : "FLC", m->width, m->height,
           m->bitsPerPixel, m->frameCount, m->frameTime);
    int status = 0;
    for (int i = 0; i < m->frameCount; i++) {
        if (i > 0 && PlayMovie(m) != 1) {
            fprintf(stderr, "moviedump: frame %d cannot be read\n", i);
            status = 1;
            break;
        }
        char file[32];
        snprintf(file, sizeof file, "frame%04d.png", i);
        std::string path = (std::filesystem::path(out) / file).string();
        if (!PlatWritePngRgb(path.c_str(), m->width, m->height, to_rgb(m).data())) {
            fprintf(stderr, "moviedump: cannot write '%s'\n", path.c_str());
            status = 1;
            break;
        }
    }
    KillMovie(m);
    return status;
}
