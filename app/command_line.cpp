#include "app/command_line.h"

#include <cstddef>

namespace {

bool IsSeparator(char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte >= 1 && byte <= 32;
}

// Reads the argument that starts at or after `pos` and moves `pos` past it.
std::string NextArgument(std::string_view line, std::size_t& pos) {
    while (pos < line.size() && IsSeparator(line[pos])) ++pos;
    std::string argument;
    bool quoted = false;
    for (; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && IsSeparator(c)) {
            break;
        } else {
            argument += c;
        }
    }
    return argument;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view rawCommandLine) {
    // A byte 0 ends the line, as it ends the platform's text.
    rawCommandLine = rawCommandLine.substr(0, rawCommandLine.find('\0'));
    std::vector<std::string> arguments;
    std::size_t pos = 0;
    while (true) {
        std::string argument = NextArgument(rawCommandLine, pos);
        if (argument.empty()) break;
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

bool IsAutosetMode(std::string_view rawCommandLine) {
    std::vector<std::string> arguments = SplitCommandLine(rawCommandLine);
    return arguments.size() >= 2 && arguments[1] == "autoset";
}
