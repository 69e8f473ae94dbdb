#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/files.h"

// The station settings file config.dat: a 32-bit signed little-endian length N, then N bytes of
// settings text (a byte 0 ends it early), then anything, which is ignored.

// What the tool takes from the settings text.
struct StationSettings {
    std::string FCameraName;       // "VCapSource"
    std::int32_t FModeWidth = 0;   // "VCapModeWidth"
    std::int32_t FModeHeight = 0;  // "VCapModeHeight"
};

StationSettings StationSettingsFromText(const std::string& text);

// Reads up to `count` bytes into `buffer`; fewer only at the end of the data or on an error.
using ByteReader = std::function<std::size_t(void* buffer, std::size_t count)>;

// The settings text behind the length prefix, or nothing when the data is shorter than 4 or
// 4 + N bytes or N is negative. N is trusted only as far as bytes really arrive: the text grows
// with what is read, in bounded steps, and nothing is read past the N bytes.
std::optional<std::string> ReadSettingsText(const ByteReader& read);

inline constexpr const char* kStreamReadError = "Stream read error";

enum class StationSettingsStatus {
    Read,     // `settings` holds the file's values; `file` is still open
    Missing,  // no such file (or a directory): nothing was opened
    Failed,   // `failureMessage` says why; the file, if it was opened, is closed again
};

struct StationSettingsReading {
    StationSettingsStatus status = StationSettingsStatus::Missing;
    std::string failureMessage;
    std::string text;  // the settings text up to its end or its first byte 0
    StationSettings settings;
    // The file stays open, shared with no other opener, until the caller lets go of it: the
    // window keeps it while it opens the camera and refreshes its status.
    std::unique_ptr<ExclusiveReadFile> file;
};

// Tests for `path`, opens it exclusively and reads it. Failures: "Cannot open file "<path>".
// <platform's error description>" and "Stream read error".
StationSettingsReading ReadStationSettings(const std::string& path);

// The path of config.dat: in the folder of the executable.
std::string StationSettingsPath();
