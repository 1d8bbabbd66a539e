#include "engine/localise/outline.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>

namespace kavro {

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

constexpr int noDirection = -1;

std::int16_t narrow(int value) {
    return static_cast<std::int16_t>(value);
}

bool insideMargin(const BytePlane& plane, int x, int y, int margin) {
    return x >= margin && y >= margin && x < plane.width - margin && y < plane.height - margin;
}

bool insideRect(const TraceRect& rect, int x, int y) {
    return x >= rect.minX && x <= rect.maxX && y >= rect.minY && y <= rect.maxY;
}

// Widens `rect` to take in `points` one by one.
void widenRectByPoints(TraceRect& rect, std::span<const EdgePoint> points) {
    for (const EdgePoint& p : points) {
        rect.minX = std::min(rect.minX, p.x);
        rect.maxX = std::max(rect.maxX, p.x);
        rect.minY = std::min(rect.minY, p.y);
        rect.maxY = std::max(rect.maxY, p.y);
    }
}

// Widens `rect` to take in every point. Blocks of eight points, read as 24
// coordinates, are folded into minima and maxima per coordinate slot, which
// the compiler keeps in vector registers: slot i holds x values when i % 3 is
// 0 and y values when it is 1. The coordinates are read one by one straight
// from the points; copied block-wise into a local array first, they would
// pass through the stack on every block.
void widenRect(TraceRect& rect, std::span<const EdgePoint> points) {
    constexpr std::size_t blockPoints = 8;
    constexpr std::size_t coordinates = 3; // x, y, spare
    constexpr std::size_t slots = blockPoints * coordinates;
    using Block = std::array<std::int16_t, slots>;
    static_assert(sizeof(EdgePoint) == coordinates * sizeof(std::int16_t));

    const std::size_t blocked = points.size() - points.size() % blockPoints;
    if (blocked > 0) {
        Block low;
        Block high;
        low.fill(std::numeric_limits<std::int16_t>::max());
        high.fill(std::numeric_limits<std::int16_t>::min());
        const auto* bytes = reinterpret_cast<const unsigned char*>(points.data());
        for (std::size_t i = 0; i < blocked * coordinates; i += slots) {
            for (std::size_t k = 0; k < slots; ++k) {
                std::int16_t coordinate;
                std::memcpy(&coordinate, bytes + (i + k) * sizeof coordinate, sizeof coordinate);
                low[k] = std::min(low[k], coordinate);
                high[k] = std::max(high[k], coordinate);
            }
        }
        for (std::size_t k = 0; k < slots; k += coordinates) {
            rect.minX = std::min(rect.minX, low[k]);
            rect.maxX = std::max(rect.maxX, high[k]);
            rect.minY = std::min(rect.minY, low[k + 1]);
            rect.maxY = std::max(rect.maxY, high[k + 1]);
        }
    }
    widenRectByPoints(rect, points.subspan(blocked));
}

// Where the walker stands: as coordinates and as a pointer into the plane.
// The walk keeps it in local variables, apart from anything written through
// pointers, so that it stays in registers.
struct Position {
    const std::uint8_t* at;
    int x;
    int y;
};

// The eight neighbours of a position as byte offsets, and the threshold above
// which a pixel belongs to the object. The offsets repeat three times over,
// so that a direction plus a turn of up to two rounds needs no reduction to
// 0..7.
class Neighbourhood {
public:
    Neighbourhood(const BytePlane& plane, int threshold) : threshold_(threshold) {
        for (std::size_t d = 0; d < offsets_.size(); ++d) {
            const Step& step = steps[d % directionCount];
            offsets_[d] = step.dx + static_cast<std::ptrdiff_t>(step.dy) * plane.width;
        }
    }

    std::optional<int> initialDirection(const std::uint8_t* at) const {
        for (const auto& [background, object] : initialPairs) {
            if (!this->object(at, offsets_.data(), background) &&
                this->object(at, offsets_.data(), object)) {
                return object;
            }
        }
        return std::nullopt;
    }

    // The first turn from firstTurn to lastTurn whose neighbour is object while
    // the one before it is background, as a direction 0..7; noDirection at a
    // dead end. Skipping the object run and then the background run that
    // follows it reads each neighbour at most once.
    int nextDirection(const std::uint8_t* at, int direction) const {
        return skipObjects<firstTurn - 1>(at, offsets_.data() + direction, direction);
    }

