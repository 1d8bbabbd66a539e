#include "engine/recognise/classify.h"

#include "data/plate_formats.h"
#include "engine/primitives/vector_loops.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#if KAVRO_HAS_AVX2_VERSIONS
#include <immintrin.h>
#endif

namespace {

constexpr int fractionBits = 16;
constexpr std::int64_t fixedOne = std::int64_t{1} << fractionBits;
constexpr int fractionMask = 0xFFFF;
// The four corner weights of a cell sum to 2^18.
constexpr int weightBits = 18;
constexpr int weightHalf = 1 << (weightBits - 1);
constexpr int oneUnit = 1 << fractionBits;
constexpr int strokeLevel = 128;
constexpr int maxScore = 100;
constexpr int marginBonus = 5;
constexpr int marginFactor = 2;
constexpr int narrowRatio = 4; // a box at most h / 4 wide is a "1"
constexpr std::uint8_t digitOne = '1';

// A box this narrow is a "1" under the rule for the digit one.
bool isNarrow(int w, int h) {
    return w <= h / narrowRatio;
}

using SampleGrid = std::array<std::uint32_t, glyphRows>;

struct RankEntry {
    std::uint8_t code;
    int distance;
};

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

// The corners of the 32 cells of one grid row: the top pair of each cell in
// one array and the bottom pair in another, each pair the two bytes as they
// lie side by side in the plane, so that a pair is one load.
struct RowCorners {
    alignas(32) std::array<std::uint16_t, glyphColumns> top;
    alignas(32) std::array<std::uint16_t, glyphColumns> bottom;
};

constexpr int byteMask = 0xFF;
// Where the left and the right pixel of a pair lie in its value.
constexpr int leftShift = std::endian::native == std::endian::little ? 0 : 8;
constexpr int rightShift = 8 - leftShift;

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

using CellColumns = std::array<int, glyphColumns>;
using GridCorners = std::array<RowCorners, glyphRows>;
using RowFractions = std::array<int, glyphRows>;

// Masks of all grid rows from their corners, gathered beforehand: the corners
// are stored in pieces smaller than the vectors that read them, and such a
// read waits while the stores are still under way.
KAVRO_DEFAULT_VERSION
void gridMasks(const GridCorners& corners, const CellColumns& fractionX,
               const RowFractions& fractionY, SampleGrid& grid) {
    for (std::size_t r = 0; r < grid.size(); ++r) {
        grid[r] = rowMask(corners[r], fractionX, fractionY[r]);
    }
}

#if KAVRO_HAS_AVX2_VERSIONS
// With AVX2, sixteen cells at a time in 16-bit lanes. The cell's sum, regrouped
// about half a pixel, is 2^16 (tl + tr + bl + br) + (fx - 2^15)(tr + br - tl - bl)
// + (fy - 2^15)(bl + br - tl - tr): the same integer, whose last two products
// one multiply-add forms from 16-bit factors.
constexpr int halfUnit = oneUnit / 2;
constexpr int vectorCells = 16;
// A cell is stroke when its sum reaches (strokeLevel << weightBits) - weightHalf.
constexpr int strokeSumBelow = (strokeLevel << weightBits) - weightHalf - 1;

using CentredFractions = std::array<std::int16_t, glyphColumns>;

KAVRO_AVX2_VERSION
__m256i lowBytes(__m256i pairs) {
    return _mm256_and_si256(pairs, _mm256_set1_epi16(byteMask));
}

// Bits of sixteen cells, the first cell in bit 15: a byte of each cell's
// result, taken last cell first, then the byte signs.
KAVRO_AVX2_VERSION
std::uint32_t cellBits(__m256i strokeLow, __m256i strokeHigh) {
    const __m256i reversed =
        _mm256_setr_epi8(14, 12, 10, 8, 6, 4, 2, 0, -1, -1, -1, -1, -1, -1, -1, -1, 14, 12, 10, 8,
                         6, 4, 2, 0, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i words = _mm256_packs_epi32(strokeLow, strokeHigh);
    const auto bits =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_shuffle_epi8(words, reversed)));
    return ((bits & byteMask) << 8) | ((bits >> 16) & byteMask);
}

