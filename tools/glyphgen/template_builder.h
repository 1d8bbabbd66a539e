#pragma once
// Assembles the three template tables: letters and digits learned from real
// plate characters (fonts only where too few samples exist), the recorded "A"
// and the solid "1" blocks, and Chinese characters rendered from a CJK face or
// learned where the samples allow.

#include "tools/glyphgen/font_glyphs.h"
#include "tools/glyphgen/table_layout.h"

#include <cstdint>
#include <map>
#include <vector>

// Character samples grouped by code, in a fixed order.
using SamplesByCode = std::map<std::uint8_t, std::vector<GlyphRows>>;

// How many variants of a character its samples support, at most `variants`:
// one per 10 samples for letters and digits, one per 5 for Chinese characters.
int learnableVariants(const SamplesByCode& samples, std::uint8_t code, int variants);

// The faces the Chinese characters are rendered from, one per variant (the
// last one repeats when a character has more variants).
std::vector<FontFace> chineseFaces();

// The Chinese characters alone: learned where the samples allow, the rest
// rendered from `faces`.
GeneratedTable provinceTable(const SamplesByCode& samples, const std::vector<FontFace>& faces);

std::vector<GeneratedTable> buildTables(const SamplesByCode& samples,
                                        const std::vector<FontFace>& provinceFaces);
