// The event log on Windows: the Application log, under a source that an installation
// registered with its message table.
#include "platform/event_log.h"

#include "platform/win32/owned_handle.h"

namespace {

constexpr wchar_t kApplicationSources[] =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";

// Windows lets any name register as a source; events of one without a key of its own would
// show as "description not found", so only a source an installation entered counts.
bool SourceRegistered(const std::wstring& source) {
    HKEY key = nullptr;
    const std::wstring path = std::wstring(kApplicationSources) + source;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// Owns the handle of RegisterEventSourceW.
class EventSourceHandle {
  public:
    explicit EventSourceHandle(HANDLE handle) : handle_(handle) {}
    ~EventSourceHandle() {
        if (handle_ != nullptr) DeregisterEventSource(handle_);
    }
    EventSourceHandle(const EventSourceHandle&) = delete;
    EventSourceHandle& operator=(const EventSourceHandle&) = delete;
    HANDLE Get() const { return handle_; }

  private:
    HANDLE handle_;
};

WORD EventType(EventSeverity severity) {
    switch (severity) {
        case EventSeverity::Warning:
            return EVENTLOG_WARNING_TYPE;
        case EventSeverity::Error:
            return EVENTLOG_ERROR_TYPE;
        case EventSeverity::Information:
            break;
    }
    return EVENTLOG_INFORMATION_TYPE;
}

}  // namespace

struct EventLog::Impl {
    EventSourceHandle source;
};

EventLog::EventLog(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

EventLog::~EventLog() = default;

std::unique_ptr<EventLog> EventLog::OpenRegistered(const std::string& source) {
    if (!IsEventSourceName(source)) return nullptr;
    const std::wstring name = win32::Wide(source);
    if (!SourceRegistered(name)) return nullptr;
    HANDLE handle = RegisterEventSourceW(nullptr, name.c_str());
    if (handle == nullptr) return nullptr;
    return std::unique_ptr<EventLog>(
        new EventLog(std::unique_ptr<Impl>(new Impl{EventSourceHandle(handle)})));
}

bool EventLog::Report(EventSeverity severity, std::uint32_t eventId, const std::string& text) {
    const std::wstring detail = win32::Wide(text);
    const wchar_t* strings[] = {detail.c_str()};
    return ReportEventW(impl_->source.Get(), EventType(severity), 0, eventId, nullptr, 1, 0,
                        strings, nullptr) != FALSE;
}
