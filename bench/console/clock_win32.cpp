// The Windows build's clock: QueryPerformanceCounter.

#include "platform/win32/win32_api.h"

#include "bench/console/clock.h"

std::int64_t ClockTicks() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double ClockTicksPerSecond() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart);
}
