#include "engine/find/row_search.h"

#include "engine/context/recognition_context.h"
#include "engine/localise/row_scan.h"
#include "engine/localise/trace_memo.h"
#include "engine/recognise/plate_reader.h"

#include <algorithm>
#include <cstddef>
#include <limits>

namespace kavro {

namespace {

constexpr int maxMissingAllowed = 2;

// Reads the plate that each accepted format warped and keeps the reading that
// scores best; its plate goes to `result` and `found`. True when one was stored.
bool readBestFormat(RecognitionContext& context, const RowFormats& formats, int count,
                    const RowWarps& warps, RecognitionResult& result, FoundPlates& found) {
    const int slot = result.count;
    RecognitionResult best = result;
    int bestFormat = -1;
    for (int i = 0; i < count; ++i) {
        // Each format is read from the plate its own search warped.
        if (i > 0) {
            restoreWarp(context, result, warps[static_cast<std::size_t>(i)]);
        }
        RecognitionResult trial = result;
        recogniseCharacters(context, formats[static_cast<std::size_t>(i)], trial);
        if (trial.count > slot &&
            (best.count == slot || trial.confidence[static_cast<std::size_t>(slot)] >
                                       best.confidence[static_cast<std::size_t>(slot)])) {
            best = trial;
            bestFormat = i;
        }
    }
    if (bestFormat < 0) {
        return false;
    }
    // The slot holds the plate the last format warped; the kept one's goes back.
    restoreWarp(context, result, warps[static_cast<std::size_t>(bestFormat)]);
    result = best;
    found.push_back(foundPlateOf(context, result, slot));
    return true;
}

// Reads the plates that localisation accepts on one scan row, first allowing
// one missing character, then two: the second search runs when the first
// offered no plate, or one that was not read while no plate is stored yet.
// Each search tries the formats the row's colours choose, then, when those
// colours were pale, the pale plates' formats they did not choose. A search
// where no box search lacked just one character more than it could supply
// would be repeated exactly by the next, which is skipped.
void readScanRow(RecognitionContext& context, int rowY, RecognitionResult& result,
                 FoundPlates& found) {
    for (int missingAllowed = 1; missingAllowed <= maxMissingAllowed; ++missingAllowed) {
        bool pale = false;
        int fewestLacking = std::numeric_limits<int>::max();
        for (const FormatChoice choice : {FormatChoice::byColour, FormatChoice::paleAlternatives}) {
            if (choice == FormatChoice::paleAlternatives && !pale) {
                break;
            }
            RowFormats formats{};
            RowWarps warps;
            const RowScan scan = scanRowForPlate(context, rowY, missingAllowed, choice,
                                                 context.rowTable[0], result, formats, warps);
            pale = scan.pale;
            fewestLacking = std::min(fewestLacking, scan.fewestLacking);
            if (scan.accepted > 0 &&
                (readBestFormat(context, formats, scan.accepted, warps, result, found) ||
                 result.count > 0)) {
                return;
            }
        }
        if (fewestLacking > missingAllowed + 1) {
            return;
        }
    }
}

} // namespace

std::vector<int> ScanRows::rows() const {
    std::vector<int> list;
    for (int i = 0; i < count; ++i) {
        list.push_back(first - i * spacing);
    }
    return list;
}

void searchRows(RecognitionContext& context, std::span<const int> rows, RecognitionResult& result,
                FoundPlates& found, int enough) {
    const TraceMemoScope memo; // the edge plane stays as it is throughout the search
    const std::size_t planeBytes = static_cast<std::size_t>(context.planeWidth) *
                                   static_cast<std::size_t>(context.planeHeight);
    std::copy_n(context.bluePlane.get(), planeBytes, context.workPlane.get());
    for (std::size_t i = 0; i < rows.size() && result.count < std::min(enough, maxPlates); ++i) {
        readScanRow(context, rows[i], result, found);
    }
}

} // namespace kavro
