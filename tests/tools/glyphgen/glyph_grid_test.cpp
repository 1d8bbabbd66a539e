#include "tools/glyphgen/glyph_grid.h"

#include <gtest/gtest.h>

using namespace kavro;

namespace {

GreyImage imageWithRect(int width, int height, const Box& rect) {
    GreyImage image(width, height);
    for (int y = rect.y; y <= rect.bottom(); ++y) {
        for (int x = rect.x; x <= rect.right(); ++x) {
            image.at(x, y) = 255;
        }
    }
    return image;
}

TEST(GlyphGrid, SamplingAFilledBoxSetsEveryCell) {
    const GreyImage image = imageWithRect(100, 100, {10, 5, 40, 80});
    const GlyphRows rows = sampleBox(image, {10, 5, 40, 80});
    EXPECT_EQ(setCellCount(rows), glyphCells);
}

TEST(GlyphGrid, SamplingFollowsTheClassifiersGridPositions) {
    // Box 64 x 96: column c samples pixel 2c, row r pixel 2r, no fractions.
    // The right half of the box is foreground, so exactly columns 16..31 are set.
    const GreyImage image = imageWithRect(64, 96, {32, 0, 32, 96});
    const GlyphRows rows = sampleBox(image, {0, 0, 64, 96});
    for (const std::uint32_t row : rows) {
        EXPECT_EQ(row, 0x0000FFFFU);
    }
}

TEST(GlyphGrid, SamplingClampsAtTheImageEdge) {
    // A box reaching the last column and row reads the edge pixels again
    // instead of stepping outside the image.
    const GreyImage image(40, 80, 255);
    EXPECT_EQ(setCellCount(sampleBox(image, {0, 0, 40, 80})), glyphCells);
}

TEST(GlyphGrid, ForegroundBoxIsTightOrEmpty) {
    const GreyImage image = imageWithRect(50, 60, {7, 9, 11, 13});
    const Box box = foregroundBox(image);
    EXPECT_EQ(box.x, 7);
    EXPECT_EQ(box.y, 9);
    EXPECT_EQ(box.width, 11);
    EXPECT_EQ(box.height, 13);
    EXPECT_TRUE(foregroundBox(GreyImage(5, 5)).empty());
}

TEST(GlyphGrid, FillFrameStretchesAGlyphToEveryEdge) {
    GlyphRows rows{};
    for (int r = 10; r < 30; ++r) {
        setCell(rows, r, 5);
        setCell(rows, r, 20);
    }
    EXPECT_FALSE(touchesAllEdges(rows));
    const GlyphRows filled = fillFrame(rows);
    EXPECT_TRUE(touchesAllEdges(filled));
    // The two one-cell strokes 15 cells apart become two-cell strokes at the
    // left and right edges, over the full height.
    for (const std::uint32_t row : filled) {
        EXPECT_EQ(row, 0xC0000003U);
    }
}

TEST(GlyphGrid, FillFrameKeepsGlyphsThatAlreadyFillTheFrame) {
    GlyphRows rows{};
    rows.front() = 0x80000001U;
    rows.back() = 0x00100000U;
    EXPECT_EQ(fillFrame(rows), rows);
    EXPECT_EQ(fillFrame(GlyphRows{}), GlyphRows{});
}

TEST(GlyphGrid, HammingDistanceCountsDifferingCells) {
    GlyphRows a{}, b{};
    a[0] = 0xF0000000U;
    b[0] = 0x30000000U;
    b[47] = 0x1U;
    EXPECT_EQ(hammingDistance(a, b), 3);
    EXPECT_EQ(hammingDistance(a, a), 0);
}

} // namespace
