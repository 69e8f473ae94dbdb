// The device-name rule alone: the lookup name and which device it selects.
#include <gtest/gtest.h>

#include <string>

#include "capture/device_name.h"

namespace {

TEST(DeviceLookupNameTest, TrimsCodesUpTo32AndMakesNothingTheFirstDevice) {
    EXPECT_EQ(DeviceLookupName(""), "#1");
    EXPECT_EQ(DeviceLookupName("   "), "#1");
    EXPECT_EQ(DeviceLookupName(std::string("\0\t\x01 \x1f\n", 6)), "#1");
    EXPECT_EQ(DeviceLookupName(" \tAlpha  Cam\r\n"), "Alpha  Cam");
    EXPECT_EQ(DeviceLookupName(std::string("\0Cam\0", 5)), "Cam");
    // 33 and above stay, also bytes above 127 (signed chars on both builds).
    EXPECT_EQ(DeviceLookupName("!Cam\x7f"), "!Cam\x7f");
    EXPECT_EQ(DeviceLookupName("\xa0"
                               "Cam\xff"),
              "\xa0"
              "Cam\xff");
}

TEST(MatchDeviceTest, EmptyNameSelectsOnlyTheFirstDevice) {
    const std::string lookup = DeviceLookupName("  ");
    EXPECT_EQ(MatchDevice(lookup, "Any Camera", 1), DeviceMatch::ByPosition);
    EXPECT_EQ(MatchDevice(lookup, "Any Camera", 2), DeviceMatch::None);
}

TEST(MatchDeviceTest, NamesMatchIgnoringSurroundingBlanksAndTheCaseOfAToZ) {
    EXPECT_EQ(MatchDevice("beta cam", "  Beta Cam\t", 2), DeviceMatch::ByName);
    EXPECT_EQ(MatchDevice(DeviceLookupName(" \tALPHA cam  "), "Alpha Cam", 1), DeviceMatch::ByName);
    EXPECT_EQ(MatchDevice("AZaz", "azAZ", 1), DeviceMatch::ByName);
    // Inner blanks count, and so does every other character.
    EXPECT_EQ(MatchDevice("Alpha Cam", "Alpha  Cam", 1), DeviceMatch::None);
    EXPECT_EQ(MatchDevice("Alpha Cam", "Alpha Cam 2", 1), DeviceMatch::None);
    EXPECT_EQ(MatchDevice("Alpha", "", 1), DeviceMatch::None);
}

TEST(MatchDeviceTest, OnlyAToZFold) {
    // e-acute and E-acute in the 8-bit text: different letters here.
    EXPECT_EQ(MatchDevice("CAM\xe9RA", "Cam\xe9ra", 3), DeviceMatch::ByName);
    EXPECT_EQ(MatchDevice("CAM\xc9RA", "Cam\xe9ra", 3), DeviceMatch::None);
    // The neighbours of the letters do not fold: '@' / '`' and '[' / '{'.
    EXPECT_EQ(MatchDevice("@[", "`{", 1), DeviceMatch::None);
}

TEST(MatchDeviceTest, HashAndOneCharacterSelectByPosition) {
    EXPECT_EQ(MatchDevice("#3", "Camera 3", 3), DeviceMatch::ByPosition);
    EXPECT_EQ(MatchDevice("#3", "Camera 3", 2), DeviceMatch::None);
    EXPECT_EQ(MatchDevice("#9", "Camera 9", 9), DeviceMatch::ByPosition);
    // The character's code minus 48: ':' is the tenth, '0' the position no device has.
    EXPECT_EQ(MatchDevice("#:", "Camera 10", 10), DeviceMatch::ByPosition);
    for (int position = 1; position <= 20; ++position) {
        EXPECT_EQ(MatchDevice("#0", "Camera", position), DeviceMatch::None);
    }
    // Bytes above 127 count by their unsigned code.
    EXPECT_EQ(MatchDevice("#\xff", "Camera", 255 - 48), DeviceMatch::ByPosition);
    // Below '0': a negative position, which no device has.
    EXPECT_EQ(MatchDevice("#!", "Camera", 1), DeviceMatch::None);
}

TEST(MatchDeviceTest, LongerHashNamesAreNoPosition) {
    EXPECT_EQ(MatchDevice("#12", "Camera 12", 12), DeviceMatch::None);
    EXPECT_EQ(MatchDevice("#12", "Camera 1", 1), DeviceMatch::None);
    EXPECT_EQ(MatchDevice("#12", " #12 ", 2), DeviceMatch::ByName);
    EXPECT_EQ(MatchDevice("#", "Camera", 1), DeviceMatch::None);
    EXPECT_EQ(MatchDevice("1", "Camera", 1), DeviceMatch::None);
}

TEST(MatchDeviceTest, ANameMatchIsReportedBeforeAPosition) {
    EXPECT_EQ(MatchDevice("#2", "#2", 2), DeviceMatch::ByName);
    EXPECT_EQ(MatchDevice("#2", "#2", 5), DeviceMatch::ByName);
}

}  // namespace
