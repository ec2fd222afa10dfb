#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "sound_test_util.h"

using namespace soundtest;

namespace {

HWND fake_window() { return reinterpret_cast<HWND>(uintptr_t(0x1000)); }

class DirectSoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DS_OK);
        ASSERT_EQ(ds->SetCooperativeLevel(fake_window(), DSSCL_NORMAL), DS_OK);
        ASSERT_TRUE(VokSoundIsRecording());
        VokSoundRecorderReset();
        t0 = VokSoundRecordStartUs();
    }
    void TearDown() override {
        if (ds) ds->Release();
    }
    DWORD status(IDirectSoundBuffer* b) {
        DWORD s = 0xDEAD;
        EXPECT_EQ(b->GetStatus(&s), DS_OK);
        return s;
    }
    IDirectSound* ds = nullptr;
    uint64_t t0 = 0;  // clock when the recording started
};

TEST_F(DirectSoundTest, BufferPlayedOnceEndsStoppedAndRewound) {
    IDirectSoundBuffer* b = constant(ds, 8000, 4410);  // 0.1 s
    ASSERT_TRUE(b);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(status(b), DWORD(DSBSTATUS_PLAYING));

    VokSoundAdvanceUs(50000);
    EXPECT_EQ(status(b), DWORD(DSBSTATUS_PLAYING));
    DWORD play = 0, write = 0;
    ASSERT_EQ(b->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_NEAR(double(play), 2205 * 2, 4);

    VokSoundAdvanceUs(100000);
    EXPECT_EQ(status(b), 0u);
    ASSERT_EQ(b->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_EQ(play, 0u);

    auto p = plays();
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].buffer, VokSoundBufferSerial(b));
    EXPECT_EQ(p[0].playing, 0);
    EXPECT_EQ(p[0].looping, 0);
    EXPECT_EQ(p[0].frames, 4410u);
    EXPECT_NEAR(double(p[0].start_us - t0), 0.0, 30.0);
    EXPECT_NEAR(double(p[0].end_us - t0), 100000.0, 30.0);

    EXPECT_EQ(mix_at_us(1000).l, 8000);
    EXPECT_EQ(mix_at_us(99000).r, 8000);
    EXPECT_EQ(mix_at_us(101000).l, 0);

    // Played again it starts from the beginning.
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    VokSoundAdvanceUs(200000);
    p = plays();
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[1].frames, 4410u);
    EXPECT_NEAR(double(p[1].start_us - t0), 150000.0, 30.0);
    b->Release();
}

TEST_F(DirectSoundTest, LoopingRepeatsTheDataUntilStopped) {
    std::vector<int16_t> ramp(441);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = int16_t(i * 50 - 11000);
    IDirectSoundBuffer* b = make_buffer(ds, pcm(1, 16, 44100), s16(ramp));
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(status(b), DWORD(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));

    VokSoundAdvanceUs(1000000);
    EXPECT_EQ(status(b), DWORD(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
    std::vector<int16_t> mix(44100 * 2);
    ASSERT_EQ(VokSoundReadMix(0, mix.data(), 44100), 44100u);
    for (size_t k = 0; k < 44100; k += 97) ASSERT_EQ(mix[k * 2], ramp[k % ramp.size()]) << k;

    // Play without the flag while looping: this round is the last.
    ASSERT_EQ(b->Stop(), DS_OK);
    EXPECT_EQ(status(b), 0u);
    auto p = plays();
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].looping, 1);
    EXPECT_EQ(p[0].playing, 0);
    EXPECT_EQ(p[0].frames, 44100u);
    EXPECT_NEAR(double(p[0].end_us - t0), 1000000.0, 30.0);

    ASSERT_EQ(b->SetCurrentPosition(0), DS_OK);
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    VokSoundAdvanceUs(5000);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(status(b), DWORD(DSBSTATUS_PLAYING));
    VokSoundAdvanceUs(20000);
    EXPECT_EQ(status(b), 0u);
    p = plays();
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[1].frames, 441u);
    b->Release();
}

