#include "platform/camera_picture/jpeg_encoder.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void OnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void IgnoreMessage(j_common_ptr) {}

struct InputFormat {
    int components;
    J_COLOR_SPACE space;
};

InputFormat FormatOf(JpegInput input) {
    switch (input) {
        case JpegInput::Bgr:
            return {3, JCS_EXT_BGR};
        case JpegInput::Rgb:
            return {3, JCS_RGB};
        case JpegInput::Grey:
            return {1, JCS_GRAYSCALE};
        case JpegInput::Cmyk:
            return {4, JCS_CMYK};
    }
    return {3, JCS_RGB};
}

// Everything that longjmp may skip is plain data, so nothing leaks but what the caller frees.
bool EncodeOrFail(jpeg_compress_struct& info, ErrorManager& errors, const std::uint8_t* pixels,
                  int width, int height, InputFormat format, const JpegSettings& settings,
                  unsigned char** out, unsigned long* outSize) {
    if (setjmp(errors.jump)) return false;
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, out, outSize);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = format.components;
    info.in_color_space = format.space;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, settings.quality, TRUE);
    if (format.components == 3) {
        info.comp_info[0].h_samp_factor = settings.lumaHorizontal;
        info.comp_info[0].v_samp_factor = settings.lumaVertical;
    }
    if (settings.progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    const std::size_t stride = static_cast<std::size_t>(width) * format.components;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels + info.next_scanline * stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    return true;
}

}  // namespace

std::vector<std::uint8_t> EncodeJpeg(const std::uint8_t* pixels, int width, int height,
                                     JpegInput input, const JpegSettings& settings) {
    jpeg_compress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnError;
    errors.base.output_message = IgnoreMessage;
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    const bool encoded = EncodeOrFail(info, errors, pixels, width, height, FormatOf(input),
                                      settings, &out, &outSize);
    jpeg_destroy_compress(&info);
    std::vector<std::uint8_t> jpeg;
    if (encoded && out != nullptr) jpeg.assign(out, out + outSize);
    std::free(out);
    return jpeg;
}
