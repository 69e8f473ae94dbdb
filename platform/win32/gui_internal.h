#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/win32/win32_api.h"

class Application;
class Form;

// What the Win32 GUI adapters share among themselves; portable code never sees it.
namespace win32 {

// What the application object keeps that every window procedure needs for the error box. The
// application registers it while it lives (gui_application.cpp); the error box, the event
// handlers and the modal messages read it (gui_application_state.cpp), so that neither the forms
// nor the message windows need the application's own file.
struct ApplicationState {
    Application* application = nullptr;
    std::string title;
    Form* mainForm = nullptr;
};
// The living application's state, or null while no application object exists.
ApplicationState* LivingApplication();
// `state` from now on; null when the application goes.
void SetLivingApplication(ApplicationState* state);

// The application's modal messages: the error box (the error icon, the title as caption and
// `text` as it stands) and the information message. Where the system does not hand the
// activation back to the main window afterwards, they do.
void ShowApplicationError(const std::string& text);
void ShowApplicationInformation(const std::string& caption, const std::string& text);

// Private messages of the toolkit's own windows (WM_APP range, never posted by portable code to
// these windows).
constexpr UINT kDeferredActivateMessage = WM_APP + 0x3F00;
constexpr UINT kHideMessage = WM_APP + 0x3F01;

// Runs an event handler; a failure escaping it goes to the application's error box and the
// caller carries on. A window procedure must never let an exception unwind through Windows.
void RunEventHandler(const std::function<void()>& handler);

// The central report of a failure: its message, with a full stop added when the message ends
// in a character that sorts after ".", in the application's error box.
void ReportFailure(const std::string& message);

// True while the application's error box is open: the activation that closing it hands back
// to the main window must not count as a new activation (it would re-run a failing handler
// forever).
bool ErrorBoxOpen();

// Calls every idle handler once; true when all of them are done.
bool NotifyIdleHandlers();

// Handles the thread's messages, the dialog keys going to `keyWindow` (read again for every
// message, as the window may go meanwhile; none while null), and notifies the idle handlers each
// time the queue has run empty, waiting for the next message once they are all done. Ends when
// `finished` says so (nullopt) or at WM_QUIT (its exit code), which it takes from the queue.
std::optional<WPARAM> PumpMessages(const HWND& keyWindow, const std::function<bool()>& finished);

// Shows the dialog `dialog` centred on `owner` with the owner disabled and handles the
// program's messages (dialog keys for the dialog, idle notification when the queue is empty)
// until `closed` is set; a WM_QUIT met on the way is posted again for the outer loop.
void RunModalLoop(HWND dialog, HWND owner, const bool& closed);

// The toolkit's font: "MS Sans Serif" 8 pt, or the closest face the system has.
HFONT ToolkitFont();

}  // namespace win32
