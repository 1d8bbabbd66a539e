#include "engine/primitives/picture_pixels.h"
#include "engine/primitives/plate_warp.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

using namespace kavro;

namespace {

TEST(PicturePixels, PackedRefusesSidesAndBuffersThatDoNotHoldThePicture) {
    const std::vector<std::uint8_t> bytes(4 * 3 * 3);
    struct Case {
        const char* name;
        int width, height;
        std::size_t size;
        bool taken;
    };
    const Case cases[] = {
        {"exact", 4, 3, bytes.size(), true},
        {"one byte short", 4, 3, bytes.size() - 1, false},
        {"no width", 0, 3, bytes.size(), false},
        {"negative height", 4, -3, bytes.size(), false},
        {"more rows than bytes", 4, 4, bytes.size(), false},
    };
    for (const Case& c : cases) {
        const std::span<const std::uint8_t> span(bytes.data(), c.size);
        if (c.taken) {
            const PicturePixels view = PicturePixels::packed(span, c.width, c.height);
            EXPECT_TRUE(view.isPacked()) << c.name;
            EXPECT_EQ(view.stride, c.width * 3) << c.name;
        } else {
            EXPECT_THROW(PicturePixels::packed(span, c.width, c.height), std::invalid_argument)
                << c.name;
        }
    }
}

TEST(PicturePixels, CutKeepsTheRowsOfThePictureAndRefusesWindowsOutside) {
    std::vector<std::uint8_t> bytes(10 * 6 * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i);
    }
    const PicturePixels whole = PicturePixels::packed(bytes, 10, 6);
    const PicturePixels cut = whole.cut({2, 1, 5, 4});
    EXPECT_EQ(cut.width, 5);
    EXPECT_EQ(cut.height, 4);
    EXPECT_EQ(cut.stride, whole.stride);
    EXPECT_FALSE(cut.isPacked());
    EXPECT_EQ(cut.row(0), whole.row(1) + 2 * 3);
    EXPECT_EQ(cut.row(3)[14], bytes[(4 * 10 + 2 + 4) * 3 + 2]); // last pixel, red
    for (const PictureWindow& outside :
         {PictureWindow{-1, 0, 5, 4}, PictureWindow{0, 0, 11, 1}, PictureWindow{6, 3, 5, 3},
          PictureWindow{0, 0, 0, 2}, PictureWindow{0, 5, 1, 2}}) {
        EXPECT_THROW(whole.cut(outside), std::invalid_argument)
            << outside.left << "," << outside.top << " " << outside.width << "x" << outside.height;
    }
}

// The warp reads rows without gaps; a window with its picture's rows is
// refused before a byte of the plate is written.
TEST(PicturePixels, WarpRefusesAPictureWithGapsBetweenRows) {
    const std::vector<std::uint8_t> bytes(500 * 200 * 3, 50);
    const PicturePixels whole = PicturePixels::packed(bytes, 500, 200);
    const Quad<double> corners{{{{10, 10}, {300, 10}, {300, 100}, {10, 100}}}};
    std::vector<std::uint8_t> plate(warpImageBytes, 7);
    EXPECT_TRUE(warpPlateFromCorners(plate.data(), corners, whole));
    std::vector<std::uint8_t> untouched(warpImageBytes, 7);
    EXPECT_FALSE(warpPlateFromCorners(untouched.data(), corners, whole.cut({0, 0, 400, 150})));
    EXPECT_EQ(untouched, std::vector<std::uint8_t>(warpImageBytes, 7));
}

} // namespace
