#pragma once
// File bytes of a drawn scene: JPEG (with or without the plate-corner trailer)
// and 24-bit BMP.

#include "tools/scenegen/scene.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <vector>

inline constexpr std::size_t cornerTrailerSize = 18;
inline constexpr std::uint8_t cornerTrailerMarker[] = {0xFF, 0xD0};

// Baseline JPEG of the picture at the given quality (1..100).
std::vector<std::uint8_t> encodeJpeg(const QImage& image, int quality);

// The 18 trailer bytes: FF D0, then x and y of the four corners (top left,
// top right, bottom left, bottom right) as signed 16-bit little-endian values.
std::array<std::uint8_t, cornerTrailerSize>
encodeCornerTrailer(const std::array<FramePoint, 4>& corners);

// The scene's JPEG at its own quality, followed by the trailer of its first plate.
std::vector<std::uint8_t> encodeJpegWithTrailer(const Scene& scene);

// Uncompressed 24-bit BMP: bottom row first, rows padded to four bytes.
std::vector<std::uint8_t> encodeBmp(const QImage& image);
