#include "engine/primitives/histogram.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <numeric>
#include <vector>

using namespace kavro;

namespace {

constexpr int stride = 512;

// A 512 x 8 plane whose pixel (x, y) has the level (x + 10 * y) mod 256.
std::vector<std::uint8_t> numberedPlane() {
    std::vector<std::uint8_t> plane(stride * 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < stride; ++x) {
            plane[y * stride + x] = static_cast<std::uint8_t>(x + 10 * y);
        }
    }
    return plane;
}

int total(const Histogram& histogram) {
    return std::accumulate(histogram.begin(), histogram.end(), 0);
}

TEST(RegionHistogram, CountsTheRectangleOnly) {
    const auto plane = numberedPlane();
    Histogram histogram;
    histogram.fill(99);
    regionHistogram(plane.data(), 3, 4, 2, 5, histogram); // columns 3..6, rows 5..6
    EXPECT_EQ(total(histogram), 8);
    for (int level : {53, 54, 55, 56, 63, 64, 65, 66}) {
        EXPECT_EQ(histogram[level], 1) << level;
    }
}

TEST(RegionHistogram, EmptyRectangleClearsTheHistogram) {
    const auto plane = numberedPlane();
    for (const auto& [columns, rows] : {std::pair{0, 3}, std::pair{3, 0}, std::pair{-2, 3}}) {
        Histogram histogram;
        histogram.fill(5);
        regionHistogram(plane.data(), 1, columns, rows, 1, histogram);
        EXPECT_EQ(total(histogram), 0);
    }
}

TEST(RegionHistogram, SpanFormCountsOnlyThePartInsideThePlane) {
    const auto plane = numberedPlane();
    Histogram histogram;
    // columns -2..2 and rows 6..9 of a plane of 8 rows: columns 0..2, rows 6..7
    regionHistogram(std::span<const std::uint8_t>(plane), -2, 5, 4, 6, histogram);
    EXPECT_EQ(total(histogram), 6);
    EXPECT_EQ(histogram[60], 1);
    EXPECT_EQ(histogram[72], 1);
    // columns 510..513 of row 0
    regionHistogram(std::span<const std::uint8_t>(plane), 510, 4, 1, 0, histogram);
    EXPECT_EQ(total(histogram), 2);
    EXPECT_EQ(histogram[510 % 256], 1);
    EXPECT_EQ(histogram[511 % 256], 1);
    // entirely outside
    regionHistogram(std::span<const std::uint8_t>(plane), 0, 4, 3, 8, histogram);
    EXPECT_EQ(total(histogram), 0);
}

struct LevelCount {
    int first, last, count;
};

Histogram histogramOf(std::initializer_list<LevelCount> runs) {
    Histogram histogram{};
    for (const auto& [first, last, count] : runs) {
        for (int level = first; level <= last; ++level) {
            histogram[level] = count;
        }
    }
    return histogram;
}

constexpr int unwritten = -7;

struct ThresholdCase {
    const char* name;
    Histogram histogram;
    int start;
    int expected, lowMean, highMean;
};

void PrintTo(const ThresholdCase& c, std::ostream* out) {
    *out << c.name;
}

const Histogram twoBands = histogramOf({{30, 59, 10}, {180, 219, 10}});

class SelectThreshold : public testing::TestWithParam<ThresholdCase> {};

TEST_P(SelectThreshold, ChoosesThresholdAndReportsMeans) {
    const auto& [name, histogram, start, expected, expectedLow, expectedHigh] = GetParam();
    int threshold = start;
    int lowMean = unwritten, highMean = unwritten;
    EXPECT_EQ(selectThreshold(histogram, threshold, lowMean, highMean), expected);
    EXPECT_EQ(threshold, expected);
    EXPECT_EQ(lowMean, expectedLow);
    EXPECT_EQ(highMean, expectedHigh);
}

INSTANTIATE_TEST_SUITE_P(
    Histograms, SelectThreshold,
    testing::Values(
        ThresholdCase{"empty", Histogram{}, 77, 77, unwritten, unwritten},
        ThresholdCase{"singleLevel", histogramOf({{100, 100, 5}}), 150, 100, 100, 100},
        ThresholdCase{"twoSpikes", histogramOf({{40, 40, 7}, {200, 200, 7}}), 128, 128, 120, 120},
        ThresholdCase{"bandsFrom128", twoBands, 128, 128, 53, 200},
        ThresholdCase{"bandsFrom60", twoBands, 60, 60, 53, 200},
        ThresholdCase{"bandsFrom250", twoBands, 250, 180, 43, 192},
        ThresholdCase{"bandsFrom256", twoBands, 256, 180, 43, 192},
        // a downward success ends the search; upward it would go on to 130
        ThresholdCase{"downwardSuccessOnly",
                      histogramOf({{50, 50, 10}, {120, 120, 4}, {130, 130, 4}, {200, 200, 10}}),
                      125, 120, 125, 125},
        // only the upward search runs; its result includes the level in the low class
        ThresholdCase{"bandsFrom0", twoBands, 0, 59, 53, 200},
        ThresholdCase{"bandsFrom1", twoBands, 1, 59, 53, 200},
        // level 0 is never moved down; the upward move empties the high class
        ThresholdCase{"zeroAndSpikeFrom1", histogramOf({{0, 0, 10}, {200, 200, 10}}), 1, 1, 100,
                      100},
        ThresholdCase{"zeroAndSpikeFrom0", histogramOf({{0, 0, 10}, {200, 200, 10}}), 0, 0, 100,
                      100},
        // nothing to evaluate in either direction: the initial split's means
        ThresholdCase{"onlyLevelZeroFrom256", histogramOf({{0, 0, 4}}), 256, 256, 0, 0},
        // starting thresholds outside 0..256 are taken as the nearer end
        ThresholdCase{"startAbove256", twoBands, 300, 180, 43, 192},
        ThresholdCase{"startBelow0", twoBands, -5, 59, 53, 200}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
