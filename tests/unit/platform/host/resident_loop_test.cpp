// The host resident loop's view of the camera-use records: a change of the records file beside
// the devices file is a CameraUseChanged, a change of any other file there is not.
#include "platform/resident_loop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/host/dshow/camera_use_file.h"
#include "platform/host/dshow/test_controls.h"

namespace {

namespace dshow = host::dshow;

class ResidentLoopRecordsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("camzoom-loop-" + std::to_string(getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        devicesFile_ = (folder_ / "devices.ini").string();
        std::ofstream(devicesFile_) << "[device]\nname = Loop Cam\n";
        dshow::ResetRuntime();
        ASSERT_TRUE(dshow::UseDevicesFile(devicesFile_));
        std::string error;
        loop_ = ResidentLoop::Create(
            "CamzoomTest", "Local\\camzoom-test-stop",
            [this](ResidentSignal signal) { signals_.push_back(signal); }, error);
        ASSERT_TRUE(loop_) << error;
    }

    void TearDown() override {
        loop_.reset();
        dshow::ResetRuntime();
        std::filesystem::remove_all(folder_);
    }

    // Waits up to `ms` for one signal.
    std::vector<ResidentSignal> WaitOnce(std::uint32_t ms) {
        signals_.clear();
        loop_->Wait(ms);
        return signals_;
    }

    std::filesystem::path folder_;
    std::string devicesFile_;
    std::unique_ptr<ResidentLoop> loop_;
    std::vector<ResidentSignal> signals_;
};

TEST_F(ResidentLoopRecordsTest, ARecordsChangeIsSignalled) {
    const std::string records = dshow::CameraUseFilePath(devicesFile_);
    // The file need not exist when the loop starts: its creation is the first change.
    ASSERT_FALSE(std::filesystem::exists(records));
    ASSERT_TRUE(dshow::RecordCameraUse(records, "/usr/bin/meeting", true, 100));
    EXPECT_EQ(WaitOnce(5000), std::vector<ResidentSignal>{ResidentSignal::CameraUseChanged});
    ASSERT_TRUE(dshow::RecordCameraUse(records, "/usr/bin/meeting", false, 200));
    EXPECT_EQ(WaitOnce(5000), std::vector<ResidentSignal>{ResidentSignal::CameraUseChanged});
    std::filesystem::remove(records);
    EXPECT_EQ(WaitOnce(5000), std::vector<ResidentSignal>{ResidentSignal::CameraUseChanged});
}

TEST_F(ResidentLoopRecordsTest, OtherFilesBesideThemAreNoChangeOfUse) {
    std::ofstream(devicesFile_) << "[device]\nname = Loop Cam\nzoom = 1 9 1 1 5 2 2\n";
    std::ofstream(folder_ / "devices.ini.camera1.lock") << "";
    EXPECT_TRUE(WaitOnce(300).empty());
    // ... and still a records change after them.
    ASSERT_TRUE(
        dshow::RecordCameraUse(dshow::CameraUseFilePath(devicesFile_), "/bin/cam", true, 100));
    EXPECT_EQ(WaitOnce(5000), std::vector<ResidentSignal>{ResidentSignal::CameraUseChanged});
}

}  // namespace
