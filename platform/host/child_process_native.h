#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>

#include "platform/child_process.h"

// The native side of a host ChildProcess: its process id, reaped once it has ended.
struct ChildProcess::Impl {
    pid_t pid = -1;
    std::optional<std::uint32_t> exitCode;
};
