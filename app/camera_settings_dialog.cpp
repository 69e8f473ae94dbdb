// The camera settings dialog: its layout, each row's slider and Auto feeding the row's pacer,
// the live picture, Defaults, Save and the restore on every other way out.
#include "app/camera_settings_dialog.h"

#include <algorithm>
#include <string>
#include <utility>

#include "platform/messaging.h"
#include "platform/tick.h"
#include "video/VFrames.h"

namespace {

constexpr const char* kCaption = "Camera settings";

// The live picture on the left, the rows beside it, the buttons at the bottom right. With all
// eighteen controls the dialog is 840 x 523, well inside a 1280 x 1024 screen.
constexpr int kMargin = 10;
constexpr Bounds kPictureBounds{10, 10, 320, 240};
constexpr int kRowHeight = 26;
constexpr int kNameLeft = 340;
constexpr int kTextDown = 6;  // a label's top below its row's, to sit on the slider's line
constexpr int kSliderLeft = 476;
constexpr int kSliderWidth = 190;
constexpr int kValueLeft = 672;
constexpr int kAutoLeft = 718;
constexpr int kKeepLeft = 772;
constexpr int kCheckWidth = 52;
constexpr int kCheckHeight = 18;
constexpr int kCheckDown = 4;
constexpr int kWidth = kKeepLeft + kCheckWidth + 16;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kButtonGap = 6;

// The one-line dialog.
constexpr int kUnavailableWidth = 300;
constexpr int kUnavailableHeight = 72;
constexpr Bounds kCloseBounds{112, 38, 75, 25};

std::vector<SettingRowStart> ReadRows(TVideoImage* video, const std::vector<KeptSetting>& kept,
                                      bool zoomStored) {
    std::vector<SettingRowStart> rows;
    if (!video) return rows;
    for (const PictureControl& control : kPictureControls) {
        PictureControlState state;
        const std::int32_t status = video->GetPictureControl(control, state);
        if (auto row =
                StartSettingRow(control, status, state, StartsKept(control, kept, zoomStored))) {
            rows.push_back(*row);
        }
    }
    return rows;
}

}  // namespace

// One row's controls and its state.
struct CameraSettingsDialog::Row {
    explicit Row(const SettingRowStart& rowStart)
        : start(rowStart),
          pacer(rowStart.atStart),
          chosen{rowStart.sliderStart, rowStart.atStart.automatic} {}

    SettingRowStart start;
    ControlSettingPacer pacer;
    ControlSetting chosen;  // the slider's value and the Auto box
    std::unique_ptr<Label> name;
    std::unique_ptr<TrackBar> slider;
    std::unique_ptr<Label> value;
    std::unique_ptr<CheckBox> automatic;  // only where the control has an automatic mode
    std::unique_ptr<CheckBox> keep;
};

int CameraSettingsDialog::ClientWidth() { return kWidth; }

int CameraSettingsDialog::ClientHeight(std::size_t rows) {
    const int rowsBottom = kMargin + static_cast<int>(rows) * kRowHeight;
    const int pictureBottom = kPictureBounds.top + kPictureBounds.height;
    return std::max(rowsBottom, pictureBottom) + kMargin + kButtonHeight + kMargin;
}

CameraSettingsDialog::CameraSettingsDialog(Form& owner, TVideoImage* video,
                                           const std::vector<KeptSetting>& kept, bool zoomStored,
                                           StoreSettings store)
    : FVideo(video),
      FCameraOpen(video != nullptr),
      FStarts(ReadRows(video, kept, zoomStored)),
      FStore(std::move(store)),
      FWindow(owner, kCaption, Usable() ? ClientWidth() : kUnavailableWidth,
              Usable() ? ClientHeight(FStarts.size()) : kUnavailableHeight) {
    if (Usable()) {
        BuildRows();
    } else {
        BuildUnavailable();
    }
}

CameraSettingsDialog::~CameraSettingsDialog() {
    if (FVideo) FVideo->SetFramePainted({});
}

