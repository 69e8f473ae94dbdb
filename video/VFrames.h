#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "capture/picture_control_access.h"
#include "platform/thread_check.h"
#include "video/frame_path.h"

class Canvas;
class TVideoSample;

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

// The camera facade: opens and closes a camera through its capture graph, reads and sets the
// camera controls, and carries the frame path (TFramePath) that takes the stream's frames to
// the main thread, converts the newest one and paints it on the attached canvas. Main thread
// only (the thread that creates it).
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
    // Runs after each painted frame with the frame bitmap (TFramePath::SetPaintedHandler).
    void SetFramePainted(TFramePath::PaintedHandler handler);
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
    // Every picture control of the open camera, the seven camera controls among them: 1 without
    // an open camera or without the control's interface (nothing is then written), otherwise the
    // platform's status.
    std::int32_t GetPictureControl(const PictureControl& control, PictureControlState& state);
    std::int32_t SetPictureControl(const PictureControl& control, std::int32_t value,
                                   std::int32_t flags);
    // 0 with `id` written for Pan to Focus; 1 with `id` untouched for any other number.
    static std::int32_t PropertyToControlId(TCameraProperty prop, std::int32_t& id);

  private:
    [[no_unique_address]] ThreadChecker FThread;
    // The ring, hidden window, idle hook, busy flag, bitmap and canvas. Declared before the
    // capture graph, whose stream calls into it, so that it outlives the graph.
    TFramePath FFrames;
    std::unique_ptr<TVideoSample> FCapture;
    std::int32_t FFrameWidth = 0;
    std::int32_t FFrameHeight = 0;
    std::uint32_t FCompression = 0;
};
