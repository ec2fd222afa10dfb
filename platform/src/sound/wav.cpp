#include "sound/wav.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "vokplat/wavfile.h"

namespace plat::sound {
namespace {

struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) close(fd);
    }
};

bool read_at(int fd, uint8_t* to, size_t n, uint64_t at) {
    while (n > 0) {
        ssize_t got = pread(fd, to, n, off_t(at));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        to += got, n -= size_t(got), at += uint64_t(got);
    }
    return true;
}

}  // namespace

bool read_wav(const std::string& path, WavInfo& info, std::shared_ptr<Pcm>* samples) {
    Fd f{open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (f.fd < 0) return false;
    struct stat sb;
    if (fstat(f.fd, &sb) != 0 || !S_ISREG(sb.st_mode)) return false;
    const uint64_t file_size = uint64_t(sb.st_size);
    if (file_size > vokplat::kWavMaxFileBytes) return false;
    // The chunk headers sit in the first bytes in every file this system meets; a file whose chunks
    // before the samples are longer is read whole.
    std::vector<uint8_t> head(size_t(std::min<uint64_t>(file_size, 65536)));
    if (!read_at(f.fd, head.data(), head.size(), 0)) return false;
    vokplat::WavLayout w;
    std::string why;
    if (!vokplat::parse_wav(head.data(), head.size(), file_size, w, why)) {
        if (head.size() == file_size) return false;
        head.resize(size_t(file_size));
        if (!read_at(f.fd, head.data(), head.size(), 0)) return false;
        if (!vokplat::parse_wav(head.data(), head.size(), file_size, w, why)) return false;
    }
    PcmFormat pf;
    pf.channels = w.channels;
    pf.rate = w.rate;
    pf.block = w.block;
    pf.bits = w.bits;
    const uint64_t frames = w.data_len / w.block;
    if (frames > 0xFFFFFFFFu) return false;
    info.fmt = pf;
    info.frames = uint32_t(frames);
    if (samples) {
        auto pcm = make_pcm(pf, size_t(frames) * pf.block);
        if (!read_at(f.fd, pcm->bytes.data(), pcm->bytes.size(), w.data_at)) return false;
        *samples = std::move(pcm);
    }
    return true;
}

}  // namespace plat::sound
