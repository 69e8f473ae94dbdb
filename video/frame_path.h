#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/messaging.h"
#include "platform/thread_check.h"
#include "video/frame_ring.h"

class Bitmap;
class Canvas;
class TFrameConversion;
class TVideoSample;

// The message that announces a stored frame to the frame path's hidden window.
inline constexpr unsigned FrameMessage = 1686;

// The camera's current output format, as the frame path converts it.
struct TFrameFormat {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t compression = 0;
};

// The frame path of a video image: takes each frame of the capture stream from the streaming
// thread into the ring, announces it to a hidden window of the main thread, converts the newest
// frame into the frame bitmap and draws that on the attached canvas. Everything runs on the main
// thread (the thread that creates it) except OnSampleArrived, the stream's frame callback.
class TFramePath {
  public:
    // `allocator` gives the slot buffers (the heap by default).
    explicit TFramePath(TFrameRing::Allocator allocator = {});
    ~TFramePath();
    TFramePath(const TFramePath&) = delete;
    TFramePath& operator=(const TFramePath&) = delete;

    // Frame hookup: sizes the bitmap to `format`, then installs OnSampleArrived as the
    // capture graph's frame callback. A size the bitmap cannot take leaves it as it was.
    void HookUp(TVideoSample& capture, const TFrameFormat& format);
    // Not owned; null detaches, which stops the painting but not the stream.
    void AttachCanvas(Canvas* canvas);
    // Runs after each frame has been drawn on the canvas, with the frame bitmap; empty clears it.
    // Lets a second view show the same picture without converting it again.
    using PaintedHandler = std::function<void(const Bitmap& frame)>;
    void SetPaintedHandler(PaintedHandler handler);
    // The bitmap no longer holds the newest frame (a new camera is being opened).
    void ClearConverted();
    // Dispose: detaches the canvas, releases the bitmap and the idle hook.
    void ReleaseOnDispose();

    // Streaming thread.
    static void OnSampleArrived(void* data, std::uint8_t* buffer, std::int32_t& size);
    void OnSampleArrived(const std::uint8_t* buffer, std::int32_t size);

    // Main thread.
    MessageResult HandleFrameMessage(unsigned message, MessageWParam wParam, MessageLParam lParam);
    void OnAppIdle(bool& done);
    void PaintFrame();
    // True when the buffer has been dealt with (converted, or the notice written).
    bool ConvertFrame(std::int32_t size, const std::uint8_t* buffer);

    // The frame path's state as the main thread sees it.
    bool Converted() const { return FRing.Converted(); }
    WindowHandle Window() const;
    // Frames stored out of the cyclic order because the next slot was being converted.
    std::uint64_t RedirectedFrames() const { return FRing.Redirected(); }

  private:
    // Members in the order of their release: the destructor frees the idle hook, then the
    // bitmap, the slots, the hidden window (queued frame messages are never handled) and last
    // the conversion with its JPEG objects.
    [[no_unique_address]] ThreadChecker FThread;
    std::unique_ptr<TFrameConversion> FConversion;
    std::unique_ptr<MessageWindow> FWindow;
    TFrameRing FRing;
    std::unique_ptr<Bitmap> FBitmap;
    std::unique_ptr<IdleHook> FIdleEvents;
    Canvas* FCanvas = nullptr;
    PaintedHandler FPainted;
    TFrameFormat FFormat;
    bool FBusy = false;
};
