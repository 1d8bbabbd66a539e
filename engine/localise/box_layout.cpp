#include "engine/localise/box_layout.h"

#include "data/plate_formats.h"

#include <algorithm>
#include <cstdlib>

namespace kavro {

namespace {

constexpr int minCharHeight = 10;    // a character is taller than this
constexpr int maxHeightPerWidth = 8; // and less than this many widths high
constexpr int maxCentreShift = 1;    // same character: centres this close
constexpr int maxSizeChange = 2;     // and sizes this close
constexpr int heightToleranceDivisor = 6;
constexpr int minHeightTolerance = 4;
constexpr int narrowHeightPerWidth = 4; // wider boxes count towards the mean width
constexpr int noGap = 0;                // start of the running maxima
constexpr int hugeGap = 255;            // start of the running minima
constexpr int percent = 100;
constexpr int minHeightPerWidthTenths = 14; // mean box height over mean width, in tenths
constexpr int tenths = 10;

bool contains(const CharBox& outer, const CharBox& inner) {
    return inner.left.x >= outer.left.x && inner.right.x <= outer.right.x &&
           inner.top.y >= outer.top.y && inner.bottom.y <= outer.bottom.y;
}

// Index of the extreme gap among the first `count`, skipping `skip`; `better`
// decides whether a gap replaces the running extreme.
template <typename Better>
int extremeGap(const std::array<int, maxSearchBoxes>& gap, int count, int skip, int start,
               Better better) {
    int best = start;
    int index = 0;
    for (int k = 0; k < count; ++k) {
        if (k != skip && better(gap[static_cast<std::size_t>(k)], best)) {
            best = gap[static_cast<std::size_t>(k)];
            index = k;
        }
    }
    return index;
}

int centreGap(std::span<const CharBox> boxes, std::size_t k) {
    return boxes[k].centre.x - boxes[k - 1].centre.x;
}

bool within(int value, int low, int high) {
    return value >= low && value <= high;
}

} // namespace

bool hasCharacterShape(const CharBox& box) {
    return box.height < maxHeightPerWidth * box.width && box.height > box.width &&
           box.height > minCharHeight;
}

bool isSameCharacter(const CharBox& a, const CharBox& b) {
    return std::abs(a.centre.x - b.centre.x) <= maxCentreShift &&
           std::abs(a.centre.y - b.centre.y) <= maxCentreShift &&
           std::abs(a.width - b.width) <= maxSizeChange &&
           std::abs(a.height - b.height) <= maxSizeChange;
}

int keepCommonHeight(std::span<CharBox> boxes) {
    std::stable_sort(boxes.begin(), boxes.end(),
                     [](const CharBox& a, const CharBox& b) { return a.height < b.height; });
    const int count = static_cast<int>(boxes.size());
    const int m = count / 2;
    const int median = boxes[static_cast<std::size_t>(m)].height;
    const int tolerance = std::max((median + 3) / heightToleranceDivisor, minHeightTolerance);
    int first = m;
    while (first > 0 && boxes[static_cast<std::size_t>(first - 1)].height >= median - tolerance) {
        --first;
    }
    int last = m;
    while (last + 1 < count &&
           boxes[static_cast<std::size_t>(last + 1)].height <= median + tolerance) {
        ++last;
    }
    std::rotate(boxes.begin(), boxes.begin() + first, boxes.end());
    return last - first + 1;
}

int removeNestedBoxes(std::span<CharBox> boxes) {
    int count = static_cast<int>(boxes.size());
    const auto remove = [&](int index) {
        std::move(boxes.begin() + index + 1, boxes.begin() + count, boxes.begin() + index);
        --count;
    };
    for (int k = count - 2; k >= 0; --k) {
        const CharBox& a = boxes[static_cast<std::size_t>(k)];
        const CharBox& b = boxes[static_cast<std::size_t>(k + 1)];
        if (contains(a, b)) {
            remove(k + 1);
        } else if (contains(b, a)) {
            remove(k);
        }
    }
    return count;
}

std::optional<GapStats> measureGaps(std::span<const CharBox> boxes) {
    GapStats stats;
    const int count = static_cast<int>(boxes.size()) - 1;
    for (int k = 0; k < count; ++k) {
        stats.gap[static_cast<std::size_t>(k)] = centreGap(boxes, static_cast<std::size_t>(k) + 1);
    }
    const auto wider = [](int gap, int best) { return gap > best; };
    const auto widerOrTie = [](int gap, int best) { return gap >= best; };
    const auto narrower = [](int gap, int best) { return gap < best; };
    const auto narrowerOrTie = [](int gap, int best) { return gap <= best; };
    stats.maxGapIndex = extremeGap(stats.gap, count, -1, noGap, wider);
    stats.minGapIndex = extremeGap(stats.gap, count, -1, hugeGap, narrower);
    stats.secondMaxGapIndex = extremeGap(stats.gap, count, stats.maxGapIndex, noGap, widerOrTie);
    stats.secondMinGapIndex =
        extremeGap(stats.gap, count, stats.minGapIndex, hugeGap, narrowerOrTie);
    const auto gapAt = [&](int index) { return stats.gap[static_cast<std::size_t>(index)]; };
    const int referenceGap = (gapAt(stats.minGapIndex) + gapAt(stats.secondMinGapIndex) + 1) / 2;
    if (referenceGap == 0) {
        return std::nullopt;
    }
    stats.maxGapRatio = gapAt(stats.maxGapIndex) * percent / referenceGap;
    stats.secondGapRatio = gapAt(stats.secondMaxGapIndex) * percent / referenceGap;
    return stats;
}

BoxAverages averageBoxSize(std::span<const CharBox> boxes) {
    const int count = static_cast<int>(boxes.size());
    int heights = 0;
    int widths = 0;
    int narrowCount = 0;
    for (const CharBox& box : boxes) {
        heights += box.height;
        if (box.height < narrowHeightPerWidth * box.width) {
            widths += box.width;
            ++narrowCount;
        }
    }
    const int averageHeight = (count / 2 + heights) / count;
    const int averageWidth =
        narrowCount > 0 ? (narrowCount / 2 + widths) / narrowCount : averageHeight / 2;
    return {averageHeight, averageWidth};
}

bool hasPlateProportions(const BoxAverages& averages) {
    return averages.averageHeight * tenths >= averages.averageWidth * minHeightPerWidthTenths;
}

int oneMissingSlot(const GapStats& gaps, const PlateFormat& format, int boxCount) {
    const auto& limit = format.gapRatioLimits;
    if (gaps.maxGapRatio < limit[1]) {
        return 0;
    }
    if (gaps.maxGapRatio >= limit[2]) {
        return gaps.maxGapIndex + 1; // the character sits in the widest gap
    }
    // The widest gap is the separator: the character is missing at the end
    // when the separator is where the format has it, else in front.
    return gaps.maxGapIndex == format.separatorIndex - 1 ? boxCount : 0;
}

MissingSlots twoMissingSlots(const GapStats& gaps, const PlateFormat& format, int boxCount) {
    const auto& limit = format.gapRatioLimits;
    const int r = gaps.maxGapRatio;
    const int p = gaps.secondGapRatio;
    const int widest = gaps.maxGapIndex;
    const int second = gaps.secondMaxGapIndex;
    const int m = std::min(gaps.minGapIndex, gaps.secondMinGapIndex);
    const int n = boxCount + 2;
    constexpr MissingSlots front = {0, 0};
    if (r < limit[1]) {
        return p < limit[1] ? MissingSlots{0, 1} : front;
    }
    if (r < limit[2]) {
        if (p >= limit[1]) {
            return front;
        }
        if (widest == 0) {
            return {0, n - 1};
        }
        return widest == 1 ? MissingSlots{n - 2, n - 1} : front;
    }
    if (r < limit[3]) {
        if (p < limit[2]) {
            if (second == 0) {
                return {0, widest + 2};
            }
            return second == 1 ? MissingSlots{widest + 1, n - 1} : front;
        }
        return second == 1 ? MissingSlots{m + 1, m + 3} : front;
    }
    if (r < limit[4]) {
        if (p < limit[1]) {
            if (second == 0) {
                return {1, n - 1};
            }
            return second == 1 ? MissingSlots{2, n - 1} : front;
        }
        if (p < limit[3]) {
            if (widest == 0) {
                return {1, second + 2};
            }
            return widest == 1 ? MissingSlots{2, second + 2} : front;
        }
        return front;
    }
    if (p < limit[5]) {
        return second == 1 ? MissingSlots{m + 1, m + 2} : front;
    }
    if (widest == 0) {
        return {1, 2};
    }
    return widest == 1 ? MissingSlots{2, 3} : front;
}

bool layoutFits(std::span<const CharBox> boxes, const PlateFormat& format) {
    const auto count = static_cast<std::size_t>(format.charCount);
    const auto separator = static_cast<std::size_t>(format.separatorIndex);
    if (boxes.size() != count || separator < 1 || separator >= count) {
        return false;
    }
    int ordinarySum = 0;
    for (std::size_t k = 1; k < count; ++k) {
        if (k != separator) {
            ordinarySum += centreGap(boxes, k);
        }
    }
    const int ordinaryPitch = ordinarySum / (format.charCount - 2);
    if (ordinaryPitch <= 0) { // boxes out of order after repair
        return false;
    }
    const auto& limit = format.gapRatioLimits;
    if (!within(centreGap(boxes, separator) * percent / ordinaryPitch, limit[1], limit[2])) {
        return false;
    }
    for (std::size_t k = 1; k < count; ++k) {
        if (k != separator &&
            !within(centreGap(boxes, k) * percent / ordinaryPitch, limit[0], limit[1])) {
            return false;
        }
    }
    return true;
}

} // namespace kavro
