#include "engine/context/edge_plane.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>

namespace kavro {

namespace {

constexpr int maxEdge = 255;

// Gradient magnitudes of the interior pixels of one row from the rows above and below it.
void edgeRow(const std::uint8_t* upper, const std::uint8_t* middle, const std::uint8_t* lower,
             std::uint8_t* destination, int width) {
    for (int x = 1; x < width - 1; ++x) {
        const int gx = (upper[x + 1] + 2 * middle[x + 1] + lower[x + 1]) -
                       (upper[x - 1] + 2 * middle[x - 1] + lower[x - 1]);
        const int gy = (lower[x - 1] + 2 * lower[x] + lower[x + 1]) -
                       (upper[x - 1] + 2 * upper[x] + upper[x + 1]);
        destination[x] =
            static_cast<std::uint8_t>(std::min((std::abs(gx) + std::abs(gy)) >> 1, maxEdge));
    }
}

} // namespace

void computeEdgePlane(int height, const std::uint8_t* source, std::uint8_t* destination,
                      int width) {
    if (width <= 0 || height <= 0) {
        return;
    }
    const auto rowLength = static_cast<std::ptrdiff_t>(width);
    std::copy_n(source, rowLength * height, destination);
    if (height <= 2 || width <= 2) {
        return;
    }
    const std::uint8_t* upper = source;
    std::uint8_t* target = destination + rowLength;
    for (int y = 1; y < height - 1; ++y, upper += rowLength, target += rowLength) {
        edgeRow(upper, upper + rowLength, upper + 2 * rowLength, target, width);
    }
}

} // namespace kavro
