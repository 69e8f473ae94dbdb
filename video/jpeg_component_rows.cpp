// The component rows of a raw-data JPEG decode: where libjpeg writes each iMCU row, and which
// picture rows can be made once it is in.

#include "video/jpeg_component_rows.h"

#include <algorithm>

namespace {

// libjpeg writes whole 8-sample blocks; the colour rows read ahead.
std::size_t Padded(int samples) {
    return (static_cast<std::size_t>(samples) + 7) / 8 * 8 + kJpegRowReadAhead;
}

}  // namespace

void TJpegComponentRows::Start(int width, int height, int vertical) {
    width_ = width;
    height_ = height;
    vertical_ = vertical;
    lastChromaRow_ = (height + vertical - 1) / vertical - 1;
    filled_ = 0;
    nextChroma_ = 0;
    lumaStride_ = Padded(width);
    chromaStride_ = Padded((width + 1) / 2);
    slotSize_ = lumaStride_ * static_cast<std::size_t>(LumaRowsPerCall()) + 2 * 8 * chromaStride_;
    samples_.resize(2 * slotSize_);
    work_.resize(JpegColourWorkSize(width));
}

// Slot i % 2 holds iMCU row i: its luma rows, then 8 Cb rows, then 8 Cr rows.
std::uint8_t* TJpegComponentRows::Luma(int row) {
    const int perSlot = LumaRowsPerCall();
    return samples_.data() + static_cast<std::size_t>(row / perSlot % 2) * slotSize_ +
           static_cast<std::size_t>(row % perSlot) * lumaStride_;
}

std::uint8_t* TJpegComponentRows::Chroma(int component, int row) {
    return samples_.data() + static_cast<std::size_t>(row / 8 % 2) * slotSize_ +
           lumaStride_ * static_cast<std::size_t>(LumaRowsPerCall()) +
           static_cast<std::size_t>(component * 8 + row % 8) * chromaStride_;
}

void TJpegComponentRows::Aim(std::uint8_t** luma, std::uint8_t** cb, std::uint8_t** cr) {
    for (int i = 0; i < LumaRowsPerCall(); ++i) luma[i] = Luma(filled_ * LumaRowsPerCall() + i);
    for (int i = 0; i < 8; ++i) {
        cb[i] = Chroma(0, filled_ * 8 + i);
        cr[i] = Chroma(1, filled_ * 8 + i);
    }
}

void TJpegComponentRows::MakeRows(TJpegColourRow colourRow, std::uint8_t* const* rows) {
    const int arrived = std::min(8 * filled_ + 7, lastChromaRow_);
    ++filled_;
    // A 4:2:0 row pair also needs the chroma row below its own (the last one at the bottom).
    const int ahead = vertical_ == 2 ? 1 : 0;
    while (nextChroma_ <= lastChromaRow_ &&
           std::min(nextChroma_ + ahead, lastChromaRow_) <= arrived) {
        MakeRowsOf(nextChroma_++, colourRow, rows);
    }
}

// The picture rows on chroma row k: row k for 4:2:2; rows 2k (with chroma row k - 1) and 2k + 1
// (with k + 1) for 4:2:0, the edge row standing in beyond the picture's top and bottom.
void TJpegComponentRows::MakeRowsOf(int k, TJpegColourRow colourRow, std::uint8_t* const* rows) {
    std::int16_t* const work = work_.data();
    if (vertical_ == 1) {
        colourRow(Luma(k), Chroma(0, k), nullptr, Chroma(1, k), nullptr, width_, work, rows[k]);
        return;
    }
    const int above = std::max(k - 1, 0);
    const int below = std::min(k + 1, lastChromaRow_);
    colourRow(Luma(2 * k), Chroma(0, k), Chroma(0, above), Chroma(1, k), Chroma(1, above), width_,
              work, rows[2 * k]);
    if (2 * k + 1 < height_) {
        colourRow(Luma(2 * k + 1), Chroma(0, k), Chroma(0, below), Chroma(1, k), Chroma(1, below),
                  width_, work, rows[2 * k + 1]);
    }
}
