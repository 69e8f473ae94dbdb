#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A platform error description as messages embed it ("Cannot open file "x". <description>",
// "cannot create the window: <description>"): the system words its descriptions as sentences
// ending in a full stop and a line break, which the message around it already supplies.
// Trailing blanks, control characters and full stops are removed; inner ones stay.
inline std::string TrimErrorDescription(std::string_view description) {
    std::size_t end = description.size();
    while (end > 0) {
        const auto last = static_cast<unsigned char>(description[end - 1]);
        if (last > 32 && last != '.') break;
        --end;
    }
    return std::string(description.substr(0, end));
}
