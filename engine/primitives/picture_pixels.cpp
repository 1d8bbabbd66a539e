#include "engine/primitives/picture_pixels.h"

#include <stdexcept>

namespace kavro {

PicturePixels PicturePixels::packed(std::span<const std::uint8_t> bytes, int width, int height) {
    if (width <= 0 || height <= 0 ||
        bytes.size() / picturePixelBytes / static_cast<std::size_t>(width) <
            static_cast<std::size_t>(height)) {
        throw std::invalid_argument("the pixels do not hold the picture");
    }
    return packedUnchecked(bytes.data(), width, height);
}

PicturePixels PicturePixels::packedUnchecked(const std::uint8_t* pixels, int width, int height) {
    return {pixels, width, height, std::ptrdiff_t{width} * picturePixelBytes};
}

PicturePixels PicturePixels::cut(const PictureWindow& window) const {
    if (pixels == nullptr || window.left < 0 || window.top < 0 || window.width <= 0 ||
        window.height <= 0 || window.width > width - window.left ||
        window.height > height - window.top) {
        throw std::invalid_argument("the window does not lie inside the picture");
    }
    return {row(window.top) + std::ptrdiff_t{window.left} * picturePixelBytes, window.width,
            window.height, stride};
}

} // namespace kavro
