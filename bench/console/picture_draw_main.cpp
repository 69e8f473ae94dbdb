// The zoom dialog's picture area: the time of one scaled draw of a frame bitmap into the 320 x 240
// area, at 640 x 480 and 1920 x 1080 (on Windows GDI's halftone stretch onto the shown window,
// on the host the stand-in's scaling). Runs inside the window's first activation, when it is
// shown; batches of draws, the fastest batch kept, as load from elsewhere only ever adds time.
//
//   camzoom_picture_draw_bench [--rounds N]

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/console/clock.h"
#include "platform/bitmap.h"
#include "platform/camera_picture/camera_picture.h"
#include "platform/gui.h"
#ifndef _WIN32
#include "platform/host/testing/gui_controls.h"
#endif

namespace {

struct Size {
    const char* name;
    int width;
    int height;
};
constexpr Size kSizes[] = {{"640x480", 640, 480}, {"1920x1080", 1920, 1080}};

// A frame of the cameras' test picture in the bitmap.
bool FillFrame(Bitmap& frame, int width, int height) {
    if (!frame.SetSize(width, height)) return false;
    CameraPicture picture({width, height, PictureLayout::Rgb24, false});
    const std::size_t bytes = static_cast<std::size_t>(frame.RowStride()) * height;
    return picture.Draw(7, frame.PixelMemory(), bytes) == bytes;
}

double SecondsPerDraw(PictureBox& area, const Bitmap& frame, int draws) {
    area.Show(frame);  // untimed: the first draw sets up what later ones reuse
    const std::int64_t start = ClockTicks();
    for (int i = 0; i < draws; ++i) area.Show(frame);
    return static_cast<double>(ClockTicks() - start) / ClockTicksPerSecond() / draws;
}

void Measure(PictureBox& area, int rounds) {
    for (const Size& size : kSizes) {
        Bitmap frame;
        if (!FillFrame(frame, size.width, size.height)) {
            std::printf("%-10s no frame\n", size.name);
            continue;
        }
        double best = 1e9;
        for (int round = 0; round < rounds; ++round)
            best = std::min(best, SecondsPerDraw(area, frame, 10));
        std::printf("picture area draw %-10s -> 320x240: %8.1f us per painted frame\n", size.name,
                    best * 1e6);
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 20;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::max(1, std::atoi(argv[++i]));
#ifndef _WIN32
    host::SetConsoleEnabled(false);
#endif
    Application application;
    Form form("Picture draw", 100, 100, 340, 260);
    PictureBox area(form, {10, 10, 320, 240});
    form.OnActivate = [&] {
        Measure(area, rounds);
        form.Close();
    };
    application.CreateMainForm(form);
    application.Run();
    return 0;
}
