#pragma once
// Outline tracing over a thresholded byte plane, the reduction of an outline to
// a character box, and the box primitives used by localisation and
// segmentation.

#include "engine/primitives/byte_plane.h"
#include "engine/primitives/edge_point.h"
#include "engine/primitives/geometry.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kavro {

inline constexpr int maxOutlinePoints = 800;
inline constexpr int maxProbeValues = 16;

// Room for the points of one outline; callers keep one and reuse it.
using OutlinePoints = std::array<EdgePoint, maxOutlinePoints>;

// Bounding rectangle of a trace (inclusive); also the limit rectangle of a
// limited trace.
struct TraceRect {
    std::int16_t minX;
    std::int16_t maxX;
    std::int16_t minY;
    std::int16_t maxY;
};

// A column watched during a trace: the rows at which the outline passes
// column `x`, in tracing order, at most maxProbeValues of them.
struct ProbeColumn {
    int x = 0;
    std::array<std::int32_t, maxProbeValues> values{};
    int count = 0;

    std::span<const std::int32_t> rows() const { return std::span(values).first(count); }
};

// A point of a character box, in working-plane pixels.
using BoxPoint = Point<std::int16_t>;

// How a character box came about, coded as the record's first word.
enum class BoxOrigin : std::int16_t {
    synthesised = 0, // from the expected geometry of a character
    traced = 1,      // from a traced outline
};

// One character candidate: the extreme points of its traced outline, its
// bounding rectangle and, for the first and last character of a plate, the
// left and right edge profiles (one point per row). Minima that no point set
// stay at 512, maxima at 0.
struct CharBox {
    BoxOrigin traced = BoxOrigin::synthesised;
    BoxPoint left; // the outline point with the least x
    BoxPoint right;
    BoxPoint top; // the outline point with the least y
    BoxPoint bottom;
    BoxPoint midLeft; // leftmost point within one row of centre.y
    BoxPoint midRight;
    BoxPoint midTop; // topmost point within one column of centre.x
    BoxPoint midBottom;
    BoxPoint centre;
    std::int16_t width = 0;
    std::int16_t height = 0;
    std::vector<EdgePoint> leftProfile;
    std::vector<EdgePoint> rightProfile;

    int leftProfileCount() const { return static_cast<int>(leftProfile.size()); }
    int rightProfileCount() const { return static_cast<int>(rightProfile.size()); }
};
// The coordinates come in the order of the record's description: traced, then
// x and y of each point from left to midBottom and centre, then the size.
static_assert(sizeof(BoxPoint) == 2 * sizeof(std::int16_t));
static_assert(offsetof(CharBox, left) == sizeof(std::int16_t));
static_assert(offsetof(CharBox, centre) == 17 * sizeof(std::int16_t));
static_assert(offsetof(CharBox, height) == 20 * sizeof(std::int16_t));

// Follows the outline of the object (pixels above `threshold`) through the
// start pixel, clockwise on screen. Records at most maxOutlinePoints points
// into `points` and their bounding rectangle into `rect`; with `useLimit`,
// `rect` is first read as a limit and only points inside it are recorded.
// With a probe, the rows at which the outline passes probe->x are collected.
// Returns the number of points recorded (more than 8), or 0 when no outline
// could be followed. Starts on the outermost row or column of the plane are
// refused (0): a trace from there could never record more than one point.
int traceOutline(const BytePlane& plane, int threshold, ProbeColumn* probe, int startX, int startY,
                 OutlinePoints& points, TraceRect& rect, bool useLimit);

// The part of measureOutline that reads `rect` alone: traced, centre and size.
void measureRect(const TraceRect& rect, CharBox& box);

// Builds `box` (extreme points, centre, size; traced) from the points of
// one outline and their bounding rectangle. The profiles are left alone.
void measureOutline(const TraceRect& rect, CharBox& box, std::span<const EdgePoint> points);

// The frame of the box measureOutline builds, for callers that read no more:
// traced, centre and size from `rect`, and leftX, rightX, topY and bottomY as
// measureOutline finds them. The other coordinate of each extreme point is
// not sought: as in a synthesised box, it is the centre's, and the middle
// points equal the extreme points. One vectorised pass over the points.
void measureOutlineFrame(const TraceRect& rect, CharBox& box, std::span<const EdgePoint> points);

// Walk left from the start until a pixel reaches the threshold, then trace
// and measure. Fail (0) when the walk reaches x 50.
int seekLeftAndTrace(const BytePlane& plane, int threshold, int startX, int startY,
                     OutlinePoints& points, TraceRect& rect, CharBox& box);

// Walk right likewise (failing 50 pixels from the right edge), then trace,
// limited to `rect` when `useLimit` is set.
int seekRightAndTrace(const BytePlane& plane, int threshold, int startX, int startY,
                      OutlinePoints& points, TraceRect& rect, CharBox& box, bool useLimit);

// Walk up (never above row 30, failing at row 50 or above), then trace.
int seekUpAndTrace(const BytePlane& plane, int threshold, int startX, int startY,
                   OutlinePoints& points, TraceRect& rect, CharBox& box);

// Fills `box` from the expected geometry of a character (synthesised).
void synthesiseBox(CharBox& box, int centreX, int centreY, int width, int height);

// Widens `target` by every extreme point of `source` that lies further out,
// then recomputes its centre and size. Returns `target`.
CharBox& mergeBoxes(const CharBox& source, CharBox& target);

// The left edge of a character, one point per row, top to bottom: the edge
// may move left freely but right by at most 2 pixels from row to row. Sorts
// `points`.
void buildLeftProfile(CharBox& box, std::span<EdgePoint> points);

// The right edge, bottom to top, mirrored: it may move left by at most 2
// pixels from row to row. Sorts `points`.
void buildRightProfile(CharBox& box, std::span<EdgePoint> points);

} // namespace kavro
