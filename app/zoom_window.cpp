// The zoom window: layout, handlers, the status lines, Set and Save.
#include "app/zoom_window.h"

#include "app/camera_section.h"
#include "app/camera_settings_dialog.h"
#include "app/error_text.h"
#include "app/options_file.h"
#include "app/settings_text.h"
#include "app/station_settings.h"
#include "app/zoom_choice.h"
#include "app/zoom_dialog.h"

namespace {

constexpr const char* kInformationCaption = "Informacje";
constexpr const char* kMissingSettingsText = "Brak pliku config.dat. Uruchom i ustaw  Ustawiator";
constexpr const char* kZoomKey = "zoom";
// The mnemonics clash with none of the system's own items (Restore, Move, Size, Minimize,
// Maximize, Close): Alt+Space, then Z or E.
constexpr const char* kZoomMenuItem = "&Zoom...";
constexpr const char* kCameraSettingsMenuItem = "Camera s&ettings...";

}  // namespace

TForm1::TForm1(bool autoset)
    : Form("Camera set zoom", 420, 153, 413, 84),
      Label1(*this, 16, 8, "Camera"),
      Image1(*this, {416, 0, 81, 65}, false),
      Button1(*this, {116, 49, 75, 25}, "Save", 0),
      Button2(*this, {196, 49, 75, 25}, "Set", 1),
      Label2(*this, 18, 26, "Label2"),
      FAutoset(autoset) {
    OnCreate = [this] { FormCreate(); };
    OnActivate = [this] { FormActivate(); };
    OnDestroy = [this] { FormDestroy(); };
    Button1.OnClick = [this] { Button1Click(); };
    Button2.OnClick = [this] { Button2Click(); };
    AddSystemMenuCommand(kZoomMenuItem, [this] { ChooseZoom(); });
    AddSystemMenuCommand(kCameraSettingsMenuItem, [this] { ChooseCameraSettings(); });
    FIdle.SetHandler([this](bool& done) {
        FReactivationExpected = false;
        done = true;
    });
}

TForm1::~TForm1() {
    FThread.MainThreadOnly();
    FIdle.SetHandler({});
    CloseVideo();  // when the window goes without having been destroyed by the application
}

void TForm1::FormCreate() {
    FThread.MainThreadOnly();
    FVideo.reset();
    if (FAutoset) SetBounds({-20, -20, 10, 10});  // out of sight
}

void TForm1::FormActivate() {
    FThread.MainThreadOnly();
    if (FReactivationExpected) {
        // The focus came back from our own modal message: not a new activation.
        FReactivationExpected = false;
        return;
    }
    const std::string path = StationSettingsPath();
    StationSettingsReading reading = ReadStationSettings(path);
    if (reading.status == StationSettingsStatus::Missing) {
        ExpectReactivation();
        if (Application* application = Application::Instance())
            application->ShowInformation(kInformationCaption, kMissingSettingsText);
        return;
    }
    if (reading.status == StationSettingsStatus::Failed) {
        ExpectReactivation();
        ShowFailure(reading.failureMessage);
        return;
    }

    FCameraName = reading.settings.FCameraName;
    FModeWidth = reading.settings.FModeWidth;
    FModeHeight = reading.settings.FModeHeight;
    OpenVideo();
    std::int32_t zoom = 0;
    std::optional<std::string> failure = ShowStatus(zoom);
    reading.file.reset();  // config.dat is closed before anything is shown
    if (failure) {
        ExpectReactivation();
        ShowFailure(*failure);
        return;
    }
    FCurrentZoom = zoom;

    if (FAutoset) {
        if (std::optional<std::string> setFailure = RunSet()) {
            ExpectReactivation();
            ShowFailure(*setFailure);
            return;  // a failed Set leaves the tool running
        }
        Close();
    }
}

void TForm1::Button1Click() {
    FThread.MainThreadOnly();
    if (std::optional<std::string> failure = WriteOption(kZoomKey, std::to_string(FCurrentZoom)))
        ShowFailure(*failure);
}

void TForm1::Button2Click() {
    FThread.MainThreadOnly();
    if (std::optional<std::string> failure = RunSet()) ShowFailure(*failure);
}

std::optional<std::string> TForm1::RunSet() {
    // Without a camera facade there is neither a camera to set nor a control table to refresh.
    if (!FVideo) return std::nullopt;
    OptionReading stored = ReadOption(kZoomKey, "0", true);
    if (stored.failure) return stored.failure;
    if (IntOrDefault(stored.value, 0) == FCurrentZoom) return std::nullopt;
    stored = ReadOption(kZoomKey, "0", true);
    if (stored.failure) return stored.failure;
    ApplyZoom(IntOrDefault(stored.value, 0));
    OpenVideo();
    std::int32_t zoom = 0;
    if (std::optional<std::string> failure = ShowStatus(zoom)) return failure;
    FCurrentZoom = zoom;
    return std::nullopt;
}

void TForm1::FormDestroy() {
    FThread.MainThreadOnly();
    CloseVideo();
}

