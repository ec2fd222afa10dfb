#include "sound/mixer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "clock.h"
#include "sound/audio_device.h"
#include "vokplat/sound.h"
#include "win32/mmsystem.h"
#include "win32/winuser.h"

namespace plat::sound {
namespace {

constexpr size_t kChunk = 1024;
constexpr size_t kMaxRecordedFrames = size_t(kOutRate) * 60;
constexpr size_t kMaxLog = 100000;

enum class Output { undecided, device, recorder };

struct Post {
    HWND window;
    uint32_t code;
    uint32_t device;
};

struct State {
    std::mutex mu;
    std::vector<Voice*> active;
    std::vector<Losable*> losables;
    std::atomic<Output> out{Output::undecided};
    // Recorder: frame n of the mix is at clock epoch_us + n / 44100 s.
    uint64_t epoch_us = 0;
    uint64_t mixed = 0;
    uint64_t rec_first = 0;  // mix frame of recorded sample 0
    std::vector<int16_t> rec;
    std::vector<VokSoundPlay> log;
    std::vector<VokSoundCdNotify> notifies;
    std::vector<Post> posts;
    uint32_t next_pcm_id = 1;
    bool poller = false;
};

bool env_on(const char* name) {
    const char* v = std::getenv(name);
    return v && *v && std::strcmp(v, "0") != 0;
}

State& st() {
    // Never destroyed: the audio thread may still mix while the process exits.
    static State* s = [] {
        auto* n = new State;
        if (env_on("VOK_HEADLESS")) {
            n->out = Output::recorder;
            n->epoch_us = clock_now_us();
        }
        return n;
    }();
    return *s;
}

uint64_t frame_us(const State& s, uint64_t frame) {
    return s.epoch_us + frame * 1000000 / kOutRate;
}

inline int sample_at(const Pcm& p, uint32_t frame, int channel) {
    const uint8_t* b = p.bytes.data() + size_t(frame) * p.fmt.block;
    if (p.fmt.channels == 2) b += p.fmt.bits / 8 * channel;
    if (p.fmt.bits == 8) return (int(b[0]) - 128) * 256;
    return int16_t(uint16_t(b[0] | (b[1] << 8)));
}

void log_end(State& s, Voice& v, uint64_t at_us) {
    if (v.log >= 0) {
        VokSoundPlay& e = s.log[size_t(v.log)];
        e.playing = 0;
        e.end_us = at_us;
    }
    v.log = -1;
}

void log_start(State& s, Voice& v, uint64_t at_us) {
    v.log = -1;
    if (s.log.size() >= kMaxLog) return;
    VokSoundPlay e{};
    e.buffer = v.serial;
    e.data = v.pcm ? v.pcm->id : 0;
    e.cd_track = v.cd_track;
    e.looping = v.looping;
    e.playing = 1;
    e.start_us = at_us;
    v.log = long(s.log.size());
    s.log.push_back(e);
}

// Mixes one voice into acc (interleaved stereo); answers false when it stopped by reaching its end.
bool mix_voice(State& s, Voice& v, float* acc, size_t frames, uint64_t first_us) {
    size_t i = 0;
    while (i < frames) {
        const Pcm* p = v.pcm.get();
        uint32_t n = p ? p->frames() : 0;
        uint32_t end = v.looping ? n : std::min(v.end, n);
        uint32_t idx = uint32_t(v.pos >> 32);
        if (idx >= end) {
            if (v.looping && n > 0) {
                v.pos %= uint64_t(n) << 32;
                idx = uint32_t(v.pos >> 32);
            } else {
                uint64_t at = first_us + i * 1000000 / kOutRate;
                if (v.on_end(at)) continue;  // same output frame, new position or data
                v.playing = false;
                log_end(s, v, at);
                v.on_finished(at);
                return false;
            }
        }
        uint32_t next = idx + 1;
        if (next >= end) next = v.looping ? 0 : idx;
        float frac = float(uint32_t(v.pos)) * (1.0f / 4294967296.0f);
        for (int c = 0; c < 2; ++c) {
            int ch = p->fmt.channels == 2 ? c : 0;
            float a = float(sample_at(*p, idx, ch));
            float b = float(sample_at(*p, next, ch));
            acc[i * 2 + c] += (a + (b - a) * frac) * (c == 0 ? v.gain_l : v.gain_r);
        }
        if (v.log >= 0) ++s.log[size_t(v.log)].frames;
        v.pos += (uint64_t(v.rate) << 32) / kOutRate;
        ++i;
    }
    return true;
}

// Mixes `frames` frames of every active voice into out; first_us is the clock time of frame 0.
void render(State& s, int16_t* out, size_t frames, uint64_t first_us) {
    if (s.active.empty()) {
        std::memset(out, 0, frames * 4);
        return;
    }
    float acc[kChunk * 2];
    for (size_t done = 0; done < frames;) {
        size_t n = std::min(kChunk, frames - done);
        std::fill(acc, acc + n * 2, 0.0f);
        uint64_t t0 = first_us + done * 1000000 / kOutRate;
        std::vector<Voice*> finished;
        for (Voice* v : s.active)
            if (!mix_voice(s, *v, acc, n, t0)) finished.push_back(v);
        for (Voice* v : finished) s.active.erase(std::find(s.active.begin(), s.active.end(), v));
        for (size_t i = 0; i < n * 2; ++i)
            out[done * 2 + i] = int16_t(std::lrint(std::clamp(acc[i], -32768.0f, 32767.0f)));
        done += n;
    }
}

// Recorder: mix up to the clock.
void catch_up(State& s) {
    if (s.out.load() != Output::recorder) return;
    uint64_t now = clock_now_us();
    if (now < s.epoch_us) return;
    uint64_t target = (now - s.epoch_us) * kOutRate / 1000000;
    int16_t buf[kChunk * 2];
    while (s.mixed < target) {
        size_t n = size_t(std::min<uint64_t>(kChunk, target - s.mixed));
        size_t rec_room = s.rec.size() / 2 < kMaxRecordedFrames ? kMaxRecordedFrames - s.rec.size() / 2 : 0;
        if (s.active.empty()) {
            // Silence: only the recording needs it; jump the rest.
            if (rec_room == 0) {
                s.mixed = target;
                break;
            }
            n = size_t(std::min<uint64_t>(rec_room, target - s.mixed));
            s.rec.resize(s.rec.size() + n * 2, 0);
            s.mixed += n;
            continue;
        }
        render(s, buf, n, frame_us(s, s.mixed));
        size_t keep = std::min(n, rec_room);
        s.rec.insert(s.rec.end(), buf, buf + keep * 2);
        s.mixed += n;
    }
}

void poll_loop() {
    // Without a device nothing else moves playback when the program merely waits: keep the recorder
    // following the clock so that sounds end and CD notifications arrive.
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        Guard g;
    }
}

void device_render(int16_t* out, size_t frames) {
    State& s = st();
    {
        std::lock_guard<std::mutex> lk(s.mu);
        render(s, out, frames, clock_now_us());
    }
    // Posts queued by the mix go out from here too.
    Guard g;
}

}  // namespace

