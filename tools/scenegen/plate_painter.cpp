#include "tools/scenegen/plate_painter.h"

#include "data/character_codes.h"
#include "tools/scenegen/plate_text.h"

#include <QLinearGradient>
#include <QPainterPath>

#include <algorithm>
#include <numeric>
#include <stdexcept>

using namespace kavro;

namespace {

constexpr int outlinePixelSize = 200; // glyph outlines are taken at this size, then scaled
constexpr double cornerRadiusMm = 6;
constexpr double borderInsetMm = 3.5;
constexpr double borderWidthMm = 1.5;
constexpr double borderRadiusMm = 4;
constexpr double dotDiameterMm = 10;
// The plain "1" of ordinary plates: one stroke of the plate face, 10 mm wide,
// centred in its 45 mm cell.
constexpr double oneBarWidthMm = 10;
// The regular CJK weight thickened by a stroke: a bold Hei look whose outlines
// are not those of the bold weight the reader's templates come from. 2.5 mm gives
// 皖 the ink share of the real plate pictures of it (58 % of its box, their median;
// 3.5 mm gave 64 %).
constexpr double chineseEmboldenMm = 2.5;

QFont faceFont(const QString& family, QFont::Weight weight, QFont::Stretch stretch) {
    QFont font(family);
    font.setPixelSize(outlinePixelSize);
    font.setWeight(weight);
    font.setStretch(stretch);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// Throws when no installed font has the character (fonts-dejavu-extra and
// fonts-noto-cjk provide them all).
QPainterPath glyphOutline(const QFont& font, const QString& text) {
    QPainterPath path;
    path.addText(0, 0, font, text);
    if (path.boundingRect().isEmpty()) {
        throw std::runtime_error("no font draws the plate character " + text.toStdString());
    }
    return path;
}

// Scales `bounds` by the given factors about its centre and puts that centre
// on the box's centre.
QTransform centredTransform(const QRectF& bounds, const QRectF& box, double scaleX, double scaleY) {
    QTransform transform;
    transform.translate(box.center().x(), box.center().y());
    transform.scale(scaleX, scaleY);
    transform.translate(-bounds.center().x(), -bounds.center().y());
    return transform;
}

// Maps `bounds` into the box: fills the box's height and, unless the shape is
// narrower than that, its width; centred in the box.
QTransform fitTransform(const QRectF& bounds, const QRectF& box) {
    const double scaleY = box.height() / bounds.height();
    return centredTransform(bounds, box, std::min(box.width() / bounds.width(), scaleY), scaleY);
}

QPainterPath fitToBox(const QPainterPath& outline, const QRectF& box) {
    return fitTransform(outline.boundingRect(), box).map(outline);
}

// The coverage as the ink colour with that opacity.
QImage inked(const QImage& coverage, const QColor& ink) {
    QImage image(coverage.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < coverage.height(); ++y) {
        const uchar* source = coverage.constScanLine(y);
        auto* target = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < coverage.width(); ++x) {
            target[x] = qPremultiply(qRgba(ink.red(), ink.green(), ink.blue(), source[x]));
        }
    }
    return image;
}

// The picture's character box placed as an outline would be (its margin
// around it), with its real proportions in millimetres.
QTransform pictureTransform(const CharacterPicture& picture, const QRectF& box) {
    const QRectF pictureBox(picture.box);
    QTransform pixelsToMm;
    pixelsToMm.scale(picture.sizeMm.width() / pictureBox.width(),
                     picture.sizeMm.height() / pictureBox.height());
    pixelsToMm.translate(-pictureBox.left(), -pictureBox.top());
    return pixelsToMm * fitTransform(QRectF(QPointF(0, 0), picture.sizeMm), box);
}

// Mean coverage across a row of the middle half of the picture's box, in
// pixels: the width of the ink of a bar, soft edges included.
double inkWidthPixels(const CharacterPicture& picture) {
    const QRect& box = picture.box;
    const int top = box.top() + box.height() / 4;
    const int rows = std::max(1, box.height() / 2);
    double coverage = 0;
    for (int y = top; y < top + rows; ++y) {
        const uchar* line = picture.coverage.constScanLine(y);
        coverage += std::accumulate(line, line + picture.coverage.width(), 0.0);
    }
    return coverage / (rows * 255.0);
}

// A picture of a "1" as the plain bar of the plate face: the height of the box,
// and the crop's ink, widened by the blur of the small crops, narrowed to the
// bar's real width.
QTransform barTransform(const CharacterPicture& picture, const QRectF& box) {
    const double inkWidth = std::max(1.0, inkWidthPixels(picture));
    return centredTransform(QRectF(picture.box), box, oneBarWidthMm / inkWidth,
                            box.height() / picture.box.height());
}

void paintPicture(QPainter& painter, const CharacterPicture& picture,
                  const QTransform& pixelsToPlate, const QColor& ink) {
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setTransform(pixelsToPlate, true);
    painter.drawImage(QPointF(0, 0), inked(picture.coverage, ink));
    painter.restore();
}

QRectF charBox(const PlateStyle& style, int position, double shrinkMm) {
    const double width = style.charWidthMm - 2 * shrinkMm;
    const double height = style.charHeightMm - 2 * shrinkMm;
    return {style.charCentreXMm[static_cast<std::size_t>(position)] - width / 2,
            style.charCentreYMm() - height / 2, width, height};
}

void paintBackground(QPainter& painter, const PlateStyle& style) {
    QLinearGradient gradient(0, 0, 0, style.heightMm);
    gradient.setColorAt(0, style.backgroundTop);
    gradient.setColorAt(1, style.backgroundBottom);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawRoundedRect(QRectF(0, 0, style.widthMm, style.heightMm), cornerRadiusMm,
                            cornerRadiusMm);
}

void paintBorder(QPainter& painter, const PlateStyle& style) {
    painter.setPen(QPen(style.border, borderWidthMm));
    painter.setBrush(Qt::NoBrush);
    const QRectF inner(borderInsetMm, borderInsetMm, style.widthMm - 2 * borderInsetMm,
                       style.heightMm - 2 * borderInsetMm);
    painter.drawRoundedRect(inner, borderRadiusMm, borderRadiusMm);
}

void paintDot(QPainter& painter, const PlateStyle& style) {
    const auto after = static_cast<std::size_t>(style.separatorIndex);
    const double x = (style.charCentreXMm[after - 1] + style.charCentreXMm[after]) / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(style.ink);
    painter.drawEllipse(QPointF(x, style.charCentreYMm()), dotDiameterMm / 2, dotDiameterMm / 2);
}

void paintCharacter(QPainter& painter, const PlateStyle& style, int position,
                    const PlateCharacter& character, const QColor& ink, const PlateFaces& faces) {
    const std::uint8_t code = character.code;
    if (const CharacterPicture* picture = character.picture) {
        const QRectF box = charBox(style, position, 0);
        paintPicture(painter, *picture,
                     code == '1' ? barTransform(*picture, box) : pictureTransform(*picture, box),
                     ink);
        return;
    }
    painter.setBrush(ink);
    if (code >= firstChineseCode) {
        const double embolden = faces.chineseEmboldenMm;
        const QPainterPath glyph = fitToBox(glyphOutline(faces.chinese, characterText(code)),
                                            charBox(style, position, embolden / 2));
        painter.setPen(embolden > 0
                           ? QPen(ink, embolden, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin)
                           : QPen(Qt::NoPen));
        painter.drawPath(glyph);
        return;
    }
    painter.setPen(Qt::NoPen);
    const QRectF box = charBox(style, position, 0);
    if (code == '1' && style.latinFace == LatinFace::standard) {
        painter.drawRect(
            QRectF(box.center().x() - oneBarWidthMm / 2, box.top(), oneBarWidthMm, box.height()));
        return;
    }
    painter.drawPath(fitToBox(glyphOutline(faces.latin, characterText(code)), box));
}

} // namespace

