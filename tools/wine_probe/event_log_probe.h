#pragma once

#include <cstdint>
#include <string>

namespace probe {

// Prints message `id` of the message table in the file `path` (loaded as data, not run), with
// `text` as its insertion %1, through FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE): one line
// "message=TEXT" (line breaks shown as \n). False when the file or the message is not there.
bool PrintTableMessage(const std::wstring& path, std::uint32_t id, const std::wstring& text);

// Reports one event through the product's own event log (platform/event_log.h) under `source`.
// Prints "not registered", "reported" or "refused"; gives 0 when reported, 3 when the source is
// not registered, 1 when the event was refused.
// `severity` is "information", "warning" or "error".
int ReportEvent(const std::wstring& source, const std::wstring& severity, std::uint32_t id,
                const std::wstring& text);

}  // namespace probe