TEST_F(DirectSoundTest, DuplicatesShareDataAndMixTogether) {
    IDirectSoundBuffer* a = constant(ds, 8000, 4410);
    IDirectSoundBuffer* d = nullptr;
    ASSERT_EQ(ds->DuplicateSoundBuffer(a, &d), DS_OK);
    ASSERT_TRUE(d);
    EXPECT_EQ(status(d), 0u);

    ASSERT_EQ(a->Play(0, 0, 0), DS_OK);
    VokSoundAdvanceUs(50000);
    ASSERT_EQ(d->Play(0, 0, 0), DS_OK);
    VokSoundAdvanceUs(200000);
    EXPECT_EQ(mix_at_us(25000).l, 8000);
    EXPECT_EQ(mix_at_us(75000).l, 16000);
    EXPECT_EQ(mix_at_us(75000).r, 16000);
    EXPECT_EQ(mix_at_us(125000).l, 8000);
    EXPECT_EQ(mix_at_us(175000).l, 0);

    auto p = plays();
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].data, p[1].data);
    EXPECT_NE(p[0].buffer, p[1].buffer);
    EXPECT_NEAR(double(p[1].start_us - t0), 50000.0, 30.0);

    // New data written through the original is what the duplicate plays.
    fill(a, s16(std::vector<int16_t>(4410, -300)));
    a->Release();  // the duplicate keeps the data alive
    VokSoundRecorderReset();
    EXPECT_NEAR(double(VokSoundRecordStartUs() - t0), 250000.0, 30.0);
    ASSERT_EQ(d->Play(0, 0, 0), DS_OK);
    VokSoundAdvanceUs(10000);
    EXPECT_EQ(mix_at_us(5000).l, -300);
    d->Release();
}