PlateFaces defaultPlateFaces() {
    return {faceFont(QStringLiteral("DejaVu Sans"), QFont::Bold, QFont::Condensed),
            faceFont(QStringLiteral("Noto Sans CJK SC"), QFont::Normal, QFont::Unstretched),
            chineseEmboldenMm};
}

void paintPlate(QPainter& painter, const PlateStyle& style,
                std::span<const PlateCharacter> characters, const PlateFaces& faces) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    paintBackground(painter, style);
    paintBorder(painter, style);
    paintDot(painter, style);
    const int count = std::min(style.charCount(), static_cast<int>(characters.size()));
    for (int i = 0; i < count; ++i) {
        const QColor& ink = i == style.charCount() - 1 ? style.lastInk : style.ink;
        paintCharacter(painter, style, i, characters[static_cast<std::size_t>(i)], ink, faces);
    }
    painter.restore();
}

void paintPlateWear(QPainter& painter, const PlateStyle& style, SceneRandom& random) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(QRectF(0, 0, style.widthMm, style.heightMm));
    painter.setPen(Qt::NoPen);
    QLinearGradient shadow(0, 0, 0, style.heightMm * random.real(0.2, 0.5));
    shadow.setColorAt(0, QColor(0, 0, 0, random.integer(0, 70)));
    shadow.setColorAt(1, QColor(0, 0, 0, 0));
    painter.fillRect(QRectF(0, 0, style.widthMm, style.heightMm), shadow);
    const int blotches = random.integer(0, 4);
    for (int i = 0; i < blotches; ++i) {
        painter.setBrush(QColor(random.integer(60, 120), random.integer(50, 100),
                                random.integer(30, 70), random.integer(15, 45)));
        painter.drawEllipse(QPointF(random.real(0, style.widthMm), random.real(0, style.heightMm)),
                            random.real(10, 60), random.real(5, 30));
    }
    painter.restore();
}

QImage renderFlatPlate(const PlateStyle& style, std::span<const PlateCharacter> characters,
                       const PlateFaces& faces, double pixelsPerMm) {
    QImage image(static_cast<int>(style.widthMm * pixelsPerMm + 0.5),
                 static_cast<int>(style.heightMm * pixelsPerMm + 0.5), QImage::Format_RGB32);
    image.fill(Qt::gray);
    QPainter painter(&image);
    painter.scale(pixelsPerMm, pixelsPerMm);
    paintPlate(painter, style, characters, faces);
    return image;
}
