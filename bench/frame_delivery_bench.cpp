// The frame path's streaming-thread work: OnSampleArrived (stall guard, copy into the ring,
// post, yield) beside a plain memcpy of the same frame, and the main thread's frame message
// (convert the newest slot, draw it) for a YUY2 camera. Run from a Release build.

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "platform/bitmap.h"
#include "platform/host/message_queue.h"
#include "video/frame_path.h"

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

}  // namespace
