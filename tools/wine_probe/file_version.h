#pragma once

#include <string>

namespace probe {

// Prints a file's version resource as read through the platform's version API: a line
// "fixed=A.B.C.D product=A.B.C.D" from the fixed part, then "NAME=VALUE" for each string of the
// first translation. False when the file has no version resource.
bool PrintFileVersion(const std::wstring& path);

}  // namespace probe
