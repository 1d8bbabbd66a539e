#pragma once
// Reading a candidate's plate from its face, for coloured plates whose
// characters the box search cannot trace (strokes that blur into one another or
// fall apart): the face is found around the candidate's line of characters by
// the plate's hue, fitted to its edges in the picture, rectified and read as the
// formats of that hue. White plates are left to the box search: among the many
// grey candidates (signs, lettering, grilles) their faces cost much and read
// nothing more.

#include "engine/find/found_plate.h"
#include "engine/find/plate_candidates.h"

namespace kavro {

struct RecognitionContext;

// What is read when the plate's hue outlines no face of plate shape: nothing, or
// the level face that the line of characters spans.
enum class FaceFallback { none, lineOfCharacters };

// Reads the plate whose line of characters `candidate` outlines in the picture
// that `reader` views (or holds), with the reader's plate slots and character
// classifier, and appends it to `found`. True when a plate was read; false at
// once for a candidate without a plate hue.
bool readPlateFace(const PlateCandidate& candidate, RecognitionContext& reader, FoundPlates& found,
                   FaceFallback fallback);

} // namespace kavro
