// Windows and OS/2 bitmap pictures: 4- and 8-bit indexed (plain or run-length) and 24-bit.
#include <vector>

#include "fmtread.h"

namespace {

enum { bmp_rgb = 0, bmp_rle8 = 1, bmp_rle4 = 2, bmp_bitfields = 3 };

struct bmp_info {
    br_uint_32 header_size;
    br_int_32 width;
    br_int_32 height;
    br_uint_16 bit_count;
    br_uint_32 compression;
    br_uint_32 colours_used;
};

// Plain rows as stored, each padded to 4 bytes; read before the picture is made, so a file that
// cannot back its size never gets its memory.
bool read_plain_rows(fmt_file &f, const bmp_info &bi, br_int_32 height, std::vector<br_uint_8> &rows,
                     br_size_t *row_bytes)
{
    *row_bytes = (((br_size_t)bi.width * bi.bit_count + 31) / 32) * 4;
    for (br_int_32 i = 0; i < height; i++) {
        rows.resize((size_t)(i + 1) * *row_bytes);
        if (!f.read(rows.data() + (size_t)i * *row_bytes, *row_bytes)) {
            BrFailure("Unable to read image data from '%s'", f.name);
            return false;
        }
    }
    return true;
}

void store_plain_rows(br_pixelmap *pm, const bmp_info &bi, bool top_down, const std::vector<br_uint_8> &rows,
                      br_size_t row_bytes)
{
    br_int_32 w = pm->width, h = pm->height;
    for (br_int_32 i = 0; i < h; i++) {
        const br_uint_8 *row = rows.data() + (size_t)i * row_bytes;
        br_uint_8 *dst = fmt_row(pm, top_down ? i : h - 1 - i);
        if (bi.bit_count == 4) {
            // Whole bytes are unpacked: an odd width's spare nibble lands in the row's padding.
            br_int_32 room = pm->row_bytes < 0 ? -pm->row_bytes : pm->row_bytes;
            br_int_32 n = (w & 1) && w < room ? w + 1 : w;
            for (br_int_32 x = 0; x < n; x++)
                dst[x] = (x & 1) ? (row[x / 2] & 0x0f) : (row[x / 2] >> 4);
        } else {
            memcpy(dst, row, (br_size_t)w * (bi.bit_count / 8));
        }
    }
}

// Run-length pictures: pixels land in a scratch row that is stored whenever the row changes (an end
// of line, or a delta that moves up), from the bottom row up. Nothing is written outside the scratch
// row or the picture.
bool read_rle(fmt_file &f, br_pixelmap *pm, const bmp_info &bi)
{
    br_int_32 w = pm->width;
    std::vector<br_uint_8> scratch((size_t)w, 0);
    br_int_32 row = pm->height - 1;
    int64_t col = 0;
    bool four = bi.compression == bmp_rle4;
    auto put = [&](br_uint_8 v) {
        if (col >= 0 && col < w)
            scratch[(size_t)col] = v;
        col++;
    };
    // Stores the row decoded so far and starts the one `up` rows higher cleared; false past the top.
    auto next_row = [&](int up) {
        memcpy(fmt_row(pm, row), scratch.data(), scratch.size());
        memset(scratch.data(), 0, scratch.size());
        row -= up;
        return row >= 0;
    };
    auto fail = [&] {
        BrFailure("Unable to read compressed image data from '%s'", f.name);
        return false;
    };
    for (;;) {
        int n = f.byte();
        int v = f.byte();
        if (n < 0 || v < 0)
            return fail();
        if (n > 0) {
            for (int k = 0; k < n; k++)
                put(four ? ((k & 1) ? (v & 0x0f) : (v >> 4)) : (br_uint_8)v);
            continue;
        }
        if (v == 0) {
            col = 0;
            if (!next_row(1))
                return true;
        } else if (v == 1) {
            return true;
        } else if (v == 2) {
            int dx = f.byte(), dy = f.byte();
            if (dx < 0 || dy < 0)
                return fail();
            col += dx;
            if (dy > 0 && !next_row(dy))
                return true;
        } else {
            int bytes = four ? (v + 1) / 2 : v;
            for (int k = 0; k < bytes; k++) {
                int b = f.byte();
                if (b < 0)
                    return fail();
                if (four) {
                    put((br_uint_8)(b >> 4));
                    if (2 * k + 1 < v)
                        put((br_uint_8)(b & 0x0f));
                } else {
                    put((br_uint_8)b);
                }
            }
            if (bytes & 1 && f.byte() < 0)
                return fail();
        }
    }
}

br_pixelmap *load(fmt_file &f)
{
    br_uint_8 fh[14];
    if (!f.read(fh, 14)) {
        BrFailure("Unable to read header information from '%s'", f.name);
        return nullptr;
    }
    if (fh[0] != 'B' || fh[1] != 'M') {
        BrFailure("'%s' is not a valid BMP file", f.name);
        return nullptr;
    }
    br_uint_32 data_offset = fmt_le32(fh + 10);

    // The header's size says which of the two forms follows, so only its own bytes are read.
    br_uint_8 ih[40];
    if (!f.read(ih, 4)) {
        BrFailure("Unable to read bitmap info header from '%s'", f.name);
        return nullptr;
    }
    bmp_info bi;
    bi.header_size = fmt_le32(ih);
    if (bi.header_size != 12 && bi.header_size != 40) {
        BrFailure("'%s' is not a valid BMP file", f.name);
        return nullptr;
    }
    if (!f.read(ih + 4, bi.header_size - 4)) {
        BrFailure("Unable to read bitmap info header from '%s'", f.name);
        return nullptr;
    }
    bool os2 = bi.header_size == 12;
    if (os2) {
        bi.width = fmt_le16(ih + 4);
        bi.height = fmt_le16(ih + 6);
        bi.bit_count = fmt_le16(ih + 10);
        bi.compression = bmp_rgb;
        bi.colours_used = 0;
    } else {
        bi.width = (br_int_32)fmt_le32(ih + 4);
        bi.height = (br_int_32)fmt_le32(ih + 8);
        bi.bit_count = fmt_le16(ih + 14);
        bi.compression = fmt_le32(ih + 16);
        bi.colours_used = fmt_le32(ih + 32);
    }
    // A negative height is a top-down picture; sizes must fit the pixel map's 16-bit fields.
    bool top_down = bi.height < 0;
    int64_t height = top_down ? -(int64_t)bi.height : bi.height;
    if (bi.width <= 0 || bi.width > 0xffff || height == 0 || height > 0xffff ||
        (top_down && bi.compression != bmp_rgb)) {
        BrFailure("'%s' is not a valid BMP file", f.name);
        return nullptr;
    }

    br_uint_32 colours = bi.colours_used;
    if (colours == 0)
        colours = bi.bit_count == 1 ? 2 : bi.bit_count == 4 ? 16 : bi.bit_count == 8 ? 256 : 0;

    br_uint_8 type;
    switch (bi.bit_count) {
    case 1:
        BrFailure("1 bit BMP '%s' not supported", f.name);
        return nullptr;
    case 4:
    case 8:
        type = BR_PMT_INDEX_8;
        if (bi.compression == bmp_bitfields) {
            BrFailure("BMP compression type BITFIELDS not supported in '%s'", f.name);
            return nullptr;
        }
        if (bi.compression > bmp_rle4 || (bi.compression == bmp_rle8 && bi.bit_count != 8) ||
            (bi.compression == bmp_rle4 && bi.bit_count != 4)) {
            BrFailure("'%s' is not a valid BMP file", f.name);
            return nullptr;
        }
        break;
    case 16:
        BrFailure("16 bit BMP '%s' not supported", f.name);
        return nullptr;
    case 24:
        type = BR_PMT_RGB_888;
        if (bi.compression != bmp_rgb) {
            BrFailure("24 bit compressed file '%s' not supported", f.name);
            return nullptr;
        }
        colours = 0;
        break;
    case 32:
        BrFailure("32 bit BMP '%s' not supported", f.name);
        return nullptr;
    default:
        BrFailure("%d bit BMP '%s' not supported", bi.bit_count, f.name);
        return nullptr;
    }

    if (!fmt_size_ok(bi.width, (br_int_32)height, PmTypeInfo[type].bits / 8, f.name))
        return nullptr;
    br_pixelmap *pal = nullptr;
    uint64_t position = 14 + bi.header_size;
    if (type == BR_PMT_INDEX_8) {
        pal = fmt_palette(f.name);
        if (pal == nullptr)
            return nullptr;
        // The colour map holds 256 entries; a file that claims more has the rest skipped.
        br_uint_32 entry = os2 ? 3 : 4;
        br_uint_32 kept = colours < 256 ? colours : 256;
        for (br_uint_32 i = 0; i < kept; i++) {
            br_uint_8 e[4] = {0, 0, 0, 0};
            if (!f.read(e, entry)) {
                BrFailure("Unable to read palette from '%s'", f.name);
                BrPixelmapFree(pal);
                return nullptr;
            }
            fmt_palette_set(pal, (int)i, fmt_le32(e));
        }
        position += (uint64_t)colours * entry;
        if (colours > kept) {
            if (data_offset == 0 || data_offset < position) {
                BrFailure("Unable to read palette from '%s'", f.name);
                BrPixelmapFree(pal);
                return nullptr;
            }
            f.skip((br_size_t)(colours - kept) * entry);
        }
    }
    if (data_offset != 0) {
        if (data_offset < position) {
            BrFailure("'%s' is not a valid BMP file", f.name);
            if (pal != nullptr)
                BrPixelmapFree(pal);
            return nullptr;
        }
        f.skip((br_size_t)(data_offset - position));
    }

    std::vector<br_uint_8> rows;
    br_size_t row_bytes = 0;
    if (bi.compression == bmp_rgb && !read_plain_rows(f, bi, (br_int_32)height, rows, &row_bytes)) {
        if (pal != nullptr)
            BrPixelmapFree(pal);
        return nullptr;
    }
    br_pixelmap *pm = fmt_allocate(type, bi.width, (br_int_32)height, f.name);
    if (pm == nullptr) {
        if (pal != nullptr)
            BrPixelmapFree(pal);
        return nullptr;
    }
    if (pal != nullptr) {
        pm->map = pal;
        BrResAdd(pm, pal);
        // Pixels a run-length picture leaves out stay 0.
        for (br_int_32 y = 0; y < pm->height; y++)
            memset(fmt_row(pm, y), 0, pm->width);
    }
    if (bi.compression == bmp_rgb) {
        store_plain_rows(pm, bi, top_down, rows, row_bytes);
    } else if (!read_rle(f, pm, bi)) {
        BrPixelmapFree(pm);
        return nullptr;
    }
    return pm;
}

} // namespace

br_pixelmap *BrFmtBMPLoad(const char *name, br_uint_32 flags)
{
    void *h = BrFileOpenRead(name, 0, nullptr, nullptr);
    if (h == nullptr) {
        BrFailure("Could not open '%s' for reading", name);
        return nullptr;
    }
    fmt_file f = {h, name};
    br_pixelmap *pm = load(f);
    BrFileClose(h);
    return pm;
}
