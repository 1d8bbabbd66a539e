#include "engine/primitives/geometry.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kavro {

namespace {

using Polygon = std::vector<Point<double>>;

// z of the cross product of (b - a) and (c - a); positive when a, b, c turn
// clockwise on screen.
double turn(Point<double> a, Point<double> b, Point<double> c) {
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

// Twice the signed area of a polygon; positive for clockwise corners on screen.
double doubleSignedArea(const Polygon& polygon) {
    double sum = 0;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        const Point<double>& p = polygon[i];
        const Point<double>& q = polygon[(i + 1) % polygon.size()];
        sum += p.x * q.y - q.x * p.y;
    }
    return sum;
}

Polygon polygonOf(const Quad<double>& quad) {
    return {quad.corners.begin(), quad.corners.end()};
}

// Where segment p-q crosses the line through a and b.
Point<double> crossing(Point<double> p, Point<double> q, Point<double> a, Point<double> b) {
    const double tp = turn(a, b, p);
    const double tq = turn(a, b, q);
    const double t = tp / (tp - tq);
    return {p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)};
}

// The part of `subject` on the inner side of the edge a-b of a clockwise polygon.
Polygon clipByEdge(const Polygon& subject, Point<double> a, Point<double> b) {
    Polygon kept;
    for (std::size_t i = 0; i < subject.size(); ++i) {
        const Point<double>& p = subject[i];
        const Point<double>& q = subject[(i + 1) % subject.size()];
        const bool pInside = turn(a, b, p) >= 0;
        const bool qInside = turn(a, b, q) >= 0;
        if (pInside) {
            kept.push_back(p);
        }
        if (pInside != qInside) {
            kept.push_back(crossing(p, q, a, b));
        }
    }
    return kept;
}

double boundsOverlap(const Quad<double>& a, const Quad<double>& b) {
    const Bounds p = boundsOf(a);
    const Bounds q = boundsOf(b);
    const double width = std::min(p.right, q.right) - std::max(p.left, q.left);
    const double height = std::min(p.bottom, q.bottom) - std::max(p.top, q.top);
    return width > 0 && height > 0 ? width * height : 0;
}

double boundsArea(const Quad<double>& quad) {
    const Bounds bounds = boundsOf(quad);
    return (bounds.right - bounds.left) * (bounds.bottom - bounds.top);
}

} // namespace

double distance(Point<double> a, Point<double> b) {
    return std::hypot(b.x - a.x, b.y - a.y);
}

Bounds boundsOf(const Quad<double>& quad) {
    Bounds bounds{quad.corners[0].x, quad.corners[0].y, quad.corners[0].x, quad.corners[0].y};
    for (const Point<double>& p : quad.corners) {
        bounds.left = std::min(bounds.left, p.x);
        bounds.right = std::max(bounds.right, p.x);
        bounds.top = std::min(bounds.top, p.y);
        bounds.bottom = std::max(bounds.bottom, p.y);
    }
    return bounds;
}

double area(const Quad<double>& quad) {
    return std::max(0.0, doubleSignedArea(polygonOf(quad)) / 2);
}

bool isConvexClockwise(const Quad<double>& quad) {
    for (std::size_t i = 0; i < quadCornerCount; ++i) {
        if (turn(quad.corners[i], quad.corners[(i + 1) % quadCornerCount],
                 quad.corners[(i + 2) % quadCornerCount]) <= 0) {
            return false;
        }
    }
    return true;
}

double overlapArea(const Quad<double>& a, const Quad<double>& b) {
    if (!isConvexClockwise(a) || !isConvexClockwise(b)) {
        return boundsOverlap(a, b);
    }
    Polygon clipped = polygonOf(a);
    for (std::size_t i = 0; i < quadCornerCount && !clipped.empty(); ++i) {
        clipped = clipByEdge(clipped, b.corners[i], b.corners[(i + 1) % quadCornerCount]);
    }
    return clipped.size() < 3 ? 0 : std::max(0.0, doubleSignedArea(clipped) / 2);
}

double overlapShare(const Quad<double>& a, const Quad<double>& b) {
    const bool convex = isConvexClockwise(a) && isConvexClockwise(b);
    const double smaller =
        convex ? std::min(area(a), area(b)) : std::min(boundsArea(a), boundsArea(b));
    return smaller > 0 ? std::min(1.0, overlapArea(a, b) / smaller) : 0;
}

Point<double> centreOf(const Quad<double>& quad) {
    Point<double> sum;
    for (const Point<double>& p : quad.corners) {
        sum.x += p.x / quadCornerCount;
        sum.y += p.y / quadCornerCount;
    }
    return sum;
}

double widthOf(const Quad<double>& quad) {
    return (distance(quad[quadTopLeft], quad[quadTopRight]) +
            distance(quad[quadBottomLeft], quad[quadBottomRight])) /
           2;
}

double heightOf(const Quad<double>& quad) {
    return (distance(quad[quadTopLeft], quad[quadBottomLeft]) +
            distance(quad[quadTopRight], quad[quadBottomRight])) /
           2;
}

} // namespace kavro
