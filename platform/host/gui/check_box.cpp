// The host's check box: a checked state that a click toggles.
#include <algorithm>

#include "platform/gui.h"
#include "platform/host/gui/internal.h"
#include "platform/host/testing/gui_controls.h"

CheckBox::CheckBox(Form& owner, const Bounds& bounds, const std::string& caption, int tabOrder)
    : impl_(std::make_unique<Impl>(Impl{owner, bounds, caption, tabOrder})) {
    owner.Native().checkBoxes.push_back(this);
}

CheckBox::~CheckBox() { std::erase(impl_->owner.Native().checkBoxes, this); }

void CheckBox::SetChecked(bool checked) { impl_->checked = checked; }

bool CheckBox::Checked() const { return impl_->checked; }

void CheckBox::SetEnabled(bool enabled) { impl_->enabled = enabled; }

bool CheckBox::Enabled() const { return impl_->enabled; }

std::string CheckBox::Caption() const { return impl_->caption; }

Bounds CheckBox::GetBounds() const { return impl_->bounds; }

void host::ClickCheckBox(CheckBox& checkBox) {
    if (!checkBox.Native().enabled) return;  // a disabled box takes no click
    checkBox.Native().checked = !checkBox.Native().checked;
    if (checkBox.OnClick) RunFormEvent(checkBox.OnClick);
}

std::vector<CheckBox*> host::CheckBoxesOf(const Form& form) { return form.Native().checkBoxes; }
