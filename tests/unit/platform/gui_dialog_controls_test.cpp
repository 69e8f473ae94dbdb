// The host toolkit's dialog parts: the fitted picture rectangle, the slider's keys, the picture
// area's scaling, the window timer, the system menu and the modal loop.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/gui.h"
#include "platform/host/testing/dialog_log.h"
#include "platform/host/testing/gui_controls.h"
#include "platform/messaging.h"
#include "platform/picture_fit.h"
#include "unit/platform/host_gui_fixture.h"

namespace {

using namespace std::chrono_literals;

bool SameBounds(const Bounds& a, const Bounds& b) {
    return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

TEST(FitPicture, KeepsTheAspectRatioAndCentres) {
    struct Case {
        int width, height;
        Bounds expected;
    };
    const Case cases[] = {
        {640, 480, {0, 0, 320, 240}},     // same shape: the whole area
        {1920, 1080, {0, 30, 320, 180}},  // wider: bars above and below
        {480, 640, {70, 0, 180, 240}},    // taller: bars left and right
        {160, 120, {0, 0, 320, 240}},     // smaller pictures are enlarged
        {10000, 1, {0, 119, 320, 1}},     // never thinner than a pixel
    };
    for (const Case& c : cases) {
        const Bounds fitted = FitPicture(c.width, c.height, 320, 240);
        EXPECT_TRUE(SameBounds(fitted, c.expected))
            << c.width << "x" << c.height << " -> " << fitted.left << "," << fitted.top << " "
            << fitted.width << "x" << fitted.height;
    }
    EXPECT_EQ(FitPicture(0, 480, 320, 240).width, 0);
    EXPECT_EQ(FitPicture(640, 480, 0, 240).width, 0);
}

using HostDialogParts = HostGuiTest;

TEST_F(HostDialogParts, TheSlidersKeysMoveItInsideItsRangeAndReportOnlyChanges) {
    Form form("f", 0, 0, 100, 50);
    TrackBar slider(form, {0, 0, 80, 30}, 0);
    slider.SetRange(100, 500);
    slider.SetSteps(10, 40);
    slider.SetPosition(600);
    EXPECT_EQ(slider.Position(), 500) << "kept inside the range";
    slider.SetPosition(250);
    std::vector<int> changes;
    slider.OnChange = [&] { changes.push_back(slider.Position()); };
    host::PressKey(slider, host::TrackBarKey::Right);
    host::PressKey(slider, host::TrackBarKey::Down);
    host::PressKey(slider, host::TrackBarKey::PageDown);
    host::PressKey(slider, host::TrackBarKey::Left);
    host::PressKey(slider, host::TrackBarKey::PageUp);
    host::PressKey(slider, host::TrackBarKey::End);
    host::PressKey(slider, host::TrackBarKey::Right);  // at the end: no change
    host::PressKey(slider, host::TrackBarKey::Home);
    host::PressKey(slider, host::TrackBarKey::Up);  // at the start: no change
    host::DragThumb(slider, -5);                    // already at the start
    host::DragThumb(slider, 333);
    EXPECT_EQ(changes, (std::vector<int>{260, 270, 310, 300, 260, 500, 100, 333}));
}

TEST_F(HostDialogParts, ThePictureAreaScalesToFitOnBlack) {
    Form form("f", 0, 0, 340, 260);
    PictureBox area(form, {10, 10, 320, 240});
    Bitmap picture;
    ASSERT_TRUE(picture.SetSize(1920, 1080));
    // Left half red, right half blue.
    for (int row = 0; row < 1080; ++row) {
        std::uint8_t* line = picture.ScanLine(row);
        for (int x = 0; x < 1920; ++x) {
            const bool left = x < 960;
            line[3 * x + 0] = left ? 0 : 255;
            line[3 * x + 2] = left ? 255 : 0;
        }
    }
    area.Show(picture);
    area.Show(picture);
    EXPECT_EQ(host::PicturesDrawn(area), 2);
    const Bitmap& shown = host::ShownPicture(area);
    ASSERT_EQ(shown.Width(), 320);
    ASSERT_EQ(shown.Height(), 240);
    auto pixel = [&](int x, int y) {
        const std::uint8_t* p = shown.ScanLine(y) + 3 * x;
        return (p[2] << 16) | (p[1] << 8) | p[0];
    };
    EXPECT_EQ(pixel(160, 10), 0x000000) << "the bar above";
    EXPECT_EQ(pixel(160, 229), 0x000000) << "the bar below";
    EXPECT_EQ(pixel(0, 30), 0xFF0000);
    EXPECT_EQ(pixel(159, 120), 0xFF0000);
    EXPECT_EQ(pixel(160, 120), 0x0000FF);
    EXPECT_EQ(pixel(319, 209), 0x0000FF);
}

TEST_F(HostDialogParts, TheTimerRunsWhileEnabledOnly) {
    Form form("f", 0, 0, 100, 50);
    Timer timer(form, 20);
    int runs = 0;
    timer.OnTimer = [&] { ++runs; };
    host::PumpMessagesUntil([] { return false; }, 100ms);
    EXPECT_EQ(runs, 0) << "a new timer is off";
    timer.SetEnabled(true);
    EXPECT_TRUE(timer.Enabled());
    EXPECT_TRUE(host::PumpMessagesUntil([&] { return runs >= 3; }, 2s));
    timer.SetEnabled(false);
    host::PumpPendingMessages();
    const int stopped = runs;
    host::PumpMessagesUntil([] { return false; }, 100ms);
    EXPECT_EQ(runs, stopped);
}

TEST_F(HostDialogParts, TheModalLoopKeepsTheIdleNotificationAndEndsWhenTheDialogCloses) {
    Application application;
    Form owner("Owner", 100, 100, 400, 100);
    application.CreateMainForm(owner);
    int idleCalls = 0;
    IdleHook idle;
    idle.SetHandler([&](bool& done) {
        ++idleCalls;
        done = true;
    });
    bool ranInside = false;
    owner.AddSystemMenuCommand("Zoom...", [&] {
        Form dialog(owner, "Dialog", 200, 100);
        Label text(dialog, 5, 5, "inside");
        Timer closer(dialog, 30);
        int ticks = 0;
        closer.OnTimer = [&] {
            // Every timer message is followed by an empty queue, hence by idle.
            if (++ticks == 5) dialog.Close();
        };
        closer.SetEnabled(true);
        idleCalls = 0;
        dialog.ShowModal();
        ranInside = ticks == 5;
        const Bounds around = owner.GetBounds();
        const Bounds own = dialog.GetBounds();
        EXPECT_EQ(own.left + own.width / 2, around.left + around.width / 2);
    });
    EXPECT_EQ(host::SystemMenuItems(owner), (std::vector<std::string>{"Zoom...", "Close"}));
    EXPECT_TRUE(host::ChooseSystemMenuItem(owner, "Zoom..."));
    EXPECT_FALSE(host::ChooseSystemMenuItem(owner, "Nothing"));
    EXPECT_TRUE(ranInside);
    EXPECT_GE(idleCalls, 5);
    EXPECT_EQ(host::ModalForm(), nullptr);
    const std::vector<std::string> expected{"dialog shown: Dialog", "Dialog: label1: inside",
                                            "dialog closed: Dialog"};
    EXPECT_EQ(reports, expected);
}

}  // namespace
