#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/camera_settings_rows.h"
#include "platform/gui.h"

class Bitmap;
class TVideoImage;

// The "Camera settings" dialog of the zoom window: one row per picture control that the open
// camera offers (its name, a slider over its range, the value, "Auto" where the control has an
// automatic mode, "Keep"), the live picture, Defaults, Save and Cancel. Sliders and Auto set
// the camera live, each control paced on its own. Without a camera, or with a camera that
// offers none of the controls, it says so in one line and offers only Close. Main thread only.
class CameraSettingsDialog {
  public:
    // Save: stores the settings of the rows marked Keep ([camera], never the zoom) and the zoom
    // when its row is marked Keep, and shows its own error box on failure.
    using StoreSettings =
        std::function<void(const std::vector<KeptSetting>& kept, std::optional<std::int32_t> zoom)>;

    // `video` is the open camera's video image, or null. `kept` is what [camera] holds now and
    // `zoomStored` whether [options] has a zoom: those rows start marked Keep.
    CameraSettingsDialog(Form& owner, TVideoImage* video, const std::vector<KeptSetting>& kept,
                         bool zoomStored, StoreSettings store);
    ~CameraSettingsDialog();
    CameraSettingsDialog(const CameraSettingsDialog&) = delete;
    CameraSettingsDialog& operator=(const CameraSettingsDialog&) = delete;

    // Shows the dialog until it closes; true when Save closed it. Any other way out (Cancel,
    // Esc, the close button) sets every control that the dialog changed back to the value and
    // mode it had at the start.
    bool Run();

    // The client size the dialog takes for `rows` rows.
    static int ClientWidth();
    static int ClientHeight(std::size_t rows);

  private:
    struct Row;

    bool Usable() const { return FVideo && !FStarts.empty(); }
    void BuildRows();
    void BuildUnavailable();
    void SliderMoved(Row& row);
    void AutoClicked(Row& row);
    void DefaultsClicked();
    void SaveClicked();
    void TimerRan();
    // The row's choice goes to its pacer; the timer runs while any setting waits.
    void Choose(Row& row);
    void Send(const Row& row, const std::optional<ControlSetting>& setting);

    TVideoImage* FVideo;
    bool FCameraOpen;
    std::vector<SettingRowStart> FStarts;
    StoreSettings FStore;
    bool FSaved = false;

    Form FWindow;
    // The controls; declared after the window, so they go first.
    std::unique_ptr<PictureBox> FLivePicture;
    std::vector<std::unique_ptr<Row>> FRows;
    std::unique_ptr<Button> FDefaultsButton;
    std::unique_ptr<Button> FSaveButton;
    std::unique_ptr<Button> FCancelButton;
    std::unique_ptr<Timer> FSettingTimer;
    // Without rows.
    std::unique_ptr<Label> FUnavailableText;
    std::unique_ptr<Button> FCloseButton;
};
