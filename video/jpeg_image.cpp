// libjpeg behind the JPEG image object. The decoder's error_exit jumps back (longjmp) to the
// guarded call that started the work, which resets the decompressor for the next frame; the
// frames between the jump and its target are libjpeg's C frames and our own plain functions
// below, none of which owns anything that needs destroying.

#include "video/jpeg_image.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "video/jpeg_colour_rows.h"
#include "video/jpeg_component_rows.h"
#include "video/memory_stream.h"

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;  // first, so libjpeg's pointer to it is a pointer to the whole
    std::jmp_buf jump;
};

[[noreturn]] void ExitByJump(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}
void IgnoreMessage(j_common_ptr, int) {}
void IgnoreOutput(j_common_ptr) {}

}  // namespace

struct TJpegImage::Decoder {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    bool created = false;
};

namespace {

using Decoder = TJpegImage::Decoder;

bool CreateDecompressor(Decoder& decoder) {
    decoder.info.err = jpeg_std_error(&decoder.errors.pub);
    decoder.errors.pub.error_exit = ExitByJump;
    decoder.errors.pub.emit_message = IgnoreMessage;
    decoder.errors.pub.output_message = IgnoreOutput;
    if (setjmp(decoder.errors.jump) != 0) return false;
    jpeg_create_decompress(&decoder.info);
    return true;
}

bool ReadHeader(Decoder& decoder, const std::uint8_t* bytes, std::size_t count) {
    if (setjmp(decoder.errors.jump) != 0) {
        jpeg_abort_decompress(&decoder.info);
        return false;
    }
    jpeg_abort_decompress(&decoder.info);  // back to the start state, whatever came before
    jpeg_mem_src(&decoder.info, bytes, static_cast<unsigned long>(count));
    jpeg_read_header(&decoder.info, TRUE);
    return true;
}

// Runs the decompression into `rows` (one per output row). For a quantised grey frame the grey
// level of each index is copied to `greyLevels` while the colour map still exists.
bool RunDecode(Decoder& decoder, std::uint8_t* const* rows, JDIMENSION width, JDIMENSION height,
               int components, std::uint8_t* greyLevels) {
    jpeg_decompress_struct& info = decoder.info;
    if (setjmp(decoder.errors.jump) != 0) {
        jpeg_abort_decompress(&info);
        return false;
    }
    jpeg_start_decompress(&info);
    if (info.output_width != width || info.output_height != height ||
        info.output_components != components) {
        jpeg_abort_decompress(&info);
        return false;
    }
    if (greyLevels) {
        if (!info.colormap || info.actual_number_of_colors > 256) {
            jpeg_abort_decompress(&info);
            return false;
        }
        for (int i = 0; i < info.actual_number_of_colors; ++i) {
            greyLevels[i] = info.colormap[0][i];
        }
    }
    while (info.output_scanline < info.output_height) {
        const JDIMENSION done = info.output_scanline;
        if (jpeg_read_scanlines(&info, const_cast<JSAMPARRAY>(rows + done),
                                info.output_height - done) == 0) {
            jpeg_abort_decompress(&info);
            return false;
        }
    }
    jpeg_finish_decompress(&info);
    return true;
}

// Whether our colour rows reproduce libjpeg's last stage for this frame: YCbCr with the chroma
// halved across (4:2:2) or across and down (4:2:0), wide enough for libjpeg's fancy filter.
bool ColourRowsApply(const jpeg_decompress_struct& info) {
    if (info.jpeg_color_space != JCS_YCbCr || info.num_components != 3 ||
        info.image_width < static_cast<JDIMENSION>(kJpegColourRowMinWidth)) {
        return false;
    }
    const jpeg_component_info* c = info.comp_info;
    for (int i = 1; i < 3; ++i) {
        if (c[i].h_samp_factor != 1 || c[i].v_samp_factor != 1) return false;
    }
    return c[0].h_samp_factor == 2 && (c[0].v_samp_factor == 1 || c[0].v_samp_factor == 2);
}

// Runs the decompression with libjpeg's raw data output; `component` makes each picture row
// with `colourRow` as soon as the component rows it needs have arrived.
bool RunRawDecode(Decoder& decoder, std::uint8_t* const* rows, JDIMENSION width, JDIMENSION height,
                  TJpegColourRow colourRow, TJpegComponentRows& component) {
    jpeg_decompress_struct& info = decoder.info;
    component.Start(static_cast<int>(width), static_cast<int>(height),
                    info.comp_info[0].v_samp_factor);
    JSAMPROW luma[16], cb[8], cr[8];
    JSAMPARRAY planes[3] = {luma, cb, cr};
    if (setjmp(decoder.errors.jump) != 0) {
        jpeg_abort_decompress(&info);
        return false;
    }
    info.raw_data_out = TRUE;
    jpeg_start_decompress(&info);
    if (info.output_width != width || info.output_height != height || info.output_components != 3) {
        jpeg_abort_decompress(&info);
        return false;
    }
    const auto lines = static_cast<JDIMENSION>(component.LumaRowsPerCall());
    while (info.output_scanline < info.output_height) {
        component.Aim(luma, cb, cr);
        if (jpeg_read_raw_data(&info, planes, lines) == 0) {
            jpeg_abort_decompress(&info);
            return false;
        }
        component.MakeRows(colourRow, rows);
    }
    jpeg_finish_decompress(&info);
    return true;
}

}  // namespace

