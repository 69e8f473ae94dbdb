// The host's picture area: a bitmap of the area's size into which each picture is scaled to fit
// (nearest pixel), centred on black, as the Windows area shows it.
#include <algorithm>
#include <cstring>

#include "platform/gui.h"
#include "platform/host/gui/internal.h"
#include "platform/host/testing/gui_controls.h"
#include "platform/picture_fit.h"

PictureBox::PictureBox(Form& owner, const Bounds& bounds)
    : impl_(std::make_unique<Impl>(owner, bounds)) {
    impl_->shown.SetSize(bounds.width, bounds.height);  // zero-filled: black
    owner.Native().pictureBoxes.push_back(this);
}

PictureBox::~PictureBox() { std::erase(impl_->owner.Native().pictureBoxes, this); }

void PictureBox::Show(const Bitmap& picture) {
    Bitmap& area = impl_->shown;
    const Bounds fitted =
        FitPicture(picture.Width(), picture.Height(), area.Width(), area.Height());
    ++impl_->draws;
    for (int row = 0; row < area.Height(); ++row)
        std::memset(area.ScanLine(row), 0, static_cast<std::size_t>(area.Width()) * 3);
    if (fitted.width == 0) return;
    // Each target pixel takes the source pixel under its centre.
    for (int y = 0; y < fitted.height; ++y) {
        const long long sourceRow =
            (static_cast<long long>(2 * y + 1) * picture.Height()) / (2LL * fitted.height);
        const std::uint8_t* source = picture.ScanLine(static_cast<int>(sourceRow));
        std::uint8_t* target =
            area.ScanLine(fitted.top + y) + static_cast<std::size_t>(fitted.left) * 3;
        for (int x = 0; x < fitted.width; ++x) {
            const long long sourceColumn =
                (static_cast<long long>(2 * x + 1) * picture.Width()) / (2LL * fitted.width);
            std::memcpy(target + static_cast<std::size_t>(x) * 3, source + sourceColumn * 3, 3);
        }
    }
}

Bounds PictureBox::GetBounds() const { return impl_->bounds; }

const Bitmap& host::ShownPicture(const PictureBox& pictureBox) { return pictureBox.Native().shown; }

int host::PicturesDrawn(const PictureBox& pictureBox) { return pictureBox.Native().draws; }

std::vector<PictureBox*> host::PictureBoxesOf(const Form& form) {
    return form.Native().pictureBoxes;
}
