// The host's simulated-devices file: any text is either refused or read into devices that
// write out and read back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/host/dshow/test_controls.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    auto devices = host::dshow::ParseDevicesText(text);
    if (!devices) return 0;
    std::string written = host::dshow::FormatDevicesText(*devices);
    auto reread = host::dshow::ParseDevicesText(written);
    if (!reread || host::dshow::FormatDevicesText(*reread) != written) std::abort();
    return 0;
}
