#pragma once

#include <string>
#include <string_view>
#include <vector>

// The command line as the tool reads it.

// Splits a raw command line, program path included, by the platform's rule: bytes 1 to 32
// separate arguments, a double quote opens or closes a stretch in which they do not, the quotes
// are removed and there is no escape character. Splitting stops at the first empty argument.
std::vector<std::string> SplitCommandLine(std::string_view rawCommandLine);

// True when the first argument after the program path is exactly "autoset".
bool IsAutosetMode(std::string_view rawCommandLine);
