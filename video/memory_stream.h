#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A growable byte buffer with a read/write position (`FJpegStream`). Clearing keeps the
// buffer, so a stream reused frame to frame allocates only when a frame outgrows it.
class TMemoryStream {
  public:
    void Clear();
    void SetSize(std::size_t size);
    void SetPosition(std::size_t position);
    // Writes at the position, growing the stream as needed, and moves the position on.
    void Write(const void* bytes, std::size_t count);

    std::size_t Size() const { return bytes_.size(); }
    std::size_t Position() const { return position_; }
    const std::uint8_t* Data() const { return bytes_.data(); }

  private:
    std::vector<std::uint8_t> bytes_;
    std::size_t position_ = 0;
};
