#include "platform/console_output.h"

#include <cstdio>

void WriteStandardOutput(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}
