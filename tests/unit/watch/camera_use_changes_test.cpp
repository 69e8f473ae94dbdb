#include "watch/camera_use_changes.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

CameraUseRecord InUse(const std::string& program, std::uint64_t start, bool allUsers = false) {
    CameraUseRecord record;
    record.program = program;
    record.allUsers = allUsers;
    record.lastStart = start;
    record.inUse = true;
    return record;
}

CameraUseRecord Ended(const std::string& program, std::uint64_t start, std::uint64_t stop,
                      bool allUsers = false) {
    CameraUseRecord record;
    record.program = program;
    record.allUsers = allUsers;
    record.lastStart = start;
    record.lastStop = stop;
    return record;
}

const std::string kStation = "C:\\Station\\station.exe";
const std::string kMeeting = "Contoso.Meeting_8wekyb3d8bbwe";

TEST(CameraUseChangesTest, StartsAndStops) {
    EXPECT_EQ(CameraUseChanges({}, {}), Lines{});
    EXPECT_EQ(CameraUseChanges({}, {InUse(kStation, 10)}),
              Lines{kStation + " started using the camera"});
    EXPECT_EQ(CameraUseChanges({Ended(kStation, 1, 2)}, {InUse(kStation, 10)}),
              Lines{kStation + " started using the camera"});
    EXPECT_EQ(CameraUseChanges({InUse(kStation, 10)}, {Ended(kStation, 10, 20)}),
              Lines{kStation + " stopped using the camera"});
    // A program that uninstalls while streaming takes its record with it.
    EXPECT_EQ(CameraUseChanges({InUse(kMeeting, 10)}, {}),
              Lines{kMeeting + " stopped using the camera"});
}

TEST(CameraUseChangesTest, NothingToSayWithoutAChangeOfUse) {
    EXPECT_EQ(CameraUseChanges({InUse(kStation, 10)}, {InUse(kStation, 10)}), Lines{});
    // A record that comes or goes while not in use, or a later stop time of an ended use.
    EXPECT_EQ(CameraUseChanges({}, {Ended(kStation, 1, 2)}), Lines{});
    EXPECT_EQ(CameraUseChanges({Ended(kStation, 1, 2)}, {}), Lines{});
    EXPECT_EQ(CameraUseChanges({Ended(kStation, 1, 2)}, {Ended(kStation, 1, 3)}), Lines{});
}

TEST(CameraUseChangesTest, ANewStartBetweenTwoReadingsIsAStopAndAStart) {
    EXPECT_EQ(
        CameraUseChanges({InUse(kStation, 10)}, {InUse(kStation, 30)}),
        (Lines{kStation + " stopped using the camera", kStation + " started using the camera"}));
}

TEST(CameraUseChangesTest, ProgramsAreToldApart) {
    EXPECT_EQ(
        CameraUseChanges({InUse(kStation, 10)}, {Ended(kStation, 10, 20), InUse(kMeeting, 15)}),
        (Lines{kStation + " stopped using the camera", kMeeting + " started using the camera"}));
}

TEST(CameraUseChangesTest, AProgramInBothTreesCountsOnce) {
    EXPECT_EQ(CameraUseChanges({}, {InUse(kStation, 10, false), InUse(kStation, 10, true)}),
              Lines{kStation + " started using the camera"});
    // Still in use while one of its records says so.
    EXPECT_EQ(CameraUseChanges({InUse(kStation, 10, false), InUse(kStation, 10, true)},
                               {Ended(kStation, 10, 20, false), InUse(kStation, 10, true)}),
              Lines{});
    EXPECT_EQ(CameraUseChanges({Ended(kStation, 10, 20, false), InUse(kStation, 10, true)},
                               {Ended(kStation, 10, 20, false), Ended(kStation, 10, 21, true)}),
              Lines{kStation + " stopped using the camera"});
}

}  // namespace
