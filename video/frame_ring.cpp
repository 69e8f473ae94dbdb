#include "video/frame_ring.h"

#include <cstring>
#include <new>

namespace {

constexpr std::uint32_t kNoSlot = TFrameRing::kSlots;
constexpr std::uint32_t kConvertedBit = 1u << 4;

int Newest(std::uint32_t state) { return static_cast<int>(state & 3u); }
int Taken(std::uint32_t state) { return static_cast<int>((state >> 2) & 3u); }
std::uint32_t WithNewest(std::uint32_t state, int slot) {
    return (state & ~3u) | static_cast<std::uint32_t>(slot);
}
std::uint32_t WithTaken(std::uint32_t state, std::uint32_t slot) {
    return (state & ~(3u << 2)) | slot << 2;
}

std::unique_ptr<std::uint8_t[]> AllocateFromHeap(std::size_t size) {
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[size]);
}

}  // namespace

TFrameRing::TFrameRing(Allocator allocator)
    : FState(WithTaken(0, kNoSlot)),
      FAllocate(allocator ? std::move(allocator) : Allocator(AllocateFromHeap)) {}

TFrameRing::Stored TFrameRing::Store(const std::uint8_t* buffer, std::int32_t size) {
    if (buffer == nullptr || size <= 0) return {};
    const std::uint32_t seen = FState.load(std::memory_order_acquire);
    int slot = (Newest(seen) + 1) % kSlots;
    if (slot == Taken(seen)) {
        slot = (Newest(seen) + 2) % kSlots;  // neither the newest nor the taken one
        FRedirected.fetch_add(1, std::memory_order_relaxed);
    }
    if (!PrepareSlot(slot, size)) return {};
    std::memcpy(FSlots[slot].get(), buffer, static_cast<std::size_t>(size));

    std::uint32_t state = seen;
    while (!FState.compare_exchange_weak(state, WithNewest(state, slot) & ~kConvertedBit,
                                         std::memory_order_release, std::memory_order_relaxed)) {
    }
    return {slot, FSlots[slot].get()};
}

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

TFrameRing::Reading TFrameRing::TakeNewest() {
    std::uint32_t state = FState.load(std::memory_order_relaxed);
    while (!FState.compare_exchange_weak(
        state, WithTaken(state, static_cast<std::uint32_t>(Newest(state))),
        std::memory_order_acquire, std::memory_order_relaxed)) {
    }
    return Reading(*this, Newest(state));
}

TFrameRing::Reading::Reading(TFrameRing& ring, int slot) noexcept
    : ring_(&ring), slot_(slot), buffer_(ring.FSlots[slot].get()), size_(ring.FSlotSizes[slot]) {}

void TFrameRing::Reading::Finish(bool converted) {
    if (!ring_) return;
    std::atomic<std::uint32_t>& word = ring_->FState;
    std::uint32_t state = word.load(std::memory_order_relaxed);
    std::uint32_t next;
    do {
        next = WithTaken(state, kNoSlot);
        if (converted && Newest(state) == slot_) next |= kConvertedBit;
    } while (!word.compare_exchange_weak(state, next, std::memory_order_release,
                                         std::memory_order_relaxed));
    ring_ = nullptr;
}

bool TFrameRing::Converted() const {
    return (FState.load(std::memory_order_relaxed) & kConvertedBit) != 0;
}

void TFrameRing::ClearConverted() { FState.fetch_and(~kConvertedBit, std::memory_order_relaxed); }

void TFrameRing::Clear() {
    for (int slot = 0; slot < kSlots; ++slot) {
        FSlots[slot].reset();
        FSlotSizes[slot] = 0;
    }
}
