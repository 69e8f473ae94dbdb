// The living application as its forms and controls see it: the error box for a failure that
// escapes an event handler, and the main window that a form going away stops being.
#include <exception>

#include "platform/dialogs.h"
#include "platform/host/gui/internal.h"

namespace {

host::ApplicationState* living = nullptr;

void ShowFailure(const std::string& text) {
    if (living) ShowErrorBox(living->title, text);
}

}  // namespace

host::ApplicationState* host::LivingApplication() { return living; }

void host::SetLivingApplication(ApplicationState* state) { living = state; }

void host::ForgetForm(const Form& form) {
    if (living && living->mainForm == &form) living->mainForm = nullptr;
}

void host::RunFormEvent(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& failure) {
        ShowFailure(failure.what());
    } catch (...) {
        ShowFailure("Unknown failure");
    }
}
