#include "watch/station_camera.h"

#include <gtest/gtest.h>

namespace {

TEST(StationCamera, FoundByTheToolsOwnNameRule) {
    const std::vector<std::string> devices = {"Integrated Webcam", " USB Camera ", "Desk Cam"};
    EXPECT_TRUE(ListHoldsStationCamera(devices, "Desk Cam"));
    EXPECT_TRUE(ListHoldsStationCamera(devices, "  desk cam\t"));
    EXPECT_TRUE(ListHoldsStationCamera(devices, "usb camera"));
    EXPECT_FALSE(ListHoldsStationCamera(devices, "Desk"));
    EXPECT_FALSE(ListHoldsStationCamera(devices, "Desk  Cam"));
}

TEST(StationCamera, ByPositionAndEmptyName) {
    const std::vector<std::string> two = {"A", "B"};
    EXPECT_TRUE(ListHoldsStationCamera(two, "#2"));
    EXPECT_FALSE(ListHoldsStationCamera(two, "#3"));
    EXPECT_TRUE(ListHoldsStationCamera(two, ""));
    EXPECT_TRUE(ListHoldsStationCamera(two, "   "));
    EXPECT_FALSE(ListHoldsStationCamera({}, ""));
    EXPECT_FALSE(ListHoldsStationCamera({}, "Desk Cam"));
}

}  // namespace
