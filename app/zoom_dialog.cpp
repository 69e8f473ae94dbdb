// The zoom dialog: its layout, the slider feeding the pacing rule, the live picture, Save and
// the restore on every other way out.
#include "app/zoom_dialog.h"

#include <string>
#include <utility>

#include "platform/messaging.h"
#include "video/VFrames.h"

namespace {

constexpr const char* kCaption = "Camera zoom";

// The usable dialog: the live picture on top, the slider with its value below, then the buttons.
constexpr int kChoiceWidth = 340;
constexpr int kChoiceHeight = 331;
constexpr Bounds kPictureBounds{10, 10, 320, 240};
constexpr Bounds kSliderBounds{10, 258, 270, 30};
constexpr int kValueLeft = 288;
constexpr int kValueTop = 266;
constexpr Bounds kSaveBounds{174, 296, 75, 25};
constexpr Bounds kCancelBounds{255, 296, 75, 25};

// The one-line dialog.
constexpr int kUnavailableWidth = 300;
constexpr int kUnavailableHeight = 72;
constexpr Bounds kCloseBounds{112, 38, 75, 25};

}  // namespace

ZoomDialog::ZoomDialog(Form& owner, TVideoImage* video, const ZoomChoiceStart& start,
                       std::int32_t cameraZoom, StoreZoom store)
    : FVideo(video),
      FStart(start),
      FZoomAtStart(cameraZoom),
      FPacer(cameraZoom),
      FStore(std::move(store)),
      FWindow(owner, kCaption, Usable() ? kChoiceWidth : kUnavailableWidth,
              Usable() ? kChoiceHeight : kUnavailableHeight) {
    if (Usable()) {
        BuildChoice();
    } else {
        BuildUnavailable();
    }
}

ZoomDialog::~ZoomDialog() {
    if (FVideo) FVideo->SetFramePainted({});
}

bool ZoomDialog::Usable() const { return FVideo && FStart.status == ZoomChoiceStatus::Usable; }

void ZoomDialog::BuildChoice() {
    FLivePicture = std::make_unique<PictureBox>(FWindow, kPictureBounds);
    FZoomSlider = std::make_unique<TrackBar>(FWindow, kSliderBounds, 0);
    FZoomSlider->SetRange(FStart.range.min, FStart.range.max);
    FZoomSlider->SetSteps(FStart.range.step, FStart.range.PageSize());
    FZoomSlider->SetPosition(FStart.initial);
    FZoomSlider->OnChange = [this] { SliderMoved(); };
    FZoomValueText =
        std::make_unique<Label>(FWindow, kValueLeft, kValueTop, std::to_string(FStart.initial));
    FSaveButton = std::make_unique<Button>(FWindow, kSaveBounds, "Save", 1);
    FSaveButton->OnClick = [this] { SaveClicked(); };
    FCancelButton = std::make_unique<Button>(FWindow, kCancelBounds, "Cancel", 2);
    FCancelButton->OnClick = [this] { FWindow.Close(); };
    FSettingTimer = std::make_unique<Timer>(FWindow, ZoomSettingPacer::kDefaultIntervalMs);
    FSettingTimer->OnTimer = [this] { SettingTimerRan(); };
}

void ZoomDialog::BuildUnavailable() {
    // A usable reading without a video image to set it through: there is no camera.
    const ZoomChoiceStatus status =
        FStart.status == ZoomChoiceStatus::Usable ? ZoomChoiceStatus::NoCamera : FStart.status;
    FUnavailableText = std::make_unique<Label>(FWindow, 12, 12, ZoomUnavailableText(status));
    FCloseButton = std::make_unique<Button>(FWindow, kCloseBounds, "Close", 0);
    FCloseButton->OnClick = [this] { FWindow.Close(); };
}

bool ZoomDialog::Run() {
    FSaved = false;
    if (Usable()) {
        // One scaled draw of the frame bitmap per painted frame, while the dialog is open.
        FVideo->SetFramePainted([this](const Bitmap& frame) { FLivePicture->Show(frame); });
    }
    FWindow.ShowModal();
    if (!Usable()) return false;
    FVideo->SetFramePainted({});
    FSettingTimer->SetEnabled(false);
    if (!FSaved) SendZoom(ZoomToRestore(FZoomAtStart, FPacer));
    return FSaved;
}

void ZoomDialog::SliderMoved() {
    const int position = FZoomSlider->Position();
    const std::int32_t zoom = FStart.range.Snap(position);
    if (zoom != position) FZoomSlider->SetPosition(zoom);
    FZoomValueText->SetCaption(std::to_string(zoom));
    SendZoom(FPacer.Moved(zoom, TickCountMs()));
    FSettingTimer->SetEnabled(FPacer.Waiting());
}

void ZoomDialog::SettingTimerRan() {
    SendZoom(FPacer.Due(TickCountMs()));
    FSettingTimer->SetEnabled(FPacer.Waiting());
}

void ZoomDialog::SaveClicked() {
    // The last position goes to the camera before it is stored.
    SendZoom(FPacer.Flush(TickCountMs()));
    FSettingTimer->SetEnabled(false);
    if (FStore) FStore(FZoomSlider->Position());
    FSaved = true;
    FWindow.Close();
}

void ZoomDialog::SendZoom(std::optional<std::int32_t> zoom) {
    if (!zoom || !FVideo) return;
    FVideo->SetCameraProperty(TCameraProperty::Zoom, *zoom, true);
}
