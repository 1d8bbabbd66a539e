#pragma once
// Templates learned from character samples: the per-cell mean of the samples
// thresholded at one half, with variants from clustering the samples.

#include "tools/glyphgen/glyph_grid.h"

#include <vector>

// Cells set in at least half of the samples, stretched to fill the frame.
GlyphRows meanGlyph(const std::vector<GlyphRows>& samples);

// The indices, in order, of the samples left when the given share (percent)
// lying farthest from their mean is dropped: miscut or mislabelled characters.
std::vector<std::size_t> typicalSamples(const std::vector<GlyphRows>& samples, int percent);

// The samples without that share.
std::vector<GlyphRows> withoutOutliers(const std::vector<GlyphRows>& samples, int percent);

// `count` templates from k-medoids clusters of the samples (Hamming distance),
// each the mean glyph of its cluster, the largest cluster first.
std::vector<GlyphRows> clusterGlyphs(const std::vector<GlyphRows>& samples, int count);
