#include "engine/recognise/plate_planes.h"
#include "engine/recognise/plate_vote.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include <random>
#include <vector>

using namespace kavro;

namespace {

using Text = std::array<std::uint8_t, plateTextLength>;

Text textOf(std::initializer_list<std::uint8_t> codes) {
    Text text{};
    std::copy(codes.begin(), codes.end(), text.begin());
    return text;
}

TEST(BinaryLevels, FollowThePlaneAndTheTrailer) {
    const PlaneLevels dark{100, 40, 180};
    const PlaneLevels bright{150, 40, 200};
    EXPECT_EQ(binaryLevels(dark, 0, false), (std::array{70, 100, 140, 217}));
    EXPECT_EQ(binaryLevels(dark, 1, false), (std::array{70, 100, 140, 180}));
    EXPECT_EQ(binaryLevels(dark, 0, true), (std::array{70, 100, 140, 180}));
    EXPECT_EQ(binaryLevels(dark, 1, true), (std::array{70, 100, 140, 180}));
    EXPECT_EQ(binaryLevels(bright, 0, true), (std::array{150, 175, 200, 227}));
    EXPECT_EQ(binaryLevels({128, 0, 255}, 1, true), (std::array{128, 191, 255, 255}));
}

constexpr int platePixels = 384 * 116;

struct PlateImage {
    std::vector<std::uint8_t> pixels = std::vector<std::uint8_t>(platePixels, 0);
    void set(int x, int y) { pixels[y * 384 + x] = 255; }
    bool on(int x, int y) const { return pixels[y * 384 + x] != 0; }
    void fillRow(int y, int from, int count) {
        for (int x = from; x < from + count; ++x) {
            set(x, y);
        }
    }
};

TEST(MajorityFilter, KeepsSolidShapesAndDropsSpecks) {
    PlateImage plate;
    plate.set(10, 10); // a lone speck
    for (int y = 20; y < 23; ++y) {
        plate.fillRow(y, 20, 3); // a 3 x 3 block
    }
    plate.fillRow(0, 0, 384); // the outer rows are never changed
    majorityFilter(plate.pixels.data());
    EXPECT_FALSE(plate.on(10, 10));
    EXPECT_TRUE(plate.on(21, 21));
    EXPECT_FALSE(plate.on(20, 20)); // a corner sees 4 of 9
    EXPECT_TRUE(plate.on(200, 0));
}

TEST(MajorityFilter, SeesTheRowsAlreadyFilteredAbove) {
    PlateImage plate;
    // Row 2 is cleared first; pixel (6, 3) then sees 3 set pixels, though 6
    // of its neighbourhood were set before filtering.
    plate.fillRow(2, 5, 3);
    plate.set(6, 3);
    plate.set(6, 4);
    plate.set(5, 4);
    majorityFilter(plate.pixels.data());
    EXPECT_FALSE(plate.on(6, 2));
    EXPECT_FALSE(plate.on(6, 3));
}

// The grey planes straight from their definitions, with integer division.
int lumaOf(int b, int g, int r) {
    return (b * 7209 + g * 38666 + r * 19661) >> 16;
}

std::array<int, 2> greyPair(PlaneMode mode, int b, int g, int r) {
    const bool nearBlack = b + g + r < 3;
    switch (mode) {
    case PlaneMode::blue: {
        const int sum = nearBlack ? 3 : b + g + r;
        const int share = (16'711'680 / sum * (nearBlack ? 1 : b) - 5'570'560) >> 15;
        return {lumaOf(b, g, r), 255 - std::clamp(share, 0, 255)};
    }
    case PlaneMode::green:
        return {255 - lumaOf(b, g, r), nearBlack ? 255 : 255 - (g >> 1)};
    case PlaneMode::yellow:
        return {255 - lumaOf(b, g, r), 255 - std::clamp(nearBlack ? 1 : r + g - b, 0, 255)};
    case PlaneMode::white:
        break;
    }
    return {255 - lumaOf(b, g, r), 255 - lumaOf(b, g, r)};
}

// Random colours, with every near-black pixel and every level of each channel among them.
TEST(DerivePlatePlanes, EveryModeMatchesItsDefinition) {
    std::mt19937 random(5);
    std::vector<std::uint8_t> image(platePixels * 3);
    for (auto& channel : image) {
        channel = static_cast<std::uint8_t>(random());
    }
    const std::array<std::array<std::uint8_t, 3>, 7> nearBlack{
        {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}, {2, 0, 0}, {0, 0, 2}}};
    for (std::size_t i = 0; i < nearBlack.size(); ++i) {
        std::copy(nearBlack[i].begin(), nearBlack[i].end(), image.begin() + 3 * i);
    }
    for (int level = 0; level < 256; ++level) {
        for (int c = 0; c < 3; ++c) {
            image[3 * (1000 + 3 * level + c) + c] = static_cast<std::uint8_t>(level);
        }
    }
    for (const PlaneMode mode :
         {PlaneMode::white, PlaneMode::green, PlaneMode::blue, PlaneMode::yellow}) {
        std::vector<std::uint8_t> first(platePixels);
        std::vector<std::uint8_t> second(platePixels);
        derivePlatePlanes(image.data(), mode, first.data(), second.data());
        for (int i = 0; i < platePixels; ++i) {
            const auto expected = greyPair(mode, image[3 * i], image[3 * i + 1], image[3 * i + 2]);
            ASSERT_EQ(first[i], expected[0]) << "mode " << static_cast<int>(mode) << " pixel " << i;
            ASSERT_EQ(second[i], expected[1])
                << "mode " << static_cast<int>(mode) << " pixel " << i;
        }
    }
}

