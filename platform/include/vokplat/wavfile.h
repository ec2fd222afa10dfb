/* The one reader of RIFF WAVE images (plain PCM, 8 or 16 bits, one or two channels), shared by the
 * platform's sound and CD code and the tools. It only reads inside the bytes it is given. */
#ifndef VOKPLAT_WAVFILE_H
#define VOKPLAT_WAVFILE_H

#include <stddef.h>
#include <string.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace vokplat {

struct WavLayout {
    uint16_t format_tag = 0, channels = 0, block = 0, bits = 0;
    uint32_t rate = 0;
    uint64_t data_at = 0;  /* offset of the first sample byte in the image */
    uint64_t data_len = 0; /* whole sample frames only */
};

/* The largest WAVE file: its RIFF length is 32 bits. */
constexpr uint64_t kWavMaxFileBytes = 0xFFFFFFFFull + 8;

/* Finds the format and the samples in the first `size` bytes of a WAVE file (`size` may be a prefix
 * that holds the format and the data chunk's header, with `file_size` the length of the whole file). Chunks run to
 * the end of the RIFF body or of the file, whichever comes first; a data chunk that runs past it keeps
 * the whole frames that are there, any other chunk that does is refused. False with `why` set when the
 * image is no PCM WAVE. */
inline bool parse_wav(const uint8_t* b, size_t size, uint64_t file_size, WavLayout& out, std::string& why)
{
    auto le16 = [](const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); };
    auto le32 = [](const uint8_t* p) {
        return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
    };
    if (size < 12 || memcmp(b, "RIFF", 4) != 0 || memcmp(b + 8, "WAVE", 4) != 0) {
        why = "not a WAVE file";
        return false;
    }
    file_size = std::max<uint64_t>(file_size, size);
    const uint64_t limit = std::min<uint64_t>(file_size, uint64_t(le32(b + 4)) + 8);
    const uint8_t* fmt = nullptr;
    bool have_data = false;
    uint64_t data_at = 0, data_len = 0;
    for (uint64_t at = 12; at + 8 <= limit;) {
        if (at + 8 > size) {
            // A prefix needs to hold no more than the format and the start of the samples.
            if (fmt != nullptr && have_data)
                break;
            why = "a chunk header lies past the bytes read";
            return false;
        }
        const uint8_t* ch = b + at;
        uint64_t len = le32(ch + 4);
        const uint64_t body = at + 8;
        const bool is_data = memcmp(ch, "data", 4) == 0;
        if (len > limit - body) {
            if (!is_data) {
                why = "a chunk runs past the end of the file";
                return false;
            }
            len = limit - body;
        }
        if (memcmp(ch, "fmt ", 4) == 0 && fmt == nullptr) {
            if (len < 16 || body + 16 > size) {
                why = "its format chunk is too short";
                return false;
            }
            fmt = b + body;
        } else if (is_data && !have_data) {
            data_at = body;
            data_len = len;
            have_data = true;
        }
        at = body + len + (len & 1);
    }
    if (fmt == nullptr || !have_data) {
        why = "it has no format or no samples";
        return false;
    }
    WavLayout w;
    w.format_tag = le16(fmt);
    w.channels = le16(fmt + 2);
    w.rate = le32(fmt + 4);
    const uint32_t avg = le32(fmt + 8);
    w.block = le16(fmt + 12);
    w.bits = le16(fmt + 14);
    if (w.format_tag != 1 || (w.channels != 1 && w.channels != 2) || (w.bits != 8 && w.bits != 16)) {
        why = "it is not 8 or 16-bit PCM in one or two channels";
        return false;
    }
    if (w.rate < 100 || w.rate > 192000 || w.block != w.channels * w.bits / 8 || avg != w.rate * w.block) {
        why = "its rate or block size is not valid";
        return false;
    }
    w.data_at = data_at;
    w.data_len = data_len - data_len % w.block;
    out = w;
    return true;
}

}  // namespace vokplat

#endif
