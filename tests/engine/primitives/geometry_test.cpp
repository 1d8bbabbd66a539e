#include "engine/primitives/geometry.h"

#include <gtest/gtest.h>

using namespace kavro;

namespace {

Quad<double> rectangle(double left, double top, double right, double bottom) {
    return {{{{left, top}, {right, top}, {right, bottom}, {left, bottom}}}};
}

TEST(Geometry, AreaOfClockwiseQuadrilaterals) {
    EXPECT_DOUBLE_EQ(area(rectangle(10, 20, 110, 50)), 3000);
    const Quad<double> diamond{{{{0, -1}, {1, 0}, {0, 1}, {-1, 0}}}};
    EXPECT_DOUBLE_EQ(area(diamond), 2);
    EXPECT_TRUE(isConvexClockwise(diamond));
    const Quad<double> anticlockwise{{{{0, 0}, {0, 1}, {1, 1}, {1, 0}}}};
    EXPECT_DOUBLE_EQ(area(anticlockwise), 0);
    EXPECT_FALSE(isConvexClockwise(anticlockwise));
}

struct OverlapCase {
    const char* name;
    Quad<double> a;
    Quad<double> b;
    double overlap;
    double share;
};

class Overlaps : public testing::TestWithParam<OverlapCase> {};

TEST_P(Overlaps, AreaAndShareOfTheSmaller) {
    const OverlapCase& c = GetParam();
    EXPECT_NEAR(overlapArea(c.a, c.b), c.overlap, 1e-9);
    EXPECT_NEAR(overlapArea(c.b, c.a), c.overlap, 1e-9);
    EXPECT_NEAR(overlapShare(c.a, c.b), c.share, 1e-9);
}

// A plate 45 degrees round its centre (0, 0), reaching 1 along each axis.
const Quad<double> turned{{{{-1, 0}, {0, -1}, {1, 0}, {0, 1}}}};
// Its corners out of order: the bounding rectangles stand in.
const Quad<double> crossed{{{{-1, 0}, {1, 0}, {0, -1}, {0, 1}}}};

INSTANTIATE_TEST_SUITE_P(
    Quads, Overlaps,
    testing::Values(OverlapCase{"same", rectangle(0, 0, 4, 2), rectangle(0, 0, 4, 2), 8, 1},
                    OverlapCase{"halfway", rectangle(0, 0, 4, 2), rectangle(2, 0, 6, 2), 4, 0.5},
                    OverlapCase{"inside", rectangle(0, 0, 10, 10), rectangle(2, 2, 4, 3), 2, 1},
                    OverlapCase{"apart", rectangle(0, 0, 1, 1), rectangle(2, 0, 3, 1), 0, 0},
                    OverlapCase{"touching", rectangle(0, 0, 1, 1), rectangle(1, 0, 2, 1), 0, 0},
                    OverlapCase{"turned", turned, rectangle(0, -1, 1, 1), 1, 0.5},
                    OverlapCase{"crossed", crossed, rectangle(0, 0, 2, 2), 1, 0.25}),
    [](const testing::TestParamInfo<OverlapCase>& info) { return info.param.name; });

TEST(Geometry, ViewFrameMapsViewPixelsIntoThePicture) {
    // A 1,024-pixel window from x 500, y 300 of a picture, resampled to 512 across.
    const ViewFrame frame{{250, 150}, 2};
    EXPECT_EQ(frame.toPicture({0, 0}), (Point<double>{500, 300}));
    EXPECT_EQ(frame.toPicture({10.5, 4}), (Point<double>{521, 308}));
}

TEST(Geometry, CentreAndWidth) {
    const Quad<double> tilted{{{{0, 0}, {30, 40}, {30, 60}, {0, 20}}}};
    EXPECT_EQ(centreOf(tilted), (Point<double>{15, 30}));
    EXPECT_DOUBLE_EQ(widthOf(tilted), 50);
}

} // namespace