KAVRO_AVX2_VERSION
std::uint32_t sixteenCells(const std::uint16_t* top, const std::uint16_t* bottom, __m256i fx,
                           __m256i fy) {
    const __m256i topPairs = _mm256_load_si256(reinterpret_cast<const __m256i*>(top));
    const __m256i bottomPairs = _mm256_load_si256(reinterpret_cast<const __m256i*>(bottom));
    const __m256i tl = lowBytes(topPairs);
    const __m256i tr = _mm256_srli_epi16(topPairs, 8);
    const __m256i bl = lowBytes(bottomPairs);
    const __m256i br = _mm256_srli_epi16(bottomPairs, 8);
    const __m256i all = _mm256_add_epi16(_mm256_add_epi16(tl, tr), _mm256_add_epi16(bl, br));
    const __m256i across = _mm256_sub_epi16(_mm256_add_epi16(tr, br), _mm256_add_epi16(tl, bl));
    const __m256i down = _mm256_sub_epi16(_mm256_add_epi16(bl, br), _mm256_add_epi16(tl, tr));
    const __m256i zero = _mm256_setzero_si256();
    const __m256i limit = _mm256_set1_epi32(strokeSumBelow);
    const __m256i sumLow = _mm256_add_epi32(
        _mm256_unpacklo_epi16(zero, all),
        _mm256_madd_epi16(_mm256_unpacklo_epi16(across, down), _mm256_unpacklo_epi16(fx, fy)));
    const __m256i sumHigh = _mm256_add_epi32(
        _mm256_unpackhi_epi16(zero, all),
        _mm256_madd_epi16(_mm256_unpackhi_epi16(across, down), _mm256_unpackhi_epi16(fx, fy)));
    return cellBits(_mm256_cmpgt_epi32(sumLow, limit), _mm256_cmpgt_epi32(sumHigh, limit));
}

KAVRO_AVX2_VERSION
void gridMasks(const GridCorners& corners, const CellColumns& fractionX,
               const RowFractions& fractionY, SampleGrid& grid) {
    static_assert(glyphColumns == 2 * vectorCells && leftShift == 0);
    alignas(32) CentredFractions centredX{};
    for (int c = 0; c < glyphColumns; ++c) {
        centredX[c] = static_cast<std::int16_t>(fractionX[c] - halfUnit);
    }
    const __m256i fxLeft = _mm256_load_si256(reinterpret_cast<const __m256i*>(&centredX[0]));
    const __m256i fxRight =
        _mm256_load_si256(reinterpret_cast<const __m256i*>(&centredX[vectorCells]));
    for (std::size_t r = 0; r < grid.size(); ++r) {
        const __m256i fy = _mm256_set1_epi16(static_cast<std::int16_t>(fractionY[r] - halfUnit));
        const RowCorners& row = corners[r];
        grid[r] = (sixteenCells(&row.top[0], &row.bottom[0], fxLeft, fy) << vectorCells) |
                  sixteenCells(&row.top[vectorCells], &row.bottom[vectorCells], fxRight, fy);
    }
}
#endif

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

using RowStarts = std::array<int, glyphRows>; // the plane row of each grid row

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

KAVRO_DEFAULT_VERSION
void innerGrid(const BytePlane& plane, const CellColumns& cellX, const RowStarts& cellY,
               GridCorners& corners) {
    gatherEachRow<innerRow>(plane, cellX, cellY, corners);
}

#if KAVRO_HAS_AVX2_VERSIONS
// Eight cells make a group whose pairs come from one 16-byte piece of a plane
// row when the group spans at most that many bytes, which holds for boxes up
// to 64 pixels wide. A byte shuffle, the same for every grid row, then puts
// the pairs of two groups in place at once.
constexpr int groupCells = 8;
constexpr int groupBytes = 16;
constexpr int groupCount = glyphColumns / groupCells;

struct GroupShuffle {
    std::array<int, groupCount> first{}; // the column each group's piece starts at
    std::array<std::array<std::int8_t, groupBytes>, groupCount> index{};
    bool fits = true;

    explicit GroupShuffle(const CellColumns& cellX) {
        for (int g = 0; g < groupCount; ++g) {
            first[g] = cellX[g * groupCells];
            for (int k = 0; k < groupCells; ++k) {
                const int offset = cellX[g * groupCells + k] - first[g];
                fits = fits && offset >= 0 && offset + 1 < groupBytes;
                index[g][2 * k] = static_cast<std::int8_t>(offset);
                index[g][2 * k + 1] = static_cast<std::int8_t>(offset + 1);
            }
        }
    }
};

KAVRO_AVX2_VERSION
__m256i loadGroups(const std::uint8_t* line, int low, int high) {
    const auto* lowPiece = reinterpret_cast<const __m128i*>(line + low);
    const auto* highPiece = reinterpret_cast<const __m128i*>(line + high);
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(lowPiece)),
                                   _mm_loadu_si128(highPiece), 1);
}

// The shuffle of two neighbouring groups, `pair` 0 or 1.
KAVRO_AVX2_VERSION
__m256i groupIndex(const GroupShuffle& shuffle, int pair) {
    return _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(&shuffle.index[2 * pair + 1]),
                               reinterpret_cast<const __m128i*>(&shuffle.index[2 * pair]));
}

// The pairs of two neighbouring groups of one plane row into `pairs`.
KAVRO_AVX2_VERSION
void shufflePairs(const std::uint8_t* line, const GroupShuffle& shuffle, int pair, __m256i index,
                  std::array<std::uint16_t, glyphColumns>& pairs) {
    const __m256i pieces = loadGroups(line, shuffle.first[2 * pair], shuffle.first[2 * pair + 1]);
    _mm256_store_si256(reinterpret_cast<__m256i*>(&pairs[pair * 2 * groupCells]),
                       _mm256_shuffle_epi8(pieces, index));
}

