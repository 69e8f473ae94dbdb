#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "platform/bitmap.h"
#include "unit/video/video_image_fixture.h"
#include "video/VFrames.h"

namespace {

using namespace std::chrono_literals;

// The frame path driven by hand: a camera is opened (which sizes the frame bitmap to 8 x 6 RGB)
// and closed again, so no stream interferes; frames then come from the test.
class VideoImageFrames : public VideoImageTest {
  protected:
    void SetUp() override {
        VideoImageTest::SetUp();
        video = TVideoImage::Create();
        ASSERT_EQ(video->OpenCamera("Small RGB Camera"), 0);
        video->CloseCamera();
        target.SetSize(8, 6);
        host::PumpPendingMessages();  // frames of the short-lived stream, and an idle at 5000
    }
    void TearDown() override {
        TVideoImage::Dispose(std::move(video));
        VideoImageTest::TearDown();
    }

    // Delivers a frame as the stream's thread does, at the given tick.
    void Deliver(std::uint32_t at, std::vector<std::uint8_t> frame) {
        tick = at;
        std::int32_t size = static_cast<std::int32_t>(frame.size());
        TVideoImage::OnSampleArrived(video.get(), frame.data(), size);
    }
    void IdleAt(std::uint32_t at) {
        tick = at;
        host::PumpPendingMessages();
    }
    bool TargetFilledWith(std::uint8_t value) {
        for (int row = 0; row < 6; ++row)
            for (int x = 0; x < 24; ++x)
                if (target.ScanLine(row)[x] != value) return false;
        return true;
    }

