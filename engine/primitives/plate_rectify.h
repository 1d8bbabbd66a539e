#pragma once
// Fitting a plate's four borders around its row of character boxes and
// warping the plate into the next rectified plate slot.

#include "engine/localise/outline.h"
#include "engine/primitives/plate_warp.h"

#include <span>

namespace kavro {

struct RecognitionContext;
struct RecognitionResult;

// Finds the top and bottom borders above and below the middle characters
// (falling back to the centre line moved by 5/8 of a character height) and the
// side borders beside the first and last character, over a sweep of
// thresholds in the planes of the format's plate colour; warps the plate
// inside the four corners into plateImages[result.count] (from the picture of
// context.source(), its corners into plateCorners[result.count]). `boxes` holds
// one box per character of format `formatIndex`, left to right. Returns 1 when
// the plate was warped, 0 when a side border was not found, was too steep, or
// the plate does not lie inside the picture.
int rectifyPlate(int formatIndex, std::span<const CharBox> boxes, RecognitionContext& context,
                 const RecognitionResult& result);

} // namespace kavro
