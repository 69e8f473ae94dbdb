#include "virtual_camera/jpeg_encoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

namespace vcam {
namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void OnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void IgnoreMessage(j_common_ptr) {}

// Everything that longjmp may skip is plain data, so nothing leaks but what jpeg_destroy frees.
size_t EncodeOrFail(jpeg_compress_struct& info, ErrorManager& errors, const uint8_t* bgr, int width,
                    int height, unsigned char** out, unsigned long* outSize) {
    if (setjmp(errors.jump)) return 0;
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, out, outSize);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 85, TRUE);
    jpeg_start_compress(&info, TRUE);
    const size_t stride = static_cast<size_t>(width) * 3;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(bgr + info.next_scanline * stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    return 1;
}

}  // namespace

size_t JpegEncoder::Encode(const uint8_t* bgr, int width, int height, uint8_t* target,
                           size_t capacity) {
    jpeg_compress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnError;
    errors.base.output_message = IgnoreMessage;
    // libjpeg writes straight into `target` and only allocates its own buffer when that is full.
    unsigned char* out = target;
    unsigned long outSize = static_cast<unsigned long>(capacity);
    const size_t ok = EncodeOrFail(info, errors, bgr, width, height, &out, &outSize);
    jpeg_destroy_compress(&info);
    size_t written = 0;
    if (ok && outSize <= capacity) {
        if (out != target) std::memcpy(target, out, outSize);
        written = outSize;
    }
    if (out != target) std::free(out);
    return written;
}

}  // namespace vcam
