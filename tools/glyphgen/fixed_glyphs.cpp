#include "tools/glyphgen/fixed_glyphs.h"

using namespace kavro;

namespace {

constexpr std::uint32_t allColumns = 0xFFFFFFFF;
constexpr std::uint32_t outerColumns = 0x80000001;
constexpr int narrowInset = 3;

} // namespace

GlyphRows recordedA() {
    return {0x0007E000, 0x0007E000, 0x000FF000, 0x000FF000, 0x001FF800, 0x001FF800, 0x001FF800,
            0x003FFC00, 0x003FFC00, 0x003FFC00, 0x003FFC00, 0x007FFE00, 0x007FFE00, 0x007FFE00,
            0x007FFE00, 0x007FFE00, 0x00FFFF00, 0x00FFFF00, 0x00FFFF00, 0x01FC3F80, 0x01FC3F80,
            0x01F81F80, 0x01F81FC0, 0x03F81FC0, 0x03F00FC0, 0x03F00FC0, 0x07F00FE0, 0x07E007E0,
            0x07E007E0, 0x0FE007F0, 0x0FC007F0, 0x0FC003F0, 0x0FC003F0, 0x0FC003F0, 0x0FC007F0,
            0x0FE00EF0, 0x1FFFFFF8, 0x1FFFFFF8, 0x1FFFFFF8, 0x3FFFFFFC, 0x3FFFFFFC, 0x3F8001FC,
            0x7F0000FE, 0x7E00007E, 0x7E00007E, 0xFE00003F, 0xFE00003F, 0xFC00003F};
}

GlyphRows fullWidthOne() {
    GlyphRows rows;
    rows.fill(allColumns);
    rows.front() &= ~outerColumns;
    rows.back() &= ~outerColumns;
    return rows;
}

GlyphRows narrowOne() {
    GlyphRows rows;
    const std::uint32_t band = (allColumns >> (2 * narrowInset)) << narrowInset;
    rows.fill(band);
    return rows;
}
