#include "clock.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "vokplat/clock.h"
#include "win32/wintypes.h"

namespace plat {
namespace {

using steady = std::chrono::steady_clock;

const steady::time_point g_start = steady::now();

bool env_virtual() {
    const char* v = std::getenv("VOK_VIRTUAL_CLOCK");
    return v && *v && std::strcmp(v, "0") != 0;
}

std::atomic<bool> g_virtual{env_virtual()};
std::atomic<uint64_t> g_virtual_us{0};
// Added to the real clock so that it never runs back behind virtual time already shown.
std::atomic<uint64_t> g_real_offset_us{0};
std::mutex g_switch_mutex;

uint64_t real_elapsed_us() {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(steady::now() - g_start).count());
}

uint64_t real_now_us() { return real_elapsed_us() + g_real_offset_us.load(); }

// The real time that goes with a move of the virtual clock by a sleep or a busy-wait.
void pace(uint64_t virtual_ms) {
    std::this_thread::sleep_for(
        std::chrono::microseconds(std::min(virtual_ms * kPaceUsPerMs, kPaceMaxUs)));
}

// Per thread: the last value a public clock read returned and how often in a row.
thread_local uint64_t t_last_read = UINT64_MAX;
thread_local unsigned t_same_reads = 0;

}  // namespace

bool clock_is_virtual() { return g_virtual.load(); }

void clock_set_virtual(bool on) {
    std::lock_guard lock(g_switch_mutex);
    if (on == g_virtual.load()) return;
    if (on) {
        g_virtual_us.store(real_now_us());
    } else {
        uint64_t v = g_virtual_us.load(), real = real_elapsed_us();
        if (v > real + g_real_offset_us.load()) g_real_offset_us.store(v - real);
    }
    g_virtual.store(on);
}

uint64_t clock_now_us() {
    if (g_virtual.load()) return g_virtual_us.load();
    return real_now_us();
}

uint64_t clock_now_ms() { return clock_now_us() / 1000; }

void clock_advance_us(uint64_t us) {
    if (g_virtual.load()) g_virtual_us.fetch_add(us);
}

void clock_advance_to_us(uint64_t us) {
    if (!g_virtual.load()) return;
    uint64_t cur = g_virtual_us.load();
    while (cur < us && !g_virtual_us.compare_exchange_weak(cur, us)) {
    }
}

uint64_t clock_deadline_us(uint32_t timeout_ms) {
    if (timeout_ms == INFINITE) return kNoDeadline;
    return clock_now_us() + uint64_t(timeout_ms) * 1000;
}

void clock_sleep_ms(uint64_t ms) {
    if (g_virtual.load()) {
        clock_advance_to_us(g_virtual_us.load() + ms * 1000);
        pace(ms);
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

uint64_t clock_read_us() {
    uint64_t now = clock_now_us();
    if (!g_virtual.load()) return now;
    if (now != t_last_read) {
        t_last_read = now;
        t_same_reads = 0;
        return now;
    }
    if (++t_same_reads < kSpinReads) return now;
    // A thread spinning on the clock would wait forever for time that only waits move.
    t_same_reads = 0;
    clock_advance_to_us(now + 1000);
    pace(1);
    t_last_read = clock_now_us();
    return t_last_read;
}

}  // namespace plat

extern "C" {

void PlatSetVirtualClock(BOOL on) { plat::clock_set_virtual(on != FALSE); }
BOOL PlatIsVirtualClock(void) { return plat::clock_is_virtual() ? TRUE : FALSE; }
void PlatAdvanceClock(ULONGLONG ms) { plat::clock_advance_us(ms * 1000); }
ULONGLONG PlatClockNow(void) { return plat::clock_now_us(); }

}
