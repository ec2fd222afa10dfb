// platdemo --sound [seconds]: a generated tone through the platform's DirectSound, moving from left
// to right, as a check that sound reaches the speakers.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "vokplat/sound.h"
#include "win32/dsound.h"

int play_tone(double seconds) {
    if (!(seconds > 0 && seconds < 600)) seconds = 2.0;

    IDirectSound* ds = nullptr;
    HRESULT hr = DirectSoundCreate(nullptr, &ds, nullptr);
    if (FAILED(hr)) {
        std::fprintf(stderr, "platdemo: no sound device (0x%08X)\n", unsigned(hr));
        return 1;
    }
    ds->SetCooperativeLevel(reinterpret_cast<HWND>(uintptr_t(1)), DSSCL_NORMAL);

    // One second of a 440 Hz tone, faded at both ends of each second so the loop does not click.
    const DWORD rate = 22050;
    WAVEFORMATEX w{WAVE_FORMAT_PCM, 1, rate, rate * 2, 2, 16, 0};
    DSBUFFERDESC desc{sizeof desc, DSBCAPS_STATIC | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME, rate * 2, 0, &w};
    IDirectSoundBuffer* buf = nullptr;
    if (FAILED(hr = ds->CreateSoundBuffer(&desc, &buf, nullptr))) {
        std::fprintf(stderr, "platdemo: cannot create a buffer (0x%08X)\n", unsigned(hr));
        ds->Release();
        return 1;
    }
    void *p1, *p2;
    DWORD n1, n2;
    if (SUCCEEDED(buf->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER))) {
        auto* s = static_cast<int16_t*>(p1);
        for (DWORD i = 0; i < n1 / 2; ++i) {
            double t = double(i) / rate;
            double fade = std::min(1.0, std::min(t, 1.0 - t) * 20.0);
            s[i] = int16_t(std::lrint(std::sin(2 * M_PI * 440.0 * t) * 12000.0 * fade));
        }
        buf->Unlock(p1, n1, p2, n2);
    }

    buf->SetPan(DSBPAN_LEFT / 2);
    buf->Play(0, 0, DSBPLAY_LOOPING);
    std::printf("platdemo: %s, %.1f s\n", VokSoundIsRecording() ? "no audio device, recording only" : "playing",
                seconds);
    const int steps = int(seconds * 10);
    for (int i = 0; i < steps; ++i) {
        buf->SetPan(LONG(DSBPAN_LEFT / 2 + (DSBPAN_RIGHT - DSBPAN_LEFT) / 2 * i / std::max(1, steps - 1)));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    buf->Stop();
    VokSoundSync();
    VokSoundPlay play{};
    if (VokSoundGetPlays(&play, 1) > 0)
        std::printf("platdemo: %llu frames mixed\n", static_cast<unsigned long long>(play.frames));
    buf->Release();
    ds->Release();
    return 0;
}
