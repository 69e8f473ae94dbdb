#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>

// The ring of three frame slots between the capture stream's thread and the main thread.
// Slots are filled in the cyclic order 1, 2, 0, ...; the newest wins; a slot keeps its buffer
// while frames of its size arrive. One mutex covers the writing of a slot and the reading of the
// newest one, so the main thread never sees a slot being rewritten or reallocated.
class TFrameRing {
  public:
    // Gives a buffer of `size` bytes, or null when the memory cannot be had.
    using Allocator = std::function<std::unique_ptr<std::uint8_t[]>(std::size_t size)>;

    explicit TFrameRing(Allocator allocator = {});
    TFrameRing(const TFrameRing&) = delete;
    TFrameRing& operator=(const TFrameRing&) = delete;

    // Streaming thread: copies `size` bytes into the next slot and makes it the newest; then,
    // still under the lock, runs `published(address)`. A frame that cannot be stored (size not
    // positive, no memory for a new buffer) is dropped: the result is null and the newest slot
    // stays as it was.
    template <typename Published>
    std::uint8_t* Store(const std::uint8_t* buffer, std::int32_t size, Published&& published);

    // Main thread: runs `read(size, buffer)` on the newest slot under the lock; buffer is null
    // and size 0 while that slot has never been filled.
    template <typename Read>
    void ReadNewest(Read&& read) const;

    std::int32_t CurrentSlot() const { return FCurrentSlot.load(std::memory_order_acquire); }
    std::int32_t SlotSize(int slot) const;
    const std::uint8_t* SlotBuffer(int slot) const;
    // Frees every buffer; the cycle position is kept.
    void Clear();

  private:
    bool PrepareSlot(int slot, std::int32_t size);

    mutable std::mutex FMutex;
    std::array<std::unique_ptr<std::uint8_t[]>, 3> FSlots;
    std::array<std::int32_t, 3> FSlotSizes{};
    std::atomic<std::int32_t> FCurrentSlot{0};
    Allocator FAllocate;
};

template <typename Published>
std::uint8_t* TFrameRing::Store(const std::uint8_t* buffer, std::int32_t size,
                                Published&& published) {
    if (buffer == nullptr || size <= 0) return nullptr;
    std::lock_guard lock(FMutex);
    int slot = (FCurrentSlot.load(std::memory_order_relaxed) + 1) % 3;
    if (!PrepareSlot(slot, size)) return nullptr;
    std::memcpy(FSlots[slot].get(), buffer, static_cast<std::size_t>(size));
    FCurrentSlot.store(slot, std::memory_order_release);
    std::uint8_t* address = FSlots[slot].get();
    published(address);
    return address;
}

template <typename Read>
void TFrameRing::ReadNewest(Read&& read) const {
    std::lock_guard lock(FMutex);
    int slot = FCurrentSlot.load(std::memory_order_relaxed);
    read(FSlotSizes[slot], static_cast<const std::uint8_t*>(FSlots[slot].get()));
}
