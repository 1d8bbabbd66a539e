// The warp's sampling kernel with AVX2: eight plate pixels at a time. Built for
// AVX2 alone; it runs only where kernelSet() chose it.

#include "engine/primitives/plate_warp_kernels.h"

#include <immintrin.h>

namespace kavro {

namespace {

constexpr int avx2Lanes = 8;

// Eight pixels' four neighbours: their words as gathered (blue, green, red and
// the next pixel's blue), or the even or odd bytes of the words in 16-bit lanes.
struct Neighbours {
    __m256i topLeft;
    __m256i topRight;
    __m256i bottomLeft;
    __m256i bottomRight;
};

// The even or the odd bytes of 32-bit words in their 16-bit lanes.
template <int odd>
__m256i spreadBytes(__m256i words) {
    return _mm256_and_si256(_mm256_srli_epi32(words, 8 * odd), _mm256_set1_epi32(0x00FF00FF));
}

template <int odd>
Neighbours spreadNeighbours(const Neighbours& words) {
    return {spreadBytes<odd>(words.topLeft), spreadBytes<odd>(words.topRight),
            spreadBytes<odd>(words.bottomLeft), spreadBytes<odd>(words.bottomRight)};
}

// Per 16-bit lane, the sum of the four neighbours and the pairs of differences
// the fractions weigh: (TR + BR - TL - BL) in the low half and
// (BL + BR - TL - TR) in the high half of a 32-bit lane, for the low or
// the high 16 bits of the neighbours' lanes.
struct ChannelTerms {
    __m256i total;
    __m256i lowDifferences;
    __m256i highDifferences;
};

ChannelTerms channelTerms(const Neighbours& n) {
    const __m256i left = _mm256_add_epi16(n.topLeft, n.bottomLeft);
    const __m256i right = _mm256_add_epi16(n.topRight, n.bottomRight);
    const __m256i top = _mm256_add_epi16(n.topLeft, n.topRight);
    const __m256i bottom = _mm256_add_epi16(n.bottomLeft, n.bottomRight);
    const __m256i across = _mm256_sub_epi16(right, left);
    const __m256i down = _mm256_sub_epi16(bottom, top);
    constexpr int highHalves = 0xAA;
    return {_mm256_add_epi16(left, right),
            _mm256_blend_epi16(across, _mm256_slli_epi32(down, 16), highHalves),
            _mm256_blend_epi16(_mm256_srli_epi32(across, 16), down, highHalves)};
}

// One channel of eight samples. With f' = f - 2^15, which fits in 16 signed
// bits, the four edge weights regroup into
//   2^16 (TL + TR + BL + BR) + fx' (TR + BR - TL - BL) + fy' (BL + BR - TL - TR),
// the same integer sum; the last two terms are one multiply-add of 16-bit pairs.
// Their bits below 16 cannot carry past bit 17 of the sum, so shifting them
// out first gives the same sum >> 18.
__m256i weighChannel(__m256i total, __m256i differences, __m256i fractions) {
    const __m256i weighted = _mm256_madd_epi16(differences, fractions);
    return _mm256_srai_epi32(_mm256_add_epi32(total, _mm256_srai_epi32(weighted, warpFixedShift)),
                             warpCoefficientShift - warpFixedShift);
}

// Blue, green and red of eight samples in the low three bytes of their lanes.
__m256i weighPixels(const Neighbours& words, __m256i fractions) {
    const __m256i lowHalf = _mm256_set1_epi32(0xFFFF);
    const ChannelTerms even = channelTerms(spreadNeighbours<0>(words));
    const ChannelTerms odd = channelTerms(spreadNeighbours<1>(words));
    const __m256i blue =
        weighChannel(_mm256_and_si256(even.total, lowHalf), even.lowDifferences, fractions);
    const __m256i red =
        weighChannel(_mm256_srli_epi32(even.total, 16), even.highDifferences, fractions);
    const __m256i green =
        weighChannel(_mm256_and_si256(odd.total, lowHalf), odd.lowDifferences, fractions);
    return _mm256_or_si256(
        blue, _mm256_or_si256(_mm256_slli_epi32(green, 8), _mm256_slli_epi32(red, 16)));
}

// Eight pixels of blue, green and red in the low three bytes of their lanes,
// written as 24 consecutive bytes.
void storePixels(__m256i pixels, std::uint8_t* out) {
    const __m256i dropFourth =
        _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6,
                         8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m256i packed = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(pixels, dropFourth),
                                                       _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(packed));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm256_extracti128_si256(packed, 1));
}

// Columns within this many of the first pixel's keep the neighbours' bytes in
// the 16 bytes from the first pixel's top-left neighbour on.
constexpr int shuffleColumns = 3;
constexpr int shuffleBytes = 16;

