#pragma once
// Templates that are fixed rather than learned: the recorded "A" that opens
// the standard table and the two solid blocks that stand for "1".

#include "tools/glyphgen/glyph_grid.h"

GlyphRows recordedA();
// Every bit set except the two outer bits of the top and bottom rows.
GlyphRows fullWidthOne();
// Columns 3..28 set in every row.
GlyphRows narrowOne();
