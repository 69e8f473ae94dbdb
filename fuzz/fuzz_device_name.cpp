// The device-name rule on arbitrary names: the lookup name is the trimmed name (or "#1"), and
// the match agrees with an independent reading of the rule. The first byte gives the position
// (-8 to 247), the second where the rest splits into the name and the device's friendly name.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "capture/device_name.h"

namespace {

std::string Trim(const std::string& text) {
    std::string blanks;
    for (int code = 0; code <= 32; ++code) blanks += static_cast<char>(code);
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// In the "C" locale toupper changes the letters a to z and nothing else.
std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int position = static_cast<int>(data[0]) - 8;
    const std::string rest(reinterpret_cast<const char*>(data) + 2, size - 2);
    const std::size_t split = data[1] % (rest.size() + 1);
    const std::string name = rest.substr(0, split);
    const std::string friendlyName = rest.substr(split);

    const std::string lookup = DeviceLookupName(name);
    const std::string trimmed = Trim(name);
    Check(lookup == (trimmed.empty() ? "#1" : trimmed));
    Check(DeviceLookupName(lookup) == lookup);

    DeviceMatch expected = DeviceMatch::None;
    if (Upper(Trim(friendlyName)) == Upper(lookup)) {
        expected = DeviceMatch::ByName;
    } else if (lookup.size() == 2 && lookup[0] == '#' &&
               static_cast<int>(static_cast<unsigned char>(lookup[1])) == position + 48) {
        expected = DeviceMatch::ByPosition;
    }
    Check(MatchDevice(lookup, friendlyName, position) == expected);
    // Folding a to z on either side changes nothing.
    Check(MatchDevice(lookup, Upper(friendlyName), position) == expected);
    return 0;
}
