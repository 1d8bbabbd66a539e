#include "engine/find/plate_merge.h"

#include <gtest/gtest.h>

#include <string>

using namespace kavro;

namespace {

Quad<double> box(double left, double top, double width, double height) {
    return {
        {{{left, top}, {left + width, top}, {left + width, top + height}, {left, top + height}}}};
}

// A reading whose characters all score `confidence`, unless `scores` says otherwise.
FoundPlate plate(const std::string& text, int format, int confidence, Quad<double> corners,
                 std::vector<std::uint8_t> scores = {}) {
    FoundPlate found;
    found.corners = corners;
    found.formatIndex = format;
    found.confidence = confidence;
    std::copy(text.begin(), text.end(), found.text.begin());
    scores.resize(text.size(), static_cast<std::uint8_t>(confidence));
    std::copy(scores.begin(), scores.end(), found.charScore.begin());
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
// the third's higher confidence (the 3 scores 85 + 88 against the 8's 93); the
// place keeps the order in which it was found.
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
    // Each character keeps its best score: 93 where all three agree, 88 for the 3.
    EXPECT_EQ(merged[1].confidence, (93 + 93 + 93 + 88 + 93) / 5);
    EXPECT_EQ(merged[1].corners, found[3].corners); // the more confident of the agreeing two
}

// Two readings that each went wrong in another place: every character is taken
// from the reading that scores it higher; the confidence follows.
TEST(PlateMerge, EachCharacterIsVotedOnByItsScores) {
    const FoundPlates merged =
        mergePlates({plate("XB1234", 1, 85, box(100, 100, 120, 40), {60, 85, 85, 85, 85, 85}),
                     plate("AB1239", 1, 80, box(102, 100, 120, 40), {90, 90, 90, 90, 90, 50})});
    ASSERT_EQ(merged.size(), 1u);
    EXPECT_EQ(textOf(merged[0]), "AB1234");
    EXPECT_EQ(merged[0].confidence, (90 + 90 + 90 + 90 + 85) / 5); // the province left out
    EXPECT_EQ(merged[0].corners, box(100, 100, 120, 40));          // of the more confident
}

TEST(PlateMerge, PlatesFlatterThanPlatesAreLeftOut) {
    EXPECT_TRUE(plateShaped(plate("A1", 1, 90, box(0, 0, 157, 50))));  // 3.14: a plate
    EXPECT_TRUE(plateShaped(plate("A1", 1, 90, box(0, 0, 220, 40))));  // 5.5: its border missed
    EXPECT_TRUE(plateShaped(plate("A1", 1, 90, box(0, 0, 240, 40))));  // 6
    EXPECT_FALSE(plateShaped(plate("A1", 1, 90, box(0, 0, 250, 40)))); // a line of lettering
    EXPECT_TRUE(mergePlates({plate("A1", 1, 90, box(0, 0, 300, 40))}).empty());
}

TEST(PlateMerge, WithoutAgreementTheMostConfidentReadingWins) {
    const FoundPlates merged = mergePlates({plate("AB1234", 1, 85, box(100, 100, 120, 40)),
                                            plate("AB1284", 1, 93, box(104, 101, 118, 40))});
    ASSERT_EQ(merged.size(), 1u);
    EXPECT_EQ(textOf(merged[0]), "AB1284");
}

// The desktop's result: at most two plates, the second of another format.
TEST(PlateMerge, ResultHoldsTheFirstPlateAndTheFirstOfAnotherFormat) {
    FoundPlates plates = {
        plate("BLUE1", 1, 90, box(0, 0, 10, 4)), plate("BLUE2", 1, 91, box(20, 0, 10, 4)),
        plate("YELLOW", 2, 92, box(40, 0, 10, 4)), plate("GREEN", 5, 93, box(60, 0, 10, 4))};
    RecognitionResult result{};
    result.count = 7; // cleared first
    fillResult(plates, result);
    ASSERT_EQ(result.count, 2);
    EXPECT_EQ(result.formatIndex[0], 1);
    EXPECT_EQ(result.formatIndex[1], 2);
    EXPECT_EQ(result.confidence[1], 92);
    EXPECT_EQ(textOf(plates[1]), "YELLOW");
    EXPECT_EQ(result.text[1], plates[1].text);
    EXPECT_EQ(textOf(plates[2]), "BLUE2"); // the others keep their order
    FoundPlates none;
    fillResult(none, result);
    EXPECT_EQ(result.count, 0);
}

} // namespace
