#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/autoset_exit_code.h"
#include "platform/gui.h"
#include "platform/messaging.h"
#include "platform/thread_check.h"
#include "video/VFrames.h"

// One camera control as the window last read it.
struct TPropertyControl {
    std::int32_t Prop = 0;  // a TCameraProperty value
    std::string Name;       // PropertyName(Prop) once filled
    std::int32_t Min = 0;
    std::int32_t Max = 0;
    std::int32_t Step = 0;
    std::int32_t Value = 0;
    bool Manual = false;  // true unless the camera reported the control in automatic mode
};

// The tool's one window: the camera's status line, the stored zoom, "Save" and "Set".
// In autoset mode it sits out of sight, applies the stored zoom once and closes.
class TForm1 : public Form {
  public:
    explicit TForm1(bool autoset);
    ~TForm1() override;

    Label Label1;
    Image Image1;
    Button Button1;
    Button Button2;
    Label Label2;

    // Event handlers.
    void FormCreate();
    void FormActivate();
    void Button1Click();  // Save
    void Button2Click();  // Set
    void FormDestroy();

    void OpenVideo();
    // Refreshes both status lines and gives the zoom entry's value in `zoom`; the failure
    // message when config.ini could not be written.
    std::optional<std::string> ShowStatus(std::int32_t& zoom);
    void ApplyZoom(std::int32_t value);
    void CloseVideo();

    bool Autoset() const { return FAutoset; }
    const TVideoImage* Video() const { return FVideo.get(); }
    // What opening the camera, reading its zoom and setting it answered, for autoset's exit code.
    const AutosetOutcome& Outcome() const { return FOutcome; }

    std::string FCameraName;
    std::int32_t FModeWidth = 0;
    std::int32_t FModeHeight = 0;
    std::int32_t FCurrentZoom = 0;
    std::unique_ptr<TVideoImage> FVideo;
    std::array<TPropertyControl, kCameraPropertyCount> FControls{};

  private:
    // Set without the error box: the failure message, if any, for the caller to show.
    std::optional<std::string> RunSet();
    // The index of the zoom entry: the last entry named "Zoom"; none while the Zoom control
    // has never been read.
    std::optional<int> ZoomEntry() const;
    // "Zoom..." in the system menu: the zoom dialog; after Save the window's lines are read
    // again.
    void ChooseZoom();
    // "Camera settings..." in the system menu: the camera settings dialog; after Save the
    // window's lines are read again.
    void ChooseCameraSettings();
    // After a dialog's Save: the camera's controls and both lines read again.
    void ReadAgainAfterSave();
    // Ends a handler with the error box.
    void ShowFailure(const std::string& message);
    // Shows a modal message from FormActivate; the re-activation that its closing causes must
    // not run the sequence again.
    void ExpectReactivation();

    [[no_unique_address]] ThreadChecker FThread;
    bool FAutoset;
    AutosetOutcome FOutcome;
    // Set while a modal message shown by FormActivate is closing: the activation that returns
    // the focus from it is not a new one. Cleared when the loop next goes idle, so a later real
    // activation always runs the whole sequence.
    bool FReactivationExpected = false;
    IdleHook FIdle;
};
