#include "app/desktop/view_drawing.h"

#include "desktop_fixture.h"
#include "res/string_table.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <vector>

using namespace kavro;

namespace {

constexpr int planeWidth = 512;
constexpr QSize canvasSize{1100, 700};

RecognitionResult plates(std::initializer_list<std::pair<int, std::vector<std::uint8_t>>> list) {
    RecognitionResult result{};
    for (const auto& [format, codes] : list) {
        result.formatIndex[result.count] = format;
        std::copy(codes.begin(), codes.end(), result.text[result.count].begin());
        ++result.count;
    }
    return result;
}

QImage blankCanvas() {
    QImage canvas(canvasSize, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    return canvas;
}

QImage drawnResult(const RecognitionResult& result) {
    QImage canvas = blankCanvas();
    QPainter painter(&canvas);
    drawResult(painter, result, planeWidth);
    return canvas;
}

// `text` drawn by itself with the result font at the top left of `rect`.
QImage drawnText(const QString& text, const QRect& rect) {
    QImage canvas = blankCanvas();
    QPainter painter(&canvas);
    painter.setFont(resultFont());
    painter.drawText(rect, Qt::AlignLeft | Qt::AlignTop, text);
    return canvas;
}

TEST(PlateBlockText, ThreeLinesNumberedFromThePlateStoredLast) {
    const auto one = plates({{1, {0x8A, 'B', '1', '2', '3', '4', '5'}}});
    EXPECT_EQ(plateBlockText(one, 0).toStdString(),
              "车牌1\n类型：小型汽车 - 蓝底白字\n牌号：浙B12345");

    const auto two = plates({{1, {0x8A, 'B', '1'}}, {2, {0x80, 'A', '1', 0xA3}}});
    EXPECT_EQ(plateBlockText(two, 1).toStdString(), "车牌1\n类型：教练车 - 黄底黑字\n牌号：京A1学");
    EXPECT_EQ(plateBlockText(two, 0).toStdString(), "车牌2\n类型：小型汽车 - 蓝底白字\n牌号：浙B1");

    const auto odd = plates({{6, {0x20, 'B', 'a'}}});
    EXPECT_EQ(plateBlockText(odd, 0).toStdString(), "车牌1\n类型：\n牌号：?B?");
}

TEST(DrawResult, NoPlateGivesTheNoteRightOfThePicture) {
    const QRect first = firstResultRect(planeWidth);
    EXPECT_EQ(first, QRect(QPoint(522, 136), QPoint(1023, 335)));
    EXPECT_EQ(drawnResult(RecognitionResult{}),
              drawnText(QString::fromUtf8(strings::noPlate), first));
}

TEST(DrawResult, TwoPlatesListTheOneStoredLastOnTop) {
    const auto two = plates({{1, {0x8A, 'B', '1', '2', '3', '4', '5'}}, {5, {0x80, 'A', 'D'}}});
    QImage expected = drawnText(plateBlockText(two, 1), firstResultRect(planeWidth));
    {
        QPainter painter(&expected);
        painter.setFont(resultFont());
        painter.drawText(firstResultRect(planeWidth).translated(0, 246),
                         Qt::AlignLeft | Qt::AlignTop, plateBlockText(two, 0));
    }
    const QImage drawn = drawnResult(two);
    EXPECT_EQ(drawn, expected);
    // Ink only inside the two blocks: none above 136 and none between 336 and 382.
    EXPECT_EQ(regionOf(drawn, QRect(0, 0, canvasSize.width(), 136)),
              regionOf(blankCanvas(), QRect(0, 0, canvasSize.width(), 136)));
    EXPECT_NE(regionOf(drawn, QRect(522, 382, 502, 40)),
              regionOf(blankCanvas(), QRect(522, 382, 502, 40)));
}

TEST(DrawPixels, PaintsTheRowsOneToOneAtTheOrigin) {
    constexpr int width = 4, height = 2;
    const std::vector<std::uint8_t> pixels = {
        1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, // top row, blue-green-red
        13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24,
    };
    QImage canvas(6, 3, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    EXPECT_EQ(DrawPixels(&painter, width, height, pixels.data()), height);
    painter.end();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* bgr = &pixels[(y * width + x) * 3];
            EXPECT_EQ(canvas.pixel(x, y), qRgb(bgr[2], bgr[1], bgr[0])) << x << "," << y;
        }
    }
    EXPECT_EQ(canvas.pixel(4, 0), qRgb(255, 255, 255));
    EXPECT_EQ(canvas.pixel(0, 2), qRgb(255, 255, 255));
    EXPECT_EQ(DrawPixels(nullptr, width, height, pixels.data()), 0);
}

} // namespace
