#include "engine/context/recognition_context.h"

#include "engine/context/colour_conversion.h"
#include "image/large_buffer.h"

#include <cstddef>
#include <stdexcept>
#include <utility>

namespace kavro {

namespace {

constexpr std::size_t bytesPerPixel = 3;
constexpr std::size_t plateArea = std::size_t{plateWidth} * plateHeight;

// The working raster is no taller than the largest picture side. A picture more than
// 64 times as tall as it is wide would otherwise need planes of gigabytes (a 1 x 405
// picture alone gives 207,360 working rows).
constexpr std::int32_t maxPlaneHeight = maxPictureSide;

// The planes the colour conversion fills, of the context or of its next buffers.
template <typename Owner>
ColourPlanes colourPlanesOf(const Owner& owner) {
    return ColourPlanes{owner.colourPlane.get(),     owner.hsvPlane.get(),
                        owner.greenPlane.get(),      owner.bluePlane.get(),
                        owner.yellowPlane.get(),     owner.grayPlane.get(),
                        owner.inverseGrayPlane.get()};
}

// Every buffer that depends on the picture's size. The previous picture's buffers
// are taken over where their size stays the same; the others are allocated first,
// and only once all of them are there is anything taken from the context.
struct PictureBuffers {
    std::unique_ptr<std::uint8_t[]> sourceImage, colourPlane, hsvPlane, workPlane, greenPlane,
        bluePlane, yellowPlane, grayPlane, inverseGrayPlane, edgePlane;
    std::unique_ptr<std::int32_t[]> labelPlane;
    std::unique_ptr<LabelRow[]> rowTable;

    // With `sourceBytes` 0 the caller brings the source buffer itself.
    PictureBuffers(RecognitionContext& previous, std::size_t sourceBytes, int planeHeight,
                   bool mayReuse) {
        const bool sameSource = mayReuse && previous.sourceImage &&
                                sourceBytes == bytesPerPixel * previous.imageWidth *
                                                   static_cast<std::size_t>(previous.imageHeight);
        const bool samePlanes =
            mayReuse && previous.colourPlane && planeHeight == previous.planeHeight;
        if (!sameSource && sourceBytes > 0) {
            sourceImage = allocateLarge<std::uint8_t>(sourceBytes);
        }
        if (!samePlanes) {
            allocatePlanes(planeHeight);
        }
        if (sameSource) {
            sourceImage = std::move(previous.sourceImage);
        }
        if (samePlanes) {
            takePlanes(previous);
        }
    }

private:
    void allocatePlanes(int planeHeight) {
        const std::size_t planeSize = std::size_t{workingWidth} * planeHeight;
        colourPlane = allocateLarge<std::uint8_t>(planeSize * bytesPerPixel);
        hsvPlane = allocateLarge<std::uint8_t>(planeSize * bytesPerPixel);
        for (auto* plane : {&workPlane, &greenPlane, &bluePlane, &yellowPlane, &grayPlane,
                            &inverseGrayPlane, &edgePlane}) {
            *plane = allocateLarge<std::uint8_t>(planeSize);
        }
        labelPlane = allocateLarge<std::int32_t>(planeSize);
        rowTable = allocateLarge<LabelRow>(static_cast<std::size_t>(planeHeight));
        for (int k = 0; k < planeHeight; ++k) {
            rowTable[k].row = labelPlane.get() + static_cast<std::ptrdiff_t>(k) * workingWidth;
        }
    }

