#pragma once
// Points and quadrilaterals of a picture, the map from a resampled view of the
// picture back to its pixels, and the area two quadrilaterals share.

#include <array>
#include <cstddef>

namespace kavro {

template <typename T>
struct Point {
    T x{};
    T y{};

    friend bool operator==(const Point&, const Point&) = default;
};

// Points of a picture as vectors.
inline Point<double> operator+(Point<double> a, Point<double> b) {
    return {a.x + b.x, a.y + b.y};
}
inline Point<double> operator-(Point<double> a, Point<double> b) {
    return {a.x - b.x, a.y - b.y};
}
inline Point<double> operator*(double factor, Point<double> p) {
    return {factor * p.x, factor * p.y};
}

// Straight-line distance between two points.
double distance(Point<double> a, Point<double> b);

// Corners clockwise on screen (y grows downwards), from the top left.
enum QuadCorner : std::size_t { quadTopLeft, quadTopRight, quadBottomRight, quadBottomLeft };
inline constexpr std::size_t quadCornerCount = 4;

template <typename T>
struct Quad {
    std::array<Point<T>, quadCornerCount> corners{};

    const Point<T>& operator[](QuadCorner corner) const { return corners[corner]; }
    Point<T>& operator[](QuadCorner corner) { return corners[corner]; }
    friend bool operator==(const Quad&, const Quad&) = default;
};

// Where a view's pixels lie in the picture: view pixel p is picture point
// scale * (p + offset), so the offset counts view pixels.
struct ViewFrame {
    Point<double> offset{};
    double scale = 1;

    Point<double> toPicture(Point<double> p) const {
        return {scale * (p.x + offset.x), scale * (p.y + offset.y)};
    }
};

// Area enclosed by the quadrilateral (0 when its corners are not in order).
double area(const Quad<double>& quad);

// True when every turn from side to side goes the same way, clockwise.
bool isConvexClockwise(const Quad<double>& quad);

// Area of the intersection of two convex clockwise quadrilaterals; for any
// other quadrilateral, that of their bounding rectangles.
double overlapArea(const Quad<double>& a, const Quad<double>& b);

// The overlap as a share of the smaller of the two areas, 0 to 1: 1 when one
// lies inside the other.
double overlapShare(const Quad<double>& a, const Quad<double>& b);

// The smallest upright rectangle holding the quadrilateral.
struct Bounds {
    double left, top, right, bottom;
};
Bounds boundsOf(const Quad<double>& quad);

// Centre of the four corners.
Point<double> centreOf(const Quad<double>& quad);

// Mean length of the top and bottom sides.
double widthOf(const Quad<double>& quad);

// Mean length of the left and right sides.
double heightOf(const Quad<double>& quad);

} // namespace kavro
