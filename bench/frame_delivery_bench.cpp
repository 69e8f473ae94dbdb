// The frame path's streaming-thread work: OnSampleArrived (stall guard, copy into the ring,
// post, yield) beside a plain memcpy of the same frame; and the hand-over of 1920x1080
// Motion-JPEG frames at 120 fps while the main thread converts back to back, beside the same
// hand-over with nothing converting. Run from a Release build.
#include "bench/frame_delivery_bench.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "capture/VSample.h"
#include "capture/platform.h"
#include "platform/bitmap.h"
#include "platform/com_apartment.h"
#include "platform/four_cc.h"
#include "platform/host/dshow/test_controls.h"
#include "platform/host/message_queue.h"
#include "video/frame_conversion.h"
#include "video/frame_path.h"

// After the host headers: libjpeg defines TRUE and FALSE as macros.
#include "tests/unit/video/frame_conversion_support.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr std::int32_t kYuy2Size = kWidth * kHeight * 2;

void BM_MemcpyFloor(benchmark::State& state) {
    std::vector<std::uint8_t> source(kYuy2Size, 0x80), target(kYuy2Size);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), source.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kYuy2Size);
}
BENCHMARK(BM_MemcpyFloor)->Unit(benchmark::kMicrosecond);

// The same copy into three buffers in turn, as the ring does: the fair floor.
void BM_MemcpyThreeTargets(benchmark::State& state) {
    std::vector<std::uint8_t> source(kYuy2Size, 0x80);
    std::vector<std::vector<std::uint8_t>> targets(3, std::vector<std::uint8_t>(kYuy2Size));
    int next = 0;
    for (auto _ : state) {
        std::memcpy(targets[next].data(), source.data(), source.size());
        next = (next + 1) % 3;
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kYuy2Size);
}
BENCHMARK(BM_MemcpyThreeTargets)->Unit(benchmark::kMicrosecond);

void BM_OnSampleArrived(benchmark::State& state) {
    host::SetTickSource([] { return 1000u; });  // the main thread counts as idle throughout
    TFramePath frames;
    bool done = false;
    frames.OnAppIdle(done);
    std::vector<std::uint8_t> frame(kYuy2Size, 0x80);
    auto& queue = host::MessageQueue::Instance();
    int sinceDrain = 0;
    for (auto _ : state) {
        std::int32_t size = kYuy2Size;
        TFramePath::OnSampleArrived(&frames, frame.data(), size);
        if (++sinceDrain == 64) {  // without a canvas the queued messages cost next to nothing
            state.PauseTiming();
            while (queue.ProcessOne()) {
            }
            sinceDrain = 0;
            state.ResumeTiming();
        }
    }
    state.SetBytesProcessed(state.iterations() * kYuy2Size);
    while (queue.ProcessOne()) {
    }
    host::SetTickSource({});
}
BENCHMARK(BM_OnSampleArrived)->Unit(benchmark::kMicrosecond);

// The hand-over: the streaming thread's OnSampleArrived (stall guard, copy into the ring, post),
// one 1920x1080 Motion-JPEG frame every 1/120 s, timed on the wall clock: a wait for the main
// thread would show there, not in CPU time. The yield that ends the call is left out; on a
// loaded machine the time slice it gives away is the scheduler's, not the hand-over's. Each
// session keeps the median, 99th percentile and maximum of its calls.
struct HandOverFigures {
    double median = 0;
    double p99 = 0;
    double max = 0;
};
std::map<std::string, std::vector<HandOverFigures>>& HandOverSessions() {
    static std::map<std::string, std::vector<HandOverFigures>> sessions;
    return sessions;
}

constexpr int kHandOverFrames = 480;  // 4 s at 120 fps
constexpr auto kFrameInterval = std::chrono::nanoseconds(1'000'000'000 / 120);

HandOverFigures Figures(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    auto at = [&](double fraction) {
        auto index = static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1));
        return samples[index];
    };
    return {at(0.5), at(0.99), samples.back()};
}

