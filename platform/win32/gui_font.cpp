// The one font of the toolkit's windows and controls.
#include <array>

#include "platform/win32/device_context.h"
#include "platform/win32/gui_internal.h"

namespace win32 {
namespace {

// Owns the created font for the life of the program.
class FontHolder {
  public:
    FontHolder() : font_(CreateBestFont()) {}
    ~FontHolder() {
        if (owned_) DeleteObject(font_);
    }
    FontHolder(const FontHolder&) = delete;
    FontHolder& operator=(const FontHolder&) = delete;

    HFONT Get() const { return font_; }

  private:
    // The classic dialog face first; its successors where it is missing. The font mapper always
    // hands out some face, so the face actually chosen is checked by name.
    HFONT CreateBestFont() {
        static constexpr std::array<const char*, 3> kFaces = {"MS Sans Serif",
                                                              "Microsoft Sans Serif", "Tahoma"};
        HFONT fallback = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        int pixelsPerInch = 96;
        {
            const DeviceContext screen = DeviceContext::OfWindow(nullptr);
            pixelsPerInch = GetDeviceCaps(screen.Get(), LOGPIXELSY);
        }
        const int height = -MulDiv(8, pixelsPerInch, 72);  // 8 points
        for (const char* face : kFaces) {
            HFONT font = CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                     DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face);
            if (font == nullptr) continue;
            char actual[LF_FACESIZE] = {};
            {
                DeviceContext screen = DeviceContext::OfWindow(nullptr);
                screen.Select(font);
                GetTextFaceA(screen.Get(), LF_FACESIZE, actual);
            }
            if (lstrcmpiA(actual, face) == 0) {
                owned_ = true;
                return font;
            }
            DeleteObject(font);
        }
        return fallback;
    }

    bool owned_ = false;
    HFONT font_;
};

}  // namespace

HFONT ToolkitFont() {
    static FontHolder holder;
    return holder.Get();
}

}  // namespace win32
