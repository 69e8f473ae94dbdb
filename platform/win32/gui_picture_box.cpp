// PictureBox: a child window of its own class, black where no picture lies; each Show stretches
// the bitmap's pixels straight onto it with GDI's halftone stretch.
#include <type_traits>

#include "platform/bitmap.h"
#include "platform/picture_fit.h"
#include "platform/win32/gui_form_impl.h"

namespace {

constexpr char kPictureClass[] = "CamzoomPicture";

LRESULT CALLBACK PictureProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) return 1;  // painted whole in WM_PAINT
    if (message == WM_PAINT) {
        // The next frame draws the picture again; until then the area is black.
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterPictureClass() {
    static const bool registered = [] {
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = PictureProcedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        windowClass.lpszClassName = kPictureClass;
        return RegisterClassExA(&windowClass) != 0;
    }();
    (void)registered;
}

// A window's device context for as long as it lives.
class ClientDc {
  public:
    explicit ClientDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~ClientDc() {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
    }
    ClientDc(const ClientDc&) = delete;
    ClientDc& operator=(const ClientDc&) = delete;
    HDC Get() const { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};

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
    RegisterPictureClass();
    impl_->window = CreateWindowExA(0, kPictureClass, "", WS_CHILD | WS_VISIBLE, bounds.left,
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
    const ClientDc dc(impl_->window);
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
