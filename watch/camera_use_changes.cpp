#include "watch/camera_use_changes.h"

#include <algorithm>
#include <cstdint>
#include <map>

namespace {

struct ProgramUse {
    bool inUse = false;
    std::uint64_t lastStart = 0;  // of the records in use: the newest start
};

// One entry per program, merged over both trees, sorted by name so that the lines come in a
// stable order.
std::map<std::string, ProgramUse> ByProgram(const std::vector<CameraUseRecord>& records) {
    std::map<std::string, ProgramUse> programs;
    for (const CameraUseRecord& record : records) {
        ProgramUse& use = programs[record.program];
        if (!record.inUse) continue;
        use.inUse = true;
        use.lastStart = std::max(use.lastStart, record.lastStart);
    }
    return programs;
}

std::string Started(const std::string& program) { return program + " started using the camera"; }
std::string Stopped(const std::string& program) { return program + " stopped using the camera"; }

}  // namespace

std::vector<std::string> CameraUseChanges(const std::vector<CameraUseRecord>& before,
                                          const std::vector<CameraUseRecord>& after) {
    const auto previous = ByProgram(before);
    const auto current = ByProgram(after);
    std::vector<std::string> lines;
    for (const auto& [program, was] : previous) {
        if (!was.inUse) continue;
        const auto now = current.find(program);
        if (now == current.end() || !now->second.inUse) lines.push_back(Stopped(program));
    }
    for (const auto& [program, is] : current) {
        if (!is.inUse) continue;
        const auto then = previous.find(program);
        if (then == previous.end() || !then->second.inUse) {
            lines.push_back(Started(program));
        } else if (then->second.lastStart != is.lastStart) {
            // Stopped and started again between the two readings.
            lines.push_back(Stopped(program));
            lines.push_back(Started(program));
        }
    }
    return lines;
}
