#include "tools/glyphgen/template_builder.h"

#include "data/character_codes.h"
#include "tools/glyphgen/fixed_glyphs.h"
#include "tools/glyphgen/font_glyphs.h"

#include <QFont>

#include <stdexcept>

namespace {

const FontFace latinFaces[] = {
    {"DejaVu Sans", QFont::Bold, QFont::Unstretched, 0},
    {"Noto Sans CJK SC", QFont::Bold, QFont::Unstretched, 0},
    {"DejaVu Sans Mono", QFont::Bold, QFont::Unstretched, 0},
    {"DejaVu Sans", QFont::Bold, QFont::Unstretched, 8},
    {"Noto Sans CJK SC", QFont::Bold, QFont::Unstretched, 8},
};

const FontFace chineseFaces[] = {
    {"Noto Sans CJK SC", QFont::Bold, QFont::Unstretched, 0},
    {"Noto Sans CJK SC", QFont::Bold, QFont::Unstretched, 4},
    {"Noto Sans CJK SC", QFont::Bold, QFont::Unstretched, 8},
};

QString characterText(std::uint8_t code) {
    return QString::fromStdString(displayCharacter(code));
}

GeneratedGlyph rendered(std::uint8_t code, const FontFace& face) {
    return {code, fillFrame(fontGlyph(face, characterText(code))),
            "rendered, " + faceLabel(face).toStdString()};
}

template <std::size_t N>
GeneratedTable renderTable(const TableLayout& layout, const FontFace (&faces)[N]) {
    GeneratedTable table{layout.name, {}};
    for (const TableEntry& entry : layout.entries) {
        for (int v = 0; v < entry.variants; ++v) {
            table.glyphs.push_back(rendered(entry.code, faces[static_cast<std::size_t>(v) % N]));
        }
    }
    return table;
}

// Replaces the records of `code` in stored order by `glyphs`.
void replaceRecords(GeneratedTable& table, std::uint8_t code,
                    const std::vector<GeneratedGlyph>& glyphs) {
    std::size_t next = 0;
    for (GeneratedGlyph& glyph : table.glyphs) {
        if (glyph.code == code && next < glyphs.size()) {
            glyph = glyphs[next++];
        }
    }
    if (next != glyphs.size()) {
        throw std::logic_error("table holds fewer records of a character than replaced");
    }
}

GeneratedTable standardTable() {
    GeneratedTable table = renderTable(standardLayout(), latinFaces);
    table.glyphs.front() = {'A', recordedA(), "recorded"};
    replaceRecords(table, '1',
                   {{'1', fullWidthOne(), "solid block, full width"},
                    {'1', narrowOne(), "solid block, three columns narrower each side"}});
    return table;
}

// The new-energy "1" keeps its flag and its foot, which spans the full width
// in the Noto face.
GeneratedTable newEnergyTable() {
    GeneratedTable table = renderTable(newEnergyLayout(), latinFaces);
    const FontFace noto = {"Noto Sans CJK SC", QFont::Bold, QFont::Unstretched, 0};
    FontFace thick = noto;
    thick.thicken = 8;
    replaceRecords(table, '1', {rendered('1', noto), rendered('1', thick)});
    return table;
}

} // namespace

std::vector<GeneratedTable> buildTables() {
    return {standardTable(), newEnergyTable(), renderTable(provinceLayout(), chineseFaces)};
}