std::shared_ptr<Pcm> make_pcm(const PcmFormat& fmt, size_t bytes) {
    auto p = std::make_shared<Pcm>();
    p->fmt = fmt;
    p->bytes.assign(bytes, fmt.bits == 8 ? 0x80 : 0);
    State& s = st();
    std::lock_guard<std::mutex> lk(s.mu);
    p->id = s.next_pcm_id++;
    return p;
}

float db_gain(long hundredths) {
    if (hundredths <= -10000) return 0.0f;
    if (hundredths >= 0) return 1.0f;
    return float(std::pow(10.0, double(hundredths) / 2000.0));
}

Guard::Guard() : lk_(st().mu) { catch_up(st()); }

Guard::~Guard() {
    State& s = st();
    std::vector<Post> posts;
    posts.swap(s.posts);
    lk_.unlock();
    for (const Post& p : posts) PostMessageA(p.window, MM_MCINOTIFY, p.code, LPARAM(p.device));
}

void ensure_output() {
    State& s = st();
    if (s.out.load() != Output::undecided) return;
    static std::once_flag once;
    std::call_once(once, [&s] {
        bool ok = open_audio_device(device_render);
        std::lock_guard<std::mutex> lk(s.mu);
        if (!ok) {
            s.epoch_us = clock_now_us();
            s.mixed = 0;
        }
        s.out = ok ? Output::device : Output::recorder;
    });
}

