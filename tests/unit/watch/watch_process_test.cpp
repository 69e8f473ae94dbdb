// The host keeper as a program: started in a folder of its own with a simulated camera, it puts
// the stored zoom on the camera itself, through the camera controls; a second start ends at once;
// "--stop" ends the first.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include "capture/VSample.h"
#include "platform/com_apartment.h"
#include "platform/host/dshow/test_controls.h"
#include "platform/host/message_queue.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Generous: the sanitizer builds start slowly. Nothing is timed, only bounded.
bool WaitFor(const std::function<bool()>& condition, std::chrono::seconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

class WatchProcessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        work_ = fs::temp_directory_path() / ("camzoom-watch-" + std::to_string(getpid()));
        fs::remove_all(work_);
        fs::create_directories(work_ / "data");
        fs::copy_file(CAMZOOM_HOST_TOOL, work_ / "camzoom");
        fs::copy_file(CAMZOOM_HOST_WATCH, work_ / "camzoom_watch");
        const std::string text = "\"VCapSource=Desk Cam\",VCapModeWidth=640,VCapModeHeight=480";
        std::ofstream dat(work_ / "config.dat", std::ios::binary);
        const auto length = static_cast<std::uint32_t>(text.size());
        const char prefix[4] = {static_cast<char>(length & 0xFF), 0, 0, 0};
        dat.write(prefix, 4);
        dat << text;
        dat.close();
        std::ofstream(work_ / "config.ini") << "[options]\nzoom=250\n";
        std::ofstream(work_ / "camzoom-devices.ini") << "[device]\n"
                                                        "name = Other Cam\n"
                                                        "[device]\n"
                                                        "name = Desk Cam\n"
                                                        "size = 640x480\n"
                                                        "format = YUY2\n"
                                                        "zoom = 100 500 1 100 100 2 3\n";
        // The keeper's environment: its data folder here, the cameras beside the programs.
        for (char** entry = environ; *entry != nullptr; ++entry) {
            if (std::strncmp(*entry, "CAMZOOM_HOST_DEVICES=", 21) == 0) continue;
            if (std::strncmp(*entry, "CAMZOOM_LOCAL_APPDATA=", 22) == 0) continue;
            if (std::strncmp(*entry, "CAMZOOM_EVENT_LOG_DIR=", 22) == 0) continue;
            environment_.push_back(*entry);
        }
        environment_.push_back("CAMZOOM_LOCAL_APPDATA=" + (work_ / "data").string());
    }

    void TearDown() override {
        for (pid_t pid : started_) {
            if (waitpid(pid, nullptr, WNOHANG) == 0) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
        }
        fs::remove_all(work_);
    }

    pid_t StartWatch(const std::vector<std::string>& arguments = {}) {
        std::vector<std::string> texts = {(work_ / "camzoom_watch").string()};
        texts.insert(texts.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& text : texts) argv.push_back(text.data());
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& entry : environment_) envp.push_back(entry.data());
        envp.push_back(nullptr);
        pid_t pid = -1;
        EXPECT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()), 0);
        started_.push_back(pid);
        return pid;
    }

    // The exit code, or -1 when the process has not ended within the bound.
    int WaitForExit(pid_t pid, std::chrono::seconds limit) {
        int status = 0;
        if (!WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, limit)) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    std::string Log() const { return Contents(work_ / "data" / "camzoom" / "watch.log"); }
    bool LogHas(const std::string& part) const { return Log().find(part) != std::string::npos; }

    fs::path work_;
    std::vector<std::string> environment_;
    std::vector<pid_t> started_;
};

TEST_F(WatchProcessTest, AppliesTheStoredZoomAtStartAndStopsOnRequest) {
    // The event source is registered: the start goes to the event log as well.
    fs::create_directories(work_ / "data" / "event-log" / "sources");
    std::ofstream(work_ / "data" / "event-log" / "sources" / "camzoom").close();
    const pid_t watch = StartWatch();
    ASSERT_TRUE(WaitFor([&] { return LogHas("at start: the camera's zoom was 100; set to 250"); },
                        std::chrono::seconds(60)))
        << Log();
    EXPECT_TRUE(LogHas("started\n"));
    EXPECT_TRUE(LogHas("the station's camera \"Desk Cam\" is here")) << Log();
    // The keeper set the zoom without the tool, and the camera keeps it.
    EXPECT_NE(Contents(work_ / "camzoom-devices.ini").find("zoom = 100 500 1 100 250 "),
              std::string::npos)
        << Contents(work_ / "camzoom-devices.ini");

    EXPECT_EQ(Contents(work_ / "data" / "event-log" / "Application.log"),
              "information\tcamzoom\t1\tstarted\n");

    // A second start ends at once and leaves the first running.
    const pid_t second = StartWatch();
    EXPECT_EQ(WaitForExit(second, std::chrono::seconds(30)), 0);
    EXPECT_TRUE(LogHas("already running")) << Log();
    EXPECT_EQ(waitpid(watch, nullptr, WNOHANG), 0) << "the first keeper still runs";

    const pid_t stop = StartWatch({"--stop"});
    EXPECT_EQ(WaitForExit(stop, std::chrono::seconds(30)), 0);
    EXPECT_EQ(WaitForExit(watch, std::chrono::seconds(30)), 0);
    EXPECT_TRUE(LogHas("stopped")) << Log();

    // Nobody left to stop.
    EXPECT_EQ(WaitForExit(StartWatch({"--stop"}), std::chrono::seconds(30)), 0);
}

