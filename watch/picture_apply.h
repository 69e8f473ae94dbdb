#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/camera_section.h"
#include "watch/keeper_rules.h"

// Applies the station's picture to its camera through the camera's controls, without a capture
// graph or a stream. The zoom first, decided as the tool's Set does: the camera chosen by the
// capture graph's name rule, the stored zoom sent only when the camera's zoom differs, with the
// flags for the mode last read, and read back after an accepted setting; the outcome has the
// meanings of autoset's exit codes. Then each control kept in [camera], in the file's order but
// for those `leftAlone`: one that is in automatic mode is switched to manual before its value is
// written, and every setting is read back; a refusal leaves the others to go on. The calling
// thread must have joined a COM apartment; nothing is held once it returns.
ApplyResult ApplyStoredPicture(const std::string& cameraName, std::int32_t storedZoom,
                               const std::vector<KeptSetting>& kept,
                               const std::vector<std::string>& leftAlone);
