#include "tools/glyphgen/plate_samples.h"

#include "tools/glyphgen/plate_geometry.h"

#include <gtest/gtest.h>

using namespace kavro;

namespace {

constexpr int centres[] = {30, 81, 152, 203, 254, 305, 356};
constexpr int barWidth = 14;
constexpr int barTop = 18;
constexpr int barHeight = 80;

// A dark plate with a bright bar for every letter and digit, two bars with a
// gap between them for the province character (as in 川), and optionally a
// bright frame line right above the bars.
PlateCrop syntheticPlate(bool frame) {
    PlateCrop crop{
        "synthetic", {0x8B, 'A', '1', '2', '3', '4', '5'}, GreyImage(plateWidth, plateHeight, 40)};
    auto bar = [&](int left) {
        for (int y = barTop; y < barTop + barHeight; ++y) {
            for (int x = left; x < left + barWidth; ++x) {
                crop.luma.at(x, y) = 220;
            }
        }
    };
    bar(centres[0] - 18);
    bar(centres[0] + 18 - barWidth);
    for (int p = 1; p < 7; ++p) {
        bar(centres[p] - barWidth / 2);
    }
    if (frame) {
        for (int y = barTop - 4; y < barTop; ++y) {
            for (int x = 4; x < plateWidth - 4; ++x) {
                crop.luma.at(x, y) = 220;
            }
        }
    }
    return crop;
}

TEST(PlateSamples, EveryCharacterIsFoundAtItsPositionWithItsCode) {
    for (const bool frame : {false, true}) {
        SCOPED_TRACE(frame);
        const PlateCrop crop = syntheticPlate(frame);
        const std::vector<CharacterSample> samples = plateSamples(crop, 3);
        ASSERT_EQ(samples.size(), 7U);
        for (const CharacterSample& sample : samples) {
            const auto p = static_cast<std::size_t>(sample.position);
            EXPECT_EQ(sample.code, crop.codes[p]);
            EXPECT_EQ(sample.plate, 3);
            EXPECT_LE(std::abs(sample.box.x + sample.box.width / 2 - centres[p]), 2);
            // The majority filter may fill the corners where a bar meets the frame.
            EXPECT_LE(std::abs(sample.box.width - (p == 0 ? 36 : barWidth)), 2);
            EXPECT_GE(sample.box.y, barTop - 1) << "the frame line is not part of the box";
            EXPECT_LE(std::abs(sample.box.height - barHeight), 2);
            EXPECT_GT(setCellCount(sample.rows), glyphCells * (p == 0 ? 7 : 9) / 10);
        }
    }
}

TEST(PlateSamples, APlateWithoutCharactersGivesNoSamples) {
    PlateCrop crop{
        "blank", {0x8B, 'A', '1', '2', '3', '4', '5'}, GreyImage(plateWidth, plateHeight, 40)};
    EXPECT_TRUE(plateSamples(crop, 0).empty());
}

TEST(PlateSamples, BinaryPlateMarksBrightStrokesAndClearsLongRuns) {
    const GreyImage plane = binaryPlate(syntheticPlate(true).luma);
    EXPECT_EQ(plane.at(centres[3], barTop + barHeight / 2), 255);
    EXPECT_EQ(plane.at(centres[3] + 25, barTop + barHeight / 2), 0);
    EXPECT_EQ(plane.at(120, barTop - 2), 0) << "frame line";
}

} // namespace
