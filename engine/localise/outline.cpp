#include "engine/localise/outline.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <optional>

namespace {

constexpr int directionCount = 8;
constexpr int reverseTurn = 4;
// The next direction is searched from two steps anticlockwise of the current
// one round to three steps clockwise.
constexpr int firstTurn = 6;
constexpr int lastTurn = 11;
constexpr int longRetreat = 6; // points dropped at a dead end
constexpr int shortRetreat = 4;
constexpr int maxDeadEnds = 10;
constexpr int minOutlinePoints = 9;
constexpr int borderMargin = 2; // the walk stops this close to the plane's edge
constexpr int startMargin = 1;  // starts need all eight neighbours inside the plane
constexpr std::int16_t unlimited = 32767;
constexpr int seekSideMargin = 50;
constexpr int seekTopMargin = 50;
constexpr int seekTopStop = 30;
constexpr std::int16_t unsetMinimum = 512;
constexpr std::int16_t unsetMaximum = 0;
constexpr int profileJump = 3; // an edge may move inwards by less than this per row

struct Step {
    int dx;
    int dy;
};

// Directions 0..7 clockwise on screen, starting east.
constexpr std::array<Step, directionCount> steps{
    {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}}};

// Neighbour pairs (background, object) that fix the initial direction.
constexpr std::array<std::array<int, 2>, directionCount> initialPairs{
    {{3, 4}, {4, 5}, {5, 6}, {6, 7}, {7, 0}, {0, 1}, {1, 2}, {2, 3}}};

std::int16_t narrow(int value) {
    return static_cast<std::int16_t>(value);
}

bool insideMargin(const BytePlane& plane, int x, int y, int margin) {
    return x >= margin && y >= margin && x < plane.width - margin && y < plane.height - margin;
}

bool insideRect(const TraceRect& rect, int x, int y) {
    return x >= rect.minX && x <= rect.maxX && y >= rect.minY && y <= rect.maxY;
}

void widenRect(TraceRect& rect, int x, int y) {
    if (x < rect.minX) {
        rect.minX = narrow(x);
    } else if (x > rect.maxX) {
        rect.maxX = narrow(x);
    }
    if (y < rect.minY) {
        rect.minY = narrow(y);
    } else if (y > rect.maxY) {
        rect.maxY = narrow(y);
    }
}

// The eight neighbours of the walker's position, as byte offsets that move
// with it. The offsets repeat three times over, so that a direction plus a
// turn of up to two rounds needs no reduction to 0..7.
class Neighbourhood {
public:
    Neighbourhood(const BytePlane& plane, int threshold, int x, int y)
        : pixels_(plane.pixels.data()), threshold_(threshold),
          index_(static_cast<std::ptrdiff_t>(y) * plane.width + x) {
        for (std::size_t d = 0; d < offsets_.size(); ++d) {
            const Step& step = steps[d % directionCount];
            offsets_[d] = step.dx + static_cast<std::ptrdiff_t>(step.dy) * plane.width;
        }
    }

    // `direction` lies in 0 .. 3 * directionCount - 1.
    bool object(int direction) const {
        return pixels_[index_ + offsets_[static_cast<std::size_t>(direction)]] > threshold_;
    }
    bool edge(int background, int object) const {
        return !this->object(background) && this->object(object);
    }
    void move(int direction) { index_ += offsets_[static_cast<std::size_t>(direction)]; }

private:
    const std::uint8_t* pixels_;
    int threshold_;
    std::ptrdiff_t index_;
    std::array<std::ptrdiff_t, 3 * directionCount> offsets_{};
};

std::optional<int> initialDirection(const Neighbourhood& around) {
    for (const auto& [background, object] : initialPairs) {
        if (around.edge(background, object)) {
            return object;
        }
    }
    return std::nullopt;
}

// Each neighbour is read once: the object side of one pair is the background
// side of the next.
std::optional<int> nextDirection(const Neighbourhood& around, int direction) {
    bool previous = around.object(direction + firstTurn - 1);
    for (int s = firstTurn; s <= lastTurn; ++s) {
        const bool current = around.object(direction + s);
        if (!previous && current) {
            return (direction + s) % directionCount;
        }
        previous = current;
    }
    return std::nullopt;
}

// Drops the last points recorded before a dead end; false when too few.
bool retreat(int& count) {
    for (const int drop : {longRetreat, shortRetreat}) {
        if (count >= drop) {
            count -= drop;
            return true;
        }
    }
    return false;
}

void recordProbe(ProbeColumn* probe, int x, int y) {
    if (probe != nullptr && x == probe->x && probe->count < maxProbeValues) {
        probe->values[probe->count++] = y;
    }
}

int traceAndMeasure(const BytePlane& plane, int threshold, int x, int y, OutlinePoints& points,
                    TraceRect& rect, CharBox& box, bool useLimit) {
    const int count = traceOutline(plane, threshold, nullptr, x, y, points, rect, useLimit);
    if (count > 0) {
        measureOutline(rect, box, std::span(points).first(count));
    }
    return count;
}

