// The audio device path: SDL's dummy driver pulls the mix from its own thread, in real time.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "sound_test_util.h"

using namespace soundtest;

namespace {

TEST(AudioDevice, DevicePullsTheMixFromItsThread) {
    // Must come before any other sound call of the process: the output is chosen once.
    unsetenv("VOK_HEADLESS");
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (VokSoundIsRecording()) GTEST_SKIP() << "the recorder was chosen already, or no dummy audio driver";

    IDirectSound* ds = nullptr;
    ASSERT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DS_OK);
    IDirectSoundBuffer* b = constant(ds, 1000, 2205);  // 50 ms
    IDirectSoundBuffer* loop = constant(ds, 1000, 441);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    ASSERT_EQ(loop->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    DWORD status = DSBSTATUS_PLAYING;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((status & DSBSTATUS_PLAYING) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_EQ(b->GetStatus(&status), DS_OK);
    }
    EXPECT_EQ(status, 0u);
    ASSERT_EQ(loop->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DWORD(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
    ASSERT_EQ(loop->Stop(), DS_OK);
    auto p = plays();
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].frames, 2205u);
    EXPECT_GE(p[1].frames, 2205u);
    EXPECT_EQ(VokSoundRecordedFrames(), 0u);  // nothing is recorded while a device plays
    b->Release();
    loop->Release();
    ds->Release();
}

}  // namespace
