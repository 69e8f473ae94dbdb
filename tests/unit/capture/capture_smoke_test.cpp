#include <atomic>

#include "capture_fixture.h"

namespace {

struct FrameCounter {
    std::atomic<int> frames{0};
    std::atomic<std::int32_t> lastSize{0};
    static void Callback(void* data, std::uint8_t*, std::int32_t& size) {
        auto* self = static_cast<FrameCounter*>(data);
        self->lastSize = size;
        self->frames.fetch_add(1);
    }
};

TEST_F(CaptureTest, OpensTheDefaultCameraAndDeliversFrames) {
    HRESULT status = E_FAIL;
    auto capture = Create(&status);
    EXPECT_EQ(status, S_OK);
    ASSERT_EQ(capture->StartCapture(""), S_OK);
    std::int32_t width = -1, height = -1;
    std::uint32_t compression = 1;
    EXPECT_EQ(capture->ReadCurrentFormat(width, height, compression), S_OK);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    EXPECT_EQ(compression, MakeFourCC('Y', 'U', 'Y', '2'));

    FrameCounter counter;
    capture->SetFrameCallback(&FrameCounter::Callback, &counter);
    EXPECT_TRUE(PumpUntil([&] { return counter.frames.load() >= 3; }));
    EXPECT_EQ(counter.lastSize.load(), 640 * 480 * 2);
    capture.reset();
}

}  // namespace
