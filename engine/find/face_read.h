#pragma once
// Reading a candidate's plate from its face, for plates whose characters the
// box search cannot trace (strokes that blur into one another or fall apart):
// the face is guessed around the candidate's line of characters, fitted to its
// edges in the picture, rectified and read as the format its colour calls for.

#include "engine/find/found_plate.h"
#include "engine/find/plate_candidates.h"

namespace kavro {

struct RecognitionContext;

// Reads the plate whose line of characters `candidate` outlines in the picture
// that `reader` views (or holds), with the reader's plate slots and character
// classifier, and appends it to `found`. True when a plate was read.
bool readPlateFace(const PlateCandidate& candidate, RecognitionContext& reader, FoundPlates& found);

} // namespace kavro
