// Whatever file a user drops or the command-line tool is pointed at: a picture is read and
// recognised, or it is refused with one clear message while the picture already shown, its
// working planes and the corner state stay exactly as they were.

#include "app/driver/picture_session.h"
#include "image/message_capture.h"
#include "image/plate_corner_trailer.h"
#include "image/test_pictures.h"
#include "support/temp_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include <sys/stat.h>

using namespace kavro;

namespace {

namespace fs = std::filesystem;

constexpr TrailerCorners shownCorners{10, 12, 300, 12, 10, 100, 300, 100};

// A 24-bit bitmap whose pixel bytes (padding included) are byteAt(i).
Bytes bitmapOf(int width, int height, const std::function<std::uint8_t(std::size_t)>& byteAt) {
    Bytes file = makeBitmap({.width = width, .height = height});
    constexpr std::size_t pixelStart = 54;
    for (std::size_t i = pixelStart; i < file.size(); ++i) {
        file[i] = byteAt(i - pixelStart);
    }
    return file;
}

Bytes cut(const Bytes& file, std::size_t length) {
    return {file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length)};
}

// What a refused file must leave untouched.
struct Shown {
    const std::uint8_t* bits;
    int width, height;
    const std::uint8_t* colourPlane;
    int imageWidth, planeHeight;
    bool fromTrailer;
    TrailerCorners corners;

    explicit Shown(const PictureSession& s)
        : bits(s.picture.GetBits()), width(s.picture.GetWidth()), height(s.picture.GetHeight()),
          colourPlane(s.context.colourPlane.get()), imageWidth(s.context.imageWidth),
          planeHeight(s.context.planeHeight), fromTrailer(cornersFromTrailer),
          corners(trailerCorners) {}
    bool operator==(const Shown&) const = default;
};

constexpr PictureReader allReaders[] = {PictureReader::byContent, PictureReader::bitmap,
                                        PictureReader::jpeg};

