#include "engine/primitives/histogram.h"

#include "engine/context/recognition_context.h"

#include <algorithm>
#include <cstddef>

namespace kavro {

namespace {

constexpr int levelCount = 256;
constexpr int meanScale = 16; // class means carry four fractional bits during the search
constexpr int meanShift = 4;
constexpr int missLimit = 2;

// Pixel counts and grey-level sums of the low and the high class.
struct ClassSplit {
    std::int64_t lowCount = 0;
    std::int64_t lowSum = 0;
    std::int64_t highCount = 0;
    std::int64_t highSum = 0;

    void moveToHigh(int level, std::int64_t count) {
        lowCount -= count;
        lowSum -= level * count;
        highCount += count;
        highSum += level * count;
    }
    void moveToLow(int level, std::int64_t count) { moveToHigh(level, -count); }
};

// A split's class means (x16) and its between-class score.
struct SplitScore {
    std::int64_t lowMean;
    std::int64_t highMean;
    std::int64_t score;
};

ClassSplit splitAt(const Histogram& histogram, int threshold) {
    ClassSplit split;
    for (int level = 0; level < levelCount; ++level) {
        const std::int64_t count = histogram[level];
        if (level < threshold) {
            split.lowCount += count;
            split.lowSum += level * count;
        } else {
            split.highCount += count;
            split.highSum += level * count;
        }
    }
    return split;
}

std::int64_t classMean(std::int64_t sum, std::int64_t count, std::int64_t overallMean) {
    return count == 0 ? overallMean : sum * meanScale / count;
}

SplitScore scoreOf(const ClassSplit& split, std::int64_t overallMean) {
    const std::int64_t low = classMean(split.lowSum, split.lowCount, overallMean);
    const std::int64_t high = classMean(split.highSum, split.highCount, overallMean);
    const std::int64_t score = split.lowCount * (low - overallMean) * (low - overallMean) +
                               split.highCount * (high - overallMean) * (high - overallMean);
    return SplitScore{low, high, score};
}

// State of the search shared by both directions.
struct Search {
    const Histogram& histogram;
    std::int64_t overallMean;
    std::int64_t bestScore;
    SplitScore last;
    int threshold;

    // Tries one split; true when it is at least as good as the best so far.
    bool tryLevel(const ClassSplit& split, int level) {
        last = scoreOf(split, overallMean);
        if (last.score < bestScore) {
            return false;
        }
        bestScore = last.score;
        threshold = level;
        return true;
    }

    // Moves levels start-1 .. 1 into the high class; true if any move improved.
    bool searchDownward(ClassSplit split, int start) {
        bool improved = false;
        int misses = 0;
        for (int level = start - 1; level >= 1 && misses < missLimit; --level) {
            if (histogram[level] == 0) {
                continue;
            }
            split.moveToHigh(level, histogram[level]);
            const bool success = tryLevel(split, level);
            improved = improved || success;
            misses = success ? 0 : misses + 1;
        }
        return improved;
    }

    // Moves levels start .. 255 into the low class.
    void searchUpward(ClassSplit split, int start) {
        int misses = 0;
        for (int level = start; level < levelCount && misses < missLimit; ++level) {
            if (histogram[level] == 0) {
                continue;
            }
            split.moveToLow(level, histogram[level]);
            misses = tryLevel(split, level) ? 0 : misses + 1;
        }
    }
};

} // namespace

void regionHistogram(const std::uint8_t* plane, int firstColumn, int columnCount, int rowCount,
                     int firstRow, Histogram& histogram) {
    histogram.fill(0);
    if (columnCount <= 0 || rowCount <= 0) {
        return;
    }
    const std::uint8_t* row =
        plane + static_cast<std::ptrdiff_t>(firstRow) * workingWidth + firstColumn;
    for (int y = 0; y < rowCount; ++y, row += workingWidth) {
        for (int x = 0; x < columnCount; ++x) {
            ++histogram[row[x]];
        }
    }
}

void regionHistogram(std::span<const std::uint8_t> plane, int firstColumn, int columnCount,
                     int rowCount, int firstRow, Histogram& histogram) {
    const auto planeRows = static_cast<std::int64_t>(plane.size() / workingWidth);
    const std::int64_t left = std::max<std::int64_t>(firstColumn, 0);
    const std::int64_t right =
        std::min<std::int64_t>(std::int64_t{firstColumn} + columnCount, workingWidth);
    const std::int64_t top = std::max<std::int64_t>(firstRow, 0);
    const std::int64_t bottom =
        std::min<std::int64_t>(std::int64_t{firstRow} + rowCount, planeRows);
    if (right <= left || bottom <= top) {
        histogram.fill(0);
        return;
    }
    regionHistogram(plane.data(), static_cast<int>(left), static_cast<int>(right - left),
                    static_cast<int>(bottom - top), static_cast<int>(top), histogram);
}

int selectThreshold(const Histogram& histogram, int& threshold, int& lowMean, int& highMean) {
    threshold = std::clamp(threshold, 0, levelCount);
    const int start = threshold;
    const ClassSplit initial = splitAt(histogram, start);
    const std::int64_t total = initial.lowCount + initial.highCount;
    if (total == 0) {
        return threshold;
    }
    const std::int64_t overallMean = (initial.lowSum + initial.highSum) * meanScale / total;
    const SplitScore initialScore = scoreOf(initial, overallMean);
    Search search{histogram, overallMean, initialScore.score, initialScore, start};
    if (!search.searchDownward(initial, start)) {
        search.searchUpward(initial, start);
    }
    threshold = search.threshold;
    lowMean = static_cast<int>(search.last.lowMean >> meanShift);
    highMean = static_cast<int>(search.last.highMean >> meanShift);
    return threshold;
}

} // namespace kavro
