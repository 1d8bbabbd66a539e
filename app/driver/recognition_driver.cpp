#include "app/driver/recognition_driver.h"

#include "data/plate_formats.h"
#include "engine/context/recognition_context.h"
#include "engine/find/corner_fit.h"
#include "engine/find/plate_merge.h"
#include "engine/find/view_search.h"
#include "engine/recognise/plate_reader.h"
#include "image/plate_corner_trailer.h"

#include <numeric>

namespace kavro {

namespace {

constexpr int firstRowAboveBottom = 13;
constexpr int rowSpacing = 12;
constexpr int searchedFraction = 3;     // rows above the top third are never scanned
constexpr int tallestFullySearched = 3; // planes up to this many times as tall as wide

// Rows from `first` down to just above the top third, `spacing` apart.
constexpr int rowsBetween(int first, int limit, int spacing) {
    return first > limit ? (first - limit - 1) / spacing + 1 : 0;
}

constexpr int rowsOfPlane(int planeHeight) {
    return rowsBetween(planeHeight - firstRowAboveBottom, planeHeight / searchedFraction,
                       rowSpacing);
}

constexpr int maxScanRows = rowsOfPlane(tallestFullySearched * workingWidth);

// Warps the plate along `corners` into the first plate slot and reads it as
// `formatIndex` into `result` (empty); false when the corners cannot be warped.
bool readAlong(RecognitionContext& context, const Quad<double>& corners, int formatIndex,
               RecognitionResult& result) {
    if (!warpAlong(context, corners)) {
        return false;
    }
    recogniseCharacters(context, formatIndex, result);
    return true;
}

// The plate along the trailer's corners, read as a blue plate.
FoundPlates readTrailerPlate(RecognitionContext& context, RecognitionResult& result) {
    if (!readAlong(context, trailerCornersInPicture(context), trailerFormat, result)) {
        return {};
    }
    FoundPlates found;
    if (result.count > 0) {
        found.push_back(foundPlateOf(context, result, 0));
    }
    return found;
}

// The sum of a reading's character scores, the province character's included.
int totalScore(const PlateCodes& scores) {
    return std::accumulate(scores.begin(), scores.end(), 0);
}

} // namespace

ScanRows planScanRows(int planeHeight) {
    const int first = planeHeight - firstRowAboveBottom;
    const int limit = planeHeight / searchedFraction;
    int spacing = rowSpacing;
    if (rowsBetween(first, limit, spacing) > maxScanRows) {
        const int stretch = first - limit;
        spacing = (stretch + maxScanRows - 1) / maxScanRows;
    }
    return {first, spacing, rowsBetween(first, limit, spacing)};
}

void rereadAlongCorners(RecognitionContext& context, FoundPlate& plate) {
    RecognitionResult reading{};
    if (readAlong(context, plate.corners, plate.formatIndex, reading) && reading.count > 0 &&
        totalScore(reading.charScore[0]) > totalScore(plate.charScore)) {
        plate = foundPlateOf(context, reading, 0);
    }
}

Quad<double> trailerCornersInPicture(const RecognitionContext& context) {
    const double scale = static_cast<double>(context.imageWidth) / workingWidth;
    const auto corner = [&](int i) {
        return Point<double>{trailerCorners[2 * i] * scale, trailerCorners[2 * i + 1] * scale};
    };
    // The trailer lists the bottom left corner before the bottom right.
    return {{corner(0), corner(1), corner(3), corner(2)}};
}

int recognisePlates(RecognitionContext& context, RecognitionResult& result) {
    findPlates(context, result);
    return result.count;
}

FoundPlates findPlates(RecognitionContext& context, RecognitionResult& result) {
    result = {};
    if (cornersFromTrailer) {
        return readTrailerPlate(context, result);
    }
    FoundPlates found;
    searchRows(context, planScanRows(context.planeHeight).rows(), result, found);
    searchViews(context, found);
    FoundPlates plates = mergePlates(found);
    const PicturePixels picture = context.source();
    for (FoundPlate& plate : plates) {
        plate.corners = fitPlateCorners(picture, plate.corners);
        rereadAlongCorners(context, plate);
    }
    fillResult(plates, result);
    return plates;
}

} // namespace kavro
