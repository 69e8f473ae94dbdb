// Host bitmap: the 24-bit bottom-up picture in memory, and a canvas that draws pictures and text
// on it. Text is rendered with FreeType in DejaVu Sans at 11 pixels (8 points on a 96-dpi
// screen), black on an opaque white background, as the Windows canvas draws it by default.

#include "platform/bitmap.h"
#include "platform/bitmap_geometry.h"
#include "platform/counted_lock.h"
#include "platform/host/testing/gui_controls.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <stdexcept>
#include <utility>

#ifndef CAMZOOM_HOST_FONT
#define CAMZOOM_HOST_FONT "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
#endif

namespace {

constexpr int kFontPixels = 11;
constexpr int kFallbackTextHeight = 13;
constexpr std::uint8_t kBackground = 255;  // white
constexpr std::uint8_t kTextColour = 0;    // the window-text colour, black

// The face is loaded once for the process; FreeType faces are not thread-safe, so every use
// holds the mutex.
class HostFont {
  public:
    static HostFont& Instance() {
        static HostFont font;
        return font;
    }

    std::mutex& Mutex() { return mutex_; }
    FT_Face Face() const { return face_; }
    int Ascent() const { return ascent_; }
    int Height() const { return face_ ? height_ : kFallbackTextHeight; }

  private:
    HostFont() {
        if (FT_Init_FreeType(&library_) != 0) {
            library_ = nullptr;
            return;
        }
        if (FT_New_Face(library_, CAMZOOM_HOST_FONT, 0, &face_) != 0) {
            face_ = nullptr;
            return;
        }
        if (FT_Set_Pixel_Sizes(face_, 0, kFontPixels) != 0) {
            FT_Done_Face(face_);
            face_ = nullptr;
            return;
        }
        const FT_Size_Metrics& metrics = face_->size->metrics;
        ascent_ = static_cast<int>((metrics.ascender + 63) >> 6);
        height_ = ascent_ + static_cast<int>((-metrics.descender + 63) >> 6);
    }
    ~HostFont() {
        if (face_) FT_Done_Face(face_);
        if (library_) FT_Done_FreeType(library_);
    }

    std::mutex mutex_;
    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
    int ascent_ = 0;
    int height_ = kFallbackTextHeight;
};

// Pixel memory starts on a page boundary and is zero-filled, as a DIB section's does. The
// alignment matters for speed: 32-byte vector stores that straddle cache lines make a full-frame
// decode or conversion measurably slower.
constexpr std::size_t kPixelAlignment = 4096;

struct AlignedFree {
    void operator()(std::uint8_t* pixels) const noexcept {
        ::operator delete[](pixels, std::align_val_t{kPixelAlignment});
    }
};
using PixelMemoryPtr = std::unique_ptr<std::uint8_t[], AlignedFree>;

PixelMemoryPtr AllocatePixels(std::size_t bytes) {
    auto* memory = static_cast<std::uint8_t*>(
        ::operator new[](bytes, std::align_val_t{kPixelAlignment}, std::nothrow));
    if (memory) std::memset(memory, 0, bytes);
    return PixelMemoryPtr(memory);
}

}  // namespace

struct Bitmap::Impl {
    int width = 0;
    int height = 0;
    int stride = 0;
    PixelMemoryPtr pixels;  // bottom row first; null when the bitmap is empty
};

struct Canvas::Impl {
    explicit Impl(Bitmap& bitmap) : owner(bitmap) {}
    Bitmap& owner;
    CountedLock lock;
};

// ---------------------------------------------------------------------------------------------
// Bitmap

Bitmap::Bitmap() : impl_(std::make_unique<Impl>()) {}
Bitmap::~Bitmap() = default;

bool Bitmap::SetSize(int width, int height) {
    if (width == impl_->width && height == impl_->height) return true;
    const std::optional<BitmapGeometry> geometry = BitmapGeometryOf(width, height);
    if (!geometry) return false;
    PixelMemoryPtr pixels;
    if (geometry->bytes != 0) {
        pixels = AllocatePixels(geometry->bytes);
        if (!pixels) return false;
    }
    impl_->pixels = std::move(pixels);
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
    if (!offset || !impl_->pixels) return nullptr;
    return impl_->pixels.get() + *offset;
}

const std::uint8_t* Bitmap::ScanLine(int row) const {
    return const_cast<Bitmap*>(this)->ScanLine(row);
}

std::uint8_t* Bitmap::PixelMemory() { return impl_->pixels.get(); }