TEST_F(WatchProcessTest, LateCameraGetsItsZoomWhenItArrives) {
    std::ofstream(work_ / "camzoom-devices.ini") << "[device]\nname = Other Cam\n";
    const pid_t watch = StartWatch();
    ASSERT_TRUE(WaitFor([&] { return LogHas("at start: no camera"); }, std::chrono::seconds(60)))
        << Log();
    // The camera is plugged in: the devices file changes under the running keeper.
    std::ofstream(work_ / "devices.tmp") << "[device]\n"
                                            "name = Other Cam\n"
                                            "[device]\n"
                                            "name = desk cam\n"
                                            "zoom = 100 500 1 100 100 2 3\n";
    fs::rename(work_ / "devices.tmp", work_ / "camzoom-devices.ini");
    ASSERT_TRUE(
        WaitFor([&] { return LogHas("camera arrived: the camera's zoom was 100; set to 250"); },
                std::chrono::seconds(60)))
        << Log();
    EXPECT_TRUE(LogHas("the station's camera \"Desk Cam\" arrived")) << Log();
    EXPECT_NE(Contents(work_ / "camzoom-devices.ini").find("zoom = 100 500 1 100 250 "),
              std::string::npos);
    kill(watch, SIGTERM);
    EXPECT_EQ(WaitForExit(watch, std::chrono::seconds(30)), 0);
}

TEST_F(WatchProcessTest, WithoutConfigDatNothingIsApplied) {
    fs::remove(work_ / "config.dat");
    const pid_t watch = StartWatch();
    ASSERT_TRUE(WaitFor([&] { return LogHas("config.dat is missing or unreadable"); },
                        std::chrono::seconds(60)))
        << Log();
    EXPECT_FALSE(LogHas("set to")) << Log();
    kill(watch, SIGTERM);  // what "--stop" sends on this build
    EXPECT_EQ(WaitForExit(watch, std::chrono::seconds(30)), 0);
    EXPECT_TRUE(LogHas("stopped")) << Log();
}

TEST_F(WatchProcessTest, ZoomComesBackWhileAStationProgramStreamsAndResetIt) {
    // The camera puts its controls back to their defaults whenever a stream starts.
    std::ofstream(work_ / "camzoom-devices.ini") << "[device]\n"
                                                    "name = Desk Cam\n"
                                                    "frame_interval_ms = 20\n"
                                                    "zoom = 100 500 1 100 100 2 2\n"
                                                    "reset_on_start = yes\n";
    const pid_t watch = StartWatch();
    ASSERT_TRUE(WaitFor([&] { return LogHas("the zoom held"); }, std::chrono::seconds(60)))
        << Log();

    // This test is the station's program: it streams the camera through its own graph.
    namespace dshow = host::dshow;
    host::MessageQueue::Instance();
    dshow::ResetRuntime();
    ASSERT_TRUE(dshow::UseDevicesFile((work_ / "camzoom-devices.ini").string()));
    {
        ComApartment apartment;
        HRESULT built = S_OK;
        TVideoSample station(nullptr, built);
        ASSERT_EQ(station.StartCapture("Desk Cam"), S_OK) << "the keeper never holds the stream";
        const int framesAtStart = dshow::FramesDelivered();
        ASSERT_TRUE(WaitFor([&] { return LogHas("check: the camera's zoom was 100; set to 250"); },
                            std::chrono::seconds(60)))
            << Log();
        EXPECT_TRUE(LogHas("started using the camera")) << Log();
        std::int32_t min = 0, max = 0, step = 0, def = 0, flags = 0, zoom = 0;
        EXPECT_EQ(station.GetCameraSetting(CameraControl_Zoom, min, max, step, def, flags, zoom),
                  S_OK);
        EXPECT_EQ(zoom, 250);
        EXPECT_GT(dshow::FramesDelivered(), framesAtStart) << "the station's stream went on";
    }
    EXPECT_TRUE(
        WaitFor([&] { return LogHas("stopped using the camera"); }, std::chrono::seconds(60)))
        << Log();
    dshow::ResetRuntime();
    kill(watch, SIGTERM);
    EXPECT_EQ(WaitForExit(watch, std::chrono::seconds(30)), 0);
}

}  // namespace
