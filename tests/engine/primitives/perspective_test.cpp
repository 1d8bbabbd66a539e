#include "engine/primitives/perspective.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr std::int32_t one = 262144; // 1.0 in warp coefficients
constexpr std::uint8_t untouched = 0xAB;
constexpr double lastU = warpWidth - 1;
constexpr double lastV = warpHeight - 1;

struct Image {
    int width;
    int height;
    std::vector<std::uint8_t> bytes;

    Image(int w, int h, std::uint8_t fill = 0)
        : width(w), height(h), bytes(static_cast<std::size_t>(w) * h * 3, fill) {}
    std::uint8_t* at(int x, int y) { return &bytes[(static_cast<std::size_t>(y) * width + x) * 3]; }
};

// Every channel of every pixel differs from its right and lower neighbours.
Image patterned(int width, int height) {
    Image image(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) {
                image.at(x, y)[c] = static_cast<std::uint8_t>(x * 7 + y * 29 + c * 50);
            }
        }
    }
    return image;
}

std::vector<std::uint8_t> blankPlate() {
    return std::vector<std::uint8_t>(warpImageBytes, untouched);
}

const std::uint8_t* platePixel(const std::vector<std::uint8_t>& plate, int u, int v) {
    return &plate[(static_cast<std::size_t>(v) * warpWidth + u) * 3];
}

// Maps every plate pixel to the one source position (sx, sy) in 16.16.
WarpCoefficients constantMap(std::int64_t sx, std::int64_t sy) {
    return {0, 0, 0, 0, 0, 0, static_cast<std::int32_t>(sx * 4), static_cast<std::int32_t>(sy * 4)};
}

TEST(Perspective, IdentityCornersGiveUnitCoefficients) {
    const PlateCorners corners{{0, 0}, {lastU, 0}, {0, lastV}, {lastU, lastV}};
    const auto coefficients = toWarpCoefficients(solveLinearSystem(buildPlateSystem(corners)));
    ASSERT_TRUE(coefficients.has_value());
    EXPECT_EQ(*coefficients, (WarpCoefficients{one, 0, 0, 0, one, 0, 0, 0}));
}

TEST(Perspective, IdentityWarpWeightsPixelWithRightAndLowerNeighbours) {
    Image source = patterned(warpWidth + 3, warpHeight + 3);
    auto plate = blankPlate();
    ASSERT_EQ(warpPlate(plate.data(), {one, 0, 0, 0, one, 0, 0, 0}, source.bytes.data(),
                        source.width, source.height),
              1);
    for (int v = 0; v < warpHeight; ++v) {
        for (int u = 0; u < warpWidth; ++u) {
            for (int c = 0; c < 3; ++c) {
                const int expected =
                    (2 * source.at(u, v)[c] + source.at(u + 1, v)[c] + source.at(u, v + 1)[c]) >> 2;
                ASSERT_EQ(platePixel(plate, u, v)[c], expected) << u << "," << v << "," << c;
            }
        }
    }
}

TEST(Perspective, CoefficientsKeepOrderAndTruncateTowardZero) {
    const PlateSolution solution{1.5 / one, -1.5 / one,
                                 0.9999999, -0.9999999,
                                 -8192.0,   (std::numeric_limits<std::int32_t>::min() - 0.5) / one,
                                 8191.999,  2.0};
    const auto coefficients = toWarpCoefficients(solution);
    ASSERT_TRUE(coefficients.has_value());
    EXPECT_EQ(*coefficients, (WarpCoefficients{1, -1, 262143, -262143, -2147483647 - 1,
                                               -2147483647 - 1, 2147483385, 2 * one}));
}

TEST(Perspective, NonFiniteOrOutOfRangeCoefficientsAreRejected) {
    const double rejected[] = {std::nan(""), INFINITY, -INFINITY, 8192.0, -8192.00001, 1e30};
    for (const double value : rejected) {
        for (int i = 0; i < plateSystemSize; ++i) {
            PlateSolution solution{};
            solution[i] = value;
            EXPECT_FALSE(toWarpCoefficients(solution).has_value()) << value << " at " << i;
        }
    }
}

