#pragma once
// Synthetic 24-bit pictures for the context tests.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

using Bgr = std::array<std::uint8_t, 3>;

struct TestPicture {
    int width;
    int height;
    std::vector<std::uint8_t> pixels; // rows as stored, blue-green-red

    std::span<const std::uint8_t> span() const { return pixels; }
};

// pixelAt(x, storedRow) gives the colour of each pixel in storage order.
template <typename PixelAt>
TestPicture makePicture(int width, int height, PixelAt pixelAt) {
    TestPicture picture{width, height, {}};
    picture.pixels.reserve(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Bgr pixel = pixelAt(x, y);
            picture.pixels.insert(picture.pixels.end(), pixel.begin(), pixel.end());
        }
    }
    return picture;
}

inline TestPicture uniformPicture(int width, int height, Bgr colour) {
    return makePicture(width, height, [&](int, int) { return colour; });
}

// A grey picture whose stored row y has the level y (luma equals the level above 0).
inline TestPicture rowNumberedPicture(int width, int height) {
    return makePicture(width, height, [](int, int y) {
        const auto level = static_cast<std::uint8_t>(y);
        return Bgr{level, level, level};
    });
}
