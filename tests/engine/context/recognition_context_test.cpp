#include "engine/context/colour_conversion.h"
#include "engine/context/recognition_context.h"
#include "test_pictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <stdexcept>
#include <vector>

using namespace kavro;

namespace {

constexpr std::size_t plateArea = std::size_t{plateWidth} * plateHeight;

TEST(RecognitionContext, StartsEmptyWithPlateSlots) {
    const RecognitionContext context;
    for (const auto& slot : context.plateImages) {
        EXPECT_NE(slot, nullptr);
    }
    for (const auto& plane : context.platePlanes) {
        EXPECT_NE(plane, nullptr);
    }
    for (const auto& plane : context.binaryPlanes) {
        EXPECT_NE(plane, nullptr);
    }
    EXPECT_EQ(context.colourPlane, nullptr);
    EXPECT_EQ(context.sourceImage, nullptr);
    EXPECT_EQ(context.rowTable, nullptr);
    EXPECT_EQ(context.planeHeight, 0);
    EXPECT_EQ(context.planeWidth, 0);
    EXPECT_EQ(plateArea, 44'544u);
}

struct DimensionCase {
    int width, height;
    PlaneGeometry expected;
};

void PrintTo(const DimensionCase& c, std::ostream* out) {
    *out << c.width << " x " << c.height;
}

class Dimensions : public testing::TestWithParam<DimensionCase> {};

TEST_P(Dimensions, GeometryAndStoredSizes) {
    const auto& [width, height, expected] = GetParam();
    const PlaneGeometry geometry = planeGeometry(width, height);
    EXPECT_EQ(geometry.step, expected.step);
    EXPECT_EQ(geometry.scaledHeight, expected.scaledHeight);
    EXPECT_EQ(geometry.planeHeight, expected.planeHeight);
    EXPECT_EQ(geometry.skipRows, expected.skipRows);

    RecognitionContext context;
    const TestPicture picture = uniformPicture(width, height, {10, 20, 30});
    context.prepareImage(picture.span(), width, height, false);
    EXPECT_EQ(context.planeWidth, 512);
    EXPECT_EQ(context.planeHeight, expected.planeHeight);
    EXPECT_EQ(context.imageWidth, width);
    EXPECT_EQ(context.imageHeight, height);
    EXPECT_NE(context.colourPlane, nullptr);
    EXPECT_NE(context.rowTable, nullptr);
    if (expected.planeHeight > 0) { // a uniform picture resamples to itself, corners included
        const std::size_t last = std::size_t{512} * expected.planeHeight * 3 - 3;
        EXPECT_EQ(context.colourPlane[0], 10);
        EXPECT_EQ(context.colourPlane[last + 1], 20);
        EXPECT_EQ(context.colourPlane[last + 2], 30);
    }
}

INSTANTIATE_TEST_SUITE_P(Pictures, Dimensions,
                         testing::Values(DimensionCase{512, 384, {65'536, 384, 384, 0}},
                                         DimensionCase{1024, 700, {131'072, 350, 320, 15}},
                                         DimensionCase{640, 480, {81'920, 384, 384, 0}},
                                         DimensionCase{512, 100, {65'536, 100, 64, 18}},
                                         DimensionCase{2000, 200, {256'000, 51, 0, 25}},
                                         DimensionCase{1, 1, {128, 512, 512, 0}}));

// Grey level of the first pixel of each working row.
std::vector<int> rowLevels(const RecognitionContext& context) {
    std::vector<int> levels;
    for (int k = 0; k < context.planeHeight; ++k) {
        levels.push_back(context.grayPlane[static_cast<std::size_t>(k) * 512]);
    }
    return levels;
}

std::vector<int> levelRange(int first, int count, int direction) {
    std::vector<int> levels;
    for (int i = 0; i < count; ++i) {
        levels.push_back(first + direction * i);
    }
    return levels;
}

TEST(RecognitionContext, KeepsTheCentreBandOfATopDownPicture) {
    // 512 x 101: scaledHeight 101, 18 rows left out at the top and 19 at the bottom.
    const TestPicture picture = rowNumberedPicture(512, 101);
    RecognitionContext context;
    context.prepareImage(picture.span(), 512, 101, false);
    ASSERT_EQ(context.planeHeight, 64);
    EXPECT_EQ(rowLevels(context), levelRange(18, 64, +1));
    EXPECT_EQ(context.sourceImage[0], 0);
}

TEST(RecognitionContext, LeavesOutTheBottomRowsOfABottomUpPicture) {
    // Stored rows 18..81 are converted; stored row 0 is the picture's bottom row, so the
    // picture's top row (stored row 100) is the first one of the 19 left out at the top.
    const TestPicture picture = rowNumberedPicture(512, 101);
    RecognitionContext context;
    context.prepareImage(picture.span(), 512, 101, true);
    ASSERT_EQ(context.planeHeight, 64);
    EXPECT_EQ(rowLevels(context), levelRange(81, 64, -1));
    EXPECT_EQ(context.sourceImage[0], 100);
    EXPECT_EQ(context.sourceImage[std::size_t{512} * 3 * 100], 0);
}

TEST(RecognitionContext, SecondPictureReplacesEveryWorkingPlane) {
    RecognitionContext context;
    const TestPicture first = uniformPicture(640, 480, {200, 200, 200});
    context.prepareImage(first.span(), 640, 480, false);
    const TestPicture second = rowNumberedPicture(512, 100);
    context.prepareImage(second.span(), 512, 100, false);

    ASSERT_EQ(context.planeHeight, 64);
    EXPECT_EQ(context.imageWidth, 512);
    EXPECT_EQ(context.imageHeight, 100);
    EXPECT_EQ(rowLevels(context), levelRange(18, 64, +1));
    for (int k = 0; k < context.planeHeight; ++k) {
        EXPECT_EQ(context.rowTable[k].row, context.labelPlane.get() + 512 * k) << "row " << k;
    }
    context.rowTable[63].row[511] = 7; // the last entry of the label plane is writable
    EXPECT_EQ(context.labelPlane[512 * 64 - 1], 7);
}

TEST(RecognitionContext, VeryWidePictureIsPreparedWithEmptyPlanes) {
    RecognitionContext context;
    const TestPicture picture = uniformPicture(2000, 200, {1, 2, 3});
    context.prepareImage(picture.span(), 2000, 200, true);
    EXPECT_EQ(context.planeHeight, 0);
    EXPECT_NE(context.colourPlane, nullptr);
    EXPECT_NE(context.labelPlane, nullptr);
    EXPECT_EQ(context.sourceImage[std::size_t{2000} * 200 * 3 - 1], 3);
}

struct InvalidCase {
    const char* name;
    int width, height;
    std::size_t pixelBytes;
};

TEST(RecognitionContext, RejectsInvalidPicturesAndKeepsThePreviousOne) {
    RecognitionContext context;
    const TestPicture picture = rowNumberedPicture(512, 100);
    context.prepareImage(picture.span(), 512, 100, false);
    const std::uint8_t* colour = context.colourPlane.get();

    const std::vector<std::uint8_t> pixels(std::size_t{3} * 3 * 32'767);
    const InvalidCase cases[] = {
        {"zero width", 0, 10, pixels.size()},
        {"zero height", 10, 0, pixels.size()},
        {"negative width", -4, 10, pixels.size()},
        {"negative height", 10, -4, pixels.size()},
        {"width 32768", 32'768, 2, pixels.size()},
        {"height 32768", 2, 32'768, pixels.size()},
        {"short pixel buffer", 100, 10, 2999},
        {"too narrow for its height", 3, 32'767, pixels.size()},
        {"working planes over 32,767 rows", 8, 512, pixels.size()},
        {"1 x 405: 207,360 working rows", 1, 405, pixels.size()},
    };
    for (const auto& [name, width, height, bytes] : cases) {
        const std::span<const std::uint8_t> span(pixels.data(), bytes);
        EXPECT_THROW(context.prepareImage(span, width, height, false), std::invalid_argument)
            << name;
    }
    EXPECT_EQ(context.colourPlane.get(), colour);
    EXPECT_EQ(context.imageWidth, 512);
    EXPECT_EQ(context.planeHeight, 64);
    EXPECT_EQ(rowLevels(context), levelRange(18, 64, +1));
}

// The pixel buffer is empty as well: the area must be what is refused.
TEST(RecognitionContext, RefusesPicturesOverOneHundredMegapixels) {
    RecognitionContext context;
    try {
        context.prepareImage({}, 10'001, 10'000, false);
        FAIL() << "no exception";
    } catch (const std::invalid_argument& error) {
        EXPECT_STREQ(error.what(), "picture larger than 100 megapixels");
    }
}

} // namespace

namespace {

struct BufferAddresses {
    const void* source;
    const void* colour;
    const void* edges;
    const void* labels;

    explicit BufferAddresses(const RecognitionContext& c)
        : source(c.sourceImage.get()), colour(c.colourPlane.get()), edges(c.edgePlane.get()),
          labels(c.labelPlane.get()) {}
};

TEST(RecognitionContext, PictureOfTheSameSizeReusesTheBuffers) {
    RecognitionContext context;
    const TestPicture first = uniformPicture(640, 480, {200, 200, 200});
    context.prepareImage(first.span(), 640, 480, false);
    const BufferAddresses before(context);
    const TestPicture second = uniformPicture(640, 480, {10, 20, 30});
    context.prepareImage(second.span(), 640, 480, false);

    const BufferAddresses after(context);
    EXPECT_EQ(after.source, before.source);
    EXPECT_EQ(after.colour, before.colour);
    EXPECT_EQ(after.edges, before.edges);
    EXPECT_EQ(after.labels, before.labels);
    EXPECT_EQ(context.sourceImage[0], 10);
    EXPECT_EQ(context.colourPlane[std::size_t{512} * 3 * 200 + 2], 30);
    EXPECT_EQ(context.rowTable[100].row, context.labelPlane.get() + 512 * 100);
}

// The same number of source bytes in another shape keeps the picture copy; another
// plane height gives new planes.
TEST(RecognitionContext, OnlyBuffersOfUnchangedSizeAreReused) {
    RecognitionContext context;
    const TestPicture first = uniformPicture(640, 480, {200, 200, 200});
    context.prepareImage(first.span(), 640, 480, false);
    const BufferAddresses before(context);
    const TestPicture second = rowNumberedPicture(480, 640);
    context.prepareImage(second.span(), 480, 640, false);

    const BufferAddresses after(context);
    EXPECT_EQ(after.source, before.source);
    EXPECT_NE(context.planeHeight, 384);
    EXPECT_EQ(context.rowTable[context.planeHeight - 1].row,
              context.labelPlane.get() + 512 * (context.planeHeight - 1));
}

// A picture read from the context's own copy is converted into fresh buffers, the
// same as from anywhere else.
TEST(RecognitionContext, PictureTakenFromTheContextItself) {
    RecognitionContext context;
    const TestPicture first = rowNumberedPicture(512, 100);
    context.prepareImage(first.span(), 512, 100, false);
    const std::vector<std::uint8_t> grey(context.grayPlane.get(),
                                         context.grayPlane.get() + 512 * 64);
    const std::span<const std::uint8_t> own(context.sourceImage.get(), std::size_t{512} * 100 * 3);
    context.prepareImage(own, 512, 100, false);
    EXPECT_TRUE(std::equal(grey.begin(), grey.end(), context.grayPlane.get()));
}

// Bytes of each plane the colour conversion fills, and of the picture's copy.
std::vector<std::uint8_t> bytesOf(const std::unique_ptr<std::uint8_t[]>& buffer, std::size_t size) {
    return std::vector<std::uint8_t>(buffer.get(), buffer.get() + size);
}

// The working planes the colour conversion fills.
std::vector<std::vector<std::uint8_t>> planeBytes(const RecognitionContext& c) {
    const std::size_t plane = std::size_t{512} * c.planeHeight;
    return {bytesOf(c.colourPlane, plane * 3), bytesOf(c.hsvPlane, plane * 3),
            bytesOf(c.greenPlane, plane),      bytesOf(c.bluePlane, plane),
            bytesOf(c.yellowPlane, plane),     bytesOf(c.grayPlane, plane),
            bytesOf(c.inverseGrayPlane, plane)};
}

// The picture copy and the working planes.
std::vector<std::vector<std::uint8_t>> convertedBytes(const RecognitionContext& c) {
    std::vector<std::vector<std::uint8_t>> bytes = planeBytes(c);
    bytes.push_back(bytesOf(c.sourceImage, std::size_t{3} * c.imageWidth * c.imageHeight));
    return bytes;
}

// A copy of the picture's pixels, as a buffer to hand over.
std::unique_ptr<std::uint8_t[]> handOut(const TestPicture& picture) {
    auto pixels = std::make_unique<std::uint8_t[]>(picture.pixels.size());
    std::copy(picture.pixels.begin(), picture.pixels.end(), pixels.get());
    return pixels;
}

TestPicture patternedPicture(int width, int height) {
    return makePicture(width, height, [](int x, int y) {
        return Bgr{static_cast<std::uint8_t>(x * 7 + y), static_cast<std::uint8_t>(x ^ y),
                   static_cast<std::uint8_t>(y * 5 - x)};
    });
}

struct AdoptionCase {
    int width, height;
};

class AdoptedPictures : public testing::TestWithParam<AdoptionCase> {};

// A top-down picture handed over gives what preparing a copy gives, with its planes
// filled at once or later, also in a context that held another picture of its size.
TEST_P(AdoptedPictures, EqualThePicturePreparedFromACopy) {
    const auto [width, height] = GetParam();
    const TestPicture picture = patternedPicture(width, height);
    RecognitionContext copied;
    copied.prepareImage(picture.span(), width, height, false);

    for (const auto fill :
         {RecognitionContext::PlaneFill::now, RecognitionContext::PlaneFill::later}) {
        RecognitionContext adopted;
        const TestPicture before = uniformPicture(width, height, {9, 99, 199});
        adopted.prepareImage(before.span(), width, height, false);
        adopted.adoptImage(handOut(picture), width, height, fill);
        EXPECT_EQ(adopted.planesPending(), fill == RecognitionContext::PlaneFill::later);
        EXPECT_EQ(adopted.planeHeight, copied.planeHeight);
        EXPECT_EQ(adopted.planeRowOffset, copied.planeRowOffset);
        if (adopted.planesPending()) {
            adopted.convertPlanes();
        }
        EXPECT_FALSE(adopted.planesPending());
        EXPECT_EQ(convertedBytes(adopted), convertedBytes(copied));
    }
}

INSTANTIATE_TEST_SUITE_P(Pictures, AdoptedPictures,
                         testing::Values(AdoptionCase{512, 101}, AdoptionCase{640, 480},
                                         AdoptionCase{333, 777}, AdoptionCase{2000, 200}));

TEST(RecognitionContext, RefusedAdoptionKeepsThePreviousPicture) {
    RecognitionContext context;
    EXPECT_THROW(context.convertPlanes(), std::logic_error);
    const TestPicture first = rowNumberedPicture(512, 100);
    context.prepareImage(first.span(), 512, 100, false);
    EXPECT_THROW(context.convertPlanes(), std::logic_error); // nothing waits

    const TestPicture narrow = uniformPicture(1, 405, {1, 2, 3});
    EXPECT_THROW(context.adoptImage(handOut(narrow), 1, 405, RecognitionContext::PlaneFill::later),
                 std::invalid_argument);
    EXPECT_THROW(context.adoptImage(nullptr, 64, 48, RecognitionContext::PlaneFill::now),
                 std::invalid_argument);
    EXPECT_FALSE(context.planesPending());
    EXPECT_EQ(context.imageHeight, 100);
    EXPECT_EQ(rowLevels(context), levelRange(18, 64, +1));
}

struct ViewCase {
    int width, height;
    PictureWindow window;
};

class Views : public testing::TestWithParam<ViewCase> {};

// A window viewed in place gives the planes of the same window cut out and prepared as a
// picture of its own; the frame maps working pixels to the picture, and plates are then
// warped from the whole picture.
TEST_P(Views, EqualTheWindowPreparedFromACopy) {
    const auto [width, height, window] = GetParam();
    const TestPicture picture = patternedPicture(width, height);
    RecognitionContext whole;
    whole.prepareImage(picture.span(), width, height, false);
    const TestPicture cut = makePicture(window.width, window.height, [&](int x, int y) {
        const std::size_t at = 3 * (static_cast<std::size_t>(window.top + y) * width +
                                    static_cast<std::size_t>(window.left + x));
        return Bgr{picture.pixels[at], picture.pixels[at + 1], picture.pixels[at + 2]};
    });
    RecognitionContext copied;
    copied.prepareImage(cut.span(), window.width, window.height, false);

    RecognitionContext view;
    view.prepareView(whole, window);
    EXPECT_EQ(view.planeHeight, copied.planeHeight);
    EXPECT_EQ(planeBytes(view), planeBytes(copied));
    EXPECT_EQ(view.source().pixels, whole.sourceImage.get());
    EXPECT_EQ(view.source().width, width);
    const double scale = static_cast<double>(window.width) / workingWidth;
    const Point<double> corner = view.frame.toPicture({0, 0});
    EXPECT_DOUBLE_EQ(corner.x, window.left);
    EXPECT_DOUBLE_EQ(corner.y, window.top + copied.planeRowOffset * scale);
    const Point<double> far = view.frame.toPicture({workingWidth, 64});
    EXPECT_NEAR(far.x, window.left + window.width, 1e-9);
    EXPECT_NEAR(far.y, corner.y + 64 * scale, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Windows, Views,
                         testing::Values(ViewCase{1600, 1200, {300, 200, 512, 384}},
                                         ViewCase{1600, 1200, {1000, 900, 600, 300}},
                                         ViewCase{400, 300, {17, 50, 200, 150}},
                                         ViewCase{640, 480, {0, 0, 640, 480}}));

TEST(RecognitionContext, RefusesWindowsOutsideThePicture) {
    const TestPicture picture = patternedPicture(640, 480);
    RecognitionContext whole;
    whole.prepareImage(picture.span(), 640, 480, false);
    RecognitionContext view;
    for (const PictureWindow window :
         {PictureWindow{-1, 0, 100, 100}, PictureWindow{0, 0, 641, 100},
          PictureWindow{600, 400, 41, 80}, PictureWindow{0, 0, 640, 40}}) {
        EXPECT_THROW(view.prepareView(whole, window), std::invalid_argument);
    }
    EXPECT_THROW(whole.prepareView(whole, {0, 0, 100, 100}), std::invalid_argument);
    RecognitionContext empty;
    EXPECT_THROW(view.prepareView(empty, {0, 0, 10, 10}), std::invalid_argument);
}

} // namespace
