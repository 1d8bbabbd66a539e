// The rows the plate search scans: every 12th row from near the bottom up to the
// top third for planes up to three times as tall as wide, and for taller planes
// (tall narrow pictures) no more rows than that, spread over the same stretch.

#include "app/driver/recognition_driver.h"
#include "engine/context/edge_plane.h"
#include "engine/context/recognition_context.h"
#include "image/plate_corner_trailer.h"

#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <random>
#include <vector>

using namespace kavro;

namespace {

constexpr int tallestFullPlane = 3 * workingWidth;

// Every 12th row from 13 rows above the bottom while above the top third.
std::vector<int> everyTwelfthRow(int planeHeight) {
    std::vector<int> rows;
    for (int y = planeHeight - 13; y > planeHeight / 3; y -= 12) {
        rows.push_back(y);
    }
    return rows;
}

std::vector<int> plannedRows(int planeHeight) {
    const ScanRows plan = planScanRows(planeHeight);
    std::vector<int> rows;
    for (int i = 0; i < plan.count; ++i) {
        rows.push_back(plan.first - i * plan.spacing);
    }
    return rows;
}

TEST(ScanRows, PlanesUpToThreeTimesAsTallAsWideScanEveryTwelfthRow) {
    for (int planeHeight = 1; planeHeight <= tallestFullPlane; ++planeHeight) {
        ASSERT_EQ(plannedRows(planeHeight), everyTwelfthRow(planeHeight)) << planeHeight;
    }
}

TEST(ScanRows, TallerPlanesSpreadNoMoreRowsOverTheSameStretch) {
    const int maxRows = static_cast<int>(everyTwelfthRow(tallestFullPlane).size());
    for (int planeHeight = tallestFullPlane + 1; planeHeight <= maxPictureSide; ++planeHeight) {
        const ScanRows plan = planScanRows(planeHeight);
        ASSERT_LE(plan.count, maxRows) << planeHeight;
        ASSERT_GE(plan.spacing, 12) << planeHeight;
        ASSERT_EQ(plan.first, planeHeight - 13) << planeHeight;
        const int lastRow = plan.first - (plan.count - 1) * plan.spacing;
        ASSERT_GT(lastRow, planeHeight / 3) << planeHeight;                // inside the stretch
        ASSERT_LE(lastRow - plan.spacing, planeHeight / 3) << planeHeight; // up to its top
    }
}

double processorSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// Processor time of the plate search on a noise picture.
double searchSeconds(RecognitionContext& context, int width, int height) {
    std::mt19937 random(5);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 3);
    for (std::uint8_t& byte : pixels) {
        byte = static_cast<std::uint8_t>(random());
    }
    context.prepareImage(pixels, width, height, false);
    computeEdgePlane(context.planeHeight, context.grayPlane.get(), context.edgePlane.get(),
                     context.planeWidth);
    cornersFromTrailer = false;
    RecognitionResult result{};
    const double start = processorSeconds();
    EXPECT_EQ(recognisePlates(context, result), 0) << width << " x " << height;
    return processorSeconds() - start;
}

// A noise picture 58 pixels wide, scaled up about nine times to the working width,
// gives strokes that look like characters on every row. Scanning all 735 rows of the
// 26 times taller picture took nine times as long as the picture three times as tall
// as wide; now the two scan as many rows.
TEST(ScanRows, TallNarrowNoiseTakesAboutAsLongAsAPictureThreeTimesAsTallAsWide) {
    auto context = std::make_unique<RecognitionContext>();
    constexpr int width = 58;
    const double threeTimes = searchSeconds(*context, width, 3 * width);
    const double tall = searchSeconds(*context, width, 26 * width);
    EXPECT_LT(tall, 3 * threeTimes) << tall << " s against " << threeTimes << " s";
}

} // namespace
