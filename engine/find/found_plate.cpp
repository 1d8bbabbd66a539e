#include "engine/find/found_plate.h"

#include "engine/context/recognition_context.h"
#include "engine/primitives/plate_warp.h"

#include <algorithm>
#include <cstddef>

namespace kavro {

FoundPlate foundPlateOf(const RecognitionContext& context, const RecognitionResult& result,
                        int index) {
    const auto i = static_cast<std::size_t>(index);
    constexpr std::size_t imageBytes = std::size_t{plateWidth} * plateHeight * 3; // BGR
    const std::uint8_t* image = context.plateImages[i].get();
    return {context.plateCorners[i], result.formatIndex[i], result.confidence[i],
            result.text[i],          result.charScore[i],   {image, image + imageBytes}};
}

bool warpAlong(RecognitionContext& context, const Quad<double>& corners) {
    if (!warpPlateFromCorners(context.plateImages[0].get(), corners, context.source())) {
        return false;
    }
    context.plateCorners[0] = corners;
    return true;
}

int codeCount(const FoundPlate& plate) {
    return static_cast<int>(std::find(plate.text.begin(), plate.text.end(), 0) -
                            plate.text.begin());
}

} // namespace kavro
