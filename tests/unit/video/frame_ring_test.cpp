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

TEST(FrameRing, FillsSlotsInTheCyclicOrderOneTwoZero) {
    TFrameRing ring;
    EXPECT_EQ(ring.CurrentSlot(), 0);
    std::vector<int> order;
    for (std::uint8_t i = 0; i < 4; ++i) {
        auto frame = Frame(16, i);
        ASSERT_NE(ring.Store(frame.data(), 16, [](std::uint8_t*) {}), nullptr);
        order.push_back(ring.CurrentSlot());
    }
    EXPECT_EQ(order, (std::vector<int>{1, 2, 0, 1}));
    ring.ReadNewest([](std::int32_t size, const std::uint8_t* buffer) {
        ASSERT_EQ(size, 16);
        EXPECT_EQ(buffer[0], 3);  // the newest frame wins
    });
}

TEST(FrameRing, ReusesABufferAtEqualSizeAndReplacesItAtAnother) {
    CountingAllocator allocator;
    TFrameRing ring(allocator.Get());
    auto small = Frame(100, 1);
    auto large = Frame(200, 2);
    for (int i = 0; i < 3; ++i) ring.Store(small.data(), 100, [](std::uint8_t*) {});
    EXPECT_EQ(allocator.allocations, 3);
    const std::uint8_t* slotOne = ring.SlotBuffer(1);
    std::uint8_t* published = nullptr;
    std::uint8_t* stored = ring.Store(small.data(), 100, [&](std::uint8_t* at) { published = at; });
    EXPECT_EQ(allocator.allocations, 3);  // slot 1 again, same size: no allocation
    EXPECT_EQ(stored, slotOne);
    EXPECT_EQ(published, slotOne);

    ring.Store(large.data(), 200, [](std::uint8_t*) {});  // slot 2 gets another size
    EXPECT_EQ(allocator.allocations, 4);
    EXPECT_EQ(ring.SlotSize(2), 200);
    EXPECT_EQ(ring.SlotSize(0), 100);
}

TEST(FrameRing, DropsAFrameWhoseSlotCannotBeAllocatedAndKeepsTheNewest) {
    CountingAllocator allocator;
    TFrameRing ring(allocator.Get());
    auto first = Frame(64, 7);
    ring.Store(first.data(), 64, [](std::uint8_t*) {});
    allocator.fail = true;
    auto bigger = Frame(128, 9);
    bool published = false;
    EXPECT_EQ(ring.Store(bigger.data(), 128, [&](std::uint8_t*) { published = true; }), nullptr);
    EXPECT_FALSE(published);
    EXPECT_EQ(ring.CurrentSlot(), 1);
    EXPECT_EQ(ring.SlotSize(2), 0);  // no buffer, size 0: the slot's invariant holds
    EXPECT_EQ(ring.SlotBuffer(2), nullptr);
    ring.ReadNewest([](std::int32_t size, const std::uint8_t* buffer) {
        EXPECT_EQ(size, 64);
        EXPECT_EQ(buffer[63], 7);
    });

    allocator.fail = false;  // the next frame takes the same slot and succeeds
    ASSERT_NE(ring.Store(bigger.data(), 128, [](std::uint8_t*) {}), nullptr);
    EXPECT_EQ(ring.CurrentSlot(), 2);
}

TEST(FrameRing, IgnoresEmptyFramesAndClearKeepsThePosition) {
    TFrameRing ring;
    auto frame = Frame(8, 1);
    EXPECT_EQ(ring.Store(frame.data(), 0, [](std::uint8_t*) {}), nullptr);
    EXPECT_EQ(ring.Store(frame.data(), -5, [](std::uint8_t*) {}), nullptr);
    EXPECT_EQ(ring.Store(nullptr, 8, [](std::uint8_t*) {}), nullptr);
    EXPECT_EQ(ring.CurrentSlot(), 0);
    ring.ReadNewest([](std::int32_t size, const std::uint8_t* buffer) {
        EXPECT_EQ(size, 0);
        EXPECT_EQ(buffer, nullptr);
    });
    ring.Store(frame.data(), 8, [](std::uint8_t*) {});
    ring.Clear();
    EXPECT_EQ(ring.CurrentSlot(), 1);
    EXPECT_EQ(ring.SlotSize(1), 0);
}

// A reader always sees one whole frame: every byte of the newest slot has the same value, even
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
            ring.Store(frame.data(), static_cast<std::int32_t>(size), [](std::uint8_t*) {});
        }
    });
    int torn = 0;
    for (int i = 0; i < 2000; ++i) {
        ring.ReadNewest([&](std::int32_t size, const std::uint8_t* buffer) {
            for (std::int32_t k = 1; k < size; ++k)
                if (buffer[k] != buffer[0]) {
                    ++torn;
                    break;
                }
        });
    }
    stop = true;
    writer.join();
    EXPECT_EQ(torn, 0);
}

}  // namespace
