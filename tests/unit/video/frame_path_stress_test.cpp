// The frame path under load, bounded to a few seconds (and run under TSan): a fast stream whose
// frame size changes, a slow painter, a detached and a locked canvas, and cameras opened and
// closed while frames arrive. Every painted picture must be one whole frame.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "capture/VSample.h"
#include "platform/bitmap.h"
#include "unit/video/video_image_fixture.h"
#include "video/VFrames.h"
#include "video/frame_conversion.h"
#include "video/frame_path.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::uint32_t Fnv1a(const std::uint8_t* bytes, std::size_t size) {
    std::uint32_t hash = 2166136261u;
    for (std::size_t k = 0; k < size; ++k) hash = (hash ^ bytes[k]) * 16777619u;
    return hash;
}

// A YUY2 frame of `format` stamped with its number: the first 32 pixels of its top row are
// black or white for the number's bits, the other bytes are its own. A converted frame is
// checked against the conversion of the frame its stamp names, so one mixed from two fails.
constexpr std::uint32_t kYuy2 = 0x32595559;  // "YUY2"
std::vector<std::uint8_t> StampedFrame(const TFrameFormat& format, std::uint32_t number) {
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(format.width * format.height * 2));
    std::uint32_t state = number * 2654435761u + 1;
    for (auto& byte : frame) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<std::uint8_t>(state);
    }
    for (int bit = 0; bit < 32; ++bit) {
        frame[static_cast<std::size_t>(bit) * 2] = (number >> bit) & 1 ? 235 : 16;  // Y
        frame[static_cast<std::size_t>(bit) * 2 + 1] = 128;  // U, V: no colour
    }
    return frame;
}

std::uint32_t StampOf(const Bitmap& picture) {
    std::uint32_t number = 0;
    for (int bit = 0; bit < 32; ++bit)
        if (picture.ScanLine(0)[bit * 3] >= 128) number |= 1u << bit;
    return number;
}

// Four stamped frames of one format, made ahead together with their conversions: the stream
// only copies, and a check is a comparison.
struct StampedFrames {
    static constexpr std::uint32_t kCount = 4;

    StampedFrames(const TFrameFormat& frameFormat, std::uint32_t firstNumber)
        : format(frameFormat), first(firstNumber) {
        TFrameConversion conversion;
        for (std::uint32_t k = 0; k < kCount; ++k) {
            frames.push_back(StampedFrame(format, first + k));
            converted.push_back(std::make_unique<Bitmap>());
            converted.back()->SetSize(format.width, format.height);
            conversion.ConvertFrame(static_cast<std::int32_t>(frames.back().size()),
                                    frames.back().data(), format.width, format.height,
                                    format.compression, *converted.back());
        }
    }
    // Whether the top-left region of `target` shows one of these frames whole.
    bool ShownWhole(const Bitmap& target) const {
        std::uint32_t number = StampOf(target);
        if (number < first || number >= first + kCount) return false;
        const Bitmap& reference = *converted[number - first];
        for (int row = 0; row < format.height; ++row)
            if (std::memcmp(target.ScanLine(row), reference.ScanLine(row),
                            static_cast<std::size_t>(format.width) * 3) != 0)
                return false;
        return true;
    }

    TFrameFormat format;
    std::uint32_t first;
    std::vector<std::vector<std::uint8_t>> frames;
    std::vector<std::unique_ptr<Bitmap>> converted;
};

// The bytes of an uncompressed RGB frame as drawn at the top-left of `target`: rows bottom-up,
// as the frame has them (3 * width is a multiple of 4 in these tests, so rows are unpadded).
// Empty while that region is all `sentinel`: nothing has been drawn there since it was filled.
std::vector<std::uint8_t> DrawnFrame(const Bitmap& target, const TFrameFormat& format,
                                     std::uint8_t sentinel) {
    const auto rowBytes = static_cast<std::size_t>(format.width) * 3;
    std::vector<std::uint8_t> frame;
    frame.reserve(rowBytes * static_cast<std::size_t>(format.height));
    for (int row = format.height - 1; row >= 0; --row) {
        const std::uint8_t* line = target.ScanLine(row);
        frame.insert(frame.end(), line, line + rowBytes);
    }
    for (std::uint8_t byte : frame)
        if (byte != sentinel) return frame;
    return {};
}

