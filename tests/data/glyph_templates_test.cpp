#include "data/glyph_templates.h"

#include "data/character_codes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <span>
#include <string>
#include <vector>

using namespace kavro;

namespace {

// Closest two templates of different characters in one table may be.
constexpr int minimumDistance = 100;

struct CodeRun {
    std::uint8_t code;
    int variants;
};

std::vector<CodeRun> runsOf(std::span<const GlyphTemplate> table) {
    std::vector<CodeRun> runs;
    for (const GlyphTemplate& glyph : table) {
        const auto code = static_cast<std::uint8_t>(glyph.code);
        if (!runs.empty() && runs.back().code == code) {
            ++runs.back().variants;
        } else {
            runs.push_back({code, 1});
        }
    }
    return runs;
}

std::vector<CodeRun> asciiRuns(const std::string& codes, const std::vector<int>& variants) {
    std::vector<CodeRun> runs;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        runs.push_back({static_cast<std::uint8_t>(codes[i]), variants[i]});
    }
    return runs;
}

void expectRuns(std::span<const GlyphTemplate> table, const std::vector<CodeRun>& expected) {
    const std::vector<CodeRun> runs = runsOf(table);
    ASSERT_EQ(runs.size(), expected.size());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(runs[i].code, expected[i].code) << i;
        EXPECT_EQ(runs[i].variants, expected[i].variants) << displayCharacter(runs[i].code);
    }
    for (const GlyphTemplate& glyph : table) {
        EXPECT_EQ(glyph.code >> 8, 0U);
    }
}

int distance(const GlyphTemplate& a, const GlyphTemplate& b) {
    int d = 0;
    for (int r = 0; r < glyphRows; ++r) {
        d += std::popcount(a.rows[r] ^ b.rows[r]);
    }
    return d;
}

bool touchesAllEdges(const GlyphTemplate& glyph) {
    std::uint32_t columns = 0;
    for (const std::uint32_t row : glyph.rows) {
        columns |= row;
    }
    return glyph.rows.front() != 0 && glyph.rows.back() != 0 && (columns & 0x80000000U) &&
           (columns & 1U);
}

const std::array<std::uint32_t, glyphRows> narrowOne = [] {
    std::array<std::uint32_t, glyphRows> rows;
    rows.fill(0x1FFFFFF8);
    return rows;
}();

struct NamedTable {
    const char* name;
    std::span<const GlyphTemplate> glyphs;
};

const NamedTable tables[] = {{"standardGlyphs", standardGlyphs},
                             {"newEnergyGlyphs", newEnergyGlyphs},
                             {"provinceGlyphs", provinceGlyphs}};

TEST(GlyphTemplates, StandardTableHoldsTheCharactersAndVariantsInOrder) {
    expectRuns(standardGlyphs, asciiRuns("ABCDEFGHJKLMNPQRSTUVWXYZ0123456789",
                                         {3, 3, 3, 3, 3, 2, 3, 2, 3, 2, 2, 2, 2, 2, 3, 2, 2,
                                          2, 2, 2, 2, 2, 5, 2, 3, 2, 2, 3, 3, 3, 2, 2, 3, 2}));
}

TEST(GlyphTemplates, NewEnergyTableHoldsTheCharactersAndVariantsInOrder) {
    std::vector<int> variants(34, 1);
    variants[0] = variants[3] = variants[4] = 2; // A, D, E
    std::fill(variants.begin() + 24, variants.end(), 2);
    expectRuns(newEnergyGlyphs, asciiRuns("ABCDEFGHJKLMNPQRSTUVWXYZ0123456789", variants));
}

TEST(GlyphTemplates, ProvinceTableHoldsEveryChineseCodeWithExtraVariants) {
    std::vector<CodeRun> expected;
    for (int code = firstChineseCode; code <= lastChineseCode; ++code) {
        const int variants = code == 0x89                                     ? 3
                             : (code == 0x8F || code == 0x96 || code == 0xA5) ? 2
                                                                              : 1;
        expected.push_back({static_cast<std::uint8_t>(code), variants});
    }
    expectRuns(provinceGlyphs, expected);
}

