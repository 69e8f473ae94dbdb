#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/messaging.h"
#include "video/frame_ring.h"

class Bitmap;
class Canvas;
class TVideoSample;
class TFrameConversion;

// The seven camera controls; each maps one to one onto the platform's camera-control property
// number of the same value.
enum class TCameraProperty : std::uint8_t {
    Pan = 0,
    Tilt = 1,
    Roll = 2,
    Zoom = 3,
    Exposure = 4,
    Iris = 5,
    Focus = 6,
};

inline constexpr int kCameraPropertyCount = 7;

// "Pan" to "Focus"; the empty text for a number outside the enumeration.
std::string PropertyName(TCameraProperty prop);

// The message that announces a stored frame to the video image's hidden window.
inline constexpr unsigned FrameMessage = 1686;

// The camera facade: opens and closes a camera through its capture graph, reads and sets the
// camera controls, and carries the frame path that takes the stream's frames to the main
// thread, converts the newest one and paints it on the attached canvas. Everything runs on the
// main thread except OnSampleArrived, which the capture stream's thread calls.
class TVideoImage {
  public:
    // Create: no capture graph, no canvas, frame size 0 by 0; then the frame-path members.
    TVideoImage();
    // Destroy: closes a camera left open, then frees the slots, the hidden window and the JPEG
    // objects.
    virtual ~TVideoImage();
    TVideoImage(const TVideoImage&) = delete;
    TVideoImage& operator=(const TVideoImage&) = delete;

    static std::unique_ptr<TVideoImage> Create();
    // Detaches the canvas, releases the bitmap and the idle hook, then destroys the object.
    // Called with no camera open.
    static void Dispose(std::unique_ptr<TVideoImage> image);

    // Not owned; null detaches, which stops the painting but not the stream.
    void AttachCanvas(Canvas* canvas);
    // 0 opened, 1 failed. A camera already open is closed first.
    int OpenCamera(const std::string& name);
    // With or without an open camera; never fails.
    void CloseCamera();

    // Statuses: 0 success, 1 success with a false outcome (no camera, no camera control),
    // negative failure. Failures and status 1 leave the presets in the outputs.
    std::int32_t GetCameraProperty(TCameraProperty prop, std::int32_t& min, std::int32_t& max,
                                   std::int32_t& step, std::int32_t& defaultValue,
                                   std::int32_t& value, bool& manual);
    // 0 without an open camera (nothing is sent); otherwise the capture graph's status.
    std::int32_t SetCameraProperty(TCameraProperty prop, std::int32_t value, bool manual);
    // 0 with `id` written for Pan to Focus; 1 with `id` untouched for any other number.
    static std::int32_t PropertyToControlId(TCameraProperty prop, std::int32_t& id);

    // The frame path.
    static void OnSampleArrived(void* data, std::uint8_t* buffer, std::int32_t& size);
    void OnSampleArrived(const std::uint8_t* buffer, std::int32_t size);
    MessageResult HandleFrameMessage(unsigned message, MessageWParam wParam, MessageLParam lParam);
    void OnAppIdle(bool& done);
    void PaintFrame();
    void ConvertFrame(std::int32_t size, const std::uint8_t* buffer);

    // What the facade holds, for the window's tests and diagnostics.
    bool CameraOpen() const { return FCapture != nullptr; }
    std::int32_t FrameWidth() const { return FFrameWidth; }
    std::int32_t FrameHeight() const { return FFrameHeight; }
    std::uint32_t Compression() const { return FCompression; }
    bool Converted() const { return FConverted.load(std::memory_order_acquire); }
    bool Busy() const { return FBusy; }
    const TFrameRing& Slots() const { return FRing; }
    WindowHandle FrameWindow() const;
    Bitmap* FrameBitmap() const { return FBitmap.get(); }
    TVideoSample* Capture() const { return FCapture.get(); }
    TFrameConversion& Conversion() const { return *FConversion; }

  private:
    void HookUpFrames();
    void ReleaseOnDispose();

    std::unique_ptr<TVideoSample> FCapture;
    bool FBusy = false;
    std::int32_t FFrameWidth = 0;
    std::int32_t FFrameHeight = 0;
    std::uint32_t FCompression = 0;
    std::unique_ptr<Bitmap> FBitmap;
    Canvas* FCanvas = nullptr;
    TFrameRing FRing;  // FSlots, FSlotSizes, FCurrentSlot
    std::unique_ptr<MessageWindow> FWindow;
    std::unique_ptr<IdleHook> FIdleEvents;
    std::atomic<std::uint32_t> FLastIdle{0};
    std::unique_ptr<TFrameConversion> FConversion;  // the YUV tables, FJpeg and FJpegStream
    std::atomic<bool> FConverted{false};
};
