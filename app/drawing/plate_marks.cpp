#include "app/drawing/plate_marks.h"

#include "app/drawing/fonts.h"
#include "app/driver/plate_text.h"
#include "res/string_table.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace kavro;

namespace {

constexpr QColor labelTextColour{0, 0, 0};
constexpr double minLineWidth = 2;
constexpr int minFontPixelSize = 16;
constexpr double sidePerLineWidth = 360; // picture pixels of the shorter side per line pixel
constexpr int sidePerFontPixel = 28;     // and per pixel of label text
constexpr int fontPixelsPerMargin = 4;   // the band reaches this far beyond the text
constexpr std::size_t plateImageBytes = std::size_t{plateWidth} * plateHeight * 3;

int marginOf(const MarkStyle& style) {
    return std::max(1, style.fontPixelSize / fontPixelsPerMargin);
}

// The band that holds `text`, its top left corner at `topLeft`.
QRect bandAt(QPoint topLeft, const QString& text, const MarkStyle& style) {
    const QFontMetrics metrics(plateFont(style.fontPixelSize));
    const int margin = marginOf(style);
    return QRect(topLeft, metrics.size(Qt::TextSingleLine, text) + QSize(2 * margin, 2 * margin));
}

void drawBand(QPainter& painter, const QRect& band, const QString& text) {
    painter.fillRect(band, markColour);
    painter.setPen(labelTextColour);
    painter.drawText(band, Qt::AlignCenter, text);
}

// `start` moved as little as possible to keep `length` inside first..last, or to
// `first` when it cannot fit.
int keptInside(int start, int length, int first, int last) {
    return std::max(first, std::min(start, last + 1 - length));
}

} // namespace

MarkStyle markStyleFor(QSize size) {
    const int side = std::min(size.width(), size.height());
    return {std::max(minLineWidth, side / sidePerLineWidth),
            std::max(minFontPixelSize, side / sidePerFontPixel)};
}

QRect labelRect(const PlateMark& mark, const MarkStyle& style, const QRect& bounds) {
    const QRectF plate = mark.outline.boundingRect();
    const int gap = static_cast<int>(std::ceil(style.lineWidth));
    QRect band = bandAt(QPoint(), mark.label, style);
    int top = static_cast<int>(std::floor(plate.top())) - gap - band.height();
    if (top < bounds.top()) {
        top = static_cast<int>(std::ceil(plate.bottom())) + gap;
    }
    band.moveTo(keptInside(static_cast<int>(std::floor(plate.left())), band.width(), bounds.left(),
                           bounds.right()),
                keptInside(top, band.height(), bounds.top(), bounds.bottom()));
    return band;
}

void drawPlateMarks(QPainter& painter, std::span<const PlateMark> marks, const MarkStyle& style,
                    const QRect& bounds) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(plateFont(style.fontPixelSize));
    const QPen outlinePen(markColour, style.lineWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    for (const PlateMark& mark : marks) {
        painter.setPen(outlinePen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPolygon(mark.outline);
        drawBand(painter, labelRect(mark, style, bounds), mark.label);
    }
    painter.restore();
}

QPolygonF outlineOf(const FoundPlate& plate) {
    QPolygonF outline;
    for (const Point<double>& corner : plate.corners.corners) {
        outline << QPointF(corner.x, corner.y);
    }
    return outline;
}

QPolygonF inView(const QPolygonF& outline, const ViewFrame& frame) {
    QPolygonF view;
    for (const QPointF& corner : outline) {
        view << QPointF(corner.x() / frame.scale - frame.offset.x,
                        corner.y() / frame.scale - frame.offset.y);
    }
    return view;
}

QString annotationLabel(const FoundPlate& plate, int index) {
    return QStringLiteral("%1: %2").arg(index).arg(QString::fromStdString(plateNumberText(plate)));
}

namespace {

void drawNote(QPainter& painter, const QString& note, const MarkStyle& style) {
    painter.setFont(plateFont(style.fontPixelSize));
    const int margin = marginOf(style);
    drawBand(painter, bandAt(QPoint(margin, margin), note, style), note);
}

void drawAnnotations(QImage& picture, std::span<const FoundPlate> plates) {
    QPainter painter(&picture);
    const MarkStyle style = markStyleFor(picture.size());
    if (plates.empty()) {
        drawNote(painter, QString::fromUtf8(strings::noPlate), style);
        return;
    }
    std::vector<PlateMark> marks;
    for (std::size_t i = 0; i < plates.size(); ++i) {
        marks.push_back(
            {outlineOf(plates[i]), annotationLabel(plates[i], static_cast<int>(i) + 1)});
    }
    drawPlateMarks(painter, marks, style, picture.rect());
}

} // namespace

QImage annotatedPicture(const QImage& picture, std::span<const FoundPlate> plates) {
    QImage annotated = picture.convertToFormat(QImage::Format_RGB32);
    drawAnnotations(annotated, plates);
    return annotated;
}

QImage pictureImage(const PicturePixels& picture) {
    if (picture.pixels == nullptr) {
        return {};
    }
    return QImage(picture.pixels, picture.width, picture.height,
                  static_cast<qsizetype>(picture.width) * 3, QImage::Format_BGR888);
}

QImage plateImageOf(const FoundPlate& plate) {
    if (plate.plateImage.size() != plateImageBytes) {
        return {};
    }
    return QImage(plate.plateImage.data(), plateWidth, plateHeight, plateWidth * 3,
                  QImage::Format_BGR888)
        .copy();
}
