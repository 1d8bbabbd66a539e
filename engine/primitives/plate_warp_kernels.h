#pragma once
// The sampling kernel of the warp: one plate row's pixels from their source
// positions, each the weighted sum of a source pixel and its right and lower
// neighbours. A plain version and an AVX2 one (plate_warp_avx2.cpp) give the
// same bytes; the warp runs the one kernelSet() names.

#include "engine/primitives/plate_warp.h"

#include <array>
#include <cstdint>

namespace kavro {

inline constexpr int warpFixedShift = 16;       // source positions are 16.16
inline constexpr int warpCoefficientShift = 18; // the four weights sum to 2^18
inline constexpr int neighbourMargin =
    3; // right and lower neighbours stop 3 pixels from the border

// The source positions (16.16) of one plate row.
struct RowPositions {
    alignas(32) std::array<std::int32_t, warpWidth> x;
    alignas(32) std::array<std::int32_t, warpWidth> y;
};

// The kernels read a picture whose rows have no gaps and whose bytes are
// addressed by 32-bit offsets.

// Samples `count` pixels of a row from its `first` on, one by one, into `out`
// (3 bytes a pixel).
void samplePixels(const RowPositions& positions, int first, int count, const PicturePixels& source,
                  std::uint8_t* out);

// Samples the whole row (warpWidth pixels) into `out`.
void sampleRowPlain(const RowPositions& positions, const PicturePixels& source, std::uint8_t* out);
#if KAVRO_AVX2_KERNELS
void sampleRowAvx2(const RowPositions& positions, const PicturePixels& source, std::uint8_t* out);
#endif

} // namespace kavro