    std::unique_ptr<TVideoImage> video;
    Bitmap target;
};

TEST_F(VideoImageFrames, StallGuardPassesExactlyOneSecondAndDropsOneMillisecondMore) {
    IdleAt(10000);
    int slot = video->Slots().CurrentSlot();
    Deliver(11001, Frame(kSmallFrameSize, 1));  // 1001 ms after the last idle
    EXPECT_EQ(video->Slots().CurrentSlot(), slot);
    EXPECT_EQ(host::MessageQueue::Instance().PendingCount(), 0u);

    Deliver(11000, Frame(kSmallFrameSize, 2));  // exactly 1000 ms
    EXPECT_EQ(video->Slots().CurrentSlot(), (slot + 1) % 3);
    EXPECT_EQ(host::MessageQueue::Instance().PendingCount(), 1u);

    Deliver(8999, Frame(kSmallFrameSize, 3));  // a clock 1001 ms behind the idle tick
    EXPECT_EQ(video->Slots().CurrentSlot(), (slot + 1) % 3);
    Deliver(9000, Frame(kSmallFrameSize, 4));
    EXPECT_EQ(video->Slots().CurrentSlot(), (slot + 2) % 3);
}

TEST_F(VideoImageFrames, StallGuardWorksAcrossTheWrapOfTheTick) {
    IdleAt(0xFFFFFE00u);
    int slot = video->Slots().CurrentSlot();
    Deliver(0x000001E8u, Frame(kSmallFrameSize, 1));  // 1000 ms later, after the wrap
    EXPECT_EQ(video->Slots().CurrentSlot(), (slot + 1) % 3);
    Deliver(0x000001E9u, Frame(kSmallFrameSize, 1));
    EXPECT_EQ(video->Slots().CurrentSlot(), (slot + 1) % 3);
}

TEST_F(VideoImageFrames, IdleTickIsOnlyRefreshedByIdleNotifications) {
    IdleAt(20000);
    Deliver(20500, Frame(kSmallFrameSize, 1));
    int slot = video->Slots().CurrentSlot();
    // No idle since 20000: at 21500 the frame is dropped without a message.
    Deliver(21500, Frame(kSmallFrameSize, 2));
    EXPECT_EQ(video->Slots().CurrentSlot(), slot);
    IdleAt(21500);  // the queued message lets the loop become idle again
    Deliver(21600, Frame(kSmallFrameSize, 3));
    EXPECT_EQ(video->Slots().CurrentSlot(), (slot + 1) % 3);
}

TEST_F(VideoImageFrames, SlotsFollowTheCycleAndKeepTheirBuffersAtEqualSize) {
    IdleAt(30000);
    int first = video->Slots().CurrentSlot();
    std::vector<int> order;
    std::vector<const std::uint8_t*> buffers;
    for (int i = 0; i < 4; ++i) {
        Deliver(30001, Frame(kSmallFrameSize, static_cast<std::uint8_t>(i)));
        order.push_back(video->Slots().CurrentSlot());
        buffers.push_back(video->Slots().SlotBuffer(order.back()));
    }
    EXPECT_EQ(order, (std::vector<int>{(first + 1) % 3, (first + 2) % 3, first, (first + 1) % 3}));
    EXPECT_EQ(buffers[3], buffers[0]);  // reused, not reallocated
    Deliver(30002, Frame(kSmallFrameSize + 6, 9));
    EXPECT_EQ(video->Slots().SlotSize(video->Slots().CurrentSlot()), kSmallFrameSize + 6);
    host::PumpPendingMessages();
}

TEST_F(VideoImageFrames, WithoutCanvasFramesAreStoredAndPostedButNotConverted) {
    IdleAt(40000);
    Deliver(40001, Frame(kSmallFrameSize, 0x55));
    EXPECT_EQ(host::MessageQueue::Instance().PendingCount(), 1u);
    host::PumpPendingMessages();
    EXPECT_FALSE(video->Converted());
    EXPECT_FALSE(video->Busy());
}

TEST_F(VideoImageFrames, PaintsTheNewestSlotAtTheTopLeftOfTheCanvas) {
    video->AttachCanvas(&target.GetCanvas());
    IdleAt(50000);
    Deliver(50001, Frame(kSmallFrameSize, 0x11));
    Deliver(50001, Frame(kSmallFrameSize, 0x22));  // newest wins: both messages paint it
    host::PumpPendingMessages();
    EXPECT_TRUE(video->Converted());
    EXPECT_TRUE(TargetFilledWith(0x22));
    EXPECT_EQ(target.GetCanvas().LockCount(), 0);

    video->AttachCanvas(nullptr);  // detached: the stream goes on, nothing is painted
    Deliver(50002, Frame(kSmallFrameSize, 0x33));
    host::PumpPendingMessages();
    EXPECT_TRUE(TargetFilledWith(0x22));
}

TEST_F(VideoImageFrames, ALockedCanvasGetsTheConversionButNoDrawing) {
    video->AttachCanvas(&target.GetCanvas());
    IdleAt(60000);
    target.GetCanvas().Lock();
    Deliver(60001, Frame(kSmallFrameSize, 0x44));
    host::PumpPendingMessages();
    EXPECT_TRUE(video->Converted());
    EXPECT_EQ(video->FrameBitmap()->ScanLine(0)[0], 0x44);
    EXPECT_TRUE(TargetFilledWith(0));
    EXPECT_EQ(target.GetCanvas().LockCount(), 1);  // still only the other party's lock
    target.GetCanvas().Unlock();

    // The next frame message paints again, once nobody holds the lock.
    EXPECT_TRUE(video->FrameWindow() != nullptr);
    host::MessageQueue::Instance().Post(video->FrameWindow(), FrameMessage, 0, 0);
    host::PumpPendingMessages();
    EXPECT_TRUE(TargetFilledWith(0x44));
}

TEST_F(VideoImageFrames, OtherMessagesGetTheDefaultHandling) {
    video->AttachCanvas(&target.GetCanvas());
    IdleAt(70000);
    Deliver(70001, Frame(kSmallFrameSize, 0x66));
    host::PumpPendingMessages();
    ASSERT_TRUE(TargetFilledWith(0x66));
    EXPECT_EQ(video->HandleFrameMessage(FrameMessage + 1, 0, 0), 0);
    EXPECT_FALSE(video->Busy());
}

// The short-lived first camera of SetUp may have left nothing; a real stream is used here.
TEST_F(VideoImageTest, AQueuedFrameMessagePaintsTheLastFrameAfterCloseCamera) {
    auto video = TVideoImage::Create();
    Bitmap target;
    target.SetSize(8, 6);
    video->AttachCanvas(&target.GetCanvas());
    ASSERT_EQ(video->OpenCamera("Small RGB Camera"), 0);
    tick = 1000;
    host::PumpPendingMessages();  // idle at 1000: the stream's frames pass from now on
    auto& queue = host::MessageQueue::Instance();
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (queue.PendingCount() == 0 && std::chrono::steady_clock::now() < deadline)
        queue.WaitForMessage(50ms);
    ASSERT_GT(queue.PendingCount(), 0u) << "no frame arrived from the stream";
    video->CloseCamera();
    EXPECT_FALSE(video->Converted());
    host::PumpPendingMessages();
    EXPECT_TRUE(video->Converted());
    // The canvas shows the newest slot: the bitmap's bytes are that slot's bytes.
    const TFrameRing& ring = video->Slots();
    int slot = ring.CurrentSlot();
    ASSERT_EQ(ring.SlotSize(slot), kSmallFrameSize);
    EXPECT_EQ(std::memcmp(video->FrameBitmap()->PixelMemory(), ring.SlotBuffer(slot), 24), 0);
    EXPECT_EQ(std::memcmp(target.ScanLine(0), video->FrameBitmap()->ScanLine(0), 24), 0);
    TVideoImage::Dispose(std::move(video));
}

// A running stream hands frames over on its own thread while the main thread paints (TSan).
TEST_F(VideoImageTest, StreamingFramesReachTheCanvasThroughTheMainLoop) {
    auto video = TVideoImage::Create();
    Bitmap target;
    target.SetSize(640, 480);
    video->AttachCanvas(&target.GetCanvas());
    ASSERT_EQ(video->OpenCamera("Host Virtual Camera"), 0);
    host::SetTickSource({});  // the real clock: idle notifications keep the guard open
    // The pattern's luma never gives black: a painted frame shows in the canvas's top row.
    auto painted = [&] {
        const std::uint8_t* top = target.ScanLine(0);
        return std::any_of(top, top + 640 * 3, [](std::uint8_t b) { return b != 0; });
    };
    EXPECT_TRUE(host::PumpMessagesUntil([&] { return video->Converted() && painted(); }, 10s));
    video->CloseCamera();
    host::PumpPendingMessages();
    TVideoImage::Dispose(std::move(video));  // queued frame messages are dropped with the window
    EXPECT_GT(host::dshow::FramesDelivered(), 0);
}

}  // namespace
