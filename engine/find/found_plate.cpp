#include "engine/find/found_plate.h"

#include <algorithm>
#include <cstddef>

FoundPlate foundPlateOf(const RecognitionResult& result, int index, const Quad<double>& corners) {
    const auto i = static_cast<std::size_t>(index);
    return {corners, result.formatIndex[i], result.confidence[i], result.text[i],
            result.charScore[i]};
}

int codeCount(const FoundPlate& plate) {
    return static_cast<int>(std::find(plate.text.begin(), plate.text.end(), 0) -
                            plate.text.begin());
}
