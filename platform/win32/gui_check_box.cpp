// CheckBox: an automatic check box with a tab stop; the system toggles it on a click or Space,
// and its BN_CLICKED reaches OnClick through the form's WM_COMMAND.
#include "platform/win32/gui_form_impl.h"

struct CheckBox::Impl {
    Form::Impl& owner;
    HWND window = nullptr;
    int id = 0;
    Bounds bounds;
    std::string caption;
};

CheckBox::CheckBox(Form& owner, const Bounds& bounds, const std::string& caption, int tabOrder)
    : impl_(new Impl{owner.Native(), nullptr, 0, bounds, caption}) {
    Form::Impl& form = owner.Native();
    if (form.window == nullptr) return;
    impl_->id = form.nextControlId++;
    impl_->window = CreateWindowExA(
        0, "BUTTON", caption.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX,
        bounds.left, bounds.top, bounds.width, bounds.height, form.window,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(impl_->id)), GetModuleHandleA(nullptr),
        nullptr);
    if (impl_->window == nullptr) return;
    SendMessageA(impl_->window, WM_SETFONT, reinterpret_cast<WPARAM>(form.Font()), FALSE);
    form.checkBoxClicks[impl_->id] = [this] {
        // Copied: the handler may replace itself.
        const std::function<void()> handler = OnClick;
        if (handler) handler();
    };
    form.AddTabStop(impl_->window, tabOrder);
}

CheckBox::~CheckBox() {
    Form::Impl& form = impl_->owner;
    form.checkBoxClicks.erase(impl_->id);
    form.RemoveTabStop(impl_->window);
    if (impl_->window != nullptr && form.alive) DestroyWindow(impl_->window);
}

void CheckBox::SetChecked(bool checked) {
    if (impl_->window == nullptr) return;
    SendMessageA(impl_->window, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool CheckBox::Checked() const {
    if (impl_->window == nullptr) return false;
    return SendMessageA(impl_->window, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CheckBox::SetEnabled(bool enabled) {
    if (impl_->window != nullptr) EnableWindow(impl_->window, enabled ? TRUE : FALSE);
}

bool CheckBox::Enabled() const {
    return impl_->window != nullptr && IsWindowEnabled(impl_->window) != FALSE;
}

std::string CheckBox::Caption() const { return impl_->caption; }

Bounds CheckBox::GetBounds() const {
    if (impl_->window == nullptr || !impl_->owner.alive) return impl_->bounds;
    return impl_->owner.ChildBounds(impl_->window);
}
