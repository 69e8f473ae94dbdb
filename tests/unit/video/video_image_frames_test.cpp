#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "capture/VSample.h"
#include "platform/bitmap.h"
#include "platform/gui.h"
#include "unit/video/video_image_fixture.h"
#include "video/VFrames.h"
#include "video/frame_path.h"

namespace {

using namespace std::chrono_literals;

// The frame path driven by hand: hooked up to a short-lived 8 x 6 RGB capture graph (which sizes
// the frame bitmap and sets the format), so no stream interferes; frames then come from the
// test, on a thread of their own as a stream's would.
class FramePathTest : public VideoImageTest {
  protected:
    void SetUp() override {
        VideoImageTest::SetUp();
        frames = std::make_unique<TFramePath>(allocator);
        {
            HRESULT status = 0;
            TVideoSample capture(nullptr, status);
            ASSERT_EQ(capture.StartCapture("Small RGB Camera"), 0);
            TFrameFormat format;
            ASSERT_EQ(capture.ReadCurrentFormat(format.width, format.height, format.compression),
                      0);
            frames->HookUp(capture, format);
        }
        target.SetSize(8, 6);
        host::PumpPendingMessages();  // an idle at 5000
    }
    void TearDown() override {
        frames.reset();
        VideoImageTest::TearDown();
    }

    // Delivers a frame as the stream's thread does, at the given tick.
    void Deliver(std::uint32_t at, std::vector<std::uint8_t> frame) {
        tick = at;
        std::thread stream([&] {
            std::int32_t size = static_cast<std::int32_t>(frame.size());
            TFramePath::OnSampleArrived(frames.get(), frame.data(), size);
        });
        stream.join();
    }
    void IdleAt(std::uint32_t at) {
        tick = at;
        host::PumpPendingMessages();
    }
    std::size_t Pending() const { return host::MessageQueue::Instance().PendingCount(); }
    bool TargetFilledWith(std::uint8_t value) {
        for (int row = 0; row < 6; ++row)
            for (int x = 0; x < 24; ++x)
                if (target.ScanLine(row)[x] != value) return false;
        return true;
    }

