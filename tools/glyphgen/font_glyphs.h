#pragma once
// Glyphs rendered from installed font faces (found through fontconfig by family).

#include "tools/glyphgen/glyph_grid.h"

#include <QString>

struct FontFace {
    QString family;
    int weight;    // QFont::Weight value
    int stretch;   // QFont::Stretch value, 100 = normal width
    int thicken;   // extra stroke half-width, in pixels at the render size
    int widen = 0; // further extra half-width of vertical strokes only
};

// The face's name as the sheet and the generated source show it.
QString faceLabel(const FontFace& face);

// Renders `text` white on black, large enough that the stroke edges are smooth,
// and returns the antialiased image. Throws when the family is not installed.
GreyImage renderText(const FontFace& face, const QString& text);

// The rendered character cropped to its bounding box and sampled onto the grid.
GlyphRows fontGlyph(const FontFace& face, const QString& text);