// The neighbours of eight pixels on one source row whose columns lie within
// shuffleColumns of the first one's: two loads of 16 bytes, from the first
// top-left neighbour and below it, and byte shuffles. Each lane picks bytes
// 3 (ix - first ix) + 0 ... 3, and for the right neighbours `rightBytes` (0 or
// 3 in every byte) further.
Neighbours shuffleNeighbours(const std::uint8_t* topLeft, std::ptrdiff_t below, __m256i columnsIn,
                             __m256i rightBytes) {
    const __m256i top =
        _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(topLeft)));
    const __m256i bottom = _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(topLeft + below)));
    const __m256i lowByte = _mm256_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12, 0,
                                             0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12);
    const __m256i columnBytes = _mm256_add_epi32(columnsIn, _mm256_add_epi32(columnsIn, columnsIn));
    const __m256i left =
        _mm256_add_epi8(_mm256_shuffle_epi8(columnBytes, lowByte), _mm256_set1_epi32(0x03020100));
    const __m256i right = _mm256_add_epi8(left, rightBytes);
    return {_mm256_shuffle_epi8(top, left), _mm256_shuffle_epi8(top, right),
            _mm256_shuffle_epi8(bottom, left), _mm256_shuffle_epi8(bottom, right)};
}

// Where eight pixels' top-left neighbours lie (columns, rows and byte offsets),
// and how many bytes further their right and lower neighbours.
struct GroupOffsets {
    __m256i ix;
    __m256i iy;
    __m256i topLeft;
    __m256i right;
    __m256i below;
};

// The neighbours' bytes: by shuffles when the group allows and its loads stay
// inside the picture (`lastLoad` is the last offset a 16-byte load may start
// at), else by four gathers.
Neighbours fetchNeighbours(const GroupOffsets& group, const std::uint8_t* pixels, int lastLoad) {
    const __m256i firstLane = _mm256_setzero_si256();
    const __m256i span = _mm256_set1_epi32(shuffleColumns);
    const __m256i columnsIn =
        _mm256_sub_epi32(group.ix, _mm256_permutevar8x32_epi32(group.ix, firstLane));
    const __m256i sameRow =
        _mm256_cmpeq_epi32(group.iy, _mm256_permutevar8x32_epi32(group.iy, firstLane));
    const __m256i near = _mm256_cmpeq_epi32(_mm256_max_epu32(columnsIn, span), span);
    const int firstTopLeft = _mm256_cvtsi256_si32(group.topLeft);
    const int below = _mm256_cvtsi256_si32(group.below);
    if (_mm256_testc_si256(_mm256_and_si256(sameRow, near), _mm256_set1_epi32(-1)) &&
        firstTopLeft + below <= lastLoad) {
        const __m256i rightBytes = _mm256_mullo_epi32(group.right, _mm256_set1_epi32(0x01010101));
        return shuffleNeighbours(pixels + firstTopLeft, below, columnsIn, rightBytes);
    }
    const auto* base = reinterpret_cast<const int*>(pixels);
    const __m256i bottomLeft = _mm256_add_epi32(group.topLeft, group.below);
    return {_mm256_i32gather_epi32(base, group.topLeft, 1),
            _mm256_i32gather_epi32(base, _mm256_add_epi32(group.topLeft, group.right), 1),
            _mm256_i32gather_epi32(base, bottomLeft, 1),
            _mm256_i32gather_epi32(base, _mm256_add_epi32(bottomLeft, group.right), 1)};
}

} // namespace

// Eight pixels at a time. A gather reads one byte past its pixel, which only
// the picture's last pixel cannot spare; a group reaching that pixel is
// sampled one by one.
void sampleRowAvx2(const RowPositions& positions, const PicturePixels& source, std::uint8_t* out) {
    const int rowBytes = source.width * warpPixelBytes;
    const __m256i rowStep = _mm256_set1_epi32(rowBytes);
    const __m256i rightLimit = _mm256_set1_epi32(source.width - neighbourMargin);
    const __m256i belowLimit = _mm256_set1_epi32(source.height - neighbourMargin);
    const __m256i lastPixel = _mm256_set1_epi32(rowBytes * source.height - warpPixelBytes);
    const int lastLoad = rowBytes * source.height - shuffleBytes;
    for (int u = 0; u < warpWidth; u += avx2Lanes, out += avx2Lanes * warpPixelBytes) {
        const __m256i sx = _mm256_load_si256(reinterpret_cast<const __m256i*>(&positions.x[u]));
        const __m256i sy = _mm256_load_si256(reinterpret_cast<const __m256i*>(&positions.y[u]));
        const __m256i ix = _mm256_srai_epi32(sx, warpFixedShift);
        const __m256i iy = _mm256_srai_epi32(sy, warpFixedShift);
        const __m256i topLeft = _mm256_add_epi32(_mm256_mullo_epi32(iy, rowStep),
                                                 _mm256_add_epi32(ix, _mm256_add_epi32(ix, ix)));
        if (!_mm256_testz_si256(_mm256_cmpeq_epi32(topLeft, lastPixel), _mm256_set1_epi32(-1))) {
            samplePixels(positions, u, avx2Lanes, source, out);
            continue;
        }
        const GroupOffsets group{
            ix, iy, topLeft,
            _mm256_and_si256(_mm256_cmpgt_epi32(rightLimit, ix), _mm256_set1_epi32(warpPixelBytes)),
            _mm256_and_si256(_mm256_cmpgt_epi32(belowLimit, iy), rowStep)};
        const Neighbours words = fetchNeighbours(group, source.pixels, lastLoad);
        // fx - 2^15 in the low and fy - 2^15 in the high 16 bits of each lane.
        const __m256i fractions = _mm256_xor_si256(
            _mm256_blend_epi16(sx, _mm256_slli_epi32(sy, 16), 0xAA), _mm256_set1_epi32(0x80008000));
        storePixels(weighPixels(words, fractions), out);
    }
}

} // namespace kavro