TEST(GlyphTemplates, FirstStandardRecordIsTheRecordedA) {
    const std::array<std::uint32_t, glyphRows> recordedA = {
        0x0007E000, 0x0007E000, 0x000FF000, 0x000FF000, 0x001FF800, 0x001FF800, 0x001FF800,
        0x003FFC00, 0x003FFC00, 0x003FFC00, 0x003FFC00, 0x007FFE00, 0x007FFE00, 0x007FFE00,
        0x007FFE00, 0x007FFE00, 0x00FFFF00, 0x00FFFF00, 0x00FFFF00, 0x01FC3F80, 0x01FC3F80,
        0x01F81F80, 0x01F81FC0, 0x03F81FC0, 0x03F00FC0, 0x03F00FC0, 0x07F00FE0, 0x07E007E0,
        0x07E007E0, 0x0FE007F0, 0x0FC007F0, 0x0FC003F0, 0x0FC003F0, 0x0FC003F0, 0x0FC007F0,
        0x0FE00EF0, 0x1FFFFFF8, 0x1FFFFFF8, 0x1FFFFFF8, 0x3FFFFFFC, 0x3FFFFFFC, 0x3F8001FC,
        0x7F0000FE, 0x7E00007E, 0x7E00007E, 0xFE00003F, 0xFE00003F, 0xFC00003F};
    EXPECT_EQ(standardGlyphs[0].code, 0x41U);
    EXPECT_EQ(standardGlyphs[0].rows, recordedA);
}

TEST(GlyphTemplates, StandardOnesAreSolidBlocks) {
    std::vector<const GlyphTemplate*> ones;
    for (const GlyphTemplate& glyph : standardGlyphs) {
        if (glyph.code == '1') {
            ones.push_back(&glyph);
        }
    }
    ASSERT_EQ(ones.size(), 2U);
    std::array<std::uint32_t, glyphRows> full;
    full.fill(0xFFFFFFFF);
    full.front() = full.back() = 0x7FFFFFFE;
    EXPECT_EQ(ones[0]->rows, full);
    EXPECT_EQ(ones[1]->rows, narrowOne);
}

TEST(GlyphTemplates, NewEnergyOneHasAFlagAndAFullWidthFoot) {
    int ones = 0;
    for (const GlyphTemplate& glyph : newEnergyGlyphs) {
        if (glyph.code != '1') {
            continue;
        }
        ++ones;
        // The foot: a row near the bottom spans the whole width.
        EXPECT_TRUE(std::any_of(glyph.rows.end() - glyphRows / 8, glyph.rows.end(),
                                [](std::uint32_t row) { return row == 0xFFFFFFFFU; }));
        // The flag: in the upper quarter the stroke reaches the left third,
        // while the top row stays clear of the left edge.
        EXPECT_TRUE(std::any_of(glyph.rows.begin(), glyph.rows.begin() + glyphRows / 4,
                                [](std::uint32_t row) { return (row & 0xFFC00000U) != 0; }));
        EXPECT_EQ(glyph.rows.front() & 0xF0000000U, 0U);
    }
    EXPECT_EQ(ones, 2);
}

TEST(GlyphTemplates, EveryTemplateButTheNarrowOneTouchesAllFourEdges) {
    for (const NamedTable& table : tables) {
        for (std::size_t i = 0; i < table.glyphs.size(); ++i) {
            const GlyphTemplate& glyph = table.glyphs[i];
            if (glyph.rows == narrowOne) {
                continue;
            }
            EXPECT_TRUE(touchesAllEdges(glyph))
                << table.name << "[" << i << "] " << displayCharacter(glyph.code);
        }
    }
}

TEST(GlyphTemplates, DifferentCharactersInOneTableAreFarApart) {
    for (const NamedTable& table : tables) {
        for (std::size_t i = 0; i < table.glyphs.size(); ++i) {
            for (std::size_t j = i + 1; j < table.glyphs.size(); ++j) {
                const GlyphTemplate& a = table.glyphs[i];
                const GlyphTemplate& b = table.glyphs[j];
                if (a.code != b.code) {
                    EXPECT_GE(distance(a, b), minimumDistance)
                        << table.name << ": " << displayCharacter(a.code) << "[" << i << "] "
                        << displayCharacter(b.code) << "[" << j << "]";
                } else {
                    EXPECT_GT(distance(a, b), 0)
                        << table.name << ": duplicate variants " << i << ", " << j;
                }
            }
        }
    }
}

} // namespace