struct SampleCase {
    const char* name;
    int ix;
    int iy;
    int rightX; // column sampled as the right neighbour
    int belowY; // row sampled as the lower neighbour
};

TEST(Perspective, NeighboursStopThreePixelsFromTheBorder) {
    Image source = patterned(10, 8);
    constexpr int fx = 0x4000;
    constexpr int fy = 0x2000;
    const SampleCase cases[] = {
        {"inside", 6, 4, 7, 5},
        {"last column", 9, 0, 9, 1},
        {"second last column", 8, 0, 8, 1},
        {"third last column", 7, 0, 7, 1},
        {"last row", 0, 7, 1, 7},
        {"third last row", 0, 5, 1, 5},
        {"bottom right pixel", 9, 7, 9, 7},
    };
    for (const SampleCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto plate = blankPlate();
        const auto map = constantMap((c.ix << 16) + fx, (c.iy << 16) + fy);
        ASSERT_EQ(warpPlate(plate.data(), map, source.bytes.data(), source.width, source.height),
                  1);
        for (int ch = 0; ch < 3; ++ch) {
            const int sum = source.at(c.ix, c.iy)[ch] * (131072 - fx - fy) +
                            source.at(c.rightX, c.iy)[ch] * (65536 + fx - fy) +
                            source.at(c.ix, c.belowY)[ch] * (65536 - fx + fy) +
                            source.at(c.rightX, c.belowY)[ch] * (fx + fy);
            EXPECT_EQ(platePixel(plate, 0, 0)[ch], sum >> 18);
            EXPECT_EQ(platePixel(plate, warpWidth - 1, warpHeight - 1)[ch], sum >> 18);
        }
    }
}

TEST(Perspective, PositionsOutsideTheSourceFailTheWarp) {
    Image source(10, 8, 10);
    struct Case {
        std::int32_t c;
        std::int32_t f;
        int expected;
    };
    // c = 4 * sx; a numerator of -3 gives sx = -0.75, which truncates to 0.
    const Case cases[] = {{-3, 0, 1},
                          {-4, 0, 0},
                          {4 * (10 << 16), 0, 0},
                          {4 * ((10 << 16) - 1), 4 * ((8 << 16) - 1), 1},
                          {0, 4 * (8 << 16), 0}};
    for (const Case& c : cases) {
        auto plate = blankPlate();
        const WarpCoefficients map{0, 0, 0, 0, 0, 0, c.c, c.f};
        EXPECT_EQ(warpPlate(plate.data(), map, source.bytes.data(), 10, 8), c.expected) << c.c;
    }
}

TEST(Perspective, CornerLeftOfThePictureStopsAtTheFirstPixelOutside) {
    Image source(400, 130, 10);
    auto plate = blankPlate();
    const PlateCorners corners{{0, 0}, {lastU, 0}, {-1, lastV}, {lastU, lastV}};
    EXPECT_EQ(warpPlateFromCorners(plate.data(), corners, source.bytes.data(), 400, 130), 0);
    // Row 0 maps inside; (0, 1) is the first pixel left of column 0.
    for (int u = 0; u < warpWidth; ++u) {
        EXPECT_EQ(platePixel(plate, u, 0)[0], 10) << u;
    }
    for (std::size_t i = warpWidth * 3; i < plate.size(); ++i) {
        ASSERT_EQ(plate[i], untouched) << i;
    }
}

TEST(Perspective, SingularCornersReadNoPlate) {
    Image source(600, 300, 10);
    const PlateCorners collinear[] = {
        {{10, 10}, {110, 60}, {210, 110}, {310, 160}},
        {{50, 50}, {50, 50}, {50, 50}, {50, 50}},
        {{10, 100}, {200, 100}, {10, 100}, {200, 100}},
    };
    for (const PlateCorners& corners : collinear) {
        auto plate = blankPlate();
        EXPECT_EQ(warpPlateFromCorners(plate.data(), corners, source.bytes.data(), 600, 300), 0);
    }
}

