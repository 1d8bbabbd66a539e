#pragma once
// The kernels of the majority filter: flagging a row's pixels by their window
// sums, and writing a row's bits back as pixels. Each has a plain version and
// an AVX2 one (plate_planes_avx2.cpp) that gives the same result; the filter
// runs the set kernelSet() names.

#include "engine/context/recognition_context.h"

#include <array>
#include <cstdint>

namespace kavro {

namespace majority_kernels {

inline constexpr std::uint8_t on = 255;
// A 3 x 3 neighbourhood whose mean is at least 128.
inline constexpr int majoritySum = 9 * 128;
// A pixel whose window sum without its filtered left neighbour reaches
// majoritySum is on for certain; one that reaches ifLeftSum is on when that
// neighbour (255) is.
inline constexpr int ifLeftSum = majoritySum - on;
inline constexpr int wordBits = 64;
inline constexpr int innerWidth = plateWidth - 2;
inline constexpr int maskWords = (innerWidth + wordBits - 1) / wordBits;
inline constexpr int paddedWidth = maskWords * wordBits;

using RowWords = std::array<std::uint64_t, maskWords>;

// Per inner pixel x of a row, at bit x - 1 of the words: whether the pixel is
// on for certain, and whether it is on when its left neighbour is.
struct MajorityBits {
    RowWords sure;
    RowWords ifLeft;
};

// The flags of the inner pixels of `row` (plateWidth bytes) from the window
// sums over the rows above and below.
void markMajorityBitsPlain(const std::uint8_t* above, const std::uint8_t* row,
                           const std::uint8_t* below, MajorityBits& bits);

// Writes the words' bits as paddedWidth pixels, on (255) or off, the first from bit 0.
void writeBitsPlain(const RowWords& words, std::uint8_t* pixels);

#if KAVRO_AVX2_KERNELS
void markMajorityBitsAvx2(const std::uint8_t* above, const std::uint8_t* row,
                          const std::uint8_t* below, MajorityBits& bits);
// `pixels` is aligned to 32 bytes.
void writeBitsAvx2(const RowWords& words, std::uint8_t* pixels);
#endif

} // namespace majority_kernels

} // namespace kavro
