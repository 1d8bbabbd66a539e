#include "app/desktop/view_drawing.h"

#include "app/drawing/fonts.h"
#include "app/drawing/plate_marks.h"
#include "app/driver/plate_text.h"
#include "res/string_table.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QStringList>

#include <algorithm>
#include <span>

using namespace kavro;

namespace {

constexpr int textFlags = Qt::AlignLeft | Qt::AlignTop; // left and top aligned, lines kept

// The widest of the result's text blocks, in the result font.
int widestBlock(const RecognitionResult& result, int planeWidth) {
    const QFontMetrics metrics(resultFont());
    int widest = 0;
    for (const QString& block : resultTexts(result)) {
        widest = std::max(
            widest, metrics.boundingRect(firstResultRect(planeWidth), textFlags, block).width());
    }
    return widest;
}

} // namespace

QFont resultFont() {
    return plateFont(resultFontPixelSize);
}

QFont instructionFont() {
    return fontOf(strings::instructionFontFamilies, resultFontPixelSize);
}

int DrawPixels(QPainter* painter, int width, int height, const std::uint8_t* pixels) {
    if (painter == nullptr || pixels == nullptr || width <= 0 || height <= 0) {
        return 0;
    }
    painter->drawImage(QPoint(0, 0), pictureImage({pixels, width, height}));
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

std::span<const FoundPlate> listedPlates(const PictureSession& session) {
    const auto listed = static_cast<std::size_t>(std::clamp(session.result.count, 0, maxPlates));
    return std::span(session.plates).first(std::min(listed, session.plates.size()));
}

std::vector<PlateMark> viewMarks(const RecognitionContext& context,
                                 std::span<const FoundPlate> plates) {
    std::vector<PlateMark> marks;
    for (std::size_t i = 0; i < plates.size(); ++i) {
        marks.push_back({inView(outlineOf(plates[i]), context.frame), QString::number(i + 1)});
    }
    return marks;
}

QRect plateImageRect(const RecognitionResult& result, int planeWidth, int block) {
    const QRect text = firstResultRect(planeWidth).translated(0, block * resultBlockStep);
    return QRect(QPoint(text.left() + widestBlock(result, planeWidth) + plateImageGap, text.top()),
                 QSize(plateWidth, plateHeight));
}

void drawOverlays(QPainter& painter, const PictureSession& session) {
    const RecognitionContext& context = session.context;
    const std::span<const FoundPlate> plates = listedPlates(session);
    drawPlateMarks(painter, viewMarks(context, plates), viewMarkStyle,
                   QRect(0, 0, context.planeWidth, context.planeHeight));
    for (std::size_t i = 0; i < plates.size(); ++i) {
        painter.drawImage(
            plateImageRect(session.result, context.planeWidth, static_cast<int>(i)).topLeft(),
            plateImageOf(plates[i]));
    }
}
