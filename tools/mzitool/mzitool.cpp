// mzitool: makes .mzi movies from pictures or from a built-in animation, with an optional PCM sound
// track, and tells what a movie holds.
//   mzitool build <out.mzi> [options] <frame.bmp|frame.tga>...
//   mzitool demo <out.mzi> [options] [--frames N] [--size WxH]
//   mzitool info <in.mzi>
// options: --fps N, --format 3|4|5|8|10, --per-frame, --wav FILE | --tone HZ:MS, --start FRAME
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "brondel/brcore.h"
#include "brondel/brpmfile.h"
#include "mzi/mziwriter.h"
#include "mzifile.h"
#include "vokplat/paths.h"

namespace {

// Reading failures of the picture loaders are printed; the loader then answers null.
void diag(const char *message)
{
    fprintf(stderr, "mzitool: %s\n", message);
}
br_diaghandler g_diag = {"mzitool", diag, diag};

int usage()
{
    fprintf(stderr, "usage: mzitool build <out.mzi> [options] <frame.bmp|frame.tga>...\n"
                    "       mzitool demo <out.mzi> [options] [--frames N] [--size WxH]\n"
                    "       mzitool info <in.mzi>\n"
                    "options: --fps N  --format 3|4|5|8|10  --per-frame  --wav FILE | --tone HZ:MS  --start FRAME\n");
    return 2;
}

bool number(const char *text, long lo, long hi, long &out)
{
    char *end = nullptr;
    errno = 0;
    long v = strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

struct Settings {
    mziw::Options options;
    uint32_t format = 5;
    std::string wav;
    long tone_hz = 0, tone_ms = 0;
    long start = 0;
    long frames = 40;
    long width = 160, height = 120;
    std::vector<std::string> inputs;
};

uint16_t le16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t *p) { return uint32_t(le16(p)) | uint32_t(le16(p + 2)) << 16; }

// The PCM format and samples of a WAVE file; every chunk is checked against the file's length.
bool read_wav(const std::string &name, mziw::Track &track, std::string &why)
{
    std::ifstream in(name, std::ios::binary);
    if (!in) {
        why = "cannot read '" + name + "'";
        return false;
    }
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (b.size() < 12 || memcmp(b.data(), "RIFF", 4) != 0 || memcmp(b.data() + 8, "WAVE", 4) != 0) {
        why = "'" + name + "' is not a WAVE file";
        return false;
    }
    bool have_format = false, have_data = false;
    for (size_t at = 12; b.size() - at >= 8;) {
        uint32_t size = le32(b.data() + at + 4);
        size_t body = at + 8;
        if (size > b.size() - body)
            break;
        if (memcmp(b.data() + at, "fmt ", 4) == 0 && size >= 16) {
            track.format_tag = le16(b.data() + body);
            track.channels = le16(b.data() + body + 2);
            track.rate = le32(b.data() + body + 4);
            track.bits = le16(b.data() + body + 14);
            have_format = true;
        } else if (memcmp(b.data() + at, "data", 4) == 0) {
            track.data.assign(b.begin() + long(body), b.begin() + long(body + size));
            have_data = true;
        }
        at = body + size + (size & 1);
    }
    if (!have_format || !have_data) {
        why = "'" + name + "' has no format or no samples";
        return false;
    }
    if (track.format_tag != 1 || (track.bits != 8 && track.bits != 16) || track.channels < 1 || track.channels > 2) {
        why = "'" + name + "' is not 8 or 16-bit PCM in one or two channels";
        return false;
    }
    return true;
}

bool add_sound(mziw::Writer &writer, const Settings &s, std::string &why)
{
    mziw::Track track;
    if (!s.wav.empty()) {
        if (!read_wav(s.wav, track, why))
            return false;
    } else if (s.tone_hz > 0) {
        track.data = mziw::tone(double(s.tone_hz), uint32_t(s.tone_ms), track.rate, track.channels);
    } else {
        return true;
    }
    track.start_frame = uint32_t(s.start);
    writer.add_track(track);
    return true;
}

// One picture's pixel as 8-bit channels.
bool picture_pixel(const br_pixelmap *pm, int x, int y, uint8_t rgba[4])
{
    const uint8_t *row = static_cast<const uint8_t *>(pm->pixels) + (ptrdiff_t(pm->base_y) + y) * pm->row_bytes;
    int px = pm->base_x + x;
    uint32_t v;
    switch (pm->type) {
    case BR_PMT_INDEX_8: {
        const br_pixelmap *map = pm->map;
        uint8_t i = row[px];
        if (map == nullptr || i >= map->height * (map->width > 1 ? map->width : 1))
            return false;
        const uint8_t *e = static_cast<const uint8_t *>(map->pixels) + size_t(i) * map->row_bytes;
        rgba[0] = e[2], rgba[1] = e[1], rgba[2] = e[0], rgba[3] = 255;
        return true;
    }
    case BR_PMT_RGB_555:
        v = le16(row + px * 2);
        rgba[0] = uint8_t((v >> 10 & 31) << 3), rgba[1] = uint8_t((v >> 5 & 31) << 3), rgba[2] = uint8_t((v & 31) << 3);
        rgba[3] = 255;
        return true;
    case BR_PMT_RGB_565:
        v = le16(row + px * 2);
        rgba[0] = uint8_t((v >> 11) << 3), rgba[1] = uint8_t((v >> 5 & 63) << 2), rgba[2] = uint8_t((v & 31) << 3);
        rgba[3] = 255;
        return true;
    case BR_PMT_RGB_888:
        rgba[0] = row[px * 3 + 2], rgba[1] = row[px * 3 + 1], rgba[2] = row[px * 3], rgba[3] = 255;
        return true;
    case BR_PMT_RGBX_888:
    case BR_PMT_RGBA_8888:
        rgba[0] = row[px * 4 + 2], rgba[1] = row[px * 4 + 1], rgba[2] = row[px * 4];
        rgba[3] = pm->type == BR_PMT_RGBA_8888 ? row[px * 4 + 3] : 255;
        return true;
    default:
        return false;
    }
}

br_pixelmap *load_picture(const std::string &name)
{
    size_t n = name.size();
    bool tga = n >= 4 && strcasecmp(name.c_str() + n - 4, ".tga") == 0;
    return tga ? BrFmtTGALoad(name.c_str(), BR_FMT_TGA_ALPHA) : BrFmtBMPLoad(name.c_str(), 0);
}

int build(const std::string &out, const Settings &s)
{
    mziw::Writer writer(s.options);
    std::string why;
    if (!add_sound(writer, s, why)) {
        fprintf(stderr, "mzitool: %s\n", why.c_str());
        return 1;
    }
    BrDiagHandlerSet(&g_diag);
    if (BrCoreBegin() != BRE_OK)
        return 1;
    int status = 0;
    for (const std::string &name : s.inputs) {
        br_pixelmap *pm = load_picture(name);
        if (pm == nullptr) {
            fprintf(stderr, "mzitool: cannot load '%s'\n", name.c_str());
            status = 1;
            break;
        }
        const int bytes = mziw::pixel_bytes(s.format);
        std::vector<uint8_t> pixels(size_t(pm->width) * pm->height * bytes);
        bool ok = true;
        for (int y = 0; y < pm->height && ok; y++) {
            for (int x = 0; x < pm->width && ok; x++) {
                uint8_t c[4];
                ok = picture_pixel(pm, x, y, c);
                // Frames are stored bottom row first.
                size_t at = (size_t(pm->height - 1 - y) * pm->width + x) * bytes;
                mziw::put_pixel(s.format, c[0], c[1], c[2], c[3], pixels.data() + at);
            }
        }
        uint16_t w = pm->width, h = pm->height;
        BrPixelmapFree(pm);
        if (!ok) {
            fprintf(stderr, "mzitool: '%s' has a pixel type mzitool cannot read\n", name.c_str());
            status = 1;
            break;
        }
        if (!writer.add_frame(s.format, w, h, pixels)) {
            fprintf(stderr, "mzitool: '%s' differs in size from the first frame (use --per-frame)\n", name.c_str());
            status = 1;
            break;
        }
    }
    BrCoreEnd();
    if (status != 0)
        return status;
    if (!writer.write(out, why)) {
        fprintf(stderr, "mzitool: %s\n", why.c_str());
        return 1;
    }
    return 0;
}

// A generated animation: a colour ramp that moves, with a square crossing it and a frame counter bar.
int demo(const std::string &out, const Settings &s)
{
    mziw::Writer writer(s.options);
    std::string why;
    if (!add_sound(writer, s, why)) {
        fprintf(stderr, "mzitool: %s\n", why.c_str());
        return 1;
    }
    const int w = int(s.width), h = int(s.height), bytes = mziw::pixel_bytes(s.format);
    for (long n = 0; n < s.frames; n++) {
        std::vector<uint8_t> pixels(size_t(w) * h * bytes);
        const int side = h / 3, sx = int((w - side) * n / std::max(1L, s.frames - 1)), sy = (h - side) / 2;
        for (int y = 0; y < h; y++) {
            for (int x = 0; x < w; x++) {
                uint8_t r = uint8_t((x * 255 / std::max(1, w - 1) + n * 6) & 255), g = uint8_t(y * 255 / std::max(1, h - 1)),
                        b = 96, a = 255;
                if (x >= sx && x < sx + side && y >= sy && y < sy + side)
                    r = 255, g = 255, b = 255;
                else if (s.format == 10)
                    a = uint8_t(x * 255 / std::max(1, w - 1));
                if (y < 4 && x < (n + 1) * w / s.frames)
                    r = 255, g = 0, b = 0, a = 255;
                size_t at = (size_t(h - 1 - y) * w + x) * bytes;
                mziw::put_pixel(s.format, r, g, b, a, pixels.data() + at);
            }
        }
        writer.add_frame(s.format, uint16_t(w), uint16_t(h), pixels);
    }
    if (!writer.write(out, why)) {
        fprintf(stderr, "mzitool: %s\n", why.c_str());
        return 1;
    }
    return 0;
}

int info(const std::string &in)
{
    std::ifstream f(in, std::ios::binary);
    if (!f) {
        fprintf(stderr, "mzitool: cannot read '%s'\n", in.c_str());
        return 1;
    }
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    media::mzi::Movie movie;
    std::string why;
    if (!media::mzi::parse(b.data(), b.size(), movie, why)) {
        fprintf(stderr, "mzitool: '%s' is not a playable movie: %s\n", in.c_str(), why.c_str());
        return 1;
    }
    printf("version %u, %zu frames at %u fps, %s, %d x %d at (%d, %d), pixel format %u\n", movie.version,
           movie.frames.size(), movie.fps, movie.per_frame_headers ? "a header per frame" : "one frame header",
           movie.right - movie.left, movie.bottom - movie.top, movie.left, movie.top, movie.frames[0].format);
    for (size_t i = 0; i < movie.tracks.size(); i++) {
        const media::mzi::Track &t = movie.tracks[i];
        printf("track %zu: tag %u, %u channels, %u Hz, %u bits, %u bytes, from frame %u\n", i,
               media::mzi::get16(t.format), media::mzi::get16(t.format + 2), media::mzi::get32(t.format + 4),
               media::mzi::get16(t.format + 14), t.length, t.start_frame);
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return usage();
    const std::string command = argv[1], file = PlatToolPath(argv[2]);
    if (command == "info")
        return argc == 3 ? info(file) : usage();
    if (command != "build" && command != "demo")
        return usage();
    Settings s;
    for (int i = 3; i < argc; i++) {
        std::string a = argv[i];
        const char *next = i + 1 < argc ? argv[i + 1] : nullptr;
        long v = 0;
        auto bad = [&](const char *what) {
            fprintf(stderr, "mzitool: %s '%s' is not valid\n", what, next != nullptr ? next : "");
            return 2;
        };
        if (a == "--per-frame") {
            s.options.per_frame_flag = 1;
        } else if (a == "--fps") {
            if (next == nullptr || !number(next, 1, 1000, v))
                return bad("fps");
            s.options.fps = uint16_t(v), i++;
        } else if (a == "--format") {
            if (next == nullptr || !number(next, 3, 10, v) || mziw::pixel_bytes(uint32_t(v)) == 0)
                return bad("format");
            s.format = uint32_t(v), i++;
        } else if (a == "--wav") {
            if (next == nullptr)
                return bad("wav");
            s.wav = PlatToolPath(next), i++;
        } else if (a == "--tone") {
            long hz = 0, ms = 0;
            std::string t = next != nullptr ? next : "";
            size_t colon = t.find(':');
            if (colon == std::string::npos || !number(t.substr(0, colon).c_str(), 1, 20000, hz) ||
                !number(t.substr(colon + 1).c_str(), 1, 600000, ms))
                return bad("tone");
            s.tone_hz = hz, s.tone_ms = ms, i++;
        } else if (a == "--start") {
            if (next == nullptr || !number(next, 0, 65535, v))
                return bad("start");
            s.start = v, i++;
        } else if (a == "--frames" && command == "demo") {
            if (next == nullptr || !number(next, 1, 65535, v))
                return bad("frames");
            s.frames = v, i++;
        } else if (a == "--size" && command == "demo") {
            std::string t = next != nullptr ? next : "";
            size_t x = t.find('x');
            if (x == std::string::npos || !number(t.substr(0, x).c_str(), 1, 4096, s.width) ||
                !number(t.substr(x + 1).c_str(), 1, 4096, s.height))
                return bad("size");
            i++;
        } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
            fprintf(stderr, "mzitool: unknown option '%s'\n", a.c_str());
            return 2;
        } else if (command == "build") {
            s.inputs.push_back(PlatToolPath(a.c_str()));
        } else {
            return usage();
        }
    }
    if (command == "build") {
        if (s.inputs.empty() || s.inputs.size() > 65535)
            return usage();
        return build(file, s);
    }
    return demo(file, s);
}
