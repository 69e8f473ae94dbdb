// Labels and buttons of the host GUI toolkit.
#include <algorithm>

#include "platform/gui.h"
#include "platform/host/gui/internal.h"
#include "platform/host/testing/gui_controls.h"

struct Label::Impl {
    Form& owner;
    Label& self;
    Bounds bounds;
    std::string text;
};

Label::Label(Form& owner, int left, int top, const std::string& text)
    : impl_(std::make_unique<Impl>(Impl{owner, *this, {left, top, 0, 0}, {}})) {
    owner.Native().labels.push_back(this);
    impl_->text = text;
    impl_->bounds.width = host::TextWidth(text);
    impl_->bounds.height = host::kTextHeight;
}

Label::~Label() { std::erase(impl_->owner.Native().labels, this); }

void Label::SetCaption(const std::string& text) {
    if (text == impl_->text) return;
    impl_->text = text;
    // Sizes itself to the text, as an auto-sizing label does.
    impl_->bounds.width = host::TextWidth(text);
    impl_->bounds.height = host::kTextHeight;
    host::ReportLabel(impl_->owner, *this, text);
}

std::string Label::Caption() const { return impl_->text; }

Bounds Label::GetBounds() const { return impl_->bounds; }

struct Button::Impl {
    Form& owner;
    Bounds bounds;
    std::string caption;
    int tabOrder = 0;
};

Button::Button(Form& owner, const Bounds& bounds, const std::string& caption, int tabOrder)
    : impl_(std::make_unique<Impl>(Impl{owner, bounds, caption, tabOrder})) {
    owner.Native().buttons.push_back(this);
}

Button::~Button() { std::erase(impl_->owner.Native().buttons, this); }

std::string Button::Caption() const { return impl_->caption; }

int Button::TabOrder() const { return impl_->tabOrder; }

Bounds Button::GetBounds() const { return impl_->bounds; }

void Button::Click() {
    if (OnClick) host::RunFormEvent(OnClick);
}