KAVRO_AVX2_VERSION
void innerGrid(const BytePlane& plane, const CellColumns& cellX, const RowStarts& cellY,
               GridCorners& corners) {
    static_assert(groupCount == 4, "two shuffles of two groups each");
    const GroupShuffle shuffle(cellX);
    // The last piece read must end inside the plane.
    const std::size_t lastByte = static_cast<std::size_t>(cellY.back() + 1) * plane.width +
                                 static_cast<std::size_t>(shuffle.first.back()) + groupBytes;
    if (!shuffle.fits || lastByte > plane.pixels.size()) {
        gatherEachRow<innerRow>(plane, cellX, cellY, corners);
        return;
    }
    const __m256i left = groupIndex(shuffle, 0);
    const __m256i right = groupIndex(shuffle, 1);
    for (std::size_t r = 0; r < corners.size(); ++r) {
        const std::uint8_t* top =
            plane.pixels.data() + static_cast<std::ptrdiff_t>(cellY[r]) * plane.width;
        const std::uint8_t* bottom = top + plane.width;
        shufflePairs(top, shuffle, 0, left, corners[r].top);
        shufflePairs(top, shuffle, 1, right, corners[r].top);
        shufflePairs(bottom, shuffle, 0, left, corners[r].bottom);
        shufflePairs(bottom, shuffle, 1, right, corners[r].bottom);
    }
}
#endif

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
    gridMasks(corners, fractionX, fractionY, grid);
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

// Rows counted between two checks of whether a candidate can still matter.
constexpr int countedRows = glyphRows / 3;
static_assert(glyphRows % countedRows == 0 && countedRows % 2 == 0);

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
        if (!onesSkipped || glyph.code != digitOne) {
            least = std::min(least, distance);
        }
    }
}

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

KAVRO_DEFAULT_VERSION
void measureDistances(const SampleGrid& grid, std::span<const GlyphTemplate* const> candidates,
                      std::span<RankEntry> ranking, bool onesSkipped) {
    measureEachByWords(grid, candidates, ranking, onesSkipped);
}

#if KAVRO_HAS_AVX2_VERSIONS
// With AVX2 a block of sixteen rows is two vectors, counted by looking up the
// bits of each half byte in a table of sixteen.
constexpr int vectorRows = 8;
static_assert(countedRows == 2 * vectorRows);

KAVRO_AVX2_VERSION
__m256i rowVector(const std::array<std::uint32_t, glyphRows>& rows, int r) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(&rows[static_cast<std::size_t>(r)]));
}

// The set bits of each byte of `v`.
KAVRO_AVX2_VERSION
__m256i byteCounts(__m256i v) {
    const __m256i table = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4, 0, 1, 1,
                                           2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4);
    const __m256i nibbles = _mm256_set1_epi8(0x0F);
    const __m256i low = _mm256_and_si256(v, nibbles);
    const __m256i high = _mm256_and_si256(_mm256_srli_epi16(v, 4), nibbles);
    return _mm256_add_epi8(_mm256_shuffle_epi8(table, low), _mm256_shuffle_epi8(table, high));
}

KAVRO_AVX2_VERSION
void measureDistances(const SampleGrid& grid, std::span<const GlyphTemplate* const> candidates,
                      std::span<RankEntry> ranking, bool onesSkipped) {
    const auto countBlock = [&](const GlyphTemplate& glyph, int block) KAVRO_AVX2_VERSION {
        const __m256i first =
            _mm256_xor_si256(rowVector(grid, block), rowVector(glyph.rows, block));
        const __m256i second = _mm256_xor_si256(rowVector(grid, block + vectorRows),
                                                rowVector(glyph.rows, block + vectorRows));
        const __m256i sums = _mm256_sad_epu8(_mm256_add_epi8(byteCounts(first), byteCounts(second)),
                                             _mm256_setzero_si256());
        const __m128i halves =
            _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
        return static_cast<int>(_mm_cvtsi128_si64(halves) + _mm_extract_epi64(halves, 1));
    };
    measureEach(candidates, ranking, onesSkipped, countBlock);
}
#endif

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
    measureDistances(sampleBox(plane, x, y, w, h), candidates, entries, oneRule && !isNarrow(w, h));
    const Winner winner = chooseWinner(entries, w, h, oneRule);
    int score = ((glyphCells - winner.distance) * maxScore) / glyphCells;
    if (candidates.size() >= 2 && clearMargin(entries, winner)) {
        score += marginBonus;
    }
    return {winner.code, static_cast<std::uint8_t>(std::min(score, maxScore)),
            static_cast<std::int16_t>(winner.distance)};
}
