#include "capture/device_list.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "unit/capture/capture_fixture.h"

namespace {

class DeviceListTest : public CaptureTest {};

TEST_F(DeviceListTest, NamesInEnumerationOrderWithoutBindingAFilter) {
    dshow::UseDevices({Camera(L"Desk Cam"), Camera(L" Document Camera "), Camera(L"Desk Cam")});
    std::vector<std::string> names = {"left over"};
    EXPECT_EQ(VideoInputDeviceNames(names), S_FALSE);
    EXPECT_EQ(names, (std::vector<std::string>{"Desk Cam", " Document Camera ", "Desk Cam"}));
    EXPECT_EQ(dshow::CallCount("IMoniker::BindToObject"), 0);
}

TEST_F(DeviceListTest, NoDeviceAtAllIsAFailureWithNoNames) {
    dshow::UseDevices({});
    std::vector<std::string> names;
    EXPECT_EQ(VideoInputDeviceNames(names), E_FAIL);
    EXPECT_TRUE(names.empty());
}

TEST_F(DeviceListTest, UnreadableNameEndsTheWalkThere) {
    dshow::DeviceConfig unreadable = Camera(L"Hidden");
    unreadable.friendlyNameReadable = false;
    dshow::UseDevices({Camera(L"First"), unreadable, Camera(L"Third")});
    std::vector<std::string> names;
    EXPECT_EQ(VideoInputDeviceNames(names), E_FAIL);
    EXPECT_EQ(names, (std::vector<std::string>{"First"}));
}

TEST_F(DeviceListTest, VisitorEndsTheWalkWithItsStatus) {
    dshow::UseDevices({Camera(L"A"), Camera(L"B"), Camera(L"C")});
    std::vector<int> positions;
    HRESULT hr = VisitVideoInputDevices(
        [&](IMoniker&, const std::string&, int position) -> std::optional<HRESULT> {
            positions.push_back(position);
            if (position == 2) return S_OK;
            return std::nullopt;
        });
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(positions, (std::vector<int>{1, 2}));
}

// Another process plugs a camera in: the next enumeration reads the devices file again.
TEST_F(DeviceListTest, EnumerationSeesTheDevicesFileChangedByOthers) {
    const std::string path = "/tmp/camzoom-device-list-" + std::to_string(getpid()) + ".ini";
    std::ofstream(path) << "[device]\nname = Other Cam\n";
    ASSERT_TRUE(dshow::UseDevicesFile(path));
    std::vector<std::string> names;
    VideoInputDeviceNames(names);
    EXPECT_EQ(names, (std::vector<std::string>{"Other Cam"}));

    std::ofstream(path) << "[device]\nname = Other Cam\n[device]\nname = Desk Cam\n";
    VideoInputDeviceNames(names);
    EXPECT_EQ(names, (std::vector<std::string>{"Other Cam", "Desk Cam"}));
    std::remove(path.c_str());
}

}  // namespace
