#pragma once

#include <array>

#include "platform/win32/win32_api.h"

namespace win32 {

// Owns one device context and gives it back the way it was had: ReleaseDC for a window's,
// EndPaint for the one of a WM_PAINT, DeleteDC for a memory DC. Objects selected through it
// are selected out again (the DC's own ones put back) before it goes, so that whoever owns them
// can delete them. Never copied or moved: made where it is used (the factories' results are
// constructed in place).
class DeviceContext {
  public:
    // The client area's DC of `window`; the screen's for null.
    static DeviceContext OfWindow(HWND window) { return DeviceContext(Source::Window, window); }
    // The DC of a WM_PAINT, validating the update region; PaintArea() is what must be painted.
    static DeviceContext ForPaint(HWND window) { return DeviceContext(Source::Paint, window); }
    // A memory DC compatible with the screen.
    static DeviceContext InMemory() { return DeviceContext(Source::Memory, nullptr); }

    ~DeviceContext();
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    // Null when the system gave none; every other member then does nothing.
    HDC Get() const { return dc_; }
    const RECT& PaintArea() const { return paint_.rcPaint; }

    // Selects `object` (a font, a bitmap, a brush or a pen) in place of the one of its kind
    // selected now.
    void Select(HGDIOBJ object);
    // Puts back the DC's own object of that kind (OBJ_FONT, OBJ_BITMAP, OBJ_BRUSH, OBJ_PEN).
    void Restore(DWORD kind);

  private:
    enum class Source { Window, Paint, Memory };
    DeviceContext(Source source, HWND window);

    // The DC's own object of one kind while one of ours is selected in its place.
    struct Original {
        DWORD kind = 0;
        HGDIOBJ object = nullptr;
    };

    Source source_;
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_ = nullptr;
    std::array<Original, 4> originals_{};
};

}  // namespace win32
