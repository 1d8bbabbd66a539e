#pragma once
// The input of the pipeline fuzz target: a small picture, its row order and a
// corner trailer state, packed into bytes.
//
// Layout: width - 1 and height - 1 as 16-bit little-endian values (taken modulo
// the largest fuzzed sides), one flag byte (bit 0: rows bottom-up, bit 1: corners
// from a trailer), the eight 16-bit corners of the trailer, then the pixels. Pixel
// bytes that are missing repeat the ones given (zeros when none are given).

#include "image/plate_corner_trailer.h"

#include <cstdint>
#include <span>
#include <vector>

inline constexpr int maxFuzzedWidth = 700;
inline constexpr int maxFuzzedHeight = 500;

struct PipelineInput {
    int width = 1;
    int height = 1;
    bool bottomUp = false;
    bool cornersFromTrailer = false;
    kavro::TrailerCorners corners{};
    std::vector<std::uint8_t> pixels; // width * height * 3 bytes, blue, green, red
};

PipelineInput decodePipelineInput(std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> encodePipelineInput(const PipelineInput& input);