void CameraSettingsDialog::BuildRows() {
    FLivePicture = std::make_unique<PictureBox>(FWindow, kPictureBounds);
    int tabOrder = 0;
    int top = kMargin;
    for (const SettingRowStart& start : FStarts) {
        auto row = std::make_unique<Row>(start);
        Row& r = *row;
        r.name = std::make_unique<Label>(FWindow, kNameLeft, top + kTextDown,
                                         std::string(start.control.name));
        r.slider = std::make_unique<TrackBar>(
            FWindow, Bounds{kSliderLeft, top, kSliderWidth, kRowHeight}, tabOrder++);
        r.slider->SetRange(start.range.min, start.range.max);
        r.slider->SetSteps(start.range.step, start.range.PageSize());
        r.slider->SetPosition(start.sliderStart);
        r.slider->OnChange = [this, &r] { SliderMoved(r); };
        r.value = std::make_unique<Label>(FWindow, kValueLeft, top + kTextDown,
                                          std::to_string(start.sliderStart));
        if (start.offersAuto) {
            r.automatic = std::make_unique<CheckBox>(
                FWindow, Bounds{kAutoLeft, top + kCheckDown, kCheckWidth, kCheckHeight}, "Auto",
                tabOrder);
            r.automatic->SetChecked(start.atStart.automatic);
            r.automatic->OnClick = [this, &r] { AutoClicked(r); };
        }
        if (start.onlyAuto) {
            // Shown, so that the row tells its value, but nothing to choose.
            r.slider->SetEnabled(false);
            r.automatic->SetEnabled(false);
        }
        ++tabOrder;
        r.keep = std::make_unique<CheckBox>(
            FWindow, Bounds{kKeepLeft, top + kCheckDown, kCheckWidth, kCheckHeight}, "Keep",
            tabOrder++);
        r.keep->SetChecked(start.keep);
        FRows.push_back(std::move(row));
        top += kRowHeight;
    }
    const int buttonsTop = ClientHeight(FStarts.size()) - kMargin - kButtonHeight;
    const int cancelLeft = kWidth - kMargin - kButtonWidth;
    const int saveLeft = cancelLeft - kButtonGap - kButtonWidth;
    const int defaultsLeft = saveLeft - kButtonGap - kButtonWidth;
    FDefaultsButton = std::make_unique<Button>(
        FWindow, Bounds{defaultsLeft, buttonsTop, kButtonWidth, kButtonHeight}, "Defaults",
        tabOrder++);
    FDefaultsButton->OnClick = [this] { DefaultsClicked(); };
    FSaveButton = std::make_unique<Button>(
        FWindow, Bounds{saveLeft, buttonsTop, kButtonWidth, kButtonHeight}, "Save", tabOrder++);
    FSaveButton->OnClick = [this] { SaveClicked(); };
    FCancelButton = std::make_unique<Button>(
        FWindow, Bounds{cancelLeft, buttonsTop, kButtonWidth, kButtonHeight}, "Cancel", tabOrder++);
    FCancelButton->OnClick = [this] { FWindow.Close(); };
    FSettingTimer = std::make_unique<Timer>(FWindow, ControlSettingPacer::kDefaultIntervalMs);
    FSettingTimer->OnTimer = [this] { TimerRan(); };
}

void CameraSettingsDialog::BuildUnavailable() {
    FUnavailableText =
        std::make_unique<Label>(FWindow, 12, 12, CameraSettingsUnavailableText(FCameraOpen));
    FCloseButton = std::make_unique<Button>(FWindow, kCloseBounds, "Close", 0);
    FCloseButton->OnClick = [this] { FWindow.Close(); };
}

bool CameraSettingsDialog::Run() {
    FSaved = false;
    if (Usable()) {
        // One scaled draw of the frame bitmap per painted frame, while the dialog is open.
        FVideo->SetFramePainted([this](const Bitmap& frame) { FLivePicture->Show(frame); });
    }
    FWindow.ShowModal();
    if (!Usable()) return false;
    FVideo->SetFramePainted({});
    FSettingTimer->SetEnabled(false);
    if (!FSaved) {
        for (const auto& row : FRows) Send(*row, SettingToRestore(row->start.atStart, row->pacer));
    }
    return FSaved;
}

void CameraSettingsDialog::SliderMoved(Row& row) {
    const int position = row.slider->Position();
    const std::int32_t value = row.start.range.Snap(position);
    if (value != position) row.slider->SetPosition(value);
    row.value->SetCaption(std::to_string(value));
    row.chosen.value = value;
    // Moving the slider chooses a value, which only manual mode takes.
    if (row.chosen.automatic) {
        row.chosen.automatic = false;
        if (row.automatic) row.automatic->SetChecked(false);
    }
    Choose(row);
}

void CameraSettingsDialog::AutoClicked(Row& row) {
    row.chosen.automatic = row.automatic && row.automatic->Checked();
    Choose(row);
}

void CameraSettingsDialog::DefaultsClicked() {
    for (const auto& row : FRows) {
        row->chosen = DefaultSetting(row->start);
        row->slider->SetPosition(row->chosen.value);
        row->value->SetCaption(std::to_string(row->chosen.value));
        if (row->automatic) row->automatic->SetChecked(row->chosen.automatic);
        Choose(*row);
    }
}

void CameraSettingsDialog::Choose(Row& row) {
    Send(row, row.pacer.Moved(row.chosen, TickCountMs()));
    FSettingTimer->SetEnabled(std::any_of(FRows.begin(), FRows.end(),
                                          [](const auto& each) { return each->pacer.Waiting(); }));
}

void CameraSettingsDialog::TimerRan() {
    const Tick now = TickCountMs();
    bool waiting = false;
    for (const auto& row : FRows) {
        Send(*row, row->pacer.Due(now));
        waiting = waiting || row->pacer.Waiting();
    }
    FSettingTimer->SetEnabled(waiting);
}

void CameraSettingsDialog::SaveClicked() {
    // The last choices go to the camera before they are stored.
    const Tick now = TickCountMs();
    for (const auto& row : FRows) Send(*row, row->pacer.Flush(now));
    FSettingTimer->SetEnabled(false);
    std::vector<KeptSetting> kept;
    std::optional<std::int32_t> zoom;
    for (const auto& row : FRows) {
        if (!row->keep->Checked()) continue;
        if (IsZoom(row->start.control)) {
            zoom = row->chosen.value;
        } else {
            kept.push_back(KeptSettingOf(row->start.control, row->chosen));
        }
    }
    if (FStore) FStore(kept, zoom);
    FSaved = true;
    FWindow.Close();
}

void CameraSettingsDialog::Send(const Row& row, const std::optional<ControlSetting>& setting) {
    if (!setting || !FVideo) return;
    FVideo->SetPictureControl(row.start.control, setting->value, setting->Flags());
}
