#pragma once
// The recognition driver: up to two plates from a prepared picture. With the
// corners of a plate-corner trailer the plate is cut out along them and read as
// a blue plate; otherwise the picture is searched for plates.

#include "engine/find/row_search.h"
#include "engine/primitives/plate_warp.h"
#include "engine/recognise/recognition_result.h"

namespace kavro {

struct RecognitionContext;

// The working rows the plate search scans, from `first` upwards every `spacing` rows:
// from near the bottom of the working planes up to their top third, every 12 rows. A
// plane more than three times as tall as it is wide (a tall narrow picture, scaled up to
// the working width) gets its rows spread over the same stretch, no more of them than a
// plane three times as tall as wide has: the search's work stays bounded whatever the
// picture's shape.
ScanRows planScanRows(int planeHeight);

// Clears `result`, fills it and returns its count.
int recognisePlates(RecognitionContext& context, RecognitionResult& result);

// The same, and returns every plate found with its corners in pixels of the
// prepared picture; the plates of `result` come first, in its order.
FoundPlates findPlates(RecognitionContext& context, RecognitionResult& result);

// Reads a found plate again along its corners, fitted to the plate face: the
// search's cut often falls inside the face and clips a character at either
// end. The new reading, of the same format, replaces the plate's when it is
// accepted and its characters score more in all. Uses the context's first
// plate slot.
void rereadAlongCorners(RecognitionContext& context, FoundPlate& plate);

// The trailer's corners, given in the picture scaled to the working width, in
// pixels of the prepared picture itself, clockwise from the top left.
Quad<double> trailerCornersInPicture(const RecognitionContext& context);

} // namespace kavro
