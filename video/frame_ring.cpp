#include "video/frame_ring.h"

#include <new>

namespace {

std::unique_ptr<std::uint8_t[]> AllocateFromHeap(std::size_t size) {
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[size]);
}

}  // namespace

TFrameRing::TFrameRing(Allocator allocator)
    : FAllocate(allocator ? std::move(allocator) : Allocator(AllocateFromHeap)) {}

bool TFrameRing::PrepareSlot(int slot, std::int32_t size) {
    if (FSlotSizes[slot] == size) return true;  // equal size: the buffer is reused
    // The old buffer goes first, so a tight memory never has to hold both.
    FSlots[slot].reset();
    FSlotSizes[slot] = 0;
    auto fresh = FAllocate(static_cast<std::size_t>(size));
    if (!fresh) return false;
    FSlots[slot] = std::move(fresh);
    FSlotSizes[slot] = size;
    return true;
}

std::int32_t TFrameRing::SlotSize(int slot) const {
    std::lock_guard lock(FMutex);
    return FSlotSizes[slot];
}

const std::uint8_t* TFrameRing::SlotBuffer(int slot) const {
    std::lock_guard lock(FMutex);
    return FSlots[slot].get();
}

void TFrameRing::Clear() {
    std::lock_guard lock(FMutex);
    for (int slot = 0; slot < 3; ++slot) {
        FSlots[slot].reset();
        FSlotSizes[slot] = 0;
    }
}