    void move(Position& position, int direction) const {
        const auto d = static_cast<std::size_t>(direction);
        position.at += offsets_[d];
        position.x += steps[d].dx;
        position.y += steps[d].dy;
    }

private:
    bool object(const std::uint8_t* at, const std::ptrdiff_t* turns, int turn) const {
        return at[turns[turn]] > threshold_;
    }

    // The two runs of the turn search, unrolled: `turns` points at the offset
    // of the current direction.
    template <int turn>
    int skipObjects(const std::uint8_t* at, const std::ptrdiff_t* turns, int direction) const {
        if constexpr (turn == lastTurn) {
            return noDirection;
        } else if (object(at, turns, turn)) {
            return skipObjects<turn + 1>(at, turns, direction);
        } else {
            return firstObject<turn + 1>(at, turns, direction);
        }
    }

    template <int turn>
    int firstObject(const std::uint8_t* at, const std::ptrdiff_t* turns, int direction) const {
        if constexpr (turn > lastTurn) {
            return noDirection;
        } else if (object(at, turns, turn)) {
            return (direction + turn) & (directionCount - 1);
        } else {
            return firstObject<turn + 1>(at, turns, direction);
        }
    }

    int threshold_;
    std::array<std::ptrdiff_t, 3 * directionCount> offsets_{};
};

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

// Where the walk may go: the columns and rows borderMargin or more from the
// plane's edges.
struct WalkBounds {
    int lastX;
    int lastY;

    explicit WalkBounds(const BytePlane& plane)
        : lastX(plane.width - borderMargin - 1), lastY(plane.height - borderMargin - 1) {}

    // How many one-pixel steps from (x, y) certainly stay inside; negative
    // when (x, y) itself lies outside.
    int reach(int x, int y) const {
        return std::min({x - borderMargin, lastX - x, y - borderMargin, lastY - y});
    }
};

// The outline as it is recorded: its points, the rows at which it passes the
// probe column, and its bounding rectangle, which takes the points in in
// batches: all of them before a retreat drops some, the rest at the end.
class Recording {
public:
    Recording(OutlinePoints& points, TraceRect& rect, ProbeColumn* probe)
        : first_(points.data()), end_(points.data() + points.size()), next_(first_),
          widened_(first_), rect_(rect), probe_(probe), probeX_(probe != nullptr ? probe->x : 0) {}

    int count() const { return static_cast<int>(next_ - first_); }
    bool full() const { return next_ == end_; }
    bool probed() const { return probe_ != nullptr; }

    // `probed` tells whether there is a probe.
    template <bool probed>
    void record(int x, int y) {
        *next_++ = {{narrow(x), narrow(y)}, 0};
        if constexpr (probed) {
            if (x == probeX_ && probe_->count < maxProbeValues) {
                probe_->values[static_cast<std::size_t>(probe_->count++)] = y;
            }
        }
    }

    bool retreat() {
        widen();
        int kept = count();
        const bool retreated = kavro::retreat(kept);
        next_ = first_ + kept;
        widened_ = next_;
        return retreated;
    }

    void widen() {
        widenRect(rect_, std::span<const EdgePoint>(widened_, next_));
        widened_ = next_;
    }

private:
    EdgePoint* first_;
    EdgePoint* end_;
    EdgePoint* next_;
    EdgePoint* widened_;
    TraceRect& rect_;
    ProbeColumn* probe_;
    int probeX_;
};

// Watches a walk for a loop that misses its start. Each step is decided by
// where the walker stands and which way it faces; once that state comes round
// again, the walk circles for ever without reaching the start or the plane's
// border, and can only end by failing (the recording fills, the dead ends run
// out, or it stays outside its limit). Brent's method: the state is saved
// after 1, 2, 4, 8, ... steps and each state is compared with the last saved.
class LoopWatch {
public:
    LoopWatch(const std::uint8_t* at, int direction) : savedAt_(at), savedDirection_(direction) {}

