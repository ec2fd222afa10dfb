// The platform's one clock. Real time by default; under the virtual clock (tests and automation) time
// moves only when a wait, a Sleep, a busy-wait on the clock or the test moves it, so runs repeat.
//
// Rules of the virtual clock (platform/README.md has the user's view):
// - Sleep(ms) moves the clock to (now + ms) at once.
// - A wait with a time-out first gives other threads a short real grace (kVirtualGraceMs, or the
//   time-out itself when shorter) to signal; if nothing came, it moves the clock to its deadline and
//   times out. A wait whose deadline another thread's advance passes times out within kSliceMs.
// - Moving the clock never goes backwards: two threads that sleep at once move it to the later
//   deadline, not to the sum.
// - The public clock reads (timeGetTime, GetTickCount, QueryPerformanceCounter) count a thread that
//   reads the same value kSpinReads times in a row as busy-waiting and move the clock 1 ms.
// - Sleeps and busy-waits also let some real time pass (kPaceUsPerMs per virtual ms, at most
//   kPaceMaxUs), so that a thread polling another thread's flag between sleeps does not burn through
//   its time budget before the other thread, working in real time, has had a chance to act.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace plat {

inline constexpr uint64_t kNoDeadline = UINT64_MAX;
inline constexpr uint64_t kVirtualGraceMs = 20;
inline constexpr uint64_t kSliceMs = 2;
// Real waits look again at this pace, so that a switch to the virtual clock mid-wait is noticed.
inline constexpr uint64_t kRealSliceMs = 100;
inline constexpr unsigned kSpinReads = 256;
inline constexpr uint64_t kPaceUsPerMs = 100;
inline constexpr uint64_t kPaceMaxUs = 1000;

bool clock_is_virtual();
// Switching keeps the clock monotonic: the virtual clock starts at the current reading, and the
// real clock resumes no earlier than the virtual time reached.
void clock_set_virtual(bool on);

// Milliseconds and microseconds since the platform started.
uint64_t clock_now_ms();
uint64_t clock_now_us();

// Virtual clock only: moves time forward (no effect on the real clock).
void clock_advance_us(uint64_t us);
// Virtual clock only: moves time to `us` unless it is already there or later.
void clock_advance_to_us(uint64_t us);

// Deadline in clock microseconds for a Win32 time-out in milliseconds (INFINITE: kNoDeadline).
uint64_t clock_deadline_us(uint32_t timeout_ms);

// Sleep: real time passes, or the virtual clock moves by the same amount at once.
void clock_sleep_ms(uint64_t ms);

// Clock read of the public time calls, with the busy-wait rule above.
uint64_t clock_read_us();

// The blocking primitive of every wait that has a time-out (kernel objects, message queues, timers).
// Waits on `cv` (with `lk` held) until ready() holds or the clock reaches deadline_us. Answers ready().
// Real clock: an ordinary timed wait. Virtual clock: waits the grace in real time, then moves the
// clock to the deadline. A message loop that would block until its next timer passes that timer's
// due time as deadline_us: under the virtual clock, time then jumps to the timer. Whoever changes
// what ready() looks at must notify `cv`; advances of the virtual clock are seen by polling.
template <class Ready>
bool clock_wait_until(std::unique_lock<std::mutex>& lk, std::condition_variable& cv,
                      uint64_t deadline_us, Ready ready) {
    using namespace std::chrono;
    if (deadline_us == kNoDeadline) {
        cv.wait(lk, ready);
        return true;
    }
    const auto start = steady_clock::now();
    while (!ready()) {
        uint64_t now = clock_now_us();
        if (now >= deadline_us) return false;
        if (!clock_is_virtual()) {
            cv.wait_for(lk, microseconds(std::min<uint64_t>(deadline_us - now, kRealSliceMs * 1000)));
            continue;
        }
        uint64_t grace_us = std::min<uint64_t>(deadline_us - now, kVirtualGraceMs * 1000);
        auto grace_end = start + microseconds(grace_us);
        auto real_now = steady_clock::now();
        if (real_now >= grace_end) {
            clock_advance_to_us(deadline_us);
            return ready();
        }
        cv.wait_for(lk, std::min<steady_clock::duration>(grace_end - real_now, milliseconds(kSliceMs)));
    }
    return true;
}

}  // namespace plat