// Holds a canvas's lock from another thread, as another party would, while it lives.
class ForeignLock {
  public:
    explicit ForeignLock(Canvas& canvas)
        : thread_([this, &canvas] {
              canvas.Lock();
              std::unique_lock lock(mutex_);
              locked_ = true;
              changed_.notify_all();
              changed_.wait(lock, [this] { return released_; });
              canvas.Unlock();
          }) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return locked_; });
    }
    ~ForeignLock() {
        {
            std::lock_guard lock(mutex_);
            released_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool locked_ = false;
    bool released_ = false;
    std::thread thread_;
};

enum class CanvasMode { Attached, Detached, Locked };
constexpr CanvasMode kModes[] = {CanvasMode::Attached, CanvasMode::Detached, CanvasMode::Locked};

// A stream of stamped frames as fast as the frame path takes them, in the format the main thread
// last chose; it stops while the main thread changes the format.
class StampedStream {
  public:
    explicit StampedStream(TFramePath& frames)
        : thread_([this, &frames] {
              for (std::uint32_t number = 0;; ++number) {
                  const StampedFrames* sending;
                  {
                      std::unique_lock lock(mutex_);
                      paused_ = pause_;
                      changed_.notify_all();
                      changed_.wait(lock, [this] { return !pause_ || stop_; });
                      paused_ = false;
                      if (stop_) return;
                      sending = sending_;
                  }
                  const std::vector<std::uint8_t>& frame =
                      sending->frames[number % StampedFrames::kCount];
                  auto size = static_cast<std::int32_t>(frame.size());
                  TFramePath::OnSampleArrived(&frames, const_cast<std::uint8_t*>(frame.data()),
                                              size);
                  delivered_.fetch_add(1, std::memory_order_relaxed);
              }
          }) {}
    ~StampedStream() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    // Runs `change` with the stream stopped; `next` is sent afterwards.
    template <typename Step>
    void Change(const StampedFrames& next, Step&& change) {
        std::unique_lock lock(mutex_);
        pause_ = true;
        changed_.wait(lock, [this] { return paused_; });
        change();
        sending_ = &next;
        pause_ = false;
        changed_.notify_all();
    }
    int Delivered() const { return delivered_.load(std::memory_order_relaxed); }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool pause_ = true;
    bool paused_ = false;
    bool stop_ = false;
    const StampedFrames* sending_ = nullptr;
    std::atomic<int> delivered_{0};
    std::thread thread_;  // last: starts once the rest is there
};

TEST_F(VideoImageTest, StressAFastStreamOfChangingSizesNeverPaintsATornFrame) {
    // Converting a frame takes several times as long as copying one: the stream stores
    // around the slot being converted.
    const StampedFrames formats[] = {
        {{640, 480, kYuy2}, 1}, {{320, 240, kYuy2}, 101}, {{480, 360, kYuy2}, 201}};
    constexpr std::uint8_t kSentinel = 0;
    TFramePath frames;
    Bitmap target;
    target.SetSize(640, 480);
    auto& queue = host::MessageQueue::Instance();
    host::PumpPendingMessages();  // an idle at the fixed tick: every frame passes the guard
    StampedStream stream(frames);

    int painted = 0;
    int torn = 0;
    // Each format with each canvas once, and more while 2 s have not passed.
    const auto end = Clock::now() + 2s;
    for (int phase = 0; phase < 9 || Clock::now() < end; ++phase) {
        const StampedFrames& sent = formats[phase % 3];
        const CanvasMode mode = kModes[(phase / 3) % 3];
        // A new format: the frame messages of the old one are handled with no canvas, so
        // every conversion afterwards is of a frame in the new format.
        stream.Change(sent, [&] {
            frames.AttachCanvas(nullptr);
            while (queue.ProcessOne()) {
            }
            HRESULT status = 0;
            TVideoSample graph(nullptr, status);  // never started: no frames of its own
            frames.HookUp(graph, sent.format);
            std::fill_n(target.PixelMemory(), target.RowStride() * target.Height(), kSentinel);
        });
        std::unique_ptr<ForeignLock> foreign;
        if (mode != CanvasMode::Detached) frames.AttachCanvas(&target.GetCanvas());
        if (mode == CanvasMode::Locked) foreign = std::make_unique<ForeignLock>(target.GetCanvas());

        // 20 frame messages, or 500 ms when the stream is slow.
        const auto phaseEnd = Clock::now() + 500ms;
        for (int handled = 0; handled < 20 && Clock::now() < phaseEnd;) {
            if (!queue.ProcessOne()) {
                queue.WaitForMessage(1ms);
                continue;
            }
            ++handled;
            std::this_thread::sleep_for(500us);  // a slow painter: frames pile up meanwhile
            if (DrawnFrame(target, sent.format, kSentinel).empty()) continue;
            ++painted;
            if (!sent.ShownWhole(target)) ++torn;
            EXPECT_NE(mode, CanvasMode::Locked) << "drawn while another party held the lock";
        }
    }
    EXPECT_EQ(torn, 0);
    EXPECT_GT(painted, 0);
    EXPECT_GT(stream.Delivered(), painted);
    // The stream did store around slots being converted.
    EXPECT_GT(frames.RedirectedFrames(), 0u);
    std::printf("painted %d, delivered %d, redirected %llu\n", painted, stream.Delivered(),
                static_cast<unsigned long long>(frames.RedirectedFrames()));
}

TEST_F(VideoImageTest, StressCamerasOpenedAndClosedWhileFramesArriveKeepPaintedFramesWhole) {
    // Three cameras of one byte count in other shapes: a frame converted after the next camera
    // has been opened is still copied byte for byte.
    const TFrameFormat shapes[] = {{64, 48, 0}, {48, 64, 0}, {96, 32, 0}};
    std::vector<host::dshow::DeviceConfig> cameras;
    for (int i = 0; i < 3; ++i) {
        host::dshow::DeviceConfig camera = SmallRgbCamera();
        camera.friendlyName = L"Stress " + std::to_wstring(i);
        camera.width = shapes[i].width;
        camera.height = shapes[i].height;
        camera.frameIntervalMs = 1;
        cameras.push_back(camera);
    }
    host::dshow::UseDevices(cameras);
    std::mutex mutex;
    std::set<std::uint32_t> delivered;  // checksums of every frame a camera sent
    host::dshow::SetFrameObserver([&](const BYTE* buffer, LONG size) {
        std::uint32_t sum = Fnv1a(buffer, static_cast<std::size_t>(size));
        std::lock_guard lock(mutex);
        delivered.insert(sum);
    });
    auto wasDelivered = [&](const std::vector<std::uint8_t>& frame) {
        std::uint32_t sum = Fnv1a(frame.data(), frame.size());
        std::lock_guard lock(mutex);
        return delivered.count(sum) == 1;
    };

    constexpr std::uint8_t kSentinel = 0x5A;
    auto video = TVideoImage::Create();
    Bitmap target;
    target.SetSize(96, 64);
    auto& queue = host::MessageQueue::Instance();
    int painted = 0;
    int torn = 0;
    int shape = 0;
    bool attached = false;
    const auto end = Clock::now() + 2s;
    for (int round = 0; Clock::now() < end; ++round) {
        switch (round % 4) {
            case 0:
            case 2:
                shape = (shape + 1) % 3;
                ASSERT_EQ(video->OpenCamera("Stress " + std::to_string(shape)), 0);
                break;
            case 1:
                video->CloseCamera();
                break;
            case 3:
                attached = !attached;
                video->AttachCanvas(attached ? &target.GetCanvas() : nullptr);
                break;
        }
        std::fill_n(target.PixelMemory(), target.RowStride() * target.Height(), kSentinel);
        const auto roundEnd = Clock::now() + 40ms;
        while (Clock::now() < roundEnd) {
            host::PumpPendingMessages();
            std::vector<std::uint8_t> drawn = DrawnFrame(target, shapes[shape], kSentinel);
            if (!drawn.empty()) {
                ++painted;
                if (!wasDelivered(drawn)) ++torn;
            }
            queue.WaitForMessage(1ms);
        }
    }
    video->CloseCamera();
    host::PumpPendingMessages();
    TVideoImage::Dispose(std::move(video));
    host::dshow::SetFrameObserver({});
    EXPECT_EQ(torn, 0);
    EXPECT_GT(painted, 0);
}

}  // namespace
