#include "engine/localise/row_scan.h"

#include "engine/context/recognition_context.h"
#include "engine/localise/box_search.h"
#include "engine/primitives/histogram.h"
#include "engine/primitives/plate_warp.h"
#include "engine/recognise/recognition_result.h"

#include <algorithm>
#include <cstddef>
#include <numeric>
#include <vector>

namespace kavro {

namespace {

constexpr int rowStartThreshold = 60;
constexpr int minRowThreshold = 10; // a row threshold at or below this has no character edges
constexpr std::array<int, 29> thresholdOffsets = {0,   5,  -5,  10, -10, 15, -15, 20, -20, 25,
                                                  -25, 30, -30, 35, -35, 40, -40, 45, -45, 50,
                                                  -50, 55, -55, 60, -60, 70, -70, 80, -80};
constexpr int maxRunLength = 50;   // a longer run ends a stretch of character strokes
constexpr int minStretchRuns = 10; // a stretch needs more bright runs than this
constexpr int hsvPixelBytes = 3;
constexpr int blueHueAbove = 126;
constexpr int greenHueFrom = 86;
constexpr int yellowHueFrom = 27;
constexpr int minColourChroma = 24; // a sample less saturated than this is grey
constexpr int minTopCount = 6;
constexpr int maxTopCount = 16;
constexpr int minSecondCount = 4;
constexpr int percent = 100;
constexpr std::array<int, 2> paleFormats = {7, 5}; // police white, new-energy green

bool isEven(int i) {
    return i % 2 == 0;
}

int saturationPercent(const ColourSample& sample) {
    return sample.chroma * percent / std::max<int>(sample.brightness, 1);
}

// No plate has a red background, and its red characters are saturated: a pale
// red is grey under warm light.
bool paleRed(const ColourSample& sample) {
    return sample.hue < yellowHueFrom && saturationPercent(sample) < maxPaleSaturationPercent;
}

int colourClassOf(const ColourSample& sample, int chromaThreshold, int brightnessThreshold) {
    if (sample.chroma < chromaThreshold || paleRed(sample)) {
        return sample.brightness > brightnessThreshold ? whiteClass : blackClass;
    }
    if (sample.hue > blueHueAbove) {
        return blueClass;
    }
    if (sample.hue >= greenHueFrom) {
        return greenClass;
    }
    if (sample.hue >= yellowHueFrom) {
        return yellowClass;
    }
    return -1; // hues of red and orange are not counted
}

// Histogram threshold of one sample channel, started at the channel's mean.
template <typename Channel>
int channelThreshold(std::span<const ColourSample> samples, Channel channel) {
    Histogram histogram{};
    int sum = 0;
    for (const ColourSample& sample : samples) {
        const int value = channel(sample);
        ++histogram[static_cast<std::size_t>(value)];
        sum += value;
    }
    int threshold = sum / static_cast<int>(samples.size());
    int lowMean = 0;
    int highMean = 0;
    return selectThreshold(histogram, threshold, lowMean, highMean);
}

// The formats allowed by the three leading colours, or none.
std::span<const int> formatsForColours(int top, int second, int third) {
    static constexpr std::array<int, 1> blueOnly = {1};
    // Black on white is a police plate, or a yellow one faded or washed out by light.
    static constexpr std::array<int, 3> blackOnWhite = {7, 2, 1};
    static constexpr std::array<int, 3> yellowThenGreen = {2, 1, 5};
    // Yellow may also be a white police plate under warm light.
    static constexpr std::array<int, 4> yellowPlates = {2, 1, 4, 7};
    static constexpr std::array<int, 1> greenOnly = {5};
    const bool blackOrWhite = second == blackClass || second == whiteClass;
    switch (top) {
    case blackClass:
        switch (second) {
        case blueClass:
            return blueOnly;
        case whiteClass:
            return blackOnWhite;
        case yellowClass:
            return third == greenClass ? std::span<const int>(yellowThenGreen) : yellowPlates;
        case greenClass:
            return greenOnly;
        default:
            return {};
        }
    case whiteClass:
        if (second == blackClass) {
            return blackOnWhite;
        }
        return second == blueClass ? std::span<const int>(blueOnly) : std::span<const int>();
    case greenClass:
        return blackOrWhite ? std::span<const int>(greenOnly) : std::span<const int>();
    case blueClass:
        return blackOrWhite ? std::span<const int>(blueOnly) : std::span<const int>();
    case yellowClass:
        return second == blackClass ? std::span<const int>(yellowPlates) : std::span<const int>();
    default:
        return {};
    }
}

// Samples the hue/chroma plane in the middle of each dark run of the stretch.
std::vector<ColourSample> stretchSamples(const RecognitionContext& context,
                                         const LabelRow& labelRow) {
    const std::int32_t* entry = labelRow.row;
    const int from = entry[labelRow.stretchFirst];
    const int to = entry[labelRow.stretchLast];
    const std::uint8_t* hsvRow =
        context.hsvPlane.get() +
        static_cast<std::ptrdiff_t>(labelRow.rowY) * workingWidth * hsvPixelBytes;
    std::vector<ColourSample> samples;
    for (int m = 1; m < labelRow.transitionCount; m += 2) {
        const int x = (entry[m - 1] + entry[m]) / 2;
        if (x < from || x > to) {
            continue;
        }
        const std::uint8_t* pixel = hsvRow + static_cast<std::ptrdiff_t>(x) * hsvPixelBytes;
        samples.push_back({pixel[0], pixel[1], pixel[2]});
    }
    return samples;
}

std::uint8_t* plateSlot(const RecognitionContext& context, const RecognitionResult& result) {
    return context.plateImages[static_cast<std::size_t>(result.count)].get();
}

} // namespace

int listTransitions(std::span<const std::uint8_t> rowPixels, int threshold,
                    std::span<std::int32_t> list) {
    const int width = static_cast<int>(rowPixels.size());
    int k = 0;
    for (int x = 0; x < width; ++x) {
        const bool dark = rowPixels[static_cast<std::size_t>(x)] < threshold;
        if (isEven(k) == dark) {
            list[static_cast<std::size_t>(k++)] = x;
        }
    }
    list[static_cast<std::size_t>(k)] = width - 1;
    return k + 1;
}

bool findCharacterStretch(LabelRow& labelRow, int entryCount, int rowY) {
    labelRow.rowY = rowY;
    labelRow.transitionCount = entryCount;
    labelRow.stretchRuns = labelRow.stretchFirst = labelRow.stretchLast = 0;
    const std::int32_t* entry = labelRow.row;
    int runs = 0;
    int first = 0;
    int last = 0;
    const auto keepIfLonger = [&] {
        if (runs > labelRow.stretchRuns) {
            labelRow.stretchRuns = runs;
            labelRow.stretchFirst = first;
            labelRow.stretchLast = last;
        }
    };
    for (int i = 1; i < entryCount; ++i) {
        if (isEven(i)) { // entry i ends the bright run that began at entry i - 1
            if (runs == 0) {
                first = i - 1;
            }
            last = i - 1;
            ++runs;
        }
        if (entry[i] - entry[i - 1] > maxRunLength) {
            keepIfLonger();
            runs = 0;
        }
    }
    keepIfLonger();
    return labelRow.stretchRuns > minStretchRuns;
}

ColourTally tallyColours(std::span<const ColourSample> samples, int chromaThreshold,
                         int brightnessThreshold) {
    ColourTally tally{};
    for (const ColourSample& sample : samples) {
        const int colour = colourClassOf(sample, chromaThreshold, brightnessThreshold);
        if (colour >= 0) {
            ++tally[static_cast<std::size_t>(colour)];
        }
    }
    return tally;
}

int formatsForTally(const ColourTally& tally, RowFormats& formats) {
    std::array<int, colourClassCount> order{};
    std::iota(order.begin(), order.end(), 0);
    // Equal counts keep the class order.
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return tally[static_cast<std::size_t>(a)] > tally[static_cast<std::size_t>(b)];
    });
    const int topCount = tally[static_cast<std::size_t>(order[0])];
    const int secondCount = tally[static_cast<std::size_t>(order[1])];
    if (topCount < minTopCount || topCount > maxTopCount || secondCount < minSecondCount) {
        return 0;
    }
    const std::span<const int> chosen = formatsForColours(order[0], order[1], order[2]);
    std::copy(chosen.begin(), chosen.end(), formats.begin());
    return static_cast<int>(chosen.size());
}

