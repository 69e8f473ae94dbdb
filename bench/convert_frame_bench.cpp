// Frame conversion speed: ConvertFrame for each layout beside the floors and references it is
// measured against (memcpy of the output frame, libyuv, libjpeg-turbo's own decode), with a
// ratio summary at the end. Run from a Release build (preset host-release).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>

#ifdef CAMZOOM_HAVE_LIBYUV
#include <libyuv.h>
#endif

#include "platform/bitmap.h"
#include "tests/unit/video/conversion_support.h"
#include "video/frame_conversion.h"

namespace {

struct FrameSize {
    int width;
    int height;
    std::string Name() const { return std::to_string(width) + "x" + std::to_string(height); }
};

constexpr FrameSize kSizes[] = {{640, 480}, {1280, 720}, {1920, 1080}};

constexpr TConversionPath kPaths[] = {TConversionPath::Scalar, TConversionPath::Sse41,
                                      TConversionPath::Avx2, TConversionPath::Avx512};

const char* PathName(TConversionPath path) {
    switch (path) {
        case TConversionPath::Scalar:
            return "scalar";
        case TConversionPath::Sse41:
            return "sse41";
        case TConversionPath::Avx2:
            return "avx2";
        case TConversionPath::Avx512:
            return "avx512";
    }
    return "?";
}

// The YUV benchmarks of one layout: the best path under the layout's plain name, every other
// path this processor runs with the path's name added.
std::string YuvBenchName(const std::string& layout, TConversionPath path, const FrameSize& size) {
    const bool best = path == TFrameConversion::BestSupportedPath();
    return "ConvertFrame/" + layout + (best ? "" : std::string("-") + PathName(path)) + "/" +
           size.Name();
}

std::vector<std::uint8_t> RandomBytes(std::size_t count) {
    std::mt19937 random(7);
    std::vector<std::uint8_t> bytes(count);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    return bytes;
}

std::vector<std::uint8_t> PhotoJpeg(const FrameSize& size, int vSampling) {
    return conversion_test::EncodeJpeg(conversion_test::PhotoLikeRgb(size.width, size.height),
                                       size.width, size.height, 3, JCS_RGB,
                                       {85, 2, vSampling, false});
}

void ConvertFrameBench(benchmark::State& state, FrameSize size, std::uint32_t code,
                       std::vector<std::uint8_t> frame, TConversionPath path) {
    TFrameConversion conversion;
    conversion.SetConversionPath(path);
    Bitmap bitmap;
    bitmap.SetSize(size.width, size.height);
    for (auto _ : state) {
        const bool done =
            conversion.ConvertFrame(static_cast<std::int32_t>(frame.size()), frame.data(),
                                    size.width, size.height, code, bitmap);
        benchmark::DoNotOptimize(done);
        benchmark::ClobberMemory();
    }
}

void MemcpyFloor(benchmark::State& state, FrameSize size) {
    Bitmap bitmap;
    bitmap.SetSize(size.width, size.height);
    const auto frame = RandomBytes(static_cast<std::size_t>(size.width) * size.height * 3);
    for (auto _ : state) {
        std::memcpy(bitmap.PixelMemory(), frame.data(), frame.size());
        benchmark::ClobberMemory();
    }
}

// A buffer on a page boundary, as the bitmap's pixels are: a buffer at an arbitrary 16-byte
// boundary makes the vector stores straddle cache lines and the decode a few per cent slower,
// which would flatter the comparison.
struct PageAlignedBuffer {
    struct Free {
        void operator()(std::uint8_t* memory) const { ::operator delete[](memory, kAlignment); }
    };
    static constexpr std::align_val_t kAlignment{4096};

    void Resize(std::size_t size) {
        if (size <= capacity) return;
        bytes.reset(static_cast<std::uint8_t*>(::operator new[](size, kAlignment)));
        capacity = size;
    }

