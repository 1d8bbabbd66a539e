#pragma once
// The plates read from one picture: sixteen 32-bit words holding up to two
// plates, each with its format, mean score, character codes and their scores.

#include <array>
#include <cstdint>

namespace kavro {

inline constexpr int maxPlates = 2;
inline constexpr int plateTextLength = 12;

struct RecognitionResult {
    std::int32_t count;                              // plates stored: 0, 1 or 2
    std::array<std::int32_t, maxPlates> formatIndex; // PlateFormat index of each plate
    std::array<std::uint8_t, maxPlates> confidence;  // mean character score, 0..100
    std::array<std::array<std::uint8_t, plateTextLength>, maxPlates> text; // codes, NUL-padded
    std::array<std::array<std::uint8_t, plateTextLength>, maxPlates> charScore;
    std::array<std::uint8_t, 2> unused;
};
static_assert(sizeof(RecognitionResult) == 16 * sizeof(std::uint32_t));

} // namespace kavro
