#include "engine/recognise/classify.h"

#include "data/plate_formats.h"
#include "engine/primitives/kernel_set.h"
#include "engine/primitives/vector_loops.h"
#include "engine/recognise/classify_kernels.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace kavro {

namespace {

using namespace classify_kernels;

constexpr std::int64_t fixedOne = std::int64_t{1} << fractionBits;
constexpr int fractionMask = 0xFFFF;
constexpr int maxScore = 100;
constexpr int marginBonus = 5;
constexpr int narrowRatio = 4; // a box at most h / 4 wide is a "1"

// A box this narrow is a "1" under the rule for the digit one.
bool isNarrow(int w, int h) {
    return w <= h / narrowRatio;
}

struct CellCorners {
    int topLeft, topRight, bottomLeft, bottomRight;
};

std::uint8_t clampedPixel(const BytePlane& plane, int x, int y) {
    return plane.at(std::clamp(x, 0, plane.width - 1), std::clamp(y, 0, plane.height - 1));
}

// The four pixels of the square at (x, y). At the right and bottom edge the
// square collapses onto its left column / top row.
CellCorners clampedCorners(const BytePlane& plane, int x, int y) {
    const int x1 = x >= plane.width - 1 ? x : x + 1;
    const int y1 = y >= plane.height - 1 ? y : y + 1;
    return {clampedPixel(plane, x, y), clampedPixel(plane, x1, y), clampedPixel(plane, x, y1),
            clampedPixel(plane, x1, y1)};
}

// One cell: the mean of the linear interpolations along the four edges of the
// pixel square, rounded, compared with the stroke level. The weighted sum
// tl(2u - fx - fy) + tr(u + fx - fy) + bl(u - fx + fy) + br(fx + fy) is
// gathered by fx and fy, which needs two products instead of four.
bool strokeCell(const CellCorners& c, int fx, int fy) {
    const int sum = oneUnit * (2 * c.topLeft + c.topRight + c.bottomLeft) +
                    fx * (c.topRight + c.bottomRight - c.topLeft - c.bottomLeft) +
                    fy * (c.bottomLeft + c.bottomRight - c.topLeft - c.topRight);
    return ((sum + weightHalf) >> weightBits) >= strokeLevel;
}

// The first and last pixel that `cells` cells of `step` (16.16) from `start` fall on.
struct CellSpan {
    int first, last;
};

CellSpan cellSpan(int start, std::int64_t step, int cells) {
    const int end = start + static_cast<int>(((cells - 1) * step) >> fractionBits);
    return {std::min(start, end), std::max(start, end)};
}

std::uint16_t loadPair(const std::uint8_t* left) {
    std::uint16_t pair = 0;
    std::memcpy(&pair, left, sizeof pair);
    return pair;
}

std::uint16_t pixelPair(std::uint8_t left, std::uint8_t right) {
    const std::array<std::uint8_t, 2> bytes{left, right};
    return loadPair(bytes.data());
}

// Mask of one grid row; bit 31 is column 0.
std::uint32_t rowMask(const RowCorners& row, const std::array<int, glyphColumns>& fractionX,
                      int fy) {
    std::uint32_t mask = 0;
    for (int c = 0; c < glyphColumns; ++c) {
        const CellCorners corners{
            (row.top[c] >> leftShift) & byteMask, (row.top[c] >> rightShift) & byteMask,
            (row.bottom[c] >> leftShift) & byteMask, (row.bottom[c] >> rightShift) & byteMask};
        const bool stroke = strokeCell(corners, fractionX[c], fy);
        mask |= static_cast<std::uint32_t>(stroke) << (glyphColumns - 1 - c);
    }
    return mask;
}

// The corner pairs of one grid row, clamped at the plane's edges.
void clampedRow(const BytePlane& plane, const CellColumns& cellX, int cellY, RowCorners& row) {
    for (int c = 0; c < glyphColumns; ++c) {
        const CellCorners cell = clampedCorners(plane, cellX[c], cellY);
        row.top[c] = pixelPair(static_cast<std::uint8_t>(cell.topLeft),
                               static_cast<std::uint8_t>(cell.topRight));
        row.bottom[c] = pixelPair(static_cast<std::uint8_t>(cell.bottomLeft),
                                  static_cast<std::uint8_t>(cell.bottomRight));
    }
}

// Four pairs are stored at once: one store instead of four.
constexpr int pairsPerStore = 4;
static_assert(glyphColumns % pairsPerStore == 0);

void storePairs(const std::uint8_t* line, const CellColumns& cellX, int c,
                std::array<std::uint16_t, glyphColumns>& pairs) {
    std::array<std::uint16_t, pairsPerStore> four{};
    for (int k = 0; k < pairsPerStore; ++k) {
        four[k] = loadPair(line + cellX[c + k]);
    }
    std::memcpy(&pairs[c], four.data(), sizeof four);
}

// The same for a row whose squares lie wholly inside the plane.
void innerRow(const BytePlane& plane, const CellColumns& cellX, int cellY, RowCorners& row) {
    const std::uint8_t* top =
        plane.pixels.data() + static_cast<std::ptrdiff_t>(cellY) * plane.width;
    const std::uint8_t* bottom = top + plane.width;
    for (int c = 0; c < glyphColumns; c += pairsPerStore) {
        storePairs(top, cellX, c, row.top);
        storePairs(bottom, cellX, c, row.bottom);
    }
}

template <void (*gatherRow)(const BytePlane&, const CellColumns&, int, RowCorners&)>
void gatherEachRow(const BytePlane& plane, const CellColumns& cellX, const RowStarts& cellY,
                   GridCorners& corners) {
    for (std::size_t r = 0; r < corners.size(); ++r) {
        gatherRow(plane, cellX, cellY[r], corners[r]);
    }
}

void clampedGrid(const BytePlane& plane, const CellColumns& cellX, const RowStarts& cellY,
                 GridCorners& corners) {
    gatherEachRow<clampedRow>(plane, cellX, cellY, corners);
}

// The gathering kernel of the set in force.
void innerGrid(const BytePlane& plane, const CellColumns& cellX, const RowStarts& cellY,
               GridCorners& corners) {
    KAVRO_KERNEL(innerGrid)(plane, cellX, cellY, corners);
}

// Row masks of the box resampled to the template grid.
// The columns' pixels and fractions are the same on every row.
template <void (*gatherGrid)(const BytePlane&, const CellColumns&, const RowStarts&, GridCorners&)>
SampleGrid sampleGrid(const BytePlane& plane, int x, int y, std::int64_t stepX,
                      std::int64_t stepY) {
    CellColumns cellX{};
    CellColumns fractionX{};
    for (int c = 0; c < glyphColumns; ++c) {
        const std::int64_t posX = c * stepX;
        cellX[c] = x + static_cast<int>(posX >> fractionBits);
        fractionX[c] = static_cast<int>(posX & fractionMask);
    }
    RowStarts cellY{};
    RowFractions fractionY{};
    for (int r = 0; r < glyphRows; ++r) {
        const std::int64_t posY = r * stepY;
        cellY[r] = y + static_cast<int>(posY >> fractionBits);
        fractionY[r] = static_cast<int>(posY & fractionMask);
    }
    GridCorners corners;
    gatherGrid(plane, cellX, cellY, corners);
    SampleGrid grid{};
    KAVRO_KERNEL(gridMasks)(corners, fractionX, fractionY, grid);
    return grid;
}

// Boxes whose every cell square lies inside the plane skip the clamping.
SampleGrid sampleBox(const BytePlane& plane, int x, int y, int w, int h) {
    const std::int64_t stepX = (w * fixedOne) / glyphColumns;
    const std::int64_t stepY = (h * fixedOne) / glyphRows;
    const CellSpan columns = cellSpan(x, stepX, glyphColumns);
    const CellSpan rows = cellSpan(y, stepY, glyphRows);
    const bool inside = columns.first >= 0 && rows.first >= 0 && columns.last < plane.width - 1 &&
                        rows.last < plane.height - 1;
    return inside ? sampleGrid<innerGrid>(plane, x, y, stepX, stepY)
                  : sampleGrid<clampedGrid>(plane, x, y, stepX, stepY);
}

// Rows r and r + 1 as one 64-bit word, so that a count covers two rows at once.
static_assert(glyphRows % 2 == 0);
std::uint64_t rowPair(const std::array<std::uint32_t, glyphRows>& rows, int r) {
    std::uint64_t pair = 0;
    std::memcpy(&pair, &rows[static_cast<std::size_t>(r)], sizeof pair);
    return pair;
}

// On x86-64 the distances are counted twice over, with and without the popcnt
// instruction; the loader picks the first the processor supports. Without it
// every count would be a call into the compiler's runtime library.
#if KAVRO_MULTIVERSIONED
#define KAVRO_WITH_POPCNT __attribute__((target_clones("popcnt", "default")))
#else
#define KAVRO_WITH_POPCNT
#endif

KAVRO_WITH_POPCNT
void measureEachByWords(const SampleGrid& grid, std::span<const GlyphTemplate* const> candidates,
                        std::span<RankEntry> ranking, bool onesSkipped) {
    measureEach(candidates, ranking, onesSkipped, [&](const GlyphTemplate& glyph, int block) {
        int count = 0;
        for (int r = block; r < block + countedRows; r += 2) {
            count += std::popcount(rowPair(grid, r) ^ rowPair(glyph.rows, r));
        }
        return count;
    });
}

constexpr std::size_t noEntry = static_cast<std::size_t>(-1);

// The entries rank by rising distance, equal distances in candidate order.
// Returns the first entry in that order that `accept(index, entry)` takes, or
// noEntry; one pass instead of a sort, since only a few leading places of the
// ranking ever count.
template <typename Accept>
std::size_t firstRanked(std::span<const RankEntry> entries, Accept accept) {
    std::size_t found = noEntry;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (accept(i, entries[i]) &&
            (found == noEntry || entries[i].distance < entries[found].distance)) {
            found = i;
        }
    }
    return found;
}

