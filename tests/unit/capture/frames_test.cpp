// Frames on the streaming thread: the installed callback, the main-window path, dropped
// samples, and swapping the callback pair while frames arrive.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <mutex>
#include <thread>

#include "capture_fixture.h"
#include "recording_window.h"

namespace {

// What the device sent, seen from the streaming thread before the grabber.
struct SentFrames {
    std::mutex mutex;
    std::vector<std::pair<const BYTE*, LONG>> frames;
    std::vector<std::uint32_t> checksums;

    void Watch() {
        dshow::SetFrameObserver([this](const BYTE* buffer, LONG size) {
            std::uint32_t checksum =
                size > 0 ? RecordingWindow::Checksum(buffer, static_cast<std::size_t>(size)) : 0;
            std::lock_guard lock(mutex);
            frames.emplace_back(buffer, size);
            checksums.push_back(checksum);
        });
    }
    std::size_t Count() {
        std::lock_guard lock(mutex);
        return frames.size();
    }
};

class FramesTest : public CaptureTest {
  protected:
    void TearDown() override {
        dshow::SetFrameObserver(nullptr);
        CaptureTest::TearDown();
    }
};

TEST_F(FramesTest, WithoutCallbackEveryFrameSendsOneMessageToTheMainWindow) {
    RecordingWindow window;
    SentFrames sent;
    sent.Watch();
    auto capture = Create(nullptr, window.Handle());
    ASSERT_EQ(capture->StartCapture(""), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return window.Count() >= 5; }));
    capture.reset();
    PumpUntil([] { return host::MessageQueue::Instance().PendingCount() == 0; });

    std::vector<RecordingWindow::Message> messages = window.Messages();
    std::lock_guard lock(sent.mutex);
    // One message per frame that reached the callback object; at most the frame that arrived
    // while the graph was being stopped went without one.
    auto delivered = static_cast<std::size_t>(dshow::FramesDelivered());
    EXPECT_LE(messages.size(), delivered);
    EXPECT_GE(messages.size() + 1, delivered);
    for (const auto& message : messages) {
        EXPECT_EQ(message.message, WM_USER + 2);
        EXPECT_EQ(message.wParam, static_cast<MessageWParam>(640 * 480 * 2));
        EXPECT_EQ(reinterpret_cast<const BYTE*>(message.lParam), sent.frames.front().first);
    }
    // The address carries the frame itself while the main window handles the message.
    for (std::size_t i = 0; i < messages.size() && i < sent.checksums.size(); ++i) {
        EXPECT_EQ(messages[i].checksum, sent.checksums[i]) << "frame " << i;
    }
}

TEST_F(FramesTest, InstalledCallbackReceivesFramesInsteadOfTheMainWindow) {
    RecordingWindow window;
    auto capture = Create(nullptr, window.Handle());
    ASSERT_EQ(capture->StartCapture(""), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return window.Count() >= 1; }));

    struct Seen {
        std::atomic<int> frames{0};
        std::atomic<std::int32_t> size{0};
    } seen;
    capture->SetFrameCallback(
        [](void* data, std::uint8_t* buffer, std::int32_t& size) {
            auto* s = static_cast<Seen*>(data);
            if (buffer) s->size = size;
            size = -1;  // what the callee writes is not read
            s->frames.fetch_add(1);
        },
        &seen);
    PumpUntil([] { return host::MessageQueue::Instance().PendingCount() == 0; });
    std::size_t before = window.Count();
    ASSERT_TRUE(PumpUntil([&] { return seen.frames.load() >= 5; }));
    EXPECT_EQ(window.Count(), before);
    EXPECT_EQ(seen.size.load(), 640 * 480 * 2);
}

