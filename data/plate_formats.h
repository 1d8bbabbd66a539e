#pragma once
// The built-in plate-format table (entries 1, 2, 4, 5 and 7 defined) and the
// candidate templates allowed at a position.

#include "data/glyph_templates.h"

#include <array>
#include <cstdint>
#include <span>

inline constexpr int plateFormatCount = 8;
inline constexpr int maxPlateChars = 12;
inline constexpr int allowedListCount = 4;
inline constexpr int allowedListLength = 64;
inline constexpr int maxCandidates = 512;

struct PlateFormat {
    std::int32_t defined;
    std::int32_t listCount;
    std::int32_t fontSet; // 0 = standardGlyphs, 1 = newEnergyGlyphs
    std::int32_t spare0;
    std::array<std::int32_t, 6> gapRatioLimits; // percent of the pitch
    std::int32_t charCount;
    std::int32_t separatorIndex;
    std::array<std::int32_t, 2> spare1;
    std::int32_t planeMode; // 4 blue, 5 yellow, 3 green, 1 white
    std::array<std::int32_t, 2> spare2;
    std::int32_t charWidth;
    std::int32_t charHeight;
    std::int32_t pitch;
    std::int32_t separatorPitch;
    std::int32_t spare3;
    std::array<std::int32_t, maxPlateChars> charCentreX;
    std::array<std::int32_t, maxPlateChars> charList;
    std::array<std::int32_t, 8> positionOrder;
    std::array<std::int32_t, 52> reserved;
    std::array<std::array<std::uint8_t, allowedListLength>, allowedListCount> allowedChars;
};

extern const std::array<PlateFormat, plateFormatCount> plateFormats;

// Fills `out` (room for maxCandidates) with the templates whose codes are in
// list `listIndex` of format `formatIndex`: letters and digits first, in table
// order, then province templates. Returns how many were stored.
int buildCandidates(int formatIndex, int listIndex, std::span<const GlyphTemplate*> out);
