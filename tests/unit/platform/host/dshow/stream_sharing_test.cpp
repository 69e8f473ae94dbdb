// The host capture runtime as a camera that several programs share through one devices file:
// one stream at a time, the controls usable meanwhile, the reset at a stream's start and the
// camera-use records.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/camera_use.h"
#include "platform/host/dshow/camera_use_file.h"
#include "platform/host/dshow/stream_claim.h"
#include "unit/capture/devices_file_fixture.h"

namespace {

constexpr HRESULT kDeviceBusy = MakeHostStatus(0x800705AA);

class StreamSharingTest : public DevicesFileTest {
  protected:
    // One camera, "Shared Cam": zoom 100..500 at 250 (default 100, manual), focus 0..250 at 40
    // in manual mode though it can be automatic; `extra` lines are added to its section.
    void WriteDevices(const std::string& extra = "") {
        UseDevicesText(
            "[device]\nname = Shared Cam\nframe_interval_ms = 5\n"
            "zoom = 100 500 1 100 250 2 2\nfocus = 0 250 5 0 40 2 3\n" +
            extra);
    }

    static std::int32_t Value(TVideoSample& capture, int control, std::int32_t* flags = nullptr) {
        std::int32_t min = 0, max = 0, step = 0, def = 0, mode = 0, value = 0;
        EXPECT_EQ(capture.GetCameraSetting(control, min, max, step, def, mode, value), S_OK);
        if (flags) *flags = mode;
        return value;
    }

    std::string RecordsFile() const { return dshow::CameraUseFilePath(devicesFile_); }
};

TEST_F(StreamSharingTest, OneStreamAtATimeWhileTheControlsStayUsable) {
    WriteDevices();
    auto first = Create();
    ASSERT_EQ(first->StartCapture("shared cam"), S_OK);

    auto second = Create();
    EXPECT_EQ(second->StartCapture("shared cam"), kDeviceBusy);
    // The second user still reaches the camera's controls, and the camera keeps what it set.
    EXPECT_EQ(second->SetCameraSetting(CameraControl_Zoom, 321, CameraControl_Flags_Manual), S_OK);
    EXPECT_EQ(Value(*first, CameraControl_Zoom), 321);
    second.reset();
    EXPECT_EQ(Value(*first, CameraControl_Zoom), 321) << "a refused user takes nothing away";

    first.reset();
    auto third = Create();
    EXPECT_EQ(third->StartCapture("shared cam"), S_OK) << "free again once the first has gone";
}

TEST_F(StreamSharingTest, DevicesInMemoryAreNotShared) {
    // A test's own devices belong to no file, so no other program can hold them.
    auto first = Create();
    ASSERT_EQ(first->StartCapture("host virtual camera"), S_OK);
    auto second = Create();
    EXPECT_EQ(second->StartCapture("host virtual camera"), S_OK);
}

TEST_F(StreamSharingTest, AnotherProcessFindsTheStreamClaimed) {
    WriteDevices();
    // The other process only tries the claim: it runs nothing of the runtime, whose threads a
    // fork does not take along.
    const auto claimedInChild = [&]() {
        const pid_t child = fork();
        if (child == 0) {
            auto claim = dshow::StreamClaim::TryClaim(devicesFile_, 0);
            _exit(claim ? 1 : 0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 1;
    };
    EXPECT_TRUE(claimedInChild()) << "nobody streams yet";
    auto first = Create();
    ASSERT_EQ(first->StartCapture("shared cam"), S_OK);
    EXPECT_TRUE(std::filesystem::exists(dshow::StreamClaim::LockFilePath(devicesFile_, 0)));
    EXPECT_FALSE(claimedInChild());
    first.reset();
    EXPECT_TRUE(claimedInChild());
}

TEST_F(StreamSharingTest, ResetOnStartPutsEveryControlBackToItsDefault) {
    WriteDevices("reset_on_start = yes\n");
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture("shared cam"), S_OK);
    std::int32_t focusMode = 0;
    EXPECT_EQ(Value(*capture, CameraControl_Zoom), 100);
    EXPECT_EQ(Value(*capture, CameraControl_Focus, &focusMode), 0);
    EXPECT_EQ(focusMode, CameraControl_Flags_Auto) << "automatic where the control can be";
    // Settings made while streaming stay until the next start.
    EXPECT_EQ(capture->SetCameraSetting(CameraControl_Zoom, 300, CameraControl_Flags_Manual), S_OK);
    EXPECT_EQ(Value(*capture, CameraControl_Zoom), 300);
    capture.reset();
    // The camera keeps the reset values for whoever reads the devices file next.
    std::ifstream in(devicesFile_);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("zoom = 100 500 1 100 300 2 2"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("reset_on_start = yes"), std::string::npos);
}

TEST_F(StreamSharingTest, WithoutResetTheControlsKeepTheirValues) {
    WriteDevices();
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture("shared cam"), S_OK);
    std::int32_t focusMode = 0;
    EXPECT_EQ(Value(*capture, CameraControl_Zoom), 250);
    EXPECT_EQ(Value(*capture, CameraControl_Focus, &focusMode), 40);
    EXPECT_EQ(focusMode, CameraControl_Flags_Manual);
}

TEST_F(StreamSharingTest, StreamsLeaveCameraUseRecords) {
    WriteDevices();
    EXPECT_TRUE(ReadCameraUseRecords().empty());
    const std::uint64_t before = dshow::FileTimeNow();
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture("shared cam"), S_OK);
    auto records = ReadCameraUseRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].program, dshow::ThisProgramPath());
    EXPECT_TRUE(records[0].inUse);
    EXPECT_GE(records[0].lastStart, before);
    EXPECT_EQ(records[0].lastStop, 0u);

    capture.reset();
    records = ReadCameraUseRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_FALSE(records[0].inUse);
    EXPECT_GE(records[0].lastStop, records[0].lastStart);

    // The next stream of the same program updates its one record.
    auto again = Create();
    ASSERT_EQ(again->StartCapture("shared cam"), S_OK);
    records = ReadCameraUseRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(records[0].inUse);
}

