#include "image/dib.h"
#include "image/plate_corner_trailer.h"
#include "message_capture.h"
#include "test_pictures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace kavro;

namespace {

constexpr int tolerance = 3; // quality 100 without subsampling is nearly lossless

void expectPatternTopDown(const CDib& dib, int width, int height) {
    ASSERT_EQ(dib.GetWidth(), width);
    ASSERT_EQ(dib.GetHeight(), height);
    EXPECT_FALSE(dib.IsBottomUp());
    ASSERT_EQ(dib.GetPixels().size(), static_cast<std::size_t>(width * height * 3));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = dib.GetBits() + (y * width + x) * 3;
            const Bgr want = pixelColour(x, y);
            EXPECT_NEAR(p[0], want.b, tolerance) << x << "," << y;
            EXPECT_NEAR(p[1], want.g, tolerance) << x << "," << y;
            EXPECT_NEAR(p[2], want.r, tolerance) << x << "," << y;
        }
    }
}

constexpr TrailerCorners sampleCorners{-5, 100, 300, -2, 12, 140, 32767, -32768};

TEST(LoadJpeg, DecodesTopDownRowsWithoutPadding) {
    cornersFromTrailer = true;
    CDib dib;
    ASSERT_TRUE(dib.LoadJpegData(makeJpeg(3, 5)));
    expectPatternTopDown(dib, 3, 5);
    EXPECT_FALSE(cornersFromTrailer);
    EXPECT_EQ(dib.GetBitCount(), 24);
}

TEST(LoadJpeg, TrailerSetsTheCornersAndLeavesThePixels) {
    const Bytes plain = makeJpeg(8, 6);
    CDib reference;
    ASSERT_TRUE(reference.LoadJpegData(plain));
    CDib dib;
    ASSERT_TRUE(dib.LoadJpegData(withTrailer(plain, 0xD0, sampleCorners)));
    EXPECT_TRUE(std::ranges::equal(dib.GetPixels(), reference.GetPixels()));
    EXPECT_TRUE(cornersFromTrailer);
    EXPECT_EQ(trailerCorners, sampleCorners);
}

TEST(LoadJpeg, WrongMarkerIsNoTrailer) {
    cornersFromTrailer = true;
    CDib dib;
    ASSERT_TRUE(dib.LoadJpegData(withTrailer(makeJpeg(8, 6), 0xD1, sampleCorners)));
    EXPECT_FALSE(cornersFromTrailer);
}

TEST(LoadJpeg, GreyFilesComeOutAsThreeEqualChannels) {
    CDib dib;
    ASSERT_TRUE(dib.LoadJpegData(makeJpeg(5, 4, JpegKind::grey)));
    for (std::size_t i = 0; i < dib.GetPixels().size(); i += 3) {
        EXPECT_EQ(dib.GetBits()[i], dib.GetBits()[i + 1]);
        EXPECT_EQ(dib.GetBits()[i], dib.GetBits()[i + 2]);
    }
}

TEST(LoadJpeg, GarbageAfterThePictureIsIgnored) {
    Bytes file = makeJpeg(6, 4);
    file.insert(file.end(), 1000, 0x5A);
    CDib dib;
    ASSERT_TRUE(dib.LoadJpegData(file));
    expectPatternTopDown(dib, 6, 4);
}

// A refused file: one message, the previous picture and corner state unchanged.
void expectRefused(const Bytes& file, const std::string& messageStart) {
    CDib dib;
    ASSERT_TRUE(dib.LoadJpegData(withTrailer(makeJpeg(4, 3), 0xD0, sampleCorners)));
    MessageCapture capture;
    EXPECT_FALSE(dib.LoadJpegData(file));
    ASSERT_EQ(capture.messages.size(), 1u);
    EXPECT_EQ(capture.messages[0].rfind(messageStart, 0), 0u) << capture.messages[0];
    expectPatternTopDown(dib, 4, 3);
    EXPECT_TRUE(cornersFromTrailer);
    EXPECT_EQ(trailerCorners, sampleCorners);
}

TEST(LoadJpeg, RefusedFilesKeepThePreviousPictureAndCorners) {
    expectRefused({}, "");
    expectRefused({'h', 'e', 'l', 'l', 'o'}, "Not a JPEG file");
    expectRefused(makeJpeg(4, 4, JpegKind::cmyk), "Unsupported JPEG colour space!");
    expectRefused(withTrailer(makeBitmap({}), 0xD0, {}), "Not a JPEG file");
}

TEST(LoadJpeg, HugeFramesAreRefusedBeforeDecoding) {
    expectRefused(withFrameSize(makeJpeg(16, 16), 16, 32768), "Bad JPEG size!");
    expectRefused(withFrameSize(makeJpeg(16, 16), 40000, 16), "Bad JPEG size!");
    expectRefused(withFrameSize(makeJpeg(16, 16), 10'000, 10'001),
                  "Bad JPEG size! Pictures must have at most 100 megapixels.");
}

TEST(LoadJpeg, TruncatedFilesNeverEndTheProcess) {
    const Bytes file = makeJpeg(24, 16);
    MessageCapture capture;
    for (std::size_t length = 0; length < file.size(); length += 7) {
        CDib dib;
        const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
        if (dib.LoadJpegData(cut)) { // the decoder fills what is missing and warns
            EXPECT_EQ(dib.GetWidth(), 24);
            EXPECT_EQ(dib.GetHeight(), 16);
        } else {
            EXPECT_EQ(dib.GetBits(), nullptr);
        }
    }
}

// A picture whose data end early still decodes; the library's first warning
// goes to the warning sink, not to the messages that refuse a file.
TEST(LoadJpeg, DamagedDataGiveOneWarningAndNoMessage) {
    Bytes file = makeJpeg(24, 16);
    file.resize(file.size() * 3 / 4);
    std::vector<std::string> warnings;
    MessageCapture capture;
    CDib dib;
    {
        const ScopedSink sink(setWarningSink,
                              [&](std::string_view text) { warnings.emplace_back(text); });
        EXPECT_TRUE(dib.LoadJpegData(file));
    }
    EXPECT_TRUE(capture.messages.empty());
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("JPEG"), std::string::npos) << warnings[0];
}

TEST(LoadJpeg, MissingFileKeepsTheCornerFlag) {
    CDib dib;
    ASSERT_TRUE(dib.LoadJpegData(withTrailer(makeJpeg(4, 3), 0xD0, sampleCorners)));
    MessageCapture capture;
    EXPECT_FALSE(dib.LoadJpeg("/nonexistent/kavro/car.jpg"));
    EXPECT_EQ(capture.messages, std::vector<std::string>{"Can not open the file!"});
    EXPECT_TRUE(cornersFromTrailer);
    const std::string path = writeTempFile("car.jpg", makeJpeg(7, 5));
    EXPECT_TRUE(dib.LoadJpeg(path));
    std::filesystem::remove(path);
    expectPatternTopDown(dib, 7, 5);
}

TEST(PlateCornerTrailer, NeedsEighteenBytesAndTheMarker) {
    EXPECT_FALSE(parsePlateCornerTrailer(Bytes(17, 0xFF)));
    const Bytes exact = withTrailer({}, 0xD0, sampleCorners);
    ASSERT_EQ(exact.size(), trailerSize);
    EXPECT_EQ(parsePlateCornerTrailer(exact), sampleCorners);
}

} // namespace
