// The host build's clock: the steady clock, in nanoseconds.

#include <chrono>

#include "bench/console/clock.h"

std::int64_t ClockTicks() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double ClockTicksPerSecond() { return 1e9; }
