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

// Runs one of the form's event handlers; a failure escaping it goes to the error box, as the
// application's central handler does, and the program goes on.
void RunFormEvent(const std::function<void()>& handler);

// A form going away stops being the application's main window.
void ForgetForm(const Form& form);

// Label index (1-based, creation order) for the reports.
int LabelNumber(const Form& form, const Label& label);

}  // namespace host