// Takes `candidate` when it lies further out along one axis, or as far out
// and nearer the centre along the other.
bool takesExtreme(int candidateOut, int currentOut, int candidateOff, int currentOff) {
    return candidateOut > currentOut ||
           (candidateOut == currentOut && std::abs(candidateOff) < std::abs(currentOff));
}

void setPoint(std::int16_t& x, std::int16_t& y, int newX, int newY) {
    x = narrow(newX);
    y = narrow(newY);
}

bool byRowThenColumn(const EdgePoint& a, const EdgePoint& b) {
    return a.y != b.y ? a.y < b.y : a.x < b.x;
}

// One point per row: the first point of each row in the sorted order, kept
// only while it moves inwards (`inward` = +1 rightwards, -1 leftwards) by
// less than profileJump; otherwise the previous edge is repeated.
std::vector<EdgePoint> edgeProfile(std::span<const EdgePoint> sorted, int start, int inward) {
    std::vector<EdgePoint> profile;
    profile.reserve(sorted.size());
    int edge = start;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (i > 0 && sorted[i].y == sorted[i - 1].y) {
            continue;
        }
        if ((sorted[i].x - edge) * inward < profileJump) {
            edge = sorted[i].x;
        }
        profile.push_back({narrow(edge), sorted[i].y, 0});
    }
    return profile;
}

} // namespace

int traceOutline(const BytePlane& plane, int threshold, ProbeColumn* probe, int startX, int startY,
                 OutlinePoints& points, TraceRect& rect, bool useLimit) {
    const TraceRect limit = useLimit ? rect : TraceRect{0, unlimited, 0, unlimited};
    if (probe != nullptr) {
        probe->count = 0;
    }
    rect = {narrow(startX), narrow(startX), narrow(startY), narrow(startY)};
    if (!plane.valid() || !insideMargin(plane, startX, startY, startMargin)) {
        return 0;
    }
    Neighbourhood around(plane, threshold, startX, startY);
    std::optional<int> direction = initialDirection(around);
    if (!direction) {
        return 0;
    }
    // The walk's bounds, held apart from the plane: the probe's rows are written
    // through a pointer that could otherwise alias the plane's sides.
    const int lastX = plane.width - borderMargin - 1;
    const int lastY = plane.height - borderMargin - 1;
    const auto walkable = [&](int px, int py) {
        return px >= borderMargin && py >= borderMargin && px <= lastX && py <= lastY;
    };
    int x = startX;
    int y = startY;
    int count = 0;
    int outside = 0;
    int deadEnds = 0;
    while (count < maxOutlinePoints && outside < maxOutlinePoints) {
        const std::optional<int> turned = nextDirection(around, *direction);
        if (turned) {
            direction = turned;
        } else {
            direction = (*direction + reverseTurn) % directionCount;
            if (!retreat(count) || ++deadEnds > maxDeadEnds) {
                return 0;
            }
        }
        if (useLimit && !insideRect(limit, x, y)) {
            ++outside;
        } else {
            points[count++] = {narrow(x), narrow(y), 0};
            widenRect(rect, x, y);
            recordProbe(probe, x, y);
            outside = 0;
        }
        x += steps[*direction].dx;
        y += steps[*direction].dy;
        around.move(*direction);
        if ((x == startX && y == startY) || !walkable(x, y)) {
            return count >= minOutlinePoints && turned ? count : 0;
        }
    }
    return 0;
}

void measureOutline(const TraceRect& rect, CharBox& box, std::span<const EdgePoint> points) {
    box.traced = 1;
    box.centreX = narrow((rect.minX + rect.maxX + 1) / 2);
    box.centreY = narrow((rect.minY + rect.maxY + 1) / 2);
    box.width = narrow(rect.maxX - rect.minX + 1);
    box.height = narrow(rect.maxY - rect.minY + 1);
    box.leftX = box.leftY = box.topX = box.topY = unsetMinimum;
    box.midLeftX = box.midLeftY = box.midTopX = box.midTopY = unsetMinimum;
    box.rightX = box.rightY = box.bottomX = box.bottomY = unsetMaximum;
    box.midRightX = box.midRightY = box.midBottomX = box.midBottomY = unsetMaximum;
    const int cx = box.centreX;
    const int cy = box.centreY;
    for (const EdgePoint& p : points) {
        if (takesExtreme(-p.x, -box.leftX, p.y - cy, box.leftY - cy)) {
            setPoint(box.leftX, box.leftY, p.x, p.y);
        }
        if (takesExtreme(p.x, box.rightX, p.y - cy, box.rightY - cy)) {
            setPoint(box.rightX, box.rightY, p.x, p.y);
        }
        if (takesExtreme(-p.y, -box.topY, p.x - cx, box.topX - cx)) {
            setPoint(box.topX, box.topY, p.x, p.y);
        }
        if (takesExtreme(p.y, box.bottomY, p.x - cx, box.bottomX - cx)) {
            setPoint(box.bottomX, box.bottomY, p.x, p.y);
        }
        if (std::abs(p.y - cy) <= 1) {
            if (p.x < box.midLeftX) {
                setPoint(box.midLeftX, box.midLeftY, p.x, p.y);
            }
            if (p.x > box.midRightX) {
                setPoint(box.midRightX, box.midRightY, p.x, p.y);
            }
        }
        if (std::abs(p.x - cx) <= 1) {
            if (p.y < box.midTopY) {
                setPoint(box.midTopX, box.midTopY, p.x, p.y);
            }
            if (p.y > box.midBottomY) {
                setPoint(box.midBottomX, box.midBottomY, p.x, p.y);
            }
        }
    }
}

