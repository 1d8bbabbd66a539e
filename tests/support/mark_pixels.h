#pragma once
// Finding the plate marks (outlines and labels in the mark colour) on a
// picture drawn by the tests.

#include <QImage>
#include <QPointF>
#include <QPolygonF>

#include <cmath>

// Near the mark colour, magenta, antialiased edges included.
inline bool isMark(QRgb pixel) {
    return qRed(pixel) > 180 && qGreen(pixel) < 100 && qBlue(pixel) > 180;
}

// Some pixel at most `radius` pixels across and down from `at` has the mark colour.
inline bool markWithin(const QImage& image, QPointF at, int radius) {
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            const QPoint p(static_cast<int>(std::lround(at.x())) + dx,
                           static_cast<int>(std::lround(at.y())) + dy);
            if (image.rect().contains(p) && isMark(image.pixel(p))) {
                return true;
            }
        }
    }
    return false;
}

// Points along the sides of `outline` (25 a side) without a mark within `radius`.
inline int unmarkedSidePoints(const QImage& image, const QPolygonF& outline, int radius) {
    constexpr int steps = 24;
    int unmarked = 0;
    for (int side = 0; side < outline.size(); ++side) {
        const QPointF from = outline[side];
        const QPointF to = outline[(side + 1) % outline.size()];
        for (int s = 0; s <= steps; ++s) {
            unmarked += !markWithin(image, from + (to - from) * (double(s) / steps), radius);
        }
    }
    return unmarked;
}