const std::uint8_t* Bitmap::PixelMemory() const { return impl_->pixels.get(); }

void Bitmap::SwapPixels(Bitmap& other) noexcept { std::swap(impl_, other.impl_); }

Canvas& Bitmap::GetCanvas() {
    if (!canvas_) canvas_.reset(new Canvas(*this));
    return *canvas_;
}

// ---------------------------------------------------------------------------------------------
// Canvas

Canvas::Canvas(Bitmap& owner) : impl_(std::make_unique<Impl>(owner)) {}
Canvas::~Canvas() = default;

namespace {

std::mutex drawFailureMutex;
std::optional<std::string> drawFailure;

}  // namespace

void host::FailNextCanvasDraw(const std::string& message) {
    std::lock_guard lock(drawFailureMutex);
    drawFailure = message;
}

void Canvas::Draw(int x, int y, const Bitmap& source) {
    {
        std::lock_guard lock(drawFailureMutex);
        if (drawFailure) {
            std::string message = std::move(*drawFailure);
            drawFailure.reset();
            throw std::runtime_error(message);
        }
    }
    Bitmap& target = impl_->owner;
    // Clip the source rectangle against the target.
    const int left = std::max(0, -x);
    const int top = std::max(0, -y);
    const long long right =
        std::min<long long>(source.Width(), static_cast<long long>(target.Width()) - x);
    const long long bottom =
        std::min<long long>(source.Height(), static_cast<long long>(target.Height()) - y);
    if (right <= left || bottom <= top) return;
    const std::size_t bytes = static_cast<std::size_t>(right - left) * 3;
    for (int row = top; row < bottom; ++row) {
        // memmove: a bitmap may be drawn onto its own canvas.
        std::memmove(target.ScanLine(y + row) + static_cast<std::size_t>(x + left) * 3,
                     source.ScanLine(row) + static_cast<std::size_t>(left) * 3, bytes);
    }
}

void Canvas::TextOut(int x, int y, const std::string& text) {
    Bitmap& target = impl_->owner;
    HostFont& font = HostFont::Instance();
    std::lock_guard<std::mutex> guard(font.Mutex());
    FT_Face face = font.Face();
    const int height = font.Height();

    auto pixel = [&](long long px, long long py) -> std::uint8_t* {
        if (px < 0 || py < 0 || px >= target.Width() || py >= target.Height()) return nullptr;
        return target.ScanLine(static_cast<int>(py)) + px * 3;
    };

    // The background box spans the text's advance width and the font's full height.
    long long width = 0;
    if (face) {
        for (unsigned char c : text) {
            if (FT_Load_Char(face, c, FT_LOAD_DEFAULT) == 0) width += face->glyph->advance.x >> 6;
        }
    }
    for (long long py = y; py < static_cast<long long>(y) + height; ++py) {
        for (long long px = x; px < x + width; ++px) {
            if (std::uint8_t* p = pixel(px, py)) p[0] = p[1] = p[2] = kBackground;
        }
    }
    if (!face) return;

    long long pen = x;
    for (unsigned char c : text) {
        if (FT_Load_Char(face, c, FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot glyph = face->glyph;
        const FT_Bitmap& coverage = glyph->bitmap;
        const long long originX = pen + glyph->bitmap_left;
        const long long originY = static_cast<long long>(y) + font.Ascent() - glyph->bitmap_top;
        for (unsigned gy = 0; gy < coverage.rows; ++gy) {
            const unsigned char* source =
                coverage.buffer + static_cast<long long>(gy) * coverage.pitch;
            for (unsigned gx = 0; gx < coverage.width; ++gx) {
                const int alpha = source[gx];
                if (alpha == 0) continue;
                std::uint8_t* p = pixel(originX + gx, originY + gy);
                if (!p) continue;
                for (int channel = 0; channel < 3; ++channel) {
                    p[channel] = static_cast<std::uint8_t>(
                        (p[channel] * (255 - alpha) + kTextColour * alpha + 127) / 255);
                }
            }
        }
        pen += glyph->advance.x >> 6;
    }
}

int Canvas::TextHeight(const std::string&) {
    HostFont& font = HostFont::Instance();
    std::lock_guard<std::mutex> guard(font.Mutex());
    return font.Height();
}

void Canvas::Lock() { impl_->lock.Lock(); }
void Canvas::Unlock() { impl_->lock.Unlock(); }
int Canvas::LockCount() const { return impl_->lock.Count(); }
