#include "engine/primitives/plate_warp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

using namespace kavro;

namespace {

constexpr std::int32_t one = 262144; // 1.0 in warp coefficients
constexpr std::int32_t int32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::uint8_t untouched = 0xAB;
constexpr double lastU = warpWidth - 1;
constexpr double lastV = warpHeight - 1;

// The plate's corners in the order of the rectangle's (0, 0), (lastU, 0),
// (0, lastV) and (lastU, lastV).
Quad<double> cornersOf(Point<double> topLeft, Point<double> topRight, Point<double> bottomLeft,
                       Point<double> bottomRight) {
    return {{topLeft, topRight, bottomRight, bottomLeft}};
}

struct Image {
    int width;
    int height;
    std::vector<std::uint8_t> bytes;

    Image(int w, int h, std::uint8_t fill = 0)
        : width(w), height(h), bytes(static_cast<std::size_t>(w) * h * 3, fill) {}
    std::uint8_t* at(int x, int y) { return &bytes[(static_cast<std::size_t>(y) * width + x) * 3]; }
    PicturePixels view() const { return PicturePixels::packed(bytes, width, height); }
    int warp(std::vector<std::uint8_t>& plate, const WarpCoefficients& k) {
        return warpPlate(plate.data(), k, view());
    }
    int warpCorners(std::vector<std::uint8_t>& plate, const Quad<double>& corners) {
        return warpPlateFromCorners(plate.data(), corners, view());
    }
};

// Every channel of every pixel differs from its right and lower neighbours.
Image patterned(int width, int height) {
    Image image(width, height);
    for (std::size_t i = 0; i < image.bytes.size(); ++i) {
        const int x = static_cast<int>(i / 3) % width;
        const int y = static_cast<int>(i / 3) / width;
        image.bytes[i] = static_cast<std::uint8_t>(x * 7 + y * 29 + (i % 3) * 50);
    }
    return image;
}

std::vector<std::uint8_t> blankPlate() {
    return std::vector<std::uint8_t>(warpImageBytes, untouched);
}

const std::uint8_t* platePixel(const std::vector<std::uint8_t>& plate, int u, int v) {
    return &plate[(static_cast<std::size_t>(v) * warpWidth + u) * 3];
}

TEST(Perspective, IdentityCornersWeightEachPixelWithItsRightAndLowerNeighbours) {
    const Quad<double> corners = cornersOf({0, 0}, {lastU, 0}, {0, lastV}, {lastU, lastV});
    const auto k = toWarpCoefficients(solveLinearSystem(buildPlateSystem(corners)));
    ASSERT_TRUE(k.has_value());
    ASSERT_EQ(*k, (WarpCoefficients{one, 0, 0, 0, one, 0, 0, 0}));

    Image source = patterned(warpWidth + 3, warpHeight + 3);
    auto plate = blankPlate();
    ASSERT_EQ(source.warp(plate, *k), 1);
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

TEST(Perspective, CoefficientsKeepOrderTruncateTowardZeroAndRejectNonFinite) {
    const PlateSolution solution{1.5 / one,  -1.5 / one, 0.9999999,
                                 -0.9999999, -8192.0,    (int32Min - 0.5) / one,
                                 8191.999,   2.0};
    EXPECT_EQ(toWarpCoefficients(solution),
              (WarpCoefficients{1, -1, 262143, -262143, int32Min, int32Min, 2147483385, 2 * one}));
    for (const double value : std::initializer_list<double>{std::nan(""), INFINITY, -INFINITY,
                                                            8192.0, -8192.00001, 1e30}) {
        for (int i = 0; i < plateSystemSize; ++i) {
            PlateSolution bad{};
            bad[i] = value;
            EXPECT_FALSE(toWarpCoefficients(bad).has_value()) << value << " at " << i;
        }
    }
}

TEST(Perspective, NeighboursStopThreePixelsFromTheBorder) {
    struct Case {
        int ix, iy, rightX, belowY;
    };
    constexpr int fx = 0x4000;
    constexpr int fy = 0x2000;
    Image source = patterned(10, 8);
    // Inside, the last three columns, the last three rows and the last pixel.
    for (const Case& c : {Case{6, 4, 7, 5},
                          {9, 0, 9, 1},
                          {8, 0, 8, 1},
                          {7, 0, 7, 1},
                          {0, 7, 1, 7},
                          {0, 6, 1, 6},
                          {0, 5, 1, 5},
                          {9, 7, 9, 7}}) {
        auto plate = blankPlate();
        const std::int64_t sx = (c.ix << 16) + fx, sy = (c.iy << 16) + fy;
        ASSERT_EQ(source.warp(plate, {0, 0, 0, 0, 0, 0, static_cast<std::int32_t>(4 * sx),
                                      static_cast<std::int32_t>(4 * sy)}),
                  1);
        for (int ch = 0; ch < 3; ++ch) {
            const int sum = source.at(c.ix, c.iy)[ch] * (131072 - fx - fy) +
                            source.at(c.rightX, c.iy)[ch] * (65536 + fx - fy) +
                            source.at(c.ix, c.belowY)[ch] * (65536 - fx + fy) +
                            source.at(c.rightX, c.belowY)[ch] * (fx + fy);
            EXPECT_EQ(platePixel(plate, warpWidth - 1, warpHeight - 1)[ch], sum >> 18)
                << c.ix << "," << c.iy;
        }
    }
    // c = 4 * sx: -3 gives sx = -0.75, which truncates to 0; -4 gives -1.
    auto plate = blankPlate();
    EXPECT_EQ(source.warp(plate, {0, 0, 0, 0, 0, 0, -3, 0}), 1);
    EXPECT_EQ(source.warp(plate, {0, 0, 0, 0, 0, 0, -4, 0}), 0);
    EXPECT_EQ(source.warp(plate, {0, 0, 0, 0, 0, 0, 4 * (10 << 16), 0}), 0);
    EXPECT_EQ(source.warp(plate, {0, 0, 0, 0, 0, 0, 0, 4 * (8 << 16)}), 0);
}

TEST(Perspective, CornerLeftOfThePictureStopsAtTheFirstPixelOutside) {
    Image source(400, 130, 10);
    auto plate = blankPlate();
    EXPECT_EQ(source.warpCorners(plate, cornersOf({0, 0}, {lastU, 0}, {-1, lastV}, {lastU, lastV})),
              0);
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
    for (const Quad<double>& corners : {cornersOf({10, 10}, {110, 60}, {210, 110}, {310, 160}),
                                        cornersOf({50, 50}, {50, 50}, {50, 50}, {50, 50}),
                                        cornersOf({10, 99}, {200, 99}, {10, 99}, {200, 99})}) {
        auto plate = blankPlate();
        EXPECT_EQ(source.warpCorners(plate, corners), 0);
    }
}

TEST(Perspective, PerspectiveQuadMapsCornersOntoCorners) {
    const Quad<double> corners = cornersOf({100.25, 50.5}, {480, 80}, {110, 200}, {470, 190});
    const Point<double> sourceCorners[] = {corners[quadTopLeft], corners[quadTopRight],
                                           corners[quadBottomLeft], corners[quadBottomRight]};
    const double plateCorners[][2] = {{0, 0}, {lastU, 0}, {0, lastV}, {lastU, lastV}};
    const auto [a, d, g, b, e, h, c, f] = solveLinearSystem(buildPlateSystem(corners));
    Image source(600, 300); // black, with bright squares around the corners
    for (int i = 0; i < 4; ++i) {
        const auto [u, v] = plateCorners[i];
        const double w = g * u + h * v + 1;
        EXPECT_NEAR((a * u + b * v + c) / w, sourceCorners[i].x, 1e-9);
        EXPECT_NEAR((d * u + e * v + f) / w, sourceCorners[i].y, 1e-9);
        for (int y = -3; y <= 3; ++y) {
            for (int x = -3; x <= 3; ++x) {
                std::fill_n(source.at(static_cast<int>(sourceCorners[i].x) + x,
                                      static_cast<int>(sourceCorners[i].y) + y),
                            3, 200);
            }
        }
    }
    auto plate = blankPlate();
    ASSERT_EQ(source.warpCorners(plate, corners), 1);
    for (const auto& [u, v] : plateCorners) {
        EXPECT_EQ(platePixel(plate, static_cast<int>(u), static_cast<int>(v))[1], 200) << u << v;
    }
    EXPECT_EQ(platePixel(plate, warpWidth / 2, warpHeight / 2)[1], 0);
}

TEST(Perspective, NonPositiveDenominatorStopsTheWarp) {
    struct Case {
        std::int32_t g, h;
        int firstRejected; // index of the first plate pixel left untouched
    };
    Image source(4, 4, 10);
    // Zero at u = 1; negative from u = 2 while sx stays 0; zero at the start of row 1.
    for (const Case& c : {Case{-one, 0, 1}, {-200000, 0, 2}, {int32Min, 0, 1}, {0, -one, 384}}) {
        auto plate = blankPlate();
        EXPECT_EQ(source.warp(plate, {0, 0, c.g, 0, 0, c.h, 0, 0}), 0);
        EXPECT_EQ(plate[(c.firstRejected - 1) * 3], 10) << c.g;
        EXPECT_EQ(plate[c.firstRejected * 3], untouched) << c.g;
    }
}

TEST(Perspective, ProductsBeyondThirtyTwoBitsUseTheirTrueValue) {
    // 383 * a exceeds 2^32 (wrapped, the last column would map to x = 0): its true
    // position is x = 16384 + 112 / 65536, which holds green 64.
    Image source(16400, 1);
    for (int x = 0; x < source.width; ++x) {
        source.at(x, 0)[1] = static_cast<std::uint8_t>(x >> 8);
    }
    auto plate = blankPlate();
    ASSERT_EQ(source.warp(plate, {11214015, 0, 0, 0, 0, 0, 0, 0}), 1);
    EXPECT_EQ(platePixel(plate, warpWidth - 1, 0)[1], 64);
    // Numerators and denominators pass 2^31 from u = 128 on; every pixel maps below x = 2.
    EXPECT_EQ(patterned(8, 8).warp(plate, {2 << 24, 0, 1 << 24, 0, 0, 0, 0, 0}), 1);
}

} // namespace

namespace {

// x = u + v * shear / 2^18, y = v: only the last plate pixel leans furthest right.
struct LastPixelCase {
    const char* name;
    std::int32_t shear;
    int sourceWidth;
    int expected;
};

TEST(WarpBounds, OnlyTheLastPlatePixelOutsideStopsTheWarpThere) {
    // 115 * 2280 passes 2^18, so (383, 115) maps to x 384.0002 while (383, 114)
    // and (382, 115) stay left of 384; 115 * 2279 does not pass it.
    const LastPixelCase cases[] = {
        {"last pixel beyond the last column", 2280, 384, 0},
        {"last pixel on the last column", 2279, 384, 1},
        {"one more column", 2280, 385, 1},
    };
    for (const LastPixelCase& c : cases) {
        Image source(c.sourceWidth, warpHeight + 4, 10);
        auto plate = blankPlate();
        EXPECT_EQ(source.warp(plate, {one, 0, 0, c.shear, one, 0, 0, 0}), c.expected) << c.name;
        EXPECT_EQ(platePixel(plate, warpWidth - 2, warpHeight - 1)[0], 10) << c.name;
        EXPECT_EQ(platePixel(plate, warpWidth - 1, warpHeight - 2)[0], 10) << c.name;
        const std::uint8_t last = c.expected == 1 ? 10 : untouched;
        EXPECT_EQ(platePixel(plate, warpWidth - 1, warpHeight - 1)[0], last) << c.name;
    }
}

} // namespace

namespace {

// The warp pixel by pixel as plainly as it can be written: 64-bit numerators,
// truncating 64-bit divisions, four-edge weights.
int referenceWarp(std::vector<std::uint8_t>& plate, const WarpCoefficients& k, Image& source) {
    for (std::int64_t v = 0; v < warpHeight; ++v) {
        for (std::int64_t u = 0; u < warpWidth; ++u) {
            const std::int64_t denominator = u * k.g + v * k.h + one;
            if (denominator <= 0) {
                return 0;
            }
            const std::int64_t sx = (u * k.a + v * k.b + k.c) * 65536 / denominator;
            const std::int64_t sy = (u * k.d + v * k.e + k.f) * 65536 / denominator;
            if (sx < 0 || (sx >> 16) > source.width - 1 || sy < 0 ||
                (sy >> 16) > source.height - 1) {
                return 0;
            }
            const int ix = static_cast<int>(sx >> 16), iy = static_cast<int>(sy >> 16);
            const int fx = static_cast<int>(sx & 0xFFFF), fy = static_cast<int>(sy & 0xFFFF);
            const int rightX = ix < source.width - 3 ? ix + 1 : ix;
            const int belowY = iy < source.height - 3 ? iy + 1 : iy;
            for (int c = 0; c < 3; ++c) {
                const int sum = source.at(ix, iy)[c] * (131072 - fx - fy) +
                                source.at(rightX, iy)[c] * (65536 + fx - fy) +
                                source.at(ix, belowY)[c] * (65536 - fx + fy) +
                                source.at(rightX, belowY)[c] * (fx + fy);
                plate[(v * warpWidth + u) * 3 + c] = static_cast<std::uint8_t>(sum >> 18);
            }
        }
    }
    return 1;
}

// Corners drawn around the picture: `spread` is how far past its border they
// may lie, `inset` how far inside it; a positive `narrowing` shrinks the top
// edge about its middle to that fraction of its length, a negative one the
// bottom edge.
struct QuadDraw {
    const char* name;
    int width;
    int height;
    double spread;
    double inset;
    double narrowing;
};

Quad<double> drawCorners(const QuadDraw& draw, std::mt19937& random) {
    const double right = draw.width - 1;
    const double bottom = draw.height - 1;
    std::uniform_real_distribution<double> across(-draw.spread, std::min(draw.inset, right / 2));
    std::uniform_real_distribution<double> down(-draw.spread, std::min(draw.inset, bottom / 2));
    const Point<double> topLeft{across(random), down(random)};
    const Point<double> topRight{right - across(random), down(random)};
    const Point<double> bottomLeft{across(random), bottom - down(random)};
    const Point<double> bottomRight{right - across(random), bottom - down(random)};
    Quad<double> corners = cornersOf(topLeft, topRight, bottomLeft, bottomRight);
    const auto squeeze = [](Point<double>& left, Point<double>& right, double fraction) {
        const double middle = (left.x + right.x) / 2, half = (right.x - left.x) / 2 * fraction;
        left.x = middle - half;
        right.x = middle + half;
    };
    if (draw.narrowing > 0) {
        squeeze(corners[quadTopLeft], corners[quadTopRight], draw.narrowing);
    } else if (draw.narrowing < 0) {
        squeeze(corners[quadBottomLeft], corners[quadBottomRight], -draw.narrowing);
    }
    return corners;
}

TEST(WarpIdentity, MatchesThePlainArithmeticOnRandomMaps) {
    const QuadDraw draws[] = {
        {"plate-sized picture", 400, 130, 2, 20, 0},
        {"corners on the border", 640, 480, 0.6, 0.6, 0},
        {"plate a third of its size", 130, 40, 1, 3, 0},
        {"corners around the border", 384, 116, 3, 3, 0},
        {"far edge a tenth as wide", 800, 300, 0.5, 100, 0.1},
        {"near edge a tenth as wide", 800, 300, 0.5, 100, -0.1},
        {"wide picture", 32767, 9, 1, 3000, 0},
        {"tall picture", 9, 32767, 1, 3, 0},
        {"tiny picture", 3, 2, 0, 0.5, 0},
    };
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> nudge(-3, 3);
    for (const QuadDraw& draw : draws) {
        Image source(draw.width, draw.height);
        std::generate(source.bytes.begin(), source.bytes.end(),
                      [&] { return static_cast<std::uint8_t>(random()); });
        int accepted = 0;
        for (int trial = 0; trial < 60; ++trial) {
            const auto solved =
                toWarpCoefficients(solveLinearSystem(buildPlateSystem(drawCorners(draw, random))));
            if (!solved) {
                continue;
            }
            // Odd trials move every coefficient a few units off the solved map.
            WarpCoefficients k = *solved;
            if (trial % 2 == 1) {
                for (std::int32_t* value : {&k.a, &k.d, &k.g, &k.b, &k.e, &k.h, &k.c, &k.f}) {
                    *value += nudge(random);
                }
            }
            auto plate = blankPlate();
            auto expected = blankPlate();
            const int result = source.warp(plate, k);
            ASSERT_EQ(result, referenceWarp(expected, k, source)) << draw.name << " " << trial;
            ASSERT_EQ(plate, expected) << draw.name << " " << trial;
            accepted += result;
        }
        EXPECT_GT(accepted, 0) << draw.name;
    }
}

TEST(WarpIdentity, MatchesThePlainArithmeticOnChosenMaps) {
    struct Case {
        const char* name;
        int width;
        int height;
        WarpCoefficients k;
    };
    // 383 * lastInside stays below 2^37, the bound of numerators in doubles.
    constexpr std::int32_t lastInside = 358848442;
    constexpr std::int32_t bigG = 11000000;
    constexpr std::int32_t smallG = -(one - 200) / 383; // the denominator ends at 172
    const Case cases[] = {
        {"every pixel on the last source pixel", 5, 4, {0, 0, 0, 0, 0, 0, 4 * one + 9, 3 * one}},
        {"every pixel on the first source pixel", 5, 4, {0, 0, 0, 0, 0, 0, 0, 0}},
        {"identity onto the whole picture", warpWidth, warpHeight, {one, 0, 0, 0, one, 0, 0, 0}},
        {"slightly negative fractions", 400, 130, {one, 0, 0, 0, one, 0, -3, -1}},
        // The last groups of eight plate pixels lie on the picture's last row,
        // within 16 bytes of its end.
        {"a quarter of the scale up to the picture's end",
         97,
         29,
         {one / 4, 0, 0, 0, one / 4, 0, 0, 0}},
        {"numerators just inside the double bound",
         40,
         40,
         {lastInside, bigG * 8, bigG, 0, 0, 0, 0, 0}},
        {"numerators just beyond the double bound",
         40,
         40,
         {lastInside + 1, bigG * 8, bigG, 0, 0, 0, 0, 0}},
        // At u = 383 the numerator times 2^16, about 2^53.5, lies 1 below a multiple
        // of the denominator: rounded in doubles, the quotient would come out one
        // too large, and the last plate pixel one unit too dark in red.
        {"a quotient just short of an integer", 16411, 1, {515527487, 0, 30737, 0, 0, 0, 313, 0}},
        {"denominators falling to a few units",
         400,
         130,
         {3 * smallG + 5, 10 * smallG, smallG, 0, 0, 0, 3 * one, 10 * one}},
    };
    for (const Case& c : cases) {
        Image source = patterned(c.width, c.height);
        auto plate = blankPlate();
        auto expected = blankPlate();
        const int result = source.warp(plate, c.k);
        EXPECT_EQ(result, referenceWarp(expected, c.k, source)) << c.name;
        EXPECT_EQ(result, 1) << c.name;
        EXPECT_EQ(plate, expected) << c.name;
    }
}

} // namespace
