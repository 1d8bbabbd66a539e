#include "engine/primitives/plate_warp.h"

#include "engine/primitives/kernel_set.h"
#include "engine/primitives/plate_warp_kernels.h"
#include "engine/primitives/vector_loops.h"
#include "image/picture_limits.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <utility>

namespace kavro {

namespace {

constexpr double coefficientScale = 262144.0; // 2^18
constexpr std::int64_t coefficientOne = 262144;
constexpr int coefficientShift = warpCoefficientShift;
constexpr int fixedShift = warpFixedShift;
constexpr std::int64_t fixedOne = 65536;
constexpr std::int64_t fractionMask = 0xFFFF;

constexpr int augmentedColumns = plateSystemSize + 1;
using AugmentedMatrix = std::array<std::array<double, augmentedColumns>, plateSystemSize>;

struct Correspondence {
    double u;
    double v;
    Point<double> source;
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

bool insideSource(const SourcePosition& position, const PicturePixels& source) {
    return position.x >= 0 && (position.x >> fixedShift) <= source.width - 1 && position.y >= 0 &&
           (position.y >> fixedShift) <= source.height - 1;
}

// Weights the pixel at the position and its right and lower neighbours by the
// distance of the position to the pixel's four edges; weights sum to 2^18.
void samplePixel(std::uint8_t* out, const SourcePosition& position, const PicturePixels& source) {
    const int ix = static_cast<int>(position.x >> fixedShift);
    const int iy = static_cast<int>(position.y >> fixedShift);
    const int fx = static_cast<int>(position.x & fractionMask);
    const int fy = static_cast<int>(position.y & fractionMask);
    const std::ptrdiff_t rightStep = ix < source.width - neighbourMargin ? warpPixelBytes : 0;
    const std::ptrdiff_t belowStep = iy < source.height - neighbourMargin ? source.stride : 0;

    const std::uint8_t* topLeft = source.row(iy) + std::ptrdiff_t{ix} * warpPixelBytes;
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
bool cornersInside(const WarpCoefficients& k, const PicturePixels& source) {
    for (const int v : {0, warpHeight - 1}) {
        for (const int u : {0, warpWidth - 1}) {
            MapTerms terms = rowStart(k, v);
            terms.x += std::int64_t{u} * k.a;
            terms.y += std::int64_t{u} * k.d;
            terms.denominator += std::int64_t{u} * k.g;
            const auto position = mapToSource(terms);
            if (!position || !insideSource(*position, source)) {
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

// The warp of a map whose corners lie inside the source and whose numerators
// are exact in doubles: each row's divisions first, then its samples.
bool warpRowsInDoubles(std::uint8_t* destination, const WarpCoefficients& given,
                       const PicturePixels& source) {
    const WarpCoefficients coefficients = given;
    const PicturePixels picture = source;
    RowPositions positions;
    for (int v = 0; v < warpHeight; ++v) {
        mapRow(rowStart(coefficients, v), coefficients, positions);
        KAVRO_KERNEL(sampleRow)(positions, picture, destination + v * warpWidth * warpPixelBytes);
    }
    return true;
}

// The warp row by row; `checked` tests every pixel's denominator and
// position, which a map whose corners lie inside the source does not need.
template <bool checked>
bool warpRows(std::uint8_t* destination, const WarpCoefficients& given,
              const PicturePixels& source) {
    // Copies, which the plate's bytes written meanwhile cannot alias.
    const WarpCoefficients coefficients = given;
    const PicturePixels picture = source;
    std::uint8_t* out = destination;
    for (int v = 0; v < warpHeight; ++v) {
        MapTerms terms = rowStart(coefficients, v);
        for (int u = 0; u < warpWidth; ++u, stepRight(terms, coefficients)) {
            if constexpr (checked) {
                const auto position = mapToSource(terms);
                if (!position || !insideSource(*position, picture)) {
                    return false;
                }
                samplePixel(out, *position, picture);
            } else {
                samplePixel(out, sourcePosition(terms), picture);
            }
            out += warpPixelBytes;
        }
    }
    return true;
}

using WarpFunction = bool (*)(std::uint8_t*, const WarpCoefficients&, const PicturePixels&);

// Positions inside a picture of at most maxPictureSide columns and rows stay
// below 2^31 in 16.16, so their quotients fit in 32 bits.
WarpFunction chooseWarp(const WarpCoefficients& k, const PicturePixels& source) {
    if (!cornersInside(k, source)) {
        return warpRows<true>;
    }
    const bool sidesInRange = source.width <= maxPictureSide && source.height <= maxPictureSide;
    const bool bytesInRange = std::int64_t{source.width} * source.height * warpPixelBytes <=
                              std::numeric_limits<std::int32_t>::max();
    return sidesInRange && bytesInRange && exactInDoubles(k) ? warpRowsInDoubles : warpRows<false>;
}

} // namespace

void samplePixels(const RowPositions& positions, int first, int count, const PicturePixels& source,
                  std::uint8_t* out) {
    for (int u = first; u < first + count; ++u, out += warpPixelBytes) {
        samplePixel(out, {positions.x[u], positions.y[u]}, source);
    }
}

void sampleRowPlain(const RowPositions& positions, const PicturePixels& source, std::uint8_t* out) {
    samplePixels(positions, 0, warpWidth, source, out);
}

PlateSystem buildPlateSystem(const Quad<double>& corners) {
    constexpr double lastU = warpWidth - 1;
    constexpr double lastV = warpHeight - 1;
    const std::array<Correspondence, 4> correspondences{{
        {0.0, 0.0, corners[quadTopLeft]},
        {lastU, 0.0, corners[quadTopRight]},
        {0.0, lastV, corners[quadBottomLeft]},
        {lastU, lastV, corners[quadBottomRight]},
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

std::optional<WarpCoefficients> plateMap(const Quad<double>& corners) {
    return toWarpCoefficients(solveLinearSystem(buildPlateSystem(corners)));
}

bool warpPlate(std::uint8_t* destination, const WarpCoefficients& coefficients,
               const PicturePixels& source) {
    if (!source.isPacked()) {
        return false;
    }
    return chooseWarp(coefficients, source)(destination, coefficients, source);
}

bool warpPlateFromCorners(std::uint8_t* destination, const Quad<double>& corners,
                          const PicturePixels& source) {
    const std::optional<WarpCoefficients> map = plateMap(corners);
    return map && warpPlate(destination, *map, source);
}

} // namespace kavro
