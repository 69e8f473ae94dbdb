#include <gtest/gtest.h>

#include "unit/app/zoom_window_fixture.h"

namespace {

const char* const kZoomCameraSettings =
    "\"VCapSource=Zoom Camera\",VCapModeWidth=640,VCapModeHeight=480";

class ZoomWindowStatus : public ZoomWindowTest {};

TEST_F(ZoomWindowStatus, ShowsCameraModeAndZoomAndCreatesTheOptionsFile) {
    WriteSettings(kZoomCameraSettings);
    MakeForm(false);
    Activate();
    EXPECT_EQ(form->Label1.Caption(), "Model:Zoom Camera, tryb=640x480, zoom=100");
    EXPECT_EQ(form->Label2.Caption(), "Set zoom=0");
    EXPECT_EQ(folder.Read("config.ini"), "[options]\r\nzoom=0\r\n");  // a new file has CRLF lines
    EXPECT_EQ(form->FCurrentZoom, 100);
    const TPropertyControl& zoom = form->FControls[3];
    EXPECT_EQ(zoom.Prop, 3);
    EXPECT_EQ(zoom.Name, "Zoom");
    EXPECT_EQ(zoom.Min, 100);
    EXPECT_EQ(zoom.Max, 500);
    EXPECT_EQ(zoom.Value, 100);
    EXPECT_TRUE(zoom.Manual);
    EXPECT_EQ(form->FControls[6].Name, "Focus");
    EXPECT_TRUE(Dialogs().empty());
    ASSERT_NE(form->Video(), nullptr);
    EXPECT_EQ(host::dshow::RunningStreams(), 1);  // the camera is open
}

TEST_F(ZoomWindowStatus, SetSendsTheStoredZoomThenRefreshesBothLines) {
    WriteSettings(kZoomCameraSettings);
    WriteStoredZoom("150");
    MakeForm(false);
    Activate();
    EXPECT_EQ(form->Label2.Caption(), "Set zoom=150");
    EXPECT_TRUE(host::ClickButton(*form, "Set"));
    EXPECT_EQ(CameraZoom(), 150);
    EXPECT_EQ(form->Label1.Caption(), "Model:Zoom Camera, tryb=640x480, zoom=150");
    EXPECT_EQ(form->FCurrentZoom, 150);
    EXPECT_EQ(host::dshow::CallCount("IAMCameraControl::Set"), 1);
}

TEST_F(ZoomWindowStatus, SetSendsNothingAndRefreshesNothingWhenTheZoomIsEqual) {
    WriteSettings(kZoomCameraSettings);
    WriteStoredZoom(" 100 ");
    MakeForm(false);
    Activate();
    // The camera moves behind the tool's back: Set compares with the last refresh only.
    auto video = form->Video();
    ASSERT_NE(video, nullptr);
    form->FVideo->SetCameraProperty(TCameraProperty::Zoom, 200, true);
    int sets = host::dshow::CallCount("IAMCameraControl::Set");
    host::ClickButton(*form, "Set");
    EXPECT_EQ(host::dshow::CallCount("IAMCameraControl::Set"), sets);
    EXPECT_EQ(CameraZoom(), 200);
    EXPECT_EQ(form->Label1.Caption(), "Model:Zoom Camera, tryb=640x480, zoom=100");
}

TEST_F(ZoomWindowStatus, SaveStoresTheCurrentZoomWithoutRefreshingTheSecondLine) {
    WriteSettings(kZoomCameraSettings);
    WriteStoredZoom("@sp");
    MakeForm(false);
    Activate();
    EXPECT_EQ(form->Label2.Caption(), "Set zoom=");  // "@sp" stands for an empty value
    host::ClickButton(*form, "Save");
    EXPECT_EQ(folder.Read("config.ini"), "[options]\nzoom=100\n");
    EXPECT_EQ(form->Label2.Caption(), "Set zoom=");
    Activate();  // the next refresh shows it
    EXPECT_EQ(form->Label2.Caption(), "Set zoom=100");
}

TEST_F(ZoomWindowStatus, StoredTextThatIsNoNumberIsShownAndSetTreatsItAsZero) {
    WriteSettings(kZoomCameraSettings);
    WriteStoredZoom("wide");
    MakeForm(false);
    Activate();
    EXPECT_EQ(form->Label2.Caption(), "Set zoom=wide");
    host::ClickButton(*form, "Set");
    // 0 differs from the camera's 100, so it is sent; the line shows what the camera took.
    EXPECT_EQ(host::dshow::CallCount("IAMCameraControl::Set"), 1);
    EXPECT_EQ(form->Label1.Caption(),
              "Model:Zoom Camera, tryb=640x480, zoom=" + std::to_string(CameraZoom()));
}

TEST_F(ZoomWindowStatus, NoCameraReadsEveryControlAsZeroManualAndSetSendsNothing) {
    WriteSettings("VCapSource=Nowhere,VCapModeWidth=320,VCapModeHeight=200");
    WriteStoredZoom("150");
    MakeForm(false);
    Activate();
    EXPECT_EQ(form->Label1.Caption(), "Model:Nowhere, tryb=320x200, zoom=0");
    for (int p = 0; p < kCameraPropertyCount; ++p) {
        EXPECT_EQ(form->FControls[p].Value, 0);
        EXPECT_TRUE(form->FControls[p].Manual);
        EXPECT_EQ(form->FControls[p].Name, PropertyName(static_cast<TCameraProperty>(p)));
    }
    for (int i = 0; i < 2; ++i) {  // every Set repeats the same steps
        host::ClickButton(*form, "Set");
        EXPECT_EQ(form->FCurrentZoom, 0);
        EXPECT_EQ(form->Label1.Caption(), "Model:Nowhere, tryb=320x200, zoom=0");
    }
    EXPECT_EQ(host::dshow::CallCount("IAMCameraControl::Set"), 0);
    EXPECT_EQ(CameraZoom(), 100);
}

TEST_F(ZoomWindowStatus, CameraWithoutZoomShowsZeroAndSetTouchesNoOtherControl) {
    host::dshow::DeviceConfig camera = ZoomCamera();
    camera.controls[3].reset();  // no Zoom control
    camera.controls[0] = host::dshow::CameraControlConfig{-180, 180, 1, 0, 45, 2, 3};
    host::dshow::UseDevices({camera});
    WriteSettings(kZoomCameraSettings);
    WriteStoredZoom("150");
    MakeForm(false);
    Activate();
    EXPECT_EQ(form->Label1.Caption(), "Model:Zoom Camera, tryb=640x480, zoom=0");
    EXPECT_EQ(form->FControls[3].Name, "");  // never filled
    EXPECT_EQ(form->FControls[0].Value, 45);
    host::ClickButton(*form, "Set");
    EXPECT_EQ(host::dshow::CallCount("IAMCameraControl::Set"), 0);
    EXPECT_EQ(host::dshow::ControlState(0, 0)->value, 45);  // Pan keeps its value
    EXPECT_EQ(form->Label1.Caption(), "Model:Zoom Camera, tryb=640x480, zoom=0");
}

TEST_F(ZoomWindowStatus, LaterActivationReadsSettingsAgainButKeepsTheFirstCamera) {
    WriteSettings(kZoomCameraSettings);
    MakeForm(false);
    Activate();
    const TVideoImage* video = form->Video();
    WriteSettings("VCapSource=#2,VCapModeWidth=$500,VCapModeHeight=0x2D0");
    Activate();
    EXPECT_EQ(form->Label1.Caption(), "Model:#2, tryb=1280x720, zoom=100");
    EXPECT_EQ(form->Video(), video);
    EXPECT_EQ(DeliveredFrameSize(), 320 * 240 * 2);  // still the Zoom Camera
}

TEST_F(ZoomWindowStatus, ZeroLengthSettingsGiveAnEmptyNameAndMode) {
    WriteSettings("");
    MakeForm(false);
    Activate();
    // An empty name opens the first device.
    EXPECT_EQ(form->Label1.Caption(), "Model:, tryb=0x0, zoom=100");
    EXPECT_EQ(DeliveredFrameSize(), 320 * 240 * 2);  // the Zoom Camera's 320 x 240 YUY2
}

}  // namespace
