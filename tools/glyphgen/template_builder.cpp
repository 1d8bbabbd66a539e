#include "tools/glyphgen/template_builder.h"

#include "data/character_codes.h"
#include "tools/glyphgen/fixed_glyphs.h"
#include "tools/glyphgen/glyph_learning.h"

#include <QFont>

#include <algorithm>
#include <stdexcept>

using namespace kavro;

namespace {

// A character is learned when it has this many samples per variant. Province
// characters need fewer: the few real ones read real plates better than any
// rendered face (measured along the true corners of real photographs), while
// letters and digits have plenty.
constexpr int minSamplesPerVariant = 10;
constexpr int minProvinceSamplesPerVariant = 5;
// Share of a character's samples dropped as miscut before learning (percent).
constexpr int outlierPercent = 10;

// Faces for letters and digits without enough real samples, one per variant.
const std::vector<FontFace> latinFaces = {
    {"DejaVu Sans", QFont::Bold, QFont::Condensed, 0},
    {"DejaVu Sans", QFont::Bold, QFont::Unstretched, 0},
    {"DejaVu Sans Mono", QFont::Bold, QFont::Unstretched, 0},
    {"Noto Sans CJK SC", QFont::Bold, QFont::Unstretched, 0},
    {"DejaVu Sans", QFont::Bold, QFont::Unstretched, 8},
};

// The new-energy "1" keeps its flag and its foot, which spans the full width
// in the Noto face.
const std::vector<FontFace> newEnergyOneFaces = {
    {"Noto Sans CJK SC", QFont::Bold, QFont::Unstretched, 0},
    {"Noto Sans CJK SC", QFont::Bold, QFont::Unstretched, 8},
};

QString characterText(std::uint8_t code) {
    return QString::fromStdString(displayCharacter(code));
}

std::vector<GeneratedGlyph> rendered(std::uint8_t code, int variants,
                                     const std::vector<FontFace>& faces) {
    std::vector<GeneratedGlyph> glyphs;
    for (int v = 0; v < variants; ++v) {
        const FontFace& face =
            faces[std::min<std::size_t>(static_cast<std::size_t>(v), faces.size() - 1)];
        glyphs.push_back({code, fillFrame(fontGlyph(face, characterText(code))),
                          "rendered, " + faceLabel(face).toStdString()});
    }
    return glyphs;
}

const std::vector<GlyphRows>& samplesOf(const SamplesByCode& samples, std::uint8_t code) {
    static const std::vector<GlyphRows> none;
    const auto found = samples.find(code);
    return found == samples.end() ? none : found->second;
}

} // namespace

int learnableVariants(const SamplesByCode& samples, std::uint8_t code, int variants) {
    const int perVariant =
        code >= firstChineseCode ? minProvinceSamplesPerVariant : minSamplesPerVariant;
    const int supported = static_cast<int>(samplesOf(samples, code).size()) / perVariant;
    return std::min(variants, supported);
}

namespace {

std::vector<GeneratedGlyph> learned(std::uint8_t code, int variants, const SamplesByCode& samples) {
    const std::vector<GlyphRows>& all = samplesOf(samples, code);
    const std::vector<GlyphRows> kept = withoutOutliers(all, outlierPercent);
    std::vector<GeneratedGlyph> glyphs;
    for (const GlyphRows& rows : clusterGlyphs(kept, variants)) {
        glyphs.push_back({code, rows,
                          "learned from " + std::to_string(kept.size()) + " of " +
                              std::to_string(all.size()) + " plate characters"});
    }
    return glyphs;
}

// As many variants learned as the samples support, the rest rendered from `faces`.
std::vector<GeneratedGlyph> learnedOrRendered(std::uint8_t code, int variants,
                                              const SamplesByCode& samples,
                                              const std::vector<FontFace>& faces) {
    const int learnedCount = learnableVariants(samples, code, variants);
    std::vector<GeneratedGlyph> glyphs;
    if (learnedCount > 0) {
        glyphs = learned(code, learnedCount, samples);
    }
    const std::vector<GeneratedGlyph> fonts = rendered(code, variants - learnedCount, faces);
    glyphs.insert(glyphs.end(), fonts.begin(), fonts.end());
    return glyphs;
}

void append(GeneratedTable& table, const std::vector<GeneratedGlyph>& glyphs) {
    table.glyphs.insert(table.glyphs.end(), glyphs.begin(), glyphs.end());
}

GeneratedTable standardTable(const SamplesByCode& samples) {
    const TableLayout layout = standardLayout();
    GeneratedTable table{layout.name, {}};
    for (const TableEntry& entry : layout.entries) {
        if (entry.code == 'A') {
            append(table, {{'A', recordedA(), "recorded"}});
            append(table, learnedOrRendered('A', entry.variants - 1, samples, latinFaces));
        } else if (entry.code == '1') {
            append(table, {{'1', fullWidthOne(), "solid block, full width"},
                           {'1', narrowOne(), "solid block, three columns narrower each side"}});
        } else {
            append(table, learnedOrRendered(entry.code, entry.variants, samples, latinFaces));
        }
    }
    return table;
}

GeneratedTable newEnergyTable(const SamplesByCode& samples) {
    const TableLayout layout = newEnergyLayout();
    GeneratedTable table{layout.name, {}};
    for (const TableEntry& entry : layout.entries) {
        append(table, entry.code == '1'
                          ? rendered('1', entry.variants, newEnergyOneFaces)
                          : learnedOrRendered(entry.code, entry.variants, samples, latinFaces));
    }
    return table;
}

} // namespace

GeneratedTable provinceTable(const SamplesByCode& samples, const std::vector<FontFace>& faces) {
    const TableLayout layout = provinceLayout();
    GeneratedTable table{layout.name, {}};
    for (const TableEntry& entry : layout.entries) {
        append(table, learnedOrRendered(entry.code, entry.variants, samples, faces));
    }
    return table;
}

namespace {

void checkSize(const GeneratedTable& table, const TableLayout& layout) {
    if (static_cast<int>(table.glyphs.size()) != layout.recordCount()) {
        throw std::logic_error(table.name + " has the wrong number of records");
    }
}

} // namespace

// The second variant of 豫, 川 and 渣 (and of 苏) is the lighter one: a
// heavier second template made these the nearest match of every blurred,
// solid blob (measured on generated and real plates along their corners).
std::vector<FontFace> chineseFaces() {
    return {
        {"Noto Sans CJK SC", QFont::Bold, QFont::Unstretched, 2},
        {"Noto Sans CJK SC", QFont::Bold, QFont::Unstretched, 1},
        {"Noto Sans CJK SC", QFont::Bold, QFont::Unstretched, 3},
    };
}

std::vector<GeneratedTable> buildTables(const SamplesByCode& samples,
                                        const std::vector<FontFace>& provinceFaces) {
    std::vector<GeneratedTable> tables = {standardTable(samples), newEnergyTable(samples),
                                          provinceTable(samples, provinceFaces)};
    checkSize(tables[0], standardLayout());
    checkSize(tables[1], newEnergyLayout());
    checkSize(tables[2], provinceLayout());
    return tables;
}