uint64_t now_us() { return clock_now_us(); }

void voice_start(Voice& v) {
    State& s = st();
    if (v.playing) return;
    v.playing = true;
    log_start(s, v, clock_now_us());
    if (std::find(s.active.begin(), s.active.end(), &v) == s.active.end()) s.active.push_back(&v);
    if (s.out.load() == Output::recorder && !s.poller) {
        s.poller = true;
        std::thread(poll_loop).detach();
    }
}

void voice_stop(Voice& v) {
    State& s = st();
    auto it = std::find(s.active.begin(), s.active.end(), &v);
    if (it != s.active.end()) s.active.erase(it);
    if (v.playing) log_end(s, v, clock_now_us());
    v.playing = false;
}

void voice_relog(Voice& v) {
    if (v.log >= 0) st().log[size_t(v.log)].looping = v.looping;
}

void voice_next_play(Voice& v, uint64_t at_us) {
    State& s = st();
    log_end(s, v, at_us);
    log_start(s, v, at_us);
}

void queue_cd_notify(HWND window, uint32_t code, uint32_t device, uint64_t at_us) {
    State& s = st();
    if (s.notifies.size() < kMaxLog) s.notifies.push_back({window, code, device, at_us});
    if (window) s.posts.push_back({window, code, device});
}

void register_losable(Losable* l) { st().losables.push_back(l); }

void unregister_losable(Losable* l) {
    auto& v = st().losables;
    auto it = std::find(v.begin(), v.end(), l);
    if (it != v.end()) v.erase(it);
}

}  // namespace plat::sound

using namespace plat::sound;

extern "C" {

PLATFORM_API BOOL VokSoundIsRecording(void) {
    ensure_output();
    return st().out.load() == Output::recorder;
}

PLATFORM_API void VokSoundSync(void) { Guard g; }

PLATFORM_API void VokSoundAdvanceUs(uint64_t us) {
    plat::clock_advance_us(us);
    Guard g;
}

PLATFORM_API void VokSoundRecorderReset(void) {
    Guard g;
    State& s = st();
    s.log.clear();
    s.notifies.clear();
    s.rec.clear();
    s.rec_first = s.mixed;
    uint64_t now = plat::clock_now_us();
    for (Voice* v : s.active) log_start(s, *v, now);
}

PLATFORM_API size_t VokSoundGetPlays(VokSoundPlay* out, size_t max) {
    Guard g;
    State& s = st();
    if (out) std::copy_n(s.log.begin(), std::min(max, s.log.size()), out);
    return s.log.size();
}

PLATFORM_API size_t VokSoundGetCdNotifies(VokSoundCdNotify* out, size_t max) {
    Guard g;
    State& s = st();
    if (out) std::copy_n(s.notifies.begin(), std::min(max, s.notifies.size()), out);
    return s.notifies.size();
}

PLATFORM_API uint64_t VokSoundRecordStartUs(void) {
    Guard g;
    return frame_us(st(), st().rec_first);
}

PLATFORM_API size_t VokSoundRecordedFrames(void) {
    Guard g;
    return st().rec.size() / 2;
}

PLATFORM_API size_t VokSoundReadMix(size_t first_frame, int16_t* out, size_t frames) {
    Guard g;
    State& s = st();
    size_t have = s.rec.size() / 2;
    if (!out || first_frame >= have) return 0;
    size_t n = std::min(frames, have - first_frame);
    std::memcpy(out, s.rec.data() + first_frame * 2, n * 4);
    return n;
}

PLATFORM_API void VokSoundLoseBuffers(void) {
    Guard g;
    for (Losable* l : st().losables) l->lose();
}

}  // extern "C"
