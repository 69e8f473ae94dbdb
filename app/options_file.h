#pragma once

#include <optional>
#include <string>

// The tool's options file config.ini: section "options", read and written afresh on every call
// through the platform's profile functions. A stored "@sp" stands for an empty value.

struct OptionReading {
    std::string value;
    // "Unable to write to <path>" when the default could not be written back; `value` is then
    // empty and the caller's handler ends.
    std::optional<std::string> failure;
};

// Reads key `name`; an empty or missing value gives `fallback`, which is written back when
// `writeDefault` is true; "@sp" then reads as the empty text.
OptionReading ReadOption(const std::string& name, const std::string& fallback, bool writeDefault);
OptionReading ReadOption(const std::string& name, const std::string& fallback, bool writeDefault,
                         const std::string& iniPath);

// The value stored under key `name`, read as ReadOption reads it ("@sp" is the empty text), but
// only read: none when the file, the section or the key is missing or the value is empty, and
// nothing is written.
std::optional<std::string> ReadStoredOption(const std::string& name, const std::string& iniPath);

// Stores `value` under key `name`; the failure message when the file could not be written.
std::optional<std::string> WriteOption(const std::string& name, const std::string& value);
std::optional<std::string> WriteOption(const std::string& name, const std::string& value,
                                       const std::string& iniPath);

// The path of config.ini: in the folder of the executable.
std::string OptionsFilePath();
