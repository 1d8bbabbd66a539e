#pragma once
// The built-in plate-format table (entries 1, 2, 4, 5 and 7 defined) and the
// candidate templates allowed at a position.

#include "data/glyph_templates.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace kavro {

inline constexpr int plateFormatCount = 8;
inline constexpr int maxPlateChars = 12;
inline constexpr int allowedListCount = 4;
inline constexpr int allowedListLength = 64;
inline constexpr int maxCandidates = 512;

// The glyph set of a format's letters and digits.
enum class FontSet : std::int32_t {
    standard = 0,  // standardGlyphs
    newEnergy = 1, // newEnergyGlyphs
};

// The plate colour, which decides the grey planes a plate is read in.
enum class PlaneMode : std::int32_t { white = 1, green = 3, blue = 4, yellow = 5 };

// The format a plate with corners from a trailer is read as: a blue plate.
inline constexpr int trailerFormat = 1;

struct PlateFormat {
    std::int32_t defined;
    std::int32_t listCount;
    FontSet fontSet;
    std::int32_t spare0;
    std::array<std::int32_t, 6> gapRatioLimits; // percent of the pitch
    std::int32_t charCount;
    std::int32_t separatorIndex;
    std::array<std::int32_t, 2> spare1;
    PlaneMode planeMode;
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

// The table's words are 32-bit, the coded ones included.
static_assert(sizeof(FontSet) == sizeof(std::int32_t) && sizeof(PlaneMode) == sizeof(std::int32_t));
static_assert(offsetof(PlateFormat, planeMode) == 14 * sizeof(std::int32_t));

extern const std::array<PlateFormat, plateFormatCount> plateFormats;

// Fills `out` (room for maxCandidates) with the templates whose codes are in
// list `listIndex` of format `formatIndex`: letters and digits first, in table
// order, then province templates. Returns how many were stored.
int buildCandidates(int formatIndex, int listIndex, std::span<const GlyphTemplate*> out);

} // namespace kavro
