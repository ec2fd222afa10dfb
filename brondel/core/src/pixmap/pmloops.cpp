// Inner loops of the memory class: runs of one colour and row copies, at memory speed: the colour
// is replicated into a pattern once and stored in wide words.
#include <string.h>
#include <wchar.h>

#include "pmint.h"

namespace {

// A 48-byte pattern holds a whole number of pixels of every size from 1 to 4 bytes; the spare
// bytes let the pattern be read from any phase.
struct fill_pattern {
    br_uint_8 bytes[48 + 8];
};

void make_pattern(fill_pattern *pat, int bpp, br_uint_32 colour)
{
    for (int i = 0; i < (int)sizeof(pat->bytes); i++)
        pat->bytes[i] = (br_uint_8)(colour >> (8 * (i % bpp)));
}

void fill_bytes(br_uint_8 *dst, br_size_t n, const fill_pattern *pat, int bpp)
{
    if (bpp == 1) {
        memset(dst, pat->bytes[0], n);
        return;
    }
    // Where the pattern enters at dst, so that pixel boundaries stay in place while aligning.
    br_size_t phase = 0;
    while (n > 0 && ((uintptr_t)dst & 7) != 0) {
        *dst++ = pat->bytes[phase];
        phase = (phase + 1) % (br_size_t)bpp;
        n--;
    }
    if (bpp == 3) {
        // Three 16-byte blocks repeat every 48 bytes.
        typedef br_uint_8 block16 __attribute__((vector_size(16)));
        block16 v[3];
        memcpy(v, pat->bytes + phase, 48);
        while (n >= 48) {
            memcpy(dst, &v[0], 16);
            memcpy(dst + 16, &v[1], 16);
            memcpy(dst + 32, &v[2], 16);
            dst += 48;
            n -= 48;
        }
        memcpy(dst, pat->bytes + phase, n); // n < 48, and the pattern carries 8 bytes more
        return;
    }
    // Two- and four-byte pixels repeat every four bytes: the C library's wide fill stores them
    // with the widest stores the machine has.
    br_uint_32 word;
    memcpy(&word, pat->bytes + phase, 4);
    br_size_t words = n / 4;
    wmemset((wchar_t *)(void *)dst, (wchar_t)word, words);
    dst += words * 4;
    n -= words * 4;
    memcpy(dst, pat->bytes + phase, n);
}

} // namespace

void pm_fill_run(br_uint_8 *dst, br_size_t count, int bpp, br_uint_32 colour)
{
    if (bpp < 1 || bpp > 4)
        return;
    fill_pattern pat;
    make_pattern(&pat, bpp, colour);
    fill_bytes(dst, count * (br_size_t)bpp, &pat, bpp);
}

void pm_fill_rows(br_uint_8 *dst, intptr_t stride, br_size_t count, br_size_t rows, int bpp, br_uint_32 colour)
{
    if (bpp < 1 || bpp > 4)
        return;
    fill_pattern pat;
    make_pattern(&pat, bpp, colour);
    for (br_size_t r = 0; r < rows; r++, dst += stride)
        fill_bytes(dst, count * (br_size_t)bpp, &pat, bpp);
}

void pm_copy_rows(br_uint_8 *dst, intptr_t dst_stride, const br_uint_8 *src, intptr_t src_stride, br_size_t bytes,
                  br_size_t rows)
{
    // Rows of one map may overlap when a map copies into itself.
    for (br_size_t r = 0; r < rows; r++, dst += dst_stride, src += src_stride)
        memmove(dst, src, bytes);
}
