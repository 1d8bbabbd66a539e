#pragma once
// The projective map from the rectified plate rectangle into the picture: the
// 8 x 8 system of the four corner correspondences, its solution in 2^18 fixed
// point, and the integer warp that resamples the picture through it.

#include "engine/primitives/geometry.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

// Size of a rectified plate image, 3 bytes (blue, green, red) per pixel.
inline constexpr int warpWidth = 384;
inline constexpr int warpHeight = 116;
inline constexpr int warpPixelBytes = 3;
inline constexpr int warpImageBytes = warpWidth * warpHeight * warpPixelBytes;

inline constexpr int plateSystemSize = 8;

// A point in source-picture pixels.
using Corner = Point<double>;

// The plate's corners in the picture; they correspond to the rectangle's corners
// (0, 0), (383, 0), (0, 115) and (383, 115) in this order.
struct PlateCorners {
    Corner topLeft;
    Corner topRight;
    Corner bottomLeft;
    Corner bottomRight;
};

// A * s = r over the unknowns s = (a, d, g, b, e, h, c, f) of the map
// x = (a*u + b*v + c) / (g*u + h*v + 1), y = (d*u + e*v + f) / (g*u + h*v + 1).
struct PlateSystem {
    std::array<std::array<double, plateSystemSize>, plateSystemSize> matrix;
    std::array<double, plateSystemSize> rightSide;
};

using PlateSolution = std::array<double, plateSystemSize>;

// The map's coefficients times 2^18, truncated toward zero, in the order of
// the unknowns.
struct WarpCoefficients {
    std::int32_t a;
    std::int32_t d;
    std::int32_t g;
    std::int32_t b;
    std::int32_t e;
    std::int32_t h;
    std::int32_t c;
    std::int32_t f;

    friend bool operator==(const WarpCoefficients&, const WarpCoefficients&) = default;
};

PlateSystem buildPlateSystem(const PlateCorners& corners);

// Gaussian elimination with partial pivoting. A singular system is not detected:
// its solution comes out non-finite or meaningless.
PlateSolution solveLinearSystem(const PlateSystem& system);

// Empty when a value is not finite or its fixed-point value does not fit in 32 bits.
std::optional<WarpCoefficients>
toWarpCoefficients(std::span<const double, plateSystemSize> solution);

// Fills `destination` (warpImageBytes) row by row from the 24-bit `source`.
// Returns 1 when every plate pixel mapped inside the source; 0 at the first
// one that did not, or whose denominator is not positive, leaving the pixels
// written so far.
int warpPlate(std::uint8_t* destination, const WarpCoefficients& coefficients,
              const std::uint8_t* source, int sourceWidth, int sourceHeight);

// Builds, solves, converts and warps in one go; 0 when any step rejects the plate.
int warpPlateFromCorners(std::uint8_t* destination, const PlateCorners& corners,
                         const std::uint8_t* source, int sourceWidth, int sourceHeight);
