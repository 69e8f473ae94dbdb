#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/bitmap.h"
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
    std::vector<CheckBox*> checkBoxes;
    std::vector<TrackBar*> trackBars;
    std::vector<PictureBox*> pictureBoxes;

    // A dialog's owner; null for the tool window.
    Form* ownerForm = nullptr;
    struct SystemCommand {
        std::string text;
        std::function<void()> handler;
    };
    // The items added to the system menu, in menu order (all of them above "Close").
    std::vector<SystemCommand> systemCommands;
};

struct TrackBar::Impl {
    Form& owner;
    Bounds bounds;
    int tabOrder = 0;
    int min = 0;
    int max = 100;  // a new slider's range, as on Windows
    int line = 1;
    int page = 20;
    int position = 0;
    bool enabled = true;
};

struct CheckBox::Impl {
    Form& owner;
    Bounds bounds;
    std::string caption;
    int tabOrder = 0;
    bool checked = false;
    bool enabled = true;
};

struct PictureBox::Impl {
    Impl(Form& form, const Bounds& area) : owner(form), bounds(area) {}
    Form& owner;
    Bounds bounds;
    Bitmap shown;  // the area's pixels: black, with the latest picture drawn in
    int draws = 0;
};

namespace host {

// What the application object keeps that its forms and controls need. The application registers
// it while it lives (application.cpp); the forms and controls reach it here
// (application_state.cpp), so that they need nothing of the application's own file.
struct ApplicationState {
    Application* application = nullptr;
    std::string title;  // the error box's caption
    Form* mainForm = nullptr;
    // The dialogs in ShowModal, the innermost last: the console's commands go to it.
    std::vector<Form*> modalForms;
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

// Reports a label's text as "labelN: text", N its number in creation order (from 1), with the
// dialog's caption and ": " before it for a label of a dialog.
void ReportLabel(const Form& form, const Label& label, const std::string& text);
// Handles messages until the dialog `form` closes, the idle notification going on.
void RunModalLoop(Form& form);
// Moves a slider as the user does; OnChange runs when the position changed.
void MoveTrackBar(TrackBar& trackBar, long long position);

// The console's row commands of a dialog whose lines each hold a label, a slider and check boxes
// (console_rows.cpp): "rows" lists them, "row NAME slide N" drags the slider of the row whose
// label reads NAME, "row NAME CAPTION on|off" sets its check box CAPTION as a click does. False
// when `word` is neither "rows" nor "row" or the form has no such rows.
bool RunRowCommand(Form& form, const std::string& word, const std::string& argument);
// The help text's part for the row commands; empty without rows.
std::string RowCommandsHelp(const Form& form);

}  // namespace host
