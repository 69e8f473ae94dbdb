#include "video/memory_stream.h"

#include <cstring>

void TMemoryStream::Clear() {
    bytes_.clear();
    position_ = 0;
}

void TMemoryStream::SetSize(std::size_t size) {
    bytes_.resize(size);
    if (position_ > size) position_ = size;
}

void TMemoryStream::SetPosition(std::size_t position) { position_ = position; }

void TMemoryStream::Write(const void* bytes, std::size_t count) {
    if (count == 0) return;
    if (position_ + count > bytes_.size()) bytes_.resize(position_ + count);
    std::memcpy(bytes_.data() + position_, bytes, count);
    position_ += count;
}
