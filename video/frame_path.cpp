#include "video/frame_path.h"

#include <exception>

#include "capture/VSample.h"
#include "platform/bitmap.h"
#include "platform/error_box_text.h"
#include "platform/gui.h"
#include "platform/tick.h"
#include "video/frame_conversion.h"

namespace {

// The stall guard: frames are dropped while the main thread's last idle tick is more than this
// old (or, after a wrap of the 32-bit tick, as far in the future).
constexpr std::int64_t kStallLimitMs = 1000;

void ShowPaintFailure(const char* message) {
    if (Application* application = Application::Instance())
        application->ShowError(ErrorBoxText(message));
}

}  // namespace

TFramePath::TFramePath(TFrameRing::Allocator allocator)
    : FConversion(std::make_unique<TFrameConversion>()),
      FWindow(std::make_unique<MessageWindow>(
          [this](unsigned message, MessageWParam wParam, MessageLParam lParam) {
              return HandleFrameMessage(message, wParam, lParam);
          })),
      FRing(std::move(allocator)),
      FBitmap(std::make_unique<Bitmap>()),
      FIdleEvents(std::make_unique<IdleHook>()) {
    FIdleEvents->SetHandler([this](bool& done) { OnAppIdle(done); });
}

TFramePath::~TFramePath() = default;

void TFramePath::HookUp(TVideoSample& capture, const TFrameFormat& format) {
    FThread.MainThreadOnly();
    FFormat = format;
    if (FBitmap) FBitmap->SetSize(format.width, format.height);
    capture.SetFrameCallback(&TFramePath::OnSampleArrived, this);
}

void TFramePath::AttachCanvas(Canvas* canvas) {
    FThread.MainThreadOnly();
    FCanvas = canvas;
}

void TFramePath::SetPaintedHandler(PaintedHandler handler) {
    FThread.MainThreadOnly();
    FPainted = std::move(handler);
}

void TFramePath::ClearConverted() {
    FThread.MainThreadOnly();
    FRing.ClearConverted();
}

void TFramePath::ReleaseOnDispose() {
    FThread.MainThreadOnly();
    FCanvas = nullptr;
    FPainted = nullptr;
    FBitmap.reset();
    if (FIdleEvents) FIdleEvents->SetHandler({});
    FIdleEvents.reset();
}

WindowHandle TFramePath::Window() const { return FWindow ? FWindow->Handle() : nullptr; }

void TFramePath::OnSampleArrived(void* data, std::uint8_t* buffer, std::int32_t& size) {
    static_cast<TFramePath*>(data)->OnSampleArrived(buffer, size);
}

void TFramePath::OnSampleArrived(const std::uint8_t* buffer, std::int32_t size) {
    FThread.StreamingThreadOnly();
    std::uint32_t now = TickCountMs();
    // Exactly 1000 ms passes.
    std::int64_t age = TicksSince(now, FRing.LastIdle());
    if (age > kStallLimitMs || age < -kStallLimitMs) return;

    TFrameRing::Stored stored = FRing.Store(buffer, size);
    if (!stored.address) return;  // no memory for the slot: the frame is dropped
    FWindow->Post(FrameMessage, static_cast<MessageWParam>(size),
                  reinterpret_cast<MessageLParam>(stored.address));
    YieldTimeSlice();
}

MessageResult TFramePath::HandleFrameMessage(unsigned message, MessageWParam wParam,
                                             MessageLParam lParam) {
    FThread.MainThreadOnly();
    if (message != FrameMessage) return FWindow->DefaultProcedure(message, wParam, lParam);
    if (FBusy) return 0;  // a nested loop while painting: this frame is skipped
    FBusy = true;
    FRing.ClearConverted();
    try {
        PaintFrame();
    } catch (const std::exception& failure) {
        ShowPaintFailure(failure.what());
    } catch (...) {
        ShowPaintFailure("Unknown failure while painting a frame");
    }
    FBusy = false;
    return 0;
}

void TFramePath::OnAppIdle(bool& done) {
    FThread.MainThreadOnly();
    FRing.NoteIdle(TickCountMs());
    done = true;
}

void TFramePath::PaintFrame() {
    FThread.MainThreadOnly();
    if (!FCanvas || !FBitmap) return;
    if (!FRing.Converted()) {
        // The slot stays taken while it is converted: the stream stores around it.
        TFrameRing::Reading newest = FRing.TakeNewest();
        newest.Finish(ConvertFrame(newest.Size(), newest.Buffer()));
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
    if (FPainted) {
        // Copied: the handler may replace itself.
        const PaintedHandler painted = FPainted;
        painted(*FBitmap);
    }
}

bool TFramePath::ConvertFrame(std::int32_t size, const std::uint8_t* buffer) {
    FThread.MainThreadOnly();
    return FConversion->ConvertFrame(size, buffer, FFormat.width, FFormat.height,
                                     FFormat.compression, *FBitmap);
}
