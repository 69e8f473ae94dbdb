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

// True when `inner` appears in `outer` in order with at most `extra` lines of `outer` left over.
bool KeepsLinesInOrder(const std::vector<std::string_view>& inner,
                       const std::vector<std::string_view>& outer, std::size_t allowedMisses) {
    std::size_t j = 0, misses = 0;
    for (std::string_view line : inner) {
        while (j < outer.size() && outer[j] != line &&
               !(outer[j].size() == line.size() + 1 && outer[j].substr(0, line.size()) == line))
            ++j;
        if (j == outer.size()) {
            if (++misses > allowedMisses) return false;
            continue;
        }
        ++j;
    }
    return true;
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
    if (!KeepsLinesInOrder(Lines(text), Lines(*written), 1)) std::abort();

    std::optional<std::string> again = host::ini::WithValue(*written, section, key, value);
    if (!again || *again != *written) std::abort();
    return 0;
}