TJpegImage::TJpegImage() : decoder_(std::make_unique<Decoder>()) {
    decoder_->created = CreateDecompressor(*decoder_);
}

TJpegImage::~TJpegImage() {
    if (decoder_->created) jpeg_destroy_decompress(&decoder_->info);
}

bool TJpegImage::LoadFromStream(const TMemoryStream& stream) {
    loaded_ = false;
    width_ = height_ = components_ = 0;
    progressive_ = false;
    const std::size_t start = std::min(stream.Position(), stream.Size());
    bytes_.assign(stream.Data() + start, stream.Data() + stream.Size());
    if (!decoder_->created) return false;
    if (!ReadHeader(*decoder_, bytes_.data(), bytes_.size())) return false;

    jpeg_decompress_struct& info = decoder_->info;
    const bool grey = info.num_components == 1 && info.jpeg_color_space == JCS_GRAYSCALE;
    const bool colour = info.num_components == 3 &&
                        (info.jpeg_color_space == JCS_YCbCr || info.jpeg_color_space == JCS_RGB);
    const std::int64_t pixels = static_cast<std::int64_t>(info.image_width) * info.image_height;
    if ((!grey && !colour) || info.image_width > kMaxSide || info.image_height > kMaxSide ||
        pixels > pixelLimit_) {
        jpeg_abort_decompress(&info);
        return false;
    }
    width_ = static_cast<int>(info.image_width);
    height_ = static_cast<int>(info.image_height);
    components_ = info.num_components;
    progressive_ = info.progressive_mode != 0;
    loaded_ = true;
    return true;
}

bool TJpegImage::Draw(Bitmap& bitmap) {
    if (!loaded_) return false;
    loaded_ = false;  // the decompressor's header state is used up by this attempt
    jpeg_decompress_struct& info = decoder_->info;
    info.scale_num = 1;
    info.scale_denom = 1;
    info.dct_method = JDCT_FLOAT;
    info.do_fancy_upsampling = TRUE;
    info.do_block_smoothing = TRUE;
    info.buffered_image = FALSE;
    info.raw_data_out = FALSE;
    const bool grey = components_ == 1;
    if (grey) {
        info.out_color_space = JCS_GRAYSCALE;
        info.quantize_colors = TRUE;
        info.desired_number_of_colors = 236;
        info.dither_mode = JDITHER_FS;
    } else {
        info.out_color_space = JCS_EXT_BGR;  // the bitmap's byte order, no swap afterwards
        info.quantize_colors = FALSE;
    }
    const auto width = static_cast<JDIMENSION>(width_);
    const auto height = static_cast<JDIMENSION>(height_);

    // A failed decode must leave the bitmap untouched, and libjpeg can fail after the last row
    // (in jpeg_finish_decompress). A colour picture of the bitmap's own size is therefore
    // decoded into a second bitmap and swapped in only once the decode has succeeded.
    if (!grey && width_ == bitmap.Width() && height_ == bitmap.Height() &&
        scratch_.SetSize(width_, height_)) {
        rows_.resize(static_cast<std::size_t>(height_));
        for (int r = 0; r < height_; ++r) rows_[static_cast<std::size_t>(r)] = scratch_.ScanLine(r);
        if (!DecodeColour(rows_.data())) return false;
        bitmap.SwapPixels(scratch_);
        return true;
    }

    pictureStride_ = static_cast<std::size_t>(width_) * static_cast<std::size_t>(components_);
    picture_.resize(pictureStride_ * static_cast<std::size_t>(height_));
    rows_.resize(static_cast<std::size_t>(height_));
    for (std::size_t r = 0; r < rows_.size(); ++r) rows_[r] = picture_.data() + r * pictureStride_;
    const bool decoded =
        grey ? RunDecode(*decoder_, rows_.data(), width, height, 1, greyLevels_.data())
             : DecodeColour(rows_.data());
    if (!decoded) return false;
    if (grey) {
        CopyGreyPicture(bitmap);
    } else {
        CopyColourPicture(bitmap);
    }
    return true;
}

bool TJpegImage::DecodeColour(std::uint8_t* const* rows) {
    const auto width = static_cast<JDIMENSION>(width_);
    const auto height = static_cast<JDIMENSION>(height_);
    if (colourRow_ && ColourRowsApply(decoder_->info)) {
        return RunRawDecode(*decoder_, rows, width, height, colourRow_, componentRows_);
    }
    return RunDecode(*decoder_, rows, width, height, 3, nullptr);
}

void TJpegImage::CopyColourPicture(Bitmap& bitmap) const {
    const int rows = std::min(height_, bitmap.Height());
    const std::size_t bytes = static_cast<std::size_t>(std::min(width_, bitmap.Width())) * 3;
    if (bytes == 0) return;
    for (int r = 0; r < rows; ++r) {
        std::memcpy(bitmap.ScanLine(r),
                    picture_.data() + static_cast<std::size_t>(r) * pictureStride_, bytes);
    }
}

void TJpegImage::CopyGreyPicture(Bitmap& bitmap) const {
    const int rows = std::min(height_, bitmap.Height());
    const int columns = std::min(width_, bitmap.Width());
    for (int r = 0; r < rows; ++r) {
        const std::uint8_t* source = picture_.data() + static_cast<std::size_t>(r) * pictureStride_;
        std::uint8_t* target = bitmap.ScanLine(r);
        for (int c = 0; c < columns; ++c, target += 3) {
            target[0] = target[1] = target[2] = greyLevels_[source[c]];
        }
    }
}
