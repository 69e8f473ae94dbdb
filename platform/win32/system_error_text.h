#pragma once

#include <string>

#include "platform/win32/win32_api.h"

namespace win32 {

// The system's description of a Win32 error code (GetLastError) as our messages embed it:
// FormatMessageA's words without their closing full stop and line break
// ("Access is denied"), or "System error <code>" for a code the system cannot describe.
std::string SystemErrorText(DWORD error);

}  // namespace win32