TEST_F(DirectSoundTest, LockWrapsIntoASecondRegion) {
    IDirectSoundBuffer* b = constant(ds, 0, 1000);  // 2000 bytes
    void *p1 = nullptr, *p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    ASSERT_EQ(b->Lock(1800, 400, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(n1, 200u);
    EXPECT_EQ(n2, 200u);
    ASSERT_TRUE(p2);
    EXPECT_EQ(static_cast<uint8_t*>(p1) - static_cast<uint8_t*>(p2), 1800);
    auto head = s16(std::vector<int16_t>(100, 1111));
    auto tail = s16(std::vector<int16_t>(100, 2222));
    std::memcpy(p1, tail.data(), n1);
    std::memcpy(p2, head.data(), n2);
    ASSERT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);

    // Without a second pointer only the first region comes back.
    ASSERT_EQ(b->Lock(1800, 400, &p1, &n1, nullptr, nullptr, 0), DS_OK);
    EXPECT_EQ(n1, 200u);
    ASSERT_EQ(b->Unlock(p1, n1, nullptr, 0), DS_OK);
    // The whole buffer from an offset: the rest wraps.
    ASSERT_EQ(b->Lock(500, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
    EXPECT_EQ(n1, 1500u);
    EXPECT_EQ(n2, 500u);
    ASSERT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);

    struct Bad {
        DWORD offset, bytes;
    } bad[] = {{2000, 10}, {0, 0}, {0, 2001}, {4000, 1}};
    for (const Bad& c : bad)
        EXPECT_EQ(b->Lock(c.offset, c.bytes, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM) << c.offset << " " << c.bytes;
    char outside[4];
    EXPECT_EQ(b->Unlock(outside, 4, nullptr, 0), DSERR_INVALIDPARAM);

    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    VokSoundAdvanceUs(30000);
    EXPECT_EQ(mix_at_us(0).l, 1111);
    EXPECT_EQ(mix_at_us(2000).l, 1111);  // frames 0..99
    EXPECT_EQ(mix_at_us(3000).l, 0);
    EXPECT_EQ(mix_at_us(20500).l, 2222);  // frames 900..999  // frames 900..999
    b->Release();
}

TEST_F(DirectSoundTest, VolumeAndPanScaleTheChannels) {
    const int16_t v = 8000;
    const int16_t half_db6 = int16_t(std::lrint(8000 * std::pow(10.0, -0.3)));
    struct Case {
        LONG volume, pan;
        int16_t l, r;
    } cases[] = {
        {0, 0, v, v},
        {-600, 0, half_db6, half_db6},
        {0, 600, half_db6, v},   // to the right: the left side is attenuated
        {0, -600, v, half_db6},
        {0, DSBPAN_RIGHT, 0, v},
        {0, DSBPAN_LEFT, v, 0},
        {DSBVOLUME_MIN, 0, 0, 0},
        {-600, -600, half_db6, int16_t(std::lrint(8000 * std::pow(10.0, -0.6)))},
    };
    uint64_t t = 0;
    for (const Case& c : cases) {
        IDirectSoundBuffer* b = constant(ds, v, 441);
        ASSERT_EQ(b->SetVolume(c.volume), DS_OK);
        ASSERT_EQ(b->SetPan(c.pan), DS_OK);
        ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
        VokSoundAdvanceUs(20000);
        Frame f = mix_at_us(t + 5000);
        EXPECT_NEAR(f.l, c.l, 1) << c.volume << "/" << c.pan;
        EXPECT_NEAR(f.r, c.r, 1) << c.volume << "/" << c.pan;
        t += 20000;
        b->Release();
    }

    IDirectSoundBuffer* b = constant(ds, v, 441);
    EXPECT_EQ(b->SetVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetPan(-10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetFrequency(50), DSERR_INVALIDPARAM);
    b->Release();
    IDirectSoundBuffer* plain = make_buffer(ds, pcm(1, 16, 44100), s16({1, 2, 3, 4}), DSBCAPS_STATIC);
    EXPECT_EQ(plain->SetVolume(-100), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(plain->SetPan(100), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(plain->SetFrequency(22050), DSERR_CONTROLUNAVAIL);
    plain->Release();
}

TEST_F(DirectSoundTest, TwoLoudSoundsClip) {
    IDirectSoundBuffer* a = constant(ds, 20000, 441);
    IDirectSoundBuffer* b = constant(ds, -20000, 441);
    IDirectSoundBuffer* c = constant(ds, -20000, 441);
    a->Play(0, 0, 0);
    VokSoundAdvanceUs(20000);
    a->Play(0, 0, 0);
    ASSERT_EQ(a->SetCurrentPosition(0), DS_OK);
    IDirectSoundBuffer* a2 = nullptr;
    ASSERT_EQ(ds->DuplicateSoundBuffer(a, &a2), DS_OK);
    a2->Play(0, 0, 0);
    VokSoundAdvanceUs(20000);
    b->Play(0, 0, 0);
    c->Play(0, 0, 0);
    VokSoundAdvanceUs(20000);
    EXPECT_EQ(mix_at_us(5000).l, 20000);
    EXPECT_EQ(mix_at_us(25000).l, 32767);
    EXPECT_EQ(mix_at_us(45000).r, -32768);
    for (auto* x : {a, a2, b, c}) x->Release();
}

TEST_F(DirectSoundTest, FormatsAndFrequencyAreResampled) {
    struct Case {
        WAVEFORMATEX fmt;
        std::vector<uint8_t> frame;  // one frame, repeated
        int16_t l, r;
    } cases[] = {
        {pcm(1, 8, 22050), {0xC0}, 16384, 16384},
        {pcm(2, 8, 11025), {0x00, 0xFF}, -32768, 32512},
        {pcm(2, 16, 48000), {0xE8, 0x03, 0x18, 0xFC}, 1000, -1000},
        {pcm(1, 16, 8000), {0x10, 0x27}, 10000, 10000},
    };
    uint64_t t = 0;
    for (const Case& c : cases) {
        const size_t frames = c.fmt.nSamplesPerSec / 10;  // 0.1 s
        std::vector<uint8_t> data;
        for (size_t i = 0; i < frames; ++i) data.insert(data.end(), c.frame.begin(), c.frame.end());
        IDirectSoundBuffer* b = make_buffer(ds, c.fmt, data);
        ASSERT_TRUE(b);
        ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
        VokSoundAdvanceUs(300000);
        Frame f = mix_at_us(t + 50000);
        EXPECT_EQ(f.l, c.l) << c.fmt.nSamplesPerSec;
        EXPECT_EQ(f.r, c.r) << c.fmt.nSamplesPerSec;
        auto p = plays();
        EXPECT_NEAR(double(p.back().frames), 4410.0, 6.0) << c.fmt.nSamplesPerSec;

        // Twice the frequency: half the time.
        ASSERT_EQ(b->SetFrequency(c.fmt.nSamplesPerSec * 2), DS_OK);
        ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
        VokSoundAdvanceUs(300000);
        p = plays();
        EXPECT_NEAR(double(p.back().frames), 2205.0, 6.0) << c.fmt.nSamplesPerSec;
        ASSERT_EQ(b->SetFrequency(DSBFREQUENCY_ORIGINAL), DS_OK);
        t += 600000;
        b->Release();
    }
}

TEST_F(DirectSoundTest, BadDescriptionsAreRefused) {
    WAVEFORMATEX good = pcm(1, 16, 22050);
    struct Case {
        const char* what;
        void (*change)(DSBUFFERDESC&, WAVEFORMATEX&);
        HRESULT expect;
    } cases[] = {
        {"size", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwSize = 20; }, DSERR_INVALIDPARAM},
        {"no format", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.lpwfxFormat = nullptr; }, DSERR_INVALIDPARAM},
        {"too small", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwBufferBytes = 3; }, DSERR_INVALIDPARAM},
        {"too big", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwBufferBytes = DSBSIZE_MAX + 1u; }, DSERR_INVALIDPARAM},
        {"not pcm", [](DSBUFFERDESC&, WAVEFORMATEX& w) { w.wFormatTag = 2; }, DSERR_BADFORMAT},
        {"3 channels", [](DSBUFFERDESC&, WAVEFORMATEX& w) { w = pcm(3, 16, 22050); }, DSERR_BADFORMAT},
        {"12 bits", [](DSBUFFERDESC&, WAVEFORMATEX& w) { w = pcm(1, 12, 22050); }, DSERR_BADFORMAT},
        {"block", [](DSBUFFERDESC&, WAVEFORMATEX& w) { w.nBlockAlign = 4; }, DSERR_BADFORMAT},
        {"byte rate", [](DSBUFFERDESC&, WAVEFORMATEX& w) { w.nAvgBytesPerSec = 1; }, DSERR_BADFORMAT},
        {"rate", [](DSBUFFERDESC&, WAVEFORMATEX& w) { w = pcm(1, 16, 0); }, DSERR_BADFORMAT},
        {"primary with size", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwFlags = DSBCAPS_PRIMARYBUFFER; }, DSERR_INVALIDPARAM},
    };
    for (const Case& c : cases) {
        WAVEFORMATEX w = good;
        DSBUFFERDESC d{};
        d.dwSize = sizeof d;
        d.dwFlags = kFlags;
        d.dwBufferBytes = 4000;
        d.lpwfxFormat = &w;
        c.change(d, w);
        IDirectSoundBuffer* b = reinterpret_cast<IDirectSoundBuffer*>(uintptr_t(1));
        EXPECT_EQ(ds->CreateSoundBuffer(&d, &b, nullptr), c.expect) << c.what;
        EXPECT_EQ(b, nullptr) << c.what;
    }
    WAVEFORMATEX w = good;
    w.cbSize = 5000;  // PCM has no extra bytes: never read
    DSBUFFERDESC d{sizeof d, kFlags, 4000, 0, &w};
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(ds->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
    EXPECT_EQ(ds->CreateSoundBuffer(nullptr, &b, nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(ds->CreateSoundBuffer(&d, nullptr, nullptr), DSERR_INVALIDPARAM);
    IDirectSoundBuffer* dup = nullptr;
    EXPECT_EQ(ds->DuplicateSoundBuffer(nullptr, &dup), DSERR_INVALIDPARAM);
}

TEST_F(DirectSoundTest, PrimaryBufferAsRequested) {
    DSBUFFERDESC d{sizeof d, DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr};
    IDirectSoundBuffer* p = nullptr;
    ASSERT_EQ(ds->CreateSoundBuffer(&d, &p, nullptr), DS_OK);
    EXPECT_EQ(p->Play(0, 0, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(p->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(status(p), DWORD(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
    void *p1, *p2;
    DWORD n1, n2;
    EXPECT_EQ(p->Lock(0, 4, &p1, &n1, &p2, &n2, 0), DSERR_PRIOLEVELNEEDED);
    IDirectSoundBuffer* dup = nullptr;
    EXPECT_EQ(ds->DuplicateSoundBuffer(p, &dup), DSERR_INVALIDCALL);
    EXPECT_EQ(p->Stop(), DS_OK);
    EXPECT_EQ(status(p), 0u);
    p->Release();
}

TEST_F(DirectSoundTest, LostBuffersNeedRestoreAndNewData) {
    IDirectSoundBuffer* b = constant(ds, 5000, 4410);
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    VokSoundAdvanceUs(10000);
    VokSoundLoseBuffers();
    EXPECT_EQ(status(b), DWORD(DSBSTATUS_BUFFERLOST));
    EXPECT_EQ(b->Play(0, 0, 0), DSERR_BUFFERLOST);
    void *p1, *p2;
    DWORD n1, n2;
    EXPECT_EQ(b->Lock(0, 4, &p1, &n1, &p2, &n2, 0), DSERR_BUFFERLOST);
    VokSoundAdvanceUs(10000);
    EXPECT_EQ(mix_at_us(15000).l, 0);

    ASSERT_EQ(b->Restore(), DS_OK);
    EXPECT_EQ(status(b), 0u);
    ASSERT_EQ(b->SetCurrentPosition(0), DS_OK);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    VokSoundAdvanceUs(10000);
    EXPECT_EQ(mix_at_us(25000).l, 0);  // contents are gone until refilled
    fill(b, s16(std::vector<int16_t>(4410, 700)));
    VokSoundAdvanceUs(10000);
    EXPECT_EQ(mix_at_us(35000).l, 700);
    b->Release();
}

TEST_F(DirectSoundTest, ObjectsAnswerTheirInterfaces) {
    EXPECT_EQ(ds->Initialize(nullptr), DSERR_ALREADYINITIALIZED);
    EXPECT_EQ(ds->SetCooperativeLevel(nullptr, DSSCL_NORMAL), DSERR_INVALIDPARAM);
    EXPECT_EQ(ds->SetCooperativeLevel(fake_window(), 9), DSERR_INVALIDPARAM);

    void* out = nullptr;
    ASSERT_EQ(ds->QueryInterface(IID_IDirectSound, &out), S_OK);
    EXPECT_EQ(out, ds);
    EXPECT_EQ(ds->Release(), 1u);
    EXPECT_EQ(ds->QueryInterface(IID_IDirectSoundBuffer, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    IDirectSoundBuffer* b = constant(ds, 1, 4);
    ASSERT_EQ(b->QueryInterface(IID_IDirectSoundBuffer, &out), S_OK);
    EXPECT_EQ(out, b);
    EXPECT_EQ(b->AddRef(), 3u);
    EXPECT_EQ(b->Release(), 2u);
    EXPECT_EQ(b->Release(), 1u);
    EXPECT_EQ(b->QueryInterface(CLSID_DirectSound, &out), E_NOINTERFACE);
    // A buffer outlives the object that made it.
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    ds->Release();
    ds = nullptr;
    VokSoundAdvanceUs(1000);
    DWORD s = 0;
    EXPECT_EQ(b->GetStatus(&s), DS_OK);
    EXPECT_EQ(s, DWORD(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
    EXPECT_EQ(b->Release(), 0u);
}

TEST(DirectSoundDevice, NoSoundHardwareFailsCreation) {
    setenv("VOK_AUDIO_DEVICE", "none", 1);
    IDirectSound* ds = reinterpret_cast<IDirectSound*>(uintptr_t(1));
    EXPECT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(ds, nullptr);
    unsetenv("VOK_AUDIO_DEVICE");
    const GUID other = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(DirectSoundCreate(&other, &ds, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(DirectSoundCreate(nullptr, nullptr, nullptr), DSERR_INVALIDPARAM);
}

TEST_F(DirectSoundTest, BuffersFromOtherThreads) {
    constexpr int kThreads = 6;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t, &failures] {
            IDirectSoundBuffer* b = nullptr;
            auto data = s16(std::vector<int16_t>(441, int16_t(100 * (t + 1))));
            WAVEFORMATEX w = pcm(1, 16, 44100);
            DSBUFFERDESC d{sizeof d, kFlags, DWORD(data.size()), 0, &w};
            if (ds->CreateSoundBuffer(&d, &b, nullptr) != DS_OK) {
                ++failures;
                return;
            }
            IDirectSoundBuffer* dup = nullptr;
            void *p1, *p2;
            DWORD n1, n2;
            if (b->Lock(0, DWORD(data.size()), &p1, &n1, &p2, &n2, 0) != DS_OK) ++failures;
            std::memcpy(p1, data.data(), n1);
            b->Unlock(p1, n1, p2, n2);
            if (ds->DuplicateSoundBuffer(b, &dup) != DS_OK) ++failures;
            for (int i = 0; i < 50; ++i) {
                DWORD s;
                if (b->Play(0, 0, i % 2 ? DSBPLAY_LOOPING : 0) != DS_OK) ++failures;
                dup->Play(0, 0, 0);
                b->GetStatus(&s);
                b->SetVolume(-100 * (i % 5));
                b->SetPan(100 * (i % 7) - 300);
                if (i % 3 == 0) b->Stop();
            }
            b->Stop();
            dup->Release();
            b->Release();
        });
    }
    for (int i = 0; i < 200; ++i) VokSoundAdvanceUs(500);
    for (auto& th : threads) th.join();
    VokSoundAdvanceUs(100000);
    EXPECT_EQ(failures.load(), 0);
    auto p = plays();
    EXPECT_GE(p.size(), size_t(kThreads));
    for (const auto& e : p) EXPECT_EQ(e.playing, 0);
}

}  // namespace

namespace {

TEST(DirectSoundDevice, ComCreatesAnUninitialisedObject) {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    IDirectSound* ds = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectSound,
                               reinterpret_cast<void**>(&ds)),
              S_OK);
    ASSERT_TRUE(ds);
    WAVEFORMATEX w = pcm(1, 16, 22050);
    DSBUFFERDESC d{sizeof d, kFlags, 4000, 0, &w};
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(ds->CreateSoundBuffer(&d, &b, nullptr), DSERR_UNINITIALIZED);
    EXPECT_EQ(ds->SetCooperativeLevel(reinterpret_cast<HWND>(uintptr_t(1)), DSSCL_NORMAL), DSERR_UNINITIALIZED);
    ASSERT_EQ(ds->Initialize(nullptr), DS_OK);
    EXPECT_EQ(ds->Initialize(nullptr), DSERR_ALREADYINITIALIZED);
    EXPECT_EQ(ds->SetCooperativeLevel(reinterpret_cast<HWND>(uintptr_t(1)), DSSCL_NORMAL), DS_OK);
    ASSERT_EQ(ds->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
    b->Release();
    ds->Release();

    void* other = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectSoundBuffer, &other),
              E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    CoUninitialize();
}

}  // namespace
