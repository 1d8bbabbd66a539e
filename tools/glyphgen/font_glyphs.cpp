#include "tools/glyphgen/font_glyphs.h"

#include <QFont>
#include <QFontInfo>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <stdexcept>

using namespace kavro;

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

// Grows the foreground by `rx` pixels sideways and `ry` pixels up and down
// (a rectangular structuring element, applied as two one-dimensional passes).
GreyImage dilate(const GreyImage& image, int rx, int ry) {
    auto pass = [](const GreyImage& in, int radius, bool sideways) {
        GreyImage out(in.width, in.height);
        for (int y = 0; y < in.height; ++y) {
            for (int x = 0; x < in.width; ++x) {
                std::uint8_t level = 0;
                for (int d = -radius; d <= radius; ++d) {
                    const int sx = sideways ? std::clamp(x + d, 0, in.width - 1) : x;
                    const int sy = sideways ? y : std::clamp(y + d, 0, in.height - 1);
                    level = std::max(level, in.at(sx, sy));
                }
                out.at(x, y) = level;
            }
        }
        return out;
    };
    return pass(pass(image, rx, true), ry, false);
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
    if (face.widen > 0) {
        label += QString(" +%1px sideways").arg(face.widen);
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
    const int sideways = face.thicken + face.widen;
    return sideways > 0 ? dilate(image, sideways, face.thicken) : image;
}

GlyphRows fontGlyph(const FontFace& face, const QString& text) {
    const GreyImage image = renderText(face, text);
    return sampleBox(image, foregroundBox(image));
}
