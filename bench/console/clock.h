#pragma once

#include <cstdint>

// The benchmark's clock: the platform's high-resolution counter.
std::int64_t ClockTicks();
double ClockTicksPerSecond();
