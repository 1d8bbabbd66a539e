#include "app/drawing/plate_marks.h"

#include "app/driver/plate_text.h"
#include "support/mark_pixels.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace kavro;

namespace {

constexpr QRgb background = qRgb(40, 90, 160); // like a blue plate
constexpr int zhe = 0x8A;                      // 浙

QImage plainPicture(QSize size) {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(background);
    return picture;
}

FoundPlate plateAt(const Quad<double>& corners, std::vector<std::uint8_t> codes) {
    FoundPlate plate;
    plate.corners = corners;
    plate.formatIndex = 1;
    std::copy(codes.begin(), codes.end(), plate.text.begin());
    return plate;
}

Quad<double> tilted(double left, double top, double width, double height) {
    return {{{{left, top},
              {left + width, top - 6},
              {left + width + 4, top + height - 6},
              {left + 4, top + height}}}};
}

// The pixels that differ between the two pictures all lie in `allowed`.
void expectChangesOnlyIn(const QImage& before, const QImage& after, const QRegion& allowed) {
    int outside = 0;
    for (int y = 0; y < before.height(); ++y) {
        for (int x = 0; x < before.width(); ++x) {
            outside += before.pixel(x, y) != after.pixel(x, y) && !allowed.contains(QPoint(x, y));
        }
    }
    EXPECT_EQ(outside, 0);
}

QRegion around(const QPolygonF& outline, int by) {
    return QRegion(outline.boundingRect().toAlignedRect().adjusted(-by, -by, by, by));
}

// Annotated pictures keep their size; each plate is outlined where it lies and
// labelled on a band just above it (below it at the top of the picture, kept
// inside at the right), and nothing else changes. Pictures of three sizes.
TEST(AnnotatedPicture, OutlinesEachPlateAndLabelsItAboveWithItsText) {
    struct Case {
        QSize size;
        Quad<double> corners;
        bool labelAbove;
    };
    const Case cases[] = {
        {{640, 480}, tilted(200, 300, 120, 38), true},
        {{1920, 1080}, tilted(900, 700, 220, 70), true},
        {{1200, 900}, tilted(1040, 10, 150, 48), false}, // at the top right corner
    };
    for (const Case& c : cases) {
        const QImage picture = plainPicture(c.size);
        const std::vector<FoundPlate> plates{
            plateAt(c.corners, {zhe, 'B', '1', '2', '3', '4', '5'})};
        const QImage annotated = annotatedPicture(picture, plates);
        ASSERT_EQ(annotated.size(), c.size);
        const QPolygonF outline = outlineOf(plates[0]);
        EXPECT_EQ(unmarkedSidePoints(annotated, outline, 1), 0);

        const MarkStyle style = markStyleFor(c.size);
        const PlateMark mark{outline, annotationLabel(plates[0], 1)};
        const QRect label = labelRect(mark, style, annotated.rect());
        EXPECT_TRUE(annotated.rect().contains(label)) << c.size.width();
        const QRectF plate = outline.boundingRect();
        if (c.labelAbove) {
            EXPECT_LT(label.bottom(), plate.top());
        } else {
            EXPECT_GT(label.top(), plate.bottom());
        }
        EXPECT_GE(label.height(), style.fontPixelSize);
        expectChangesOnlyIn(picture, annotated,
                            around(outline, static_cast<int>(std::ceil(style.lineWidth)) + 1) +
                                QRegion(label));
    }
}

// The label's text, Chinese characters included, is drawn on the band: two
// labels that differ only in the province character differ on the picture.
TEST(AnnotatedPicture, LabelsCarryTheTextChineseIncluded) {
    const QImage picture = plainPicture({800, 600});
    const Quad<double> corners = tilted(300, 300, 140, 44);
    const FoundPlate zhePlate = plateAt(corners, {zhe, 'B', '1', '2', '3', '4', '5'});
    const FoundPlate jingPlate = plateAt(corners, {0x80, 'B', '1', '2', '3', '4', '5'}); // 京
    EXPECT_EQ(annotationLabel(zhePlate, 1).toStdString(), "1: 浙B12345");
    const QImage zheImage = annotatedPicture(picture, std::vector{zhePlate});
    const QImage jingImage = annotatedPicture(picture, std::vector{jingPlate});
    const QRect label = labelRect({outlineOf(zhePlate), annotationLabel(zhePlate, 1)},
                                  markStyleFor(picture.size()), picture.rect());
    EXPECT_NE(zheImage.copy(label), jingImage.copy(label));
    int ink = 0; // the text's dark pixels on the band
    for (int y = label.top(); y <= label.bottom(); ++y) {
        for (int x = label.left(); x <= label.right(); ++x) {
            ink += qGray(zheImage.pixel(x, y)) < 60;
        }
    }
    EXPECT_GT(ink, label.width() / 2);
}

TEST(AnnotatedPicture, TwoPlatesAreNumberedInTheirOrderAndNoPlateGivesTheNote) {
    const QImage picture = plainPicture({800, 600});
    const std::vector<FoundPlate> two{plateAt(tilted(100, 200, 120, 40), {zhe, 'A', '1'}),
                                      plateAt(tilted(500, 400, 120, 40), {zhe, 'B', '2'})};
    const QImage annotated = annotatedPicture(picture, two);
    for (std::size_t i = 0; i < two.size(); ++i) {
        EXPECT_EQ(unmarkedSidePoints(annotated, outlineOf(two[i]), 1), 0) << i;
    }
    EXPECT_EQ(annotationLabel(two[1], 2).toStdString(), "2: 浙B2");

    const QImage none = annotatedPicture(picture, {});
    EXPECT_TRUE(isMark(none.pixel(8, 8))); // the note's band in the top left corner
    expectChangesOnlyIn(picture, none, QRegion(0, 0, picture.width() / 2, picture.height() / 4));
}

TEST(MarkStyle, GrowsWithThePictureFromALegibleLeast) {
    const MarkStyle small = markStyleFor({320, 180});
    const MarkStyle large = markStyleFor({4000, 3000});
    EXPECT_GE(small.lineWidth, 2);
    EXPECT_GE(small.fontPixelSize, 16);
    EXPECT_GT(large.lineWidth, 3 * small.lineWidth);
    EXPECT_GT(large.fontPixelSize, 3 * small.fontPixelSize);
}

} // namespace
