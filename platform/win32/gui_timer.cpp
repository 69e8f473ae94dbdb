// Timer: a window timer of the owner; its WM_TIMER runs OnTimer. The system keeps at most one
// WM_TIMER waiting, so ticks the thread could not take are not made up.
#include "platform/win32/gui_form_impl.h"

struct Timer::Impl {
    Form::Impl& owner;
    UINT_PTR id = 0;
    unsigned intervalMs = 0;
    bool enabled = false;
};

Timer::Timer(Form& owner, unsigned intervalMs)
    : impl_(new Impl{owner.Native(), owner.Native().nextTimerId++, intervalMs, false}) {
    impl_->owner.timerHandlers[impl_->id] = [this] {
        const std::function<void()> handler = OnTimer;
        if (impl_->enabled && handler) handler();
    };
}

Timer::~Timer() {
    SetEnabled(false);
    impl_->owner.timerHandlers.erase(impl_->id);
}

void Timer::SetEnabled(bool enabled) {
    if (enabled == impl_->enabled) return;
    impl_->enabled = enabled;
    HWND window = impl_->owner.window;
    if (window == nullptr) return;
    if (enabled) {
        SetTimer(window, impl_->id, impl_->intervalMs, nullptr);
    } else {
        KillTimer(window, impl_->id);
    }
}

bool Timer::Enabled() const { return impl_->enabled; }
