#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/gui.h"

// What the host GUI's files share about a top-level window.
struct Form::Impl {
    Form* self = nullptr;
    std::string caption;
    Bounds outer;
    WindowHandle handle = nullptr;
    bool shown = false;
    bool closed = false;
    bool destroyed = false;
    std::vector<Label*> labels;
    std::vector<Button*> buttons;
};

namespace host {

// What the application object keeps that its forms and controls need. The application registers
// it while it lives (application.cpp); the forms and controls reach it here
// (application_state.cpp), so that they need nothing of the application's own file.
struct ApplicationState {
    Application* application = nullptr;
    std::string title;  // the error box's caption
    Form* mainForm = nullptr;
};
// The living application's state, or null while no application object exists.
ApplicationState* LivingApplication();
// `state` from now on; null when the application goes.
void SetLivingApplication(ApplicationState* state);

// Runs one of the form's event handlers; a failure escaping it goes to the error box, as the
// application's central handler does, and the program goes on.
void RunFormEvent(const std::function<void()>& handler);

// A form going away stops being the application's main window.
void ForgetForm(const Form& form);

// Label index (1-based, creation order) for the reports.
int LabelNumber(const Form& form, const Label& label);

}  // namespace host
