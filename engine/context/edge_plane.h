#pragma once
// Gradient magnitude of a grey plane: the halved sum of the absolute Sobel responses.

#include <cstdint>

namespace kavro {

// Copies width*height bytes of source into destination, then replaces every interior
// pixel by its gradient magnitude capped at 255; the outermost rows and columns keep the
// copied values. source is only read.
void computeEdgePlane(int height, const std::uint8_t* source, std::uint8_t* destination, int width);

} // namespace kavro
