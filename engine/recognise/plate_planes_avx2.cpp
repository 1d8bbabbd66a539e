// The majority filter's kernels with AVX2. Built for AVX2 alone; they run only
// where kernelSet() chose them.

#include "engine/recognise/plate_planes_kernels.h"

#include <immintrin.h>

namespace kavro {

namespace majority_kernels {
namespace {

constexpr int halfVector = 16;
constexpr int vectorBytes = 32;

// The column sums of a row in 16 bits, followed by zeros for the windows of
// the padding pixels.
using ColumnSums = std::array<std::int16_t, paddedWidth + halfVector>;

__m256i widenBytes(const std::uint8_t* bytes) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)));
}

__m256i loadSums(const std::int16_t* sums) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums));
}

// Sixteen 16-bit masks from each argument as 32 bits, the first argument's
// in the low half.
std::uint32_t maskBits(__m256i low, __m256i high) {
    const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packs_epi16(low, high), 0xD8);
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(bytes));
}

// The window sums without the left neighbour of sixteen pixels from inner index `at` on.
__m256i windowSums(const ColumnSums& columns, const std::uint8_t* row, int at) {
    return _mm256_add_epi16(
        _mm256_sub_epi16(loadSums(&columns[at]), widenBytes(row + at)),
        _mm256_add_epi16(loadSums(&columns[at + 1]), loadSums(&columns[at + 2])));
}

} // namespace

// Thirty-two pixels a step: the column sums in 16-bit lanes, and each
// comparison's lanes gathered into bits by the byte sign mask.
void markMajorityBitsAvx2(const std::uint8_t* above, const std::uint8_t* row,
                          const std::uint8_t* below, MajorityBits& bits) {
    alignas(32) ColumnSums columns;
    for (int x = plateWidth; x < paddedWidth + halfVector; ++x) {
        columns[x] = 0;
    }
    for (int x = 0; x < plateWidth; x += halfVector) {
        const __m256i sum = _mm256_add_epi16(
            _mm256_add_epi16(widenBytes(above + x), widenBytes(row + x)), widenBytes(below + x));
        _mm256_store_si256(reinterpret_cast<__m256i*>(&columns[x]), sum);
    }
    const __m256i sureBelow = _mm256_set1_epi16(majoritySum - 1);
    const __m256i ifLeftBelow = _mm256_set1_epi16(ifLeftSum - 1);
    bits = {};
    for (int i = 0; i < paddedWidth; i += vectorBytes) {
        const __m256i low = windowSums(columns, row, i);
        const __m256i high = windowSums(columns, row, i + halfVector);
        const std::uint32_t sure =
            maskBits(_mm256_cmpgt_epi16(low, sureBelow), _mm256_cmpgt_epi16(high, sureBelow));
        const std::uint32_t ifLeft =
            maskBits(_mm256_cmpgt_epi16(low, ifLeftBelow), _mm256_cmpgt_epi16(high, ifLeftBelow));
        const int shift = i % wordBits;
        bits.sure[i / wordBits] |= std::uint64_t{sure} << shift;
        bits.ifLeft[i / wordBits] |= std::uint64_t{ifLeft} << shift;
    }
}

// Thirty-two pixels a step: byte j of a step picks the byte of the bits that
// holds its bit, and keeps that bit alone.
void writeBitsAvx2(const RowWords& words, std::uint8_t* pixels) {
    const __m256i byteOfBit = _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2,
                                               2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3);
    const __m256i bitOfByte = _mm256_set1_epi64x(static_cast<std::int64_t>(0x8040201008040201ULL));
    for (int i = 0; i < paddedWidth; i += vectorBytes) {
        const auto step = static_cast<std::uint32_t>(words[i / wordBits] >> (i % wordBits));
        const __m256i spread =
            _mm256_shuffle_epi8(_mm256_set1_epi32(static_cast<int>(step)), byteOfBit);
        const __m256i set = _mm256_cmpeq_epi8(_mm256_and_si256(spread, bitOfByte), bitOfByte);
        _mm256_store_si256(reinterpret_cast<__m256i*>(pixels + i), set);
    }
}

} // namespace majority_kernels

} // namespace kavro
