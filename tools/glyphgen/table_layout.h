#pragma once
// Which characters each template table holds, how many variants of each, and
// in which order they are stored.

#include "tools/glyphgen/glyph_grid.h"

#include <cstdint>
#include <string>
#include <vector>

struct TableEntry {
    std::uint8_t code;
    int variants;
};

struct TableLayout {
    std::string name; // the C++ name of the table
    std::vector<TableEntry> entries;

    int recordCount() const;
};

TableLayout standardLayout();
TableLayout newEnergyLayout();
TableLayout provinceLayout();

// One generated record: its code, its rows and a short note of where it came from.
struct GeneratedGlyph {
    std::uint8_t code;
    GlyphRows rows;
    std::string source;
};

struct GeneratedTable {
    std::string name;
    std::vector<GeneratedGlyph> glyphs;
};
