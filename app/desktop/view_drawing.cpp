#include "app/desktop/view_drawing.h"

#include "app/driver/plate_text.h"
#include "res/string_table.h"

#include <QImage>
#include <QPainter>
#include <QStringList>

#include <algorithm>
#include <span>

namespace {

constexpr int textFlags = Qt::AlignLeft | Qt::AlignTop; // left and top aligned, lines kept
constexpr int annotationFontPixelSize = 18;
constexpr int annotationMargin = 4; // around each band and between the band and its text
const QColor annotationBand(0, 0, 0, 176);
const QColor annotationText(Qt::white);

// Rows of blue-green-red pixels as an image, without copying them.
QImage pixelImage(int width, int height, const std::uint8_t* pixels) {
    return QImage(pixels, width, height, static_cast<qsizetype>(width) * 3, QImage::Format_BGR888);
}

QFont fontOf(std::span<const char* const> families) {
    QStringList names;
    for (const char* family : families) {
        names << QString::fromUtf8(family);
    }
    QFont font;
    font.setFamilies(names);
    font.setPixelSize(resultFontPixelSize);
    font.setWeight(QFont::Normal);
    return font;
}

} // namespace

QFont resultFont() {
    return fontOf(strings::resultFontFamilies);
}

QFont instructionFont() {
    return fontOf(strings::instructionFontFamilies);
}

QImage workingPicture(const RecognitionContext& context) {
    if (!context.colourPlane) {
        return {};
    }
    return pixelImage(context.planeWidth, context.planeHeight, context.colourPlane.get()).copy();
}

int DrawPixels(QPainter* painter, int width, int height, const std::uint8_t* pixels) {
    if (painter == nullptr || pixels == nullptr || width <= 0 || height <= 0) {
        return 0;
    }
    painter->drawImage(QPoint(0, 0), pixelImage(width, height, pixels));
    return height;
}

QString plateBlockText(const RecognitionResult& result, int plate) {
    return QStringLiteral("车牌%1\n类型：%2\n牌号：%3")
        .arg(result.count - plate)
        .arg(QString::fromStdString(plateTypeText(result, plate)),
             QString::fromStdString(plateNumberText(result, plate)));
}

QRect firstResultRect(int planeWidth) {
    return QRect(QPoint(planeWidth + resultGap, resultTop),
                 QPoint(planeWidth * 2 - 1, resultTop + resultHeight - 1));
}

void drawInstruction(QPainter& painter) {
    painter.save();
    painter.setFont(instructionFont());
    painter.drawText(instructionRect, textFlags, QString::fromUtf8(strings::instruction));
    painter.restore();
}

QStringList resultTexts(const RecognitionResult& result) {
    QStringList blocks;
    const int stored = std::clamp(result.count, 0, maxPlates);
    for (int plate = stored - 1; plate >= 0; --plate) {
        blocks << plateBlockText(result, plate);
    }
    if (blocks.isEmpty()) {
        blocks << QString::fromUtf8(strings::noPlate);
    }
    return blocks;
}

void drawResult(QPainter& painter, const RecognitionResult& result, int planeWidth) {
    painter.save();
    painter.setFont(resultFont());
    QRect rect = firstResultRect(planeWidth);
    for (const QString& block : resultTexts(result)) {
        painter.drawText(rect, textFlags, block);
        rect.translate(0, resultBlockStep);
    }
    painter.restore();
}

QImage annotatedPicture(const QImage& picture, const RecognitionResult& result) {
    QImage annotated = picture.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&annotated);
    QFont font = resultFont();
    font.setPixelSize(annotationFontPixelSize);
    painter.setFont(font);
    QPoint topLeft(annotationMargin, annotationMargin);
    for (const QString& block : resultTexts(result)) {
        const QRect text = painter.boundingRect(QRect(topLeft, annotated.size()), textFlags, block);
        const QRect band =
            text.adjusted(-annotationMargin, -annotationMargin, annotationMargin, annotationMargin);
        painter.fillRect(band, annotationBand);
        painter.setPen(annotationText);
        painter.drawText(text, textFlags, block);
        topLeft.setY(band.bottom() + 1 + 2 * annotationMargin);
    }
    return annotated;
}
