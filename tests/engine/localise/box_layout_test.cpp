#include "data/plate_formats.h"
#include "engine/localise/box_layout.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kavro;

namespace {

CharBox boxAt(int centreX, int centreY, int width, int height) {
    CharBox box;
    synthesiseBox(box, centreX, centreY, width, height);
    return box;
}

// Boxes of equal size on one row with the given centres.
std::vector<CharBox> rowAt(const std::vector<int>& centres, int width = 10, int height = 20) {
    std::vector<CharBox> boxes;
    for (const int x : centres) {
        boxes.push_back(boxAt(x, 50, width, height));
    }
    return boxes;
}

TEST(HasCharacterShape, TallerThanWideAndMoreThanTenHigh) {
    EXPECT_TRUE(hasCharacterShape(boxAt(50, 50, 10, 11)));
    EXPECT_FALSE(hasCharacterShape(boxAt(50, 50, 9, 10)));
    EXPECT_FALSE(hasCharacterShape(boxAt(50, 50, 12, 12)));
    EXPECT_FALSE(hasCharacterShape(boxAt(50, 50, 2, 16)));
    EXPECT_TRUE(hasCharacterShape(boxAt(50, 50, 2, 15)));
}

TEST(IsSameCharacter, CentresWithinOneAndSizesWithinTwo) {
    const CharBox box = boxAt(50, 50, 10, 20);
    EXPECT_TRUE(isSameCharacter(box, boxAt(51, 49, 12, 18)));
    EXPECT_FALSE(isSameCharacter(box, boxAt(52, 50, 10, 20)));
    EXPECT_FALSE(isSameCharacter(box, boxAt(50, 50, 13, 20)));
}

TEST(KeepCommonHeight, ToleranceIsASixthOfTheMedianButAtLeastFour) {
    // Median 20: tolerance 4, heights 16..24 stay.
    std::vector<CharBox> boxes;
    for (const int h : {30, 16, 20, 15, 24, 25, 20}) {
        boxes.push_back(boxAt(50, 50, 8, h));
    }
    ASSERT_EQ(keepCommonHeight(boxes), 4);
    EXPECT_EQ(boxes[0].height, 16);
    EXPECT_EQ(boxes[3].height, 24);
    // Median 40: tolerance 7, heights 33..47 stay.
    boxes.clear();
    for (const int h : {32, 33, 40, 47, 48}) {
        boxes.push_back(boxAt(50, 50, 8, h));
    }
    EXPECT_EQ(keepCommonHeight(boxes), 3);
}

TEST(RemoveNestedBoxes, KeepsTheOuterBox) {
    std::vector<CharBox> boxes = rowAt({20, 40, 60, 80, 100, 120, 140});
    boxes.insert(boxes.begin() + 3, boxAt(61, 50, 4, 8)); // inside its left neighbour
    ASSERT_EQ(removeNestedBoxes(boxes), 7);
    EXPECT_EQ(boxes[3].centre.x, 80);

    std::vector<CharBox> holding = rowAt({20, 40});
    holding.insert(holding.begin(), boxAt(19, 50, 4, 8)); // inside its right neighbour
    ASSERT_EQ(removeNestedBoxes(holding), 2);
    EXPECT_EQ(holding[0].centre.x, 20);
}

TEST(MeasureGaps, TiesGoToTheFirstExtremeAndTheLastOfTheOthers) {
    const std::vector<CharBox> boxes = rowAt({0, 30, 60, 80, 100, 130});
    const auto gaps = measureGaps(boxes);
    ASSERT_TRUE(gaps);
    EXPECT_EQ(gaps->maxGapIndex, 0);
    EXPECT_EQ(gaps->secondMaxGapIndex, 4);
    EXPECT_EQ(gaps->minGapIndex, 2);
    EXPECT_EQ(gaps->secondMinGapIndex, 3);
    EXPECT_EQ(gaps->maxGapRatio, 150); // 30 * 100 / 20
    EXPECT_EQ(gaps->secondGapRatio, 150);
}

TEST(MeasureGaps, RejectsTwoZeroGaps) {
    EXPECT_FALSE(measureGaps(rowAt({10, 10, 10, 40})));
}

TEST(AverageBoxSize, RoundedMeansAndTheFallbackWidth) {
    std::vector<CharBox> boxes = {boxAt(10, 50, 10, 20), boxAt(30, 50, 11, 21),
                                  boxAt(50, 50, 4, 21)}; // too narrow to count for the width
    const BoxAverages averages = averageBoxSize(boxes);
    EXPECT_EQ(averages.averageHeight, 21); // (1 + 62) / 3
    EXPECT_EQ(averages.averageWidth, 11);  // (1 + 21) / 2
    const BoxAverages narrow = averageBoxSize(rowAt({10, 30}, 4, 21));
    EXPECT_EQ(narrow.averageWidth, 10);
}

TEST(HasPlateProportions, MeanBoxAtLeastOnePointFourTimesAsHighAsWide) {
    const struct {
        int height;
        int width;
        bool plate;
    } cases[] = {
        {28, 20, true},  // exactly 1.4
        {27, 20, false}, // 1.35: lettering on a sign
        {40, 20, true},  // plate characters
        {14, 11, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hasPlateProportions({c.height, c.width}), c.plate) << c.height << "x" << c.width;
    }
}

GapStats gapsWith(int maxRatio, int secondRatio, int maxIndex, int secondIndex) {
    GapStats gaps;
    gaps.maxGapRatio = maxRatio;
    gaps.secondGapRatio = secondRatio;
    gaps.maxGapIndex = maxIndex;
    gaps.secondMaxGapIndex = secondIndex;
    gaps.minGapIndex = 3;
    gaps.secondMinGapIndex = 2;
    return gaps;
}

const PlateFormat& blue = plateFormats[1]; // gap limits 80 120 170 220 270 320, separator 2

TEST(OneMissingSlot, FromTheWidestGap) {
    // Six boxes; the widest gap at separatorIndex - 1.
    EXPECT_EQ(oneMissingSlot(gapsWith(150, 100, 1, 0), blue, 6), 6);
    EXPECT_EQ(oneMissingSlot(gapsWith(150, 100, 3, 0), blue, 6), 0);
    EXPECT_EQ(oneMissingSlot(gapsWith(110, 100, 1, 0), blue, 6), 0);
    EXPECT_EQ(oneMissingSlot(gapsWith(200, 100, 1, 0), blue, 6), 2);
    EXPECT_EQ(oneMissingSlot(gapsWith(170, 100, 4, 0), blue, 6), 5);
}

TEST(TwoMissingSlots, Table) {
    const struct {
        GapStats gaps;
        int insertAt;
        int secondInsertAt;
    } cases[] = {
        {gapsWith(110, 100, 0, 1), 0, 1}, {gapsWith(150, 130, 0, 1), 0, 0},
        {gapsWith(150, 100, 0, 1), 0, 6}, {gapsWith(150, 100, 1, 0), 5, 6},
        {gapsWith(150, 100, 2, 0), 0, 0}, {gapsWith(200, 150, 3, 0), 0, 5},
        {gapsWith(200, 150, 3, 1), 4, 6}, {gapsWith(200, 180, 3, 1), 3, 5}, // m = 2
        {gapsWith(250, 100, 3, 0), 1, 6}, {gapsWith(250, 100, 3, 1), 2, 6},
        {gapsWith(250, 150, 0, 3), 1, 5}, {gapsWith(250, 150, 1, 3), 2, 5},
        {gapsWith(250, 230, 1, 3), 0, 0}, {gapsWith(300, 200, 3, 1), 3, 4},
        {gapsWith(330, 320, 0, 1), 1, 2}, {gapsWith(330, 320, 1, 0), 2, 3},
    };
    for (const auto& c : cases) {
        const MissingSlots slots = twoMissingSlots(c.gaps, blue, 5);
        EXPECT_EQ(slots.insertAt, c.insertAt) << c.gaps.maxGapRatio << " " << c.gaps.secondGapRatio;
        EXPECT_EQ(slots.secondInsertAt, c.secondInsertAt)
            << c.gaps.maxGapRatio << " " << c.gaps.secondGapRatio;
    }
}

// Seven centres with ordinary gaps of 50 and the separator gap (after the
// second character) of `separator`, except gap `odd` of `oddGap`.
std::vector<CharBox> plateRow(int separator, int odd = -1, int oddGap = 50) {
    std::vector<int> centres = {0};
    for (int k = 1; k < 7; ++k) {
        const int gap = k == 2 ? separator : (k == odd ? oddGap : 50);
        centres.push_back(centres.back() + gap);
    }
    for (int& x : centres) {
        x += 30;
    }
    return rowAt(centres);
}

TEST(LayoutFits, SeparatorAndOrdinaryGapLimits) {
    EXPECT_TRUE(layoutFits(plateRow(85), blue)); // 170 %: the upper separator limit
    EXPECT_FALSE(layoutFits(plateRow(86), blue));
    EXPECT_TRUE(layoutFits(plateRow(60), blue)); // 120 %: the lower one
    EXPECT_FALSE(layoutFits(plateRow(59), blue));
    // One ordinary gap of 38 among four of 50: pitch 238 / 5 = 47, 38 * 100 / 47 = 80 %,
    // exactly the lower limit, passes; 37 gives 78 % and fails.
    EXPECT_TRUE(layoutFits(plateRow(70, 4, 38), blue));
    EXPECT_FALSE(layoutFits(plateRow(70, 4, 37), blue));
    EXPECT_FALSE(layoutFits(rowAt({10, 20, 30, 40, 50, 60}), blue)); // too few boxes
}

TEST(LayoutFits, RejectsBoxesOutOfOrder) {
    EXPECT_FALSE(layoutFits(rowAt({300, 250, 200, 150, 100, 50, 0}), blue));
}

} // namespace
