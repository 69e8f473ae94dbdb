// SplitItems and ItemValue on arbitrary settings text: no crash, and the items keep the rules
// that hold for every text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/settings_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> items = SplitItems(text);

    // Nothing comes from past a byte 0, and no item is longer than the text itself.
    std::string_view used = text.substr(0, text.find('\0'));
    std::size_t total = 0;
    for (const std::string& item : items) {
        if (item.find('\0') != std::string::npos) std::abort();
        total += item.size();
    }
    if (total > used.size()) std::abort();
    if (used.empty() != items.empty() && !used.empty()) {
        // Only blanks give no items.
        for (char c : used) {
            auto byte = static_cast<unsigned char>(c);
            if (byte < 1 || byte > 32) {
                if (items.empty()) std::abort();
                break;
            }
        }
    }

    // The looked-up value is the first matching item's text after its first "=".
    for (std::string_view key : {"VCapSource", "VCapModeWidth", "a", ""}) {
        std::string value = ItemValue(items, key);
        for (const std::string& item : items) {
            std::size_t equals = item.find('=');
            if (equals == std::string::npos) continue;
            if (EqualsIgnoringAsciiCase(std::string_view(item).substr(0, equals), key)) {
                if (value != item.substr(equals + 1)) std::abort();
                break;
            }
        }
    }
    return 0;
}
