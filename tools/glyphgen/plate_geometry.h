#pragma once
// Brings a plate photograph into the rectified 384 x 116 frame: scaling, and
// straightening a plate that is rotated or slanted in the photograph.

#include "tools/glyphgen/glyph_grid.h"

inline constexpr int plateWidth = 384;
inline constexpr int plateHeight = 116;

// Output pixel (x, y) reads the source at the frame position
// xv = x + slant * (y - middle row) / 1000, yv = y + tilt * (xv - middle column) / 1000,
// scaled from the frame to the source size.
struct PlateMapping {
    int tilt = 0;  // rows per 1000 columns
    int slant = 0; // columns per 1000 rows
};

// The source resampled (bilinear, 16.16 fixed point) into the frame.
GreyImage mapToFrame(const GreyImage& source, const PlateMapping& mapping);

// The tilt that makes the rows of a binary frame sharpest (text lines level).
int levellingTilt(const GreyImage& binary);

// The slant that makes the columns of a binary frame sharpest (strokes upright).
int uprightSlant(const GreyImage& binary);
