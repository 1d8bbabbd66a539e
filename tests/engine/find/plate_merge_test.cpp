#include "engine/find/plate_merge.h"

#include <gtest/gtest.h>

#include <string>

namespace {

Quad<double> box(double left, double top, double width, double height) {
    return {
        {{{left, top}, {left + width, top}, {left + width, top + height}, {left, top + height}}}};
}

FoundPlate plate(const std::string& text, int format, int confidence, Quad<double> corners) {
    FoundPlate found;
    found.corners = corners;
    found.formatIndex = format;
    found.confidence = confidence;
    std::copy(text.begin(), text.end(), found.text.begin());
    return found;
}

std::string textOf(const FoundPlate& found) {
    return {found.text.begin(), found.text.begin() + codeCount(found)};
}

TEST(PlateMerge, PlatesOverlappingByHalfTheSmallerArePlaceMates) {
    const FoundPlate a = plate("A1", 1, 90, box(100, 100, 120, 40));
    EXPECT_TRUE(samePlace(a, plate("A1", 1, 90, box(150, 100, 120, 40))));
    EXPECT_FALSE(samePlace(a, plate("A1", 1, 90, box(170, 100, 120, 40))));
    EXPECT_TRUE(samePlace(a, plate("A1", 1, 90, box(110, 105, 60, 20)))); // inside
    EXPECT_FALSE(samePlace(a, plate("A1", 1, 90, box(400, 100, 120, 40))));
}

// One plate seen in three views: two read it alike, so their reading wins over
// the third's higher confidence; the place keeps the order in which it was found.
TEST(PlateMerge, ThePlaceTakesTheReadingMostViewsAgreeOn) {
    const FoundPlates found = {
        plate("OTHER1", 2, 96, box(600, 400, 150, 48)),
        plate("AB1234", 1, 85, box(100, 100, 120, 40)),
        plate("AB1284", 1, 93, box(104, 101, 118, 40)),
        plate("AB1234", 1, 88, box(98, 99, 124, 41)),
    };
    const FoundPlates merged = mergePlates(found);
    ASSERT_EQ(merged.size(), 2u);
    EXPECT_EQ(textOf(merged[0]), "OTHER1");
    EXPECT_EQ(textOf(merged[1]), "AB1234");
    EXPECT_EQ(merged[1].confidence, 88); // the more confident of the agreeing two
    EXPECT_EQ(merged[1].corners, found[3].corners);
}

TEST(PlateMerge, WithoutAgreementTheMostConfidentReadingWins) {
    const FoundPlates merged = mergePlates({plate("AB1234", 1, 85, box(100, 100, 120, 40)),
                                            plate("AB1284", 1, 93, box(104, 101, 118, 40))});
    ASSERT_EQ(merged.size(), 1u);
    EXPECT_EQ(textOf(merged[0]), "AB1284");
}

// The desktop's result: at most two plates, the second of another format.
TEST(PlateMerge, ResultHoldsTheFirstPlateAndTheFirstOfAnotherFormat) {
    const FoundPlates plates = {
        plate("BLUE1", 1, 90, box(0, 0, 10, 4)), plate("BLUE2", 1, 91, box(20, 0, 10, 4)),
        plate("YELLOW", 2, 92, box(40, 0, 10, 4)), plate("GREEN", 5, 93, box(60, 0, 10, 4))};
    RecognitionResult result{};
    result.count = 7; // cleared first
    fillResult(plates, result);
    ASSERT_EQ(result.count, 2);
    EXPECT_EQ(result.formatIndex[0], 1);
    EXPECT_EQ(result.formatIndex[1], 2);
    EXPECT_EQ(result.confidence[1], 92);
    EXPECT_EQ(result.text[1], plates[2].text);
    fillResult({}, result);
    EXPECT_EQ(result.count, 0);
}

} // namespace
