#pragma once

#include <cstdint>

namespace kavro {

// The largest picture side that Kavro reads: sides of 32,768 and more are refused.
inline constexpr int maxPictureSide = 32'767;

// The largest picture area that Kavro reads: a few header bytes could otherwise demand gigabytes.
inline constexpr std::int64_t maxPicturePixels = 100'000'000;

// Whether a picture with these sides (each at most maxPictureSide) is small enough to read.
constexpr bool fitsPictureArea(std::int64_t width, std::int64_t height) {
    return width * height <= maxPicturePixels;
}

} // namespace kavro
