#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "app/zoom_choice.h"
#include "platform/gui.h"

class Bitmap;
class TVideoImage;

// The "Camera zoom" dialog of the zoom window: a slider over the camera's Zoom range that sets
// the camera live (paced), the value beside it, the live picture, Save and Cancel. Without a
// usable Zoom control it says why in one line and offers only Close. Main thread only.
class ZoomDialog {
  public:
    // Save: stores the chosen zoom (and shows its own error box on failure).
    using StoreZoom = std::function<void(std::int32_t zoom)>;

    // `video` is the open camera's video image, or null; `cameraZoom` the zoom it reported
    // with `start`.
    ZoomDialog(Form& owner, TVideoImage* video, const ZoomChoiceStart& start,
               std::int32_t cameraZoom, StoreZoom store);
    ~ZoomDialog();
    ZoomDialog(const ZoomDialog&) = delete;
    ZoomDialog& operator=(const ZoomDialog&) = delete;

    // Shows the dialog until it closes; true when Save closed it. Any other way out (Cancel,
    // Esc, the close button) sets the camera back to the zoom it had at the start.
    bool Run();

  private:
    // A camera is open and its Zoom control can be chosen.
    bool Usable() const;
    void BuildChoice();
    void BuildUnavailable();
    void SliderMoved();
    void SettingTimerRan();
    void SaveClicked();
    void SendZoom(std::optional<std::int32_t> zoom);

    TVideoImage* FVideo;
    ZoomChoiceStart FStart;
    std::int32_t FZoomAtStart;
    ZoomSettingPacer FPacer;
    StoreZoom FStore;
    bool FSaved = false;

    Form FWindow;
    // The choice; declared after the window, so they go first.
    std::unique_ptr<PictureBox> FLivePicture;
    std::unique_ptr<TrackBar> FZoomSlider;
    std::unique_ptr<Label> FZoomValueText;
    std::unique_ptr<Button> FSaveButton;
    std::unique_ptr<Button> FCancelButton;
    std::unique_ptr<Timer> FSettingTimer;
    // Without a usable zoom.
    std::unique_ptr<Label> FUnavailableText;
    std::unique_ptr<Button> FCloseButton;
};
