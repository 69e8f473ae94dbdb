// PictureBox: a child window of its own class, black where no picture lies; each Show stretches
// the bitmap's pixels straight onto it with GDI's halftone stretch.
#include <type_traits>

#include "platform/bitmap.h"
#include "platform/picture_fit.h"
#include "platform/win32/device_context.h"
#include "platform/win32/gui_form_impl.h"
#include "platform/win32/window_class.h"

namespace {

constexpr char kPictureClass[] = "CamzoomPicture";

LRESULT CALLBACK PictureProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) return 1;  // painted whole in WM_PAINT
    if (message == WM_PAINT) {
        // The next frame draws the picture again; until then the area is black.
        const win32::DeviceContext dc = win32::DeviceContext::ForPaint(window);
        FillRect(dc.Get(), &dc.PaintArea(), static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Registered on first use, for all picture boxes of the program.
const char* PictureClass() {
    static const win32::WindowClass pictureClass(kPictureClass, PictureProcedure, {true, nullptr});
    return pictureClass.Name();
}

}  // namespace

struct PictureBox::Impl {
    Form::Impl& owner;
    HWND window = nullptr;
    Bounds bounds;
};

PictureBox::PictureBox(Form& owner, const Bounds& bounds)
    : impl_(new Impl{owner.Native(), nullptr, bounds}) {
    Form::Impl& form = owner.Native();
    if (form.window == nullptr) return;
    impl_->window = CreateWindowExA(0, PictureClass(), "", WS_CHILD | WS_VISIBLE, bounds.left,
                                    bounds.top, bounds.width, bounds.height, form.window, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
}

PictureBox::~PictureBox() {
    if (impl_->window != nullptr && impl_->owner.alive) DestroyWindow(impl_->window);
}

void PictureBox::Show(const Bitmap& picture) {
    if (impl_->window == nullptr || picture.PixelMemory() == nullptr) return;
    const Bounds fitted =
        FitPicture(picture.Width(), picture.Height(), impl_->bounds.width, impl_->bounds.height);
    if (fitted.width == 0) return;
    const win32::DeviceContext dc = win32::DeviceContext::OfWindow(impl_->window);
    if (dc.Get() == nullptr) return;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = picture.Width();
    info.bmiHeader.biHeight = picture.Height();  // bottom-up, as the bitmap stores its rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    // Halftone averages the pixels that one target pixel covers; it needs the brush origin set.
    SetStretchBltMode(dc.Get(), HALFTONE);
    SetBrushOrgEx(dc.Get(), 0, 0, nullptr);
    StretchDIBits(dc.Get(), fitted.left, fitted.top, fitted.width, fitted.height, 0, 0,
                  picture.Width(), picture.Height(), picture.PixelMemory(), &info, DIB_RGB_COLORS,
                  SRCCOPY);
}

Bounds PictureBox::GetBounds() const {
    if (impl_->window == nullptr || !impl_->owner.alive) return impl_->bounds;
    return impl_->owner.ChildBounds(impl_->window);
}