    void takePlanes(RecognitionContext& previous) {
        colourPlane = std::move(previous.colourPlane);
        hsvPlane = std::move(previous.hsvPlane);
        workPlane = std::move(previous.workPlane);
        greenPlane = std::move(previous.greenPlane);
        bluePlane = std::move(previous.bluePlane);
        yellowPlane = std::move(previous.yellowPlane);
        grayPlane = std::move(previous.grayPlane);
        inverseGrayPlane = std::move(previous.inverseGrayPlane);
        edgePlane = std::move(previous.edgePlane);
        labelPlane = std::move(previous.labelPlane);
        rowTable = std::move(previous.rowTable);
    }
};

// True when `pixels` lies in one of the context's own buffers: those are then not
// written while the picture is read from them.
bool readsFromContext(const RecognitionContext& context, std::span<const std::uint8_t> pixels) {
    const auto first = reinterpret_cast<std::uintptr_t>(pixels.data());
    const std::uintptr_t last = first + pixels.size();
    const auto inside = [&](const std::uint8_t* buffer, std::size_t size) {
        const auto start = reinterpret_cast<std::uintptr_t>(buffer);
        return buffer != nullptr && first < start + size && start < last;
    };
    const std::size_t planeSize = std::size_t{workingWidth} * context.planeHeight;
    const std::size_t sourceBytes =
        bytesPerPixel * context.imageWidth * static_cast<std::size_t>(context.imageHeight);
    bool any = inside(context.sourceImage.get(), sourceBytes) ||
               inside(context.colourPlane.get(), planeSize * bytesPerPixel) ||
               inside(context.hsvPlane.get(), planeSize * bytesPerPixel) ||
               inside(reinterpret_cast<const std::uint8_t*>(context.labelPlane.get()),
                      planeSize * sizeof(std::int32_t));
    for (const auto* plane :
         {&context.workPlane, &context.greenPlane, &context.bluePlane, &context.yellowPlane,
          &context.grayPlane, &context.inverseGrayPlane, &context.edgePlane}) {
        any = any || inside(plane->get(), planeSize);
    }
    return any;
}

// The working raster of a picture of this size, or std::invalid_argument.
PlaneGeometry checkedGeometry(int width, int height) {
    if (width <= 0 || height <= 0 || width > maxPictureSide || height > maxPictureSide) {
        throw std::invalid_argument("picture sides must lie between 1 and 32767");
    }
    if (!fitsPictureArea(width, height)) {
        throw std::invalid_argument("picture larger than 100 megapixels");
    }
    const PlaneGeometry geometry = planeGeometry(width, height);
    if (geometry.planeHeight > maxPlaneHeight) {
        throw std::invalid_argument("picture too narrow for its height");
    }
    return geometry;
}

PlaneGeometry checkedGeometry(std::span<const std::uint8_t> pixels, int width, int height) {
    const PlaneGeometry geometry = checkedGeometry(width, height);
    if (pixels.size() < bytesPerPixel * width * height) {
        throw std::invalid_argument("pixel buffer shorter than the picture");
    }
    return geometry;
}

// Moves the picture's buffers into the context and records its size.
void install(RecognitionContext& context, PictureBuffers& buffers, const PlaneGeometry& geometry,
             int width, int height, bool bottomUp) {
    context.sourceImage = std::move(buffers.sourceImage);
    context.colourPlane = std::move(buffers.colourPlane);
    context.hsvPlane = std::move(buffers.hsvPlane);
    context.workPlane = std::move(buffers.workPlane);
    context.greenPlane = std::move(buffers.greenPlane);
    context.bluePlane = std::move(buffers.bluePlane);
    context.yellowPlane = std::move(buffers.yellowPlane);
    context.grayPlane = std::move(buffers.grayPlane);
    context.inverseGrayPlane = std::move(buffers.inverseGrayPlane);
    context.edgePlane = std::move(buffers.edgePlane);
    context.labelPlane = std::move(buffers.labelPlane);
    context.rowTable = std::move(buffers.rowTable);
    context.planeHeight = geometry.planeHeight;
    context.planeWidth = workingWidth;
    context.imageWidth = width;
    context.imageHeight = height;
    // The rows left out of the working planes lie at the top of a top-down picture and
    // at the bottom of a bottom-up one.
    context.planeRowOffset = bottomUp
                                 ? geometry.scaledHeight - geometry.planeHeight - geometry.skipRows
                                 : geometry.skipRows;
    context.frame = {{0, static_cast<double>(context.planeRowOffset)},
                     static_cast<double>(width) / workingWidth};
}

} // namespace

RecognitionContext::RecognitionContext() {
    for (auto& image : plateImages) {
        image = allocateLarge<std::uint8_t>(plateArea * bytesPerPixel);
    }
    for (auto& plane : platePlanes) {
        plane = allocateLarge<std::uint8_t>(plateArea);
    }
    for (auto& plane : binaryPlanes) {
        plane = allocateLarge<std::uint8_t>(plateArea);
    }
}

void RecognitionContext::prepareImage(std::span<const std::uint8_t> pixels, int width, int height,
                                      bool bottomUp) {
    const PlaneGeometry geometry = checkedGeometry(pixels, width, height);
    PictureBuffers buffers(*this, bytesPerPixel * width * height, geometry.planeHeight,
                           !readsFromContext(*this, pixels));
    const PicturePixels picture = PicturePixels::packedUnchecked(pixels.data(), width, height);
    copySourceImage(picture, bottomUp, buffers.sourceImage.get());
    convertColourPlanes(picture, bottomUp, geometry, colourPlanesOf(buffers));
    install(*this, buffers, geometry, width, height, bottomUp);
    planesPending_ = false;
    viewed_ = {};
}

void RecognitionContext::adoptImage(std::unique_ptr<std::uint8_t[]> pixels, int width, int height,
                                    PlaneFill fill) {
    const PlaneGeometry geometry = checkedGeometry(width, height);
    if (!pixels) {
        throw std::invalid_argument("no pixels to adopt");
    }
    PictureBuffers buffers(*this, 0, geometry.planeHeight, true);
    buffers.sourceImage = std::move(pixels);
    planesPending_ = fill == PlaneFill::later;
    if (!planesPending_) {
        convertColourPlanes(
            PicturePixels::packedUnchecked(buffers.sourceImage.get(), width, height), false,
            geometry, colourPlanesOf(buffers));
    }
    install(*this, buffers, geometry, width, height, false);
    viewed_ = {};
}

void RecognitionContext::convertPlanes() {
    if (!planesPending_) {
        throw std::logic_error("the working planes are not waiting to be filled");
    }
    convertColourPlanes(source(), false, planeGeometry(imageWidth, imageHeight),
                        colourPlanesOf(*this));
    planesPending_ = false;
}

void RecognitionContext::prepareView(const RecognitionContext& picture,
                                     const PictureWindow& window) {
    const PicturePixels whole = picture.source();
    if (&picture == this) {
        throw std::invalid_argument("a context cannot view its own picture");
    }
    const PicturePixels cut = whole.cut(window);
    const PlaneGeometry geometry = checkedGeometry(window.width, window.height);
    if (geometry.planeHeight == 0) {
        throw std::invalid_argument("the window is too wide for its height");
    }
    PictureBuffers buffers(*this, 0, geometry.planeHeight, true);
    convertColourPlanes(cut, false, geometry, colourPlanesOf(buffers));
    install(*this, buffers, geometry, window.width, window.height, false);
    frame.offset.x += window.left / frame.scale;
    frame.offset.y += window.top / frame.scale;
    planesPending_ = false;
    viewed_ = whole;
}

PicturePixels RecognitionContext::source() const {
    if (viewed_.pixels != nullptr) {
        return viewed_;
    }
    return PicturePixels::packedUnchecked(sourceImage.get(), imageWidth, imageHeight);
}

} // namespace kavro
