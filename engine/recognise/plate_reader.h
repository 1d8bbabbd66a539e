#pragma once
// Reading one rectified plate: two grey planes, eight binary planes, every
// character position segmented and classified on each, then a vote per
// position. A convincing reading is appended to the result.

#include "engine/recognise/recognition_result.h"

namespace kavro {

struct RecognitionContext;

// Reads plateImages[result.count] as plate format `formatIndex` (a defined
// format) and returns result.count afterwards.
int recogniseCharacters(RecognitionContext& context, int formatIndex, RecognitionResult& result);

} // namespace kavro
