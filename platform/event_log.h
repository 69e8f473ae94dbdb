#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Events of a resident program in the system's event log, for administrators who watch many
// stations from one console rather than each station's own log file.
//
// An event goes under an event source that an installation registered with its message table;
// where the source is not registered, OpenRegistered gives null and the caller reports nothing
// (Windows would take any source name and show "the description cannot be found").
//
// Windows: the Application log; a source counts as registered when the key
// HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\<source> exists; the text goes as
// the one insertion string %1 of the message `eventId`.
// Host stand-in: a folder stands for the registry and the log, $CAMZOOM_EVENT_LOG_DIR when set,
// else "event-log" in the user's local data folder (platform/user_data_folder.h). A source counts
// as registered when the file <folder>/sources/<source> exists; each event is appended to
// <folder>/Application.log as one line "<severity>\t<source>\t<eventId>\t<text>", severity being
// "information", "warning" or "error", and every control character of the text (line breaks,
// tabs) written as a blank.

enum class EventSeverity { Information, Warning, Error };

class EventLog {
  public:
    // The log under `source`; null when the source is not registered, or its name cannot be one
    // (empty, or holding a path separator).
    static std::unique_ptr<EventLog> OpenRegistered(const std::string& source);
    ~EventLog();
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

    // One event: `eventId` is the message's id in the source's table, `text` (UTF-8) its detail.
    // False when the platform did not take it.
    bool Report(EventSeverity severity, std::uint32_t eventId, const std::string& text);

    struct Impl;

  private:
    explicit EventLog(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// Whether `source` can be an event source's name: not empty, no '\\' or '/' (the name is one
// key of the registry, and on the host one file name).
bool IsEventSourceName(const std::string& source);
