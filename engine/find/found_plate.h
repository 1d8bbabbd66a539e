#pragma once
// A plate the finder found: where it lies in the picture and how it was read.

#include "engine/primitives/geometry.h"
#include "engine/recognise/recognition_result.h"

#include <array>
#include <cstdint>
#include <vector>

using PlateCodes = std::array<std::uint8_t, plateTextLength>;

struct FoundPlate {
    Quad<double> corners; // in picture pixels, clockwise from the top left
    int formatIndex = 0;
    int confidence = 0; // mean character score, 0..100
    PlateCodes text{};  // character codes, NUL-padded
    PlateCodes charScore{};
};

using FoundPlates = std::vector<FoundPlate>;

// Plate `index` of `result`, found at `corners`.
FoundPlate foundPlateOf(const RecognitionResult& result, int index, const Quad<double>& corners);

// The number of characters of a found plate's text.
int codeCount(const FoundPlate& plate);
