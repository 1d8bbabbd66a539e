#pragma once
// Segmentation of one character position of a binary plate plane: probe
// columns around the expected centre, trace the blobs they cross, gather them
// into one box and read it against the position's candidate templates.
//
// How a caller reads a plane:
//
//     auto points = std::make_unique<OutlinePoints>();   // once, reused by every call
//     CharacterBand band{firstBandRow, lastBandRow};     // afresh for every plane
//     for (int p : positions, most reliable first) {
//         CharBox& box = boxes[plane][p];
//         matches[plane][p] = segmentPosition(binaryPlane, format, p, band, *points, box,
//                                             candidates[format.charList[p]]);
//     }
//
// A confident reading narrows `band` to the character's rows, so the
// positions read later search only there.

#include "data/glyph_templates.h"
#include "data/plate_formats.h"
#include "engine/localise/outline.h"
#include "engine/primitives/byte_plane.h"
#include "engine/recognise/char_match.h"

#include <array>
#include <cstdint>
#include <span>

namespace kavro {

inline constexpr int maxColumnTransitions = 16;
// The band every plane starts with: all rows but the plate's outermost ones.
inline constexpr int firstBandRow = 1;
inline constexpr int lastBandRow = 114;

using ColumnTransitions = std::array<std::int32_t, maxColumnTransitions>;

// The rows between which the characters of a plane lie (inclusive).
struct CharacterBand {
    int top;
    int bottom;
};

// Walks column x from firstRow to lastRow and records the first row of every
// foreground run (value above 128) and the last row of every run, alternately,
// at most maxColumnTransitions of them. Rows, or a column, outside the plane
// count as background. Returns the number of rows recorded.
int columnRuns(const BytePlane& plane, int x, int firstRow, int lastRow, ColumnTransitions& values);

// Finds and reads the character at `position` of `plane` (0 background, 255
// stroke). `box` is cleared and receives the frame of the union of the blobs
// found (edges, centre and size, as measureOutlineFrame and mergeBoxes give);
// `band` is narrowed after a confident reading (score 80 or more). A box
// narrower than a third of its height (one stroke of a character) is read
// only when `candidates` hold a "1". Returns
// the best reading, code 0 and score 0 when nothing character-sized was found.
CharMatch segmentPosition(const BytePlane& plane, const PlateFormat& format, int position,
                          CharacterBand& band, OutlinePoints& points, CharBox& box,
                          std::span<const GlyphTemplate* const> candidates);

} // namespace kavro
