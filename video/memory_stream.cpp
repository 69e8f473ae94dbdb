#include "video/memory_stream.h"

#include <cstring>

void TMemoryStream::Clear() {
    size_ = 0;
    position_ = 0;
}

void TMemoryStream::SetSize(std::size_t size) {
    if (size > capacity_) {
        // Keeps what the stream holds; the bytes beyond it are left for the writer.
        std::unique_ptr<std::uint8_t[]> larger(new std::uint8_t[size]);
        if (size_ != 0) std::memcpy(larger.get(), bytes_.get(), size_);
        bytes_ = std::move(larger);
        capacity_ = size;
    }
    size_ = size;
    if (position_ > size) position_ = size;
}

void TMemoryStream::SetPosition(std::size_t position) { position_ = position; }

void TMemoryStream::Write(const void* bytes, std::size_t count) {
    if (count == 0) return;
    if (position_ + count > size_) SetSize(position_ + count);
    std::memcpy(bytes_.get() + position_, bytes, count);
    position_ += count;
}
