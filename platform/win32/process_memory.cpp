// The process's private memory on Windows.
#include "platform/process_memory.h"

// clang-format off
#include "platform/win32/win32_api.h"
#include <psapi.h>
// clang-format on

std::optional<std::uint64_t> ProcessPrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(),
                                 reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                 sizeof counters)) {
        return std::nullopt;
    }
    // Both are the process's commit charge; some systems (Wine) fill in only one of them.
    const std::uint64_t bytes =
        counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
    if (bytes == 0) return std::nullopt;
    return bytes;
}
