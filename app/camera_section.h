#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "capture/picture_controls.h"

// config.ini's [camera] section: the picture controls kept for the station beside its zoom (which
// stays in [options] zoom), one hand-editable line per control. The key is the control's name in
// lower case ("focus", "whitebalance", ...; matched without regard to case, as the profile
// functions match keys); the value a signed decimal (manual mode at that value) or "auto"
// (automatic mode). A config.ini without the section keeps nothing.

struct KeptSetting {
    PictureControl control;
    std::optional<std::int32_t> value;  // none: automatic mode

    bool operator==(const KeptSetting& other) const {
        return control.key == other.control.key && value == other.value;
    }
};

struct CameraSection {
    std::vector<KeptSetting> kept;     // in the file's order
    std::vector<std::string> ignored;  // one line each for what was not taken, saying why
};

inline constexpr const char* kCameraSection = "camera";

// A value as the section holds it: a signed 32-bit decimal, or "auto". None for anything else;
// an inner none for "auto".
std::optional<std::optional<std::int32_t>> ParseKeptValue(std::string_view text);
std::string KeptValueText(const std::optional<std::int32_t>& value);

// The section from its key and value pairs, as the profile functions read them.
CameraSection CameraSectionFrom(const std::vector<std::pair<std::string, std::string>>& entries);

CameraSection ReadCameraSection(const std::string& iniPath);

// Stores exactly `kept`: their lines are written, the lines of the other known controls removed,
// anything else in the section left as it stands. The failure text when the file could not be
// written ("Unable to write to <path>").
std::optional<std::string> WriteCameraSection(const std::vector<KeptSetting>& kept,
                                              const std::string& iniPath);
