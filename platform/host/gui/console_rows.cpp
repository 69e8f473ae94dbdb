// The console's row commands: a dialog laid out in lines of a name, a slider and check boxes is
// read and driven by line, as a person scans it, without the dialog telling the console anything.
#include <cctype>
#include <exception>
#include <optional>
#include <sstream>

#include "platform/gui.h"
#include "platform/host/gui/internal.h"
#include "platform/host/testing/gui_controls.h"

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A line of the dialog: the label that names it and the controls that share its line.
struct Row {
    const Label* name = nullptr;
    TrackBar* slider = nullptr;
    std::vector<CheckBox*> checkBoxes;
};

bool OnLine(const Bounds& control, int line) {
    return control.top <= line && line < control.top + control.height;
}

// A row is a label with a slider to its right on the same line (the label's middle crosses the
// slider); a label right of a slider (its value) starts none.
std::vector<Row> RowsOf(const Form& form) {
    const Form::Impl& native = form.Native();
    std::vector<Row> rows;
    for (const Label* label : native.labels) {
        const Bounds text = label->GetBounds();
        const int line = text.top + text.height / 2;
        Row row{label, nullptr, {}};
        for (TrackBar* slider : native.trackBars) {
            const Bounds bounds = slider->GetBounds();
            if (OnLine(bounds, line) && bounds.left >= text.left + text.width) {
                row.slider = slider;
                break;
            }
        }
        if (!row.slider) continue;
        for (CheckBox* box : native.checkBoxes)
            if (OnLine(box->GetBounds(), line)) row.checkBoxes.push_back(box);
        rows.push_back(std::move(row));
    }
    return rows;
}

void ListRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        const host::TrackBarState range = host::StateOf(*row.slider);
        std::string text = "row " + row.name->Caption() + ": min " + std::to_string(range.min) +
                           ", max " + std::to_string(range.max) + ", value " +
                           std::to_string(row.slider->Position()) +
                           (row.slider->Enabled() ? "" : " (fixed)");
        for (const CheckBox* box : row.checkBoxes) {
            text += ", " + Lower(box->Caption()) + (box->Checked() ? " on" : " off") +
                    (box->Enabled() ? "" : " (fixed)");
        }
        host::ReportGui(text);
    }
}

// "NAME slide N" or "NAME CAPTION on|off" (all in lower case, as the console hands it over).
void RunOnRow(const std::vector<Row>& rows, const std::string& argument) {
    std::istringstream words(argument);
    std::string name, what, value, extra;
    words >> name >> what >> value;
    if (name.empty() || what.empty() || value.empty() || (words >> extra)) {
        host::ReportGui("row: NAME slide N, or NAME CHECKBOX on|off");
        return;
    }
    const Row* found = nullptr;
    for (const Row& row : rows)
        if (Lower(row.name->Caption()) == name) found = &row;
    if (!found) {
        host::ReportGui("row: no row " + name);
        return;
    }
    if (what == "slide") {
        if (!found->slider->Enabled()) {
            host::ReportGui("row " + name + ": the slider is fixed");
            return;
        }
        try {
            host::DragThumb(*found->slider, std::stoi(value));
        } catch (const std::exception&) {
            host::ReportGui("row: not a number: " + value);
        }
        return;
    }
    for (CheckBox* box : found->checkBoxes) {
        if (Lower(box->Caption()) != what) continue;
        if (value != "on" && value != "off") {
            host::ReportGui("row: " + what + " takes on or off");
            return;
        }
        if (!box->Enabled()) {
            host::ReportGui("row " + name + ": " + what + " is fixed");
            return;
        }
        if (box->Checked() != (value == "on")) host::ClickCheckBox(*box);
        return;
    }
    host::ReportGui("row " + name + ": no check box " + what);
}

}  // namespace

bool host::RunRowCommand(Form& form, const std::string& word, const std::string& argument) {
    if (word != "rows" && word != "row") return false;
    const std::vector<Row> rows = RowsOf(form);
    if (rows.empty()) return false;
    if (word == "rows") {
        ListRows(rows);
    } else {
        RunOnRow(rows, argument);
    }
    return true;
}

std::string host::RowCommandsHelp(const Form& form) {
    if (RowsOf(form).empty()) return {};
    return ", rows, row NAME slide N, row NAME CHECKBOX on|off";
}
