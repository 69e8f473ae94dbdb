#pragma once

#include <cstdint>
#include <memory>
#include <string>

// windows.h, where a Win32 adapter includes it first, maps TextOut to TextOutA or TextOutW.
#ifdef TextOut
#undef TextOut
#endif

// A 24-bit bitmap and the canvas that draws on it. Pixels are B, G, R; rows are padded to a
// multiple of 4 bytes and stored bottom-up; ScanLine addresses rows by visual index, 0 at the top.

class Bitmap;

class Canvas {
  public:
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // Draws `source` unscaled with its top-left pixel at (x, y); what falls outside is cut off.
    void Draw(int x, int y, const Bitmap& source);
    // Draws one line of text with its top-left corner at (x, y), in the canvas's defaults:
    // an 8-point sans-serif face, window-text colour, opaque white background.
    void TextOut(int x, int y, const std::string& text);
    int TextHeight(const std::string& text);

    // Lock count semantics: another party holds the lock while LockCount() >= 1.
    void Lock();
    void Unlock();
    int LockCount() const;

    ~Canvas();

  private:
    friend class Bitmap;
    explicit Canvas(Bitmap& owner);
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

class Bitmap {
  public:
    Bitmap();
    ~Bitmap();
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    // Resizes to width x height at 24 bits per pixel. Returns false (and keeps the old size)
    // when the size is negative or the pixel memory cannot be had.
    bool SetSize(int width, int height);
    int Width() const;
    int Height() const;
    // Bytes per row including the padding to a multiple of 4.
    int RowStride() const;
    // Address of the row with visual index `row` (0 = top); null when out of range.
    std::uint8_t* ScanLine(int row);
    const std::uint8_t* ScanLine(int row) const;
    // Start of the pixel memory: the bottom row. Null for an empty bitmap.
    std::uint8_t* PixelMemory();
    const std::uint8_t* PixelMemory() const;

    // Exchanges size and pixel memory with `other`; each bitmap keeps its own canvas and lock
    // state. Lets a picture be completed aside and then put in place without a copy.
    void SwapPixels(Bitmap& other) noexcept;

    Canvas& GetCanvas();

  private:
    friend class Canvas;
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::unique_ptr<Canvas> canvas_;  // made on first request
};
