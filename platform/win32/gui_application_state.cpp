// The living application as the window procedures see it: the error box, the modal messages'
// hand-back of the activation and the running of event handlers.
#include <exception>

#include "platform/dialogs.h"
#include "platform/error_box_text.h"
#include "platform/win32/gui_form_impl.h"

namespace {

win32::ApplicationState* living = nullptr;
int errorBoxDepth = 0;

// Marks the error box as open for as long as it lives.
class ErrorBoxScope {
  public:
    ErrorBoxScope() { ++errorBoxDepth; }
    ~ErrorBoxScope() { --errorBoxDepth; }
    ErrorBoxScope(const ErrorBoxScope&) = delete;
    ErrorBoxScope& operator=(const ErrorBoxScope&) = delete;
};

// Read through the native side only: the form's own file runs event handlers through this one.
bool MainFormActive() {
    if (living == nullptr || living->mainForm == nullptr) return false;
    HWND window = living->mainForm->Native().window;
    return window != nullptr && GetActiveWindow() == window;
}

// A modal message took the activation from the main window; where the system does not hand it
// back by itself (no window manager, an unowned box), the application does, and that counts as
// the focus coming back from another window of this program.
void HandBackActivation(bool wasActive) {
    if (!wasActive || MainFormActive() || living == nullptr || living->mainForm == nullptr) return;
    Form::Impl& native = living->mainForm->Native();
    if (native.closed) return;
    HWND window = native.window;
    if (!IsWindowVisible(window) || !IsWindowEnabled(window)) return;
    native.returningFromMessage = true;
    SetForegroundWindow(window);
    if (GetActiveWindow() != window) SetActiveWindow(window);
    native.returningFromMessage = false;
}

}  // namespace

namespace win32 {

ApplicationState* LivingApplication() { return living; }

void SetLivingApplication(ApplicationState* state) { living = state; }

void ShowApplicationError(const std::string& text) {
    const bool wasActive = MainFormActive();
    const ErrorBoxScope scope;
    ShowErrorBox(living != nullptr ? living->title : std::string(), text);
    HandBackActivation(wasActive);
}

void ShowApplicationInformation(const std::string& caption, const std::string& text) {
    const bool wasActive = MainFormActive();
    ShowInformationMessage(caption, text);
    HandBackActivation(wasActive);
}

bool ErrorBoxOpen() { return errorBoxDepth > 0; }

void ReportFailure(const std::string& message) { ShowApplicationError(ErrorBoxText(message)); }

void RunEventHandler(const std::function<void()>& handler) {
    if (!handler) return;
    try {
        handler();
    } catch (const std::exception& failure) {
        ReportFailure(failure.what());
    } catch (...) {
        ReportFailure("Unknown failure");
    }
}

}  // namespace win32
