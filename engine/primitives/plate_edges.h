#pragma once
// Edge points of a plate's borders around its character boxes. Each scan walks
// from a start pixel over pixels of one kind (bright: at or above the
// threshold), then over the other kind, and takes where the second run ends;
// a walk that runs out of moves or reaches the plane's edge yields no point.

#include "engine/localise/outline.h"
#include "engine/primitives/byte_plane.h"
#include "engine/primitives/edge_point.h"

#include <vector>

namespace kavro {

// Points of the top border above `box`, one per column across it, appended to
// `out`; returns how many were appended.
int topEdgePoints(const BytePlane& plane, int threshold, const CharBox& box,
                  std::vector<EdgePoint>& out);

// The same below the box.
int bottomEdgePoints(const BytePlane& plane, int threshold, const CharBox& box,
                     std::vector<EdgePoint>& out);

// Points of the left border beside the first character, one per profile point
// or, without a profile, per row (starting on a line perpendicular to the
// centre line of slope `centreSlope` when it is steep). Replaces `out`; fewer
// than 3 points count as none. Returns their number.
int leftEdgePoints(const BytePlane& plane, int threshold, int centreSlope, const CharBox& box,
                   std::vector<EdgePoint>& out);

// The mirror image beside the last character.
int rightEdgePoints(const BytePlane& plane, int threshold, int centreSlope, const CharBox& box,
                    std::vector<EdgePoint>& out);

} // namespace kavro
