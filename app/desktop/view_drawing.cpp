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

int DrawPixels(QPainter* painter, int width, int height, const std::uint8_t* pixels) {
    if (painter == nullptr || pixels == nullptr || width <= 0 || height <= 0) {
        return 0;
    }
    const QImage image(pixels, width, height, static_cast<qsizetype>(width) * 3,
                       QImage::Format_BGR888);
    painter->drawImage(QPoint(0, 0), image);
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

void drawResult(QPainter& painter, const RecognitionResult& result, int planeWidth) {
    painter.save();
    painter.setFont(resultFont());
    QRect rect = firstResultRect(planeWidth);
    const int stored = std::clamp(result.count, 0, maxPlates);
    if (stored == 0) {
        painter.drawText(rect, textFlags, QString::fromUtf8(strings::noPlate));
    }
    for (int plate = stored - 1; plate >= 0; --plate) {
        painter.drawText(rect, textFlags, plateBlockText(result, plate));
        rect.translate(0, resultBlockStep);
    }
    painter.restore();
}
