// The zoom dialog on the host toolkit: opened from the system menu, the slider setting the
// camera live, the live picture, Save, Cancel, the one-line dialog, the stream inside the
// dialog's loop, and the host program's console commands.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/host/gui/console.h"
#include "platform/messaging.h"
#include "unit/app/zoom_window_fixture.h"

namespace {

constexpr std::size_t kZoomControl = 3;

class ZoomDialogTest : public ZoomWindowTest {
  protected:
    // "Zoom Camera" with zoom 100..500 in steps of 10 at 250.
    void UseZoom(LONG min, LONG max, LONG step, LONG value) {
        host::dshow::DeviceConfig camera = ZoomCamera();
        host::dshow::CameraControlConfig zoom;
        zoom.min = min;
        zoom.max = max;
        zoom.step = step;
        zoom.value = value;
        camera.controls[kZoomControl] = zoom;
        host::dshow::UseDevices({camera});
    }
    void OpenWindow() {
        WriteSettings("\"VCapSource=Zoom Camera\",VCapModeWidth=320,VCapModeHeight=240");
        WriteStoredZoom("0");
        MakeForm(false);
        Activate();
    }
    // Chooses "Zoom..." and runs `inside` on the dialog from within its modal loop.
    void ChooseZoom(const std::function<void(Form& dialog)>& inside) {
        ChooseDialog("Zoom...", inside);
    }
    static TrackBar& Slider(Form& dialog) {
        auto sliders = host::TrackBarsOf(dialog);
        EXPECT_EQ(sliders.size(), 1u);
        return *sliders.front();
    }
    // Waits in the dialog's loop until the camera's zoom reads `zoom`.
    bool CameraReaches(LONG zoom) {
        return host::PumpMessagesUntil([&] { return CameraZoom() == zoom; },
                                       std::chrono::seconds(2));
    }
};

TEST_F(ZoomDialogTest, TheSystemMenuOffersZoomAboveCloseAndTheWindowStaysAsItWas) {
    UseZoom(100, 500, 10, 250);
    OpenWindow();
    EXPECT_EQ(host::SystemMenuItems(*form),
              (std::vector<std::string>{"&Zoom...", "Camera s&ettings...", "Close"}));
    EXPECT_EQ(form->ClientWidth(), 413);
    EXPECT_EQ(form->ClientHeight(), 84);
    EXPECT_EQ(
        host::LabelTexts(*form),
        (std::vector<std::string>{"Model:Zoom Camera, tryb=320x240, zoom=250", "Set zoom=0"}));
}

TEST_F(ZoomDialogTest, TheSliderCoversTheRangeInStepsAndTheCameraFollowsIt) {
    UseZoom(100, 500, 10, 254);
    OpenWindow();
    ChooseZoom([&](Form& dialog) {
        EXPECT_EQ(dialog.Caption(), "Camera zoom");
        EXPECT_EQ(host::OwnerOf(dialog), form.get());
        const Bounds outer = dialog.GetBounds();
        const Bounds owner = form->GetBounds();
        EXPECT_EQ(outer.left + outer.width / 2, owner.left + owner.width / 2) << "centred";
        EXPECT_NEAR(outer.top + outer.height / 2, owner.top + owner.height / 2, 1);
        TrackBar& slider = Slider(dialog);
        const host::TrackBarState state = host::StateOf(slider);
        EXPECT_EQ(state.min, 100);
        EXPECT_EQ(state.max, 500);
        EXPECT_EQ(state.line, 10);
        EXPECT_EQ(state.page, 40);
        EXPECT_EQ(slider.Position(), 250) << "the camera's 254 snapped to a step";
        EXPECT_EQ(host::LabelTexts(dialog), std::vector<std::string>{"250"});

        host::PressKey(slider, host::TrackBarKey::Right);
        EXPECT_EQ(slider.Position(), 260);
        EXPECT_TRUE(CameraReaches(260));
        host::PressKey(slider, host::TrackBarKey::PageDown);
        EXPECT_TRUE(CameraReaches(300));
        host::PressKey(slider, host::TrackBarKey::End);
        EXPECT_TRUE(CameraReaches(500));
        EXPECT_EQ(host::LabelTexts(dialog), std::vector<std::string>{"500"});
        host::DragThumb(slider, 333);
        EXPECT_EQ(slider.Position(), 330) << "a dragged thumb lands on a step";
        EXPECT_TRUE(CameraReaches(330));
        host::PressKey(slider, host::TrackBarKey::Home);
        EXPECT_TRUE(CameraReaches(100));
        EXPECT_TRUE(host::ClickButton(dialog, "Cancel"));
    });
    EXPECT_EQ(CameraZoom(), 254) << "Cancel sets back the zoom the camera had";
    EXPECT_EQ(folder.Read("config.ini"), "[options]\nzoom=0\n");
}

TEST_F(ZoomDialogTest, ADraggedThumbSetsTheCameraAtMostOncePer50MsAndEndsOnTheLastPosition) {
    UseZoom(100, 500, 1, 100);
    OpenWindow();
    std::vector<LONG> seen;
    ChooseZoom([&](Form& dialog) {
        TrackBar& slider = Slider(dialog);
        const auto start = std::chrono::steady_clock::now();
        for (int position = 101; position <= 400; ++position) host::DragThumb(slider, position);
        const auto dragTime = std::chrono::steady_clock::now() - start;
        // However fast the drag went, only a few settings can have gone out during it.
        const auto intervals =
            std::chrono::duration_cast<std::chrono::milliseconds>(dragTime).count() / 50;
        const int settings = host::dshow::CallCount("IAMCameraControl::Set");
        EXPECT_LE(settings, static_cast<int>(intervals) + 1);
        EXPECT_TRUE(CameraReaches(400)) << "the last position follows within the interval";
        EXPECT_TRUE(host::ClickButton(dialog, "Save"));
    });
    EXPECT_EQ(CameraZoom(), 400);
    EXPECT_EQ(folder.Read("config.ini"), "[options]\nzoom=400\n");
}

TEST_F(ZoomDialogTest, SaveStoresTheZoomAndTheWindowReadsTheCameraAgain) {
    UseZoom(100, 500, 10, 250);
    OpenWindow();
    ChooseZoom([&](Form& dialog) {
        TrackBar& slider = Slider(dialog);
        host::PressKey(slider, host::TrackBarKey::PageDown);
        host::PressKey(slider, host::TrackBarKey::Right);
        // Save right away: the waiting position goes to the camera before it is stored.
        EXPECT_TRUE(host::ClickButton(dialog, "Save"));
    });
    EXPECT_EQ(CameraZoom(), 300);
    EXPECT_EQ(folder.Read("config.ini"), "[options]\nzoom=300\n");
    EXPECT_EQ(form->FCurrentZoom, 300);
    EXPECT_EQ(
        host::LabelTexts(*form),
        (std::vector<std::string>{"Model:Zoom Camera, tryb=320x240, zoom=300", "Set zoom=300"}));
    EXPECT_TRUE(Dialogs().empty());
}

TEST_F(ZoomDialogTest, SaveThatCannotWriteShowsTheErrorBoxAndStillCloses) {
    UseZoom(100, 500, 10, 250);
    OpenWindow();
    std::filesystem::remove(folder.File("config.ini"));
    std::filesystem::create_directory(folder.File("config.ini"));  // cannot be written
    host::ClearRecordedDialogs();
    ChooseZoom([&](Form& dialog) {
        host::PressKey(Slider(dialog), host::TrackBarKey::Right);
        EXPECT_TRUE(host::ClickButton(dialog, "Save"));
    });
    // Save's own error box; the window's activation when the focus comes back from the dialog
    // reads config.ini again and shows its own.
    const std::vector<host::DialogRecord> dialogs = Dialogs();
    ASSERT_EQ(dialogs.size(), 2u);
    for (const host::DialogRecord& box : dialogs) {
        EXPECT_EQ(box.icon, host::DialogIcon::Error);
        EXPECT_EQ(box.text, "Unable to write to " + folder.File("config.ini") + ".");
    }
    EXPECT_EQ(CameraZoom(), 260) << "the chosen zoom stays on the camera";
}

TEST_F(ZoomDialogTest, EscapeOrTheCloseButtonWithoutAMoveSendsNothing) {
    UseZoom(100, 500, 10, 250);
    OpenWindow();
    host::dshow::ClearCallLog();
    ChooseZoom([&](Form& dialog) { dialog.Close(); });
    EXPECT_EQ(host::dshow::CallCount("IAMCameraControl::Set"), 0);
    EXPECT_EQ(CameraZoom(), 250);
}

TEST_F(ZoomDialogTest, TheLivePictureShowsEveryPaintedFrameAndTheStreamKeepsFlowing) {
    UseZoom(100, 500, 10, 250);
    OpenWindow();
    ChooseZoom([&](Form& dialog) {
        auto pictures = host::PictureBoxesOf(dialog);
        ASSERT_EQ(pictures.size(), 1u);
        const PictureBox& picture = *pictures.front();
        EXPECT_EQ(picture.GetBounds().width, 320);
        EXPECT_EQ(picture.GetBounds().height, 240);
        // Several seconds inside the dialog's own loop: frames are still painted at the end.
        host::PumpMessagesUntil([] { return false; }, std::chrono::milliseconds(2500));
        const int before = host::PicturesDrawn(picture);
        EXPECT_GT(before, 10);
        host::PumpMessagesUntil([] { return false; }, std::chrono::milliseconds(1500));
        EXPECT_GT(host::PicturesDrawn(picture), before + 10) << "frames stopped in the dialog";
        // The test picture's colour bars as zoom 250 shows them, the middle 40% enlarged:
        // cyan (the third bar) left of the middle, red (the sixth) right of it.
        const Bitmap& shown = host::ShownPicture(picture);
        const std::uint8_t* top = shown.ScanLine(10);
        const std::uint8_t* cyan = top + (320 / 8) * 3;
        EXPECT_GT(cyan[0], 180);
        EXPECT_GT(cyan[1], 180);
        EXPECT_LT(cyan[2], 80);
        const std::uint8_t* red = top + (320 * 7 / 8) * 3;
        EXPECT_LT(red[0], 80);
        EXPECT_GT(red[2], 150);
        dialog.Close();
    });
}

TEST_F(ZoomDialogTest, WithoutAUsableZoomTheDialogSaysSoAndOffersOnlyClose) {
    host::dshow::DeviceConfig camera = ZoomCamera();
    camera.controls[kZoomControl].reset();
    camera.cameraControl = false;
    host::dshow::UseDevices({camera});
    OpenWindow();
    ChooseZoom([&](Form& dialog) {
        EXPECT_EQ(host::LabelTexts(dialog),
                  std::vector<std::string>{"The camera offers no zoom control."});
        EXPECT_TRUE(host::TrackBarsOf(dialog).empty());
        EXPECT_TRUE(host::PictureBoxesOf(dialog).empty());
        EXPECT_FALSE(host::ClickButton(dialog, "Save"));
        EXPECT_TRUE(host::ClickButton(dialog, "Close"));
    });
}

TEST_F(ZoomDialogTest, WithoutACameraTheDialogSaysSo) {
    WriteSettings("VCapSource=Nothing,VCapModeWidth=320,VCapModeHeight=240");
    WriteStoredZoom("0");
    MakeForm(false);
    Activate();
    ChooseZoom([&](Form& dialog) {
        EXPECT_EQ(host::LabelTexts(dialog), std::vector<std::string>{"No camera is open."});
        EXPECT_TRUE(host::ClickButton(dialog, "Close"));
    });
    EXPECT_EQ(folder.Read("config.ini"), "[options]\nzoom=0\n");
}

TEST_F(ZoomDialogTest, TheConsoleOpensTheDialogMovesItsSliderAndSaves) {
    UseZoom(100, 500, 10, 250);
    OpenWindow();
    std::vector<std::string> reports;
    host::SetGuiObserver([&](const std::string& line) { reports.push_back(line); });
    // As typed on the host program's console: keys in the dialog, then the one-line form.
    host::PutConsoleLinesFirst({"zoom", "right", "pagedown", "cancel", "zoom 420"}, form->Handle());
    host::PumpMessagesUntil([&] { return folder.Read("config.ini") == "[options]\nzoom=420\n"; },
                            std::chrono::seconds(5));
    host::PumpPendingMessages();
    host::SetGuiObserver({});
    EXPECT_EQ(folder.Read("config.ini"), "[options]\nzoom=420\n");
    EXPECT_EQ(CameraZoom(), 420);
    const std::vector<std::string> expected = {
        "dialog shown: Camera zoom",  "Camera zoom: label1: 250",
        "Camera zoom: label1: 260",   "Camera zoom: label1: 300",
        "dialog closed: Camera zoom", "dialog shown: Camera zoom",
        "Camera zoom: label1: 250",   "Camera zoom: label1: 420",
        "dialog closed: Camera zoom", "label1: Model:Zoom Camera, tryb=320x240, zoom=420",
        "label2: Set zoom=420",
    };
    EXPECT_EQ(reports, expected);
}

}  // namespace
