// The camera settings dialog on the host toolkit: opened from the system menu, a row per control
// the camera offers, sliders and Auto setting the camera live and paced, Keep, Defaults, Save
// into [camera] and [options] zoom, Cancel and the close button setting back value and mode,
// the live picture, the one-line dialog and the host program's console commands.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/camera_section.h"
#include "app/camera_settings_dialog.h"
#include "app/options_file.h"
#include "platform/host/gui/console.h"
#include "platform/messaging.h"
#include "unit/app/zoom_window_fixture.h"

namespace {

constexpr LONG kPan = 0;
constexpr LONG kZoom = 3;
constexpr LONG kExposure = 4;
constexpr LONG kFocus = 6;

// A dialog's row as the test reads it: the controls that share the name's line.
struct RowView {
    std::string name;
    TrackBar* slider = nullptr;
    CheckBox* automatic = nullptr;
    CheckBox* keep = nullptr;
};

class CameraSettingsDialogTest : public ZoomWindowTest {
  protected:
    // The default host camera's seven controls as "Zoom Camera": Exposure (-13..-1 at -6) and
    // Focus (0..250 in steps of 5 at 0) in automatic mode, the others manual.
    void OpenWindow(const std::string& ini = "[options]\nzoom=0\n") {
        WriteSettings("\"VCapSource=Zoom Camera\",VCapModeWidth=320,VCapModeHeight=240");
        folder.Write("config.ini", ini);
        MakeForm(false);
        Activate();
    }
    // Chooses "Camera settings..." and runs `inside` on the dialog from within its modal loop.
    void ChooseSettings(const std::function<void(Form& dialog)>& inside) {
        ChooseDialog("Camera settings...", inside);
    }
    // Rows by their name label, read off the layout: a slider, Auto and Keep on its line.
    static std::vector<RowView> Rows(Form& dialog) {
        std::vector<RowView> rows;
        const std::vector<TrackBar*> sliders = host::TrackBarsOf(dialog);
        const std::vector<CheckBox*> boxes = host::CheckBoxesOf(dialog);
        const std::vector<std::string> labels = host::LabelTexts(dialog);
        // Each row made a name label and a value label: the names are the even ones.
        for (std::size_t i = 0; i < sliders.size(); ++i) {
            RowView row{labels.at(2 * i), sliders[i], nullptr, nullptr};
            const Bounds line = sliders[i]->GetBounds();
            for (CheckBox* box : boxes) {
                const Bounds at = box->GetBounds();
                if (at.top < line.top || at.top >= line.top + line.height) continue;
                (box->Caption() == "Auto" ? row.automatic : row.keep) = box;
            }
            rows.push_back(row);
        }
        return rows;
    }
    static RowView Row(Form& dialog, const std::string& name) {
        for (const RowView& row : Rows(dialog))
            if (row.name == name) return row;
        ADD_FAILURE() << "no row " << name;
        return {};
    }
    host::dshow::CameraControlConfig Control(LONG property) {
        auto state = host::dshow::ControlState(0, property);
        EXPECT_TRUE(state.has_value());
        return state.value_or(host::dshow::CameraControlConfig{});
    }
    bool CameraReaches(LONG property, LONG value, LONG flags) {
        return host::PumpMessagesUntil(
            [&] {
                auto state = host::dshow::ControlState(0, property);
                return state && state->value == value && state->flags == flags;
            },
            std::chrono::seconds(2));
    }
};

TEST_F(CameraSettingsDialogTest, EveryControlTheCameraOffersGetsARowWithItsRangeAndModes) {
    host::dshow::DeviceConfig camera = ZoomCamera();
    camera.controls[2].reset();   // no Roll
    camera.controls[5].reset();   // no Iris
    camera.videoProcAmp = false;  // the camera controls alone
    host::dshow::UseDevices({camera});
    OpenWindow();
    EXPECT_EQ(host::SystemMenuItems(*form),
              (std::vector<std::string>{"&Zoom...", "Camera s&ettings...", "Close"}));
    ChooseSettings([&](Form& dialog) {
        EXPECT_EQ(dialog.Caption(), "Camera settings");
        EXPECT_EQ(host::OwnerOf(dialog), form.get());
        const Bounds outer = dialog.GetBounds();
        const Bounds owner = form->GetBounds();
        EXPECT_NEAR(outer.left + outer.width / 2, owner.left + owner.width / 2, 1) << "centred";
        EXPECT_NEAR(outer.top + outer.height / 2, owner.top + owner.height / 2, 1);
        const std::vector<RowView> rows = Rows(dialog);
        std::vector<std::string> names;
        for (const RowView& row : rows) names.push_back(row.name);
        EXPECT_EQ(names, (std::vector<std::string>{"Pan", "Tilt", "Zoom", "Exposure", "Focus"}));
        for (const RowView& row : rows) {
            EXPECT_NE(row.keep, nullptr) << row.name;
            // The default camera offers automatic mode for Exposure and Focus only.
            EXPECT_EQ(row.automatic != nullptr, row.name == "Exposure" || row.name == "Focus")
                << row.name;
        }
        const RowView focus = Row(dialog, "Focus");
        const host::TrackBarState state = host::StateOf(*focus.slider);
        EXPECT_EQ(state.min, 0);
        EXPECT_EQ(state.max, 250);
        EXPECT_EQ(state.line, 5);
        EXPECT_EQ(state.page, 25);
        ASSERT_NE(focus.automatic, nullptr);
        EXPECT_TRUE(focus.automatic->Checked());
        const RowView zoom = Row(dialog, "Zoom");
        EXPECT_EQ(zoom.slider->Position(), 100);
        EXPECT_TRUE(zoom.keep->Checked()) << "config.ini stores a zoom";
        EXPECT_FALSE(focus.keep->Checked());
        EXPECT_EQ(host::PictureBoxesOf(dialog).size(), 1u);
        EXPECT_TRUE(host::ClickButton(dialog, "Cancel"));
    });
}

TEST_F(CameraSettingsDialogTest, SlidersAndAutoSetTheCameraLiveAndASlideSwitchesToManual) {
    OpenWindow();
    ChooseSettings([&](Form& dialog) {
        const RowView focus = Row(dialog, "Focus");
        host::DragThumb(*focus.slider, 123);
        EXPECT_EQ(focus.slider->Position(), 125) << "a dragged thumb lands on a step";
        EXPECT_FALSE(focus.automatic->Checked()) << "a slide in Auto switches to manual";
        EXPECT_TRUE(CameraReaches(kFocus, 125, CameraControl_Flags_Manual));
        const RowView exposure = Row(dialog, "Exposure");
        host::ClickCheckBox(*exposure.automatic);
        EXPECT_TRUE(CameraReaches(kExposure, -6, CameraControl_Flags_Manual));
        host::ClickCheckBox(*exposure.automatic);
        EXPECT_TRUE(CameraReaches(kExposure, -6, CameraControl_Flags_Auto));
        host::PressKey(*Row(dialog, "Pan").slider, host::TrackBarKey::End);
        EXPECT_TRUE(CameraReaches(kPan, 180, CameraControl_Flags_Manual));
        EXPECT_EQ(Control(kZoom).value, 100) << "an untouched row sends nothing";
        EXPECT_TRUE(host::ClickButton(dialog, "Cancel"));
    });
}

TEST_F(CameraSettingsDialogTest, AControlThatIsOnlyAutomaticShowsItsValueAndTakesNoChoice) {
    host::dshow::DeviceConfig camera = ZoomCamera();
    camera.videoProcAmp = false;
    camera.controls[kFocus]->value = 40;
    camera.controls[kFocus]->flags = CameraControl_Flags_Auto;
    camera.controls[kFocus]->capsFlags = CameraControl_Flags_Auto;
    host::dshow::UseDevices({camera});
    OpenWindow();
    ChooseSettings([&](Form& dialog) {
        const RowView focus = Row(dialog, "Focus");
        EXPECT_FALSE(focus.slider->Enabled());
        ASSERT_NE(focus.automatic, nullptr);
        EXPECT_FALSE(focus.automatic->Enabled());
        EXPECT_TRUE(focus.automatic->Checked());
        EXPECT_TRUE(focus.keep->Enabled()) << "automatic can still be kept";
        EXPECT_EQ(focus.slider->Position(), 40);
        host::DragThumb(*focus.slider, 125);
        host::ClickCheckBox(*focus.automatic);
        EXPECT_EQ(focus.slider->Position(), 40);
        EXPECT_TRUE(focus.automatic->Checked());
        EXPECT_TRUE(Row(dialog, "Exposure").slider->Enabled()) << "a control with both modes";
        EXPECT_TRUE(host::ClickButton(dialog, "Defaults"));
        host::PumpMessagesUntil([] { return false; }, std::chrono::milliseconds(120));
        EXPECT_EQ(Control(kFocus).flags, CameraControl_Flags_Auto);
        EXPECT_TRUE(host::ClickButton(dialog, "Cancel"));
    });
    EXPECT_EQ(Control(kFocus).value, 40);
    EXPECT_EQ(Control(kFocus).flags, CameraControl_Flags_Auto);

    std::vector<std::string> reports;
    host::SetGuiObserver([&](const std::string& line) { reports.push_back(line); });
    host::PutConsoleLinesFirst(
        {"camera", "row focus slide 100", "row focus auto off", "rows", "cancel"}, form->Handle());
    const auto listed = [&] {
        return std::any_of(reports.begin(), reports.end(), [](const std::string& line) {
            return line.rfind("row Focus:", 0) == 0;
        });
    };
    host::PumpMessagesUntil(listed, std::chrono::seconds(5));
    host::PumpPendingMessages();
    host::SetGuiObserver({});
    EXPECT_NE(std::find(reports.begin(), reports.end(), "row focus: the slider is fixed"),
              reports.end());
    EXPECT_NE(std::find(reports.begin(), reports.end(), "row focus: auto is fixed"), reports.end());
    EXPECT_NE(std::find(reports.begin(), reports.end(),
                        "row Focus: min 0, max 250, value 40 (fixed), auto on (fixed), keep off"),
              reports.end());
    EXPECT_EQ(Control(kFocus).value, 40);
}

TEST_F(CameraSettingsDialogTest, CancelAndTheCloseButtonSetBackEveryChangedControlValueAndMode) {
    OpenWindow();
    for (const bool closeButton : {false, true}) {
        ChooseSettings([&](Form& dialog) {
            host::DragThumb(*Row(dialog, "Focus").slider, 200);
            host::ClickCheckBox(*Row(dialog, "Exposure").automatic);
            host::DragThumb(*Row(dialog, "Zoom").slider, 333);
            host::DragThumb(*Row(dialog, "Pan").slider, -40);
            EXPECT_TRUE(CameraReaches(kFocus, 200, CameraControl_Flags_Manual));
            EXPECT_TRUE(CameraReaches(kExposure, -6, CameraControl_Flags_Manual));
            EXPECT_TRUE(CameraReaches(kZoom, 333, CameraControl_Flags_Manual));
            if (closeButton) {
                dialog.Close();
            } else {
                EXPECT_TRUE(host::ClickButton(dialog, "Cancel"));
            }
        });
        EXPECT_EQ(Control(kFocus).value, 0);
        EXPECT_EQ(Control(kFocus).flags, CameraControl_Flags_Auto) << "automatic again";
        EXPECT_EQ(Control(kExposure).flags, CameraControl_Flags_Auto);
        EXPECT_EQ(Control(kZoom).value, 100);
        EXPECT_EQ(Control(kPan).value, 0);
        EXPECT_EQ(folder.Read("config.ini"), "[options]\nzoom=0\n") << "nothing stored";
    }
}

TEST_F(CameraSettingsDialogTest, SaveStoresTheKeptRowsAndTheZoomAndTheWindowReadsAgain) {
    OpenWindow("[options]\nzoom=0\n[camera]\niris=7\n");
    ChooseSettings([&](Form& dialog) {
        const RowView iris = Row(dialog, "Iris");
        EXPECT_TRUE(iris.keep->Checked()) << "kept in [camera] already";
        host::ClickCheckBox(*iris.keep);  // no longer kept
        const RowView focus = Row(dialog, "Focus");
        host::DragThumb(*focus.slider, 80);
        host::ClickCheckBox(*focus.keep);
        host::ClickCheckBox(*Row(dialog, "Exposure").keep);  // kept in automatic mode
        host::DragThumb(*Row(dialog, "Zoom").slider, 240);
        // Save right away: the waiting settings go to the camera before they are stored.
        EXPECT_TRUE(host::ClickButton(dialog, "Save"));
    });
    EXPECT_EQ(Control(kFocus).value, 80);
    EXPECT_EQ(Control(kZoom).value, 240);
    const std::string ini = folder.File("config.ini");
    const CameraSection section = ReadCameraSection(ini);
    EXPECT_EQ(section.kept, (std::vector<KeptSetting>{{kPictureControls[4], std::nullopt},
                                                      {kPictureControls[6], 80}}));
    EXPECT_EQ(ReadStoredOption("zoom", ini), "240");
    EXPECT_EQ(form->FCurrentZoom, 240);
    EXPECT_EQ(
        host::LabelTexts(*form),
        (std::vector<std::string>{"Model:Zoom Camera, tryb=320x240, zoom=240", "Set zoom=240"}));
    EXPECT_TRUE(Dialogs().empty());
}

TEST_F(CameraSettingsDialogTest, AZoomRowNotMarkedKeepLeavesTheStoredZoomAsItStands) {
    OpenWindow("[options]\nzoom=150\n");
    ChooseSettings([&](Form& dialog) {
        const RowView zoom = Row(dialog, "Zoom");
        host::ClickCheckBox(*zoom.keep);
        host::DragThumb(*zoom.slider, 400);
        EXPECT_TRUE(host::ClickButton(dialog, "Save"));
    });
    EXPECT_EQ(ReadStoredOption("zoom", folder.File("config.ini")), "150");
    EXPECT_EQ(Control(kZoom).value, 400) << "Save leaves the chosen settings on the camera";
}

TEST_F(CameraSettingsDialogTest, DefaultsPutsEveryRowAtItsDefaultAndAutoWhereOffered) {
    host::dshow::DeviceConfig camera = ZoomCamera();
    camera.controls[kFocus]->value = 150;
    camera.controls[kFocus]->flags = CameraControl_Flags_Manual;
    camera.controls[kZoom]->value = 300;
    camera.controls[kPan]->value = 30;
    host::dshow::UseDevices({camera});
    OpenWindow();
    ChooseSettings([&](Form& dialog) {
        EXPECT_FALSE(Row(dialog, "Focus").automatic->Checked());
        EXPECT_TRUE(host::ClickButton(dialog, "Defaults"));
        EXPECT_TRUE(Row(dialog, "Focus").automatic->Checked());
        EXPECT_EQ(Row(dialog, "Focus").slider->Position(), 0);
        EXPECT_EQ(Row(dialog, "Zoom").slider->Position(), 100);
        EXPECT_TRUE(CameraReaches(kFocus, 0, CameraControl_Flags_Auto));
        EXPECT_TRUE(CameraReaches(kZoom, 100, CameraControl_Flags_Manual));
        EXPECT_TRUE(CameraReaches(kPan, 0, CameraControl_Flags_Manual));
        EXPECT_TRUE(host::ClickButton(dialog, "Cancel"));
    });
    EXPECT_EQ(Control(kFocus).value, 150);
    EXPECT_EQ(Control(kFocus).flags, CameraControl_Flags_Manual);
    EXPECT_EQ(Control(kZoom).value, 300);
}

TEST_F(CameraSettingsDialogTest, DraggingTwoSlidersSetsEachControlAtMostOncePer50Ms) {
    OpenWindow();
    ChooseSettings([&](Form& dialog) {
        const RowView focus = Row(dialog, "Focus");
        const RowView pan = Row(dialog, "Pan");
        host::dshow::ClearCallLog();
        const auto start = std::chrono::steady_clock::now();
        for (int step = 1; step <= 50; ++step) {
            host::DragThumb(*focus.slider, step * 5);
            host::DragThumb(*pan.slider, step - 60);
        }
        const auto dragTime = std::chrono::steady_clock::now() - start;
        const auto intervals =
            std::chrono::duration_cast<std::chrono::milliseconds>(dragTime).count() / 50;
        // However fast the drag went, each control took at most one setting per interval.
        EXPECT_LE(host::dshow::CallCount("IAMCameraControl::Set"),
                  2 * (static_cast<int>(intervals) + 1));
        EXPECT_TRUE(CameraReaches(kFocus, 250, CameraControl_Flags_Manual))
            << "the last position follows within the interval";
        EXPECT_TRUE(CameraReaches(kPan, -10, CameraControl_Flags_Manual));
        EXPECT_TRUE(host::ClickButton(dialog, "Cancel"));
    });
}

TEST_F(CameraSettingsDialogTest, TheLivePictureShowsThePaintedFrames) {
    OpenWindow();
    ChooseSettings([&](Form& dialog) {
        auto pictures = host::PictureBoxesOf(dialog);
        ASSERT_EQ(pictures.size(), 1u);
        host::PumpMessagesUntil([&] { return host::PicturesDrawn(*pictures.front()) > 5; },
                                std::chrono::seconds(5));
        EXPECT_GT(host::PicturesDrawn(*pictures.front()), 5);
        dialog.Close();
    });
}

TEST_F(CameraSettingsDialogTest, WithAllEighteenControlsTheDialogFitsTheTestScreen) {
    const int width = CameraSettingsDialog::ClientWidth() + 2 * host::kFrameWidth;
    const int height = CameraSettingsDialog::ClientHeight(kPictureControls.size()) +
                       2 * host::kFrameWidth + host::kCaptionHeight;
    EXPECT_LE(width, 1280);
    EXPECT_LE(height, 1024 - 40) << "room for a taskbar";
}

TEST_F(CameraSettingsDialogTest, WithoutControlsOrWithoutACameraTheDialogSaysSoInOneLine) {
    host::dshow::DeviceConfig camera = ZoomCamera();
    camera.cameraControl = false;
    camera.videoProcAmp = false;
    for (auto& control : camera.controls) control.reset();
    host::dshow::UseDevices({camera});
    OpenWindow();
    ChooseSettings([&](Form& dialog) {
        EXPECT_EQ(host::LabelTexts(dialog),
                  std::vector<std::string>{"The camera offers none of the picture controls."});
        EXPECT_TRUE(host::TrackBarsOf(dialog).empty());
        EXPECT_TRUE(host::CheckBoxesOf(dialog).empty());
        EXPECT_FALSE(host::ClickButton(dialog, "Save"));
        EXPECT_TRUE(host::ClickButton(dialog, "Close"));
    });
    form.reset();
    host::PumpPendingMessages();
    WriteSettings("VCapSource=Nothing,VCapModeWidth=320,VCapModeHeight=240");
    MakeForm(false);
    Activate();
    ChooseSettings([&](Form& dialog) {
        EXPECT_EQ(host::LabelTexts(dialog), std::vector<std::string>{"No camera is open."});
        EXPECT_TRUE(host::ClickButton(dialog, "Close"));
    });
}

TEST_F(CameraSettingsDialogTest, TheConsoleListsTheRowsDrivesThemAndSaves) {
    host::dshow::DeviceConfig camera = ZoomCamera();
    camera.videoProcAmp = false;  // the seven camera controls: a list short enough to read
    host::dshow::UseDevices({camera});
    OpenWindow();
    std::vector<std::string> reports;
    host::SetGuiObserver([&](const std::string& line) { reports.push_back(line); });
    host::PutConsoleLinesFirst(
        {"camera", "rows", "row focus slide 101", "row exposure auto off", "row focus keep on",
         "row exposure keep on", "row nothing slide 1", "rows", "save"},
        form->Handle());
    const std::string ini = folder.File("config.ini");
    host::PumpMessagesUntil([&] { return !ReadCameraSection(ini).kept.empty(); },
                            std::chrono::seconds(5));
    host::PumpPendingMessages();
    host::SetGuiObserver({});
    EXPECT_EQ(ReadCameraSection(ini).kept,
              (std::vector<KeptSetting>{{kPictureControls[4], -6}, {kPictureControls[6], 100}}));
    std::vector<std::string> rows;
    for (const std::string& line : reports)
        if (line.rfind("row", 0) == 0) rows.push_back(line);
    const std::vector<std::string> expected = {
        "row Pan: min -180, max 180, value 0, keep off",
        "row Tilt: min -180, max 180, value 0, keep off",
        "row Roll: min -180, max 180, value 0, keep off",
        "row Zoom: min 100, max 500, value 100, keep on",
        "row Exposure: min -13, max -1, value -6, auto on, keep off",
        "row Iris: min 0, max 10, value 5, keep off",
        "row Focus: min 0, max 250, value 0, auto on, keep off",
        "row: no row nothing",
        "row Pan: min -180, max 180, value 0, keep off",
        "row Tilt: min -180, max 180, value 0, keep off",
        "row Roll: min -180, max 180, value 0, keep off",
        "row Zoom: min 100, max 500, value 100, keep on",
        "row Exposure: min -13, max -1, value -6, auto off, keep on",
        "row Iris: min 0, max 10, value 5, keep off",
        "row Focus: min 0, max 250, value 100, auto off, keep on",
    };
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(Control(kExposure).flags, CameraControl_Flags_Manual);
}

}  // namespace
