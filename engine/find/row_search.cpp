#include "engine/find/row_search.h"

#include "engine/context/recognition_context.h"
#include "engine/localise/row_scan.h"
#include "engine/localise/trace_memo.h"
#include "engine/recognise/plate_reader.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr int maxMissingAllowed = 2;

// Reads the plates that localisation accepts on one scan row, first allowing
// one missing character, then two; stops once a call of the reader leaves a
// plate stored.
void readScanRow(RecognitionContext& context, int rowY, RecognitionResult& result,
                 FoundPlates& found) {
    int stored = 0;
    for (int missingAllowed = 1; missingAllowed <= maxMissingAllowed && stored == 0;
         ++missingAllowed) {
        RowFormats formats{};
        RowWarps warps;
        const int count = scanRowForPlate(context, rowY, missingAllowed, context.rowTable[0],
                                          result, formats, warps);
        for (int i = 0; i < count && stored == 0; ++i) {
            // Each format is read from the plate its own search warped.
            if (i > 0) {
                restoreWarp(context, result, warps[static_cast<std::size_t>(i)]);
            }
            const int before = result.count;
            stored = recogniseCharacters(context, formats[static_cast<std::size_t>(i)], result);
            if (result.count > before) {
                found.push_back(foundPlateOf(context, result, before));
            }
        }
    }
}

} // namespace

void searchRows(RecognitionContext& context, const ScanRows& rows, RecognitionResult& result,
                FoundPlates& found) {
    const TraceMemoScope memo; // the edge plane stays as it is throughout the search
    const std::size_t planeBytes = static_cast<std::size_t>(context.planeWidth) *
                                   static_cast<std::size_t>(context.planeHeight);
    std::copy_n(context.bluePlane.get(), planeBytes, context.workPlane.get());
    for (int i = 0; i < rows.count && result.count < maxPlates; ++i) {
        readScanRow(context, rows.first - i * rows.spacing, result, found);
    }
}
