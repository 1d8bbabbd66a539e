#pragma once
// A read-only view of a colour picture, as BytePlane is of a plane: `height`
// rows of `width` pixels of three bytes (blue, green, red), top row first,
// each row `stride` bytes after the one before.

#include <cstddef>
#include <cstdint>
#include <span>

namespace kavro {

inline constexpr int picturePixelBytes = 3;

// A window of a picture, in its pixels.
struct PictureWindow {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct PicturePixels {
    const std::uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;

    // The picture whose rows follow one another without gaps at the start of
    // `bytes`. Throws std::invalid_argument when a side is not positive or
    // `bytes` is shorter than the rows.
    static PicturePixels packed(std::span<const std::uint8_t> bytes, int width, int height);

    // The same over `pixels`, which the caller promises hold every row.
    static PicturePixels packedUnchecked(const std::uint8_t* pixels, int width, int height);

    // The part of this picture inside `window`, with this picture's rows.
    // Throws std::invalid_argument when the window is empty or does not lie
    // inside the picture.
    PicturePixels cut(const PictureWindow& window) const;

    // True when the rows follow one another without gaps.
    bool isPacked() const { return stride == std::ptrdiff_t{width} * picturePixelBytes; }

    const std::uint8_t* row(int y) const { return pixels + y * stride; }
};

} // namespace kavro
