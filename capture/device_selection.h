#pragma once

#include <string>

#include "capture/platform.h"

// The station's camera as the capture graph chooses it: the first video input device in
// enumeration order that the configured name selects (friendly name, trimmed and with a to z
// folded, or "#n" by position; an empty name selects the first device), its source filter bound
// from the device's moniker.
//
// S_OK with `source` bound; S_FALSE when the devices ran out without a match; otherwise the
// failing status of the walk (no device at all: E_FAIL) or of binding the matched device, and
// `source` is left as it was. The calling thread must have joined a COM apartment.
HRESULT BindSelectedDevice(const std::string& name, ComPtr<IBaseFilter>& source);
