// The whole recognition of a small arbitrary picture with arbitrary trailer corners:
// preparation, edge plane and plate search or corner path. Whatever the pixels, the
// result block must hold a well-formed reading.

#include "app/driver/recognition_driver.h"
#include "data/character_codes.h"
#include "data/plate_formats.h"
#include "engine/context/edge_plane.h"
#include "engine/context/recognition_context.h"
#include "fuzz_support.h"
#include "pipeline_input.h"

#include <algorithm>
#include <stdexcept>

using namespace kavro;

namespace {

constexpr int maxScore = 100;

bool isReadFormat(int index) {
    return index > 0 && index < plateFormatCount && plateFormats[index].defined != 0;
}

bool isCharacterCode(std::uint8_t code) {
    const bool digit = code >= '0' && code <= '9';
    const bool capital = code >= 'A' && code <= 'Z' && code != 'I' && code != 'O';
    const bool chinese = code >= firstChineseCode && code <= lastChineseCode;
    return code == 0 || digit || capital || chinese;
}

// A stored plate has a defined format, scores of 0..100 and character codes only in
// its format's positions. (A plate cut out along trailer corners is stored whatever
// it reads, so its positions may be empty.)
bool isWellFormedPlate(const RecognitionResult& result, int plate) {
    if (!isReadFormat(result.formatIndex[plate]) || result.confidence[plate] > maxScore) {
        return false;
    }
    const auto charCount =
        static_cast<std::size_t>(plateFormats[result.formatIndex[plate]].charCount);
    const auto& text = result.text[plate];
    const auto& scores = result.charScore[plate];
    for (std::size_t p = 0; p < text.size(); ++p) {
        const bool inFormat = p < charCount;
        if (!isCharacterCode(text[p]) || scores[p] > maxScore ||
            (!inFormat && (text[p] != 0 || scores[p] != 0))) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One context for the whole run, as the desktop program keeps one for its life:
    // every picture reallocates the planes of the one before.
    static RecognitionContext context;
    const PipelineInput input = decodePipelineInput({data, size});
    cornersFromTrailer = input.cornersFromTrailer;
    trailerCorners = input.corners;

    try {
        context.prepareImage(input.pixels, input.width, input.height, input.bottomUp);
    } catch (const std::invalid_argument&) {
        return -1; // too narrow for its height: refused before any work
    }
    computeEdgePlane(context.planeHeight, context.grayPlane.get(), context.edgePlane.get(),
                     context.planeWidth);
    RecognitionResult result;
    std::fill_n(reinterpret_cast<std::uint8_t*>(&result), sizeof result, 0xA5);
    const int count = recognisePlates(context, result);

    require(count == result.count && count >= 0 && count <= maxPlates, "plate count 0..2");
    for (int plate = 0; plate < count; ++plate) {
        require(isWellFormedPlate(result, plate), "a stored plate is well formed");
    }
    require(count < 2 || result.formatIndex[0] != result.formatIndex[1],
            "two plates have different formats");
    return 0;
}
