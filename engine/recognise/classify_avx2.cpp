// The kernels of template classification with AVX2. Built for AVX2 alone; they
// run only where kernelSet() chose them.

#include "engine/recognise/classify_kernels.h"

#include <immintrin.h>

namespace kavro {

namespace classify_kernels {
namespace {

// With AVX2, sixteen cells at a time in 16-bit lanes. The cell's sum, regrouped
// about half a pixel, is 2^16 (tl + tr + bl + br) + (fx - 2^15)(tr + br - tl - bl)
// + (fy - 2^15)(bl + br - tl - tr): the same integer, whose last two products
// one multiply-add forms from 16-bit factors.
constexpr int halfUnit = oneUnit / 2;
constexpr int vectorCells = 16;
// A cell is stroke when its sum reaches (strokeLevel << weightBits) - weightHalf.
constexpr int strokeSumBelow = (strokeLevel << weightBits) - weightHalf - 1;

using CentredFractions = std::array<std::int16_t, glyphColumns>;

__m256i lowBytes(__m256i pairs) {
    return _mm256_and_si256(pairs, _mm256_set1_epi16(byteMask));
}

// Bits of sixteen cells, the first cell in bit 15: a byte of each cell's
// result, taken last cell first, then the byte signs.
std::uint32_t cellBits(__m256i strokeLow, __m256i strokeHigh) {
    const __m256i reversed =
        _mm256_setr_epi8(14, 12, 10, 8, 6, 4, 2, 0, -1, -1, -1, -1, -1, -1, -1, -1, 14, 12, 10, 8,
                         6, 4, 2, 0, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i words = _mm256_packs_epi32(strokeLow, strokeHigh);
    const auto bits =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_shuffle_epi8(words, reversed)));
    return ((bits & byteMask) << 8) | ((bits >> 16) & byteMask);
}

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

__m256i loadGroups(const std::uint8_t* line, int low, int high) {
    const auto* lowPiece = reinterpret_cast<const __m128i*>(line + low);
    const auto* highPiece = reinterpret_cast<const __m128i*>(line + high);
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(lowPiece)),
                                   _mm_loadu_si128(highPiece), 1);
}

// The shuffle of two neighbouring groups, `pair` 0 or 1.
__m256i groupIndex(const GroupShuffle& shuffle, int pair) {
    return _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(&shuffle.index[2 * pair + 1]),
                               reinterpret_cast<const __m128i*>(&shuffle.index[2 * pair]));
}

// The pairs of two neighbouring groups of one plane row into `pairs`.
void shufflePairs(const std::uint8_t* line, const GroupShuffle& shuffle, int pair, __m256i index,
                  std::array<std::uint16_t, glyphColumns>& pairs) {
    const __m256i pieces = loadGroups(line, shuffle.first[2 * pair], shuffle.first[2 * pair + 1]);
    _mm256_store_si256(reinterpret_cast<__m256i*>(&pairs[pair * 2 * groupCells]),
                       _mm256_shuffle_epi8(pieces, index));
}

// With AVX2 a block of sixteen rows is two vectors, counted by looking up the
// bits of each half byte in a table of sixteen.
constexpr int vectorRows = 8;
static_assert(countedRows == 2 * vectorRows);

__m256i rowVector(const std::array<std::uint32_t, glyphRows>& rows, int r) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(&rows[static_cast<std::size_t>(r)]));
}

// The set bits of each byte of `v`.
__m256i byteCounts(__m256i v) {
    const __m256i table = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4, 0, 1, 1,
                                           2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4);
    const __m256i nibbles = _mm256_set1_epi8(0x0F);
    const __m256i low = _mm256_and_si256(v, nibbles);
    const __m256i high = _mm256_and_si256(_mm256_srli_epi16(v, 4), nibbles);
    return _mm256_add_epi8(_mm256_shuffle_epi8(table, low), _mm256_shuffle_epi8(table, high));
}

} // namespace

void gridMasksAvx2(const GridCorners& corners, const CellColumns& fractionX,
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

void innerGridAvx2(const BytePlane& plane, const CellColumns& cellX, const RowStarts& cellY,
                   GridCorners& corners) {
    static_assert(groupCount == 4, "two shuffles of two groups each");
    const GroupShuffle shuffle(cellX);
    // The last piece read must end inside the plane.
    const std::size_t lastByte = static_cast<std::size_t>(cellY.back() + 1) * plane.width +
                                 static_cast<std::size_t>(shuffle.first.back()) + groupBytes;
    if (!shuffle.fits || lastByte > plane.pixels.size()) {
        innerGridPlain(plane, cellX, cellY, corners);
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

void measureDistancesAvx2(const SampleGrid& grid, std::span<const GlyphTemplate* const> candidates,
                          std::span<RankEntry> ranking, bool onesSkipped) {
    const auto countBlock = [&](const GlyphTemplate& glyph, int block) {
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

} // namespace classify_kernels

} // namespace kavro
