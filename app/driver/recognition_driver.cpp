#include "app/driver/recognition_driver.h"

#include "engine/context/recognition_context.h"
#include "engine/primitives/perspective.h"
#include "engine/recognise/plate_reader.h"
#include "image/plate_corner_trailer.h"

namespace {

constexpr int trailerFormat = 1; // a plate with known corners is read as a blue plate

// The trailer's corners, given in the picture scaled to the working width,
// in pixels of the picture itself.
PlateCorners trailerCornersInPicture(const RecognitionContext& context) {
    const double scale = static_cast<double>(context.imageWidth) / workingWidth;
    const auto corner = [&](int i) {
        return Corner{trailerCorners[2 * i] * scale, trailerCorners[2 * i + 1] * scale};
    };
    return {corner(0), corner(1), corner(2), corner(3)};
}

int readTrailerPlate(RecognitionContext& context, RecognitionResult& result) {
    const int warped =
        warpPlateFromCorners(context.plateImages[0].get(), trailerCornersInPicture(context),
                             context.sourceImage.get(), context.imageWidth, context.imageHeight);
    return warped ? recogniseCharacters(context, trailerFormat, result) : result.count;
}

} // namespace

int recognisePlates(RecognitionContext& context, RecognitionResult& result) {
    result = {};
    if (cornersFromTrailer) {
        return readTrailerPlate(context, result);
    }
    return result.count;
}
