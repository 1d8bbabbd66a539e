#pragma once
// Resampling of a 24-bit picture to the working width and its conversion into the
// colour, hue/chroma, green, blue, yellow, grey and inverse-grey planes.

#include "engine/primitives/picture_pixels.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace kavro {

// Luma of a pixel: weights 0.30, 0.59 and 0.11 in 16-bit fixed point.
inline std::int32_t lumaOf(std::int32_t red, std::int32_t green, std::int32_t blue) {
    constexpr std::int32_t redLuma = 19'661;
    constexpr std::int32_t blueLuma = 7'209;
    constexpr std::int32_t greenLuma = 38'666;
    constexpr int lumaShift = 16;
    return (red * redLuma + blue * blueLuma + green * greenLuma) >> lumaShift;
}

// Size of the working raster for a picture.
struct PlaneGeometry {
    std::int32_t step;         // source pixels per working pixel, 16.16 fixed point
    std::int32_t scaledHeight; // picture height when scaled to the working width
    std::int32_t planeHeight;  // scaledHeight rounded down to a multiple of 64
    std::int32_t skipRows;     // scaled rows left out before the first working row
};

// Sides must be 1..32,767.
PlaneGeometry planeGeometry(int width, int height);

// Destinations of the conversion, each planeHeight rows of 512 pixels.
struct ColourPlanes {
    std::uint8_t* colour; // blue, green, red
    std::uint8_t* hsv;    // brightness, chroma, hue byte
    std::uint8_t* green;
    std::uint8_t* blue;
    std::uint8_t* yellow;
    std::uint8_t* gray;
    std::uint8_t* inverseGray;
};

// With `bottomUp` the picture's rows are read as the picture's rows from
// the bottom up: its first row is the bottom row.

// Copies the picture, whose rows have no gaps, into destination
// (width*height*3 bytes) with its rows top-down.
void copySourceImage(const PicturePixels& picture, bool bottomUp, std::uint8_t* destination);

// Fills every plane of planes with geometry.planeHeight top-down rows.
void convertColourPlanes(const PicturePixels& picture, bool bottomUp, const PlaneGeometry& geometry,
                         const ColourPlanes& planes);

} // namespace kavro
