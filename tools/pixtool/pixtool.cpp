// pixtool: turns BMP and TGA pictures into pixel-map files and shows what a pixel-map file holds.
//   pixtool convert <in.bmp|in.tga> <out.pix> [--text]
//   pixtool dump <in.pix>
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <string>

#include "brondel/brcore.h"
#include "brondel/brpmfile.h"
#include "vokplat/paths.h"

namespace {

const char *const type_names[BR_PMT_MAX] = {
    "BR_PMT_INDEX_1",  "BR_PMT_INDEX_2", "BR_PMT_INDEX_4",   "BR_PMT_INDEX_8",   "BR_PMT_RGB_555",
    "BR_PMT_RGB_565",  "BR_PMT_RGB_888", "BR_PMT_RGBX_888",  "BR_PMT_RGBA_8888", "BR_PMT_YUYV_8888",
    "BR_PMT_YUV_888",  "BR_PMT_DEPTH_16", "BR_PMT_DEPTH_32", "BR_PMT_ALPHA_8",   "BR_PMT_INDEXA_88",
};

// Failures are printed and the command goes on to answer with its exit code.
int failures;
void report(const char *message)
{
    fprintf(stderr, "pixtool: %s\n", message);
    failures++;
}
br_diaghandler handler = {"pixtool", report, report};

int usage()
{
    fprintf(stderr, "usage: pixtool convert <in.bmp|in.tga> <out.pix> [--text]\n"
                    "       pixtool dump <in.pix>\n");
    return 2;
}

bool ends_with(const std::string &s, const char *suffix)
{
    size_t n = strlen(suffix);
    return s.size() >= n && strcasecmp(s.c_str() + s.size() - n, suffix) == 0;
}

// BMP files start with "BM"; anything else named .tga is read as TGA.
br_pixelmap *load_picture(const std::string &name)
{
    if (ends_with(name, ".tga"))
        return BrFmtTGALoad(name.c_str(), BR_FMT_TGA_ALPHA);
    if (ends_with(name, ".bmp"))
        return BrFmtBMPLoad(name.c_str(), 0);
    FILE *fp = fopen(name.c_str(), "rb");
    char magic[2] = {0, 0};
    if (fp != nullptr) {
        if (fread(magic, 1, 2, fp) != 2)
            magic[0] = 0;
        fclose(fp);
    }
    return magic[0] == 'B' && magic[1] == 'M' ? BrFmtBMPLoad(name.c_str(), 0)
                                              : BrFmtTGALoad(name.c_str(), BR_FMT_TGA_ALPHA);
}

int convert(const std::string &in, const std::string &out, bool text)
{
    br_pixelmap *pm = load_picture(in);
    if (pm == nullptr) {
        fprintf(stderr, "pixtool: cannot load '%s'\n", in.c_str());
        return 1;
    }
    DfWriteModeSet(text ? DF_MODE_TEXT : DF_MODE_BINARY);
    errno = 0;
    br_uint_32 saved = BrPixelmapSave(out.c_str(), pm);
    int why = errno;
    BrPixelmapFree(pm);
    if (!saved) {
        fprintf(stderr, "pixtool: cannot write '%s': %s\n", out.c_str(), why != 0 ? strerror(why) : "write failed");
        return 1;
    }
    return 0;
}

void dump_map(br_pixelmap *pm, const char *what)
{
    printf("%s \"%s\"\n", what, pm->identifier ? pm->identifier : "");
    printf("  type %s, %u x %u, origin %d,%d, row bytes %d\n", pm->type < BR_PMT_MAX ? type_names[pm->type] : "?",
           pm->width, pm->height, pm->origin_x, pm->origin_y, pm->row_bytes);
    int bytes = BrPixelmapPixelBits(pm) * pm->width;
    bytes = (bytes + 7) / 8;
    for (int y = 0; y < pm->height && pm->pixels != nullptr; y++) {
        const br_uint_8 *row = (const br_uint_8 *)pm->pixels + (intptr_t)(pm->base_y + y) * pm->row_bytes;
        printf("  %4d:", y);
        for (int x = 0; x < bytes; x++)
            printf(" %02x", row[x]);
        printf("\n");
    }
}

int dump(const std::string &in)
{
    br_pixelmap *maps[256];
    br_uint_32 n = BrPixelmapLoadMany(in.c_str(), maps, 256);
    if (n == 0) {
        fprintf(stderr, "pixtool: no pixel map in '%s'\n", in.c_str());
        return 1;
    }
    for (br_uint_32 i = 0; i < n; i++) {
        printf("pixel map %u of %u\n", i + 1, n);
        dump_map(maps[i], "picture");
        if (maps[i]->map != nullptr)
            dump_map(maps[i]->map, "colour map");
        BrPixelmapFree(maps[i]);
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return usage();
    std::string cmd = argv[1];
    BrDiagHandlerSet(&handler);
    if (BrCoreBegin() != BRE_OK)
        return 1;
    int rc;
    if (cmd == "convert" && (argc == 4 || (argc == 5 && strcmp(argv[4], "--text") == 0)))
        rc = convert(PlatToolPath(argv[2]), PlatToolPath(argv[3]), argc == 5);
    else if (cmd == "dump" && argc == 3)
        rc = dump(PlatToolPath(argv[2]));
    else
        rc = usage();
    BrCoreEnd();
    return rc != 0 ? rc : failures != 0 ? 1 : 0;
}
