#pragma once
// Grey-level histograms of rectangles of the 512-wide working planes and the choice of a
// threshold between two classes of grey levels.

#include <array>
#include <cstdint>
#include <span>

namespace kavro {

using Histogram = std::array<std::int32_t, 256>;

// Clears histogram, then counts plane[row * 512 + column] over the rectangle. A count of 0
// or less in either direction leaves it empty. The rectangle must lie inside the plane.
void regionHistogram(const std::uint8_t* plane, int firstColumn, int columnCount, int rowCount,
                     int firstRow, Histogram& histogram);

// The same over the part of the rectangle that lies inside plane (rows of 512 bytes).
void regionHistogram(std::span<const std::uint8_t> plane, int firstColumn, int columnCount,
                     int rowCount, int firstRow, Histogram& histogram);

// Local search for the threshold with the largest between-class variance, starting at
// threshold (0..256, values outside are taken as the nearer end) and stopping after two
// consecutive non-improving grey levels. Searches downward first and upward only when
// downward never improved. Writes the chosen threshold and the whole-level means of the
// classes of the last split evaluated; an empty histogram leaves the means untouched.
// Returns the chosen threshold.
int selectThreshold(const Histogram& histogram, int& threshold, int& lowMean, int& highMean);

} // namespace kavro
