#include "engine/primitives/plate_warp.h"

#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>

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
    const auto warp =
        cornersInside(coefficients, sourceWidth, sourceHeight) ? warpRows<false> : warpRows<true>;
    return warp(destination, coefficients, source, sourceWidth, sourceHeight);
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
