#pragma once
// Character samples cut from photographs of real blue plates: each plate is
// scaled to the rectified 384 x 116 frame, straightened and binarised, each character is
// found near its expected centre, cropped to its bounding box and sampled onto
// the glyph grid exactly as classification samples a character box.

#include "tools/glyphgen/glyph_grid.h"

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

struct CharacterSample {
    std::uint8_t code;
    int plate;    // index of the plate in file-name order
    int position; // 0 = the province character
    Box box;      // in the rectified frame
    GlyphRows rows;
};

struct PlateCrop {
    std::string name;                // file name without extension (UTF-8)
    std::vector<std::uint8_t> codes; // the plate's text as character codes
    GreyImage luma;                  // characters bright, 384 x 116
    int index = 0;                   // place among the folder's crops, in name order
};

using PlateSelection = bool (*)(int plateIndex);

// The .jpg crops of `directory` in byte order of their names; files whose
// names are not a plate text are skipped. With `wanted`, only the crops whose
// index it accepts are straightened and returned.
std::vector<PlateCrop> loadPlateCrops(const QString& directory, PlateSelection wanted = nullptr);

// Binary plane of a plate: each pixel against the mean of its neighbourhood,
// 3 x 3 majority filter, and the long runs of the plate frame cleared.
GreyImage binaryPlate(const GreyImage& luma);

// A photograph of a plate (characters bright) in the 384 x 116 frame, its text
// lines levelled and its strokes set upright.
GreyImage straightened(const GreyImage& photo);

// Every character the plate's layout lets us find with confidence.
std::vector<CharacterSample> plateSamples(const PlateCrop& crop, int plateIndex);

// The samples of every crop, each with its crop's index.
std::vector<CharacterSample> collectSamples(const std::vector<PlateCrop>& crops);
