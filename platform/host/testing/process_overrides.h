#pragma once

#include <optional>
#include <string>
#include <vector>

// Host-only hooks behind ExecutablePath() and RawCommandLine() (platform/files.h): tests and the
// host program point the "executable's folder" at a folder of their own and choose the command
// line. Without an override the process's own facts are used.

namespace host {

// nullopt restores /proc/self/exe.
void SetExecutablePathOverride(std::optional<std::string> path);
// nullopt restores the line built from /proc/self/cmdline.
void SetRawCommandLineOverride(std::optional<std::string> line);

// Joins arguments into one command line as Windows would hand it over: an argument that is empty
// or holds a byte from 1 to 32 is enclosed in double quotes.
std::string JoinCommandLine(const std::vector<std::string>& arguments);

}  // namespace host
