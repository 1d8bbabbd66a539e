#pragma once
// Binary glyph templates: each character's tight bounding box stretched to a
// 32 x 48 grid. Bit 31 of a row mask is the leftmost column; a set bit is stroke.

#include <array>
#include <cstdint>

namespace kavro {

inline constexpr int glyphColumns = 32;
inline constexpr int glyphRows = 48;
inline constexpr int glyphCells = glyphColumns * glyphRows;

struct GlyphTemplate {
    std::uint32_t code; // character code in the low byte, upper bytes 0
    std::array<std::uint32_t, glyphRows> rows;
};

// Letters and digits of the ordinary plates (fontSet 0).
extern const std::array<GlyphTemplate, 84> standardGlyphs;
// Letters and digits of the green new-energy plates (fontSet 1).
extern const std::array<GlyphTemplate, 47> newEnergyGlyphs;
// Province and special Chinese characters, shared by every format.
extern const std::array<GlyphTemplate, 43> provinceGlyphs;

} // namespace kavro
