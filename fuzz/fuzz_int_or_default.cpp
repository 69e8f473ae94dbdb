// IntOrDefault on arbitrary text, checked against an independent reading of the same rules.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "app/settings_text.h"

namespace {

// The rules once more, written differently: strip the parts, then use strtoll/strtoull.
std::optional<std::int32_t> Reference(std::string_view text) {
    std::size_t pos = text.find_first_not_of(' ');
    if (pos == std::string_view::npos) return std::nullopt;
    bool negative = false;
    if (text[pos] == '+' || text[pos] == '-') negative = text[pos++] == '-';
    std::string_view rest = text.substr(pos);
    bool hex = false;
    for (std::string_view prefix : {"0x", "0X", "$", "x", "X"}) {
        if (rest.substr(0, prefix.size()) == prefix) {
            hex = true;
            rest.remove_prefix(prefix.size());
            break;
        }
    }
    if (rest.empty()) return std::nullopt;
    for (char c : rest) {
        if (hex ? !std::isxdigit(static_cast<unsigned char>(c))
                : !std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
    }
    std::string digits(rest.substr(rest.find_first_not_of('0') == std::string_view::npos
                                       ? rest.size() - 1
                                       : rest.find_first_not_of('0')));
    if (digits.size() > 12) return std::nullopt;
    unsigned long long magnitude = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
    if (hex) {
        if (magnitude > 0xFFFFFFFFull) return std::nullopt;
        auto bits = static_cast<std::uint32_t>(magnitude);
        return static_cast<std::int32_t>(negative ? 0u - bits : bits);
    }
    long long value =
        negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::optional<std::int32_t> expected = Reference(text);
    // Two different defaults tell a number from a fallback even when the number equals one.
    std::int32_t a = IntOrDefault(text, 12345);
    std::int32_t b = IntOrDefault(text, -54321);
    if (expected) {
        if (a != *expected || b != *expected) std::abort();
    } else {
        if (a != 12345 || b != -54321) std::abort();
    }
    return 0;
}
