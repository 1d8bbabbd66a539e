#include "app/driver/recognition_driver.h"

#include "engine/context/recognition_context.h"
#include "engine/localise/row_scan.h"
#include "engine/localise/trace_memo.h"
#include "engine/primitives/plate_warp.h"
#include "engine/recognise/plate_reader.h"
#include "image/plate_corner_trailer.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr int trailerFormat = 1; // a plate with known corners is read as a blue plate
constexpr int firstRowAboveBottom = 13;
constexpr int rowSpacing = 12;
constexpr int searchedFraction = 3; // rows above the top third are never scanned
constexpr int maxMissingAllowed = 2;
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

int readTrailerPlate(RecognitionContext& context, RecognitionResult& result) {
    const int warped =
        warpPlateFromCorners(context.plateImages[0].get(), trailerCornersInPicture(context),
                             context.sourceImage.get(), context.imageWidth, context.imageHeight);
    return warped ? recogniseCharacters(context, trailerFormat, result) : result.count;
}

// Reads the plates that localisation accepts on one scan row, first allowing
// one missing character, then two; returns nonzero once a plate is stored.
int readScanRow(RecognitionContext& context, int rowY, RecognitionResult& result) {
    int found = 0;
    for (int missingAllowed = 1; missingAllowed <= maxMissingAllowed && found == 0;
         ++missingAllowed) {
        RowFormats formats{};
        RowWarps warps;
        const int count = scanRowForPlate(context, rowY, missingAllowed, context.rowTable[0],
                                          result, formats, warps);
        for (int i = 0; i < count && found == 0; ++i) {
            // Each format is read from the plate its own search warped.
            if (i > 0) {
                restoreWarp(context, result, warps[static_cast<std::size_t>(i)]);
            }
            found = recogniseCharacters(context, formats[static_cast<std::size_t>(i)], result);
        }
    }
    return found;
}

// Scans the planned rows from the bottom up until two plates are stored. Each
// search starts from a fresh copy of the blue plane in the work plane.
int searchPlates(RecognitionContext& context, RecognitionResult& result) {
    const TraceMemoScope memo; // the edge plane stays as it is throughout the search
    const std::size_t planeBytes = static_cast<std::size_t>(context.planeWidth) *
                                   static_cast<std::size_t>(context.planeHeight);
    std::copy_n(context.bluePlane.get(), planeBytes, context.workPlane.get());
    const ScanRows rows = planScanRows(context.planeHeight);
    for (int i = 0; i < rows.count && result.count < maxPlates; ++i) {
        readScanRow(context, rows.first - i * rows.spacing, result);
    }
    return result.count;
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

PlateCorners trailerCornersInPicture(const RecognitionContext& context) {
    const double scale = static_cast<double>(context.imageWidth) / workingWidth;
    const auto corner = [&](int i) {
        return Corner{trailerCorners[2 * i] * scale, trailerCorners[2 * i + 1] * scale};
    };
    return {corner(0), corner(1), corner(2), corner(3)};
}

int recognisePlates(RecognitionContext& context, RecognitionResult& result) {
    result = {};
    if (cornersFromTrailer) {
        return readTrailerPlate(context, result);
    }
    return searchPlates(context, result);
}
