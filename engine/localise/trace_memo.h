#pragma once
// Outlines traced while the picture is searched, remembered by threshold and
// start point. The search traces from the same points of a scan row again for
// every plate format the row offers and on its second pass over the row, in an
// edge plane that does not change meanwhile; a remembered outline gives the
// same box without walking it again.

#include "engine/localise/outline.h"
#include "engine/primitives/byte_plane.h"

namespace kavro {

// While an instance lives, traceCharacterOnce on this thread remembers what
// it traced. Whoever opens one promises that the planes traced in do not
// change until it closes.
class TraceMemoScope {
public:
    TraceMemoScope();
    ~TraceMemoScope();
    TraceMemoScope(const TraceMemoScope&) = delete;
    TraceMemoScope& operator=(const TraceMemoScope&) = delete;

private:
    bool wasActive_;
};

// Traces the outline through (x, y) (pixels above `threshold`) and, when its
// box has a character's shape (hasCharacterShape), measures it into `box` as
// traceOutline and measureOutline do; false, with `box` left alone, when no
// outline could be followed or it is no character. Inside a TraceMemoScope a
// start already traced in the same plane, row and threshold is answered from
// memory, and `points` (scratch) is then left alone. The box's profiles are
// kept.
bool traceCharacterOnce(const BytePlane& plane, int threshold, int x, int y, OutlinePoints& points,
                        CharBox& box);

} // namespace kavro
