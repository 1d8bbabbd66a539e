#include "image/dib.h"
#include "image/plate_corner_trailer.h"
#include "message_capture.h"
#include "test_pictures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using namespace kavro;

namespace {

// The colour of pixel (x, y) as the CDib holds it: rows bottom row first.
Bgr storedColour(const CDib& dib, int x, int rowFromTop) {
    const int row = dib.GetHeight() - 1 - rowFromTop;
    const std::uint8_t* p = dib.GetBits() + (row * dib.GetWidth() + x) * 3;
    return {p[0], p[1], p[2]};
}

void expectPattern(const CDib& dib, int width, int height) {
    ASSERT_EQ(dib.GetWidth(), width);
    ASSERT_EQ(dib.GetHeight(), height);
    EXPECT_TRUE(dib.IsBottomUp());
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            EXPECT_EQ(storedColour(dib, x, y), pixelColour(x, y)) << x << "," << y;
        }
    }
}

TEST(LoadBmp, TwentyFourBitRowsAreTheFilesPixelArray) {
    const Bytes file = makeBitmap({.width = 4, .height = 3});
    CDib dib;
    ASSERT_TRUE(dib.LoadBmpData(file));
    const std::span<const std::uint8_t> pixels = dib.GetPixels();
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), file.begin() + 54, file.end()));
    EXPECT_EQ(dib.GetBitCount(), 24);
    EXPECT_EQ(dib.GetInfo().size(), 40u);
}

TEST(LoadBmp, RowPaddingIsDropped) {
    CDib dib;
    ASSERT_TRUE(dib.LoadBmpData(makeBitmap({.width = 3, .height = 2})));
    EXPECT_EQ(dib.GetPixels().size(), 2u * 9u);
    expectPattern(dib, 3, 2);
}

struct KindCase {
    const char* name;
    BitmapLayout layout;
    friend void PrintTo(const KindCase& c, std::ostream* out) { *out << c.name; }
};

class ConvertedKinds : public testing::TestWithParam<KindCase> {};

TEST_P(ConvertedKinds, ComeOutAsTwentyFourBitBottomUpRows) {
    CDib dib;
    ASSERT_TRUE(dib.LoadBmpData(makeBitmap(GetParam().layout)));
    if (GetParam().layout.bitCount == 8) { // grey palette indexed by the blue value
        for (int y = 0; y < dib.GetHeight(); ++y) {
            for (int x = 0; x < dib.GetWidth(); ++x) {
                const std::uint8_t v = pixelColour(x, y).b;
                EXPECT_EQ(storedColour(dib, x, y), (Bgr{v, v, v}));
            }
        }
    } else {
        expectPattern(dib, GetParam().layout.width, GetParam().layout.height);
    }
}

INSTANTIATE_TEST_SUITE_P(
    LoadBmp, ConvertedKinds,
    testing::Values(KindCase{"topDown24", {.width = 5, .height = 3, .topDown = true}},
                    KindCase{"bottomUp32", {.width = 3, .height = 2, .bitCount = 32}},
                    KindCase{"topDown32",
                             {.width = 3, .height = 4, .bitCount = 32, .topDown = true}},
                    KindCase{"palette8", {.width = 5, .height = 3, .bitCount = 8}},
                    KindCase{"widest", {.width = 32767, .height = 1}}),
    [](const auto& info) { return std::string(info.param.name); });

struct RejectCase {
    const char* name;
    std::function<void(Bytes&)> bend;
    const char* message;
    friend void PrintTo(const RejectCase& c, std::ostream* out) { *out << c.name; }
};

void setFileSize(Bytes& file) {
    putU32(file, 2, static_cast<std::uint32_t>(file.size()));
}

class RejectedFiles : public testing::TestWithParam<RejectCase> {};

TEST_P(RejectedFiles, GiveTheirMessageAndKeepThePreviousPicture) {
    CDib dib;
    ASSERT_TRUE(dib.LoadBmpData(makeBitmap({.width = 4, .height = 3})));
    cornersFromTrailer = true;
    Bytes file = makeBitmap({.width = 6, .height = 5});
    GetParam().bend(file);
    MessageCapture capture;
    EXPECT_FALSE(dib.LoadBmpData(file));
    ASSERT_EQ(capture.messages.size(), 1u);
    EXPECT_EQ(capture.messages[0].rfind(GetParam().message, 0), 0u) << capture.messages[0];
    expectPattern(dib, 4, 3);
    EXPECT_TRUE(cornersFromTrailer);
}

constexpr const char* unsupported = "Unsupported BMP format!";

