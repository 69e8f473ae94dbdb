#pragma once

// The frame conversion measurements, shared by the Google Benchmark program (host) and the
// console benchmark that the Windows build runs: each is prepared once, then run again and
// again, under the same name in both programs; with the ratio lines that compare them.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <jpeglib.h>

#ifdef CAMZOOM_HAVE_LIBYUV
#include <libyuv.h>
#endif

#include "platform/bitmap.h"
#include "tests/unit/video/frame_conversion_support.h"
#include "video/frame_conversion.h"

namespace convert_bench {

struct FrameSize {
    int width;
    int height;
    std::string Name() const { return std::to_string(width) + "x" + std::to_string(height); }
    std::size_t Pixels() const { return static_cast<std::size_t>(width) * height; }
};

inline constexpr FrameSize kSizes[] = {{640, 480}, {1280, 720}, {1920, 1080}};

inline constexpr TConversionPath kPaths[] = {TConversionPath::Scalar, TConversionPath::Sse41,
                                             TConversionPath::Avx2, TConversionPath::Avx512};

inline const char* PathName(TConversionPath path) {
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

// The measurements of a layout that each conversion path does its own way (the YUV layouts and
// Motion-JPEG): the best path under the layout's plain name, every other path this processor
// runs with the path's name added.
inline std::string PathMeasurementName(const std::string& layout, TConversionPath path,
                                       const FrameSize& size) {
    const bool best = path == TFrameConversion::BestSupportedPath();
    return "ConvertFrame/" + layout + (best ? "" : std::string("-") + PathName(path)) + "/" +
           size.Name();
}

inline std::vector<std::uint8_t> RandomBytes(std::size_t count) {
    std::mt19937 random(7);
    std::vector<std::uint8_t> bytes(count);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    return bytes;
}

inline std::vector<std::uint8_t> PhotoJpeg(const FrameSize& size, int vSampling) {
    return conversion_test::EncodeJpeg(conversion_test::PhotoLikeRgb(size.width, size.height),
                                       size.width, size.height, 3, JCS_RGB,
                                       {85, 2, vSampling, false});
}

// One operation, ready to run; it owns everything it works on.
using Run = std::function<void()>;

// A frame bitmap of the given size, owned by the operation that writes into it.
inline std::shared_ptr<Bitmap> FrameBitmap(const FrameSize& size) {
    auto bitmap = std::make_shared<Bitmap>();
    bitmap->SetSize(size.width, size.height);
    return bitmap;
}

inline Run ConvertFrameRun(const FrameSize& size, std::uint32_t code,
                           std::vector<std::uint8_t> frame, TConversionPath path) {
    auto conversion = std::make_shared<TFrameConversion>();
    conversion->SetConversionPath(path);
    auto bitmap = FrameBitmap(size);
    return [conversion, bitmap, size, code, frame = std::move(frame)] {
        conversion->ConvertFrame(static_cast<std::int32_t>(frame.size()), frame.data(), size.width,
                                 size.height, code, *bitmap);
    };
}

// The floor of the RGB layout: one block copy of the output frame with this build's memcpy.
inline Run MemcpyRun(const FrameSize& size) {
    auto bitmap = FrameBitmap(size);
    return [bitmap, frame = RandomBytes(size.Pixels() * 3)] {
        std::memcpy(bitmap->PixelMemory(), frame.data(), frame.size());
    };
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

// libjpeg-turbo by itself: the conversion's settings, B, G, R rows into a reused buffer.
class LibjpegDecoder {
  public:
    explicit LibjpegDecoder(std::vector<std::uint8_t> jpeg) : jpeg_(std::move(jpeg)) {
        info_.err = jpeg_std_error(&errors_);
        jpeg_create_decompress(&info_);
    }
    ~LibjpegDecoder() { jpeg_destroy_decompress(&info_); }
    LibjpegDecoder(const LibjpegDecoder&) = delete;
    LibjpegDecoder& operator=(const LibjpegDecoder&) = delete;

    void Decode() {
        jpeg_mem_src(&info_, jpeg_.data(), static_cast<unsigned long>(jpeg_.size()));
        jpeg_read_header(&info_, TRUE);
        conversion_test::UseConversionSettings(info_);
        jpeg_start_decompress(&info_);
        const std::size_t stride = static_cast<std::size_t>(info_.output_width) * 3;
        picture_.Resize(stride * info_.output_height);
        rows_.resize(info_.output_height);
        for (std::size_t r = 0; r < rows_.size(); ++r) rows_[r] = picture_.bytes.get() + r * stride;
        while (info_.output_scanline < info_.output_height) {
            jpeg_read_scanlines(&info_, rows_.data() + info_.output_scanline,
                                info_.output_height - info_.output_scanline);
        }
        jpeg_finish_decompress(&info_);
    }

  private:
    std::vector<std::uint8_t> jpeg_;
    jpeg_decompress_struct info_{};
    jpeg_error_mgr errors_{};
    PageAlignedBuffer picture_;
    std::vector<JSAMPROW> rows_;
};

inline Run LibjpegRun(std::vector<std::uint8_t> jpeg) {
    auto decoder = std::make_shared<LibjpegDecoder>(std::move(jpeg));
    return [decoder] { decoder->Decode(); };
}

#ifdef CAMZOOM_HAVE_LIBYUV
// libyuv writes top-down; a negative stride from the top row fills the bottom-up bitmap.
inline Run LibyuvI420Run(const FrameSize& size) {
    auto bitmap = FrameBitmap(size);
    return [bitmap, size, frame = RandomBytes(size.Pixels() * 3 / 2)] {
        const int w = size.width, h = size.height;
        const std::uint8_t* y = frame.data();
        const std::uint8_t* u = y + w * h;
        const std::uint8_t* v = u + w * h / 4;
        libyuv::I420ToRGB24(y, w, u, w / 2, v, w / 2, bitmap->ScanLine(0), -bitmap->RowStride(), w,
                            h);
    };
}

inline Run LibyuvYuy2ViaArgbRun(const FrameSize& size) {
    auto bitmap = FrameBitmap(size);
    auto argb = std::make_shared<std::vector<std::uint8_t>>(size.Pixels() * 4);
    return [bitmap, argb, size, frame = RandomBytes(size.Pixels() * 2)] {
        const int w = size.width, h = size.height;
        libyuv::YUY2ToARGB(frame.data(), w * 2, argb->data(), w * 4, w, h);
        libyuv::ARGBToRGB24(argb->data(), w * 4, bitmap->ScanLine(0), -bitmap->RowStride(), w, h);
    };
}

inline Run LibyuvYuy2ViaI420Run(const FrameSize& size) {
    auto bitmap = FrameBitmap(size);
    auto planar = std::make_shared<std::vector<std::uint8_t>>(size.Pixels() * 3 / 2);
    return [bitmap, planar, size, frame = RandomBytes(size.Pixels() * 2)] {
        const int w = size.width, h = size.height;
        std::uint8_t* y = planar->data();
        std::uint8_t* u = y + w * h;
        std::uint8_t* v = u + w * h / 4;
        libyuv::YUY2ToI420(frame.data(), w * 2, y, w, u, w / 2, v, w / 2, w, h);
        libyuv::I420ToRGB24(y, w, u, w / 2, v, w / 2, bitmap->ScanLine(0), -bitmap->RowStride(), w,
                            h);
    };
}
#endif

// A named operation, made when it is about to be measured (so that only one frame size's
// buffers are held at a time).
struct Measurement {
    std::string name;
    std::function<Run()> make;
};

// Every measurement of one frame size, in the order they are listed.
inline std::vector<Measurement> Measurements(const FrameSize& size) {
    const std::string s = size.Name();
    const std::size_t pixels = size.Pixels();
    const TConversionPath best = TFrameConversion::BestSupportedPath();
    std::vector<Measurement> list;
    list.push_back({"Floor/memcpy/" + s, [size] { return MemcpyRun(size); }});
    list.push_back({"ConvertFrame/RGB/" + s, [size, pixels, best] {
                        return ConvertFrameRun(size, kCompressionRgb, RandomBytes(pixels * 3),
                                               best);
                    }});
    for (TConversionPath path : kPaths) {
        if (!TFrameConversion::PathSupported(path)) continue;
        list.push_back({PathMeasurementName("YUY2", path, size), [size, pixels, path] {
                            return ConvertFrameRun(size, kCompressionYuy2, RandomBytes(pixels * 2),
                                                   path);
                        }});
        list.push_back({PathMeasurementName("I420", path, size), [size, pixels, path] {
                            return ConvertFrameRun(size, kCompressionI420,
                                                   RandomBytes(pixels * 3 / 2), path);
                        }});
    }
#ifdef CAMZOOM_HAVE_LIBYUV
    list.push_back(
        {"Libyuv/YUY2ToARGB+ARGBToRGB24/" + s, [size] { return LibyuvYuy2ViaArgbRun(size); }});
    list.push_back(
        {"Libyuv/YUY2ToI420+I420ToRGB24/" + s, [size] { return LibyuvYuy2ViaI420Run(size); }});
    list.push_back({"Libyuv/I420ToRGB24/" + s, [size] { return LibyuvI420Run(size); }});
#endif
    // The JPEG frames are encoded here, once, and copied into each run.
    struct JpegLayout {
        const char* name;
        const char* chroma;
        int vSampling;
    };
    for (const JpegLayout& layout :
         {JpegLayout{"MJPG-422", "422", 1}, JpegLayout{"MJPG-420", "420", 2}}) {
        const auto jpeg = PhotoJpeg(size, layout.vSampling);
        for (TConversionPath path : kPaths) {
            if (!TFrameConversion::PathSupported(path)) continue;
            list.push_back({PathMeasurementName(layout.name, path, size), [size, path, jpeg] {
                                return ConvertFrameRun(size, kCompressionMjpg, jpeg, path);
                            }});
        }
        list.push_back({std::string("Libjpeg/decode-") + layout.chroma + "/" + s,
                        [jpeg] { return LibjpegRun(jpeg); }});
    }
    return list;
}

// Fastest time of each measurement by name, in milliseconds.
using Times = std::map<std::string, double>;

// One line of the ratio block: `ours` against the fastest of `references` that was measured;
// nothing when either is missing.
inline void PrintRatio(const Times& times, const std::string& label, const std::string& ours,
                       const std::vector<std::string>& references) {
    const auto mine = times.find(ours);
    double best = 0;
    std::string bestName;
    for (const std::string& name : references) {
        const auto it = times.find(name);
        if (it != times.end() && (best == 0 || it->second < best)) {
            best = it->second;
            bestName = name;
        }
    }
    if (mine == times.end() || best == 0) return;
    std::printf("  %-32s %6.3f ms / %6.3f ms = %5.2fx  (%s)\n", label.c_str(), mine->second, best,
                mine->second / best, bestName.c_str());
}

// The ratio block: per size one line per layout, and under each YUV and Motion-JPEG layout one
// indented line per path that this processor runs, so that a slower fallback shows too.
inline void PrintRatioLines(const Times& times) {
    for (const FrameSize& size : kSizes) {
        const std::string s = size.Name();
        const std::vector<std::string> yuy2{"Libyuv/YUY2ToARGB+ARGBToRGB24/" + s,
                                            "Libyuv/YUY2ToI420+I420ToRGB24/" + s};
        const std::vector<std::string> i420{"Libyuv/I420ToRGB24/" + s};
        auto paths = [&](const std::string& layout, const std::vector<std::string>& references) {
            for (TConversionPath path : kPaths) {
                if (!TFrameConversion::PathSupported(path)) continue;
                PrintRatio(times, "  " + layout + " " + s + " " + PathName(path),
                           PathMeasurementName(layout, path, size), references);
            }
        };
        PrintRatio(times, "RGB  " + s + " vs memcpy", "ConvertFrame/RGB/" + s,
                   {"Floor/memcpy/" + s});
        PrintRatio(times, "YUY2 " + s + " vs libyuv", "ConvertFrame/YUY2/" + s, yuy2);
        paths("YUY2", yuy2);
        PrintRatio(times, "I420 " + s + " vs libyuv", "ConvertFrame/I420/" + s, i420);
        paths("I420", i420);
        PrintRatio(times, "MJPG 4:2:2 " + s + " vs libjpeg", "ConvertFrame/MJPG-422/" + s,
                   {"Libjpeg/decode-422/" + s});
        paths("MJPG-422", {"Libjpeg/decode-422/" + s});
        PrintRatio(times, "MJPG 4:2:0 " + s + " vs libjpeg", "ConvertFrame/MJPG-420/" + s,
                   {"Libjpeg/decode-420/" + s});
        paths("MJPG-420", {"Libjpeg/decode-420/" + s});
    }
}

}  // namespace convert_bench
