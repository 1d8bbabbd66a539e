#include "engine/primitives/line_fit.h"

#include <cstdlib>
#include <limits>
#include <vector>

namespace kavro {

namespace {

// Products of the sums, scaled by 65536, need more than 64 bits for long lists of
// far-apart points; wherever the 64-bit values fit the results are the same.
using Wide = __int128;

constexpr std::int64_t fixedOne = 65536;
constexpr std::int64_t halfPixel = 32768;
constexpr std::int64_t roundingOffset = 16384; // half of a half pixel
constexpr int firstTolerance = 4;              // half pixels
constexpr int finalTolerance = 2;
constexpr std::int64_t cornerScale = 16;
constexpr std::int64_t parallelProduct = std::int64_t{1} << 32; // s * t of parallel lines

// A point split into its position along the fitted line's axis and across it.
struct Axes {
    std::int32_t along;
    std::int32_t across;
};
using AxisSplit = Axes (*)(const EdgePoint&);

Axes rowAxes(const EdgePoint& point) {
    return {point.x, point.y};
}
Axes columnAxes(const EdgePoint& point) {
    return {point.y, point.x};
}

struct Sums {
    std::int64_t count = 0;
    std::int64_t along = 0;
    std::int64_t across = 0;
    std::int64_t alongSquared = 0;
    std::int64_t alongAcross = 0;
};

Sums sumPoints(std::span<const EdgePoint> points, AxisSplit split) {
    Sums sums;
    sums.count = static_cast<std::int64_t>(points.size());
    for (const EdgePoint& point : points) {
        const Axes axes = split(point);
        sums.along += axes.along;
        sums.across += axes.across;
        sums.alongSquared += axes.along * axes.along;
        sums.alongAcross += axes.along * axes.across;
    }
    return sums;
}

FixedLine fitLine(std::span<const EdgePoint> points, AxisSplit split) {
    const Sums s = sumPoints(points, split);
    Wide determinant = Wide{s.count} * s.alongSquared - Wide{s.along} * s.along;
    if (determinant == 0) {
        determinant = 1;
    }
    const Wide slope = (Wide{s.count} * s.alongAcross - Wide{s.across} * s.along) * fixedOne;
    const Wide intercept =
        (Wide{s.alongSquared} * s.across - Wide{s.alongAcross} * s.along) * fixedOne;
    // Stored as the low 32 bits of the quotients.
    return {static_cast<std::int32_t>(slope / determinant),
            static_cast<std::int32_t>(intercept / determinant)};
}

// Distance of the point from the line across its axis, in half pixels, rounded by
// adding a quarter pixel and truncating toward zero. Formed in 64 bits: the same
// value as in 32 bits wherever that fits.
std::int64_t residual(const FixedLine& line, const Axes& axes) {
    const std::int64_t offset = std::int64_t{line.slope} * axes.along -
                                std::int64_t{axes.across} * fixedOne + line.intercept;
    return (offset + roundingOffset) / halfPixel;
}

RefinedLine refineLine(std::span<const EdgePoint> points, AxisSplit split) {
    std::vector<EdgePoint> work(points.begin(), points.end());
    std::size_t active = work.size();
    RefinedLine result{{0, 0}, 0};
    for (int tolerance = firstTolerance;; --tolerance) {
        result.line = fitLine(std::span(work).first(active), split);
        std::size_t kept = 0;
        for (const EdgePoint& point : points) {
            if (std::abs(residual(result.line, split(point))) < tolerance) {
                work[kept++] = point;
            }
        }
        result.keptCount = static_cast<int>(kept);
        if (tolerance <= finalTolerance || kept < 2 || kept == active) {
            return result;
        }
        active = kept;
    }
}

bool fitsInSixteenBits(Wide value) {
    return value >= std::numeric_limits<std::int16_t>::min() &&
           value <= std::numeric_limits<std::int16_t>::max();
}

} // namespace

FixedLine fitRowLine(std::span<const EdgePoint> points) {
    return fitLine(points, rowAxes);
}

FixedLine fitColumnLine(std::span<const EdgePoint> points) {
    return fitLine(points, columnAxes);
}

RefinedLine refineRowLine(std::span<const EdgePoint> points) {
    return refineLine(points, rowAxes);
}

RefinedLine refineColumnLine(std::span<const EdgePoint> points) {
    return refineLine(points, columnAxes);
}

// Solves x = (s*y + ci) / 65536, y = (t*x + ri) / 65536 with exact products, so
// that steep lines meet where they really do instead of at a wrapped product.
std::optional<FixedCorner> intersectLines(const FixedLine& column, const FixedLine& row) {
    const std::int64_t s = column.slope;
    const std::int64_t t = row.slope;
    const std::int64_t denominator = parallelProduct - s * t;
    if (denominator == 0) {
        return std::nullopt;
    }
    const Wide x16 =
        (Wide{s} * row.intercept + Wide{column.intercept} * fixedOne) * cornerScale / denominator;
    const Wide y16 =
        (Wide{t} * column.intercept + Wide{row.intercept} * fixedOne) * cornerScale / denominator;
    if (!fitsInSixteenBits(x16) || !fitsInSixteenBits(y16)) {
        return std::nullopt;
    }
    return FixedCorner{static_cast<std::int16_t>(x16), static_cast<std::int16_t>(y16)};
}

} // namespace kavro
