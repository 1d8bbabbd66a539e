#pragma once
// The kernels of template classification: gathering the pixel pairs of a
// box's grid cells, turning them into the grid's row masks, and counting each
// candidate's distance to the grid. Each has a plain version and an AVX2 one
// (classify_avx2.cpp) that gives the same result; classifyBox runs the set
// kernelSet() names.

#include "data/glyph_templates.h"
#include "engine/primitives/byte_plane.h"

#include <array>
#include <bit>
#include <cstdint>
#include <span>

namespace kavro {

namespace classify_kernels {

inline constexpr int fractionBits = 16;
inline constexpr int oneUnit = 1 << fractionBits;
// The four corner weights of a cell sum to 2^18.
inline constexpr int weightBits = 18;
inline constexpr int weightHalf = 1 << (weightBits - 1);
inline constexpr int strokeLevel = 128;
inline constexpr int byteMask = 0xFF;
// Where the left and the right pixel of a pair lie in its value.
inline constexpr int leftShift = std::endian::native == std::endian::little ? 0 : 8;
inline constexpr int rightShift = 8 - leftShift;
inline constexpr int marginFactor = 2;
inline constexpr std::uint8_t digitOne = '1';
// Rows counted between two checks of whether a candidate can still matter.
inline constexpr int countedRows = glyphRows / 3;
static_assert(glyphRows % countedRows == 0 && countedRows % 2 == 0);

// Row masks of a box resampled to the template grid; bit 31 is column 0.
using SampleGrid = std::array<std::uint32_t, glyphRows>;

// The corners of the 32 cells of one grid row: the top pair of each cell in
// one array and the bottom pair in another, each pair the two bytes as they
// lie side by side in the plane, so that a pair is one load.
struct RowCorners {
    alignas(32) std::array<std::uint16_t, glyphColumns> top;
    alignas(32) std::array<std::uint16_t, glyphColumns> bottom;
};

using CellColumns = std::array<int, glyphColumns>; // a plane column or a 16-bit fraction per cell
using GridCorners = std::array<RowCorners, glyphRows>;
using RowFractions = std::array<int, glyphRows>;
using RowStarts = std::array<int, glyphRows>; // the plane row of each grid row

struct RankEntry {
    std::uint8_t code;
    int distance;
};

// The corner pairs of every grid row whose squares lie wholly inside the plane.
void innerGridPlain(const BytePlane& plane, const CellColumns& cellX, const RowStarts& cellY,
                    GridCorners& corners);

// Masks of all grid rows from their corners, gathered beforehand: the corners
// are stored in pieces smaller than the vectors that read them, and such a
// read waits while the stores are still under way.
void gridMasksPlain(const GridCorners& corners, const CellColumns& fractionX,
                    const RowFractions& fractionY, SampleGrid& grid);

// The distance of every candidate to the grid, where it can matter (see
// measureEach); `onesSkipped` when a wide box cannot win as a "1".
void measureDistancesPlain(const SampleGrid& grid, std::span<const GlyphTemplate* const> candidates,
                           std::span<RankEntry> ranking, bool onesSkipped);

#if KAVRO_AVX2_KERNELS
void innerGridAvx2(const BytePlane& plane, const CellColumns& cellX, const RowStarts& cellY,
                   GridCorners& corners);
void gridMasksAvx2(const GridCorners& corners, const CellColumns& fractionX,
                   const RowFractions& fractionY, SampleGrid& grid);
void measureDistancesAvx2(const SampleGrid& grid, std::span<const GlyphTemplate* const> candidates,
                          std::span<RankEntry> ranking, bool onesSkipped);
#endif

// The distance of every candidate, where it can matter. The result's distance
// never exceeds the least distance among the candidates that can win (all of
// them, or those not "1" when a wide box skips the "1"s), so a candidate
// whose count passes twice that least distance can neither win nor decide the
// margin bonus: its count stops there, and what it has reached still ranks
// it after the winner and still exceeds twice the result's distance.
// `countBlock(glyph, block)` counts the rows of one block.
template <typename CountBlock>
[[gnu::always_inline]] inline void measureEach(std::span<const GlyphTemplate* const> candidates,
                                               std::span<RankEntry> ranking, bool onesSkipped,
                                               CountBlock countBlock) {
    int least = glyphCells; // of the candidates that can win, so far
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const GlyphTemplate& glyph = *candidates[i];
        int distance = 0;
        for (int block = 0; block < glyphRows && distance <= marginFactor * least;
             block += countedRows) {
            distance += countBlock(glyph, block);
        }
        ranking[i] = {static_cast<std::uint8_t>(glyph.code), distance};
        if ((!onesSkipped || glyph.code != digitOne) && distance < least) {
            least = distance;
        }
    }
}

} // namespace classify_kernels

} // namespace kavro
