// Text widths of the host's stand-in for the 8-point sans-serif face: fixed advance widths per
// character, close to the proportions of the real face at 96 dots per inch.
#include <array>

#include "platform/host/testing/gui_controls.h"

namespace {

constexpr std::array<int, 128> MakeWidths() {
    std::array<int, 128> widths{};
    for (int& w : widths) w = 6;  // digits, most lower-case letters and signs
    widths[' '] = 3;
    for (char c : {'!', '\'', ',', '.', ':', ';', '|', 'i', 'j', 'l', 'I'}) widths[c] = 2;
    for (char c : {'(', ')', '-', '[', ']', 'f', 'r', 't', '`'}) widths[c] = 3;
    for (char c : {'"', '/', '\\', '{', '}', 'c', 'k', 's', 'v', 'x', 'y', 'z', 'J'}) widths[c] = 5;
    for (char c : {'A', 'B', 'C', 'E', 'K', 'P', 'R', 'S', 'V', 'X', 'Y', 'Z', '#'}) widths[c] = 7;
    for (char c : {'D', 'G', 'H', 'N', 'O', 'Q', 'U', 'm', 'w', '&'}) widths[c] = 8;
    for (char c : {'M', 'W', '%', '@'}) widths[c] = 10;
    widths['F'] = 6;
    widths['L'] = 6;
    widths['T'] = 6;
    return widths;
}

constexpr std::array<int, 128> kWidths = MakeWidths();

}  // namespace

int host::TextWidth(const std::string& text) {
    int width = 0;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        width += byte < kWidths.size() ? kWidths[byte] : 6;
    }
    return width;
}