TEST_F(FramesTest, EmptySamplesReachNoCallbackAndSendNoMessage) {
    dshow::DeviceConfig device = Camera(L"Cam");
    device.sampleBufferSize = 0;
    dshow::UseDevices({device});
    RecordingWindow window;
    auto capture = Create(nullptr, window.Handle());
    ASSERT_EQ(capture->StartCapture(""), S_OK);
    ASSERT_TRUE(PumpUntil([] { return dshow::FramesDelivered() >= 5; }));
    EXPECT_EQ(window.Count(), 0u);

    std::atomic<int> calls{0};
    capture->SetFrameCallback(
        [](void* data, std::uint8_t*, std::int32_t&) {
            static_cast<std::atomic<int>*>(data)->fetch_add(1);
        },
        &calls);
    int delivered = dshow::FramesDelivered();
    ASSERT_TRUE(PumpUntil([&] { return dshow::FramesDelivered() >= delivered + 5; }));
    EXPECT_EQ(calls.load(), 0);
}

TEST_F(FramesTest, BufferCallbackDropsEmptyBuffersAndForwardsTheRest) {
    ComPtr<TSampleGrabberCBInt> callback(new TSampleGrabberCB(nullptr));
    struct Seen {
        int calls = 0;
        std::int32_t size = 0;
        std::uint8_t* buffer = nullptr;
    } seen;
    static_cast<TSampleGrabberCB*>(callback.Get())
        ->Impl()
        .Install(
            [](void* data, std::uint8_t* buffer, std::int32_t& size) {
                auto* s = static_cast<Seen*>(data);
                ++s->calls;
                s->size = size;
                s->buffer = buffer;
            },
            &seen);
    BYTE bytes[16] = {};
    EXPECT_EQ(callback->BufferCB(0.0, bytes, 0), S_OK);
    EXPECT_EQ(callback->BufferCB(0.0, bytes, -5), S_OK);
    EXPECT_EQ(seen.calls, 0);
    EXPECT_EQ(callback->BufferCB(1.5, bytes, 16), S_OK);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(seen.size, 16);
    EXPECT_EQ(seen.buffer, bytes);
}

