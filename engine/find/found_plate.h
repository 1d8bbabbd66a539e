#pragma once
// A plate the finder found: where it lies in the picture and how it was read.

#include "engine/primitives/geometry.h"
#include "engine/recognise/recognition_result.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kavro {

struct RecognitionContext;

using PlateCodes = std::array<std::uint8_t, plateTextLength>;

struct FoundPlate {
    Quad<double> corners; // in picture pixels, clockwise from the top left
    int formatIndex = 0;
    int confidence = 0; // mean character score, 0..100
    PlateCodes text{};  // character codes, NUL-padded
    PlateCodes charScore{};
    // The rectified plate it was read from: plateWidth x plateHeight pixels,
    // blue-green-red, top row first.
    std::vector<std::uint8_t> plateImage;
};

using FoundPlates = std::vector<FoundPlate>;

// Plate `index` of `result`, with the corners and the rectified image of the
// context's plate slot `index`, where it was read.
FoundPlate foundPlateOf(const RecognitionContext& context, const RecognitionResult& result,
                        int index);

// Warps the plate along `corners` (picture pixels, clockwise from the top left)
// into the context's first plate slot and records them there; false when they
// give no warp.
bool warpAlong(RecognitionContext& context, const Quad<double>& corners);

// The number of characters of a found plate's text.
int codeCount(const FoundPlate& plate);

} // namespace kavro
