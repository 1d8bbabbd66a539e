#pragma once
// Where the characters of a rectified plate lie, and cutting one out for the
// character network.
//
// After rectification every format's characters sit at known centres with a
// known width; a plate that was cut a little loose or tight moves and scales
// them as a whole, and one seen a little from the side leans them. fitLayout
// finds that shift, scale and slant from the columns of a binary plate plane
// (character mass inside the cells, none in the gaps between them), and the
// text band from its rows, so a character is cut from its cell even when its
// own outline is broken, merged with a neighbour or missing.

#include "data/plate_formats.h"
#include "engine/primitives/byte_plane.h"
#include "engine/recognise/char_net.h"

#include <cstdint>
#include <span>

namespace kavro {

struct PlateLayout {
    int shift = 0;            // pixels the format's centres move
    int scalePerMille = 1000; // about the plate's middle column
    // Columns per 1000 rows that the characters lean to the right going down:
    // centres lie on the plate's middle row, rows below it move right.
    int slantPerMille = 0;
    int top = 0; // first and last row of the text band
    int bottom = 0;
    int score = 0; // stroke pixels inside the cells less gapPenalty times those between

    // The fitted centre column of position p and the fitted character width.
    int centre(const PlateFormat& format, int position) const;
    int charWidth(const PlateFormat& format) const;
};

// Marks the pixels of a grey plate plane that are brighter than the mean of their
// neighbourhood (2 * strokeRadius + 1 pixels square, clipped to the plane) by
// more than strokeMargin. Uneven light, a dark surround or a washed-out plate do
// not swallow the characters as one threshold for the whole plate would. 255
// marks a stroke, 0 the rest.
inline constexpr int strokeRadius = 20;
inline constexpr int strokeMargin = 6;
void markStrokes(const BytePlane& grey, std::span<std::uint8_t> strokes);

// A stroke pixel between two cells costs a fit this many pixels inside them.
inline constexpr int gapPenalty = 4;

// The layout that puts the most stroke pixels of `binary` (255 = stroke) inside
// the format's character cells and the fewest in the gaps between them, and the
// rows that the strokes inside the cells cover. A plane without strokes gives
// the format's own layout over the whole plate.
PlateLayout fitLayout(const BytePlane& binary, const PlateFormat& format);

// A character box on the plate: its centre, its size and a slant of its columns.
struct CharacterCut {
    float centreX = 0; // plate pixels; pixel x spans x .. x + 1
    float centreY = 0;
    float width = 0;
    float height = 0;
    float slant = 0; // columns per row: a column at row centreY + d lies d * slant further right
};

// The cut of position p of a fitted layout, moved sideways by `offset` pixels.
CharacterCut layoutCut(const PlateLayout& layout, const PlateFormat& format, int position,
                       float offset);

// The network input of a cut of a grey plate plane (characters bright): the
// box, and a margin around it, resampled to the input grid (two by two
// bilinear samples per input pixel; outside the plane reads its edge), then
// standardised to mean 0 and deviation 1.
CharNetInput sampleCut(const BytePlane& grey, const CharacterCut& cut);

} // namespace kavro
