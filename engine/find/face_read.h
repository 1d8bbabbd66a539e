#pragma once
// Reading a candidate's plate from its face, for plates whose characters the
// box search cannot trace (strokes that blur into one another or fall apart):
// the face is found around the candidate's line of characters by the plate's
// hue, fitted to its edges in the picture, rectified and read as the formats of
// that hue. A candidate without a hue (a white plate, a yellow one faded or lit
// by white light) is read only when it is the strongest: its face is told from
// its characters by grey level, and among the many grey candidates (signs,
// lettering, grilles) faces cost much and read little.

#include "engine/find/found_plate.h"
#include "engine/find/plate_candidates.h"

namespace kavro {

struct RecognitionContext;

// What the strongest candidate is allowed besides other candidates: when the
// plate's hue outlines no face of plate shape, the level face that the line of
// characters spans; and the face of a candidate without a hue.
enum class FaceFallback { none, lineOfCharacters };

// Reads the plate whose line of characters `candidate` outlines in the picture
// that `reader` views (or holds), with the reader's plate slots and character
// classifier, and appends it to `found`. True when a plate was read; false at
// once for a candidate without a plate hue unless the fallback allows the
// line of characters (the strongest candidate).
bool readPlateFace(const PlateCandidate& candidate, RecognitionContext& reader, FoundPlates& found,
                   FaceFallback fallback);

} // namespace kavro
