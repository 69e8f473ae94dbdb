#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

// The hand-over between the capture stream's thread (one producer) and the main thread: three
// frame slots, the index of the newest one, the converted flag and the main thread's last idle
// tick. Slots are filled in the cyclic order 1, 2, 0, ...; the newest wins; a slot keeps its
// buffer while frames of its size arrive. The main thread takes the newest slot for the length
// of a conversion; the stream never waits for it and never touches a taken slot: when the next
// slot in the cycle is the taken one, the frame goes into the third slot instead (counted in
// Redirected()), so no frame is lost to a conversion.
//
// Publication. The newest index, the taken index and the converted flag share one atomic word,
// so every change to one of them sees the others as they are. The stream fills a slot that is
// neither newest nor taken, then makes it the newest with a release exchange; TakeNewest marks
// the newest slot taken with an acquire exchange, so the slot's bytes, size and buffer are
// visible to the conversion. Finish clears the mark with a release exchange and Store reads the
// word with acquire, so a slot is rewritten only after the conversion's last read of it.
// Only the stream moves the newest index, so the slot it fills cannot become taken meanwhile.
// The idle tick guards no other memory: relaxed loads and stores suffice.
class TFrameRing {
  public:
    static constexpr int kSlots = 3;

    // Gives a buffer of `size` bytes, or null when the memory cannot be had.
    using Allocator = std::function<std::unique_ptr<std::uint8_t[]>(std::size_t size)>;

    // Where a frame went: null address when it was dropped.
    struct Stored {
        int slot = -1;
        std::uint8_t* address = nullptr;
    };

    // The newest slot, taken for reading until Finish or the end of its life.
    class Reading {
      public:
        Reading(const Reading&) = delete;
        Reading& operator=(const Reading&) = delete;
        ~Reading() { Finish(false); }

        int Slot() const { return slot_; }
        // Null, and size 0, while the slot has never been filled.
        const std::uint8_t* Buffer() const { return buffer_; }
        std::int32_t Size() const { return size_; }
        // Gives the slot back; `converted` marks the bitmap as holding the newest frame, unless
        // a newer one has arrived meanwhile.
        void Finish(bool converted);

      private:
        friend class TFrameRing;
        Reading(TFrameRing& ring, int slot) noexcept;

        TFrameRing* ring_;
        int slot_;
        const std::uint8_t* buffer_;
        std::int32_t size_;
    };

    explicit TFrameRing(Allocator allocator = {});
    TFrameRing(const TFrameRing&) = delete;
    TFrameRing& operator=(const TFrameRing&) = delete;

    // Streaming thread: copies `size` bytes into the next slot and makes it the newest,
    // clearing the converted flag. A frame that cannot be stored (no bytes, no memory for a new
    // buffer) is dropped and the newest slot stays as it was.
    Stored Store(const std::uint8_t* buffer, std::int32_t size);
    // Streaming thread: the idle tick as the main thread last noted it.
    std::uint32_t LastIdle() const { return FLastIdle.load(std::memory_order_relaxed); }

    // Main thread: the newest slot, taken; one at a time.
    Reading TakeNewest();
    bool Converted() const;
    void ClearConverted();
    void NoteIdle(std::uint32_t tick) { FLastIdle.store(tick, std::memory_order_relaxed); }
    // Frames that went into the third slot because the next one in the cycle was taken.
    std::uint64_t Redirected() const { return FRedirected.load(std::memory_order_relaxed); }
    // Frees every buffer; the cycle position is kept. Only while no stream delivers.
    void Clear();

  private:
    bool PrepareSlot(int slot, std::int32_t size);

    // One word: bits 0-1 the newest slot, bits 2-3 the taken slot (kSlots: none), bit 4 the
    // converted flag.
    std::atomic<std::uint32_t> FState;
    std::atomic<std::uint32_t> FLastIdle{0};
    std::atomic<std::uint64_t> FRedirected{0};
    // Written by the stream only while its slot is neither newest nor taken.
    std::array<std::unique_ptr<std::uint8_t[]>, kSlots> FSlots;
    std::array<std::int32_t, kSlots> FSlotSizes{};
    Allocator FAllocate;
};