TEST(Binarise, OnWhereTheGreyReachesTheLevelForAnyLevel) {
    std::vector<std::uint8_t> grey(platePixels);
    for (std::size_t i = 0; i < grey.size(); ++i) {
        grey[i] = static_cast<std::uint8_t>(i * 7);
    }
    for (const int level : {-5, 0, 1, 128, 254, 255, 256, 300}) {
        std::vector<std::uint8_t> binary(platePixels, 77);
        binarise(grey.data(), level, binary.data());
        for (std::size_t i = 0; i < grey.size(); ++i) {
            ASSERT_EQ(binary[i], grey[i] >= level ? 255 : 0) << "level " << level << " at " << i;
        }
    }
}

// The filter as first written: nine reads per pixel, in place.
void majorityFilterByNeighbourhood(std::vector<std::uint8_t>& plane) {
    for (int y = 1; y < 115; ++y) {
        for (int x = 1; x < 383; ++x) {
            int sum = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    sum += plane[(y + dy) * 384 + x + dx];
                }
            }
            plane[y * 384 + x] = sum / 9 >= 128 ? 255 : 0;
        }
    }
}

TEST(MajorityFilter, MatchesTheNeighbourhoodFilterOnRandomPlanes) {
    std::mt19937 random(17);
    for (const int density : {20, 50, 80}) {
        for (const bool binary : {true, false}) {
            std::vector<std::uint8_t> plane(platePixels);
            for (auto& pixel : plane) {
                const int value = static_cast<int>(random() % 256);
                pixel = binary ? (value * 100 / 256 < density ? 255 : 0) : value;
            }
            auto expected = plane;
            majorityFilterByNeighbourhood(expected);
            majorityFilter(plane.data());
            EXPECT_EQ(plane, expected) << density << (binary ? " binary" : " grey");
        }
    }
}

// Row 1 between a bright row and a dim one: every pixel is on only if its left
// neighbour is, so the row's first pixel decides all 382 of them.
TEST(MajorityFilter, OneBorderPixelSwitchesAWholeRow) {
    for (const bool seeded : {false, true}) {
        std::vector<std::uint8_t> plane(platePixels, 0);
        std::fill_n(plane.begin(), 384, 255);
        std::fill_n(plane.begin() + 2 * 384, 384, 100);
        plane[384] = seeded ? 255 : 0;
        auto expected = plane;
        majorityFilterByNeighbourhood(expected);
        majorityFilter(plane.data());
        EXPECT_EQ(plane, expected);
        const auto row = plane.begin() + 384;
        EXPECT_EQ(std::count(row + 1, row + 383, seeded ? 255 : 0), 382) << seeded;
    }
}

TEST(ClearFrameRows, ClearsRunsFromTheEdgesInward) {
    PlateImage plate;
    plate.fillRow(1, 0, 116);
    plate.fillRow(2, 100, 200);
    plate.fillRow(3, 0, 115); // too short: the top pass stops here
    plate.fillRow(4, 0, 300); // never reached
    plate.fillRow(114, 10, 116);
    plate.fillRow(115, 0, 384); // the upward pass starts at row 114
    plate.fillRow(113, 0, 20);
    clearFrameRows(plate.pixels.data());
    EXPECT_FALSE(plate.on(50, 1));
    EXPECT_FALSE(plate.on(150, 2));
    EXPECT_TRUE(plate.on(50, 3));
    EXPECT_TRUE(plate.on(50, 4));
    EXPECT_FALSE(plate.on(50, 114));
    EXPECT_TRUE(plate.on(5, 113));
    EXPECT_TRUE(plate.on(50, 115));
}

TEST(Vote, APlaneThatLostAPositionCountsForNothing) {
    VoteTable votes{};
    for (auto& plane : votes) {
        plane[0] = {'A', 90, 10};
        plane[1] = {'B', 90, 10};
    }
    votes[3][1] = {0, 0, 0};
    votes[3][0] = {'C', 99, 1};
    vetoIncompletePlanes(votes, 2);
    EXPECT_EQ(votes[3][0].score, 0);
    EXPECT_EQ(votes[3][0].code, 'C');
    EXPECT_EQ(votePosition(votes, 0).code, 'A');
}

TEST(Vote, EqualScoresGoToTheCodeSeenFirstEvenOnAVetoedPlane) {
    VoteTable votes{};
    votes[0][0] = {'B', 0, 500}; // vetoed plane: score already 0
    votes[1][0] = {'A', 90, 100};
    votes[2][0] = {'B', 90, 100};
    EXPECT_EQ(votePosition(votes, 0).code, 'B');
    votes[3][0] = {'A', 91, 90};
    EXPECT_EQ(votePosition(votes, 0).code, 'A');
    VoteTable empty{};
    empty[5][2] = {'7', 0, 0};
    EXPECT_EQ(votePosition(empty, 2).code, 0);
}

