#pragma once
// A read-only view of a byte plane: `height` rows of `width` bytes, row-major,
// top row first, without gaps between rows.

#include <cstddef>
#include <cstdint>
#include <span>

namespace kavro {

struct BytePlane {
    std::span<const std::uint8_t> pixels;
    int width = 0;
    int height = 0;

    // True when `pixels` holds every row the dimensions promise.
    bool valid() const {
        return width >= 0 && height >= 0 &&
               pixels.size() >= static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    std::uint8_t at(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

} // namespace kavro
