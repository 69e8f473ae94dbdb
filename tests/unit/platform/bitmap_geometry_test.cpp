// The bitmap layout rule both builds share: row padding, the empty sizes and the limits.

#include <gtest/gtest.h>

#include <climits>

#include "platform/bitmap_geometry.h"

namespace {

TEST(BitmapGeometry, RowsOfThreeBytesAPixelPaddedToFour) {
    const struct {
        int width;
        int stride;
    } cases[] = {{1, 4}, {2, 8}, {3, 12}, {4, 12}, {5, 16}, {640, 1920}, {1921, 5764}};
    for (const auto& one : cases) {
        const auto geometry = BitmapGeometryOf(one.width, 3);
        ASSERT_TRUE(geometry) << one.width;
        EXPECT_EQ(geometry->stride, one.stride) << one.width;
        EXPECT_EQ(geometry->bytes, static_cast<std::size_t>(one.stride) * 3) << one.width;
    }
}

TEST(BitmapGeometry, AZeroWidthOrHeightIsAnEmptyPicture) {
    const auto noRows = BitmapGeometryOf(5, 0);
    ASSERT_TRUE(noRows);
    EXPECT_EQ(noRows->stride, 16);
    EXPECT_EQ(noRows->bytes, 0u);
    const auto noColumns = BitmapGeometryOf(0, 7);
    ASSERT_TRUE(noColumns);
    EXPECT_EQ(noColumns->stride, 0);
    EXPECT_EQ(noColumns->bytes, 0u);
    EXPECT_TRUE(BitmapGeometryOf(0, 0));
}

TEST(BitmapGeometry, ANegativeSizeHasNone) {
    EXPECT_FALSE(BitmapGeometryOf(-1, 3));
    EXPECT_FALSE(BitmapGeometryOf(3, -1));
    EXPECT_FALSE(BitmapGeometryOf(INT_MIN, INT_MIN));
}

// A row's size in bits, width * 24 + 31, is what GDI computes in an int.
TEST(BitmapGeometry, TheWidestRowIsTheOneWhoseBitsFitAnInt) {
    EXPECT_LE(static_cast<long long>(kMaxBitmapWidth) * 24 + 31, INT_MAX);
    EXPECT_GT(static_cast<long long>(kMaxBitmapWidth + 1) * 24 + 31, INT_MAX);
    const auto widest = BitmapGeometryOf(kMaxBitmapWidth, 1);
    ASSERT_TRUE(widest);
    EXPECT_EQ(widest->stride, (kMaxBitmapWidth * 3 + 3) / 4 * 4);
    EXPECT_FALSE(BitmapGeometryOf(kMaxBitmapWidth + 1, 1));
    EXPECT_FALSE(BitmapGeometryOf(INT_MAX, 1));
}

TEST(BitmapGeometry, APictureOfMoreThanIntMaxBytesHasNone) {
    // 4 bytes a row: INT_MAX / 4 rows fit, one more does not.
    const auto largest = BitmapGeometryOf(1, INT_MAX / 4);
    ASSERT_TRUE(largest);
    EXPECT_EQ(largest->bytes, static_cast<std::size_t>(INT_MAX / 4) * 4);
    EXPECT_FALSE(BitmapGeometryOf(1, INT_MAX / 4 + 1));
    // The widest rows, 268435452 bytes each: 8 of them fit, 9 do not.
    EXPECT_TRUE(BitmapGeometryOf(kMaxBitmapWidth, 8));
    EXPECT_FALSE(BitmapGeometryOf(kMaxBitmapWidth, 9));
    EXPECT_FALSE(BitmapGeometryOf(INT_MAX, INT_MAX));
}

TEST(BitmapGeometry, RowsAreStoredBottomUp) {
    EXPECT_EQ(BottomUpRowOffset(3, 16, 2), 0u);
    EXPECT_EQ(BottomUpRowOffset(3, 16, 1), 16u);
    EXPECT_EQ(BottomUpRowOffset(3, 16, 0), 32u);
    EXPECT_FALSE(BottomUpRowOffset(3, 16, 3));
    EXPECT_FALSE(BottomUpRowOffset(3, 16, -1));
    EXPECT_FALSE(BottomUpRowOffset(0, 16, 0));
    // The top row of the tallest picture the rule allows.
    EXPECT_EQ(BottomUpRowOffset(INT_MAX / 4, 4, 0), static_cast<std::size_t>(INT_MAX / 4 - 1) * 4);
}

}  // namespace
