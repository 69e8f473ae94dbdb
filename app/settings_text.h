#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The text rules of the station settings: the comma list of Name=Value items and the integer
// reading that falls back to a default.

// Splits the settings text into its items. Works on bytes: a byte 0 ends the text, bytes 1 to 32
// are blanks; items are separated by a comma, by blanks or by both; a double-quoted item keeps
// its blanks and commas, a pair of double quotes inside it stands for one.
std::vector<std::string> SplitItems(std::string_view text);

// The value of the first item named `key` (ASCII letters compared without regard to case): the
// text after the item's first "=". Empty when no item matches.
std::string ItemValue(const std::vector<std::string>& items, std::string_view key);

// `text` as a 32-bit signed number - blanks (byte 32), one optional sign, then decimal digits or
// a "$", "x", "X", "0x", "0X" prefix with hexadecimal digits, and nothing more - or `fallback`.
// Decimal numbers must fit the signed range; hexadecimal ones may use all 32 bits.
std::int32_t IntOrDefault(std::string_view text, std::int32_t fallback);

// Letter case folding of ASCII letters only, as the names the tool looks up are ASCII.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);
