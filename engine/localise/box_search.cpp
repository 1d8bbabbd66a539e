#include "engine/localise/box_search.h"

#include "engine/context/recognition_context.h"
#include "engine/localise/box_search_state.h"
#include "engine/localise/trace_memo.h"
#include "engine/primitives/plate_rectify.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <vector>

namespace kavro {

namespace {

constexpr std::uint8_t markDark = 0;
constexpr std::uint8_t markBright = 255;
constexpr int maxAbsentChars = 2;    // boxes found may fall short of the format by this many
constexpr int duplicateLookBack = 4; // earlier boxes a new one is compared with

// Marks the stretch's pixels as dark or bright in the work plane's row.
void markStretch(RecognitionContext& context, const LabelRow& labelRow, int threshold) {
    const std::ptrdiff_t rowStart = static_cast<std::ptrdiff_t>(labelRow.rowY) * workingWidth;
    const std::uint8_t* edgeRow = context.edgePlane.get() + rowStart;
    std::uint8_t* workRow = context.workPlane.get() + rowStart;
    const int from = labelRow.row[labelRow.stretchFirst];
    const int to = labelRow.row[labelRow.stretchLast];
    for (int x = from; x <= to; ++x) {
        workRow[x] = edgeRow[x] < threshold ? markDark : markBright;
    }
}

// Traces an outline from every transition of the stretch and keeps the
// character-shaped ones; a box traced again from another stroke replaces the
// boxes found since its first tracing.
void collectBoxes(BoxSearch& search, const LabelRow& labelRow) {
    for (int j = labelRow.stretchFirst; j <= labelRow.stretchLast; ++j) {
        if (search.boxCount >= maxSearchBoxes) {
            return;
        }
        CharBox& box = search.box(search.boxCount);
        if (!traceCharacterOnce(search.edges, search.threshold, labelRow.row[j], labelRow.rowY,
                                *search.points, box)) {
            continue;
        }
        int next = search.boxCount + 1;
        for (int k = std::max(0, search.boxCount - duplicateLookBack); k < search.boxCount; ++k) {
            if (isSameCharacter(box, search.box(k))) {
                next = k + 1;
                break;
            }
        }
        search.boxCount = next;
    }
}

bool tooFew(const BoxSearch& search) {
    return search.boxCount < search.format.charCount - maxAbsentChars;
}

// The box filter of the collected outlines; false when too few remain. The
// first box is not tested on its own: dropping it when it is less than twice
// as high as a box is wide (its own width, the next box's, or that of the
// record after the last box) lost plates on drawn and real pictures alike,
// often the province character, which is about half as wide as high.
bool keepPlausibleBoxes(BoxSearch& search) {
    if (tooFew(search)) {
        return false;
    }
    search.boxCount = keepCommonHeight(search.found());
    std::stable_sort(search.found().begin(), search.found().end(),
                     [](const CharBox& a, const CharBox& b) { return a.centre.x < b.centre.x; });
    if (tooFew(search)) {
        return false;
    }
    search.boxCount = removeNestedBoxes(search.found());
    return true;
}

// Gap statistics, mean size and centre line of the boxes found; false when
// the gaps cannot be measured or the boxes are too squat for plate characters.
bool measureRow(BoxSearch& search) {
    const std::optional<GapStats> gaps = measureGaps(search.found());
    if (!gaps) {
        return false;
    }
    search.gaps = *gaps;
    const BoxAverages averages = averageBoxSize(search.found());
    search.averageHeight = averages.averageHeight;
    search.averageWidth = averages.averageWidth;
    if (!hasPlateProportions(averages)) {
        return false;
    }
    std::vector<EdgePoint> centres;
    for (const CharBox& box : search.found()) {
        centres.push_back({{box.centre.x, box.centre.y}, 0});
    }
    search.centreLine = fitRowLine(centres);
    return true;
}

} // namespace

int searchCharacterBoxes(RecognitionContext& context, const LabelRow& labelRow, int threshold,
                         int formatIndex, int missingAllowed, RecognitionResult& result,
                         int& lacking) {
    markStretch(context, labelRow, threshold);
    const PlateFormat& format = plateFormats[static_cast<std::size_t>(formatIndex)];
    const BytePlane edges{
        std::span<const std::uint8_t>(context.edgePlane.get(),
                                      static_cast<std::size_t>(context.planeWidth) *
                                          static_cast<std::size_t>(context.planeHeight)),
        context.planeWidth, context.planeHeight};
    BoxSearch search(edges, threshold, format);
    collectBoxes(search, labelRow);
    if (!keepPlausibleBoxes(search)) {
        return 0;
    }
    const int missing = format.charCount - search.boxCount;
    if (missing > missingAllowed) {
        lacking = std::min(lacking, missing);
        return 0;
    }
    if (missing < 0 || !measureRow(search)) {
        return 0;
    }
    if (missing > 0) {
        repairMissingCharacters(search);
    }
    if (!layoutFits(search.found(), format)) {
        return 0;
    }
    refineEndBoxes(search);
    return rectifyPlate(formatIndex, search.found(), context, result);
}

} // namespace kavro
