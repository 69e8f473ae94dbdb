// Frame conversion speed: ConvertFrame for each layout beside the floors and references it is
// measured against (memcpy of the output frame, libyuv, libjpeg-turbo's own decode), with a
// ratio summary at the end. Run from a Release build (preset host-release).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/convert_frame_cases.h"
#include "bench/frame_delivery_bench.h"

namespace {

using convert_bench::FrameSize;
using convert_bench::kSizes;

// Collects the mean time of each run for the ratio summary.
class SummaryReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        // The fastest repetition of each benchmark, in CPU time: load from elsewhere on a shared
        // machine only ever adds time, so the minimum is the steadiest estimate. The "min"
        // aggregate carries it when only aggregates are reported.
        for (const Run& run : runs) {
            const bool fastest = run.run_type == Run::RT_Aggregate && run.aggregate_name == "min";
            if ((run.run_type != Run::RT_Iteration && !fastest) || run.iterations == 0) continue;
            const double time = run.GetAdjustedCPUTime();
            auto [it, added] = times_.emplace(run.run_name.function_name, time);
            if (!added && time < it->second) it->second = time;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf(
            "\nRatios (ConvertFrame / fastest reference, fastest repetition in CPU time, this "
            "run):\n");
        convert_bench::PrintRatioLines(times_);
        PrintHandOverRatio();
    }

  private:
    // Against the fastest of the given references.
    void Ratio(const std::string& label, const std::string& ours,
               const std::vector<std::string>& references) {
        convert_bench::PrintRatio(times_, label, ours, references);
    }

    std::map<std::string, double> times_;
};

void RegisterAll() {
    for (const FrameSize& size : kSizes) {
        for (convert_bench::Measurement& measurement : convert_bench::Measurements(size)) {
            benchmark::RegisterBenchmark(
                measurement.name.c_str(),
                [make = std::move(measurement.make)](benchmark::State& state) {
                    const convert_bench::Run run = make();
                    for (auto _ : state) {
                        run();
                        benchmark::ClobberMemory();
                    }
                })
                ->Unit(benchmark::kMillisecond)
                ->MinTime(0.3)
                ->ComputeStatistics("min", [](const std::vector<double>& times) {
                    return *std::min_element(times.begin(), times.end());
                });
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RegisterAll();
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
