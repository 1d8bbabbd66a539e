#include "tools/glyphgen/font_glyphs.h"

#include <QFont>
#include <QFontInfo>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr int renderPixelSize = 192;
constexpr int canvasSize = 2 * renderPixelSize;

QFont makeFont(const FontFace& face) {
    QFont font(face.family);
    font.setPixelSize(renderPixelSize);
    font.setWeight(static_cast<QFont::Weight>(face.weight));
    font.setStretch(face.stretch);
    font.setStyleStrategy(QFont::NoFontMerging);
    font.setHintingPreference(QFont::PreferNoHinting);
    if (QFontInfo(font).family() != face.family) {
        throw std::runtime_error("font family not installed: " + face.family.toStdString());
    }
    return font;
}

GreyImage toGreyImage(const QImage& image) {
    GreyImage grey(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        std::copy(line, line + image.width(), grey.pixels.begin() + y * image.width());
    }
    return grey;
}

// Grows the foreground by `radius` pixels (a square structuring element).
GreyImage dilate(const GreyImage& image, int radius) {
    GreyImage grown(image.width, image.height);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            std::uint8_t level = 0;
            for (int dy = -radius; dy <= radius; ++dy) {
                for (int dx = -radius; dx <= radius; ++dx) {
                    const int sx = std::clamp(x + dx, 0, image.width - 1);
                    const int sy = std::clamp(y + dy, 0, image.height - 1);
                    level = std::max(level, image.at(sx, sy));
                }
            }
            grown.at(x, y) = level;
        }
    }
    return grown;
}

} // namespace

QString faceLabel(const FontFace& face) {
    QString label = face.family;
    label += face.weight >= QFont::Bold ? " Bold" : " Regular";
    if (face.stretch != QFont::Unstretched) {
        label += QString(" stretch %1").arg(face.stretch);
    }
    if (face.thicken > 0) {
        label += QString(" +%1px").arg(face.thicken);
    }
    return label;
}

GreyImage renderText(const FontFace& face, const QString& text) {
    QImage canvas(canvasSize, canvasSize, QImage::Format_Grayscale8);
    canvas.fill(0);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setPen(Qt::white);
        painter.setFont(makeFont(face));
        painter.drawText(canvas.rect(), Qt::AlignCenter, text);
    }
    const GreyImage image = toGreyImage(canvas);
    return face.thicken > 0 ? dilate(image, face.thicken) : image;
}

GlyphRows fontGlyph(const FontFace& face, const QString& text) {
    const GreyImage image = renderText(face, text);
    return sampleBox(image, foregroundBox(image));
}