    int allocations = 0;
    bool failAllocation = false;
    TFrameRing::Allocator allocator = [this](std::size_t size) -> std::unique_ptr<std::uint8_t[]> {
        if (failAllocation) return nullptr;
        ++allocations;
        return std::make_unique<std::uint8_t[]>(size);
    };
    std::unique_ptr<TFramePath> frames;
    Bitmap target;
};

TEST_F(FramePathTest, StallGuardPassesExactlyOneSecondAndDropsOneMillisecondMore) {
    IdleAt(10000);
    Deliver(11001, Frame(kSmallFrameSize, 1));  // 1001 ms after the last idle
    EXPECT_EQ(Pending(), 0u);
    EXPECT_EQ(allocations, 0);  // nothing copied either

    Deliver(11000, Frame(kSmallFrameSize, 2));  // exactly 1000 ms
    EXPECT_EQ(Pending(), 1u);

    Deliver(8999, Frame(kSmallFrameSize, 3));  // a clock 1001 ms behind the idle tick
    EXPECT_EQ(Pending(), 1u);
    Deliver(9000, Frame(kSmallFrameSize, 4));
    EXPECT_EQ(Pending(), 2u);
}

TEST_F(FramePathTest, StallGuardWorksAcrossTheWrapOfTheTick) {
    IdleAt(0xFFFFFE00u);
    Deliver(0x000001E8u, Frame(kSmallFrameSize, 1));  // 1000 ms later, after the wrap
    EXPECT_EQ(Pending(), 1u);
    Deliver(0x000001E9u, Frame(kSmallFrameSize, 1));
    EXPECT_EQ(Pending(), 1u);
}

TEST_F(FramePathTest, IdleTickIsOnlyRefreshedByIdleNotifications) {
    IdleAt(20000);
    Deliver(20500, Frame(kSmallFrameSize, 1));
    // No idle since 20000: at 21500 the frame is dropped without a message.
    Deliver(21500, Frame(kSmallFrameSize, 2));
    EXPECT_EQ(Pending(), 1u);
    IdleAt(21500);  // the queued message lets the loop become idle again
    Deliver(21600, Frame(kSmallFrameSize, 3));
    EXPECT_EQ(Pending(), 1u);
}

TEST_F(FramePathTest, SlotsKeepTheirBuffersAtEqualSizeAndAFrameWithoutMemoryIsDropped) {
    IdleAt(30000);
    for (int i = 0; i < 4; ++i)
        Deliver(30001, Frame(kSmallFrameSize, static_cast<std::uint8_t>(i)));
    EXPECT_EQ(allocations, 3);  // the fourth frame reuses slot 1's buffer
    Deliver(30002, Frame(kSmallFrameSize + 6, 9));
    EXPECT_EQ(allocations, 4);
    host::PumpPendingMessages();

    failAllocation = true;
    Deliver(30003, Frame(kSmallFrameSize + 12, 9));
    EXPECT_EQ(Pending(), 0u);  // dropped: nothing posted
}

TEST_F(FramePathTest, WithoutCanvasFramesAreStoredAndPostedButNotConverted) {
    IdleAt(40000);
    Deliver(40001, Frame(kSmallFrameSize, 0x55));
    EXPECT_EQ(Pending(), 1u);
    EXPECT_EQ(allocations, 1);
    host::PumpPendingMessages();
    EXPECT_FALSE(frames->Converted());
}

TEST_F(FramePathTest, PaintsTheNewestSlotAtTheTopLeftOfTheCanvas) {
    frames->AttachCanvas(&target.GetCanvas());
    IdleAt(50000);
    Deliver(50001, Frame(kSmallFrameSize, 0x11));
    Deliver(50001, Frame(kSmallFrameSize, 0x22));  // newest wins: both messages paint it
    host::PumpPendingMessages();
    EXPECT_TRUE(frames->Converted());
    EXPECT_TRUE(TargetFilledWith(0x22));
    EXPECT_EQ(target.GetCanvas().LockCount(), 0);

    frames->AttachCanvas(nullptr);  // detached: the stream goes on, nothing is painted
    Deliver(50002, Frame(kSmallFrameSize, 0x33));
    host::PumpPendingMessages();
    EXPECT_TRUE(TargetFilledWith(0x22));
}

TEST_F(FramePathTest, ALockedCanvasGetsTheConversionButNoDrawing) {
    frames->AttachCanvas(&target.GetCanvas());
    IdleAt(60000);
    target.GetCanvas().Lock();
    Deliver(60001, Frame(kSmallFrameSize, 0x44));
    host::PumpPendingMessages();
    EXPECT_TRUE(frames->Converted());
    EXPECT_TRUE(TargetFilledWith(0));
    EXPECT_EQ(target.GetCanvas().LockCount(), 1);  // still only the other party's lock
    target.GetCanvas().Unlock();

    // Two frame messages with no frame between them paint the same slot again, once nobody
    // holds the lock.
    ASSERT_NE(frames->Window(), nullptr);
    host::MessageQueue::Instance().Post(frames->Window(), FrameMessage, 0, 0);
    host::PumpPendingMessages();
    EXPECT_TRUE(TargetFilledWith(0x44));
}

TEST_F(FramePathTest, OtherMessagesGetTheDefaultHandling) {
    frames->AttachCanvas(&target.GetCanvas());
    IdleAt(70000);
    Deliver(70001, Frame(kSmallFrameSize, 0x66));
    host::PumpPendingMessages();
    ASSERT_TRUE(TargetFilledWith(0x66));
    EXPECT_EQ(frames->HandleFrameMessage(FrameMessage + 1, 0, 0), 0);
    EXPECT_TRUE(frames->Converted());  // nothing was painted again
}

TEST_F(FramePathTest, AnExceptionWhilePaintingIsShownOnceAndTheNextFramePaints) {
    Application application;
    application.SetTitle("camzoom");
    frames->AttachCanvas(&target.GetCanvas());
    IdleAt(80000);
    Deliver(80001, Frame(kSmallFrameSize, 0x77));
    Deliver(80001, Frame(kSmallFrameSize, 0x78));  // a second message waits behind the first
    int nested = 0;
    host::SetDialogClosedHook([&](const host::DialogRecord&) {
        // A nested loop while the error is shown: the waiting frame message is ignored.
        if (host::MessageQueue::Instance().ProcessOne()) ++nested;
    });
    host::FailNextCanvasDraw("Canvas does not allow drawing");
    ASSERT_TRUE(host::MessageQueue::Instance().ProcessOne());
    host::SetDialogClosedHook({});
    EXPECT_EQ(nested, 1);
    std::vector<host::DialogRecord> dialogs = host::RecordedDialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].icon, host::DialogIcon::Error);
    EXPECT_EQ(dialogs[0].caption, "camzoom");
    EXPECT_EQ(dialogs[0].text, "Canvas does not allow drawing.");
    EXPECT_TRUE(TargetFilledWith(0));  // neither message drew
    EXPECT_EQ(target.GetCanvas().LockCount(), 0);

    // The busy flag is down again: the next frame message paints as usual.
    Deliver(80002, Frame(kSmallFrameSize, 0x79));
    host::PumpPendingMessages();
    EXPECT_TRUE(TargetFilledWith(0x79));
    EXPECT_EQ(host::RecordedDialogs().size(), 1u);
}

// The frames that a running camera delivers, as the stream's thread saw them.
class DeliveredFrames {
  public:
    DeliveredFrames() {
        host::dshow::SetFrameObserver([this](const BYTE* buffer, LONG size) {
            std::lock_guard lock(mutex_);
            frames_.emplace_back(buffer, buffer + size);
        });
    }
    ~DeliveredFrames() { host::dshow::SetFrameObserver({}); }
    bool Contains(const std::uint8_t* bytes, std::size_t size) {
        std::lock_guard lock(mutex_);
        return std::any_of(frames_.begin(), frames_.end(), [&](const auto& frame) {
            return frame.size() == size && std::memcmp(frame.data(), bytes, size) == 0;
        });
    }

  private:
    std::mutex mutex_;
    std::vector<std::vector<std::uint8_t>> frames_;
};

TEST_F(VideoImageTest, AQueuedFrameMessagePaintsTheLastFrameAfterCloseCamera) {
    DeliveredFrames delivered;
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
    std::fill_n(target.PixelMemory(), 6 * 24, std::uint8_t{0});
    host::PumpPendingMessages();
    // The canvas shows one of the camera's frames: 8 x 6 RGB rows of 24 bytes, bottom-up, as
    // the bitmap's rows are.
    EXPECT_TRUE(delivered.Contains(target.PixelMemory(), kSmallFrameSize));
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
    EXPECT_TRUE(host::PumpMessagesUntil(painted, 10s));
    video->CloseCamera();
    host::PumpPendingMessages();
    TVideoImage::Dispose(std::move(video));  // queued frame messages are dropped with the window
    EXPECT_GT(host::dshow::FramesDelivered(), 0);
}

}  // namespace
