#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The profile (INI) rules of the host stand-in, on a file's text in memory. Section and key
// names match without regard to ASCII letter case and with surrounding blanks ignored; the first
// matching section and the first matching key in it count; lines starting with ";" are comments.

namespace host::ini {

// The most characters a read hands back (a caller's buffer of 2048 with its terminator).
inline constexpr std::size_t kMaxValueLength = 2047;

// The key's value - the text after "=" with surrounding blanks removed and one pair of
// enclosing quotes (both ' or both ") dropped, cut to kMaxValueLength - or nullopt when the
// section or key is missing.
std::optional<std::string> Lookup(std::string_view text, std::string_view section,
                                  std::string_view key);

// `text` with key=value set in the section: the key's line replaced, or the key added after the
// section's last non-blank line, or the section and key added at the end. Every other byte stays
// as it was; added lines take the text's first line ending (CRLF when it has none). nullopt when
// a name or the value would break the file's structure (a line break, "=" in the key, "]" in
// the section, an empty key).
std::optional<std::string> WithValue(std::string_view text, std::string_view section,
                                     std::string_view key, std::string_view value);

// The names of the section's keys in file order, each once (as the platform's key list gives
// them); empty when the section is missing.
std::vector<std::string> Keys(std::string_view text, std::string_view section);

// `text` without the key's line in the section; the text as it was when there is no such key.
std::string WithoutKey(std::string_view text, std::string_view section, std::string_view key);

}  // namespace host::ini
