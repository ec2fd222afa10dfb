// Helpers shared by the sound tests: buffers filled with known samples and reads of the recorded mix.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "vokplat/sound.h"
#include "win32/dsound.h"

namespace soundtest {

constexpr DWORD kFlags = DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME |
                         DSBCAPS_GETCURRENTPOSITION2;

inline WAVEFORMATEX pcm(WORD channels, WORD bits, DWORD rate) {
    WAVEFORMATEX w{};
    w.wFormatTag = WAVE_FORMAT_PCM;
    w.nChannels = channels;
    w.wBitsPerSample = bits;
    w.nSamplesPerSec = rate;
    w.nBlockAlign = WORD(channels * bits / 8);
    w.nAvgBytesPerSec = rate * w.nBlockAlign;
    return w;
}

// 16-bit mono samples as bytes.
inline std::vector<uint8_t> s16(const std::vector<int16_t>& v) {
    std::vector<uint8_t> b(v.size() * 2);
    for (size_t i = 0; i < v.size(); ++i) {
        b[i * 2] = uint8_t(uint16_t(v[i]) & 0xFF);
        b[i * 2 + 1] = uint8_t(uint16_t(v[i]) >> 8);
    }
    return b;
}

inline void fill(IDirectSoundBuffer* b, const std::vector<uint8_t>& data) {
    void *p1 = nullptr, *p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    ASSERT_EQ(b->Lock(0, DWORD(data.size()), &p1, &n1, &p2, &n2, 0), DS_OK);
    ASSERT_EQ(n1, data.size());
    std::memcpy(p1, data.data(), n1);
    ASSERT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
}

inline IDirectSoundBuffer* make_buffer(IDirectSound* ds, WAVEFORMATEX w, const std::vector<uint8_t>& data,
                                       DWORD flags = kFlags) {
    DSBUFFERDESC d{};
    d.dwSize = sizeof d;
    d.dwFlags = flags;
    d.dwBufferBytes = DWORD(data.size());
    d.lpwfxFormat = &w;
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(ds->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
    if (b) fill(b, data);
    return b;
}

// A constant 16-bit mono buffer at 44100 Hz.
inline IDirectSoundBuffer* constant(IDirectSound* ds, int16_t value, size_t frames) {
    return make_buffer(ds, pcm(1, 16, 44100), s16(std::vector<int16_t>(frames, value)));
}

struct Frame {
    int16_t l, r;
};

// The recorded mix at a clock time (microseconds since the recording started).
inline Frame mix_at_us(uint64_t us) {
    Frame f{12345, 12345};
    int16_t s[2];
    size_t frame = size_t(us * 44100 / 1000000);
    if (VokSoundReadMix(frame, s, 1) == 1) f = {s[0], s[1]};
    return f;
}

inline std::vector<VokSoundPlay> plays() {
    std::vector<VokSoundPlay> v(VokSoundGetPlays(nullptr, 0));
    VokSoundGetPlays(v.data(), v.size());
    return v;
}

inline std::vector<VokSoundCdNotify> cd_notifies() {
    std::vector<VokSoundCdNotify> v(VokSoundGetCdNotifies(nullptr, 0));
    VokSoundGetCdNotifies(v.data(), v.size());
    return v;
}

}  // namespace soundtest
