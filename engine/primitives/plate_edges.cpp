#include "engine/primitives/plate_edges.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace kavro {

namespace {

constexpr int fixedOne = 65536;
constexpr int steepSlope = 2000; // beyond this, side scans start perpendicular to the row
constexpr int sideStartGap = 2;  // side scans start this far outside the box
constexpr int minSidePoints = 3;
constexpr int rowPassKeep = 10;    // a first top/bottom pass with more points is kept
constexpr int sidePassKeep = 5;    // likewise for the sides
constexpr int rowRetryFactor = 3;  // top/bottom: second pass when 3 x failures > points
constexpr int sideRetryFactor = 8; // sides: second pass when points < 8 x failures

struct Position {
    int x;
    int y;
};

// Moves a walk along `step` (one pixel left, right, up or down) can make from
// `at` without leaving the plane.
int roomAhead(const BytePlane& plane, Position at, Position step) {
    if (step.x != 0) {
        return step.x > 0 ? plane.width - 1 - at.x : at.x;
    }
    return step.y > 0 ? plane.height - 1 - at.y : at.y;
}

// One straight walk: from the start over pixels of the first kind, then of the
// other; the pixel that ends the second run, or none when `budget` moves are
// spent first (the pixel reached by the last move is not tested) or the walk
// leaves the plane. `step` moves one pixel along a row or a column.
std::optional<Position> walk(const BytePlane& plane, int threshold, Position at, Position step,
                             bool brightFirst, int budget) {
    if (!plane.contains(at.x, at.y)) {
        return std::nullopt;
    }
    const int room = roomAhead(plane, at, step);
    const std::ptrdiff_t stride = step.x + static_cast<std::ptrdiff_t>(step.y) * plane.width;
    const std::uint8_t* pixel = &plane.pixels[static_cast<std::size_t>(at.y) * plane.width + at.x];
    int moves = 0;
    for (const bool bright : {brightFirst, !brightFirst}) {
        while ((*pixel >= threshold) == bright) {
            if (++moves >= budget || moves > room) {
                return std::nullopt;
            }
            pixel += stride;
        }
    }
    return Position{at.x + moves * step.x, at.y + moves * step.y};
}

EdgePoint point(int x, int y) {
    return {{static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)}, 0};
}

struct Pass {
    std::vector<EdgePoint> points;
    int failures = 0;
};

// Top (outward -1) or bottom (+1) border: a first pass from inside the box
// outward over the character, then the background; a second pass from two
// half-heights out inward when the first failed often.
int rowEdgePoints(const BytePlane& plane, int threshold, const CharBox& box, int outward,
                  std::vector<EdgePoint>& out) {
    const int firstX = box.centre.x - (9 * box.width) / 16;
    const int columns = box.width + box.width / 8;
    const int budget = box.height - box.height / 2;
    const auto scan = [&](int startY, int direction, bool brightFirst, int recordOffset) {
        Pass pass;
        for (int x = firstX; x < firstX + columns; ++x) {
            const auto end =
                walk(plane, threshold, {x, startY}, {0, direction}, brightFirst, budget);
            if (end) {
                pass.points.push_back(point(x, end->y + recordOffset));
            } else {
                ++pass.failures;
            }
        }
        return pass;
    };
    Pass first = scan(box.centre.y + outward * (box.height / 2), outward, true, 0);
    const int firstCount = static_cast<int>(first.points.size());
    Pass second;
    if (rowRetryFactor * first.failures > firstCount) {
        second = scan(box.centre.y + outward * box.height, -outward, false, outward);
    }
    const bool keepFirst = firstCount > rowPassKeep || first.points.size() > second.points.size();
    const std::vector<EdgePoint>& kept = keepFirst ? first.points : second.points;
    out.insert(out.end(), kept.begin(), kept.end());
    return static_cast<int>(kept.size());
}

// Geometry of one side: left (outward -1, rows from the bottom up) or right
// (outward +1, rows from the top down).
struct Side {
    int outward;
    int edgeX;
    int firstRow;
    int rowStep;
};

