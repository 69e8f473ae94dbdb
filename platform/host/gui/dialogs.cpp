// The modal message windows on the host: recorded, echoed and closed at once.
#include <cstdio>
#include <mutex>

#include "platform/dialogs.h"
#include "platform/host/testing/dialog_log.h"

namespace {

std::mutex logMutex;
std::vector<host::DialogRecord> records;
std::function<void(const host::DialogRecord&)> closedHook;
bool echo = true;

void Show(host::DialogIcon icon, const std::string& caption, const std::string& text) {
    host::DialogRecord record{icon, caption, text};
    std::function<void(const host::DialogRecord&)> hook;
    bool print = false;
    {
        std::lock_guard<std::mutex> lock(logMutex);
        records.push_back(record);
        hook = closedHook;
        print = echo;
    }
    if (print) {
        const char* kind = icon == host::DialogIcon::Error ? "error box" : "information";
        std::fprintf(stderr, "[%s] %s: %s\n", kind, caption.c_str(), text.c_str());
        std::fflush(stderr);
    }
    // Called outside the lock: the hook may show another message window.
    if (hook) hook(record);
}

}  // namespace

namespace host {

std::vector<DialogRecord> RecordedDialogs() {
    std::lock_guard<std::mutex> lock(logMutex);
    return records;
}

void ClearRecordedDialogs() {
    std::lock_guard<std::mutex> lock(logMutex);
    records.clear();
}

void SetDialogClosedHook(std::function<void(const DialogRecord&)> hook) {
    std::lock_guard<std::mutex> lock(logMutex);
    closedHook = std::move(hook);
}

void SetDialogEcho(bool enabled) {
    std::lock_guard<std::mutex> lock(logMutex);
    echo = enabled;
}

}  // namespace host

void ShowErrorBox(const std::string& caption, const std::string& text) {
    Show(host::DialogIcon::Error, caption, text);
}

void ShowInformationMessage(const std::string& caption, const std::string& text) {
    Show(host::DialogIcon::Information, caption, text);
}