int seekLeftAndTrace(const BytePlane& plane, int threshold, int startX, int startY,
                     OutlinePoints& points, TraceRect& rect, CharBox& box) {
    if (!plane.valid() || !plane.contains(startX, startY)) {
        return 0;
    }
    int x = startX;
    while (plane.at(x, startY) < threshold) {
        if (x <= seekSideMargin) {
            return 0;
        }
        --x;
    }
    if (x <= seekSideMargin) {
        return 0;
    }
    return traceAndMeasure(plane, threshold, x, startY, points, rect, box, false);
}

int seekRightAndTrace(const BytePlane& plane, int threshold, int startX, int startY,
                      OutlinePoints& points, TraceRect& rect, CharBox& box, bool useLimit) {
    if (!plane.valid() || !plane.contains(startX, startY)) {
        return 0;
    }
    const int stopX = plane.width - seekSideMargin;
    int x = startX;
    while (plane.at(x, startY) < threshold && x < stopX) {
        ++x;
    }
    if (x >= stopX) {
        return 0;
    }
    return traceAndMeasure(plane, threshold, x, startY, points, rect, box, useLimit);
}

int seekUpAndTrace(const BytePlane& plane, int threshold, int startX, int startY,
                   OutlinePoints& points, TraceRect& rect, CharBox& box) {
    if (!plane.valid() || !plane.contains(startX, startY)) {
        return 0;
    }
    int y = startY;
    while (plane.at(startX, y) < threshold && y > seekTopStop) {
        --y;
    }
    if (y <= seekTopMargin) {
        return 0;
    }
    return traceAndMeasure(plane, threshold, startX, y, points, rect, box, false);
}

void synthesiseBox(CharBox& box, int centreX, int centreY, int width, int height) {
    const int halfWidth = (width + 1) / 2;
    const int halfHeight = (height + 1) / 2;
    box.traced = 0;
    box.leftX = box.midLeftX = narrow(centreX - halfWidth);
    box.rightX = box.midRightX = narrow(centreX + halfWidth);
    box.leftY = box.rightY = box.midLeftY = box.midRightY = narrow(centreY);
    box.topY = box.midTopY = narrow(centreY - halfHeight);
    box.bottomY = box.midBottomY = narrow(centreY + halfHeight);
    box.topX = box.bottomX = box.midTopX = box.midBottomX = narrow(centreX);
    box.centreX = narrow(centreX);
    box.centreY = narrow(centreY);
    box.width = narrow(width);
    box.height = narrow(height);
}

CharBox& mergeBoxes(const CharBox& source, CharBox& target) {
    if (source.leftX < target.leftX) {
        setPoint(target.leftX, target.leftY, source.leftX, source.leftY);
    }
    if (source.midLeftX < target.midLeftX) {
        setPoint(target.midLeftX, target.midLeftY, source.midLeftX, source.midLeftY);
    }
    if (source.rightX > target.rightX) {
        setPoint(target.rightX, target.rightY, source.rightX, source.rightY);
    }
    if (source.midRightX > target.midRightX) {
        setPoint(target.midRightX, target.midRightY, source.midRightX, source.midRightY);
    }
    if (source.topY < target.topY) {
        setPoint(target.topX, target.topY, source.topX, source.topY);
    }
    if (source.midTopY < target.midTopY) {
        setPoint(target.midTopX, target.midTopY, source.midTopX, source.midTopY);
    }
    if (source.bottomY > target.bottomY) {
        setPoint(target.bottomX, target.bottomY, source.bottomX, source.bottomY);
    }
    if (source.midBottomY > target.midBottomY) {
        setPoint(target.midBottomX, target.midBottomY, source.midBottomX, source.midBottomY);
    }
    target.centreX = narrow((target.leftX + target.rightX) / 2);
    target.centreY = narrow((target.topY + target.bottomY) / 2);
    target.width = narrow(target.rightX - target.leftX + 1);
    target.height = narrow(target.bottomY - target.topY + 1);
    return target;
}

void buildLeftProfile(CharBox& box, std::span<EdgePoint> points) {
    std::sort(points.begin(), points.end(), byRowThenColumn);
    box.leftProfile = edgeProfile(points, box.rightX, +1);
}

void buildRightProfile(CharBox& box, std::span<EdgePoint> points) {
    std::sort(points.rbegin(), points.rend(), byRowThenColumn);
    box.rightProfile = edgeProfile(points, box.leftX, -1);
}
