// The zoom dialog's picture area on the host: one scaled draw of a frame bitmap into the
// 320 x 240 area per painted frame (the stand-in's nearest-pixel scaling).
#include <benchmark/benchmark.h>

#include <cstddef>

#include "platform/bitmap.h"
#include "platform/camera_picture/camera_picture.h"
#include "platform/gui.h"

namespace {

void BM_PictureAreaDraw(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    Bitmap frame;
    frame.SetSize(width, height);
    CameraPicture picture({width, height, PictureLayout::Rgb24, false});
    picture.Draw(7, frame.PixelMemory(), static_cast<std::size_t>(frame.RowStride()) * height);
    Form dialog("Camera zoom", 0, 0, 340, 331);
    PictureBox area(dialog, {10, 10, 320, 240});
    for (auto _ : state) {
        area.Show(frame);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PictureAreaDraw)->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

}  // namespace
