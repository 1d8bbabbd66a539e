#include "image/picture_limits.h"

#include <gtest/gtest.h>

using namespace kavro;

namespace {

struct AreaCase {
    int width, height;
    bool fits;
};

TEST(PictureLimits, AreaOfAtMostOneHundredMegapixelsFits) {
    const AreaCase cases[] = {
        {1, 1, true},
        {10'000, 10'000, true},
        {10'001, 10'000, false},
        {32'767, 3'051, true},  // 99,972,117 pixels
        {3'052, 32'767, false}, // 100,004,884 pixels
        {32'767, 32'767, false},
    };
    for (const auto& [width, height, fits] : cases) {
        EXPECT_EQ(fitsPictureArea(width, height), fits) << width << " x " << height;
    }
}

} // namespace
