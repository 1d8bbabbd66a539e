#pragma once
// Draws a glyph template into a test plane, stretched to a box.

#include "data/glyph_templates.h"
#include "support/test_plane.h"

// Nearest-cell stretch of `glyph` over the w x h box at (x, y): stroke cells
// become 255, the rest of the box is left as it is.
inline void drawGlyph(TestPlane& plane, const kavro::GlyphTemplate& glyph, int x, int y, int w,
                      int h) {
    for (int j = 0; j < h; ++j) {
        const int row = j * kavro::glyphRows / h;
        for (int i = 0; i < w; ++i) {
            const int column = i * kavro::glyphColumns / w;
            if (glyph.rows[row] & (0x80000000u >> column)) {
                plane.set(x + i, y + j, 255);
            }
        }
    }
}