PlateReading readingOf(std::initializer_list<std::uint8_t> scores) {
    PlateReading reading{};
    int p = 0;
    for (const std::uint8_t s : scores) {
        reading[p++] = {'A', s, 0};
    }
    return reading;
}

TEST(PlateScore, LeavesOutTheProvinceAndThePoliceMark) {
    struct Case {
        PlateReading reading;
        int charCount;
        int format;
        PlateScore score;
        bool accepted;
    };
    const Case cases[] = {
        {readingOf({0, 80, 80, 80, 80, 70, 90}), 7, 1, {80, 70, 90, 0}, true},
        {readingOf({0, 79, 80, 80, 80, 70, 90}), 7, 1, {79, 70, 90, 0}, false},
        {readingOf({0, 90, 90, 90, 90, 69, 90}), 7, 1, {86, 69, 90, 0}, false},
        {readingOf({0, 85, 85, 85, 85, 85, 85}), 7, 1, {85, 85, 85, 0}, false},
        {readingOf({0, 90, 90, 90, 90, 90, 5}), 7, 7, {90, 90, 90, 0}, true},
        {readingOf({0, 90, 90, 90, 90, 90, 90, 20}), 8, 5, {80, 20, 90, 0}, false},
        {readingOf({40, 90, 90, 90, 90, 90, 90}), 7, 1, {90, 90, 90, 40}, true},
    };
    for (const Case& c : cases) {
        const PlateScore score = scorePlate(c.reading, c.charCount, c.format);
        EXPECT_EQ(score.mean, c.score.mean);
        EXPECT_EQ(score.lowest, c.score.lowest);
        EXPECT_EQ(score.highest, c.score.highest);
        EXPECT_EQ(score.first, c.score.first);
        EXPECT_EQ(isAccepted(score, false), c.accepted);
        EXPECT_TRUE(isAccepted(score, true));
    }
}

TEST(PlateScore, LimitsCanAskForAFirstCharacter) {
    const AcceptanceLimits limits{80, 30, 90, 20};
    EXPECT_TRUE(isAccepted({85, 40, 95, 20}, false, limits));
    EXPECT_FALSE(isAccepted({85, 40, 95, 19}, false, limits));
    EXPECT_FALSE(isAccepted({85, 29, 95, 60}, false, limits));
    EXPECT_TRUE(isAccepted({85, 29, 95, 0}, true, limits));
}

TEST(StorePlate, KeepsOnePlatePerFormatAndTwoAtMost) {
    RecognitionResult result{};
    const PlateReading reading = readingOf({95, 96, 97, 98, 99, 100, 94});
    storePlate(result, 1, {97, 94, 100, 95}, reading, 7);
    ASSERT_EQ(result.count, 1);
    EXPECT_EQ(result.confidence[0], 97);
    EXPECT_EQ(result.charScore[0][6], 94);
    EXPECT_EQ(result.text[0][7], 0);
    storePlate(result, 1, {97, 94, 100, 95}, reading, 7);
    EXPECT_EQ(result.count, 1);
    storePlate(result, 5, {90, 90, 90, 90}, readingOf({90, 90, 90, 90, 90, 90, 90, 90}), 8);
    EXPECT_EQ(result.count, 2);
    EXPECT_EQ(result.formatIndex[1], 5);
    storePlate(result, 2, {90, 90, 90, 95}, reading, 7);
    EXPECT_EQ(result.count, 2);
}

// Only the trailer's 1 in a letter's place is corrected; valid plate numbers
// that look like common misreadings of others stay as read.
TEST(CorrectText, OnlyATrailerReadingsLetterOneBecomesA) {
    struct Case {
        Text before;
        bool trailer;
        Text after;
    };
    const Case cases[] = {
        {textOf({0x8A, '1', '2', '3'}), true, textOf({0x8A, 'A', '2', '3'})},
        {textOf({0x8A, '1', '2', '3'}), false, textOf({0x8A, '1', '2', '3'})},
        {textOf({0x8A, 'B', 'Q', 'B', 'S', '1', '2'}), false,
         textOf({0x8A, 'B', 'Q', 'B', 'S', '1', '2'})},
        {textOf({0x8A, 'L', 'F', '9', '1', '2', '3', '4'}), false,
         textOf({0x8A, 'L', 'F', '9', '1', '2', '3', '4'})},
        {textOf({0x9B, 'J', 'P', 'M', '6', '1', '8'}), true,
         textOf({0x9B, 'J', 'P', 'M', '6', '1', '8'})},
        {textOf({0x89, 'L', '6', '5', 'B', '9', 'U'}), false,
         textOf({0x89, 'L', '6', '5', 'B', '9', 'U'})},
        {Text{}, true, Text{}},
    };
    for (const Case& c : cases) {
        Text text = c.before;
        correctText(text, c.trailer);
        EXPECT_EQ(text, c.after);
    }
}

} // namespace
