// The modal message windows on Windows: message boxes of the system.
#include "platform/dialogs.h"
#include "platform/win32/win32_api.h"

void ShowErrorBox(const std::string& caption, const std::string& text) {
    // Owned by the application's active window, when it has one, so that window waits for it.
    MessageBoxA(GetActiveWindow(), text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}

void ShowInformationMessage(const std::string& caption, const std::string& text) {
    // Without an owner the box is centred on the screen; task-modal keeps the tool's windows
    // disabled while it shows. Its only button, OK, answers both Enter and Esc.
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION | MB_TASKMODAL);
}
