#pragma once

#include <cstdint>
#include <optional>

// The bytes of memory this process holds for itself alone (Windows: the private usage of
// GetProcessMemoryInfo; Linux: the resident anonymous memory). Nothing when unknown.
std::optional<std::uint64_t> ProcessPrivateBytes();
