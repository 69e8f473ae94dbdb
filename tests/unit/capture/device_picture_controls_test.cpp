// The station camera's controls reached without a graph: the capture graph's own device choice,
// nothing connected or run, everything released with the object.
#include "capture/device_picture_controls.h"

#include "capture_fixture.h"

namespace {

constexpr PictureControl kZoom = *PictureControlByKey("zoom");

class DevicePictureControlsTest : public CaptureTest {
  protected:
    // Cameras told apart by their zoom: camera i (from 0) is at zoom 100 + 10 i.
    void UseCameras(const std::vector<std::wstring>& names) {
        std::vector<dshow::DeviceConfig> devices;
        for (std::size_t i = 0; i < names.size(); ++i) {
            devices.push_back(Camera(names[i]));
            devices.back().controls[CameraControl_Zoom] =
                dshow::CameraControlConfig{100, 500, 1, 100, static_cast<LONG>(100 + 10 * i), 2, 2};
        }
        dshow::UseDevices(devices);
    }

    // The position (from 0) of the camera that `name` opens; -1 when none opens.
    static int Chosen(const std::string& name) {
        DevicePictureControls::Opening opening = DevicePictureControls::Open(name);
        if (!opening.controls) return -1;
        PictureControlState zoom;
        if (opening.controls->Read(kZoom, zoom) != S_OK) return -1;
        return (zoom.value - 100) / 10;
    }
};

TEST_F(DevicePictureControlsTest, ReadsAndSetsTheSelectedCameraWithoutAGraph) {
    UseCameras({L"Other Cam", L"Desk Cam"});
    dshow::ClearCallLog();
    {
        DevicePictureControls::Opening opening = DevicePictureControls::Open("  desk CAM ");
        ASSERT_EQ(opening.result, PictureControlsOpening::Opened);
        ASSERT_TRUE(opening.controls);
        PictureControlState zoom;
        EXPECT_EQ(opening.controls->Read(kZoom, zoom), S_OK);
        EXPECT_EQ(zoom.min, 100);
        EXPECT_EQ(zoom.max, 500);
        EXPECT_EQ(zoom.value, 110);
        EXPECT_EQ(zoom.flags, kCameraControlFlagsManual);
        EXPECT_EQ(opening.controls->Set(kZoom, 240, kCameraControlFlagsManual), S_OK);
    }
    EXPECT_EQ(dshow::ControlState(1, CameraControl_Zoom)->value, 240);
    EXPECT_EQ(dshow::ControlState(0, CameraControl_Zoom)->value, 100) << "the other camera";
    // No graph, no pin, no stream; and nothing is left alive (the fixture checks the rest).
    EXPECT_EQ(dshow::CallCount("CoCreateInstance(FilterGraph)"), 0);
    EXPECT_EQ(dshow::CallCount("IFilterGraph::AddFilter"), 0);
    EXPECT_EQ(dshow::CallCount("IMediaControl::Run"), 0);
    EXPECT_EQ(dshow::RunningStreams(), 0);
    EXPECT_EQ(dshow::LiveObjects(), 0);
}

TEST_F(DevicePictureControlsTest, ChoosesByTheCaptureGraphsRule) {
    UseCameras({L"Alpha", L"Beta", L"Gamma"});
    EXPECT_EQ(Chosen(""), 0);
    EXPECT_EQ(Chosen("#3"), 2);
    EXPECT_EQ(Chosen("beta"), 1);
    EXPECT_EQ(Chosen(" GAMMA\t"), 2);
    EXPECT_EQ(Chosen("#4"), -1);
    DevicePictureControls::Opening none = DevicePictureControls::Open("Delta");
    EXPECT_EQ(none.result, PictureControlsOpening::NoCamera);
    EXPECT_EQ(none.status, S_FALSE);
    EXPECT_FALSE(none.controls);
}

TEST_F(DevicePictureControlsTest, NoDeviceNoControlAndFailuresAreToldApart) {
    dshow::UseDevices({});
    DevicePictureControls::Opening noDevice = DevicePictureControls::Open("");
    EXPECT_EQ(noDevice.result, PictureControlsOpening::NoCamera);
    EXPECT_EQ(noDevice.status, E_FAIL);

    dshow::DeviceConfig plain = Camera(L"Plain");
    plain.cameraControl = false;
    plain.videoProcAmp = false;
    dshow::UseDevices({plain});
    DevicePictureControls::Opening noControl = DevicePictureControls::Open("Plain");
    EXPECT_EQ(noControl.result, PictureControlsOpening::NoControls);
    EXPECT_FALSE(noControl.controls);

    // Without the camera controls the video-processing ones still open the camera.
    dshow::DeviceConfig procAmpOnly = Camera(L"Plain");
    procAmpOnly.cameraControl = false;
    dshow::UseDevices({procAmpOnly});
    DevicePictureControls::Opening onlyProcAmp = DevicePictureControls::Open("Plain");
    EXPECT_EQ(onlyProcAmp.result, PictureControlsOpening::Opened);
    ASSERT_TRUE(onlyProcAmp.controls);
    EXPECT_FALSE(onlyProcAmp.controls->Offers(ControlInterface::CameraControl));
    EXPECT_TRUE(onlyProcAmp.controls->Offers(ControlInterface::VideoProcAmp));
    EXPECT_TRUE(onlyProcAmp.controls->Offers(ControlInterface::PowerLine));

    UseCameras({L"Desk Cam"});
    dshow::FailCall("IMoniker::BindToObject", E_OUTOFMEMORY);
    DevicePictureControls::Opening unbound = DevicePictureControls::Open("Desk Cam");
    EXPECT_EQ(unbound.result, PictureControlsOpening::NoCamera);
    EXPECT_EQ(unbound.status, E_OUTOFMEMORY);

    DevicePictureControls::Opening opened = DevicePictureControls::Open("Desk Cam");
    ASSERT_TRUE(opened.controls);
    dshow::FailCall("IAMCameraControl::GetRange", E_NOTIMPL);
    PictureControlState zoom;
    zoom.value = 77;
    EXPECT_EQ(opened.controls->Read(kZoom, zoom), E_NOTIMPL);
    EXPECT_EQ(zoom.value, 77) << "a failed reading writes nothing";
    EXPECT_EQ(opened.controls->Set(kZoom, 9999, kCameraControlFlagsManual), E_INVALIDARG);
}

}  // namespace