void TForm1::OpenVideo() {
    FThread.MainThreadOnly();
    if (!FVideo) {
        FVideo = TVideoImage::Create();
        FVideo->AttachCanvas(&Image1.GetCanvas());
        // A camera that cannot be opened reads as presets; only autoset's exit code tells.
        FOutcome.cameraOpened = FVideo->OpenCamera(FCameraName) == 0;
    }
    for (int p = 0; p < kCameraPropertyCount; ++p) {
        auto prop = static_cast<TCameraProperty>(p);
        std::int32_t min = 0, max = 0, step = 0, defaultValue = 0, value = 0;
        bool manual = true;
        std::int32_t status =
            FVideo->GetCameraProperty(prop, min, max, step, defaultValue, value, manual);
        if (prop == TCameraProperty::Zoom) FOutcome.zoomReading = status;
        if (status < 0) continue;  // a failed reading keeps the entry's last values
        FControls[p] = {p, PropertyName(prop), min, max, step, value, manual};
    }
}

std::optional<int> TForm1::ZoomEntry() const {
    std::optional<int> zoom;
    for (const TPropertyControl& control : FControls)
        if (control.Name == "Zoom") zoom = control.Prop;
    return zoom;
}

std::optional<std::string> TForm1::ShowStatus(std::int32_t& zoom) {
    FThread.MainThreadOnly();
    // A camera whose Zoom control was never read shows the zoom as 0.
    std::optional<int> entry = ZoomEntry();
    zoom = entry ? FControls[*entry].Value : 0;
    Label1.SetCaption("Model:" + FCameraName + ", tryb=" + std::to_string(FModeWidth) + "x" +
                      std::to_string(FModeHeight) + ", zoom=" + std::to_string(zoom));
    OptionReading stored = ReadOption(kZoomKey, "0", true);
    if (stored.failure) return stored.failure;
    Label2.SetCaption("Set zoom=" + stored.value);
    return std::nullopt;
}

void TForm1::ApplyZoom(std::int32_t value) {
    FThread.MainThreadOnly();
    std::optional<int> entry = ZoomEntry();
    // No Zoom control read: nothing to send the value to (and never another control).
    if (!entry || !FVideo) return;
    const TPropertyControl& control = FControls[*entry];
    FOutcome.zoomSetting = FVideo->SetCameraProperty(static_cast<TCameraProperty>(control.Prop),
                                                     value, control.Manual);
}

void TForm1::CloseVideo() {
    FThread.MainThreadOnly();
    if (!FVideo) return;
    FVideo->CloseCamera();
    TVideoImage::Dispose(std::move(FVideo));
    FVideo = nullptr;
}

void TForm1::ChooseZoom() {
    FThread.MainThreadOnly();
    ZoomControlReading reading;
    const bool cameraOpen = FVideo && FOutcome.cameraOpened;
    if (cameraOpen) {
        std::int32_t defaultValue = 0;
        bool manual = true;
        reading.status =
            FVideo->GetCameraProperty(TCameraProperty::Zoom, reading.min, reading.max, reading.step,
                                      defaultValue, reading.value, manual);
    }
    bool stored = true;
    ZoomDialog dialog(
        *this, cameraOpen ? FVideo.get() : nullptr, StartZoomChoice(cameraOpen, reading),
        reading.value, [this, &stored](std::int32_t zoom) {
            if (std::optional<std::string> failure = WriteOption(kZoomKey, StoredZoomText(zoom))) {
                stored = false;
                ShowFailure(*failure);
            }
        });
    // After a failed store the error box has said why; reading config.ini again would only say
    // it once more.
    if (!dialog.Run() || !stored) return;
    ReadAgainAfterSave();
}

void TForm1::ChooseCameraSettings() {
    FThread.MainThreadOnly();
    const bool cameraOpen = FVideo && FOutcome.cameraOpened;
    const std::string iniPath = OptionsFilePath();
    const CameraSection section = ReadCameraSection(iniPath);
    const bool zoomStored = ReadStoredOption(kZoomKey, iniPath).has_value();
    bool stored = true;
    CameraSettingsDialog dialog(
        *this, cameraOpen ? FVideo.get() : nullptr, section.kept, zoomStored,
        [&](const std::vector<KeptSetting>& kept, std::optional<std::int32_t> zoom) {
            std::optional<std::string> failure = WriteCameraSection(kept, iniPath);
            if (!failure && zoom) failure = WriteOption(kZoomKey, StoredZoomText(*zoom), iniPath);
            if (failure) {
                stored = false;
                ShowFailure(*failure);
            }
        });
    if (!dialog.Run() || !stored) return;
    ReadAgainAfterSave();
}

void TForm1::ReadAgainAfterSave() {
    OpenVideo();
    std::int32_t zoom = 0;
    if (std::optional<std::string> failure = ShowStatus(zoom)) {
        ShowFailure(*failure);
        return;
    }
    FCurrentZoom = zoom;
}

void TForm1::ShowFailure(const std::string& message) {
    if (Application* application = Application::Instance())
        application->ShowError(ErrorBoxText(message));
}

void TForm1::ExpectReactivation() { FReactivationExpected = true; }
