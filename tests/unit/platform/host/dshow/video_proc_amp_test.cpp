// The host camera's video-processing controls and power-line frequency: their ranges and modes,
// refused settings, the devices file that keeps them and shares them between programs, the reset
// at a stream's start, the interfaces a device may lack, and the picture that shows them.
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/com_ptr.h"
#include "platform/host/dshow/runtime.h"
#include "unit/capture/devices_file_fixture.h"

namespace {

constexpr PictureControl kBrightness = *PictureControlByKey("brightness");
constexpr PictureControl kContrast = *PictureControlByKey("contrast");
constexpr PictureControl kWhiteBalance = *PictureControlByKey("whitebalance");
constexpr PictureControl kPowerLine = *PictureControlByKey("powerlinefrequency");

class VideoProcAmpTest : public DevicesFileTest {
  protected:
    // "Proc Cam": brightness -64..64 at 10 (default 0), white balance 2800..6500 at 4000 in
    // manual mode though it can be automatic, power line 0..2 at 2 (default 1).
    void WriteDevices(const std::string& extra = "") {
        UseDevicesText(
            "[device]\nname = Proc Cam\nframe_interval_ms = 5\n"
            "brightness = -64 64 1 0 10 2 2\nwhitebalance = 2800 6500 10 4600 4000 2 3\n"
            "powerlinefrequency = 0 2 1 1 2 2 2\n" +
            extra);
    }

    static PictureControlState Read(TVideoSample& capture, const PictureControl& control,
                                    HRESULT expected = S_OK) {
        PictureControlState state;
        EXPECT_EQ(capture.GetPictureSetting(control, state), expected) << control.name;
        return state;
    }
};

TEST_F(VideoProcAmpTest, DefaultDeviceHasEveryControlInAWebcamsRanges) {
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture("host virtual camera"), S_OK);
    for (const PictureControl& control : kPictureControls) Read(*capture, control);
    const PictureControlState brightness = Read(*capture, kBrightness);
    EXPECT_EQ(brightness.min, -64);
    EXPECT_EQ(brightness.max, 64);
    EXPECT_EQ(brightness.value, 0);
    EXPECT_EQ(brightness.flags, kCameraControlFlagsManual);
    const PictureControlState balance = Read(*capture, kWhiteBalance);
    EXPECT_EQ(balance.min, 2800);
    EXPECT_EQ(balance.max, 6500);
    EXPECT_EQ(balance.step, 10);
    EXPECT_EQ(balance.flags, kCameraControlFlagsAuto);
    EXPECT_EQ(balance.capsFlags, kCameraControlFlagsAuto | kCameraControlFlagsManual);
    const PictureControlState powerLine = Read(*capture, kPowerLine);
    EXPECT_EQ(powerLine.min, 0);
    EXPECT_EQ(powerLine.max, 2);
    EXPECT_EQ(powerLine.value, 1) << "50 Hz";
}

TEST_F(VideoProcAmpTest, SettingsOutOfRangeOrInAModeTheControlLacksAreRefused) {
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture(""), S_OK);
    EXPECT_EQ(capture->SetPictureSetting(kBrightness, 65, kCameraControlFlagsManual), E_INVALIDARG);
    EXPECT_EQ(capture->SetPictureSetting(kBrightness, -65, kCameraControlFlagsManual),
              E_INVALIDARG);
    EXPECT_EQ(capture->SetPictureSetting(kContrast, 50, kCameraControlFlagsAuto), E_INVALIDARG)
        << "contrast has no automatic mode";
    EXPECT_EQ(capture->SetPictureSetting(kPowerLine, 3, kCameraControlFlagsManual), E_INVALIDARG);
    EXPECT_EQ(dshow::ProcAmpState(0, VideoProcAmp_Brightness)->value, 0);
    EXPECT_EQ(dshow::PowerLineState(0)->value, 1);

    EXPECT_EQ(capture->SetPictureSetting(kBrightness, -64, kCameraControlFlagsManual), S_OK);
    EXPECT_EQ(capture->SetPictureSetting(kWhiteBalance, 3200, kCameraControlFlagsManual), S_OK);
    EXPECT_EQ(capture->SetPictureSetting(kPowerLine, 2, kCameraControlFlagsManual), S_OK);
    EXPECT_EQ(dshow::ProcAmpState(0, VideoProcAmp_Brightness)->value, -64);
    EXPECT_EQ(dshow::ProcAmpState(0, VideoProcAmp_WhiteBalance)->value, 3200);
    EXPECT_EQ(dshow::ProcAmpState(0, VideoProcAmp_WhiteBalance)->flags, kCameraControlFlagsManual);
    EXPECT_EQ(Read(*capture, kPowerLine).value, 2);
    EXPECT_EQ(capture->SetPictureSetting(kWhiteBalance, 3200, kCameraControlFlagsAuto), S_OK);
    EXPECT_EQ(Read(*capture, kWhiteBalance).flags, kCameraControlFlagsAuto);
}

