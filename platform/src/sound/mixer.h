// The one mixer of the process: every playing voice (sound buffers, CD audio) is resampled, scaled and
// summed into 16-bit stereo at 44100 Hz. An audio device pulls the mix from its own thread; without
// one the recorder pulls it on the platform clock. All voice state is guarded by the mixer lock.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "win32/wintypes.h"

namespace plat::sound {

constexpr uint32_t kOutRate = 44100;

struct PcmFormat {
    uint16_t channels = 0;  // 1 or 2
    uint16_t bits = 0;      // 8 (unsigned) or 16 (signed little-endian)
    uint32_t rate = 0;
    uint16_t block = 0;     // bytes per frame
};

// Sample data. A sound buffer and its duplicates share one.
struct Pcm {
    PcmFormat fmt;
    std::vector<uint8_t> bytes;
    uint32_t id = 0;
    uint32_t frames() const { return fmt.block ? uint32_t(bytes.size() / fmt.block) : 0; }
};
std::shared_ptr<Pcm> make_pcm(const PcmFormat& fmt, size_t bytes);

// Something the mixer plays. Fields are read and written under the mixer lock only.
struct Voice {
    std::shared_ptr<Pcm> pcm;
    uint64_t pos = 0;       // frames into pcm, 32.32 fixed point
    uint32_t end = 0;       // a play that does not loop ends here (frames, exclusive)
    uint32_t rate = 0;      // playback frequency
    float gain_l = 1.0f, gain_r = 1.0f;
    bool playing = false;
    bool looping = false;
    uint32_t serial = 0;    // sound buffer serial, 0 for CD audio
    int32_t cd_track = 0;
    long log = -1;          // its recorder log entry while playing

    virtual ~Voice() = default;
    // A play that does not loop reached `end`. Answer true after moving pos/end/pcm to go on playing
    // (the next CD track), false to stop; `at_us` is the time of that moment.
    virtual bool on_end(uint64_t at_us) { return false; }
    // It stopped by reaching its end (not by stop()), at `at_us`. Must not start or stop voices.
    virtual void on_finished(uint64_t at_us) {}
};

// Attenuation in hundredths of a decibel to a linear factor (-10000 and below: silence).
float db_gain(long hundredths);

// The lock every voice change takes. In recorder mode taking it first mixes up to the clock; posts
// queued while it was held (CD notifications) go out after it is released.
class Guard {
public:
    Guard();
    ~Guard();
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
private:
    std::unique_lock<std::mutex> lk_;
};

// Opens the audio device (sdl backend) at the first play; call without holding the lock.
void ensure_output();

// Under the lock:
void voice_start(Voice& v);  // starts playing from v.pos (no-op if playing); logs the play
void voice_stop(Voice& v);   // stops, keeps the position
void voice_relog(Voice& v);  // looping flag changed while playing
void voice_next_play(Voice& v, uint64_t at_us);  // from on_end: log what follows as a new play
uint64_t now_us();           // the platform clock

// A message to post once the lock is released (window, message, wParam, lParam) plus its log entry.
void queue_cd_notify(HWND window, uint32_t code, uint32_t device, uint64_t at_us);

// Every live sound buffer registers so that VokSoundLoseBuffers can reach it.
struct Losable {
    virtual void lose() = 0;  // under the lock
protected:
    ~Losable() = default;
};
void register_losable(Losable* l);
void unregister_losable(Losable* l);

}  // namespace plat::sound