// The frame path hooked up to a simulated 1920x1080 Motion-JPEG camera, whose graph is gone
// again before the session: the frames come from the session's own streaming thread.
void HookUpFullHdMotionJpeg(TFramePath& frames) {
    host::dshow::DeviceConfig camera = host::dshow::DefaultDevice();
    camera.width = 1920;
    camera.height = 1080;
    camera.compression = MakeFourCC('M', 'J', 'P', 'G');
    camera.bitCount = 24;
    host::dshow::UseDevices({camera});
    HRESULT status = 0;
    TVideoSample capture(nullptr, status);
    TFrameFormat format;
    if (capture.StartCapture("") < 0 ||
        capture.ReadCurrentFormat(format.width, format.height, format.compression) < 0)
        return;
    frames.HookUp(capture, format);
}

void BM_HandOver(benchmark::State& state, bool converting) {
    ComApartment apartment;
    host::SetTickSource([] { return 1000u; });  // the main thread counts as idle throughout
    host::SetTimeSliceYields(false);
    const std::vector<std::uint8_t> jpeg = conversion_test::EncodeJpeg(
        conversion_test::PhotoLikeRgb(1920, 1080), 1920, 1080, 3, JCS_RGB, {85, 2, 1, false});
    auto& queue = host::MessageQueue::Instance();
    for (auto _ : state) {
        TFramePath frames;
        HookUpFullHdMotionJpeg(frames);
        Bitmap target;
        target.SetSize(1920, 1080);
        if (converting) frames.AttachCanvas(&target.GetCanvas());  // no canvas: no conversion
        bool done = false;
        frames.OnAppIdle(done);
        while (queue.ProcessOne()) {
        }

        std::atomic<bool> streaming{true};
        std::vector<double> samples;
        samples.reserve(kHandOverFrames);
        std::thread stream([&] {
            auto next = std::chrono::steady_clock::now();
            for (int i = 0; i < kHandOverFrames; ++i) {
                std::this_thread::sleep_until(next += kFrameInterval);
                std::int32_t size = static_cast<std::int32_t>(jpeg.size());
                auto start = std::chrono::steady_clock::now();
                TFramePath::OnSampleArrived(&frames, const_cast<std::uint8_t*>(jpeg.data()), size);
                samples.push_back(std::chrono::duration<double, std::milli>(
                                      std::chrono::steady_clock::now() - start)
                                      .count());
            }
            streaming = false;
        });
        int conversions = 0;
        while (streaming) {
            if (converting) {
                // Back to back: the queued frame message, or the newest slot once more.
                if (!queue.ProcessOne()) frames.HandleFrameMessage(FrameMessage, 0, 0);
                ++conversions;
            } else if (!queue.ProcessOne()) {
                queue.WaitForMessage(std::chrono::milliseconds(2));
            }
        }
        stream.join();
        while (queue.ProcessOne()) {
        }
        HandOverFigures figures = Figures(samples);
        HandOverSessions()[converting ? "converting" : "alone"].push_back(figures);
        state.counters["median_ms"] = figures.median;
        state.counters["p99_ms"] = figures.p99;
        state.counters["max_ms"] = figures.max;
        state.counters["conversions"] = conversions;
    }
    host::SetTimeSliceYields(true);
    host::SetTickSource({});
    host::dshow::ResetRuntime();
}
BENCHMARK_CAPTURE(BM_HandOver, alone, false)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HandOver, converting, true)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

// Each figure from its best session: load from elsewhere only ever adds time.
void PrintHandOverRatio() {
    auto& sessions = HandOverSessions();
    if (sessions["alone"].empty() || sessions["converting"].empty()) return;
    auto best = [](const std::vector<HandOverFigures>& runs, double HandOverFigures::*figure) {
        double least = runs.front().*figure;
        for (const HandOverFigures& run : runs) least = std::min(least, run.*figure);
        return least;
    };
    const auto& alone = sessions["alone"];
    const auto& converting = sessions["converting"];
    double median = best(alone, &HandOverFigures::median);
    double p99 = best(alone, &HandOverFigures::p99);
    double max = best(alone, &HandOverFigures::max);
    std::printf(
        "  hand-over while converting vs alone: median %.2fx, p99 %.2fx, max %.2fx  (alone "
        "%.3f / %.3f / %.3f ms)\n",
        best(converting, &HandOverFigures::median) / median,
        best(converting, &HandOverFigures::p99) / p99,
        best(converting, &HandOverFigures::max) / max, median, p99, max);
}