// The winning entry and what the result takes from it.
struct Winner {
    std::size_t entry;
    std::uint8_t code;
    int distance;
};

// The winner under the rule for the digit one. A narrow box turns the first
// entry into a "1" (halving its distance if it already was one); a wide box
// skips the entries that are "1" unless all are.
Winner chooseWinner(std::span<const RankEntry> entries, int w, int h, bool oneRule) {
    const std::size_t first =
        firstRanked(entries, [](std::size_t, const RankEntry&) { return true; });
    const RankEntry& nearest = entries[first];
    if (!oneRule) {
        return {first, nearest.code, nearest.distance};
    }
    if (isNarrow(w, h)) {
        const bool isOne = nearest.code == digitOne;
        return {first, digitOne, isOne ? nearest.distance / 2 : nearest.distance};
    }
    if (nearest.code != digitOne) {
        return {first, nearest.code, nearest.distance};
    }
    const std::size_t other =
        firstRanked(entries, [](std::size_t, const RankEntry& e) { return e.code != digitOne; });
    if (other == noEntry) {
        return {first, nearest.code, nearest.distance};
    }
    return {other, entries[other].code, entries[other].distance};
}

// True when the nearest entry ranked after the winner whose code differs from
// the result's is more than twice as far as the result.
bool clearMargin(std::span<const RankEntry> entries, const Winner& winner) {
    const RankEntry& chosen = entries[winner.entry];
    const std::size_t rival = firstRanked(entries, [&](std::size_t i, const RankEntry& e) {
        const bool after =
            e.distance > chosen.distance || (e.distance == chosen.distance && i > winner.entry);
        return after && e.code != winner.code;
    });
    return rival != noEntry && entries[rival].distance > marginFactor * winner.distance;
}

} // namespace

