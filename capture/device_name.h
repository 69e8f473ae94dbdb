#pragma once

#include <string>
#include <string_view>

// How the name from the station settings chooses a video input device: by friendly name, with
// surrounding blanks and the case of the letters a to z ignored, or by "#" and one character
// whose code minus 48 is the device's position in the enumeration (1 for the first).

// `name` without its leading and trailing characters of code 0 to 32; "#1" (the first device)
// when nothing else is left.
std::string DeviceLookupName(std::string_view name);

enum class DeviceMatch {
    None,        // another device: the search goes on
    ByName,      // the friendly name, trimmed and with a to z folded, equals the lookup name
    ByPosition,  // the lookup name is "#" and one character for this device's position
};

// Whether the device with `friendlyName` at `position` is the one that `lookupName` (what
// DeviceLookupName gives) selects. A name match is reported before a position match.
DeviceMatch MatchDevice(std::string_view lookupName, std::string_view friendlyName, int position);
