#include "clock.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

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

}  // namespace

bool clock_is_virtual() { return g_virtual.load(); }
void clock_set_virtual(bool on) { g_virtual.store(on); }

uint64_t clock_now_us() {
    if (g_virtual.load()) return g_virtual_us.load();
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(steady::now() - g_start).count());
}

uint64_t clock_now_ms() { return clock_now_us() / 1000; }

void clock_advance_us(uint64_t us) {
    if (g_virtual.load()) g_virtual_us.fetch_add(us);
}

void clock_sleep_ms(uint64_t ms) {
    if (g_virtual.load())
        clock_advance_us(ms * 1000);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace plat
