#pragma once
// Straight features of a plate as lines in 16.16 fixed point, fitted to edge
// points by least squares.
//   row line (runs along the plate):    y = (x * slope + intercept) / 65536
//   column line (a near-vertical side): x = (y * slope + intercept) / 65536

#include "engine/primitives/edge_point.h"

#include <cstdint>
#include <optional>
#include <span>

namespace kavro {

struct FixedLine {
    std::int32_t slope;
    std::int32_t intercept;

    friend bool operator==(const FixedLine&, const FixedLine&) = default;
};

// The line of a refinement and how many of the input points its last pass kept.
struct RefinedLine {
    FixedLine line;
    int keptCount;
};

// A point in sixteenths of a working-plane pixel.
struct FixedCorner {
    std::int16_t x;
    std::int16_t y;

    friend bool operator==(const FixedCorner&, const FixedCorner&) = default;
};

// Exact least-squares fits; no points, or all on one line across the fit's
// direction, give slope 0 and intercept 0.
FixedLine fitRowLine(std::span<const EdgePoint> points);
FixedLine fitColumnLine(std::span<const EdgePoint> points);

// Refits at most three times, keeping the points within 4, then 3, then 2 half
// pixels of the previous fit; every pass judges all input points again.
RefinedLine refineRowLine(std::span<const EdgePoint> points);
RefinedLine refineColumnLine(std::span<const EdgePoint> points);

// Where a column line meets a row line; empty when they are parallel or the
// point lies beyond the 16-bit range of sixteenths.
std::optional<FixedCorner> intersectLines(const FixedLine& column, const FixedLine& row);

} // namespace kavro
