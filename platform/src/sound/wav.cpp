#include "sound/wav.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace plat::sound {
namespace {

uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

struct File {
    FILE* fp;
    ~File() {
        if (fp) std::fclose(fp);
    }
};

}  // namespace

bool read_wav(const std::string& path, WavInfo& info, std::shared_ptr<Pcm>* samples) {
    File f{std::fopen(path.c_str(), "rb")};
    if (!f.fp) return false;
    struct stat sb;
    if (fstat(fileno(f.fp), &sb) != 0 || !S_ISREG(sb.st_mode)) return false;
    uint64_t file_size = uint64_t(sb.st_size);
    uint8_t head[12];
    if (std::fread(head, 1, 12, f.fp) != 12) return false;
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) return false;
    // Chunks run to the end of the RIFF body or of the file, whichever comes first.
    uint64_t limit = std::min<uint64_t>(file_size, uint64_t(le32(head + 4)) + 8);
    uint8_t fmt[16];
    bool have_fmt = false;
    uint64_t data_at = 0, data_len = 0;
    bool have_data = false;
    uint64_t at = 12;
    while (at + 8 <= limit) {
        uint8_t ch[8];
        if (std::fseek(f.fp, long(at), SEEK_SET) != 0 || std::fread(ch, 1, 8, f.fp) != 8) return false;
        uint64_t len = le32(ch + 4);
        uint64_t body = at + 8;
        bool is_data = std::memcmp(ch, "data", 4) == 0;
        if (len > limit - body) {
            if (!is_data) return false;
            len = limit - body;
        }
        if (std::memcmp(ch, "fmt ", 4) == 0 && !have_fmt) {
            if (len < 16 || std::fread(fmt, 1, 16, f.fp) != 16) return false;
            have_fmt = true;
        } else if (is_data && !have_data) {
            data_at = body;
            data_len = len;
            have_data = true;
        }
        at = body + len + (len & 1);
    }
    if (!have_fmt || !have_data) return false;
    PcmFormat pf;
    uint16_t tag = le16(fmt);
    pf.channels = le16(fmt + 2);
    pf.rate = le32(fmt + 4);
    uint32_t avg = le32(fmt + 8);
    pf.block = le16(fmt + 12);
    pf.bits = le16(fmt + 14);
    if (tag != 1 || (pf.channels != 1 && pf.channels != 2) || (pf.bits != 8 && pf.bits != 16)) return false;
    if (pf.rate < 100 || pf.rate > 192000 || pf.block != pf.channels * pf.bits / 8 || avg != pf.rate * pf.block)
        return false;
    uint64_t frames = data_len / pf.block;
    if (frames > 0xFFFFFFFFu) return false;
    info.fmt = pf;
    info.frames = uint32_t(frames);
    if (samples) {
        auto pcm = make_pcm(pf, size_t(frames) * pf.block);
        if (std::fseek(f.fp, long(data_at), SEEK_SET) != 0) return false;
        if (std::fread(pcm->bytes.data(), 1, pcm->bytes.size(), f.fp) != pcm->bytes.size()) return false;
        *samples = std::move(pcm);
    }
    return true;
}

}  // namespace plat::sound
