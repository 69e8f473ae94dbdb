#include "app/settings_text.h"

#include <cstddef>

namespace {

bool IsBlank(unsigned char byte) { return byte >= 1 && byte <= 32; }

unsigned char FoldAscii(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a quoted item starting at the opening quote; `pos` ends after the closing quote. An item
// whose closing quote is missing runs to the end of the text.
std::string ExtractQuoted(std::string_view text, std::size_t& pos) {
    std::string item;
    ++pos;  // the opening quote
    while (pos < text.size()) {
        char c = text[pos++];
        if (c != '"') {
            item += c;
            continue;
        }
        if (pos < text.size() && text[pos] == '"') {
            item += '"';
            ++pos;
            continue;
        }
        break;  // the closing quote
    }
    return item;
}

}  // namespace

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(static_cast<unsigned char>(a[i])) !=
            FoldAscii(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::vector<std::string> SplitItems(std::string_view text) {
    // A byte 0 ends the text as its real end does.
    text = text.substr(0, text.find('\0'));
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };

    std::vector<std::string> items;
    std::size_t pos = 0;
    auto skipBlanks = [&] {
        while (pos < text.size() && IsBlank(at(pos))) ++pos;
    };

    skipBlanks();
    while (pos < text.size()) {
        if (text[pos] == '"') {
            items.push_back(ExtractQuoted(text, pos));
        } else {
            std::size_t start = pos;
            while (pos < text.size() && !IsBlank(at(pos)) && text[pos] != ',') ++pos;
            items.emplace_back(text.substr(start, pos - start));
        }
        skipBlanks();
        if (pos < text.size() && text[pos] == ',') {
            if (pos + 1 == text.size()) items.emplace_back();  // a trailing comma
            ++pos;
            skipBlanks();
        }
    }
    return items;
}

std::string ItemValue(const std::vector<std::string>& items, std::string_view key) {
    for (const std::string& item : items) {
        std::size_t equals = item.find('=');
        if (equals == std::string::npos) continue;
        if (EqualsIgnoringAsciiCase(std::string_view(item).substr(0, equals), key))
            return item.substr(equals + 1);
    }
    return {};
}

std::int32_t IntOrDefault(std::string_view text, std::int32_t fallback) {
    std::size_t pos = 0;
    while (pos < text.size() && text[pos] == ' ') ++pos;

    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        negative = text[pos] == '-';
        ++pos;
    }

    bool hex = false;
    if (pos < text.size() && (text[pos] == '$' || text[pos] == 'x' || text[pos] == 'X')) {
        hex = true;
        pos += 1;
    } else if (pos + 1 < text.size() && text[pos] == '0' &&
               (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
        hex = true;
        pos += 2;
    }

    if (pos == text.size()) return fallback;  // empty, a lone sign or a lone prefix

    // Digits accumulate in 64 bits and are checked after each one, so no text overflows.
    const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 2147483648ull : 2147483647ull);
    const int base = hex ? 16 : 10;
    std::uint64_t magnitude = 0;
    for (; pos < text.size(); ++pos) {
        int digit = HexDigitValue(text[pos]);
        if (digit < 0 || digit >= base) return fallback;
        magnitude = magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (magnitude > limit) return fallback;
    }

    // Hexadecimal values use all 32 bits: the top bit set reads as a negative number, and a "-"
    // negates the 32-bit result with wrap-around.
    std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
    if (negative) bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
}
