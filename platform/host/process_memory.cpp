// The process's private memory on Linux: RssAnon of /proc/self/status.
#include "platform/process_memory.h"

#include <fstream>
#include <sstream>
#include <string>

std::optional<std::uint64_t> ProcessPrivateBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("RssAnon:", 0) != 0) continue;
        std::istringstream fields(line.substr(8));
        std::uint64_t kilobytes = 0;
        if (fields >> kilobytes) return kilobytes * 1024;
    }
    return std::nullopt;
}
