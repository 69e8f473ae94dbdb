// The config.dat reader on arbitrary bytes, from memory: it never reads past the data, never
// asks for more than a bounded step at once, and succeeds exactly when the data holds 4 + N
// bytes for a non-negative N.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/station_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::size_t offset = 0;
    ByteReader reader = [&](void* buffer, std::size_t count) {
        if (count > 64 * 1024) std::abort();
        std::size_t n = std::min(count, size - offset);
        std::memcpy(buffer, data + offset, n);
        offset += n;
        return n;
    };
    std::optional<std::string> text = ReadSettingsText(reader);

    bool complete = false;
    std::size_t length = 0;
    if (size >= 4) {
        std::int32_t n = static_cast<std::int32_t>(static_cast<std::uint32_t>(data[0]) |
                                                   (static_cast<std::uint32_t>(data[1]) << 8) |
                                                   (static_cast<std::uint32_t>(data[2]) << 16) |
                                                   (static_cast<std::uint32_t>(data[3]) << 24));
        length = n < 0 ? 0 : static_cast<std::size_t>(n);
        complete = n >= 0 && size - 4 >= length;
    }
    if (complete != text.has_value()) std::abort();
    if (text) {
        std::string expected(reinterpret_cast<const char*>(data) + 4, length);
        expected = expected.substr(0, expected.find('\0'));
        if (*text != expected || offset != 4 + length) std::abort();
        StationSettings settings = StationSettingsFromText(*text);
        (void)settings;
    }
    return 0;
}
