// Shared by the sound, CD and clip tests: a fresh framework root with a window given to the interface,
// generated sounds and packs, and the recorder's log.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "media_layer.h"
#include "support.h"
#include "vokplat/sound.h"
#include "vokscore/soundpack.h"
#include "vokscore/wave.h"
#include "win32/windows.h"

namespace fxtest {

// A 16-bit mono sound at 8000 Hz holding `level` for `ms` milliseconds: its level tells it apart in
// the mix, its length in the log.
inline std::vector<uint8_t> level_wave(int16_t level, uint32_t ms)
{
    std::vector<uint8_t> samples(size_t(8 * ms) * 2);
    for (size_t i = 0; i < samples.size(); i += 2) {
        samples[i] = uint8_t(uint16_t(level));
        samples[i + 1] = uint8_t(uint16_t(level) >> 8);
    }
    return vokpack::make_wave(samples, 1, 8000, 16);
}

using PackEntries = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

// Sound k: level 1000 * (k + 1) for 100 * (k + 1) ms, named "s<k>".
inline PackEntries level_sounds(int count)
{
    PackEntries e;
    for (int k = 0; k < count; k++)
        e.emplace_back("s" + std::to_string(k), level_wave(int16_t(1000 * (k + 1)), uint32_t(100 * (k + 1))));
    return e;
}

inline std::vector<VokSoundPlay> plays()
{
    std::vector<VokSoundPlay> v(VokSoundGetPlays(nullptr, 0));
    VokSoundGetPlays(v.data(), v.size());
    return v;
}

// Recorded left sample at a clock time (microseconds since the last reset).
inline int mix_at_us(uint64_t us)
{
    int16_t s[2] = {0, 0};
    if (VokSoundReadMix(size_t(us * VOK_SOUND_RATE / 1000000), s, 1) != 1)
        return 99999;
    return s[0];
}

inline void pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Moves the virtual clock in steps of 10 ms, delivering what the media objects post on the way.
inline void advance_ms(uint64_t ms)
{
    for (uint64_t done = 0; done < ms; done += 10) {
        VokSoundAdvanceUs(10000);
        pump();
    }
}

// Pumps until `done` holds or five seconds of real time passed.
inline bool pump_until(const std::function<bool()> &done)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
        pump();
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// The framework started over a fresh root, with a shown top-level window given to the interface (which
// makes the DirectSound object).
class Framework : public vstest::Root {
protected:
    void SetUp() override
    {
        Root::SetUp();
        WNDCLASSA wc{};
        wc.lpfnWndProc = proc;
        wc.lpszClassName = "vokfxtest";
        RegisterClassA(&wc);
        window = CreateWindowExA(0, "vokfxtest", "fx", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOW);
        VokInitInterFace(window);
        vok::general().soundEffects = 3;
        vok::general().cdMusic = 2;
        VokSoundRecorderReset();
        notices().clear();
    }
    void TearDown() override
    {
        Root::TearDown();
        DestroyWindow(window);
        pump();
    }

    void write_sound_pack(const std::string &rel, const PackEntries &entries) const
    {
        const std::vector<uint8_t> bytes = vokpack::build_pack(entries);
        write(rel, std::string(bytes.begin(), bytes.end()));
    }
    std::string sys(const std::string &rel) const { return vstest::system_form(path(rel)); }

public:
    // Media notifications the window received, in order; the window hands them to the clip layer
    // first, as the scene window does.
    struct Notice {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    static std::vector<Notice> &notices()
    {
        static std::vector<Notice> n;
        return n;
    }

protected:

    static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp)
    {
        if (vok::clip_notification(w, m, wp, lp)) {
            notices().push_back({m, wp, lp});
            return 0;
        }
        if (m == WM_PAINT) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(w, &ps);
            RECT r{0, 0, 640, 480};
            FillRect(dc, &r, HBRUSH(GetStockObject(BLACK_BRUSH)));
            EndPaint(w, &ps);
            return 0;
        }
        return DefWindowProcA(w, m, wp, lp);
    }

    HWND window = nullptr;
};

}  // namespace fxtest