TEST(Perspective, PerspectiveQuadMapsCornersOntoCorners) {
    const PlateCorners corners{{100.25, 50.5}, {480, 80}, {110, 200}, {470, 190}};
    const PlateSolution s = solveLinearSystem(buildPlateSystem(corners));
    const auto [a, d, g, b, e, h, c, f] = s;
    const Corner expected[] = {corners.topLeft, corners.topRight, corners.bottomLeft,
                               corners.bottomRight};
    const double uv[][2] = {{0, 0}, {lastU, 0}, {0, lastV}, {lastU, lastV}};
    for (int i = 0; i < 4; ++i) {
        const auto [u, v] = uv[i];
        const double w = g * u + h * v + 1;
        EXPECT_NEAR((a * u + b * v + c) / w, expected[i].x, 1e-9);
        EXPECT_NEAR((d * u + e * v + f) / w, expected[i].y, 1e-9);
    }

    // Bright squares around the source corners; everything else black.
    Image source(600, 300);
    for (const Corner& corner : expected) {
        for (int y = -3; y <= 3; ++y) {
            for (int x = -3; x <= 3; ++x) {
                std::fill_n(
                    source.at(static_cast<int>(corner.x) + x, static_cast<int>(corner.y) + y), 3,
                    200);
            }
        }
    }
    auto plate = blankPlate();
    ASSERT_EQ(warpPlateFromCorners(plate.data(), corners, source.bytes.data(), 600, 300), 1);
    for (const auto& [u, v] : uv) {
        EXPECT_EQ(platePixel(plate, static_cast<int>(u), static_cast<int>(v))[1], 200)
            << u << "," << v;
    }
    EXPECT_EQ(platePixel(plate, warpWidth / 2, warpHeight / 2)[1], 0);
}

TEST(Perspective, NonPositiveDenominatorStopsTheWarp) {
    Image source(4, 4, 10);
    struct Case {
        std::int32_t g;
        std::int32_t h;
        int firstRejected; // index of the first plate pixel left untouched
    };
    const Case cases[] = {{-one, 0, 1},    // zero at u = 1
                          {-200000, 0, 2}, // negative from u = 2, sx still 0
                          {std::numeric_limits<std::int32_t>::min(), 0, 1},
                          {0, -one, warpWidth}}; // zero at the start of row 1
    for (const Case& c : cases) {
        auto plate = blankPlate();
        const WarpCoefficients map{0, 0, c.g, 0, 0, c.h, 0, 0};
        EXPECT_EQ(warpPlate(plate.data(), map, source.bytes.data(), 4, 4), 0);
        EXPECT_EQ(plate[(c.firstRejected - 1) * 3], 10) << c.g;
        EXPECT_EQ(plate[c.firstRejected * 3], untouched) << c.g;
    }
}

TEST(Perspective, ProductsBeyondThirtyTwoBitsUseTheirTrueValue) {
    // 383 * a exceeds 2^32 (a wrapped numerator would land at column 0): the true
    // position of the last column is 16384 + 112 / 65536.
    Image source(16400, 1);
    for (int x = 0; x < source.width; ++x) {
        source.at(x, 0)[1] = static_cast<std::uint8_t>(x >> 8);
    }
    auto plate = blankPlate();
    const WarpCoefficients wide{11214015, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(warpPlate(plate.data(), wide, source.bytes.data(), source.width, 1), 1);
    EXPECT_EQ(platePixel(plate, warpWidth - 1, 0)[1], 16384 >> 8);

    // Denominators past 2^31 from u = 128 on; every pixel maps just below x = 2.
    const std::int32_t g = 1 << 24;
    Image small = patterned(8, 8);
    EXPECT_EQ(warpPlate(plate.data(), {2 * g, 0, g, 0, 0, 0, 0, 0}, small.bytes.data(), 8, 8), 1);
    EXPECT_EQ(warpPlate(plate.data(),
                        {std::numeric_limits<std::int32_t>::max(), 0, 0, 0, 0, 0,
                         std::numeric_limits<std::int32_t>::max(), 0},
                        small.bytes.data(), 8, 8),
              0);
}

} // namespace
