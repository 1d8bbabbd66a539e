#include "tools/glyphgen/plate_geometry.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace kavro;

namespace {

TEST(PlateGeometry, ScalingKeepsAUniformImageUniform) {
    const GreyImage frame = mapToFrame(GreyImage(94, 24, 77), {});
    ASSERT_EQ(frame.width, plateWidth);
    ASSERT_EQ(frame.height, plateHeight);
    for (const std::uint8_t v : frame.pixels) {
        ASSERT_EQ(v, 77);
    }
}

TEST(PlateGeometry, ScalingMapsTheMiddleToTheMiddle) {
    GreyImage photo(94, 24);
    for (int y = 0; y < 24; ++y) {
        photo.at(46, y) = photo.at(47, y) = 255;
    }
    const GreyImage frame = mapToFrame(photo, {});
    EXPECT_GT(frame.at(plateWidth / 2, plateHeight / 2), 200);
    EXPECT_EQ(frame.at(plateWidth / 4, plateHeight / 2), 0);
}

// Blocks of foreground as characters would lie, their rows rising by `tilt`
// per mille and their columns leaning by `slant` per mille.
GreyImage blocks(int tilt, int slant) {
    GreyImage frame(plateWidth, plateHeight);
    for (int y = 0; y < plateHeight; ++y) {
        for (int x = 0; x < plateWidth; ++x) {
            const int row = y - tilt * (x - plateWidth / 2) / 1000;
            const int column = x - slant * (y - plateHeight / 2) / 1000;
            if (row >= 20 && row < 96 && column >= 10 && column < 374 && (column / 16) % 3 == 0) {
                frame.at(x, y) = 255;
            }
        }
    }
    return frame;
}

TEST(PlateGeometry, TiltAndSlantAreFoundWithinOneStep) {
    const struct { int tilt, slant; } cases[] = {{0, 0}, {100, 0}, {-140, 0}, {0, 200}, {0, -260}};
    for (const auto& c : cases) {
        const GreyImage frame = blocks(c.tilt, c.slant);
        EXPECT_LE(std::abs(levellingTilt(frame) - c.tilt), 20) << c.tilt;
        EXPECT_LE(std::abs(uprightSlant(frame) - c.slant), 20) << c.slant;
    }
}

} // namespace
