// Device lookup by friendly name or "#n" position.
#include "capture_fixture.h"

namespace {

class DeviceSelectionTest : public CaptureTest {
  protected:
    // Devices told apart by their frame width: device i (from 0) is 100 + i pixels wide.
    static dshow::DeviceConfig Numbered(const std::wstring& name, int index) {
        dshow::DeviceConfig device = Camera(name);
        device.width = 100 + index;
        device.height = 100;
        return device;
    }

    void UseNamedDevices(const std::vector<std::wstring>& names) {
        std::vector<dshow::DeviceConfig> devices;
        for (std::size_t i = 0; i < names.size(); ++i) {
            devices.push_back(Numbered(names[i], static_cast<int>(i)));
        }
        dshow::UseDevices(devices);
    }

    // Position (1-based) of the device that `name` opens, 0 when StartCapture fails.
    static int SelectedPosition(const std::string& name, HRESULT* status = nullptr) {
        auto capture = Create();
        HRESULT hr = capture->StartCapture(name);
        if (status) *status = hr;
        if (FAILED(hr)) return 0;
        std::int32_t width = 0, height = 0;
        std::uint32_t compression = 0;
        if (capture->ReadCurrentFormat(width, height, compression) != S_OK) return -1;
        return width - 100 + 1;
    }
};

TEST_F(DeviceSelectionTest, EmptyOrBlankNameSelectsTheFirstDevice) {
    UseNamedDevices({L"Alpha", L"Beta"});
    EXPECT_EQ(SelectedPosition(""), 1);
    EXPECT_EQ(SelectedPosition("   "), 1);
    EXPECT_EQ(SelectedPosition(std::string("\t\x01 \x1f\n ", 6)), 1);
}

TEST_F(DeviceSelectionTest, NameIgnoresSurroundingBlanksAndCaseOfAsciiLetters) {
    UseNamedDevices({L"Alpha Cam", L"  Beta Cam\t", L"Cam\u00e9ra"});
    EXPECT_EQ(SelectedPosition("beta cam"), 2);
    EXPECT_EQ(SelectedPosition(" \tALPHA cam  "), 1);
    // Only a to z fold: the accented letter must match exactly.
    EXPECT_EQ(SelectedPosition("CAM\xe9RA"), 3);
    HRESULT status = S_OK;
    EXPECT_EQ(SelectedPosition("CAM\xc9RA", &status), 0);
    EXPECT_LT(status, 0);
}

TEST_F(DeviceSelectionTest, HashAndDigitSelectsByPosition) {
    std::vector<std::wstring> names;
    for (int i = 1; i <= 12; ++i) names.push_back(L"Camera " + std::to_wstring(i));
    UseNamedDevices(names);
    EXPECT_EQ(SelectedPosition("#3"), 3);
    EXPECT_EQ(SelectedPosition(" #9 "), 9);
    // ':' follows '9': the tenth device.
    EXPECT_EQ(SelectedPosition("#:"), 10);
    HRESULT status = S_OK;
    EXPECT_EQ(SelectedPosition("#0", &status), 0);
    EXPECT_LT(status, 0);
    // Not a position: only a device named so would match.
    EXPECT_EQ(SelectedPosition("#12", &status), 0);
    EXPECT_LT(status, 0);
}

TEST_F(DeviceSelectionTest, MultiCharacterHashNameMatchesByFriendlyName) {
    UseNamedDevices({L"One", L"#12", L"Three"});
    EXPECT_EQ(SelectedPosition("#12"), 2);
    // A position beyond the devices matches nothing.
    HRESULT status = S_OK;
    EXPECT_EQ(SelectedPosition("#5", &status), 0);
    EXPECT_LT(status, 0);
}

TEST_F(DeviceSelectionTest, NoVideoInputDeviceFailsWithEFail) {
    dshow::UseDevices({});
    auto capture = Create();
    EXPECT_EQ(capture->StartCapture(""), E_FAIL);
    EXPECT_EQ(dshow::CallCount("IEnumMoniker::Next"), 0);
    EXPECT_EQ(dshow::CallCount("IFilterGraph::AddFilter"), 0);
}

TEST_F(DeviceSelectionTest, NoMatchingDeviceFailsAndAddsNothingToTheGraph) {
    UseNamedDevices({L"Alpha", L"Beta"});
    auto capture = Create();
    EXPECT_LT(capture->StartCapture("Gamma"), 0);
    EXPECT_EQ(dshow::CallCount("IEnumMoniker::Next"), 3);
    EXPECT_EQ(dshow::CallCount("IMoniker::BindToObject"), 0);
    EXPECT_EQ(dshow::CallCount("IFilterGraph::AddFilter"), 0);
    EXPECT_EQ(dshow::CallCount("IMediaControl::Run"), 0);
}

TEST_F(DeviceSelectionTest, UnreadableFirstNameEndsTheSearch) {
    std::vector<dshow::DeviceConfig> devices = {Numbered(L"Alpha", 0), Numbered(L"Beta", 1)};
    devices[0].friendlyNameReadable = false;
    dshow::UseDevices(devices);
    auto capture = Create();
    EXPECT_EQ(capture->StartCapture("Beta"), E_FAIL);
    EXPECT_EQ(dshow::CallCount("IEnumMoniker::Next"), 1);
    EXPECT_EQ(dshow::CallCount("IMoniker::BindToObject"), 0);
}

TEST_F(DeviceSelectionTest, PlatformFailuresDuringTheSearchAreReturned) {
    UseNamedDevices({L"Alpha", L"Beta"});
    const HRESULT injected = MakeHostStatus(0x80070005);
    struct Case {
        const char* call;
        int skip;
    } cases[] = {
        {"CoCreateInstance", 0},  // the device enumerator
        {"ICreateDevEnum::CreateClassEnumerator", 0},
        {"IEnumMoniker::Next", 1},
        {"IMoniker::BindToStorage", 0},
        {"IPropertyBag::Read", 1},
        {"IMoniker::BindToObject", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        dshow::ClearCallLog();
        auto capture = Create();
        dshow::FailCall(c.call, injected, c.skip);
        EXPECT_EQ(capture->StartCapture("Beta"), injected);
        EXPECT_EQ(dshow::CallCount("IFilterGraph::AddFilter"), 0);
    }
}

TEST_F(DeviceSelectionTest, ExceptionDuringTheSearchGivesEFail) {
    UseNamedDevices({L"Alpha", L"Beta"});
    for (const char* call :
         {"IEnumMoniker::Next", "IPropertyBag::Read", "IMoniker::BindToObject"}) {
        SCOPED_TRACE(call);
        auto capture = Create();
        dshow::ThrowInCall(call);
        EXPECT_EQ(capture->StartCapture("Beta"), E_FAIL);
    }
}

TEST_F(DeviceSelectionTest, FailingDeviceEnumeratorCreationOrEmptyNextEndTheSearch) {
    UseNamedDevices({L"Alpha"});
    auto capture = Create();
    // 1 from Next means the devices ran out: no device, and StartCapture fails.
    dshow::FailCall("IEnumMoniker::Next", S_FALSE);
    EXPECT_LT(capture->StartCapture("Alpha"), 0);
    EXPECT_EQ(dshow::CallCount("IFilterGraph::AddFilter"), 0);
}

}  // namespace
