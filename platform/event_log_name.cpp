// The rule for event source names, the same on both builds.
#include "platform/event_log.h"

bool IsEventSourceName(const std::string& source) {
    return !source.empty() && source != "." && source != ".." &&
           source.find_first_of("\\/") == std::string::npos;
}
