#pragma once

#include <functional>
#include <string>
#include <vector>

// Host-only view of the modal message windows (platform/dialogs.h). On the host a message window
// is answered at once: it is recorded here, echoed to standard error, and the closed hook runs,
// as the return from a modal message does on Windows.

namespace host {

enum class DialogIcon { Error, Information };

struct DialogRecord {
    DialogIcon icon = DialogIcon::Error;
    std::string caption;
    std::string text;
};

// Every message window shown since the last clear, oldest first.
std::vector<DialogRecord> RecordedDialogs();
void ClearRecordedDialogs();

// Runs on the showing thread after each message window has closed; an empty hook clears it.
void SetDialogClosedHook(std::function<void(const DialogRecord&)> hook);

// Whether each message window is written to standard error (on by default), e.g.
// "[error box] camzoom: Stream read error."
void SetDialogEcho(bool enabled);

}  // namespace host
