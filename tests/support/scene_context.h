#pragma once
// A drawn scene's picture in a recognition context, as the search path reads it.

#include "engine/context/edge_plane.h"
#include "engine/context/recognition_context.h"
#include "image/plate_corner_trailer.h"
#include "tools/scenegen/scene.h"

#include <QImage>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// A context holding the scene's picture with its working planes and edge plane,
// and no trailer corners in force, ready to be searched.
inline std::unique_ptr<kavro::RecognitionContext> searchableContext(const Scene& scene) {
    const QImage& image = scene.image;
    std::vector<std::uint8_t> bgr;
    bgr.reserve(static_cast<std::size_t>(image.width()) * image.height() * 3);
    for (int y = 0; y < image.height(); ++y) {
        const uchar* row = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            bgr.insert(bgr.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
        }
    }
    auto context = std::make_unique<kavro::RecognitionContext>();
    context->prepareImage(bgr, image.width(), image.height(), false);
    kavro::computeEdgePlane(context->planeHeight, context->grayPlane.get(),
                            context->edgePlane.get(), context->planeWidth);
    kavro::cornersFromTrailer = false;
    return context;
}
