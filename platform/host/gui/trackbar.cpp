// The host's slider: a position inside a range, moved by keys and drags as a focused trackbar
// moves.
#include <algorithm>

#include "platform/gui.h"
#include "platform/host/gui/internal.h"
#include "platform/host/testing/gui_controls.h"

TrackBar::TrackBar(Form& owner, const Bounds& bounds, int tabOrder)
    : impl_(std::make_unique<Impl>(Impl{owner, bounds, tabOrder})) {
    owner.Native().trackBars.push_back(this);
}

TrackBar::~TrackBar() { std::erase(impl_->owner.Native().trackBars, this); }

void TrackBar::SetRange(int min, int max) {
    impl_->min = min;
    impl_->max = std::max(min, max);
    impl_->position = std::clamp(impl_->position, impl_->min, impl_->max);
}

void TrackBar::SetSteps(int line, int page) {
    impl_->line = line;
    impl_->page = page;
}

void TrackBar::SetPosition(int position) {
    impl_->position = std::clamp(position, impl_->min, impl_->max);
}

int TrackBar::Position() const { return impl_->position; }

void TrackBar::SetEnabled(bool enabled) { impl_->enabled = enabled; }

bool TrackBar::Enabled() const { return impl_->enabled; }

Bounds TrackBar::GetBounds() const { return impl_->bounds; }

void host::MoveTrackBar(TrackBar& trackBar, long long position) {
    TrackBar::Impl& impl = trackBar.Native();
    if (!impl.enabled) return;  // a disabled slider takes no key or drag
    const int clamped = static_cast<int>(std::clamp<long long>(position, impl.min, impl.max));
    if (clamped == impl.position) return;
    impl.position = clamped;
    if (trackBar.OnChange) RunFormEvent(trackBar.OnChange);
}

void host::PressKey(TrackBar& trackBar, TrackBarKey key) {
    const TrackBar::Impl& impl = trackBar.Native();
    const long long position = impl.position;
    switch (key) {
        case TrackBarKey::Left:
        case TrackBarKey::Up:
            MoveTrackBar(trackBar, position - impl.line);
            break;
        case TrackBarKey::Right:
        case TrackBarKey::Down:
            MoveTrackBar(trackBar, position + impl.line);
            break;
        case TrackBarKey::PageUp:
            MoveTrackBar(trackBar, position - impl.page);
            break;
        case TrackBarKey::PageDown:
            MoveTrackBar(trackBar, position + impl.page);
            break;
        case TrackBarKey::Home:
            MoveTrackBar(trackBar, impl.min);
            break;
        case TrackBarKey::End:
            MoveTrackBar(trackBar, impl.max);
            break;
    }
}

void host::DragThumb(TrackBar& trackBar, int position) { MoveTrackBar(trackBar, position); }

host::TrackBarState host::StateOf(const TrackBar& trackBar) {
    const TrackBar::Impl& impl = trackBar.Native();
    return {impl.min, impl.max, impl.line, impl.page};
}

std::vector<TrackBar*> host::TrackBarsOf(const Form& form) { return form.Native().trackBars; }
