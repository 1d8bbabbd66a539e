#include "image/plate_corner_trailer.h"

namespace kavro {

constinit thread_local bool cornersFromTrailer = false;
constinit thread_local TrailerCorners trailerCorners{};

std::optional<TrailerCorners> parsePlateCornerTrailer(std::span<const std::uint8_t> file) {
    if (file.size() < trailerSize) {
        return std::nullopt;
    }
    const auto trailer = file.last(trailerSize);
    if (trailer[0] != trailerMarker[0] || trailer[1] != trailerMarker[1]) {
        return std::nullopt;
    }
    TrailerCorners corners{};
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const auto low = trailer[2 + 2 * i];
        const auto high = trailer[3 + 2 * i];
        corners[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(low | high << 8));
    }
    return corners;
}

} // namespace kavro