TEST_F(StreamSharingTest, RecordsCanBeSwitchedOff) {
    WriteDevices("use_records = no\n");
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture("shared cam"), S_OK);
    capture.reset();
    EXPECT_FALSE(std::filesystem::exists(RecordsFile()));
    EXPECT_TRUE(ReadCameraUseRecords().empty());
}

TEST(CameraUseFileTest, RecordsOfSeveralProgramsAndTheirText) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("camzoom-use-" + std::to_string(getpid())))
            .string();
    std::filesystem::remove(path);
    EXPECT_FALSE(dshow::ReadCameraUseFile(path).has_value());
    EXPECT_TRUE(dshow::RecordCameraUse(path, "/opt/station app/run", true, 1000));
    EXPECT_TRUE(dshow::RecordCameraUse(path, "/usr/bin/meeting", true, 2000));
    EXPECT_TRUE(dshow::RecordCameraUse(path, "/opt/station app/run", false, 3000));
    // A stop of a program without a record leaves none.
    EXPECT_TRUE(dshow::RecordCameraUse(path, "/usr/bin/other", false, 4000));
    const auto records = dshow::ReadCameraUseFile(path);
    ASSERT_TRUE(records.has_value());
    ASSERT_EQ(records->size(), 2u);
    EXPECT_EQ((*records)[0].program, "/opt/station app/run");
    EXPECT_EQ((*records)[0].lastStart, 1000u);
    EXPECT_EQ((*records)[0].lastStop, 3000u);
    EXPECT_FALSE((*records)[0].inUse);
    EXPECT_EQ((*records)[1].program, "/usr/bin/meeting");
    EXPECT_TRUE((*records)[1].inUse);
    std::filesystem::remove(path);

    // Lines that are no record are passed over.
    const auto parsed = dshow::ParseCameraUseText("# note\n12 0 /a b\nx 0 /c\n5 6\n\n7 8 /d\n");
    ASSERT_EQ(parsed.size(), 2u);
    EXPECT_EQ(parsed[0].program, "/a b");
    EXPECT_TRUE(parsed[0].inUse);
    EXPECT_EQ(parsed[1].program, "/d");
    EXPECT_FALSE(parsed[1].inUse);
    EXPECT_EQ(dshow::ParseCameraUseText(dshow::FormatCameraUseText(parsed)).size(), 2u);
}

}  // namespace
