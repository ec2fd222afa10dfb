// The platform's one clock. Real time by default; under the virtual clock (tests and automation) time
// moves only when a wait, a Sleep or the test moves it, so runs repeat exactly.
#pragma once

#include <cstdint>

namespace plat {

bool clock_is_virtual();
void clock_set_virtual(bool on);

// Milliseconds and microseconds since the platform started.
uint64_t clock_now_ms();
uint64_t clock_now_us();

// Virtual clock only: moves time forward (no effect on the real clock).
void clock_advance_us(uint64_t us);

// Sleep: real time passes, or the virtual clock advances by the same amount at once.
void clock_sleep_ms(uint64_t ms);

}  // namespace plat
