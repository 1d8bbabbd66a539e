#pragma once
// The recognition driver: up to two plates from a prepared picture. With the
// corners of a plate-corner trailer the plate is cut out along them and read as
// a blue plate; otherwise the picture is searched for plates.

#include "engine/primitives/plate_warp.h"
#include "engine/recognise/recognition_result.h"

struct RecognitionContext;

// Clears `result`, fills it and returns its count.
int recognisePlates(RecognitionContext& context, RecognitionResult& result);

// The trailer's corners, given in the picture scaled to the working width, in
// pixels of the prepared picture itself.
PlateCorners trailerCornersInPicture(const RecognitionContext& context);
