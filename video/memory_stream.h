#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// A growable byte buffer with a read/write position (`FJpegStream`). Clearing keeps the
// buffer, so a stream reused frame to frame allocates only when a frame outgrows it; growing
// does not fill the new bytes, which the caller writes next.
class TMemoryStream {
  public:
    void Clear();
    // Throws std::bad_alloc when the memory cannot be had.
    void SetSize(std::size_t size);
    void SetPosition(std::size_t position);
    // Writes at the position, growing the stream as needed, and moves the position on.
    void Write(const void* bytes, std::size_t count);

    std::size_t Size() const { return size_; }
    std::size_t Position() const { return position_; }
    const std::uint8_t* Data() const { return bytes_.get(); }

  private:
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::size_t capacity_ = 0;
    std::size_t size_ = 0;
    std::size_t position_ = 0;
};
