// The camera doubles' frame at 1920x1080 in YUY2 (the layout the cameras send most): the plain
// picture against the picture with every control's effect on at once (zoom and pan, levels,
// colours, white balance and a focus blur), which has to stay well inside a 30 fps frame time.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "platform/camera_picture/camera_picture.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

ControlReading Manual(std::int32_t min, std::int32_t max, std::int32_t defaultValue,
                      std::int32_t value) {
    return ControlReading{true, min, max, defaultValue, value, false};
}

PictureControlReadings EveryEffect() {
    PictureControlReadings r;
    r.camera[0] = Manual(-180, 180, 0, 20);         // pan
    r.camera[1] = Manual(-180, 180, 0, -10);        // tilt
    r.camera[3] = Manual(100, 500, 100, 180);       // zoom
    r.camera[4] = Manual(-13, -1, -6, -5);          // exposure
    r.camera[6] = Manual(0, 250, 0, 150);           // focus
    r.procAmp[0] = Manual(-64, 64, 0, 12);          // brightness
    r.procAmp[1] = Manual(0, 100, 50, 60);          // contrast
    r.procAmp[2] = Manual(-40, 40, 0, 15);          // hue
    r.procAmp[3] = Manual(0, 128, 64, 90);          // saturation
    r.procAmp[5] = Manual(72, 500, 100, 140);       // gamma
    r.procAmp[7] = Manual(2800, 6500, 4600, 3300);  // white balance
    r.procAmp[9] = Manual(0, 100, 0, 20);           // gain
    return r;
}

void DrawFrames(benchmark::State& state, const PictureEffects& effects) {
    CameraPicture picture({kWidth, kHeight, PictureLayout::Yuy2, false});
    picture.SetEffects(effects);
    std::vector<std::uint8_t> frame(picture.FrameSize());
    std::uint64_t number = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(picture.Draw(number++, frame.data(), frame.size()));
        benchmark::ClobberMemory();
    }
}

void BM_CameraPicturePlain_1920x1080(benchmark::State& state) { DrawFrames(state, {}); }
BENCHMARK(BM_CameraPicturePlain_1920x1080)->Unit(benchmark::kMillisecond);

// The effects are worked out once per frame too, as the cameras do.
void BM_CameraPictureEveryEffect_1920x1080(benchmark::State& state) {
    CameraPicture picture({kWidth, kHeight, PictureLayout::Yuy2, false});
    std::vector<std::uint8_t> frame(picture.FrameSize());
    const PictureControlReadings readings = EveryEffect();
    std::uint64_t number = 0;
    for (auto _ : state) {
        picture.SetEffects(EffectsOf(readings));
        benchmark::DoNotOptimize(picture.Draw(number++, frame.data(), frame.size()));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CameraPictureEveryEffect_1920x1080)->Unit(benchmark::kMillisecond);

}  // namespace
