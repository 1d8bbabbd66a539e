#pragma once
// The marks that show where each plate was read: its outline on the picture and
// a label just above it. The desktop view draws them over its working picture
// with the plate's index; annotated pictures (kavro-cli --annotate, the desktop
// program's Save As) carry them at the picture's own resolution with the
// plate's text. Needs Qt's GUI module only, not its widgets.

#include "engine/context/recognition_context.h"
#include "engine/find/found_plate.h"

#include <QColor>
#include <QImage>
#include <QPolygonF>
#include <QRect>
#include <QString>

#include <span>

// Magenta: far from the blue, yellow, green and white faces of plates and from
// their black, white and red characters.
inline constexpr QColor markColour{255, 0, 255};

struct PlateMark {
    QPolygonF outline; // four corners, clockwise from the top left
    QString label;
};

struct MarkStyle {
    double lineWidth = 2;
    int fontPixelSize = 16;
};

// Lines and labels that stay legible on a picture of `size` seen whole: both
// grow with its shorter side.
MarkStyle markStyleFor(QSize size);

// Draws each mark's outline and, on a band of the mark colour, its label: just
// above the outline, or below it where there is no room above, kept inside
// `bounds` as far as it fits.
void drawPlateMarks(QPainter& painter, std::span<const PlateMark> marks, const MarkStyle& style,
                    const QRect& bounds);

// Where the label of `mark` goes (the band, its margin included).
QRect labelRect(const PlateMark& mark, const MarkStyle& style, const QRect& bounds);

// The plate's corners in picture pixels.
QPolygonF outlineOf(const kavro::FoundPlate& plate);

// The corners of `outline`, given in pixels of the picture `frame` was cut from,
// in pixels of the view that `frame` describes.
QPolygonF inView(const QPolygonF& outline, const kavro::ViewFrame& frame);

// The label of an annotated plate: its place in the list and its text, "1: 浙B12345".
QString annotationLabel(const kavro::FoundPlate& plate, int index);

// `picture` with every plate of `plates` (in the order they are listed)
// outlined and labelled with annotationLabel, or with the note that no plate
// was read, on a band in the top left corner. The one drawing of annotated
// pictures.
QImage annotatedPicture(const QImage& picture, std::span<const kavro::FoundPlate> plates);

// The picture's blue-green-red rows as an image that shares their memory: it
// must not outlive them.
QImage pictureImage(const kavro::PicturePixels& picture);

// The rectified plate a found plate was read from (a copy); null when it has none.
QImage plateImageOf(const kavro::FoundPlate& plate);
