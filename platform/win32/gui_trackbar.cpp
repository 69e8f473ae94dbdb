// TrackBar: the common controls' horizontal trackbar. Its moves reach the owner as WM_HSCROLL;
// OnChange runs when the position differs from the one last seen.
#include <algorithm>

#include "platform/win32/gui_form_impl.h"

// The common controls' header needs <windows.h> before it.
#include <commctrl.h>

namespace {

void LoadTrackBarClass() {
    static const bool loaded = [] {
        INITCOMMONCONTROLSEX controls = {};
        controls.dwSize = sizeof(controls);
        controls.dwICC = ICC_BAR_CLASSES;
        return InitCommonControlsEx(&controls) != FALSE;
    }();
    (void)loaded;
}

}  // namespace

struct TrackBar::Impl {
    Form::Impl& owner;
    HWND window = nullptr;
    Bounds bounds;
    int position = 0;  // as last seen or set
};

TrackBar::TrackBar(Form& owner, const Bounds& bounds, int tabOrder)
    : impl_(new Impl{owner.Native(), nullptr, bounds, 0}) {
    Form::Impl& form = owner.Native();
    if (form.window == nullptr) return;
    LoadTrackBarClass();
    impl_->window = CreateWindowExA(
        0, TRACKBAR_CLASSA, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | TBS_HORZ | TBS_NOTICKS,
        bounds.left, bounds.top, bounds.width, bounds.height, form.window,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(form.nextControlId++)),
        GetModuleHandleA(nullptr), nullptr);
    if (impl_->window == nullptr) return;
    form.scrollHandlers[impl_->window] = [this] {
        const int now = Position();
        if (now == impl_->position) return;  // the end of a move, or a key at an end
        impl_->position = now;
        const std::function<void()> handler = OnChange;
        if (handler) handler();
    };
    form.AddTabStop(impl_->window, tabOrder);
}

TrackBar::~TrackBar() {
    Form::Impl& form = impl_->owner;
    form.scrollHandlers.erase(impl_->window);
    form.RemoveTabStop(impl_->window);
    if (impl_->window != nullptr && form.alive) DestroyWindow(impl_->window);
}

void TrackBar::SetRange(int min, int max) {
    if (impl_->window == nullptr) return;
    SendMessageA(impl_->window, TBM_SETRANGEMIN, FALSE, min);
    SendMessageA(impl_->window, TBM_SETRANGEMAX, TRUE, std::max(min, max));
    impl_->position = Position();
}

void TrackBar::SetSteps(int line, int page) {
    if (impl_->window == nullptr) return;
    SendMessageA(impl_->window, TBM_SETLINESIZE, 0, line);
    SendMessageA(impl_->window, TBM_SETPAGESIZE, 0, page);
}

void TrackBar::SetPosition(int position) {
    if (impl_->window == nullptr) return;
    SendMessageA(impl_->window, TBM_SETPOS, TRUE, position);
    impl_->position = Position();
}

int TrackBar::Position() const {
    if (impl_->window == nullptr) return impl_->position;
    return static_cast<int>(SendMessageA(impl_->window, TBM_GETPOS, 0, 0));
}

void TrackBar::SetEnabled(bool enabled) {
    if (impl_->window != nullptr) EnableWindow(impl_->window, enabled ? TRUE : FALSE);
}

bool TrackBar::Enabled() const {
    return impl_->window != nullptr && IsWindowEnabled(impl_->window) != FALSE;
}

Bounds TrackBar::GetBounds() const {
    if (impl_->window == nullptr || !impl_->owner.alive) return impl_->bounds;
    return impl_->owner.ChildBounds(impl_->window);
}