TEST_F(FramesTest, CallbackObjectCountsItsReferences) {
    auto* object = new TSampleGrabberCB(nullptr);
    EXPECT_EQ(TSampleGrabberCB::LiveInstances(), 1);
    EXPECT_EQ(object->AddRef(), 1u);
    ISampleGrabberCB* asInterface = nullptr;
    EXPECT_EQ(object->QueryInterface(IID_ISampleGrabberCB, reinterpret_cast<void**>(&asInterface)),
              S_OK);
    EXPECT_EQ(asInterface, static_cast<ISampleGrabberCB*>(object));
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(object->QueryInterface(IID_IBaseFilter, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(asInterface->Release(), 1u);
    EXPECT_EQ(object->Release(), 0u);
    EXPECT_EQ(TSampleGrabberCB::LiveInstances(), 0);
}

// Each context knows the callback it belongs to: a callback that meets a foreign context
// counts a torn pair.
struct PairContext {
    int tag;
    std::atomic<int> frames{0};
    std::atomic<int>* torn;
};

template <int Tag>
void TaggedCallback(void* data, std::uint8_t*, std::int32_t&) {
    auto* context = static_cast<PairContext*>(data);
    if (context->tag != Tag) context->torn->fetch_add(1);
    context->frames.fetch_add(1);
}

TEST_F(FramesTest, CallbackPairSwapsAreSeenWhole) {
    std::atomic<int> torn{0};
    PairContext a{1, {}, &torn};
    PairContext b{2, {}, &torn};
    ComPtr<TSampleGrabberCBInt> callback(new TSampleGrabberCB(nullptr));
    auto& impl = static_cast<TSampleGrabberCB*>(callback.Get())->Impl();

    std::atomic<bool> stop{false};
    std::thread streaming([&] {
        BYTE frame[64] = {};
        while (!stop.load()) callback->BufferCB(0.0, frame, sizeof frame);
    });
    for (int i = 0; i < 20000; ++i) {
        switch (i % 3) {
            case 0:
                impl.Install(&TaggedCallback<1>, &a);
                break;
            case 1:
                impl.Install(&TaggedCallback<2>, &b);
                break;
            default:
                impl.Install(nullptr, nullptr);
                break;
        }
    }
    impl.Install(&TaggedCallback<2>, &b);
    int before = b.frames.load();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (b.frames.load() == before && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    stop = true;
    streaming.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_GT(a.frames.load() + b.frames.load(), 0);
    EXPECT_GT(b.frames.load(), before);
}

TEST_F(FramesTest, CallbackSwapWhileTheGraphStreams) {
    dshow::DeviceConfig device = Camera(L"Cam");
    device.frameIntervalMs = 1;
    device.width = 64;
    device.height = 48;
    dshow::UseDevices({device});
    std::atomic<int> torn{0};
    PairContext a{1, {}, &torn};
    PairContext b{2, {}, &torn};
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture(""), S_OK);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    for (int i = 0; std::chrono::steady_clock::now() < deadline; ++i) {
        if (i % 2) {
            capture->SetFrameCallback(&TaggedCallback<1>, &a);
        } else {
            capture->SetFrameCallback(&TaggedCallback<2>, &b);
        }
        std::this_thread::yield();
    }
    capture.reset();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_GT(a.frames.load() + b.frames.load(), 0);
}

TEST_F(FramesTest, NoCallbackRunsAfterDestroy) {
    std::atomic<int> frames{0};
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture(""), S_OK);
    capture->SetFrameCallback(
        [](void* data, std::uint8_t*, std::int32_t&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            static_cast<std::atomic<int>*>(data)->fetch_add(1);
        },
        &frames);
    ASSERT_TRUE(PumpUntil([&] { return frames.load() >= 3; }));
    capture.reset();
    int after = frames.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(frames.load(), after);
    EXPECT_EQ(dshow::RunningStreams(), 0);
}

// The main thread stops the graph while the streaming thread waits for it in the main-window
// path: it must come through instead of waiting for each other for good.
class BlockedMainWindowTest : public FramesTest {
  protected:
    // Runs `step` on the main thread, which handles no message while it is busy in the step;
    // a step that waits for good ends the program after 10 s.
    void FinishesWhileFramesWait(const std::function<void()>& step) {
        std::promise<void> finished;
        std::thread watchdog([done = finished.get_future()] {
            if (done.wait_for(std::chrono::seconds(10)) == std::future_status::ready) return;
            std::fprintf(stderr, "the step waits for the streaming thread for good\n");
            std::abort();
        });
        step();
        finished.set_value();
        watchdog.join();
    }
};

TEST_F(BlockedMainWindowTest, DestroyComesThroughAFrameWaitingForTheMainWindow) {
    RecordingWindow window;
    auto capture = Create(nullptr, window.Handle());
    ASSERT_EQ(capture->StartCapture(""), S_OK);
    // A frame now waits in the main window's queue for a main thread that does not come.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (host::MessageQueue::Instance().PendingCount() == 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_GT(host::MessageQueue::Instance().PendingCount(), 0u);
    FinishesWhileFramesWait([&] { capture.reset(); });
}

TEST_F(BlockedMainWindowTest, ReadCurrentFormatComesThroughAndReopensTheMainWindowPath) {
    RecordingWindow window;
    auto capture = Create(nullptr, window.Handle());
    ASSERT_EQ(capture->StartCapture(""), S_OK);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (host::MessageQueue::Instance().PendingCount() == 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::int32_t width = 0, height = 0;
    std::uint32_t compression = 0;
    HRESULT status = E_UNEXPECTED;
    FinishesWhileFramesWait(
        [&] { status = capture->ReadCurrentFormat(width, height, compression); });
    EXPECT_EQ(status, S_OK);
    EXPECT_EQ(width, 640);
    // Frames take the main-window path again afterwards.
    PumpUntil([] { return host::MessageQueue::Instance().PendingCount() == 0; });
    std::size_t before = window.Count();
    EXPECT_TRUE(PumpUntil([&] { return window.Count() >= before + 3; }));
}

}  // namespace
