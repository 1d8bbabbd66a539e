#include "tools/scenegen/encoders.h"
#include "tools/scenegen/plate_style.h"
#include "tools/scenegen/plate_text.h"
#include "tools/scenegen/scene.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QPolygonF>
#include <QTransform>

#include <cmath>

namespace {

constexpr std::uint32_t seeds[] = {1, 2, 3, 17, 4242};

SceneOptions sceneOptions(std::vector<int> formats, int plates, Difficulty difficulty) {
    SceneOptions options;
    options.formats = std::move(formats);
    options.plateCount = plates;
    options.difficulty = difficulty;
    return options;
}

TEST(Scene, SameSeedGivesSameBytes) {
    SceneOptions options;
    options.plateCount = 2;
    const Scene first = drawScene(7, options);
    const Scene second = drawScene(7, options);
    EXPECT_EQ(first.image, second.image);
    EXPECT_EQ(encodeJpegWithTrailer(first), encodeJpegWithTrailer(second));
    EXPECT_EQ(encodeBmp(first.image), encodeBmp(second.image));
    ASSERT_EQ(first.plates.size(), second.plates.size());
    for (std::size_t i = 0; i < first.plates.size(); ++i) {
        EXPECT_EQ(first.plates[i].text, second.plates[i].text);
        EXPECT_EQ(first.plates[i].corners, second.plates[i].corners);
    }
    EXPECT_NE(drawScene(8, options).image, first.image);
}

// Every corner within the picture and below its top third, in the order top
// left, top right, bottom left, bottom right, and the frame corners scaled.
void expectCornersPlausible(const Scene& scene, const PlateTruth& plate) {
    const QSizeF size = scene.image.size();
    for (std::size_t i = 0; i < plate.corners.size(); ++i) {
        const QPointF corner = plate.corners[i];
        EXPECT_GE(corner.x(), 0);
        EXPECT_LT(corner.x(), size.width());
        EXPECT_GE(corner.y(), size.height() / 3);
        EXPECT_LT(corner.y(), size.height());
        const double scale = 512.0 / size.width();
        EXPECT_NEAR(plate.frameCorners[i].x, corner.x() * scale, 0.5);
        EXPECT_NEAR(plate.frameCorners[i].y, corner.y() * scale, 0.5);
    }
    const auto& c = plate.corners;
    EXPECT_LT(c[topLeft].x(), c[topRight].x());
    EXPECT_LT(c[bottomLeft].x(), c[bottomRight].x());
    EXPECT_LT(c[topLeft].y(), c[bottomLeft].y());
    EXPECT_LT(c[topRight].y(), c[bottomRight].y());
}

struct Case {
    int plates;
    Difficulty difficulty;
};

class SceneGeometry : public testing::TestWithParam<Case> {};

TEST_P(SceneGeometry, PlatesLieInsideTheSearchedPartWithoutOverlap) {
    const Case c = GetParam();
    for (const std::uint32_t seed : seeds) {
        const Scene scene = drawScene(seed, sceneOptions({1, 2, 4, 5, 7}, c.plates, c.difficulty));
        ASSERT_EQ(scene.plates.size(), static_cast<std::size_t>(c.plates));
        EXPECT_EQ(scene.image.format(), QImage::Format_RGB888);
        EXPECT_GE(scene.jpegQuality, 80);
        EXPECT_LE(scene.jpegQuality, 95);
        for (const PlateTruth& plate : scene.plates) {
            expectCornersPlausible(scene, plate);
        }
        if (c.plates == 2) {
            const auto outline = [](const PlateTruth& plate) {
                return QPolygonF(
                    {plate.corners[0], plate.corners[1], plate.corners[3], plate.corners[2]});
            };
            EXPECT_FALSE(outline(scene.plates[0]).intersects(outline(scene.plates[1])))
                << "seed " << seed;
        }
    }
}

std::string caseName(const testing::TestParamInfo<Case>& info) {
    static const char* const difficulties[] = {"easy", "normal", "hard"};
    return std::to_string(info.param.plates) + "plates_" +
           difficulties[static_cast<int>(info.param.difficulty)];
}

INSTANTIATE_TEST_SUITE_P(Options, SceneGeometry,
                         testing::Values(Case{1, Difficulty::easy}, Case{1, Difficulty::normal},
                                         Case{1, Difficulty::hard}, Case{2, Difficulty::normal},
                                         Case{2, Difficulty::hard}),
                         caseName);

// Mean colour of a small patch at a point given in the plate's millimetres.
QColor plateColourAt(const Scene& scene, const PlateTruth& plate, QPointF mm) {
    const PlateStyle& style = plateStyle(plate.formatIndex);
    QTransform toPicture;
    const QPolygonF face = QPolygonF(QRectF(0, 0, style.widthMm, style.heightMm)).first(4);
    const auto& c = plate.corners;
    EXPECT_TRUE(QTransform::quadToQuad(face, QPolygonF({c[0], c[1], c[3], c[2]}), toPicture));
    const QPoint centre = toPicture.map(mm).toPoint();
    int red = 0;
    int green = 0;
    int blue = 0;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const QColor pixel = scene.image.pixelColor(centre + QPoint(dx, dy));
            red += pixel.red();
            green += pixel.green();
            blue += pixel.blue();
        }
    }
    return {red / 9, green / 9, blue / 9};
}

