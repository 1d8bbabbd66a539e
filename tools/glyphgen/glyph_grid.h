#pragma once
// Grey images, the 32 x 48 glyph grid and the resampling that the classifier
// applies to a character box, shared by every source of templates.

#include "data/glyph_templates.h"

#include <cstdint>
#include <vector>

// An 8-bit image, row-major, rows top-down.
struct GreyImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;

    GreyImage() = default;
    GreyImage(int w, int h, std::uint8_t fill = 0)
        : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, fill) {}

    std::uint8_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    std::uint8_t& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

struct Box {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool empty() const { return width <= 0 || height <= 0; }
    int right() const { return x + width - 1; }
    int bottom() const { return y + height - 1; }
};

// 48 row masks; bit 31 is column 0. Set bits are stroke.
using GlyphRows = std::array<std::uint32_t, kavro::glyphRows>;

bool cellSet(const GlyphRows& rows, int row, int column);
void setCell(GlyphRows& rows, int row, int column);
int hammingDistance(const GlyphRows& a, const GlyphRows& b);
int setCellCount(const GlyphRows& rows);

// The tight box around the pixels >= 128 (empty when there are none).
Box foregroundBox(const GreyImage& image);

// Four-edge-weighted 16.16 sampling of `box` onto the 32 x 48 grid, each cell
// set when the rounded level is at least 128: exactly what classification
// does with a character box of a binary plate plane.
GlyphRows sampleBox(const GreyImage& image, const Box& box);

// The grey level of every cell (0..255) before thresholding.
std::vector<int> sampleLevels(const GreyImage& image, const Box& box);

// True when some set cell lies in the top and bottom rows and in the first
// and last columns.
bool touchesAllEdges(const GlyphRows& rows);

// Re-stretches a grid whose set cells do not reach every edge so that they do.
GlyphRows fillFrame(const GlyphRows& rows);

// The grid as a 32 x 48 image of 0 and 255.
GreyImage gridImage(const GlyphRows& rows);
