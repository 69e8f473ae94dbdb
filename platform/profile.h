#pragma once

#include <string>
#include <vector>

// Profile (INI) files with the rules of GetPrivateProfileStringA / WritePrivateProfileStringA:
// section and key names match without regard to letter case; a value is the text after "="
// with surrounding blanks removed and one pair of enclosing quotes dropped; a write replaces the
// key's line or adds the key, the section and the file, keeping every other byte.

// At most 2047 characters come back; a missing file, section or key gives `defaultValue`.
std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& defaultValue, const std::string& path);

// False when the file could not be written (the API's result 0).
bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path);

// The names of the section's keys, in file order (the read with no key name); empty when the file
// or the section is missing.
std::vector<std::string> ReadProfileKeys(const std::string& section, const std::string& path);

// Removes the key's line (the write with no value); true also when there was none. False when
// the file could not be written.
bool DeleteProfileKey(const std::string& section, const std::string& key, const std::string& path);

// The call with no section, key and value: flushes the platform's cache for the file. Its result
// says nothing about the file (Wine answers 0), so callers ignore it.
bool FlushProfile(const std::string& path);