    std::unique_ptr<std::uint8_t[], Free> bytes;
    std::size_t capacity = 0;
};

// libjpeg-turbo by itself: the same settings, B, G, R rows into a reused buffer.
void LibjpegDecode(benchmark::State& state, std::vector<std::uint8_t> jpeg) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    PageAlignedBuffer picture;
    std::vector<JSAMPROW> rows;
    for (auto _ : state) {
        jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
        jpeg_read_header(&info, TRUE);
        conversion_test::UseConversionSettings(info);
        jpeg_start_decompress(&info);
        const std::size_t stride = static_cast<std::size_t>(info.output_width) * 3;
        picture.Resize(stride * info.output_height);
        rows.resize(info.output_height);
        for (std::size_t r = 0; r < rows.size(); ++r) rows[r] = picture.bytes.get() + r * stride;
        while (info.output_scanline < info.output_height) {
            jpeg_read_scanlines(&info, rows.data() + info.output_scanline,
                                info.output_height - info.output_scanline);
        }
        jpeg_finish_decompress(&info);
        benchmark::ClobberMemory();
    }
    jpeg_destroy_decompress(&info);
}

#ifdef CAMZOOM_HAVE_LIBYUV
// libyuv writes top-down; a negative stride from the top row fills the bottom-up bitmap.
void LibyuvI420(benchmark::State& state, FrameSize size) {
    Bitmap bitmap;
    bitmap.SetSize(size.width, size.height);
    const int w = size.width, h = size.height;
    const auto frame = RandomBytes(static_cast<std::size_t>(w) * h * 3 / 2);
    const std::uint8_t* y = frame.data();
    const std::uint8_t* u = y + w * h;
    const std::uint8_t* v = u + w * h / 4;
    for (auto _ : state) {
        libyuv::I420ToRGB24(y, w, u, w / 2, v, w / 2, bitmap.ScanLine(0), -bitmap.RowStride(), w,
                            h);
        benchmark::ClobberMemory();
    }
}

void LibyuvYuy2ViaArgb(benchmark::State& state, FrameSize size) {
    Bitmap bitmap;
    bitmap.SetSize(size.width, size.height);
    const int w = size.width, h = size.height;
    const auto frame = RandomBytes(static_cast<std::size_t>(w) * h * 2);
    std::vector<std::uint8_t> argb(static_cast<std::size_t>(w) * h * 4);
    for (auto _ : state) {
        libyuv::YUY2ToARGB(frame.data(), w * 2, argb.data(), w * 4, w, h);
        libyuv::ARGBToRGB24(argb.data(), w * 4, bitmap.ScanLine(0), -bitmap.RowStride(), w, h);
        benchmark::ClobberMemory();
    }
}

