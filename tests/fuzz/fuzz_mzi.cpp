// libFuzzer target: the .mzi reader. A movie it accepts is walked the way the player walks it (every
// frame's rows and every track's data, alpha pixels through the blend rule), from an exactly sized
// copy, so any length or offset it failed to check reads outside the copy.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "mzifile.h"
#include "mzipixels.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    auto *bytes = static_cast<uint8_t *>(malloc(size ? size : 1));
    memcpy(bytes, data, size);
    media::mzi::Movie movie;
    std::string why;
    volatile unsigned sum = 0;
    if (media::mzi::parse(bytes, size, movie, why)) {
        for (const media::mzi::Track &t : movie.tracks)
            for (uint32_t i = 0; i < t.length; i++)
                sum = sum + bytes[t.data_offset + i];
        for (const media::mzi::Frame &f : movie.frames) {
            const int pixel = media::mzi::stored_bytes(f.format);
            for (int r = 0; r < f.height; r++) {
                const uint8_t *row = bytes + f.pixels + size_t(r) * f.row_bytes;
                for (int x = 0; x < f.width; x++) {
                    const uint8_t *p = row + size_t(x) * pixel;
                    sum = sum + (f.format == media::mzi::kAlpha555
                                     ? media::mzi::blend_pixel(media::mzi::get16(p + 1), p[0], 0x1234)
                                     : p[pixel - 1]);
                }
            }
        }
    }
    free(bytes);
    return 0;
}