    bool repeats(const std::uint8_t* at, int direction) {
        if (at == savedAt_ && direction == savedDirection_) {
            return true;
        }
        if (++steps_ == period_) {
            savedAt_ = at;
            savedDirection_ = direction;
            period_ *= 2;
            steps_ = 0;
        }
        return false;
    }

private:
    const std::uint8_t* savedAt_;
    int savedDirection_;
    int steps_ = 0;
    int period_ = 1;
};

// Walks the outline from the walker's position in `direction` and records it.
// A limited walk records only points inside `limit` and gives up after
// maxOutlinePoints steps in a row outside it. A walk caught in a loop that
// misses the start gives up at once, as it would fail in the end.
template <bool limited, bool probed>
int walkOutline(const Neighbourhood& around, Position position, int direction,
                const TraceRect& limit, const WalkBounds& bounds, Recording& recording) {
    const std::uint8_t* const start = position.at;
    // The bounds are checked again only once the steps taken could have left them.
    int reach = bounds.reach(position.x, position.y);
    int outside = 0;
    int deadEnds = 0;
    LoopWatch loop(start, direction);
    while (!recording.full() && outside < maxOutlinePoints) {
        const int turned = around.nextDirection(position.at, direction);
        if (turned != noDirection) {
            direction = turned;
        } else {
            direction = (direction + reverseTurn) % directionCount;
            if (!recording.retreat() || ++deadEnds > maxDeadEnds) {
                return 0;
            }
        }
        if (limited && !insideRect(limit, position.x, position.y)) {
            ++outside;
        } else {
            recording.record<probed>(position.x, position.y);
            outside = 0;
        }
        around.move(position, direction);
        if (--reach < 0) {
            reach = bounds.reach(position.x, position.y);
        }
        if (position.at == start || reach < 0) {
            const bool closed = recording.count() >= minOutlinePoints && turned != noDirection;
            return closed ? recording.count() : 0;
        }
        if (loop.repeats(position.at, direction)) {
            return 0;
        }
    }
    return 0;
}

template <bool limited>
int walkOutline(const Neighbourhood& around, const Position& start, int direction,
                const TraceRect& limit, const WalkBounds& bounds, Recording& recording) {
    return recording.probed()
               ? walkOutline<limited, true>(around, start, direction, limit, bounds, recording)
               : walkOutline<limited, false>(around, start, direction, limit, bounds, recording);
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

// The extreme points of an outline, as measureOutline gathers them; minima
// that no point sets stay at 512, maxima at 0.
struct OutlineExtremes {
    Point<int> left{unsetMinimum, unsetMinimum};
    Point<int> right{unsetMaximum, unsetMaximum};
    Point<int> top{unsetMinimum, unsetMinimum};
    Point<int> bottom{unsetMaximum, unsetMaximum};
    Point<int> midLeft{unsetMinimum, unsetMinimum};
    Point<int> midRight{unsetMaximum, unsetMaximum};
    Point<int> midTop{unsetMinimum, unsetMinimum};
    Point<int> midBottom{unsetMaximum, unsetMaximum};
};

BoxPoint narrow(const Point<int>& point) {
    return {narrow(point.x), narrow(point.y)};
}

// An extreme point of a box: which one, along which axis, and whether it is
// the least (-1) or greatest (+1) coordinate there.
struct Extreme {
    BoxPoint CharBox::*point;
    std::int16_t BoxPoint::*axis;
    int outward;
};

constexpr std::array<Extreme, 8> boxExtremes{{
    {&CharBox::left, &BoxPoint::x, -1},
    {&CharBox::midLeft, &BoxPoint::x, -1},
    {&CharBox::right, &BoxPoint::x, +1},
    {&CharBox::midRight, &BoxPoint::x, +1},
    {&CharBox::top, &BoxPoint::y, -1},
    {&CharBox::midTop, &BoxPoint::y, -1},
    {&CharBox::bottom, &BoxPoint::y, +1},
    {&CharBox::midBottom, &BoxPoint::y, +1},
}};

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
        profile.push_back({{narrow(edge), sorted[i].y}, 0});
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
    const Neighbourhood around(plane, threshold);
    const Position start{plane.pixels.data() + static_cast<std::ptrdiff_t>(startY) * plane.width +
                             startX,
                         startX, startY};
    const std::optional<int> direction = around.initialDirection(start.at);
    if (!direction) {
        return 0;
    }
    const WalkBounds bounds(plane);
    Recording recording(points, rect, probe);
    const int count = useLimit
                          ? walkOutline<true>(around, start, *direction, limit, bounds, recording)
                          : walkOutline<false>(around, start, *direction, limit, bounds, recording);
    recording.widen();
    return count;
}

void measureRect(const TraceRect& rect, CharBox& box) {
    box.traced = BoxOrigin::traced;
    box.centre.x = narrow((rect.minX + rect.maxX + 1) / 2);
    box.centre.y = narrow((rect.minY + rect.maxY + 1) / 2);
    box.width = narrow(rect.maxX - rect.minX + 1);
    box.height = narrow(rect.maxY - rect.minY + 1);
}

void measureOutline(const TraceRect& rect, CharBox& box, std::span<const EdgePoint> points) {
    measureRect(rect, box);
    const int cx = box.centre.x;
    const int cy = box.centre.y;
    // Gathered in local variables, which the compiler keeps in registers,
    // and only then written to the box.
    OutlineExtremes e;
    for (const EdgePoint& p : points) {
        if (takesExtreme(-p.x, -e.left.x, p.y - cy, e.left.y - cy)) {
            e.left = {p.x, p.y};
        }
        if (takesExtreme(p.x, e.right.x, p.y - cy, e.right.y - cy)) {
            e.right = {p.x, p.y};
        }
        if (takesExtreme(-p.y, -e.top.y, p.x - cx, e.top.x - cx)) {
            e.top = {p.x, p.y};
        }
        if (takesExtreme(p.y, e.bottom.y, p.x - cx, e.bottom.x - cx)) {
            e.bottom = {p.x, p.y};
        }
        if (std::abs(p.y - cy) <= 1) {
            if (p.x < e.midLeft.x) {
                e.midLeft = {p.x, p.y};
            }
            if (p.x > e.midRight.x) {
                e.midRight = {p.x, p.y};
            }
        }
        if (std::abs(p.x - cx) <= 1) {
            if (p.y < e.midTop.y) {
                e.midTop = {p.x, p.y};
            }
            if (p.y > e.midBottom.y) {
                e.midBottom = {p.x, p.y};
            }
        }
    }
    box.left = narrow(e.left);
    box.right = narrow(e.right);
    box.top = narrow(e.top);
    box.bottom = narrow(e.bottom);
    box.midLeft = narrow(e.midLeft);
    box.midRight = narrow(e.midRight);
    box.midTop = narrow(e.midTop);
    box.midBottom = narrow(e.midBottom);
}

// The least and greatest coordinates of the points, bounded by the start
// values of measureOutline as its comparisons bound them.
void measureOutlineFrame(const TraceRect& rect, CharBox& box, std::span<const EdgePoint> points) {
    measureRect(rect, box);
    TraceRect extent{unsetMinimum, unsetMaximum, unsetMinimum, unsetMaximum};
    widenRect(extent, points);
    box.left = box.midLeft = {extent.minX, box.centre.y};
    box.right = box.midRight = {extent.maxX, box.centre.y};
    box.top = box.midTop = {box.centre.x, extent.minY};
    box.bottom = box.midBottom = {box.centre.x, extent.maxY};
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
    box.traced = BoxOrigin::synthesised;
    box.left = box.midLeft = narrow(Point<int>{centreX - halfWidth, centreY});
    box.right = box.midRight = narrow(Point<int>{centreX + halfWidth, centreY});
    box.top = box.midTop = narrow(Point<int>{centreX, centreY - halfHeight});
    box.bottom = box.midBottom = narrow(Point<int>{centreX, centreY + halfHeight});
    box.centre = narrow(Point<int>{centreX, centreY});
    box.width = narrow(width);
    box.height = narrow(height);
}

CharBox& mergeBoxes(const CharBox& source, CharBox& target) {
    for (const Extreme& extreme : boxExtremes) {
        const BoxPoint& candidate = source.*extreme.point;
        BoxPoint& kept = target.*extreme.point;
        if ((candidate.*extreme.axis - kept.*extreme.axis) * extreme.outward > 0) {
            kept = candidate;
        }
    }
    target.centre.x = narrow((target.left.x + target.right.x) / 2);
    target.centre.y = narrow((target.top.y + target.bottom.y) / 2);
    target.width = narrow(target.right.x - target.left.x + 1);
    target.height = narrow(target.bottom.y - target.top.y + 1);
    return target;
}

void buildLeftProfile(CharBox& box, std::span<EdgePoint> points) {
    std::sort(points.begin(), points.end(), byRowThenColumn);
    box.leftProfile = edgeProfile(points, box.right.x, +1);
}

void buildRightProfile(CharBox& box, std::span<EdgePoint> points) {
    std::sort(points.rbegin(), points.rend(), byRowThenColumn);
    box.rightProfile = edgeProfile(points, box.left.x, -1);
}

} // namespace kavro
