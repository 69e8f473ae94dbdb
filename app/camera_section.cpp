#include "app/camera_section.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "platform/profile.h"

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

}  // namespace

std::optional<std::optional<std::int32_t>> ParseKeptValue(std::string_view text) {
    if (Lower(text) == "auto") return std::optional<std::int32_t>();
    std::size_t at = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) at = 1;
    if (at == text.size()) return std::nullopt;
    std::int64_t magnitude = 0;
    for (; at < text.size(); ++at) {
        if (text[at] < '0' || text[at] > '9') return std::nullopt;
        magnitude = magnitude * 10 + (text[at] - '0');
        if (magnitude > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) {
            return std::nullopt;
        }
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    return std::optional<std::int32_t>(static_cast<std::int32_t>(value));
}

std::string KeptValueText(const std::optional<std::int32_t>& value) {
    return value ? std::to_string(*value) : "auto";
}

CameraSection CameraSectionFrom(const std::vector<std::pair<std::string, std::string>>& entries) {
    CameraSection section;
    for (const auto& [key, text] : entries) {
        const std::optional<PictureControl> control = PictureControlByKey(Lower(key));
        if (!control) {
            section.ignored.push_back("[camera] " + key + "=" + text + ": no such control");
            continue;
        }
        if (IsZoom(*control)) {
            section.ignored.push_back("[camera] " + key + "=" + text +
                                      ": the zoom is kept in [options] zoom");
            continue;
        }
        const bool again =
            std::any_of(section.kept.begin(), section.kept.end(),
                        [&](const KeptSetting& k) { return k.control.key == control->key; });
        if (again) {
            section.ignored.push_back("[camera] " + key + "=" + text +
                                      ": the control's first line counts");
            continue;
        }
        const std::optional<std::optional<std::int32_t>> value = ParseKeptValue(text);
        if (!value) {
            section.ignored.push_back("[camera] " + key + "=" + text +
                                      ": the value is neither a whole number nor auto");
            continue;
        }
        section.kept.push_back({*control, *value});
    }
    return section;
}

CameraSection ReadCameraSection(const std::string& iniPath) {
    std::vector<std::pair<std::string, std::string>> entries;
    for (const std::string& key : ReadProfileKeys(kCameraSection, iniPath)) {
        entries.emplace_back(key, ReadProfileString(kCameraSection, key, "", iniPath));
    }
    return CameraSectionFrom(entries);
}

std::optional<std::string> WriteCameraSection(const std::vector<KeptSetting>& kept,
                                              const std::string& iniPath) {
    bool written = true;
    for (const PictureControl& control : kPictureControls) {
        if (IsZoom(control)) continue;
        const std::string key(control.key);
        const auto found = std::find_if(kept.begin(), kept.end(), [&](const KeptSetting& k) {
            return k.control.key == control.key;
        });
        if (found != kept.end()) {
            written =
                WriteProfileString(kCameraSection, key, KeptValueText(found->value), iniPath) &&
                written;
        } else {
            // Every spelling of the key goes, as a profile read would find any of them.
            for (const std::string& existing : ReadProfileKeys(kCameraSection, iniPath)) {
                if (Lower(existing) == key)
                    written = DeleteProfileKey(kCameraSection, existing, iniPath) && written;
            }
        }
    }
    FlushProfile(iniPath);
    if (!written) return "Unable to write to " + iniPath;
    return std::nullopt;
}
