#pragma once

#include <cstdint>

// The mode flags of a camera control as the platform's camera-control interface reports and
// takes them.
inline constexpr std::int32_t kCameraControlFlagsAuto = 1;
inline constexpr std::int32_t kCameraControlFlagsManual = 2;

// A mode that is not exactly automatic counts as manual: a flags word that the platform did not
// fill in, or one with both bits, is set back as manual.
constexpr bool IsManualMode(std::int32_t flags) { return flags != kCameraControlFlagsAuto; }

// The flags that setting a value sends for the mode last read.
constexpr std::int32_t FlagsForMode(bool manual) {
    return manual ? kCameraControlFlagsManual : kCameraControlFlagsAuto;
}
