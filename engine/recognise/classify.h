#pragma once
// Template classification of a character box in a binary plate plane.

#include "data/glyph_templates.h"
#include "engine/primitives/byte_plane.h"
#include "engine/recognise/char_match.h"

#include <span>

namespace kavro {

// Resamples the box (x, y, w, h) of `plane` (255 = stroke; coordinates outside
// the plane read its edge) to the 32 x 48 template grid and reads it against
// `candidates`: the nearest template by Hamming distance wins (equal distances
// keep the candidate order), scored 0..100 with a bonus of 5 when the nearest
// different character is more than twice as far. With `oneRule`, a box at
// most a quarter as wide as it is high always reads "1" and a wider box never
// does. No candidates give code 0, score 0.
CharMatch classifyBox(const BytePlane& plane, int x, int y, int w, int h,
                      std::span<const GlyphTemplate* const> candidates, bool oneRule);

} // namespace kavro
