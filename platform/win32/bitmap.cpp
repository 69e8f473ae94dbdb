// Windows bitmap: a 24-bit bottom-up DIB section selected into a memory DC of its own, and a
// canvas that draws on that DC with GDI (BitBlt for pictures, TextOutA in the default GUI font,
// window-text colour on an opaque white background).

#include "platform/win32/win32_api.h"
// windows.h maps TextOut to TextOutA/W; the canvas's member has the plain name.
#ifdef TextOut
#undef TextOut
#endif

#include "platform/bitmap.h"
#include "platform/bitmap_geometry.h"
#include "platform/counted_lock.h"
#include "platform/win32/device_context.h"

#include <memory>
#include <type_traits>
#include <utility>

namespace {

struct GdiObjectDeleter {
    void operator()(HBITMAP object) const { DeleteObject(object); }
};
using OwnedBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;

}  // namespace

struct Bitmap::Impl {
    Impl() {
        if (!dc.Get()) return;
        // The canvas's defaults: default GUI font, window-text colour, opaque white ground.
        dc.Select(GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(dc.Get(), OPAQUE);
        SetBkColor(dc.Get(), RGB(255, 255, 255));
        SetTextColor(dc.Get(), GetSysColor(COLOR_WINDOWTEXT));
    }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    // Selects `next` into the DC in place of the current DIB (or of the DC's own bitmap).
    void Select(OwnedBitmap next, std::uint8_t* nextBits) {
        if (next) {
            dc.Select(next.get());
        } else {
            dc.Restore(OBJ_BITMAP);
        }
        dib = std::move(next);
        bits = nextBits;
    }

    OwnedBitmap dib;  // declared before the DC: deleted after the DC has selected it out
    win32::DeviceContext dc = win32::DeviceContext::InMemory();
    std::uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
};

struct Canvas::Impl {
    explicit Impl(Bitmap& bitmap) : owner(bitmap) {}
    Bitmap& owner;
    CountedLock lock;
};

// ---------------------------------------------------------------------------------------------
// Bitmap

Bitmap::Bitmap() : impl_(std::make_unique<Impl>()) {}

Bitmap::~Bitmap() {
    canvas_.reset();
    impl_.reset();
}

bool Bitmap::SetSize(int width, int height) {
    if (width == impl_->width && height == impl_->height) return true;
    const std::optional<BitmapGeometry> geometry = BitmapGeometryOf(width, height);
    if (!geometry) return false;
    if (geometry->bytes == 0) {
        impl_->Select(nullptr, nullptr);
    } else {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = height;  // positive: bottom-up rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        OwnedBitmap dib(
            CreateDIBSection(impl_->dc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!dib || !bits) return false;
        impl_->Select(std::move(dib), static_cast<std::uint8_t*>(bits));
    }
    impl_->width = width;
    impl_->height = height;
    impl_->stride = geometry->stride;
    return true;
}

int Bitmap::Width() const { return impl_->width; }
int Bitmap::Height() const { return impl_->height; }
int Bitmap::RowStride() const { return impl_->stride; }

std::uint8_t* Bitmap::ScanLine(int row) {
    const std::optional<std::size_t> offset = BottomUpRowOffset(impl_->height, impl_->stride, row);
    if (!offset || !impl_->bits) return nullptr;
    return impl_->bits + *offset;
}

const std::uint8_t* Bitmap::ScanLine(int row) const {
    return const_cast<Bitmap*>(this)->ScanLine(row);
}

std::uint8_t* Bitmap::PixelMemory() { return impl_->bits; }
const std::uint8_t* Bitmap::PixelMemory() const { return impl_->bits; }

void Bitmap::SwapPixels(Bitmap& other) noexcept { std::swap(impl_, other.impl_); }

Canvas& Bitmap::GetCanvas() {
    if (!canvas_) canvas_.reset(new Canvas(*this));
    return *canvas_;
}

// ---------------------------------------------------------------------------------------------
// Canvas. GDI may batch drawing calls; each operation flushes, so that the pixel memory is
// current when it is read directly afterwards.

Canvas::Canvas(Bitmap& owner) : impl_(std::make_unique<Impl>(owner)) {}
Canvas::~Canvas() = default;

void Canvas::Draw(int x, int y, const Bitmap& source) {
    HDC target = impl_->owner.impl_->dc.Get();
    HDC from = source.impl_->dc.Get();
    if (!target || !from || !impl_->owner.impl_->bits || !source.impl_->bits) return;
    BitBlt(target, x, y, source.Width(), source.Height(), from, 0, 0, SRCCOPY);
    GdiFlush();
}

void Canvas::TextOut(int x, int y, const std::string& text) {
    HDC dc = impl_->owner.impl_->dc.Get();
    if (!dc) return;
    TextOutA(dc, x, y, text.data(), static_cast<int>(text.size()));
    GdiFlush();
}

int Canvas::TextHeight(const std::string& text) {
    HDC dc = impl_->owner.impl_->dc.Get();
    SIZE size{};
    if (!dc || !GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size)) {
        return 0;
    }
    return size.cy;
}

void Canvas::Lock() { impl_->lock.Lock(); }
void Canvas::Unlock() { impl_->lock.Unlock(); }
int Canvas::LockCount() const { return impl_->lock.Count(); }
