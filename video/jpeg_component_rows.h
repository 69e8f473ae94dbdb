#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "video/jpeg_colour_rows.h"

// The Y, Cb and Cr rows of a 4:2:2 or 4:2:0 frame as libjpeg's raw data output delivers them,
// one iMCU row (8 or 16 picture rows) at a time, and the picture rows made from them with a
// colour row. Two iMCU rows are kept: a 4:2:0 picture row pair needs the chroma rows on either
// side of its own, which may lie in the previous iMCU row or the next one. Rows are made as soon
// as everything they need has arrived, so each is made while its samples are still in the cache.
class TJpegComponentRows {
  public:
    // For a frame `width` x `height` whose luma has `vertical` (1 or 2) rows per chroma row.
    // Keeps the buffers of earlier frames when they are large enough.
    void Start(int width, int height, int vertical);

    // Row pointers for libjpeg's next iMCU row: 8 * vertical luma rows, 8 rows of each chroma.
    void Aim(std::uint8_t** luma, std::uint8_t** cb, std::uint8_t** cr);
    int LumaRowsPerCall() const { return 8 * vertical_; }

    // After libjpeg has filled the rows last aimed at: makes every picture row (into `rows`, one
    // pointer per picture row) that now has what it needs, the last ones once the final iMCU
    // row is in.
    void MakeRows(TJpegColourRow colourRow, std::uint8_t* const* rows);

  private:
    std::uint8_t* Luma(int row);
    std::uint8_t* Chroma(int component, int row);
    void MakeRowsOf(int chromaRow, TJpegColourRow colourRow, std::uint8_t* const* rows);

    int width_ = 0;
    int height_ = 0;
    int vertical_ = 1;
    int lastChromaRow_ = 0;
    int filled_ = 0;      // iMCU rows filled so far
    int nextChroma_ = 0;  // the chroma row whose picture rows are to be made next
    std::size_t lumaStride_ = 0;
    std::size_t chromaStride_ = 0;
    std::size_t slotSize_ = 0;
    std::vector<std::uint8_t> samples_;
    std::vector<std::int16_t> work_;
};