// Start columns of the rows of a side scan from base column xb: straight down
// the column, or along the perpendicular of a steep centre line.
class StartColumns {
public:
    StartColumns(int base, int centreSlope, const Side& side)
        : base_(base), slope_(centreSlope), rowStep_(side.rowStep),
          steep_(std::abs(centreSlope) > steepSlope) {
        if (steep_) {
            const std::int64_t y0 = std::int64_t{base} * fixedOne / centreSlope + side.firstRow;
            a_ = (y0 - side.firstRow) * centreSlope;
        }
    }
    int next() {
        if (!steep_) {
            return base_;
        }
        const int column = static_cast<int>(a_ >> 16);
        a_ -= std::int64_t{rowStep_} * slope_;
        return column;
    }

private:
    int base_;
    int slope_;
    int rowStep_;
    bool steep_;
    std::int64_t a_ = 0;
};

int sideRowPoints(const BytePlane& plane, int threshold, int centreSlope, const CharBox& box,
                  const Side& side, std::vector<EdgePoint>& out) {
    const int budget = box.width - box.width / 4;
    const auto scan = [&](int base, int direction, bool brightFirst, int recordOffset) {
        Pass pass;
        StartColumns starts(base, centreSlope, side);
        for (int k = 0; k < box.height; ++k) {
            const int y = side.firstRow + k * side.rowStep;
            const auto end =
                walk(plane, threshold, {starts.next(), y}, {direction, 0}, brightFirst, budget);
            if (end) {
                pass.points.push_back(point(end->x + recordOffset, y));
            } else {
                ++pass.failures;
            }
        }
        return pass;
    };
    Pass first = scan(side.edgeX + side.outward * sideStartGap, side.outward, true, 0);
    const int firstCount = static_cast<int>(first.points.size());
    Pass second;
    if (firstCount < sideRetryFactor * first.failures) {
        second =
            scan(side.edgeX + side.outward * (box.width / 2), -side.outward, false, side.outward);
    }
    const bool keepFirst = firstCount > sidePassKeep || first.points.size() > second.points.size();
    out = keepFirst ? std::move(first.points) : std::move(second.points);
    return static_cast<int>(out.size());
}

// Side points from a character's edge profile: one walk outward per profile
// point, starting just inside the character's edge.
int sideProfilePoints(const BytePlane& plane, int threshold, const CharBox& box,
                      const std::vector<EdgePoint>& profile, int outward,
                      std::vector<EdgePoint>& out) {
    const int budget = box.width + box.width / 4;
    out.clear();
    for (const EdgePoint& p : profile) {
        const auto end =
            walk(plane, threshold, {p.x - outward * sideStartGap, p.y}, {outward, 0}, true, budget);
        if (end) {
            out.push_back(point(end->x, p.y));
        }
    }
    return static_cast<int>(out.size());
}

int sideEdgePoints(const BytePlane& plane, int threshold, int centreSlope, const CharBox& box,
                   const std::vector<EdgePoint>& profile, const Side& side,
                   std::vector<EdgePoint>& out) {
    const int count = profile.empty()
                          ? sideRowPoints(plane, threshold, centreSlope, box, side, out)
                          : sideProfilePoints(plane, threshold, box, profile, side.outward, out);
    if (count < minSidePoints) {
        out.clear();
        return 0;
    }
    return count;
}

} // namespace

int topEdgePoints(const BytePlane& plane, int threshold, const CharBox& box,
                  std::vector<EdgePoint>& out) {
    return rowEdgePoints(plane, threshold, box, -1, out);
}

int bottomEdgePoints(const BytePlane& plane, int threshold, const CharBox& box,
                     std::vector<EdgePoint>& out) {
    return rowEdgePoints(plane, threshold, box, +1, out);
}

int leftEdgePoints(const BytePlane& plane, int threshold, int centreSlope, const CharBox& box,
                   std::vector<EdgePoint>& out) {
    return sideEdgePoints(plane, threshold, centreSlope, box, box.leftProfile,
                          {-1, box.left.x, box.bottom.y, -1}, out);
}

int rightEdgePoints(const BytePlane& plane, int threshold, int centreSlope, const CharBox& box,
                    std::vector<EdgePoint>& out) {
    return sideEdgePoints(plane, threshold, centreSlope, box, box.rightProfile,
                          {+1, box.right.x, box.top.y, +1}, out);
}

} // namespace kavro
