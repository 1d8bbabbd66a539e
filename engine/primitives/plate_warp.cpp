#include "engine/primitives/plate_warp.h"

#include "engine/primitives/vector_loops.h"
#include "image/picture_limits.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <utility>

#if KAVRO_HAS_AVX2_VERSIONS
#include <immintrin.h>
#endif

namespace {

constexpr double coefficientScale = 262144.0; // 2^18
constexpr std::int64_t coefficientOne = 262144;
constexpr int coefficientShift = 18;
constexpr int fixedShift = 16; // source positions are 16.16
constexpr std::int64_t fixedOne = 65536;
constexpr std::int64_t fractionMask = 0xFFFF;
constexpr int neighbourMargin = 3; // the right and lower neighbours stop 3 pixels from the border

constexpr int augmentedColumns = plateSystemSize + 1;
using AugmentedMatrix = std::array<std::array<double, augmentedColumns>, plateSystemSize>;

struct Correspondence {
    double u;
    double v;
    Corner source;
};

// A source position in 16.16 fixed point.
struct SourcePosition {
    std::int64_t x;
    std::int64_t y;
};

AugmentedMatrix augment(const PlateSystem& system) {
    AugmentedMatrix work{};
    for (int row = 0; row < plateSystemSize; ++row) {
        for (int column = 0; column < plateSystemSize; ++column) {
            work[row][column] = system.matrix[row][column];
        }
        work[row][plateSystemSize] = system.rightSide[row];
    }
    return work;
}

// Among rows i ... 7 the one with the largest |entry in column i|; ties keep the upper row.
int pivotRow(const AugmentedMatrix& work, int i) {
    int best = i;
    double bestMagnitude = std::abs(work[i][i]);
    for (int row = i + 1; row < plateSystemSize; ++row) {
        if (std::abs(work[row][i]) > bestMagnitude) {
            best = row;
            bestMagnitude = std::abs(work[row][i]);
        }
    }
    return best;
}

void eliminateColumn(AugmentedMatrix& work, int i) {
    const int pivot = pivotRow(work, i);
    if (pivot != i) {
        for (int column = i; column < augmentedColumns; ++column) {
            std::swap(work[i][column], work[pivot][column]);
        }
    }
    const double divisor = work[i][i];
    for (int column = i; column < augmentedColumns; ++column) {
        work[i][column] /= divisor;
    }
    for (int row = i + 1; row < plateSystemSize; ++row) {
        const double factor = work[row][i];
        for (int column = i; column < augmentedColumns; ++column) {
            work[row][column] -= factor * work[i][column];
        }
    }
}

void substituteBack(AugmentedMatrix& work) {
    constexpr int rhs = plateSystemSize;
    for (int k = plateSystemSize - 1; k >= 1; --k) {
        for (int row = k - 1; row >= 0; --row) {
            work[row][rhs] -= work[row][k] * work[k][rhs];
            work[row][k] = 0.0;
        }
    }
}

// trunc(value * 2^18), or empty when that is not a 32-bit value (NaN fails both tests).
std::optional<std::int32_t> toFixedCoefficient(double value) {
    constexpr double lowest = std::numeric_limits<std::int32_t>::min() - 1.0;
    constexpr double highest = std::numeric_limits<std::int32_t>::max() + 1.0;
    const double scaled = value * coefficientScale;
    if (!(scaled > lowest && scaled < highest)) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(scaled);
}

// The numerators and the denominator of the map at one plate pixel. Along a row
// they grow by (a, d, g) per pixel and down a column by (b, e, h) per row, so they
// are carried from pixel to pixel instead of multiplied out. They are kept in 64
// bits: wherever they fit in 32 bits this is the same value, and where they do
// not (large pictures) it is the true one instead of a wrapped one.
struct MapTerms {
    std::int64_t x;
    std::int64_t y;
    std::int64_t denominator;
};

MapTerms rowStart(const WarpCoefficients& k, std::int64_t v) {
    return {v * k.b + k.c, v * k.e + k.f, v * k.h + coefficientOne};
}

void stepRight(MapTerms& terms, const WarpCoefficients& k) {
    terms.x += k.a;
    terms.y += k.d;
    terms.denominator += k.g;
}

// The source position of a plate pixel whose denominator is positive.
SourcePosition sourcePosition(const MapTerms& terms) {
    return SourcePosition{terms.x * fixedOne / terms.denominator,
                          terms.y * fixedOne / terms.denominator};
}

// The source position of a plate pixel, or empty when the denominator is not
// positive: it is 2^18 at (0, 0), and a map of a real plate never turns it to
// zero or below inside the rectangle.
std::optional<SourcePosition> mapToSource(const MapTerms& terms) {
    if (terms.denominator <= 0) {
        return std::nullopt;
    }
    return sourcePosition(terms);
}

bool insideSource(const SourcePosition& position, int sourceWidth, int sourceHeight) {
    return position.x >= 0 && (position.x >> fixedShift) <= sourceWidth - 1 && position.y >= 0 &&
           (position.y >> fixedShift) <= sourceHeight - 1;
}

const std::uint8_t* pixelAt(const std::uint8_t* image, int width, int x, int y) {
    return image + (static_cast<std::ptrdiff_t>(y) * width + x) * warpPixelBytes;
}

// Weights the pixel at the position and its right and lower neighbours by the
// distance of the position to the pixel's four edges; weights sum to 2^18.
void samplePixel(std::uint8_t* out, const SourcePosition& position, const std::uint8_t* source,
                 int sourceWidth, int sourceHeight) {
    const int ix = static_cast<int>(position.x >> fixedShift);
    const int iy = static_cast<int>(position.y >> fixedShift);
    const int fx = static_cast<int>(position.x & fractionMask);
    const int fy = static_cast<int>(position.y & fractionMask);
    const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(sourceWidth) * warpPixelBytes;
    const std::ptrdiff_t rightStep = ix < sourceWidth - neighbourMargin ? warpPixelBytes : 0;
    const std::ptrdiff_t belowStep = iy < sourceHeight - neighbourMargin ? rowBytes : 0;

    const std::uint8_t* topLeft = pixelAt(source, sourceWidth, ix, iy);
    const std::uint8_t* topRight = topLeft + rightStep;
    const std::uint8_t* bottomLeft = topLeft + belowStep;
    const std::uint8_t* bottomRight = bottomLeft + rightStep;
    constexpr int one = static_cast<int>(fixedOne);
    const int topLeftWeight = 2 * one - fx - fy;
    const int topRightWeight = one + fx - fy;
    const int bottomLeftWeight = one - fx + fy;
    const int bottomRightWeight = fx + fy;
    for (int channel = 0; channel < warpPixelBytes; ++channel) {
        const int sum = topLeft[channel] * topLeftWeight + topRight[channel] * topRightWeight +
                        bottomLeft[channel] * bottomLeftWeight +
                        bottomRight[channel] * bottomRightWeight;
        out[channel] = static_cast<std::uint8_t>(sum >> coefficientShift);
    }
}

// True when the four corners of the rectangle map inside the source. Then
// every plate pixel does: the denominator, linear in u and v, is positive
// all over the rectangle, and along a row or a column each coordinate is a
// ratio of two linear functions without a pole, which moves one way only, so
// over the rectangle it lies between its values at the corners; truncation
// keeps that order.
bool cornersInside(const WarpCoefficients& k, int sourceWidth, int sourceHeight) {
    for (const int v : {0, warpHeight - 1}) {
        for (const int u : {0, warpWidth - 1}) {
            MapTerms terms = rowStart(k, v);
            terms.x += std::int64_t{u} * k.a;
            terms.y += std::int64_t{u} * k.d;
            terms.denominator += std::int64_t{u} * k.g;
            const auto position = mapToSource(terms);
            if (!position || !insideSource(*position, sourceWidth, sourceHeight)) {
                return false;
            }
        }
    }
    return true;
}

// Below this bound a numerator's 16.16 product stays below 2^53, where doubles
// hold integers exactly.
constexpr std::int64_t exactNumeratorLimit = std::int64_t{1} << 37;

// True when the numerators over the whole rectangle stay within
// exactNumeratorLimit: being linear, they are largest at the corners. The
// denominators, below 2^41 for any 32-bit coefficients, always are.
bool exactInDoubles(const WarpCoefficients& k) {
    for (const int v : {0, warpHeight - 1}) {
        MapTerms terms = rowStart(k, v);
        for (const int u : {0, warpWidth - 1}) {
            const std::int64_t x = terms.x + std::int64_t{u} * k.a;
            const std::int64_t y = terms.y + std::int64_t{u} * k.d;
            if (std::abs(x) >= exactNumeratorLimit || std::abs(y) >= exactNumeratorLimit) {
                return false;
            }
        }
    }
    return true;
}

// Four lanes of doubles and of 32-bit integers; the compiler maps them onto the
// widest vectors the processor has.
using Doubles = double __attribute__((vector_size(32)));
using Int32s = std::int32_t __attribute__((vector_size(16)));
constexpr int lanes = 4;

// n / d truncated toward zero, for integers n and d > 0 below 2^53 whose
// quotients fit in 32 bits. The division rounds to nearest: the result moves
// from n / d by at most half a unit in the last place, at most |n / d| 2^-53,
// which is less than 1 / d because |n| < 2^53. A quotient that is not an
// integer lies at least 1 / d from the nearest one, so rounding never carries
// it across, and truncating the rounded quotient truncates the true one.
inline Int32s truncatedQuotients(const Doubles& n, const Doubles& d) {
    return __builtin_convertvector(n / d, Int32s);
}

// The source positions of one plate row.
struct RowPositions {
    alignas(32) std::array<std::int32_t, warpWidth> x;
    alignas(32) std::array<std::int32_t, warpWidth> y;
};

// The divisions of one row, four pixels at a time in double precision.
KAVRO_WITH_AVX2
void mapRow(const MapTerms& start, const WarpCoefficients& k, RowPositions& positions) {
    constexpr auto scale = static_cast<double>(fixedOne);
    const Doubles offsets{0.0, 1.0, 2.0, 3.0};
    Doubles x = static_cast<double>(start.x) * scale + offsets * (static_cast<double>(k.a) * scale);
    Doubles y = static_cast<double>(start.y) * scale + offsets * (static_cast<double>(k.d) * scale);
    Doubles denominator = static_cast<double>(start.denominator) + offsets * k.g;
    const double xStep = static_cast<double>(k.a) * scale * lanes;
    const double yStep = static_cast<double>(k.d) * scale * lanes;
    const double dStep = static_cast<double>(k.g) * lanes;
    for (int u = 0; u < warpWidth; u += lanes) {
        const Int32s qx = truncatedQuotients(x, denominator);
        const Int32s qy = truncatedQuotients(y, denominator);
        std::memcpy(&positions.x[u], &qx, sizeof qx);
        std::memcpy(&positions.y[u], &qy, sizeof qy);
        x += xStep;
        y += yStep;
        denominator += dStep;
    }
}

// A 24-bit picture whose bytes are addressed by 32-bit offsets.
struct SourcePicture {
    const std::uint8_t* pixels;
    int width;
    int height;
};

// Samples `count` pixels of a row from its `first` on, one by one.
void samplePixels(const RowPositions& positions, int first, int count, const SourcePicture& source,
                  std::uint8_t* out) {
    for (int u = first; u < first + count; ++u, out += warpPixelBytes) {
        samplePixel(out, {positions.x[u], positions.y[u]}, source.pixels, source.width,
                    source.height);
    }
}

KAVRO_DEFAULT_VERSION
void sampleRow(const RowPositions& positions, const SourcePicture& source, std::uint8_t* out) {
    samplePixels(positions, 0, warpWidth, source, out);
}

#if KAVRO_HAS_AVX2_VERSIONS
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
KAVRO_AVX2_VERSION __m256i spreadBytes(__m256i words) {
    return _mm256_and_si256(_mm256_srli_epi32(words, 8 * odd), _mm256_set1_epi32(0x00FF00FF));
}

template <int odd>
KAVRO_AVX2_VERSION Neighbours spreadNeighbours(const Neighbours& words) {
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

KAVRO_AVX2_VERSION ChannelTerms channelTerms(const Neighbours& n) {
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
KAVRO_AVX2_VERSION __m256i weighChannel(__m256i total, __m256i differences, __m256i fractions) {
    const __m256i weighted = _mm256_madd_epi16(differences, fractions);
    return _mm256_srai_epi32(_mm256_add_epi32(total, _mm256_srai_epi32(weighted, fixedShift)),
                             coefficientShift - fixedShift);
}

// Blue, green and red of eight samples in the low three bytes of their lanes.
KAVRO_AVX2_VERSION __m256i weighPixels(const Neighbours& words, __m256i fractions) {
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
KAVRO_AVX2_VERSION
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
KAVRO_AVX2_VERSION Neighbours shuffleNeighbours(const std::uint8_t* topLeft, std::ptrdiff_t below,
                                                __m256i columnsIn, __m256i rightBytes) {
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
KAVRO_AVX2_VERSION Neighbours fetchNeighbours(const GroupOffsets& group, const std::uint8_t* pixels,
                                              int lastLoad) {
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

// Eight pixels at a time. A gather reads one byte past its pixel, which only
// the picture's last pixel cannot spare; a group reaching that pixel is
// sampled one by one.
KAVRO_AVX2_VERSION
void sampleRow(const RowPositions& positions, const SourcePicture& source, std::uint8_t* out) {
    const int rowBytes = source.width * warpPixelBytes;
    const __m256i rowStep = _mm256_set1_epi32(rowBytes);
    const __m256i rightLimit = _mm256_set1_epi32(source.width - neighbourMargin);
    const __m256i belowLimit = _mm256_set1_epi32(source.height - neighbourMargin);
    const __m256i lastPixel = _mm256_set1_epi32(rowBytes * source.height - warpPixelBytes);
    const int lastLoad = rowBytes * source.height - shuffleBytes;
    for (int u = 0; u < warpWidth; u += avx2Lanes, out += avx2Lanes * warpPixelBytes) {
        const __m256i sx = _mm256_load_si256(reinterpret_cast<const __m256i*>(&positions.x[u]));
        const __m256i sy = _mm256_load_si256(reinterpret_cast<const __m256i*>(&positions.y[u]));
        const __m256i ix = _mm256_srai_epi32(sx, fixedShift);
        const __m256i iy = _mm256_srai_epi32(sy, fixedShift);
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
#endif

// The warp of a map whose corners lie inside the source and whose numerators
// are exact in doubles: each row's divisions first, then its samples.
int warpRowsInDoubles(std::uint8_t* destination, const WarpCoefficients& given,
                      const std::uint8_t* source, int sourceWidth, int sourceHeight) {
    const WarpCoefficients coefficients = given;
    const SourcePicture picture{source, sourceWidth, sourceHeight};
    RowPositions positions;
    for (int v = 0; v < warpHeight; ++v) {
        mapRow(rowStart(coefficients, v), coefficients, positions);
        sampleRow(positions, picture, destination + v * warpWidth * warpPixelBytes);
    }
    return 1;
}

// The warp row by row; `checked` tests every pixel's denominator and
// position, which a map whose corners lie inside the source does not need.
template <bool checked>
int warpRows(std::uint8_t* destination, const WarpCoefficients& given, const std::uint8_t* source,
             int sourceWidth, int sourceHeight) {
    // A copy, which the plate's bytes written meanwhile cannot alias.
    const WarpCoefficients coefficients = given;
    std::uint8_t* out = destination;
    for (int v = 0; v < warpHeight; ++v) {
        MapTerms terms = rowStart(coefficients, v);
        for (int u = 0; u < warpWidth; ++u, stepRight(terms, coefficients)) {
            if constexpr (checked) {
                const auto position = mapToSource(terms);
                if (!position || !insideSource(*position, sourceWidth, sourceHeight)) {
                    return 0;
                }
                samplePixel(out, *position, source, sourceWidth, sourceHeight);
            } else {
                samplePixel(out, sourcePosition(terms), source, sourceWidth, sourceHeight);
            }
            out += warpPixelBytes;
        }
    }
    return 1;
}

using WarpFunction = int (*)(std::uint8_t*, const WarpCoefficients&, const std::uint8_t*, int, int);

// Positions inside a picture of at most maxPictureSide columns and rows stay
// below 2^31 in 16.16, so their quotients fit in 32 bits.
WarpFunction chooseWarp(const WarpCoefficients& k, int sourceWidth, int sourceHeight) {
    if (!cornersInside(k, sourceWidth, sourceHeight)) {
        return warpRows<true>;
    }
    const bool sidesInRange = sourceWidth <= maxPictureSide && sourceHeight <= maxPictureSide;
    const bool bytesInRange = std::int64_t{sourceWidth} * sourceHeight * warpPixelBytes <=
                              std::numeric_limits<std::int32_t>::max();
    return sidesInRange && bytesInRange && exactInDoubles(k) ? warpRowsInDoubles : warpRows<false>;
}

} // namespace

PlateSystem buildPlateSystem(const PlateCorners& corners) {
    constexpr double lastU = warpWidth - 1;
    constexpr double lastV = warpHeight - 1;
    const std::array<Correspondence, 4> correspondences{{
        {0.0, 0.0, corners.topLeft},
        {lastU, 0.0, corners.topRight},
        {0.0, lastV, corners.bottomLeft},
        {lastU, lastV, corners.bottomRight},
    }};

    PlateSystem system{};
    int row = 0;
    for (const auto& [u, v, source] : correspondences) {
        system.matrix[row] = {u, 0.0, -u * source.x, v, 0.0, -v * source.x, 1.0, 0.0};
        system.rightSide[row] = source.x;
        ++row;
        system.matrix[row] = {0.0, u, -u * source.y, 0.0, v, -v * source.y, 0.0, 1.0};
        system.rightSide[row] = source.y;
        ++row;
    }
    return system;
}

PlateSolution solveLinearSystem(const PlateSystem& system) {
    AugmentedMatrix work = augment(system);
    for (int i = 0; i < plateSystemSize; ++i) {
        eliminateColumn(work, i);
    }
    substituteBack(work);

    PlateSolution solution{};
    for (int i = 0; i < plateSystemSize; ++i) {
        solution[i] = work[i][plateSystemSize];
    }
    return solution;
}

std::optional<WarpCoefficients>
toWarpCoefficients(std::span<const double, plateSystemSize> solution) {
    std::array<std::int32_t, plateSystemSize> fixed{};
    for (int i = 0; i < plateSystemSize; ++i) {
        const auto value = toFixedCoefficient(solution[i]);
        if (!value) {
            return std::nullopt;
        }
        fixed[i] = *value;
    }
    const auto [a, d, g, b, e, h, c, f] = fixed;
    return WarpCoefficients{a, d, g, b, e, h, c, f};
}

int warpPlate(std::uint8_t* destination, const WarpCoefficients& coefficients,
              const std::uint8_t* source, int sourceWidth, int sourceHeight) {
    return chooseWarp(coefficients, sourceWidth, sourceHeight)(destination, coefficients, source,
                                                               sourceWidth, sourceHeight);
}

int warpPlateFromCorners(std::uint8_t* destination, const PlateCorners& corners,
                         const std::uint8_t* source, int sourceWidth, int sourceHeight) {
    const PlateSolution solution = solveLinearSystem(buildPlateSystem(corners));
    const auto coefficients = toWarpCoefficients(solution);
    if (!coefficients) {
        return 0;
    }
    return warpPlate(destination, *coefficients, source, sourceWidth, sourceHeight);
}