// A session showing a 64 x 48 JPEG with a trailer, as after a first successful drop.
class BadInput : public testing::Test {
protected:
    void SetUp() override {
        m_dir =
            tempPath("kavro-bad-input-" +
                     std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(m_dir);
        const MessageCapture quiet;
        ASSERT_TRUE(readPicture(m_session, write(withTrailer(makeJpeg(64, 48), 0xD0, shownCorners)),
                                PictureReader::byContent));
        ASSERT_TRUE(recogniseCurrent(m_session));
        ASSERT_TRUE(cornersFromTrailer);
    }
    void TearDown() override {
        EXPECT_TRUE(recogniseCurrent(m_session)); // the picture shown can still be read
        fs::remove_all(m_dir);
    }

    std::string write(const Bytes& bytes) {
        const fs::path path = m_dir / ("file-" + std::to_string(m_files++));
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    // Refused with one message; returns it.
    std::string expectRefusedPath(const std::string& path, PictureReader reader,
                                  const std::string& what) {
        const Shown before(m_session);
        MessageCapture capture;
        EXPECT_FALSE(readPicture(m_session, path, reader)) << what;
        EXPECT_EQ(Shown(m_session), before) << what;
        if (capture.messages.size() != 1 || capture.messages[0].empty()) {
            ADD_FAILURE() << what << ": " << capture.messages.size() << " messages";
            return {};
        }
        return capture.messages[0];
    }
    std::string expectRefused(const Bytes& file, const std::string& what,
                              PictureReader reader = PictureReader::byContent) {
        return expectRefusedPath(write(file), reader, what);
    }

    // Read and recognised: the plate count stays within 0..2.
    void expectRecognised(const Bytes& file, int width, int height, const std::string& what) {
        const MessageCapture quiet; // decoder warnings of damaged files
        ASSERT_TRUE(readPicture(m_session, write(file), PictureReader::byContent)) << what;
        EXPECT_EQ(m_session.picture.GetWidth(), width) << what;
        EXPECT_EQ(m_session.picture.GetHeight(), height) << what;
        ASSERT_TRUE(recogniseCurrent(m_session)) << what;
        EXPECT_GE(m_session.result.count, 0) << what;
        EXPECT_LE(m_session.result.count, 2) << what;
    }

    PictureSession m_session;
    fs::path m_dir;
    int m_files = 0;
};

TEST_F(BadInput, EmptyTinyAndMissingFilesAreRefusedByEveryReader) {
    const Bytes tiny[] = {{}, {'B'}, {'B', 'M'}, {0xFF}, {0xFF, 0xD8}, {0xFF, 0xD8, 0xFF}};
    for (const PictureReader reader : allReaders) {
        for (const Bytes& file : tiny) {
            expectRefused(file, std::to_string(file.size()) + " bytes", reader);
        }
        EXPECT_EQ(expectRefusedPath(m_dir.string(), reader, "a folder"), "Can not open the file!");
        EXPECT_EQ(expectRefusedPath((m_dir / "missing").string(), reader, "a missing file"),
                  "Can not open the file!");
    }
}

TEST_F(BadInput, PipesAndDevicesAreRefusedWithoutWaiting) {
    const fs::path pipe = m_dir / "pipe.jpg";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const PictureReader reader : allReaders) {
        EXPECT_EQ(expectRefusedPath(pipe.string(), reader, "a pipe"), "Can not open the file!");
        EXPECT_EQ(expectRefusedPath("/dev/null", reader, "a device"), "Can not open the file!");
    }
}

TEST_F(BadInput, TruncatedBitmapsOfEveryKindAreRefusedAtEveryLength) {
    const BitmapLayout kinds[] = {{.width = 7, .height = 5},
                                  {.width = 5, .height = 3, .bitCount = 8},
                                  {.width = 3, .height = 4, .bitCount = 32, .topDown = true}};
    for (const BitmapLayout& kind : kinds) {
        const Bytes file = makeBitmap(kind);
        for (std::size_t length = 0; length < file.size(); ++length) {
            const std::string what =
                std::to_string(kind.bitCount) + "-bit, cut to " + std::to_string(length);
            Bytes truncated = cut(file, length);
            expectRefused(truncated, what);
            if (length >= 6) { // the declared size made to agree: the pixels are still missing
                putU32(truncated, 2, static_cast<std::uint32_t>(length));
                expectRefused(truncated, what + ", size adjusted");
            }
        }
    }
}

// Cut short, and cut short with the trailer still behind the remains.
TEST_F(BadInput, TruncatedJpegsAreReadWhereTheDecoderCanOrRefused) {
    constexpr TrailerCorners plateCorners{100, 10, 400, 10, 100, 60, 400, 60};
    for (const JpegKind kind : {JpegKind::colour, JpegKind::grey, JpegKind::progressive}) {
        const Bytes file = makeJpeg(48, 8, kind); // 64 working rows: quick to prepare
        for (std::size_t length = 0; length < file.size(); length += 11) {
            for (const bool trailer : {false, true}) {
                const std::string what = "kind " + std::to_string(static_cast<int>(kind)) +
                                         ", cut to " + std::to_string(length) +
                                         (trailer ? ", trailer" : "");
                const Bytes damaged = trailer ? withTrailer(cut(file, length), 0xD0, plateCorners)
                                              : cut(file, length);
                const Shown before(m_session);
                const MessageCapture capture;
                if (readPicture(m_session, write(damaged), PictureReader::byContent)) {
                    EXPECT_EQ(m_session.picture.GetWidth(), 48) << what;
                    EXPECT_EQ(m_session.picture.GetHeight(), 8) << what;
                    EXPECT_EQ(cornersFromTrailer, trailer) << what;
                    EXPECT_TRUE(recogniseCurrent(m_session)) << what;
                    EXPECT_LE(m_session.result.count, trailer ? 1 : 0) << what;
                } else {
                    EXPECT_EQ(Shown(m_session), before) << what;
                    EXPECT_FALSE(capture.messages.empty()) << what;
                }
            }
        }
    }
}

TEST_F(BadInput, HeaderLiesAreRefusedThroughTheWholeRoad) {
    Bytes sizeLies = makeBitmap({.width = 6, .height = 4});
    putU32(sizeLies, 2, 40);
    Bytes offsetPastEnd = makeBitmap({.width = 6, .height = 4});
    putU32(offsetPastEnd, 10, static_cast<std::uint32_t>(offsetPastEnd.size() + 1));
    EXPECT_EQ(expectRefused(sizeLies, "declared size lies"), "Read bitmapfileheader error!");
    EXPECT_EQ(expectRefused(offsetPastEnd, "offset past the end"), "Bad BMP pixel offset!");
    for (const std::int32_t width : {0, -1, -6, -32767, 32768}) {
        Bytes file = makeBitmap({.width = 6, .height = 4});
        putU32(file, 18, static_cast<std::uint32_t>(width));
        expectRefused(file, "width " + std::to_string(width));
    }
    // Negative heights are top-down rows; beyond the pixels given they are refused.
    for (const std::int32_t height : {0, 5, -5, 32767, -32767, 32768, -32768}) {
        Bytes file = makeBitmap({.width = 6, .height = 4});
        putU32(file, 22, static_cast<std::uint32_t>(height));
        expectRefused(file, "height " + std::to_string(height));
    }
    EXPECT_EQ(expectRefused(makeJpeg(8, 8, JpegKind::cmyk), "CMYK").rfind("Unsupported", 0), 0u);
}

// A frame header that declares another size than the coded data holds: the
// decoder reads the declared size (filling what is missing) or the file is refused.
TEST_F(BadInput, JpegFrameSizesThatLieAreReadAtTheirSizeOrRefused) {
    struct Lie {
        int width, height;
        const char* refusal; // nullptr: read at the declared size
    };
    const Lie lies[] = {
        {0, 16, ""}, // the decoder's own message
        {16, 0, ""},
        {1, 16, nullptr},
        {16, 1, nullptr},
        {1, 1, nullptr},
        {32767, 16, nullptr},
        {16, 32767, "picture too narrow for its height"},
        {32768, 16, "Bad JPEG size!"},
        {16, 32768, "Bad JPEG size!"},
    };
    const Bytes file = makeJpeg(16, 16);
    for (const auto& [width, height, refusal] : lies) {
        const std::string what =
            "declared " + std::to_string(width) + " x " + std::to_string(height);
        const Bytes lying = withFrameSize(file, height, width);
        if (refusal == nullptr) {
            expectRecognised(lying, width, height, what);
        } else {
            EXPECT_EQ(expectRefused(lying, what).rfind(refusal, 0), 0u) << what;
        }
    }
}

TEST_F(BadInput, BitmapsOfEveryKindAreRecognised) {
    const BitmapLayout kinds[] = {{.width = 64, .height = 48, .topDown = true},
                                  {.width = 64, .height = 48, .bitCount = 8},
                                  {.width = 64, .height = 48, .bitCount = 32},
                                  {.width = 64, .height = 48, .bitCount = 32, .topDown = true}};
    for (const BitmapLayout& kind : kinds) {
        expectRecognised(makeBitmap(kind), 64, 48,
                         std::to_string(kind.bitCount) + "-bit" +
                             (kind.topDown ? ", top-down" : ""));
        EXPECT_FALSE(cornersFromTrailer);
    }
}

// The reader takes these, but their working planes would be gigabytes high.
TEST_F(BadInput, PicturesTooNarrowForTheirHeightAreRefusedKeepingTheCorners) {
    const std::string narrow = "picture too narrow for its height";
    EXPECT_EQ(expectRefused(makeBitmap({.width = 1, .height = 405}), "1 x 405"), narrow);
    EXPECT_EQ(expectRefused(makeBitmap({.width = 1, .height = 32767}), "1 x 32,767"), narrow);
    EXPECT_EQ(expectRefused(makeBitmap({.width = 8, .height = 512}), "8 x 512"), narrow);
    const TrailerCorners other{1, 1, 2, 1, 1, 2, 2, 2};
    EXPECT_EQ(expectRefused(withTrailer(makeJpeg(8, 600), 0xD0, other), "JPEG with a trailer"),
              narrow);
}

TEST_F(BadInput, ExtremeAndBorderSizesAreRecognised) {
    struct Size {
        int width, height;
    };
    const Size sizes[] = {{32767, 1}, {1, 1},    {2, 2},    {1, 2},    {2000, 200},
                          {511, 64},  {512, 64}, {513, 64}, {512, 63}, {512, 65}};
    for (const auto [width, height] : sizes) {
        const std::string what = std::to_string(width) + " x " + std::to_string(height);
        expectRecognised(makeBitmap({.width = width, .height = height}), width, height, what);
        EXPECT_EQ(m_session.result.count, 0) << what;
    }
    for (const int width : {511, 512, 513}) {
        const Bytes file = withTrailer(makeJpeg(width, 64), 0xD0, {4, 4, 500, 4, 4, 60, 500, 60});
        expectRecognised(file, width, 64, "trailer, width " + std::to_string(width));
        EXPECT_LE(m_session.result.count, 1);
    }
}

TEST_F(BadInput, GreyProgressiveAndGarbageFollowedJpegsAreRecognised) {
    expectRecognised(makeJpeg(64, 48, JpegKind::grey), 64, 48, "grey");
    expectRecognised(makeJpeg(64, 48, JpegKind::progressive), 64, 48, "progressive");
    Bytes garbage = makeJpeg(64, 48);
    garbage.insert(garbage.end(), 1000, 0x5A);
    expectRecognised(garbage, 64, 48, "garbage after the picture");
    EXPECT_FALSE(cornersFromTrailer);
    expectRecognised(withTrailer(garbage, 0xD0, shownCorners), 64, 48, "garbage, then a trailer");
    EXPECT_TRUE(cornersFromTrailer);
}

TEST_F(BadInput, TrailerCornersThatCannotBeWarpedReadNothing) {
    constexpr std::int16_t most = 32767;
    const TrailerCorners cases[] = {
        {most, most, most, most, most, most, most, most},
        {-most, -most, -most, -most, -most, -most, -most, -most},
        {-most, -most, most, -most, -most, most, most, most},
        {0, 10, 100, 10, 200, 10, 300, 10}, // four collinear corners
        {50, 50, 50, 50, 50, 50, 50, 50},   // one point
    };
    for (const TrailerCorners& corners : cases) {
        expectRecognised(withTrailer(makeJpeg(640, 480), 0xD0, corners), 640, 480, "corners");
        EXPECT_EQ(m_session.result.count, 0) << corners[0] << ", " << corners[6];
    }
}

// Corners far outside small, wide and narrow pictures, and corners of a plate that
// fills a 1 x 1 picture.
TEST_F(BadInput, TrailerCornersAtTheLimitsOfEverySizeAreRead) {
    constexpr std::int16_t most = 32767;
    const TrailerCorners cases[] = {
        {-most, -most, most, -most, -most, most, most, most},
        {most, -most, -most, -most, most, most, -most, most}, // mirrored
        {0, 0, 511, 0, 0, 511, 511, 511},
        {0, 0, 100, 0, 200, 0, 300, 0}, // collinear along the top row
    };
    struct Size {
        int width, height;
    };
    const Size sizes[] = {{1, 1}, {2, 2}, {2000, 200}, {513, 64}, {64, 1000}};
    for (const auto [width, height] : sizes) {
        for (const TrailerCorners& corners : cases) {
            const std::string what = std::to_string(width) + " x " + std::to_string(height) +
                                     ", corner " + std::to_string(corners[0]);
            expectRecognised(withTrailer(makeJpeg(width, height), 0xD0, corners), width, height,
                             what);
            EXPECT_TRUE(cornersFromTrailer) << what;
            EXPECT_LE(m_session.result.count, 1) << what;
        }
    }
}

// What the command-line tool does after each file: the pixels and planes go,
// what was found stays, and the next file is read as into a new session.
TEST_F(BadInput, ReleasingThePictureKeepsWhatWasFound) {
    m_session.result.count = 1;
    releasePicture(m_session);
    EXPECT_EQ(m_session.picture.GetBits(), nullptr);
    EXPECT_EQ(m_session.context.sourceImage, nullptr);
    EXPECT_EQ(m_session.context.colourPlane, nullptr);
    EXPECT_NE(m_session.context.plateImages[0], nullptr);
    EXPECT_EQ(m_session.result.count, 1);
    EXPECT_FALSE(recogniseCurrent(m_session));
    ASSERT_TRUE(
        readPicture(m_session, write(makeJpeg(64, 48)), PictureReader::byContent, ReadFor::batch));
    EXPECT_EQ(m_session.result.count, 0);
}

TEST_F(BadInput, PlainAndNoisePicturesAreRecognised) {
    std::mt19937 random(3);
    const Bytes pictures[] = {
        bitmapOf(640, 480, [](std::size_t) { return std::uint8_t{0}; }),
        bitmapOf(640, 480, [](std::size_t) { return std::uint8_t{255}; }),
        bitmapOf(640, 480, [&](std::size_t) { return static_cast<std::uint8_t>(random()); }),
    };
    for (const Bytes& picture : pictures) {
        expectRecognised(picture, 640, 480, "without corners");
        EXPECT_FALSE(cornersFromTrailer);
    }
    EXPECT_EQ(m_session.result.count, 0);
}

} // namespace
