#include "app/station_settings.h"

#include <algorithm>
#include <array>
#include <vector>

#include "app/error_text.h"
#include "app/settings_text.h"

namespace {

// Bytes are read in steps of this size, so a huge length prefix costs no more memory than the
// file really holds.
constexpr std::size_t kReadStep = 64 * 1024;

bool ReadExactly(const ByteReader& read, void* buffer, std::size_t count) {
    return read(buffer, count) == count;
}

}  // namespace

StationSettings StationSettingsFromText(const std::string& text) {
    std::vector<std::string> items = SplitItems(text);
    StationSettings settings;
    settings.FCameraName = ItemValue(items, "VCapSource");
    settings.FModeWidth = IntOrDefault(ItemValue(items, "VCapModeWidth"), 0);
    settings.FModeHeight = IntOrDefault(ItemValue(items, "VCapModeHeight"), 0);
    return settings;
}

std::optional<std::string> ReadSettingsText(const ByteReader& read) {
    std::array<unsigned char, 4> prefix{};
    if (!ReadExactly(read, prefix.data(), prefix.size())) return std::nullopt;
    const auto length = static_cast<std::int32_t>(static_cast<std::uint32_t>(prefix[0]) |
                                                  (static_cast<std::uint32_t>(prefix[1]) << 8) |
                                                  (static_cast<std::uint32_t>(prefix[2]) << 16) |
                                                  (static_cast<std::uint32_t>(prefix[3]) << 24));
    if (length < 0) return std::nullopt;

    // All N bytes must be there, but only those before a byte 0 belong to the text.
    std::string text;
    bool ended = false;
    std::vector<char> chunk(std::min<std::size_t>(kReadStep, static_cast<std::size_t>(length)));
    std::size_t remaining = static_cast<std::size_t>(length);
    while (remaining > 0) {
        std::size_t step = std::min(remaining, chunk.size());
        if (!ReadExactly(read, chunk.data(), step)) return std::nullopt;
        remaining -= step;
        if (ended) continue;
        auto end =
            std::find(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(step), '\0');
        text.append(chunk.begin(), end);
        ended = end != chunk.begin() + static_cast<std::ptrdiff_t>(step);
    }
    return text;
}

StationSettingsReading ReadStationSettings(const std::string& path) {
    StationSettingsReading reading;
    if (!FileExists(path)) {
        reading.status = StationSettingsStatus::Missing;
        return reading;
    }

    std::string errorText;
    std::unique_ptr<ExclusiveReadFile> file = ExclusiveReadFile::Open(path, errorText);
    if (!file) {
        reading.status = StationSettingsStatus::Failed;
        reading.failureMessage =
            "Cannot open file \"" + path + "\". " + TrimErrorDescription(errorText);
        return reading;
    }

    std::optional<std::string> text = ReadSettingsText(
        [&file](void* buffer, std::size_t count) { return file->Read(buffer, count); });
    if (!text) {
        reading.status = StationSettingsStatus::Failed;
        reading.failureMessage = kStreamReadError;
        return reading;  // `file` closes here
    }

    reading.status = StationSettingsStatus::Read;
    reading.settings = StationSettingsFromText(*text);
    reading.text = std::move(*text);
    reading.file = std::move(file);
    return reading;
}

std::string StationSettingsPath() { return FolderOf(ExecutablePath()) + "config.dat"; }
