// Truevision TGA pictures: colour-mapped and true-colour, plain and run-length, either row order.
#include <vector>

#include "fmtread.h"

namespace {

struct tga_header {
    br_uint_8 id_length;
    br_uint_8 colour_map_type;
    br_uint_8 image_type;
    br_uint_16 map_first;
    br_uint_16 map_length;
    br_uint_8 map_entry_size;
    br_uint_16 width;
    br_uint_16 height;
    br_uint_8 depth;
    br_uint_8 descriptor;
};

constexpr br_uint_8 desc_top_down = 0x20;
constexpr br_uint_8 desc_right_left = 0x10;

bool run_length(br_uint_8 image_type)
{
    return image_type == 9 || image_type == 10;
}

// One row of width pixels into buf. Run-length packets that reach past the row are read whole, so
// the file stays in step, and only the pixels that fit are kept.
bool read_row(fmt_file &f, const tga_header &h, br_uint_8 *buf, int bpp)
{
    if (!run_length(h.image_type))
        return f.read(buf, (br_size_t)h.width * bpp);
    br_uint_32 n = 0;
    br_uint_8 pixel[4];
    while (n < h.width) {
        int head = f.byte();
        if (head < 0)
            return false;
        br_uint_32 count = (head & 0x7f) + 1;
        if (head & 0x80) {
            if (!f.read(pixel, bpp))
                return false;
            for (br_uint_32 i = 0; i < count && n < h.width; i++, n++)
                memcpy(buf + n * bpp, pixel, bpp);
        } else {
            for (br_uint_32 i = 0; i < count; i++) {
                if (!f.read(pixel, bpp))
                    return false;
                if (n < h.width)
                    memcpy(buf + (n++) * bpp, pixel, bpp);
            }
        }
    }
    return true;
}

br_pixelmap *load(fmt_file &f, br_uint_32 flags)
{
    br_uint_8 raw[18];
    if (!f.read(raw, 18)) {
        BrFailure("Unable to read header information from '%s'", f.name);
        return nullptr;
    }
    tga_header h = {raw[0], raw[1], raw[2], fmt_le16(raw + 3), fmt_le16(raw + 5), raw[7],
                    fmt_le16(raw + 12), fmt_le16(raw + 14), raw[16], raw[17]};

    // The accepted (image type, depth) pairs; 32-bit true colour keeps its alpha on request.
    static const struct {
        br_uint_8 image_type, depth, type;
    } pairs[] = {
        {1, 8, BR_PMT_INDEX_8},   {9, 8, BR_PMT_INDEX_8},   {2, 15, BR_PMT_RGB_555},  {10, 15, BR_PMT_RGB_555},
        {2, 16, BR_PMT_RGB_565},  {10, 16, BR_PMT_RGB_565}, {2, 24, BR_PMT_RGB_888},  {10, 24, BR_PMT_RGB_888},
        {2, 32, BR_PMT_RGBX_888}, {10, 32, BR_PMT_RGBX_888},
    };
    int found = -1;
    bool listed_type = false;
    for (int i = 0; i < (int)(sizeof(pairs) / sizeof(pairs[0])); i++) {
        listed_type = listed_type || pairs[i].image_type == h.image_type;
        if (pairs[i].image_type == h.image_type && pairs[i].depth == h.depth)
            found = i;
    }
    if (found < 0) {
        // Only a listed type with a depth no picture has is told by its depth.
        bool known_depth = h.depth == 8 || h.depth == 15 || h.depth == 16 || h.depth == 24 || h.depth == 32;
        if (listed_type && !known_depth)
            BrFailure("%d bit TGA file '%s' not supported", h.depth, f.name);
        else
            BrFailure("TGA image type %d in file '%s' not supported", h.image_type, f.name);
        return nullptr;
    }
    br_uint_8 type = pairs[found].type;
    if (type == BR_PMT_RGBX_888 && (flags & BR_FMT_TGA_ALPHA))
        type = BR_PMT_RGBA_8888;
    if (h.width == 0 || h.height == 0) {
        BrFailure("TGA file '%s' holds no pixels", f.name);
        return nullptr;
    }
    int bpp = PmTypeInfo[type].bits / 8;
    if (!fmt_size_ok(h.width, h.height, bpp, f.name))
        return nullptr;
    f.skip(h.id_length);

    // The colour map comes first in the file; the picture is made once its rows are all read, so
    // a file that cannot back its size never gets its memory.
    br_pixelmap *pal = nullptr;
    if (h.colour_map_type != 0) {
        br_uint_32 entry_bytes = (h.map_entry_size + 7u) / 8u;
        if (h.depth == 8) {
            pal = fmt_palette(f.name);
            if (pal == nullptr)
                return nullptr;
            for (br_uint_32 i = 0; i < h.map_length; i++) {
                br_uint_8 e[4] = {0, 0, 0, 0};
                bool whole = f.read(e, entry_bytes < 4 ? entry_bytes : 4);
                if (entry_bytes > 4)
                    f.skip(entry_bytes - 4);
                if (!whole) {
                    BrFailure("Unable to read palette from '%s'", f.name);
                    BrPixelmapFree(pal);
                    return nullptr;
                }
                br_uint_32 index = h.map_first + i;
                if (index > 255)
                    continue;
                br_uint_32 colour = 0;
                if (h.map_entry_size == 15 || h.map_entry_size == 16) {
                    br_uint_32 v = fmt_le16(e);
                    colour = ((v & 0x1f) << 3) | (((v >> 5) & 0x1f) << 11) | (((v >> 10) & 0x1f) << 19);
                } else if (h.map_entry_size == 24 || h.map_entry_size == 32) {
                    colour = e[0] | (e[1] << 8) | (e[2] << 16);
                }
                fmt_palette_set(pal, (int)index, colour);
            }
        } else {
            f.skip((br_size_t)entry_bytes * h.map_length);
        }
    }

    br_size_t row_len = (br_size_t)h.width * bpp;
    std::vector<br_uint_8> rows;
    for (br_uint_32 r = 0; r < h.height; r++) {
        rows.resize((r + 1) * row_len);
        if (!read_row(f, h, rows.data() + r * row_len, bpp)) {
            BrFailure("Unable to read image data from '%s'", f.name);
            if (pal != nullptr)
                BrPixelmapFree(pal);
            return nullptr;
        }
    }

    br_pixelmap *pm = fmt_allocate(type, h.width, h.height, f.name);
    if (pm == nullptr) {
        if (pal != nullptr)
            BrPixelmapFree(pal);
        return nullptr;
    }
    if (pal != nullptr) {
        pm->map = pal;
        BrResAdd(pm, pal);
    }
    for (br_uint_32 r = 0; r < h.height; r++) {
        const br_uint_8 *src = rows.data() + r * row_len;
        br_int_32 y = (h.descriptor & desc_top_down) ? (br_int_32)r : (br_int_32)(h.height - 1 - r);
        br_uint_8 *dst = fmt_row(pm, y);
        if (h.descriptor & desc_right_left) {
            for (br_uint_32 x = 0; x < h.width; x++)
                memcpy(dst + x * bpp, src + (h.width - 1 - x) * bpp, bpp);
        } else {
            memcpy(dst, src, row_len);
        }
    }
    return pm;
}

} // namespace

br_pixelmap *BrFmtTGALoad(const char *name, br_uint_32 flags)
{
    void *h = BrFileOpenRead(name, 0, nullptr, nullptr);
    if (h == nullptr) {
        BrFailure("Could not open '%s' for reading", name);
        return nullptr;
    }
    fmt_file f = {h, name};
    br_pixelmap *pm = load(f, flags);
    BrFileClose(h);
    return pm;
}