namespace classify_kernels {

void innerGridPlain(const BytePlane& plane, const CellColumns& cellX, const RowStarts& cellY,
                    GridCorners& corners) {
    gatherEachRow<innerRow>(plane, cellX, cellY, corners);
}

void gridMasksPlain(const GridCorners& corners, const CellColumns& fractionX,
                    const RowFractions& fractionY, SampleGrid& grid) {
    for (std::size_t r = 0; r < grid.size(); ++r) {
        grid[r] = rowMask(corners[r], fractionX, fractionY[r]);
    }
}

void measureDistancesPlain(const SampleGrid& grid, std::span<const GlyphTemplate* const> candidates,
                           std::span<RankEntry> ranking, bool onesSkipped) {
    measureEachByWords(grid, candidates, ranking, onesSkipped);
}

} // namespace classify_kernels

CharMatch classifyBox(const BytePlane& plane, int x, int y, int w, int h,
                      std::span<const GlyphTemplate* const> candidates, bool oneRule) {
    if (candidates.empty() || !plane.valid() || plane.width < 1 || plane.height < 1) {
        return {};
    }
    // Room on the stack for the lists of the plate formats; longer ones (never
    // given by the formats) get room on the heap.
    std::array<RankEntry, maxCandidates> room;
    std::vector<RankEntry> longRoom;
    std::span<RankEntry> entries = std::span(room).first(std::min(room.size(), candidates.size()));
    if (candidates.size() > room.size()) {
        longRoom.resize(candidates.size());
        entries = longRoom;
    }
    KAVRO_KERNEL(measureDistances)
    (sampleBox(plane, x, y, w, h), candidates, entries, oneRule && !isNarrow(w, h));
    const Winner winner = chooseWinner(entries, w, h, oneRule);
    int score = ((glyphCells - winner.distance) * maxScore) / glyphCells;
    if (candidates.size() >= 2 && clearMargin(entries, winner)) {
        score += marginBonus;
    }
    return {winner.code, static_cast<std::uint8_t>(std::min(score, maxScore)),
            static_cast<std::int16_t>(winner.distance)};
}

} // namespace kavro