bool paleColours(std::span<const ColourSample> samples, int chromaThreshold) {
    std::vector<int> saturations;
    for (const ColourSample& sample : samples) {
        const int colour = colourClassOf(sample, chromaThreshold, 0);
        if (colour == greenClass || colour == blueClass || colour == yellowClass) {
            saturations.push_back(saturationPercent(sample));
        }
    }
    if (saturations.empty()) {
        return false;
    }
    const auto middle = saturations.begin() + static_cast<std::ptrdiff_t>(saturations.size() / 2);
    std::nth_element(saturations.begin(), middle, saturations.end());
    return *middle < maxPaleSaturationPercent;
}

int selectPlateFormats(const RecognitionContext& context, const LabelRow& labelRow,
                       RowFormats& formats, FormatChoice choice, bool* pale) {
    const std::vector<ColourSample> samples = stretchSamples(context, labelRow);
    if (samples.empty()) {
        return 0;
    }
    // Among samples that are all about grey (a white plate whose dark strokes no
    // sample hit), the split of the histogram would call half of them coloured.
    const int chromaThreshold = std::max(
        minColourChroma, channelThreshold(samples, [](const ColourSample& s) { return s.chroma; }));
    const int brightnessThreshold =
        channelThreshold(samples, [](const ColourSample& s) { return s.brightness; });
    RowFormats chosen{};
    const int chosenCount =
        formatsForTally(tallyColours(samples, chromaThreshold, brightnessThreshold), chosen);
    const bool paleChoice = chosenCount > 0 && paleColours(samples, chromaThreshold);
    if (pale != nullptr) {
        *pale = *pale || paleChoice;
    }
    if (choice == FormatChoice::byColour) {
        formats = chosen;
        return chosenCount;
    }
    int count = 0;
    for (const int format : paleFormats) {
        const auto end = chosen.begin() + chosenCount;
        if (paleChoice && std::find(chosen.begin(), end, format) == end) {
            formats[static_cast<std::size_t>(count++)] = format;
        }
    }
    return count;
}

