// Button: a push button with a tab stop; clicks reach OnClick through the form's WM_COMMAND.
#include "platform/win32/gui_form_impl.h"

struct Button::Impl {
    Form::Impl& owner;
    HWND window = nullptr;
    int id = 0;
    int tabOrder = 0;
    Bounds bounds;
    std::string caption;
};

Button::Button(Form& owner, const Bounds& bounds, const std::string& caption, int tabOrder)
    : impl_(new Impl{owner.Native(), nullptr, 0, tabOrder, bounds, caption}) {
    Form::Impl& form = owner.Native();
    if (form.window == nullptr) return;
    impl_->id = form.nextControlId++;
    impl_->window =
        CreateWindowExA(0, "BUTTON", caption.c_str(),
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_NOTIFY, bounds.left,
                        bounds.top, bounds.width, bounds.height, form.window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(impl_->id)),
                        GetModuleHandleA(nullptr), nullptr);
    if (impl_->window == nullptr) return;
    SendMessageA(impl_->window, WM_SETFONT, reinterpret_cast<WPARAM>(form.Font()), FALSE);
    form.buttons[impl_->id] = {this, impl_->window, tabOrder};
    form.ArrangeTabOrder();
}

Button::~Button() {
    Form::Impl& form = impl_->owner;
    form.buttons.erase(impl_->id);
    if (impl_->window != nullptr && form.alive) DestroyWindow(impl_->window);
}

std::string Button::Caption() const { return impl_->caption; }

int Button::TabOrder() const { return impl_->tabOrder; }

Bounds Button::GetBounds() const {
    if (impl_->window == nullptr || !impl_->owner.alive) return impl_->bounds;
    return impl_->owner.ChildBounds(impl_->window);
}

void Button::Click() {
    // Copied: the handler may replace itself.
    const std::function<void()> handler = OnClick;
    if (handler) handler();
}
