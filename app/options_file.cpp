#include "app/options_file.h"

#include "app/error_text.h"
#include "platform/files.h"
#include "platform/profile.h"

namespace {

constexpr const char* kSection = "options";
constexpr const char* kEmptyMarker = "@sp";

// What the stored text stands for.
std::string StoredText(std::string text) { return text == kEmptyMarker ? std::string() : text; }

std::string UnableToWrite(const std::string& path) { return "Unable to write to " + path; }

}  // namespace

std::string OptionsFilePath() { return FolderOf(ExecutablePath()) + "config.ini"; }

OptionReading ReadOption(const std::string& name, const std::string& fallback, bool writeDefault) {
    return ReadOption(name, fallback, writeDefault, OptionsFilePath());
}

OptionReading ReadOption(const std::string& name, const std::string& fallback, bool writeDefault,
                         const std::string& iniPath) {
    OptionReading reading;
    reading.value = ReadProfileString(kSection, name, "", iniPath);
    if (reading.value.empty()) {
        reading.value = fallback;
        if (writeDefault && !WriteProfileString(kSection, name, fallback, iniPath)) {
            reading.value.clear();
            reading.failure = UnableToWrite(iniPath);
            return reading;
        }
    }
    reading.value = StoredText(std::move(reading.value));
    // The cache flush says nothing about the file (Wine answers 0 to it), so its result is not
    // used.
    FlushProfile(iniPath);
    return reading;
}

std::optional<std::string> ReadStoredOption(const std::string& name, const std::string& iniPath) {
    std::string text = ReadProfileString(kSection, name, "", iniPath);
    if (text.empty()) return std::nullopt;
    return StoredText(std::move(text));
}

std::optional<std::string> WriteOption(const std::string& name, const std::string& value) {
    return WriteOption(name, value, OptionsFilePath());
}

std::optional<std::string> WriteOption(const std::string& name, const std::string& value,
                                       const std::string& iniPath) {
    if (!WriteProfileString(kSection, name, value, iniPath)) return UnableToWrite(iniPath);
    FlushProfile(iniPath);
    return std::nullopt;
}