void restoreWarp(RecognitionContext& context, const RecognitionResult& result,
                 const KeptWarp& warp) {
    std::copy(warp.image.begin(), warp.image.end(), plateSlot(context, result));
    context.plateCorners[static_cast<std::size_t>(result.count)] = warp.corners;
}

RowScan scanRowForPlate(RecognitionContext& context, int rowY, int missingAllowed,
                        FormatChoice choice, LabelRow& labelRow, RecognitionResult& result,
                        RowFormats& formatsOut, RowWarps& warpsOut) {
    const int width = context.planeWidth;
    const std::span<const std::uint8_t> edgeRow(context.edgePlane.get() +
                                                    static_cast<std::ptrdiff_t>(rowY) * width,
                                                static_cast<std::size_t>(width));
    Histogram histogram{};
    for (const std::uint8_t value : edgeRow) {
        ++histogram[value];
    }
    int rowThreshold = rowStartThreshold;
    int lowMean = 0;
    int highMean = 0;
    selectThreshold(histogram, rowThreshold, lowMean, highMean);
    RowScan scan;
    if (rowThreshold <= minRowThreshold) {
        return scan;
    }
    const std::span<std::int32_t> list(labelRow.row, static_cast<std::size_t>(width) + 1);
    int& accepted = scan.accepted;
    for (const int offset : thresholdOffsets) {
        const int t = rowThreshold + offset;
        if (t < lowMean || t > highMean) {
            continue;
        }
        const int entries = listTransitions(edgeRow, t, list);
        if (!findCharacterStretch(labelRow, entries, rowY)) {
            continue;
        }
        RowFormats offered{};
        const int offeredCount = selectPlateFormats(context, labelRow, offered, choice, &scan.pale);
        for (int i = 0; i < offeredCount; ++i) {
            const int format = offered[static_cast<std::size_t>(i)];
            if (searchCharacterBoxes(context, labelRow, t, format, missingAllowed, result,
                                     scan.fewestLacking) != 0) {
                const std::uint8_t* slot = plateSlot(context, result);
                KeptWarp& kept = warpsOut[static_cast<std::size_t>(accepted)];
                kept.image.assign(slot, slot + warpImageBytes);
                kept.corners = context.plateCorners[static_cast<std::size_t>(result.count)];
                formatsOut[static_cast<std::size_t>(accepted++)] = format;
            }
        }
        if (accepted > 0) {
            restoreWarp(context, result, warpsOut[0]);
            break;
        }
    }
    return scan;
}

} // namespace kavro