struct ColourCase {
    int format;
    bool (*looksRight)(const QColor&);
};

class PlateColours : public testing::TestWithParam<ColourCase> {};

// The truth corners frame the drawn plate: its background shows where they say.
TEST_P(PlateColours, BackgroundShowsBetweenTheTruthCorners) {
    const ColourCase c = GetParam();
    for (const std::uint32_t seed : seeds) {
        const Scene scene = drawScene(seed, sceneOptions({c.format}, 1, Difficulty::easy));
        const PlateTruth& plate = scene.plates.at(0);
        ASSERT_EQ(plate.formatIndex, c.format);
        const PlateStyle& style = plateStyle(c.format);
        // Below the border, between the first two characters, and at the plate's
        // mid-height just inside each end.
        for (const QPointF mm : {QPointF(style.widthMm / 2, 16.0), QPointF(8.0, style.heightMm / 2),
                                 QPointF(style.widthMm - 8.0, style.heightMm / 2)}) {
            const QColor colour = plateColourAt(scene, plate, mm);
            EXPECT_TRUE(c.looksRight(colour))
                << "format " << c.format << " seed " << seed << " at " << mm.x() << "," << mm.y()
                << ": " << colour.red() << " " << colour.green() << " " << colour.blue();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllFormats, PlateColours,
    testing::Values(
        ColourCase{1, [](const QColor& c) { return c.blue() > c.red() + 60; }},
        ColourCase{2, [](const QColor& c) { return c.red() > c.blue() + 60; }},
        ColourCase{4, [](const QColor& c) { return c.green() > c.blue() + 60; }},
        ColourCase{5, [](const QColor& c) { return c.green() > c.red() && c.green() > c.blue(); }},
        ColourCase{7,
                   [](const QColor& c) {
                       return c.lightness() > 120 && std::abs(c.red() - c.blue()) < 40;
                   }}),
    [](const auto& info) { return "format" + std::to_string(info.param.format); });

TEST(Scene, TruthDescribesThePlateDrawn) {
    for (const int format : drawableFormats) {
        const Scene scene = drawScene(11, sceneOptions({format}, 1, Difficulty::normal));
        const PlateTruth& plate = scene.plates.at(0);
        EXPECT_EQ(plate.formatIndex, format);
        EXPECT_EQ(plate.codes.size(), plateStyle(format).charCentreXMm.size());
        EXPECT_EQ(plate.text, plateTextUtf8(plate.codes));
    }
}

TEST(Scene, RequestedSizeIsKept) {
    SceneOptions options;
    options.pictureSize = QSize(322, 181);
    const Scene scene = drawScene(5, options);
    EXPECT_EQ(scene.image.size(), options.pictureSize);
    expectCornersPlausible(scene, scene.plates.at(0));
}

TEST(Scene, RandomSizesStayWithinTheUsualRange) {
    for (const std::uint32_t seed : seeds) {
        const QSize size = drawScene(seed, SceneOptions{}).image.size();
        EXPECT_GE(size.width(), 640);
        EXPECT_LE(size.width(), 1600);
        EXPECT_GE(size.height(), 360);
        EXPECT_LE(size.height(), 1200);
    }
}

TEST(Scene, InvalidOptionsAreRefused) {
    EXPECT_THROW(drawScene(1, sceneOptions({}, 1, Difficulty::normal)), std::invalid_argument);
    EXPECT_THROW(drawScene(1, sceneOptions({1, 3}, 1, Difficulty::normal)), std::invalid_argument);
    EXPECT_THROW(drawScene(1, sceneOptions({1}, -1, Difficulty::normal)), std::invalid_argument);
    EXPECT_THROW(drawScene(1, sceneOptions({1}, 3, Difficulty::normal)), std::invalid_argument);
    SceneOptions tiny;
    tiny.pictureSize = QSize(100, 80);
    EXPECT_THROW(drawScene(1, tiny), std::invalid_argument);
    SceneOptions backwards;
    backwards.minPlateWidth = 200;
    backwards.maxPlateWidth = 100;
    EXPECT_THROW(drawScene(1, backwards), std::invalid_argument);
}

// Plates of the widths asked for, each its own, where they were asked to lie;
// a scene without plates has no truth.
TEST(Scene, PlateWidthsAndPlacementAsAsked) {
    const struct {
        QSize size;
        double minWidth, maxWidth;
        Placement placement;
        int plates;
    } cases[] = {{{1920, 1080}, 110, 130, Placement::top, 1},
                 {{2000, 1300}, 90, 380, Placement::anywhere, 2},
                 {{400, 300}, 60, 90, Placement::lowerTwoThirds, 1},
                 {{1280, 720}, 100, 200, Placement::anywhere, 0}};
    for (const auto& c : cases) {
        for (const std::uint32_t seed : {1u, 2u}) { // large pictures take a while to draw
            SceneOptions options;
            options.difficulty = Difficulty::real;
            options.pictureSize = c.size;
            options.minPlateWidth = c.minWidth;
            options.maxPlateWidth = c.maxWidth;
            options.placement = c.placement;
            options.plateCount = c.plates;
            const Scene scene = drawScene(seed, options);
            ASSERT_EQ(scene.plates.size(), static_cast<std::size_t>(c.plates));
            EXPECT_EQ(scene.image.size(), c.size);
            for (const PlateTruth& plate : scene.plates) {
                const QPointF top = plate.corners[topRight] - plate.corners[topLeft];
                const double width = std::hypot(top.x(), top.y());
                // The perspective shrinks or widens an edge by up to 8 %.
                EXPECT_GT(width, c.minWidth * 0.9) << seed;
                EXPECT_LT(width, c.maxWidth * 1.1) << seed;
                const double y = (plate.corners[topLeft].y() + plate.corners[bottomLeft].y()) / 2;
                if (c.placement == Placement::top) {
                    EXPECT_LT(y, c.size.height() / 3.0) << seed;
                }
                if (c.placement == Placement::lowerTwoThirds) {
                    EXPECT_GT(y, c.size.height() / 3.0) << seed;
                }
            }
        }
    }
}

TEST(Scene, FrameCornersRoundToNearest) {
    EXPECT_EQ(toFrame(QPointF(100.0, 50.0), 1024), (FramePoint{50, 25}));
    EXPECT_EQ(toFrame(QPointF(3.0, 1.0), 1024), (FramePoint{2, 1})); // 1.5 and 0.5 round up
    EXPECT_EQ(toFrame(QPointF(639.0, 479.0), 640), (FramePoint{511, 383}));
}

} // namespace
