// The event log on Linux: a folder that stands for the registry's event sources and for the
// Application log (platform/event_log.h describes its layout), so that tests see what a program
// reported and the program behaves as on a machine with or without its source registered.
#include "platform/event_log.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/user_data_folder.h"

namespace {

std::filesystem::path EventLogFolder() {
    if (const char* folder = std::getenv("CAMZOOM_EVENT_LOG_DIR");
        folder != nullptr && *folder != '\0') {
        return folder;
    }
    const std::filesystem::path data = LocalAppDataFolder();
    return data.empty() ? std::filesystem::path() : data / "event-log";
}

const char* SeverityName(EventSeverity severity) {
    switch (severity) {
        case EventSeverity::Warning:
            return "warning";
        case EventSeverity::Error:
            return "error";
        case EventSeverity::Information:
            break;
    }
    return "information";
}

// One event is one line, whatever its text holds.
std::string OneLine(const std::string& text) {
    std::string line = text;
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    return line;
}

}  // namespace

struct EventLog::Impl {
    std::string source;
    std::filesystem::path logFile;
};

EventLog::EventLog(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

EventLog::~EventLog() = default;

std::unique_ptr<EventLog> EventLog::OpenRegistered(const std::string& source) {
    if (!IsEventSourceName(source)) return nullptr;
    const std::filesystem::path folder = EventLogFolder();
    if (folder.empty()) return nullptr;
    std::error_code error;
    if (!std::filesystem::is_regular_file(folder / "sources" / source, error)) return nullptr;
    return std::unique_ptr<EventLog>(
        new EventLog(std::make_unique<Impl>(Impl{source, folder / "Application.log"})));
}

bool EventLog::Report(EventSeverity severity, std::uint32_t eventId, const std::string& text) {
    std::ofstream log(impl_->logFile, std::ios::binary | std::ios::app);
    if (!log) return false;
    log << SeverityName(severity) << '\t' << impl_->source << '\t' << eventId << '\t'
        << OneLine(text) << '\n';
    log.flush();
    return static_cast<bool>(log);
}
