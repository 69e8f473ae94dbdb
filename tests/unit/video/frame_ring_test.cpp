#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "video/frame_ring.h"

namespace {

std::vector<std::uint8_t> Frame(std::size_t size, std::uint8_t fill) {
    return std::vector<std::uint8_t>(size, fill);
}

struct CountingAllocator {
    int allocations = 0;
    bool fail = false;
    TFrameRing::Allocator Get() {
        return [this](std::size_t size) -> std::unique_ptr<std::uint8_t[]> {
            if (fail) return nullptr;
            ++allocations;
            return std::make_unique<std::uint8_t[]>(size);
        };
    }
};

int StoreFrame(TFrameRing& ring, std::int32_t size, std::uint8_t fill) {
    auto frame = Frame(static_cast<std::size_t>(size), fill);
    return ring.Store(frame.data(), size).slot;
}

TEST(FrameRing, FillsSlotsInTheCyclicOrderOneTwoZero) {
    TFrameRing ring;
    std::vector<int> order;
    for (std::uint8_t i = 0; i < 4; ++i) order.push_back(StoreFrame(ring, 16, i));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 0, 1}));
    TFrameRing::Reading newest = ring.TakeNewest();
    EXPECT_EQ(newest.Slot(), 1);
    ASSERT_EQ(newest.Size(), 16);
    EXPECT_EQ(newest.Buffer()[0], 3);  // the newest frame wins
    EXPECT_EQ(ring.Redirected(), 0u);
}

TEST(FrameRing, ReusesABufferAtEqualSizeAndReplacesItAtAnother) {
    CountingAllocator allocator;
    TFrameRing ring(allocator.Get());
    auto small = Frame(100, 1);
    auto large = Frame(200, 2);
    const std::uint8_t* slotOne = ring.Store(small.data(), 100).address;
    ring.Store(small.data(), 100);
    ring.Store(small.data(), 100);
    EXPECT_EQ(allocator.allocations, 3);
    TFrameRing::Stored again = ring.Store(small.data(), 100);
    EXPECT_EQ(allocator.allocations, 3);  // slot 1 again, same size: no allocation
    EXPECT_EQ(again.slot, 1);
    EXPECT_EQ(again.address, slotOne);

    EXPECT_EQ(ring.Store(large.data(), 200).slot, 2);  // slot 2 gets another size
    EXPECT_EQ(allocator.allocations, 4);
    TFrameRing::Reading newest = ring.TakeNewest();
    EXPECT_EQ(newest.Size(), 200);
    EXPECT_EQ(newest.Buffer()[199], 2);
}

TEST(FrameRing, DropsAFrameWhoseSlotCannotBeAllocatedAndKeepsTheNewest) {
    CountingAllocator allocator;
    TFrameRing ring(allocator.Get());
    for (int i = 0; i < 3; ++i) StoreFrame(ring, 64, 5);
    EXPECT_EQ(StoreFrame(ring, 64, 7), 1);
    allocator.fail = true;
    auto bigger = Frame(128, 9);
    EXPECT_EQ(ring.Store(bigger.data(), 128).address, nullptr);  // slot 2's turn
    {
        TFrameRing::Reading newest = ring.TakeNewest();
        EXPECT_EQ(newest.Slot(), 1);
        EXPECT_EQ(newest.Size(), 64);
        EXPECT_EQ(newest.Buffer()[63], 7);
    }

    allocator.fail = false;  // the next frame takes the same slot and succeeds
    EXPECT_EQ(allocator.allocations, 3);
    EXPECT_EQ(StoreFrame(ring, 64, 9), 2);
    // Slot 2 gave up its old buffer before the failed allocation: no buffer, size 0, so even a
    // frame of its old size allocates.
    EXPECT_EQ(allocator.allocations, 4);
}

