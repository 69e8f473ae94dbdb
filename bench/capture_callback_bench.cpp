// The frame callback object's hand-over: the cost per frame does not grow with the frame, as
// the callback receives the sample's own buffer.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "capture/SampleGrabberCB.h"

namespace {

void CountFrame(void* data, std::uint8_t* buffer, std::int32_t& size) {
    auto* total = static_cast<std::int64_t*>(data);
    *total += size + buffer[0];
}

void BM_FrameToInstalledCallback(benchmark::State& state) {
    std::vector<BYTE> frame(static_cast<std::size_t>(state.range(0)), 1);
    ComPtr<TSampleGrabberCBInt> callback(new TSampleGrabberCB(nullptr));
    std::int64_t total = 0;
    static_cast<TSampleGrabberCB*>(callback.Get())->Impl().Install(&CountFrame, &total);
    for (auto _ : state) {
        callback->BufferCB(0.0, frame.data(), static_cast<LONG>(frame.size()));
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FrameToInstalledCallback)->Arg(1 << 10)->Arg(640 * 480 * 2)->Arg(1920 * 1080 * 3);

void BM_InstallCallbackPair(benchmark::State& state) {
    ComPtr<TSampleGrabberCBInt> callback(new TSampleGrabberCB(nullptr));
    auto& impl = static_cast<TSampleGrabberCB*>(callback.Get())->Impl();
    std::int64_t total = 0;
    for (auto _ : state) impl.Install(&CountFrame, &total);
}
BENCHMARK(BM_InstallCallbackPair);

}  // namespace
