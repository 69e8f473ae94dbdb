// The profile rules on arbitrary INI text: a lookup never fails, and a write sets exactly the
// one key - it reads back, every other line survives in order, and writing again changes nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/ini_text.h"

namespace {

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool SameLine(std::string_view original, std::string_view now) {
    // A last line may come back with one more byte: the "\r" of a line ending added to it.
    return now == original ||
           (now.size() == original.size() + 1 && now.substr(0, original.size()) == original);
}

// True when all lines of `before` but `allowedMisses` come back unchanged at the start and the
// end of `after`: the write touched one place of the text only.
bool ChangesOnePlace(const std::vector<std::string_view>& before,
                     const std::vector<std::string_view>& after, std::size_t allowedMisses) {
    std::size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() &&
           SameLine(before[prefix], after[prefix]))
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           SameLine(before[before.size() - 1 - suffix], after[after.size() - 1 - suffix]))
        ++suffix;
    return prefix + suffix + allowedMisses >= before.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first bytes choose section, key and value; the rest is the file.
    if (size < 3) return 0;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const char* sections[] = {"options", "Options", " a ", "x y"};
    const char* keys[] = {"zoom", "ZOOM", "k", "a b"};
    const char* values[] = {"0", "", "@sp", "-2147483648", "\"q\"", "long value with blanks"};
    std::string_view section = sections[static_cast<unsigned char>(input[0]) % 4];
    std::string_view key = keys[static_cast<unsigned char>(input[1]) % 4];
    std::string_view value = values[static_cast<unsigned char>(input[2]) % 6];
    std::string_view text = input.substr(3);

    (void)host::ini::Lookup(text, section, key);

    std::optional<std::string> written = host::ini::WithValue(text, section, key, value);
    if (!written) std::abort();  // these names and values are always writable

    std::string expected(value);
    if (expected.size() >= 2 && (expected.front() == '"' || expected.front() == '\'') &&
        expected.back() == expected.front())
        expected = expected.substr(1, expected.size() - 2);
    if (host::ini::Lookup(*written, section, key) != expected) std::abort();

    // One line may be replaced, the rest of the text survives.
    if (!ChangesOnePlace(Lines(text), Lines(*written), 1)) std::abort();

    std::optional<std::string> again = host::ini::WithValue(*written, section, key, value);
    if (!again || *again != *written) std::abort();
    return 0;
}