INSTANTIATE_TEST_SUITE_P(
    LoadBmp, RejectedFiles,
    testing::Values(
        RejectCase{"notBM", [](Bytes& f) { f[1] = 'X'; }, "Not a BMP file!"},
        RejectCase{"empty", [](Bytes& f) { f.clear(); }, "Not a BMP file!"},
        RejectCase{"oneByte", [](Bytes& f) { f.resize(1); }, "Not a BMP file!"},
        RejectCase{"byteAppended", [](Bytes& f) { f.push_back(0); },
                   "Read bitmapfileheader error!"},
        RejectCase{"sizeLies", [](Bytes& f) { putU32(f, 2, 1000); },
                   "Read bitmapfileheader error!"},
        RejectCase{"headerOnly",
                   [](Bytes& f) {
                       f.resize(14);
                       setFileSize(f);
                   },
                   "Read bitmapinfoheader error!"},
        RejectCase{"offsetBelow54", [](Bytes& f) { putU32(f, 10, 53); }, "Bad BMP pixel offset!"},
        RejectCase{"offsetPastEnd",
                   [](Bytes& f) { putU32(f, 10, static_cast<std::uint32_t>(f.size() + 1)); },
                   "Bad BMP pixel offset!"},
        RejectCase{"pixelsShort",
                   [](Bytes& f) {
                       f.pop_back();
                       setFileSize(f);
                   },
                   "Bad BMP pixel data!"},
        RejectCase{"widthZero", [](Bytes& f) { putU32(f, 18, 0); }, "Bad BMP size!"},
        RejectCase{"widthNegative", [](Bytes& f) { putU32(f, 18, static_cast<std::uint32_t>(-6)); },
                   "Bad BMP size!"},
        RejectCase{"width32768", [](Bytes& f) { putU32(f, 18, 32768); }, "Bad BMP size!"},
        RejectCase{"heightZero", [](Bytes& f) { putU32(f, 22, 0); }, "Bad BMP size!"},
        RejectCase{"height32768", [](Bytes& f) { putU32(f, 22, 32768); }, "Bad BMP size!"},
        RejectCase{"heightMinus32768",
                   [](Bytes& f) { putU32(f, 22, static_cast<std::uint32_t>(-32768)); },
                   "Bad BMP size!"},
        RejectCase{"heightMostNegative", [](Bytes& f) { putU32(f, 22, 0x80000000u); },
                   "Bad BMP size!"},
        RejectCase{"over100Megapixels",
                   [](Bytes& f) {
                       putU32(f, 18, 10'001);
                       putU32(f, 22, 10'000);
                   },
                   "Bad BMP size! Pictures must have at most 100 megapixels."},
        RejectCase{"rle8", [](Bytes& f) { putU32(f, 30, 1); }, unsupported},
        RejectCase{"bitFields", [](Bytes& f) { putU32(f, 30, 3); }, unsupported},
        RejectCase{"oneBit", [](Bytes& f) { f[28] = 1; }, unsupported},
        RejectCase{"fourBit", [](Bytes& f) { f[28] = 4; }, unsupported},
        RejectCase{"sixteenBit", [](Bytes& f) { f[28] = 16; }, unsupported},
        RejectCase{"coreHeader", [](Bytes& f) { putU32(f, 14, 12); }, unsupported}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoadBmp, PaletteBeyondThePixelsIsRefused) {
    Bytes file = makeBitmap({.width = 4, .height = 2, .bitCount = 8});
    putU32(file, 46, 257); // more colours than a palette holds
    MessageCapture capture;
    CDib dib;
    EXPECT_FALSE(dib.LoadBmpData(file));
    EXPECT_EQ(capture.messages, std::vector<std::string>{"Bad BMP palette!"});
    EXPECT_EQ(dib.GetBits(), nullptr);
}

TEST(LoadBmp, ClearsTheCornersOfAnEarlierJpeg) {
    cornersFromTrailer = true;
    CDib dib;
    ASSERT_TRUE(dib.LoadBmpData(makeBitmap({})));
    EXPECT_FALSE(cornersFromTrailer);
}

TEST(LoadBmp, FilesOnDisk) {
    MessageCapture capture;
    CDib dib;
    EXPECT_FALSE(dib.LoadBmp("/nonexistent/kavro/picture.bmp"));
    const std::string jpegPath = writeTempFile("jpeg-as.bmp", makeJpeg(8, 8));
    EXPECT_FALSE(dib.LoadBmp(jpegPath));
    const std::string bmpPath = writeTempFile("good.bmp", makeBitmap({.width = 3, .height = 2}));
    EXPECT_TRUE(dib.LoadBmp(bmpPath));
    std::filesystem::remove(jpegPath);
    std::filesystem::remove(bmpPath);
    EXPECT_EQ(capture.messages,
              (std::vector<std::string>{"Can not open the file!", "Not a BMP file!"}));
    expectPattern(dib, 3, 2);
}

} // namespace
