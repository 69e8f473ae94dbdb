// The camera facade of the video image: creation, opening and closing a camera, the camera
// controls and the release of the object.
#include "video/VFrames.h"

#include <array>
#include <exception>

#include "capture/VSample.h"
#include "capture/camera_control_flags.h"
#include "platform/gui.h"

namespace {

constexpr std::array<const char*, kCameraPropertyCount> kPropertyNames = {
    "Pan", "Tilt", "Roll", "Zoom", "Exposure", "Iris", "Focus"};

}  // namespace

std::string PropertyName(TCameraProperty prop) {
    auto index = static_cast<std::size_t>(prop);
    return index < kPropertyNames.size() ? kPropertyNames[index] : "";
}

TVideoImage::TVideoImage() = default;

TVideoImage::~TVideoImage() {
    // A camera left open would go on calling into the frame path from its stream's thread.
    CloseCamera();
}

std::unique_ptr<TVideoImage> TVideoImage::Create() { return std::make_unique<TVideoImage>(); }

void TVideoImage::Dispose(std::unique_ptr<TVideoImage> image) {
    if (!image) return;
    image->FThread.MainThreadOnly();
    image->FFrames.ReleaseOnDispose();
    image.reset();
}

void TVideoImage::AttachCanvas(Canvas* canvas) {
    FThread.MainThreadOnly();
    FFrames.AttachCanvas(canvas);
}

void TVideoImage::SetFramePainted(TFramePath::PaintedHandler handler) {
    FThread.MainThreadOnly();
    FFrames.SetPaintedHandler(std::move(handler));
}

int TVideoImage::OpenCamera(const std::string& name) {
    FThread.MainThreadOnly();
    FFrames.ClearConverted();
    if (FCapture) CloseCamera();

    Application* application = Application::Instance();
    WindowHandle notifyWindow = application ? application->MainWindowHandle() : nullptr;
    HRESULT buildStatus = 0;  // not examined: StartCapture fails when construction did
    FCapture = std::make_unique<TVideoSample>(notifyWindow, buildStatus);

    HRESULT status;
    try {
        status = FCapture->StartCapture(name);
    } catch (...) {
        status = -1;
    }
    if (status < 0) {
        CloseCamera();
        return 1;
    }

    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t compression = 0;
    if (FCapture->ReadCurrentFormat(width, height, compression) < 0) {
        CloseCamera();
        return 1;
    }
    FFrameWidth = width;
    FFrameHeight = height;
    FCompression = compression;
    FFrames.HookUp(*FCapture, TFrameFormat{FFrameWidth, FFrameHeight, FCompression});
    return 0;
}

void TVideoImage::CloseCamera() {
    FThread.MainThreadOnly();
    try {
        FCapture.reset();  // stops the graph; no frame arrives afterwards
    } catch (...) {
        // A failing teardown must not stop the caller; the graph is gone either way.
    }
    FCapture = nullptr;
}

std::int32_t TVideoImage::GetCameraProperty(TCameraProperty prop, std::int32_t& min,
                                            std::int32_t& max, std::int32_t& step,
                                            std::int32_t& defaultValue, std::int32_t& value,
                                            bool& manual) {
    FThread.MainThreadOnly();
    auto preset = [&] {
        min = -1;
        max = -1;
        step = 0;
        defaultValue = 0;
        value = 0;
        manual = true;
    };
    preset();
    if (!FCapture) return 1;
    std::int32_t id = 0;
    if (PropertyToControlId(prop, id) != 0) return 1;  // no such control: nothing to read

    std::int32_t flags =
        kCameraControlFlagsManual;  // a flags word that is not delivered counts as manual
    HRESULT status = FCapture->GetCameraSetting(id, min, max, step, defaultValue, flags, value);
    if (status < 0) {
        preset();
        return status;
    }
    manual = IsManualMode(flags);
    return status;
}

std::int32_t TVideoImage::SetCameraProperty(TCameraProperty prop, std::int32_t value, bool manual) {
    FThread.MainThreadOnly();
    std::int32_t id = 0;
    std::int32_t status = PropertyToControlId(prop, id);
    if (!FCapture) return status;
    if (status != 0) return status;  // no such control: nothing is sent
    return FCapture->SetCameraSetting(id, value, FlagsForMode(manual));
}

std::int32_t TVideoImage::GetPictureControl(const PictureControl& control,
                                            PictureControlState& state) {
    FThread.MainThreadOnly();
    if (!FCapture) return 1;
    return FCapture->GetPictureSetting(control, state);
}

std::int32_t TVideoImage::SetPictureControl(const PictureControl& control, std::int32_t value,
                                            std::int32_t flags) {
    FThread.MainThreadOnly();
    if (!FCapture) return 1;
    return FCapture->SetPictureSetting(control, value, flags);
}

std::int32_t TVideoImage::PropertyToControlId(TCameraProperty prop, std::int32_t& id) {
    auto number = static_cast<std::int32_t>(prop);
    if (number < 0 || number >= kCameraPropertyCount) return 1;
    id = number;
    return 0;
}