void LibyuvYuy2ViaI420(benchmark::State& state, FrameSize size) {
    Bitmap bitmap;
    bitmap.SetSize(size.width, size.height);
    const int w = size.width, h = size.height;
    const auto frame = RandomBytes(static_cast<std::size_t>(w) * h * 2);
    std::vector<std::uint8_t> planar(static_cast<std::size_t>(w) * h * 3 / 2);
    std::uint8_t* y = planar.data();
    std::uint8_t* u = y + w * h;
    std::uint8_t* v = u + w * h / 4;
    for (auto _ : state) {
        libyuv::YUY2ToI420(frame.data(), w * 2, y, w, u, w / 2, v, w / 2, w, h);
        libyuv::I420ToRGB24(y, w, u, w / 2, v, w / 2, bitmap.ScanLine(0), -bitmap.RowStride(), w,
                            h);
        benchmark::ClobberMemory();
    }
}
#endif

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
        for (const FrameSize& size : kSizes) {
            const std::string s = size.Name();
            Ratio("RGB  " + s + " vs memcpy", "ConvertFrame/RGB/" + s, {"Floor/memcpy/" + s});
            const std::vector<std::string> yuy2References{"Libyuv/YUY2ToARGB+ARGBToRGB24/" + s,
                                                          "Libyuv/YUY2ToI420+I420ToRGB24/" + s};
            const std::vector<std::string> i420References{"Libyuv/I420ToRGB24/" + s};
            Ratio("YUY2 " + s + " vs libyuv", "ConvertFrame/YUY2/" + s, yuy2References);
            PathRatios("YUY2", size, yuy2References);
            Ratio("I420 " + s + " vs libyuv", "ConvertFrame/I420/" + s, i420References);
            PathRatios("I420", size, i420References);
            Ratio("MJPG 4:2:2 " + s + " vs libjpeg", "ConvertFrame/MJPG-422/" + s,
                  {"Libjpeg/decode-422/" + s});
            Ratio("MJPG 4:2:0 " + s + " vs libjpeg", "ConvertFrame/MJPG-420/" + s,
                  {"Libjpeg/decode-420/" + s});
        }
    }

  private:
    // One indented line per path that this processor runs, so that a slower fallback shows.
    void PathRatios(const std::string& layout, const FrameSize& size,
                    const std::vector<std::string>& references) {
        for (TConversionPath path : kPaths) {
            if (!TFrameConversion::PathSupported(path)) continue;
            Ratio("  " + layout + " " + size.Name() + " " + PathName(path),
                  YuvBenchName(layout, path, size), references);
        }
    }

    // Against the fastest of the given references.
    void Ratio(const std::string& label, const std::string& ours,
               const std::vector<std::string>& references) {
        const auto mine = times_.find(ours);
        double best = 0;
        std::string bestName;
        for (const std::string& name : references) {
            const auto it = times_.find(name);
            if (it != times_.end() && (best == 0 || it->second < best)) {
                best = it->second;
                bestName = name;
            }
        }
        if (mine == times_.end() || best == 0) return;
        std::printf("  %-32s %6.3f ms / %6.3f ms = %5.2fx  (%s)\n", label.c_str(), mine->second,
                    best, mine->second / best, bestName.c_str());
    }

    std::map<std::string, double> times_;
};

void RegisterAll() {
    const TConversionPath best = TFrameConversion::BestSupportedPath();
    for (const FrameSize& size : kSizes) {
        const std::string s = size.Name();
        const std::size_t pixels = static_cast<std::size_t>(size.width) * size.height;
        auto add = [](const std::string& name, auto&& function, auto... arguments) {
            benchmark::RegisterBenchmark(name.c_str(), function, arguments...)
                ->Unit(benchmark::kMillisecond)
                ->MinTime(0.3)
                ->ComputeStatistics("min", [](const std::vector<double>& times) {
                    return *std::min_element(times.begin(), times.end());
                });
        };
        add("Floor/memcpy/" + s, MemcpyFloor, size);
        add("ConvertFrame/RGB/" + s, ConvertFrameBench, size, kCompressionRgb,
            RandomBytes(pixels * 3), best);
        for (TConversionPath path : kPaths) {
            if (!TFrameConversion::PathSupported(path)) continue;
            add(YuvBenchName("YUY2", path, size), ConvertFrameBench, size, kCompressionYuy2,
                RandomBytes(pixels * 2), path);
            add(YuvBenchName("I420", path, size), ConvertFrameBench, size, kCompressionI420,
                RandomBytes(pixels * 3 / 2), path);
        }
#ifdef CAMZOOM_HAVE_LIBYUV
        add("Libyuv/YUY2ToARGB+ARGBToRGB24/" + s, LibyuvYuy2ViaArgb, size);
        add("Libyuv/YUY2ToI420+I420ToRGB24/" + s, LibyuvYuy2ViaI420, size);
        add("Libyuv/I420ToRGB24/" + s, LibyuvI420, size);
#endif
        const auto jpeg422 = PhotoJpeg(size, 1);
        const auto jpeg420 = PhotoJpeg(size, 2);
        add("ConvertFrame/MJPG-422/" + s, ConvertFrameBench, size, kCompressionMjpg, jpeg422, best);
        add("Libjpeg/decode-422/" + s, LibjpegDecode, jpeg422);
        add("ConvertFrame/MJPG-420/" + s, ConvertFrameBench, size, kCompressionMjpg, jpeg420, best);
        add("Libjpeg/decode-420/" + s, LibjpegDecode, jpeg420);
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
