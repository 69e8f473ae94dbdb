#pragma once

#include <string>
#include <string_view>
#include <vector>

// Whether a device list holds the camera that autoset would select for `cameraName` (config.dat's
// "VCapSource"): by friendly name, trimmed and with a to z folded, or "#n" by position; an empty
// name selects the first device. `names` are the friendly names in enumeration order.
bool ListHoldsStationCamera(const std::vector<std::string>& names, std::string_view cameraName);
