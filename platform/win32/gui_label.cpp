// Label: a static text control that sizes itself to its text in the form's font.
#include "platform/win32/device_context.h"
#include "platform/win32/gui_form_impl.h"

struct Label::Impl {
    Form::Impl& owner;
    HWND window = nullptr;
    int left;
    int top;
    std::string caption;

    // The text's extent in the form's font; an empty text measures as one blank, so the
    // label keeps its line height.
    SIZE Measure() const {
        const std::string text = caption.empty() ? std::string(" ") : caption;
        RECT rect = {0, 0, 0, 0};
        win32::DeviceContext dc = win32::DeviceContext::OfWindow(owner.window);
        dc.Select(owner.Font());
        DrawTextA(dc.Get(), text.c_str(), static_cast<int>(text.size()), &rect,
                  DT_CALCRECT | DT_EXPANDTABS | DT_NOPREFIX | DT_LEFT);
        return {rect.right - rect.left, rect.bottom - rect.top};
    }

    void Apply() {
        if (window == nullptr) return;
        SetWindowTextA(window, caption.c_str());
        const SIZE size = Measure();
        SetWindowPos(window, nullptr, left, top, size.cx, size.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
        InvalidateRect(window, nullptr, TRUE);
    }
};

Label::Label(Form& owner, int left, int top, const std::string& text)
    : impl_(new Impl{owner.Native(), nullptr, left, top, text}) {
    Form::Impl& form = owner.Native();
    if (form.window == nullptr) return;
    impl_->window =
        CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX,
                        left, top, 0, 0, form.window, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (impl_->window == nullptr) return;
    SendMessageA(impl_->window, WM_SETFONT, reinterpret_cast<WPARAM>(form.Font()), FALSE);
    impl_->Apply();
}

Label::~Label() {
    if (impl_->window != nullptr && impl_->owner.alive) DestroyWindow(impl_->window);
}

void Label::SetCaption(const std::string& text) {
    impl_->caption = text;
    impl_->Apply();
}

std::string Label::Caption() const { return impl_->caption; }

Bounds Label::GetBounds() const {
    if (impl_->window == nullptr || !impl_->owner.alive) {
        const SIZE size = impl_->Measure();
        return {impl_->left, impl_->top, size.cx, size.cy};
    }
    return impl_->owner.ChildBounds(impl_->window);
}
