#pragma once

#include <cstdint>
#include <string>

#include "watch/keeper_rules.h"

// Applies `storedZoom` to the station's camera through its camera controls, without a capture
// graph or a stream, deciding as the tool's Set does: the camera is chosen by the capture graph's
// name rule, the stored zoom is sent only when the camera's zoom differs, with the flags for the
// mode last read, and read back after an accepted setting. The outcome has the meanings of
// autoset's exit codes. The calling thread must have joined a COM apartment; nothing is held
// once it returns.
ApplyResult ApplyStoredZoom(const std::string& cameraName, std::int32_t storedZoom);
