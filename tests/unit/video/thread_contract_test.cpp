// The thread contract of the video image and its frame path, checked in debug builds: a call
// from the wrong thread ends the program with the entry's name.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "unit/video/video_image_fixture.h"
#include "video/VFrames.h"
#include "video/frame_path.h"

namespace {

#ifndef NDEBUG

class ThreadContractDeathTest : public VideoImageTest {
  protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        VideoImageTest::SetUp();
    }
};

TEST_F(ThreadContractDeathTest, AMainThreadEntryCalledFromAnotherThreadIsCaught) {
    auto video = TVideoImage::Create();
    auto fromOtherThread = [&] { std::thread([&] { video->CloseCamera(); }).join(); };
    EXPECT_DEATH(fromOtherThread(), "thread contract broken: .*CloseCamera.* main thread only");
    video->CloseCamera();  // on the main thread: fine
    TVideoImage::Dispose(std::move(video));
}

TEST_F(ThreadContractDeathTest, TheFrameCallbackCalledOnTheMainThreadIsCaught) {
    TFramePath frames;
    std::vector<std::uint8_t> frame(16, 1);
    std::int32_t size = 16;
    EXPECT_DEATH(TFramePath::OnSampleArrived(&frames, frame.data(), size),
                 "thread contract broken: .*OnSampleArrived.* never runs on the main thread");
    std::thread([&] { TFramePath::OnSampleArrived(&frames, frame.data(), size); }).join();
    host::PumpPendingMessages();
}

#endif

}  // namespace
