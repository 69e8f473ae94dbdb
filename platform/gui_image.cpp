// Image: an invisible picture holder whose bitmap is made on the first request for its canvas.
// Nothing of it is platform-specific, so both builds compile this one file.
#include <memory>

#include "platform/bitmap.h"
#include "platform/gui.h"

struct Image::Impl {
    Bounds bounds;
    bool visible = false;
    std::unique_ptr<Bitmap> bitmap;
};

Image::Image(Form&, const Bounds& bounds, bool visible)
    : impl_(std::make_unique<Impl>(Impl{bounds, visible, nullptr})) {}

Image::~Image() = default;

Canvas& Image::GetCanvas() {
    if (!impl_->bitmap) {
        impl_->bitmap = std::make_unique<Bitmap>();
        impl_->bitmap->SetSize(impl_->bounds.width, impl_->bounds.height);
    }
    return impl_->bitmap->GetCanvas();
}

Bounds Image::GetBounds() const { return impl_->bounds; }

bool Image::Visible() const { return impl_->visible; }
