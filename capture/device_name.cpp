#include "capture/device_name.h"

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Only a to z fold, whatever the 8-bit text's code page makes of the other bytes.
char UpperAsciiLetter(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualFoldingAsciiLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (UpperAsciiLetter(a[i]) != UpperAsciiLetter(b[i])) return false;
    }
    return true;
}

}  // namespace

std::string DeviceLookupName(std::string_view name) {
    std::string_view trimmed = Trimmed(name);
    return trimmed.empty() ? std::string("#1") : std::string(trimmed);
}

DeviceMatch MatchDevice(std::string_view lookupName, std::string_view friendlyName, int position) {
    if (EqualFoldingAsciiLetters(Trimmed(friendlyName), lookupName)) return DeviceMatch::ByName;
    // The character's code, not a digit's value: "#:" is the tenth device.
    if (lookupName.size() == 2 && lookupName[0] == '#' &&
        static_cast<unsigned char>(lookupName[1]) - 48 == position) {
        return DeviceMatch::ByPosition;
    }
    return DeviceMatch::None;
}
