#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "capture/platform.h"

// The platform's video input devices, walked in enumeration order by friendly name: what the
// capture graph selects a device from, and what a caller that only wants the names sees. Binding
// a filter is the visitor's business; the walk itself reads property bags only.

// Called for each device with its moniker, its friendly name in the system's 8-bit text and its
// position (1 for the first). Nothing: go on with the next device; a status: the walk ends with it.
using DeviceVisitor = std::function<std::optional<HRESULT>(
    IMoniker& device, const std::string& friendlyName, int position)>;

// The walk's status: a failure creating the enumerator; E_FAIL when there is no video input
// device at all or a platform call inside the walk raised an exception; the status of the
// enumerator's Next once it is not S_OK (S_FALSE after the last device); a failure to read a
// device's friendly name, which ends the walk even when a later device would do; or the
// visitor's status. The calling thread must have joined a COM apartment.
HRESULT VisitVideoInputDevices(const DeviceVisitor& visit);

// The friendly names of the video input devices as far as the walk got (see above for its status;
// S_FALSE when it saw every device).
HRESULT VideoInputDeviceNames(std::vector<std::string>& names);
