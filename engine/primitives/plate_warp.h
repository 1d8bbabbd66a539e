#pragma once
// The projective map from the rectified plate rectangle into the picture: the
// 8 x 8 system of the four corner correspondences, its solution in 2^18 fixed
// point, and the integer warp that resamples the picture through it.

#include "engine/primitives/geometry.h"
#include "engine/primitives/picture_pixels.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace kavro {

// Size of a rectified plate image, 3 bytes (blue, green, red) per pixel.
inline constexpr int warpWidth = 384;
inline constexpr int warpHeight = 116;
inline constexpr int warpPixelBytes = 3;
inline constexpr int warpImageBytes = warpWidth * warpHeight * warpPixelBytes;

inline constexpr int plateSystemSize = 8;

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

// The system whose map takes the rectangle's corners (0, 0), (383, 0),
// (383, 115) and (0, 115) onto the plate's `corners` in picture pixels.
PlateSystem buildPlateSystem(const Quad<double>& corners);

// Gaussian elimination with partial pivoting. A singular system is not detected:
// its solution comes out non-finite or meaningless.
PlateSolution solveLinearSystem(const PlateSystem& system);

// Empty when a value is not finite or its fixed-point value does not fit in 32 bits.
std::optional<WarpCoefficients>
toWarpCoefficients(std::span<const double, plateSystemSize> solution);

// The map from the plate rectangle onto `corners`: built, solved and
// converted; empty when the corners give no map that fits in fixed point.
std::optional<WarpCoefficients> plateMap(const Quad<double>& corners);

// Fills `destination` (warpImageBytes) row by row from `source`, whose rows
// must follow one another without gaps. True when every plate pixel mapped
// inside the source; false at the first one that did not, or whose
// denominator is not positive, leaving the pixels written so far, and for a
// source with gaps between its rows, writing nothing.
bool warpPlate(std::uint8_t* destination, const WarpCoefficients& coefficients,
               const PicturePixels& source);

// Maps and warps in one go; false when either step rejects the plate.
bool warpPlateFromCorners(std::uint8_t* destination, const Quad<double>& corners,
                          const PicturePixels& source);

} // namespace kavro
