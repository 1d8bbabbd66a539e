#pragma once
// A found plate's corners on the plate face's outer edges. The finder fits a
// plate's borders on working planes a fraction of the picture's resolution, and
// often to the rim inside the plate's edge; this moves each side, in the picture
// at full resolution, to where the plate's colour gives way to its surround.

#include "engine/context/recognition_context.h"
#include "engine/primitives/geometry.h"

namespace kavro {

// The corners of the plate whose face `corners` (picture pixels, clockwise from
// the top left; pixel (x, y) covers x .. x + 1 and y .. y + 1) outline roughly.
// Each side moves to the line fitted through the points where, across the
// side, the colour turns from the plate's to the surround's; a side with too
// little consistent evidence stays where it was. The old corners come back
// whole when the new ones do not make a convex quadrilateral near the old one.
Quad<double> fitPlateCorners(const PicturePixels& picture, const Quad<double>& corners);

} // namespace kavro
