#pragma once

#include <cstdint>

// The platform's 32-bit millisecond tick, which wraps about every 49.7 days. Two ticks are
// compared only through their difference as a signed count, which stays right across a wrap as
// long as they lie less than 2^31 ms (about 24.8 days) apart.
using Tick = std::uint32_t;

// Milliseconds from `then` to `now`; negative when `then` is the later one.
constexpr std::int32_t TicksSince(Tick now, Tick then) {
    return static_cast<std::int32_t>(now - then);
}

// Whether `deadline` has come at `now`.
constexpr bool Reached(Tick now, Tick deadline) { return TicksSince(now, deadline) >= 0; }
