#include "engine/context/recognition_context.h"

#include "engine/context/colour_conversion.h"

#include <cstddef>
#include <stdexcept>
#include <utility>

namespace {

constexpr std::size_t bytesPerPixel = 3;
constexpr std::size_t plateArea = std::size_t{plateWidth} * plateHeight;

// The working raster is no taller than the largest picture side. A picture more than
// 64 times as tall as it is wide would otherwise need planes of gigabytes (a 1 x 405
// picture alone gives 207,360 working rows).
constexpr std::int32_t maxPlaneHeight = maxPictureSide;

template <typename T>
std::unique_ptr<T[]> allocate(std::size_t count) {
    return std::make_unique_for_overwrite<T[]>(count);
}

// Every buffer that depends on the picture's size, allocated before any is replaced.
struct PictureBuffers {
    std::unique_ptr<std::uint8_t[]> sourceImage, colourPlane, hsvPlane, workPlane, greenPlane,
        bluePlane, yellowPlane, grayPlane, inverseGrayPlane, edgePlane;
    std::unique_ptr<std::int32_t[]> labelPlane;
    std::unique_ptr<LabelRow[]> rowTable;

    PictureBuffers(std::size_t sourceBytes, int planeHeight) {
        const std::size_t planeSize = std::size_t{workingWidth} * planeHeight;
        sourceImage = allocate<std::uint8_t>(sourceBytes);
        colourPlane = allocate<std::uint8_t>(planeSize * bytesPerPixel);
        hsvPlane = allocate<std::uint8_t>(planeSize * bytesPerPixel);
        for (auto* plane : {&workPlane, &greenPlane, &bluePlane, &yellowPlane, &grayPlane,
                            &inverseGrayPlane, &edgePlane}) {
            *plane = allocate<std::uint8_t>(planeSize);
        }
        labelPlane = allocate<std::int32_t>(planeSize);
        rowTable = allocate<LabelRow>(static_cast<std::size_t>(planeHeight));
        for (int k = 0; k < planeHeight; ++k) {
            rowTable[k].row = labelPlane.get() + static_cast<std::ptrdiff_t>(k) * workingWidth;
        }
    }

    ColourPlanes colourPlanes() const {
        return ColourPlanes{colourPlane.get(),     hsvPlane.get(),    greenPlane.get(),
                            bluePlane.get(),       yellowPlane.get(), grayPlane.get(),
                            inverseGrayPlane.get()};
    }
};

void checkPicture(std::span<const std::uint8_t> pixels, int width, int height) {
    if (width <= 0 || height <= 0 || width > maxPictureSide || height > maxPictureSide) {
        throw std::invalid_argument("picture sides must lie between 1 and 32767");
    }
    if (!fitsPictureArea(width, height)) {
        throw std::invalid_argument("picture larger than 100 megapixels");
    }
    const std::size_t needed = bytesPerPixel * width * height;
    if (pixels.size() < needed) {
        throw std::invalid_argument("pixel buffer shorter than the picture");
    }
}

} // namespace

RecognitionContext::RecognitionContext() {
    for (auto& image : plateImages) {
        image = allocate<std::uint8_t>(plateArea * bytesPerPixel);
    }
    for (auto& plane : platePlanes) {
        plane = allocate<std::uint8_t>(plateArea);
    }
    for (auto& plane : binaryPlanes) {
        plane = allocate<std::uint8_t>(plateArea);
    }
}

void RecognitionContext::prepareImage(std::span<const std::uint8_t> pixels, int width, int height,
                                      bool bottomUp) {
    checkPicture(pixels, width, height);
    const PlaneGeometry geometry = planeGeometry(width, height);
    if (geometry.planeHeight > maxPlaneHeight) {
        throw std::invalid_argument("picture too narrow for its height");
    }

    PictureBuffers buffers(bytesPerPixel * width * height, geometry.planeHeight);
    const SourcePicture picture{pixels, width, height, bottomUp};
    copySourceImage(picture, buffers.sourceImage.get());
    convertColourPlanes(picture, geometry, buffers.colourPlanes());

    sourceImage = std::move(buffers.sourceImage);
    colourPlane = std::move(buffers.colourPlane);
    hsvPlane = std::move(buffers.hsvPlane);
    workPlane = std::move(buffers.workPlane);
    greenPlane = std::move(buffers.greenPlane);
    bluePlane = std::move(buffers.bluePlane);
    yellowPlane = std::move(buffers.yellowPlane);
    grayPlane = std::move(buffers.grayPlane);
    inverseGrayPlane = std::move(buffers.inverseGrayPlane);
    edgePlane = std::move(buffers.edgePlane);
    labelPlane = std::move(buffers.labelPlane);
    rowTable = std::move(buffers.rowTable);
    planeHeight = geometry.planeHeight;
    planeWidth = workingWidth;
    imageWidth = width;
    imageHeight = height;
    // The rows left out of the working planes lie at the top of a top-down picture and
    // at the bottom of a bottom-up one.
    planeRowOffset = bottomUp ? geometry.scaledHeight - geometry.planeHeight - geometry.skipRows
                              : geometry.skipRows;
}