TEST_F(VideoProcAmpTest, TheDevicesFileKeepsThemAndSharesThemBetweenPrograms) {
    WriteDevices();
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture("proc cam"), S_OK);
    EXPECT_EQ(Read(*capture, kBrightness).value, 10);
    const PictureControlState balance = Read(*capture, kWhiteBalance);
    EXPECT_EQ(balance.value, 4000);
    EXPECT_EQ(balance.flags, kCameraControlFlagsManual);
    EXPECT_EQ(Read(*capture, kPowerLine).value, 2);
    Read(*capture, kContrast, MakeHostStatus(0x80070490));  // not configured

    EXPECT_EQ(capture->SetPictureSetting(kBrightness, 33, kCameraControlFlagsManual), S_OK);
    EXPECT_EQ(capture->SetPictureSetting(kPowerLine, 0, kCameraControlFlagsManual), S_OK);
    const std::string written = DevicesText();
    EXPECT_NE(written.find("brightness = -64 64 1 0 33 2 2"), std::string::npos) << written;
    EXPECT_NE(written.find("powerlinefrequency = 0 2 1 1 0 2 2"), std::string::npos) << written;
    EXPECT_NE(written.find("whitebalance = 2800 6500 10 4600 4000 2 3"), std::string::npos);

    // Another program changes the camera: this one reads the change.
    std::string changed = written;
    changed.replace(changed.find("brightness = -64 64 1 0 33 2 2"), 30,
                    "brightness = -64 64 1 0 -7 2 2");
    {
        std::ofstream out(devicesFile_);
        out << changed;
    }
    EXPECT_EQ(Read(*capture, kBrightness).value, -7);
    EXPECT_EQ(Read(*capture, kPowerLine).value, 0);
}

TEST_F(VideoProcAmpTest, ResetOnStartCoversThemToo) {
    WriteDevices("reset_on_start = yes\n");
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture("proc cam"), S_OK);
    EXPECT_EQ(Read(*capture, kBrightness).value, 0);
    const PictureControlState balance = Read(*capture, kWhiteBalance);
    EXPECT_EQ(balance.value, 4600);
    EXPECT_EQ(balance.flags, kCameraControlFlagsAuto) << "automatic where the control can be";
    EXPECT_EQ(Read(*capture, kPowerLine).value, 1);
}

TEST_F(VideoProcAmpTest, ADeviceMayLackTheInterfacesOrThePowerLine) {
    dshow::DeviceConfig none = Camera(L"None");
    none.videoProcAmp = false;
    dshow::DeviceConfig noPowerLine = Camera(L"No Power Line");
    noPowerLine.powerLine.reset();
    dshow::UseDevices({none, noPowerLine});
    const auto offered = [](std::size_t device, REFIID iid) {
        ComPtr<IBaseFilter> filter;
        filter.Attach(dshow::NewDeviceFilter(dshow::CurrentDevices()[device]));
        ComPtr<IUnknown> face;
        return filter->QueryInterface(iid, reinterpret_cast<void**>(face.Put())) == S_OK;
    };
    EXPECT_FALSE(offered(0, IID_IAMVideoProcAmp));
    EXPECT_FALSE(offered(0, IID_IKsPropertySet));
    EXPECT_TRUE(offered(0, IID_IAMCameraControl));
    EXPECT_TRUE(offered(1, IID_IAMVideoProcAmp));
    EXPECT_FALSE(offered(1, IID_IKsPropertySet));

    // The devices file keeps all of it.
    std::optional<std::vector<dshow::DeviceConfig>> parsed =
        dshow::ParseDevicesText(dshow::FormatDevicesText({none, dshow::DefaultDevice()}));
    ASSERT_TRUE(parsed);
    ASSERT_EQ(parsed->size(), 2u);
    EXPECT_FALSE((*parsed)[0].videoProcAmp);
    EXPECT_TRUE((*parsed)[1].videoProcAmp);
    for (std::size_t i = 0; i < 10; ++i) {
        ASSERT_TRUE((*parsed)[1].procAmp[i]) << i;
        EXPECT_EQ((*parsed)[1].procAmp[i]->max, dshow::DefaultDevice().procAmp[i]->max) << i;
    }
    EXPECT_EQ((*parsed)[1].powerLine->value, 1);
    EXPECT_FALSE(dshow::ParseDevicesText("[device]\ngain = 0 100 1 0\n")) << "six numbers";
}