TEST(FrameRing, IgnoresEmptyFramesAndClearKeepsThePosition) {
    CountingAllocator allocator;
    TFrameRing ring(allocator.Get());
    auto frame = Frame(8, 1);
    EXPECT_EQ(ring.Store(frame.data(), 0).address, nullptr);
    EXPECT_EQ(ring.Store(frame.data(), -5).address, nullptr);
    EXPECT_EQ(ring.Store(nullptr, 8).address, nullptr);
    {
        TFrameRing::Reading newest = ring.TakeNewest();
        EXPECT_EQ(newest.Slot(), 0);
        EXPECT_EQ(newest.Size(), 0);
        EXPECT_EQ(newest.Buffer(), nullptr);
    }
    EXPECT_EQ(StoreFrame(ring, 8, 1), 1);
    ring.Clear();
    EXPECT_EQ(StoreFrame(ring, 8, 1), 2);
    EXPECT_EQ(StoreFrame(ring, 8, 1), 0);
    EXPECT_EQ(StoreFrame(ring, 8, 1), 1);  // freed by Clear: allocated again
    EXPECT_EQ(allocator.allocations, 4);
}

// While the main thread converts a slot, the stream stores around it: the frame whose turn
// would be the taken slot goes into the third one, which keeps newest-wins and loses nothing.
TEST(FrameRing, StoresAroundTheSlotBeingConvertedAndCountsTheRedirectedFrames) {
    CountingAllocator allocator;
    TFrameRing ring(allocator.Get());
    StoreFrame(ring, 32, 1);  // slot 1
    std::vector<int> order;
    {
        TFrameRing::Reading taken = ring.TakeNewest();
        ASSERT_EQ(taken.Slot(), 1);
        const std::uint8_t* address = taken.Buffer();
        // Other sizes too: the taken slot is neither rewritten nor reallocated.
        for (std::uint8_t i = 0; i < 5; ++i) order.push_back(StoreFrame(ring, 48 + i, 100 + i));
        EXPECT_EQ(taken.Buffer(), address);
        EXPECT_EQ(taken.Size(), 32);
        for (int k = 0; k < 32; ++k) ASSERT_EQ(taken.Buffer()[k], 1);
        EXPECT_EQ(ring.Redirected(), 2u);
    }
    EXPECT_EQ(order, (std::vector<int>{2, 0, 2, 0, 2}));
    // Given back: the cycle goes on from the newest slot.
    EXPECT_EQ(StoreFrame(ring, 32, 2), 0);
    EXPECT_EQ(StoreFrame(ring, 32, 3), 1);
    EXPECT_EQ(ring.Redirected(), 2u);
    TFrameRing::Reading newest = ring.TakeNewest();
    EXPECT_EQ(newest.Slot(), 1);
    EXPECT_EQ(newest.Buffer()[0], 3);
}

TEST(FrameRing, ConvertedHoldsOnlyWhileNoNewerFrameArrived) {
    TFrameRing ring;
    EXPECT_FALSE(ring.Converted());
    StoreFrame(ring, 16, 1);
    ring.TakeNewest().Finish(true);
    EXPECT_TRUE(ring.Converted());
    StoreFrame(ring, 16, 2);  // a new frame: the bitmap no longer holds the newest
    EXPECT_FALSE(ring.Converted());

    {
        TFrameRing::Reading reading = ring.TakeNewest();
        StoreFrame(ring, 16, 3);  // arrives during the conversion
        reading.Finish(true);
    }
    EXPECT_FALSE(ring.Converted());
    ring.TakeNewest().Finish(false);  // not dealt with
    EXPECT_FALSE(ring.Converted());
    ring.TakeNewest().Finish(true);
    ring.ClearConverted();
    EXPECT_FALSE(ring.Converted());
}

// A reader always sees one whole frame: every byte of the taken slot has the same value, even
// while the writer rewrites and resizes slots as fast as it can (run under TSan too).
TEST(FrameRing, ReaderNeverSeesAFrameBeingRewritten) {
    TFrameRing ring;
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        std::vector<std::uint8_t> frame(4096);
        for (unsigned n = 0; !stop; ++n) {
            std::size_t size = 1024 + (n % 4) * 1024;
            std::fill(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(size),
                      static_cast<std::uint8_t>(n));
            ring.Store(frame.data(), static_cast<std::int32_t>(size));
        }
    });
    int torn = 0;
    for (int i = 0; i < 2000; ++i) {
        TFrameRing::Reading newest = ring.TakeNewest();
        for (std::int32_t k = 1; k < newest.Size(); ++k)
            if (newest.Buffer()[k] != newest.Buffer()[0]) {
                ++torn;
                break;
            }
    }
    stop = true;
    writer.join();
    EXPECT_EQ(torn, 0);
}

}  // namespace
