#include "engine/context/recognition_context.h"
#include "test_pictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace kavro;

namespace {

// Every plane's value at one working pixel.
struct PlaneValues {
    int brightness, chroma, hue, green, blue, yellow, gray, inverseGray;
    bool operator==(const PlaneValues&) const = default;
};

std::ostream& operator<<(std::ostream& out, const PlaneValues& v) {
    return out << "{" << v.brightness << ", " << v.chroma << ", " << v.hue << ", " << v.green
               << ", " << v.blue << ", " << v.yellow << ", " << v.gray << ", " << v.inverseGray
               << "}";
}

PlaneValues valuesAt(const RecognitionContext& context, std::size_t index) {
    const std::uint8_t* hsv = context.hsvPlane.get() + 3 * index;
    return PlaneValues{hsv[0],
                       hsv[1],
                       hsv[2],
                       context.greenPlane[index],
                       context.bluePlane[index],
                       context.yellowPlane[index],
                       context.grayPlane[index],
                       context.inverseGrayPlane[index]};
}

struct PixelCase {
    const char* name;
    Bgr colour;
    PlaneValues expected;
};

void PrintTo(const PixelCase& c, std::ostream* out) {
    *out << c.name;
}

class PixelConversion : public testing::TestWithParam<PixelCase> {};

TEST_P(PixelConversion, EveryPlane) {
    const auto& [name, colour, expected] = GetParam();
    const TestPicture picture = uniformPicture(512, 64, colour);
    RecognitionContext context;
    context.prepareImage(picture.span(), 512, 64, false);
    const std::size_t index = 512 * 31 + 200;
    EXPECT_EQ(valuesAt(context, index), expected);
    EXPECT_EQ(std::memcmp(&context.colourPlane[3 * index], colour.data(), 3), 0);
}

// Colours are blue, green, red; expected: brightness, chroma, hue byte, green, blue,
// yellow, grey, inverse grey.
INSTANTIATE_TEST_SUITE_P(
    Colours, PixelConversion,
    testing::Values(PixelCase{"black", {0, 0, 0}, {0, 0, 16, 255, 255, 254, 1, 254}},
                    PixelCase{"white", {255, 255, 255}, {255, 0, 16, 128, 255, 0, 255, 0}},
                    PixelCase{"blue", {255, 0, 0}, {255, 255, 186, 255, 0, 255, 28, 227}},
                    PixelCase{"yellow", {0, 255, 255}, {255, 255, 58, 128, 255, 0, 226, 29}},
                    PixelCase{"red", {0, 0, 255}, {255, 255, 15, 255, 255, 0, 76, 179}},
                    PixelCase{"green", {0, 255, 0}, {255, 255, 101, 128, 255, 0, 150, 105}},
                    PixelCase{"grey", {128, 128, 128}, {128, 0, 16, 191, 255, 127, 128, 127}},
                    PixelCase{"sumBelowThree", {2, 0, 0}, {2, 2, 186, 255, 255, 254, 1, 254}},
                    // hue quotients that differ when rounded down instead of toward zero
                    PixelCase{"blueTruncates", {20, 10, 0}, {20, 20, 165, 250, 85, 255, 8, 247}},
                    PixelCase{"greenTruncates", {0, 20, 10}, {20, 20, 80, 245, 255, 225, 14, 241}},
                    PixelCase{"redTruncates", {10, 0, 20}, {20, 20, 250, 255, 255, 245, 7, 248}},
                    PixelCase{"bluish", {200, 180, 20}, {200, 180, 148, 165, 171, 255, 134, 121}}),
    [](const auto& info) { return std::string(info.param.name); });

// Hue byte straight from its definition: sector by the largest channel (ties to blue, then
// green), the quotient truncated toward zero, halved and rotated by 16.
int definedHueByte(const Bgr& colour) {
    const int blue = colour[0], green = colour[1], red = colour[2];
    const int largest = std::max({blue, green, red});
    const int chroma = largest - std::min({blue, green, red});
    if (chroma == 0) {
        return 16;
    }
    const int hue = largest == blue    ? (red - green) * 85 / chroma + 340
                    : largest == green ? (blue - red) * 85 / chroma + 170
                                       : (green - blue) * 85 / chroma + 510;
    return ((hue >> 1) + 16) & 0xFF;
}

TEST(PixelConversion, HueOfEveryChromaAndDifference) {
    // 512 x 384 pixels: every pair of levels in the two other channels, with blue, green and
    // red in turn held at 0, reaches every sector, chroma and numerator of the hue.
    const auto colourAt = [](int x, int y) {
        const int index = y * 512 + x;
        const auto first = static_cast<std::uint8_t>(index >> 8);
        const auto second = static_cast<std::uint8_t>(index);
        switch (index >> 16) {
        case 0:
            return Bgr{0, first, second};
        case 1:
            return Bgr{first, 0, second};
        default:
            return Bgr{first, second, 0};
        }
    };
    const TestPicture picture = makePicture(512, 384, colourAt);
    RecognitionContext context;
    context.prepareImage(picture.span(), 512, 384, false);
    int mismatches = 0;
    for (int y = 0; y < 384; ++y) {
        for (int x = 0; x < 512; ++x) {
            const std::size_t index = static_cast<std::size_t>(y) * 512 + x;
            mismatches += context.hsvPlane[3 * index + 2] != definedHueByte(colourAt(x, y));
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// Blue plane straight from its definition, with the exact share division.
int definedBlueByte(const Bgr& colour) {
    int blue = colour[0];
    int sum = colour[0] + colour[1] + colour[2];
    if (sum < 3) {
        blue = 1;
        sum = 3;
    }
    const int share = (16'711'680 / sum * blue - 5'570'560) >> 15;
    return 255 - std::clamp(share, 0, 255);
}

TEST(PixelConversion, BlueDominanceOfEveryBlueLevelAndSum) {
    // Row y holds blue level y; column x adds x to green and red, so every channel sum
    // from the blue level up to the blue level + 510 occurs.
    const auto colourAt = [](int x, int y) {
        const int rest = std::min(x, 510);
        const int green = std::min(rest, 255);
        return Bgr{static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(green),
                   static_cast<std::uint8_t>(rest - green)};
    };
    const TestPicture picture = makePicture(512, 256, colourAt);
    RecognitionContext context;
    context.prepareImage(picture.span(), 512, 256, false);
    int mismatches = 0;
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 512; ++x) {
            const std::size_t index = static_cast<std::size_t>(y) * 512 + x;
            mismatches += context.bluePlane[index] != definedBlueByte(colourAt(x, y));
        }
    }
    EXPECT_EQ(mismatches, 0);
}

Bgr patternColour(int x, int y) {
    return Bgr{static_cast<std::uint8_t>(x * 7 + y * 13), static_cast<std::uint8_t>(x * 3 + y * 5),
               static_cast<std::uint8_t>(x ^ y)};
}

TEST(ColourSampling, TwiceTheWorkingWidthWeighsTheTopLeftTwice) {
    // 1024 x 128: both fractions are 0 everywhere, so each channel is (2TL + TR + BL) >> 2.
    const TestPicture picture = makePicture(1024, 128, patternColour);
    RecognitionContext context;
    context.prepareImage(picture.span(), 1024, 128, false);
    ASSERT_EQ(context.planeHeight, 64);
    for (int k = 0; k < 64; k += 9) {
        for (int x = 0; x < 512; x += 37) {
            const Bgr topLeft = patternColour(2 * x, 2 * k);
            const Bgr topRight = patternColour(2 * x + 1, 2 * k);
            const Bgr bottomLeft = patternColour(2 * x, 2 * k + 1);
            for (int c = 0; c < 3; ++c) {
                EXPECT_EQ(context.colourPlane[(512 * k + x) * 3 + c],
                          (2 * topLeft[c] + topRight[c] + bottomLeft[c]) >> 2)
                    << "x " << x << " row " << k << " channel " << c;
            }
        }
    }
}

TEST(ColourSampling, FractionalCellWeighsItsFourEdges) {
    // 640 wide: working pixel (1, 1) lies at source (1.25, 1.25); the edge weights are
    // 98304, 65536, 65536 and 32768 for TL, TR, BL, BR.
    const TestPicture picture = makePicture(640, 480, [](int x, int y) -> Bgr {
        const std::uint8_t level =
            (x == 2 ? 64 : 0) + (y == 2 ? 128 : 0) + (x == 2 && y == 2 ? 63 : 0);
        return {level, level, level};
    });
    RecognitionContext context;
    context.prepareImage(picture.span(), 640, 480, false);
    // (0 * 98304 + 64 * 65536 + 128 * 65536 + 255 * 32768) >> 18
    EXPECT_EQ(context.colourPlane[(512 + 1) * 3], 79);
}

TEST(ColourSampling, ClampsTheLastColumnAndRowOfASmallPicture) {
    // 256 x 32 scales to 512 x 64; the last source column and row are 200, the rest 0.
    const TestPicture picture = makePicture(256, 32, [](int x, int y) -> Bgr {
        const std::uint8_t level = (x == 255 || y == 31) ? 200 : 0;
        return {level, level, level};
    });
    RecognitionContext context;
    context.prepareImage(picture.span(), 256, 32, false);
    ASSERT_EQ(context.planeHeight, 64);
    const auto at = [&](int x, int k) { return context.colourPlane[(512 * k + x) * 3]; };
    EXPECT_EQ(at(511, 0), 200); // right neighbours repeat the last column
    EXPECT_EQ(at(510, 0), 200);
    EXPECT_EQ(at(509, 0), 100);
    EXPECT_EQ(at(0, 63), 200); // bottom neighbours repeat the last row
    EXPECT_EQ(at(0, 62), 200);
    EXPECT_EQ(at(0, 61), 100);
    EXPECT_EQ(at(511, 63), 200);
}

TEST(ColourSampling, BottomUpPicturesComeOutTopDown) {
    const TestPicture picture = makePicture(512, 64, patternColour);
    RecognitionContext topDown;
    topDown.prepareImage(picture.span(), 512, 64, false);
    RecognitionContext bottomUp;
    bottomUp.prepareImage(picture.span(), 512, 64, true);
    const std::size_t rowBytes = 512 * 3;
    for (std::size_t row = 0; row < 64; ++row) {
        const std::size_t mirrored = 63 - row;
        EXPECT_EQ(std::memcmp(&bottomUp.colourPlane[row * rowBytes],
                              &topDown.colourPlane[mirrored * rowBytes], rowBytes),
                  0);
        EXPECT_EQ(std::memcmp(&bottomUp.hsvPlane[row * rowBytes],
                              &topDown.hsvPlane[mirrored * rowBytes], rowBytes),
                  0);
        EXPECT_EQ(
            std::memcmp(&bottomUp.grayPlane[row * 512], &topDown.grayPlane[mirrored * 512], 512),
            0);
        EXPECT_EQ(std::memcmp(&bottomUp.sourceImage[row * rowBytes],
                              &picture.pixels[mirrored * rowBytes], rowBytes),
                  0);
    }
    EXPECT_EQ(std::memcmp(topDown.sourceImage.get(), picture.pixels.data(), picture.pixels.size()),
              0);
}

} // namespace
