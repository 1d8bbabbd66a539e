#pragma once
// Where in a picture plates may lie, found cheaply: rows of the picture (scaled
// down only when it is very wide) crossed by a dense train of vertical edges,
// the trains of neighbouring rows joined into regions the size and shape of a
// line of plate characters.

#include "engine/context/recognition_context.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kavro {

inline constexpr int colourBonus = 2;
inline constexpr int tellingRows = 4;

// A region of the picture that may hold a line of plate characters, in its pixels.
struct PlateCandidate {
    int left = 0;
    int top = 0;
    int right = 0;         // exclusive
    int bottom = 0;        // exclusive
    int rows = 0;          // sampled rows that crossed it: the strength of the evidence
    int colourPercent = 0; // share of plate-coloured pixels under its trains
    // Share of the edge pixels of its rows and of as many rows above or below it
    // (the busier side) that lie in its own rows: a line of characters stands out
    // from the plate and car around it, texture does not.
    int calmPercent = 0;

    // Calm regions of plate colour first; beyond a few rows, more rows say little.
    std::int64_t score() const {
        return std::int64_t{calmPercent} * calmPercent * (100 + colourBonus * colourPercent) *
               std::min(rows, tellingRows);
    }

    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// The candidate regions of a top-down picture, strongest first.
std::vector<PlateCandidate> findPlateCandidates(const PicturePixels& picture);

} // namespace kavro