TEST_F(VideoProcAmpTest, ThePowerLinePropertyAnswersOnlyForItsSetAndNumber) {
    dshow::UseDevices({Camera(L"Cam")});
    ComPtr<IBaseFilter> filter;
    filter.Attach(dshow::NewDeviceFilter(dshow::CurrentDevices()[0]));
    ComPtr<IKsPropertySet> properties;
    ASSERT_EQ(
        filter->QueryInterface(IID_IKsPropertySet, reinterpret_cast<void**>(properties.Put())),
        S_OK);
    DWORD support = 0;
    EXPECT_EQ(properties->QuerySupported(IID_IAMVideoProcAmp, 13, &support), S_OK);
    EXPECT_EQ(support, KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET);
    EXPECT_LT(properties->QuerySupported(IID_IAMVideoProcAmp, 12, &support), 0);
    EXPECT_LT(properties->QuerySupported(IID_IAMCameraControl, 13, &support), 0);

    KSPROPERTY_VIDEOPROCAMP_S property{};
    DWORD returned = 0;
    EXPECT_EQ(properties->Get(IID_IAMVideoProcAmp, 13, nullptr, 0, &property, sizeof property - 1,
                              &returned),
              E_INVALIDARG)
        << "too small for the property's data";
    EXPECT_EQ(
        properties->Get(IID_IAMVideoProcAmp, 13, nullptr, 0, &property, sizeof property, &returned),
        S_OK);
    EXPECT_EQ(property.Value, 1);
    EXPECT_EQ(returned, sizeof property);
    property.Value = 2;
    EXPECT_EQ(properties->Set(IID_IAMVideoProcAmp, 13, nullptr, 0, &property, sizeof property),
              S_OK);
    EXPECT_EQ(dshow::PowerLineState(0)->value, 2);
    property.Value = 7;
    EXPECT_EQ(properties->Set(IID_IAMVideoProcAmp, 13, nullptr, 0, &property, sizeof property),
              E_INVALIDARG);
    EXPECT_EQ(dshow::PowerLineState(0)->value, 2);
}

// The live picture follows the controls: brighter frames after the brightness goes up.
TEST_F(VideoProcAmpTest, TheStreamedPictureShowsTheBrightness) {
    std::mutex mutex;
    std::vector<BYTE> last;
    std::atomic<int> frames{0};
    dshow::SetFrameObserver([&](const BYTE* buffer, LONG size) {
        std::lock_guard lock(mutex);
        last.assign(buffer, buffer + size);
        ++frames;
    });
    // Mean luma of the latest frame once a new one arrived (YUY2: every other byte).
    const auto meanLuma = [&] {
        const int seen = frames.load();
        EXPECT_TRUE(PumpUntil([&] { return frames.load() > seen + 1; }));
        std::lock_guard lock(mutex);
        double sum = 0;
        for (std::size_t i = 0; i < last.size(); i += 2) sum += last[i];
        return sum / static_cast<double>(last.size() / 2);
    };
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture(""), S_OK);
    const double before = meanLuma();
    ASSERT_EQ(capture->SetPictureSetting(kBrightness, 48, kCameraControlFlagsManual), S_OK);
    EXPECT_GT(meanLuma(), before + 20);
    capture.reset();
    dshow::SetFrameObserver(nullptr);
}

}  // namespace
