// The host bitmap and its canvas: layout, drawing with clipping, text and the lock count.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <future>
#include <thread>

#include "platform/bitmap.h"

namespace {

void Fill(Bitmap& bitmap, std::uint8_t value) {
    for (int r = 0; r < bitmap.Height(); ++r) {
        std::fill_n(bitmap.ScanLine(r), bitmap.Width() * 3, value);
    }
}

TEST(HostBitmap, BottomUpRowsPaddedToFourBytes) {
    Bitmap bitmap;
    EXPECT_EQ(bitmap.PixelMemory(), nullptr);
    ASSERT_TRUE(bitmap.SetSize(5, 3));
    EXPECT_EQ(bitmap.RowStride(), 16);
    EXPECT_EQ(bitmap.ScanLine(2), bitmap.PixelMemory());
    EXPECT_EQ(bitmap.ScanLine(0), bitmap.PixelMemory() + 32);
    EXPECT_EQ(bitmap.ScanLine(3), nullptr);
    EXPECT_EQ(bitmap.ScanLine(-1), nullptr);
    EXPECT_FALSE(bitmap.SetSize(-1, 3));
    EXPECT_EQ(bitmap.Width(), 5);
    EXPECT_FALSE(bitmap.SetSize(0x7fffffff, 0x7fffffff));
    EXPECT_EQ(bitmap.Height(), 3);
    ASSERT_TRUE(bitmap.SetSize(0, 7));
    EXPECT_EQ(bitmap.PixelMemory(), nullptr);
}

// Like a DIB section's: zero-filled and on a page boundary, which the vector converters rely on
// for stores that do not straddle cache lines.
TEST(HostBitmap, PixelMemoryIsZeroedAndPageAligned) {
    Bitmap bitmap;
    for (int width : {1, 5, 640, 1921}) {
        ASSERT_TRUE(bitmap.SetSize(width, 3));
        const auto address = reinterpret_cast<std::uintptr_t>(bitmap.PixelMemory());
        EXPECT_EQ(address % 4096, 0u) << width;
        const std::uint8_t* row = bitmap.ScanLine(0);
        EXPECT_TRUE(std::all_of(row, row + width * 3, [](std::uint8_t b) { return b == 0; }));
        Fill(bitmap, 0x5a);
    }
}

TEST(HostBitmap, SwapPixelsKeepsEachCanvas) {
    Bitmap a, b;
    a.SetSize(2, 2);
    b.SetSize(3, 1);
    Fill(a, 1);
    Fill(b, 2);
    Canvas& canvasA = a.GetCanvas();
    canvasA.Lock();
    a.SwapPixels(b);
    EXPECT_EQ(a.Width(), 3);
    EXPECT_EQ(a.ScanLine(0)[0], 2);
    EXPECT_EQ(b.Width(), 2);
    EXPECT_EQ(b.ScanLine(1)[5], 1);
    EXPECT_EQ(&a.GetCanvas(), &canvasA);
    EXPECT_EQ(a.GetCanvas().LockCount(), 1);
    EXPECT_EQ(b.GetCanvas().LockCount(), 0);
    canvasA.Unlock();
}

TEST(HostCanvas, DrawClipsAtEveryEdge) {
    Bitmap target, source;
    target.SetSize(4, 4);
    source.SetSize(3, 3);
    Fill(target, 0);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) std::fill_n(source.ScanLine(r) + c * 3, 3, 10 * r + c + 1);
    }
    target.GetCanvas().Draw(2, -1, source);
    // Source row 1 lands on target row 0 at columns 2 and 3; column 2 of the source is cut off.
    EXPECT_EQ(target.ScanLine(0)[6], 11);
    EXPECT_EQ(target.ScanLine(0)[9], 12);
    EXPECT_EQ(target.ScanLine(1)[6], 21);
    EXPECT_EQ(target.ScanLine(2)[6], 0);
    EXPECT_EQ(target.ScanLine(0)[3], 0);
    target.GetCanvas().Draw(-3, 0, source);  // entirely outside
    target.GetCanvas().Draw(4, 0, source);
    EXPECT_EQ(target.ScanLine(0)[0], 0);
}

TEST(HostCanvas, TextSitsInAWhiteBoxOfTheTextHeight) {
    Bitmap bitmap;
    bitmap.SetSize(120, 40);
    Fill(bitmap, 100);
    Canvas& canvas = bitmap.GetCanvas();
    const int height = canvas.TextHeight("X");
    EXPECT_GE(height, 11);
    EXPECT_LE(height, 16);
    canvas.TextOut(10, 5, "Hi");
    int left = 120, right = -1, top = 40, bottom = -1, dark = 0;
    for (int r = 0; r < 40; ++r) {
        for (int c = 0; c < 120; ++c) {
            const std::uint8_t* p = bitmap.ScanLine(r) + c * 3;
            if (p[0] == 100) continue;
            left = std::min(left, c);
            right = std::max(right, c);
            top = std::min(top, r);
            bottom = std::max(bottom, r);
            EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]);  // black text, white ground
            if (p[0] < 128) ++dark;
        }
    }
    EXPECT_EQ(left, 10);
    EXPECT_EQ(top, 5);
    EXPECT_EQ(bottom, 5 + height - 1);
    EXPECT_GT(right, 14);
    EXPECT_LT(right, 30);
    EXPECT_GT(dark, 10);
    // Text beyond the bitmap is cut off, not written elsewhere.
    canvas.TextOut(115, 35, "Unknown compression");
    canvas.TextOut(-50, -5, "Unknown compression");
    EXPECT_EQ(bitmap.ScanLine(39)[0], 100);
}

TEST(HostCanvas, LockCountAndLockingAcrossThreads) {
    Bitmap bitmap;
    Canvas& canvas = bitmap.GetCanvas();
    EXPECT_EQ(canvas.LockCount(), 0);
    canvas.Lock();
    canvas.Lock();
    EXPECT_EQ(canvas.LockCount(), 2);
    auto other = std::async(std::launch::async, [&canvas] {
        canvas.Lock();  // waits for this thread's two locks to go
        const int count = canvas.LockCount();
        canvas.Unlock();
        return count;
    });
    EXPECT_EQ(other.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    canvas.Unlock();
    canvas.Unlock();
    ASSERT_EQ(other.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(other.get(), 1);
    EXPECT_EQ(canvas.LockCount(), 0);
}

}  // namespace
