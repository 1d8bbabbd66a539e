#include "tools/scenegen/encoders.h"

#include <gtest/gtest.h>

#include <QColor>

#include <cstring>
#include <vector>

namespace {

std::uint32_t le32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::uint16_t le16(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// A picture whose every pixel has its own colour: red = x, green = y, blue = 7.
QImage gradientPicture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixelColor(x, y, QColor(x, y, 7));
        }
    }
    return image;
}

TEST(CornerTrailer, HoldsMarkerAndCornersLittleEndianInOrder) {
    const std::array<FramePoint, 4> corners{FramePoint{1, 2}, FramePoint{300, -5},
                                            FramePoint{-1, 0x1234}, FramePoint{511, 32767}};
    const auto trailer = encodeCornerTrailer(corners);
    const std::array<std::uint8_t, 18> expected{0xFF, 0xD0, 0x01, 0x00, 0x02, 0x00,
                                                0x2C, 0x01, 0xFB, 0xFF, 0xFF, 0xFF,
                                                0x34, 0x12, 0xFF, 0x01, 0xFF, 0x7F};
    EXPECT_EQ(trailer, expected);
}

TEST(Jpeg, TrailerFollowsTheCompleteImage) {
    Scene scene{gradientPicture(40, 30), {}, 90};
    scene.plates.push_back(
        {1,
         {},
         "",
         {},
         {FramePoint{10, 20}, FramePoint{30, 20}, FramePoint{10, 28}, FramePoint{30, 28}}});
    const auto plain = encodeJpeg(scene.image, scene.jpegQuality);
    const auto withTrailer = encodeJpegWithTrailer(scene);

    ASSERT_EQ(withTrailer.size(), plain.size() + cornerTrailerSize);
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), withTrailer.begin()));
    EXPECT_EQ(plain[0], 0xFF); // start of image
    EXPECT_EQ(plain[1], 0xD8);
    EXPECT_EQ(plain[plain.size() - 2], 0xFF); // end of image right before the trailer
    EXPECT_EQ(plain[plain.size() - 1], 0xD9);
    const auto trailer = encodeCornerTrailer(scene.plates[0].frameCorners);
    EXPECT_TRUE(std::equal(trailer.begin(), trailer.end(), withTrailer.end() - cornerTrailerSize));
}

TEST(Jpeg, DecodesBackToThePicture) {
    const QImage picture = gradientPicture(64, 48);
    const auto bytes = encodeJpeg(picture, 95);
    QImage decoded;
    ASSERT_TRUE(decoded.loadFromData(bytes.data(), static_cast<int>(bytes.size()), "JPG"));
    ASSERT_EQ(decoded.size(), picture.size());
    for (const QPoint p : {QPoint(0, 0), QPoint(63, 0), QPoint(20, 30), QPoint(63, 47)}) {
        const QColor expected = picture.pixelColor(p);
        const QColor actual = decoded.pixelColor(p);
        EXPECT_NEAR(actual.red(), expected.red(), 6) << p.x() << "," << p.y();
        EXPECT_NEAR(actual.green(), expected.green(), 6) << p.x() << "," << p.y();
    }
}

TEST(Jpeg, TrailerNeedsAPlate) {
    const Scene scene{gradientPicture(8, 8), {}, 90};
    EXPECT_THROW(encodeJpegWithTrailer(scene), std::invalid_argument);
}

struct BmpCase {
    int width;
    int height;
    std::uint32_t rowSize;
};

class BmpLayout : public testing::TestWithParam<BmpCase> {};

TEST_P(BmpLayout, HeaderAndPaddedBottomUpRows) {
    const BmpCase c = GetParam();
    const auto bytes = encodeBmp(gradientPicture(c.width, c.height));
    const std::uint32_t pixelBytes = c.rowSize * static_cast<std::uint32_t>(c.height);

    ASSERT_EQ(bytes.size(), 54 + pixelBytes);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(le32(bytes, 2), bytes.size()); // bfSize
    EXPECT_EQ(le32(bytes, 6), 0u);           // reserved
    EXPECT_EQ(le32(bytes, 10), 54u);         // bfOffBits
    EXPECT_EQ(le32(bytes, 14), 40u);         // biSize
    EXPECT_EQ(static_cast<std::int32_t>(le32(bytes, 18)), c.width);
    EXPECT_EQ(static_cast<std::int32_t>(le32(bytes, 22)), c.height); // positive: bottom-up
    EXPECT_EQ(le16(bytes, 26), 1);                                   // planes
    EXPECT_EQ(le16(bytes, 28), 24);                                  // bits per pixel
    EXPECT_EQ(le32(bytes, 30), 0u);                                  // uncompressed
    EXPECT_EQ(le32(bytes, 34), pixelBytes);

    for (int row = 0; row < c.height; ++row) {
        const std::size_t start = 54 + static_cast<std::size_t>(row) * c.rowSize;
        const int y = c.height - 1 - row; // the first stored row is the bottom one
        for (int x = 0; x < c.width; ++x) {
            const std::size_t at = start + static_cast<std::size_t>(x) * 3;
            ASSERT_EQ(bytes[at], 7) << "blue first";
            ASSERT_EQ(bytes[at + 1], y);
            ASSERT_EQ(bytes[at + 2], x);
        }
        for (std::size_t pad = start + c.width * 3u; pad < start + c.rowSize; ++pad) {
            ASSERT_EQ(bytes[pad], 0) << "padding of row " << row;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, BmpLayout,
                         testing::Values(BmpCase{4, 3, 12}, BmpCase{3, 2, 12}, BmpCase{1, 2, 4},
                                         BmpCase{5, 4, 16}, BmpCase{2, 1, 8}),
                         [](const auto& info) {
                             return std::to_string(info.param.width) + "x" +
                                    std::to_string(info.param.height);
                         });

} // namespace
