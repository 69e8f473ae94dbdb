// The frame path of the video image: frames copied into the ring on the capture stream's
// thread, announced to the hidden window, converted and painted on the main thread.
#include <exception>

#include "capture/VSample.h"
#include "platform/bitmap.h"
#include "platform/error_box_text.h"
#include "platform/gui.h"
#include "video/VFrames.h"
#include "video/frame_conversion.h"

namespace {

// The stall guard: frames are dropped while the main thread's last idle tick is more than this
// old (or, after a wrap of the 32-bit tick, as far in the future).
constexpr std::int64_t kStallLimitMs = 1000;

}  // namespace

WindowHandle TVideoImage::FrameWindow() const { return FWindow ? FWindow->Handle() : nullptr; }

void TVideoImage::HookUpFrames() {
    // A size the bitmap cannot take leaves it as it was; such frames then get the notice.
    FBitmap->SetSize(FFrameWidth, FFrameHeight);
    FCapture->SetFrameCallback(&TVideoImage::OnSampleArrived, this);
}

void TVideoImage::OnSampleArrived(void* data, std::uint8_t* buffer, std::int32_t& size) {
    static_cast<TVideoImage*>(data)->OnSampleArrived(buffer, size);
}

void TVideoImage::OnSampleArrived(const std::uint8_t* buffer, std::int32_t size) {
    std::uint32_t now = TickCountMs();
    // Modular difference read as signed 32 bits; exactly 1000 ms passes.
    auto difference = static_cast<std::int32_t>(now - FLastIdle.load(std::memory_order_acquire));
    std::int64_t age = difference;
    if (age > kStallLimitMs || age < -kStallLimitMs) return;

    std::uint8_t* slot = FRing.Store(buffer, size, [this](std::uint8_t*) {
        FConverted.store(false, std::memory_order_release);
    });
    if (!slot) return;  // no memory for the slot: the frame is dropped
    FWindow->Post(FrameMessage, static_cast<MessageWParam>(size),
                  reinterpret_cast<MessageLParam>(slot));
    YieldTimeSlice();
}

MessageResult TVideoImage::HandleFrameMessage(unsigned message, MessageWParam wParam,
                                              MessageLParam lParam) {
    if (message != FrameMessage) return FWindow->DefaultProcedure(message, wParam, lParam);
    if (FBusy) return 0;  // a nested loop while painting: this frame is skipped
    FBusy = true;
    FConverted.store(false, std::memory_order_release);
    try {
        PaintFrame();
    } catch (const std::exception& failure) {
        if (Application* application = Application::Instance())
            application->ShowError(ErrorBoxText(failure.what()));
    } catch (...) {
        if (Application* application = Application::Instance())
            application->ShowError(ErrorBoxText("Unknown failure while painting a frame"));
    }
    FBusy = false;
    return 0;
}

void TVideoImage::OnAppIdle(bool& done) {
    FLastIdle.store(TickCountMs(), std::memory_order_release);
    done = true;
}

void TVideoImage::PaintFrame() {
    if (!FCanvas || !FBitmap) return;
    if (!FConverted.load(std::memory_order_acquire)) {
        // Under the ring's lock: the stream cannot rewrite the slot while it is converted.
        FRing.ReadNewest(
            [this](std::int32_t size, const std::uint8_t* buffer) { ConvertFrame(size, buffer); });
    }
    if (FCanvas->LockCount() >= 1) return;  // another party holds the canvas
    FCanvas->Lock();
    try {
        FCanvas->Draw(0, 0, *FBitmap);
    } catch (...) {
        FCanvas->Unlock();
        throw;
    }
    FCanvas->Unlock();
}

void TVideoImage::ConvertFrame(std::int32_t size, const std::uint8_t* buffer) {
    if (FConversion->ConvertFrame(size, buffer, FFrameWidth, FFrameHeight, FCompression, *FBitmap))
        FConverted.store(true, std::memory_order_release);
}
