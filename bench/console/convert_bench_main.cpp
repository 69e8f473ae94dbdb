// Frame conversion speed without Google Benchmark, for the Windows build (which has none) and
// the host build beside it: the measurements of camzoom_bench, each timed in repeated runs on
// the platform's high-resolution counter, the fastest run kept, and the same ratio block.
//
//   camzoom_convert_bench [--rounds N] [--filter TEXT] [--merge FILE]...
//
// Every round runs each measurement of a frame size once, in a new random order, as a batch of
// calls lasting about a millisecond after one untimed call; load from elsewhere only ever adds
// time, so the fastest batch is the estimate. --merge takes the fastest times listed in an earlier
// run's output as well, so that runs taking turns with another build's can be summed up in one
// block.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/console/clock.h"
#include "bench/convert_frame_cases.h"

namespace {

using convert_bench::FrameSize;
using convert_bench::Measurement;
using convert_bench::Run;
using convert_bench::Times;

// Stores made by a run are results: nothing may be moved across or dropped.
inline void KeepResults() { asm volatile("" ::: "memory"); }

double Seconds(std::int64_t ticks) { return static_cast<double>(ticks) / ClockTicksPerSecond(); }

// Seconds per call of a batch of `calls` calls, after one untimed call: the other measurements
// of the round have just filled the caches with their buffers, and a large frame's batch is
// only a call or two, so without it the cold start would be most of what is timed.
double TimeBatch(const Run& run, int calls) {
    run();
    KeepResults();
    const std::int64_t start = ClockTicks();
    for (int i = 0; i < calls; ++i) {
        run();
        KeepResults();
    }
    return Seconds(ClockTicks() - start) / calls;
}

struct Options {
    int rounds = 30;
    std::string filter;
    std::vector<std::string> merged;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--rounds" && i + 1 < argc) {
            options.rounds = std::max(1, std::atoi(argv[++i]));
        } else if (argument == "--filter" && i + 1 < argc) {
            options.filter = argv[++i];
        } else if (argument == "--merge" && i + 1 < argc) {
            options.merged.push_back(argv[++i]);
        } else {
            std::fprintf(stderr,
                         "usage: camzoom_convert_bench [--rounds N] [--filter TEXT] "
                         "[--merge FILE]...\n");
            return false;
        }
    }
    return true;
}

void Keep(Times& fastest, const std::string& name, double ms) {
    auto [it, added] = fastest.emplace(name, ms);
    if (!added) it->second = std::min(it->second, ms);
}

// The "  NAME  MS ms" lines of an earlier run's output.
bool MergeTimes(const std::string& path, Times& fastest) {
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (!file) return false;
    char name[256];
    double ms = 0;
    char line[512];
    while (std::fgets(line, sizeof line, file)) {
        if (std::sscanf(line, " %255s %lf ms", name, &ms) == 2 && std::strchr(name, '/')) {
            Keep(fastest, name, ms);
        }
    }
    std::fclose(file);
    return true;
}

// Whether every path this build runs gives the scalar path's bytes for a random frame of each
// YUV layout and a 4:2:2 and a 4:2:0 Motion-JPEG frame at `size`: the unit tests prove it on the
// host build, this on the build measured.
bool PathsAgree(const FrameSize& size) {
    const std::pair<std::uint32_t, std::vector<std::uint8_t>> frames[] = {
        {kCompressionYuy2, convert_bench::RandomBytes(size.Pixels() * 2)},
        {kCompressionI420, convert_bench::RandomBytes(size.Pixels() * 3 / 2)},
        {kCompressionMjpg, convert_bench::PhotoJpeg(size, 1)},
        {kCompressionMjpg, convert_bench::PhotoJpeg(size, 2)}};
    for (const auto& [code, frame] : frames) {
        // Named captures: clang 14 cannot capture structured bindings.
        auto convert = [&size, code = code, &frame = frame](TConversionPath path, Bitmap& bitmap) {
            TFrameConversion conversion;
            conversion.SetConversionPath(path);
            bitmap.SetSize(size.width, size.height);
            return conversion.ConvertFrame(static_cast<std::int32_t>(frame.size()), frame.data(),
                                           size.width, size.height, code, bitmap);
        };
        Bitmap expected;
        if (!convert(TConversionPath::Scalar, expected)) return false;
        for (TConversionPath path : convert_bench::kPaths) {
            if (!TFrameConversion::PathSupported(path)) continue;
            Bitmap actual;
            if (!convert(path, actual) || !conversion_test::SamePixels(actual, expected)) {
                std::printf("path %s differs from the scalar path at %s\n",
                            convert_bench::PathName(path), size.Name().c_str());
                return false;
            }
        }
    }
    return true;
}

void MeasureSize(const FrameSize& size, const Options& options, std::mt19937& random,
                 Times& fastest) {
    std::vector<Measurement> list = convert_bench::Measurements(size);
    std::erase_if(list, [&](const Measurement& m) {
        return m.name.find(options.filter) == std::string::npos;
    });
    std::vector<Run> runs;
    std::vector<int> calls;
    for (const Measurement& measurement : list) {
        runs.push_back(measurement.make());
        const double once = TimeBatch(runs.back(), 1);  // also builds the tables
        calls.push_back(std::clamp(static_cast<int>(1e-3 / std::max(once, 1e-7)), 1, 10000));
    }
    std::vector<std::size_t> order(list.size());
    std::iota(order.begin(), order.end(), 0);
    for (int round = 0; round < options.rounds; ++round) {
        std::shuffle(order.begin(), order.end(), random);
        for (std::size_t i : order) {
            Keep(fastest, list[i].name, TimeBatch(runs[i], calls[i]) * 1e3);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) return 2;
    std::printf("Conversion paths this processor runs:");
    for (TConversionPath path : convert_bench::kPaths) {
        if (TFrameConversion::PathSupported(path))
            std::printf(" %s", convert_bench::PathName(path));
    }
    std::printf(" (best: %s)\n", convert_bench::PathName(TFrameConversion::BestSupportedPath()));
    for (const FrameSize& size : convert_bench::kSizes) {
        if (!PathsAgree(size)) return 1;
    }
    std::printf(
        "Every path gives the scalar path's bytes for YUY2, I420 and MJPG 4:2:2 and 4:2:0 at "
        "every size.\n");
    std::mt19937 random(12);
    Times fastest;
    for (const std::string& path : options.merged) {
        if (!MergeTimes(path, fastest)) {
            std::fprintf(stderr, "camzoom_convert_bench: cannot read %s\n", path.c_str());
            return 2;
        }
    }
    for (const FrameSize& size : convert_bench::kSizes) {
        MeasureSize(size, options, random, fastest);
    }
    std::printf("\nFastest repetition per call (%d rounds, %d earlier runs merged):\n",
                options.rounds, static_cast<int>(options.merged.size()));
    for (const auto& [name, ms] : fastest) std::printf("  %-40s %9.4f ms\n", name.c_str(), ms);
    std::printf("\nRatios (ConvertFrame / fastest reference, fastest repetition, this run):\n");
    convert_bench::PrintRatioLines(fastest);
    std::fflush(stdout);
    return 0;
}
