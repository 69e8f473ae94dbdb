// The station camera's controls reached without a graph: the capture graph's own device choice,
// nothing connected or run, everything released with the object.
#include "capture/camera_controls.h"

#include "capture_fixture.h"

namespace {

class CameraControlsTest : public CaptureTest {
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
        DeviceCameraControls::Opening opening = DeviceCameraControls::Open(name);
        if (!opening.controls) return -1;
        CameraControlState zoom;
        if (opening.controls->Read(CameraControl_Zoom, zoom) != S_OK) return -1;
        return (zoom.value - 100) / 10;
    }
};

TEST_F(CameraControlsTest, ReadsAndSetsTheSelectedCameraWithoutAGraph) {
    UseCameras({L"Other Cam", L"Desk Cam"});
    dshow::ClearCallLog();
    {
        DeviceCameraControls::Opening opening = DeviceCameraControls::Open("  desk CAM ");
        ASSERT_EQ(opening.result, CameraControlsOpening::Opened);
        ASSERT_TRUE(opening.controls);
        CameraControlState zoom;
        EXPECT_EQ(opening.controls->Read(CameraControl_Zoom, zoom), S_OK);
        EXPECT_EQ(zoom.min, 100);
        EXPECT_EQ(zoom.max, 500);
        EXPECT_EQ(zoom.value, 110);
        EXPECT_EQ(zoom.flags, kCameraControlFlagsManual);
        EXPECT_EQ(opening.controls->Set(CameraControl_Zoom, 240, kCameraControlFlagsManual), S_OK);
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

TEST_F(CameraControlsTest, ChoosesByTheCaptureGraphsRule) {
    UseCameras({L"Alpha", L"Beta", L"Gamma"});
    EXPECT_EQ(Chosen(""), 0);
    EXPECT_EQ(Chosen("#3"), 2);
    EXPECT_EQ(Chosen("beta"), 1);
    EXPECT_EQ(Chosen(" GAMMA\t"), 2);
    EXPECT_EQ(Chosen("#4"), -1);
    DeviceCameraControls::Opening none = DeviceCameraControls::Open("Delta");
    EXPECT_EQ(none.result, CameraControlsOpening::NoCamera);
    EXPECT_EQ(none.status, S_FALSE);
    EXPECT_FALSE(none.controls);
}

TEST_F(CameraControlsTest, NoDeviceNoControlAndFailuresAreToldApart) {
    dshow::UseDevices({});
    DeviceCameraControls::Opening noDevice = DeviceCameraControls::Open("");
    EXPECT_EQ(noDevice.result, CameraControlsOpening::NoCamera);
    EXPECT_EQ(noDevice.status, E_FAIL);

    dshow::DeviceConfig plain = Camera(L"Plain");
    plain.cameraControl = false;
    dshow::UseDevices({plain});
    DeviceCameraControls::Opening noControl = DeviceCameraControls::Open("Plain");
    EXPECT_EQ(noControl.result, CameraControlsOpening::NoCameraControl);
    EXPECT_FALSE(noControl.controls);

    UseCameras({L"Desk Cam"});
    dshow::FailCall("IMoniker::BindToObject", E_OUTOFMEMORY);
    DeviceCameraControls::Opening unbound = DeviceCameraControls::Open("Desk Cam");
    EXPECT_EQ(unbound.result, CameraControlsOpening::NoCamera);
    EXPECT_EQ(unbound.status, E_OUTOFMEMORY);

    DeviceCameraControls::Opening opened = DeviceCameraControls::Open("Desk Cam");
    ASSERT_TRUE(opened.controls);
    dshow::FailCall("IAMCameraControl::GetRange", E_NOTIMPL);
    CameraControlState zoom;
    zoom.value = 77;
    EXPECT_EQ(opened.controls->Read(CameraControl_Zoom, zoom), E_NOTIMPL);
    EXPECT_EQ(zoom.value, 77) << "a failed reading writes nothing";
    EXPECT_EQ(opened.controls->Set(CameraControl_Zoom, 9999, kCameraControlFlagsManual),
              E_INVALIDARG);
}

}  // namespace
