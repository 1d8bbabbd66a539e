#include "engine/recognise/segment.h"

#include "data/character_codes.h"
#include "engine/recognise/classify.h"
#include "support/draw_glyph.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace kavro;

namespace {

constexpr int plateWidth = 384;
constexpr int plateHeight = 116;
constexpr int charTop = 18; // characters drawn on rows 18..97
constexpr int charHeight = 80;

std::vector<const GlyphTemplate*> candidates(int formatIndex, int listIndex) {
    std::vector<const GlyphTemplate*> list(maxCandidates);
    list.resize(static_cast<std::size_t>(buildCandidates(formatIndex, listIndex, list)));
    return list;
}

const GlyphTemplate& firstGlyph(std::span<const GlyphTemplate* const> list, std::uint8_t code) {
    for (const GlyphTemplate* glyph : list) {
        if (glyph->code == code) {
            return *glyph;
        }
    }
    throw std::invalid_argument("no template for the code");
}

struct Reading {
    CharMatch match;
    CharBox box;
    CharacterBand band{firstBandRow, lastBandRow};
};

Reading readPosition(const TestPlane& plane, int formatIndex, int position) {
    const PlateFormat& format = plateFormats[formatIndex];
    const auto list = candidates(formatIndex, format.charList[position]);
    auto points = std::make_unique<OutlinePoints>();
    Reading reading;
    reading.match =
        segmentPosition(plane.view(), format, position, reading.band, *points, reading.box, list);
    return reading;
}

// Draws `glyph` with its box centred on the position's expected centre.
TestPlane plateWith(const GlyphTemplate& glyph, int centreX, int width) {
    TestPlane plane(plateWidth, plateHeight);
    drawGlyph(plane, glyph, centreX - width / 2, charTop, width, charHeight);
    return plane;
}

TEST(ColumnRuns, RecordsFirstAndLastRowsOfRuns) {
    struct Case {
        const char* name;
        std::vector<std::pair<int, int>> runs; // inclusive rows, drawn in column 5
        int x, firstRow, lastRow;
        std::vector<int> expected;
    };
    const std::vector<Case> cases{
        {"two runs", {{10, 20}, {30, 31}}, 5, 0, 115, {10, 20, 30, 31}},
        {"run still open at the last row", {{10, 20}}, 5, 0, 15, {10}},
        {"rows above and below the plane are off",
         {{0, 5}, {110, 115}},
         5,
         -2,
         117,
         {0, 5, 110, 115}},
        {"at most sixteen",
         {{2, 3},
          {6, 7},
          {10, 11},
          {14, 15},
          {18, 19},
          {22, 23},
          {26, 27},
          {30, 31},
          {34, 35},
          {38, 39}},
         5,
         0,
         115,
         {2, 3, 6, 7, 10, 11, 14, 15, 18, 19, 22, 23, 26, 27, 30, 31}},
        {"column left of the plane", {{10, 20}}, -1, 0, 115, {}},
        {"column right of the plane", {{10, 20}}, plateWidth, 0, 115, {}},
    };
    for (const Case& c : cases) {
        TestPlane plane(plateWidth, plateHeight);
        for (const auto& [first, last] : c.runs) {
            plane.fill(5, first, 5, last);
        }
        ColumnTransitions values{};
        const int n = columnRuns(plane.view(), c.x, c.firstRow, c.lastRow, values);
        EXPECT_EQ(std::vector<int>(values.begin(), values.begin() + n), c.expected) << c.name;
    }
}

TEST(SegmentPosition, ReadsTheRecordedAWithFullScoreAndNarrowsTheBand) {
    // The first standard template is the recorded plate "A".
    const PlateFormat& format = plateFormats[1];
    const Reading reading = readPosition(plateWith(standardGlyphs[0], 203, 40), 1, 3);
    EXPECT_EQ(reading.match.code, 'A');
    EXPECT_EQ(reading.match.score, 100);
    EXPECT_EQ(reading.box.left.x, format.charCentreX[3] - 20);
    EXPECT_EQ(reading.box.top.y, charTop);
    EXPECT_EQ(reading.box.width, 40);
    EXPECT_EQ(reading.box.height, charHeight);
    EXPECT_EQ(reading.band.top, 17);
    EXPECT_EQ(reading.band.bottom, 98);
}

TEST(SegmentPosition, ReadsEveryTemplateDrawnAtItsPosition) {
    struct Case {
        int formatIndex;
        int position;
        int listIndex;
    };
    // Letters and digits in the middle of a blue plate, provinces at its
    // left end, and the green plate whose first search window reaches past
    // the plate's left edge.
    const Case cases[] = {{1, 3, 1}, {1, 0, 2}, {5, 0, 3}, {5, 2, 2}};
    for (const Case& c : cases) {
        const PlateFormat& format = plateFormats[c.formatIndex];
        for (const GlyphTemplate* glyph : candidates(c.formatIndex, c.listIndex)) {
            if (format.fontSet == FontSet::standard && glyph->code == '1') {
                continue; // a full-width "1" is never read as one; see below
            }
            const Reading reading =
                readPosition(plateWith(*glyph, format.charCentreX[c.position], format.charWidth),
                             c.formatIndex, c.position);
            const std::string name = "format " + std::to_string(c.formatIndex) + ", " +
                                     displayCharacter(static_cast<std::uint8_t>(glyph->code));
            EXPECT_EQ(reading.match.code, glyph->code) << name;
            EXPECT_GE(reading.match.score, 80) << name;
        }
    }
}

TEST(SegmentPosition, ReadsABrokenCharacterWhole) {
    const auto provinces = candidates(1, 2);
    const GlyphTemplate& chuan = firstGlyph(provinces, 0x96); // 川
    const TestPlane plane = plateWith(chuan, 30, 40);
    // Its left stroke alone is a much narrower blob.
    ColumnTransitions runs{};
    ASSERT_GT(columnRuns(plane.view(), 12, 0, plateHeight - 1, runs), 0);
    OutlinePoints points;
    TraceRect stroke{};
    ASSERT_GT(traceOutline(plane.view(), 128, nullptr, 12, runs[0], points, stroke, false), 0);
    ASSERT_LT(stroke.maxX - stroke.minX + 1, 20);

    const Reading reading = readPosition(plane, 1, 0);
    EXPECT_EQ(reading.match.code, 0x96);
    EXPECT_GE(reading.match.score, 80);
    EXPECT_EQ(reading.box.left.x, 10);
    EXPECT_EQ(reading.box.width, 40);
}

TEST(SegmentPosition, ReadsJoinedCharactersThroughCharacterWideWindows) {
    const auto list = candidates(1, 1);
    const std::pair<char, char> pairs[] = {{'7', '4'}, {'H', 'A'}};
    for (const auto& [expected, neighbour] : pairs) {
        // The character at position 3 and its right neighbour, joined by a smear.
        TestPlane plane(plateWidth, plateHeight);
        drawGlyph(plane, firstGlyph(list, expected), 183, charTop, 40, charHeight);
        drawGlyph(plane, firstGlyph(list, neighbour), 233, charTop, 40, charHeight);
        plane.fill(215, 55, 240, 60);
        const Reading reading = readPosition(plane, 1, 3);
        ASSERT_GT(reading.box.width, 50) << expected;
        const CharMatch whole = classifyBox(plane.view(), reading.box.left.x, reading.box.top.y,
                                            reading.box.width, reading.box.height, list, true);
        EXPECT_LT(whole.score, 80) << expected;
        EXPECT_EQ(reading.match.code, expected);
        EXPECT_GE(reading.match.score, 90) << expected;
        // Not confident on the whole box: the band stays as it was.
        EXPECT_EQ(reading.band.top, firstBandRow);
    }
}

TEST(SegmentPosition, AOneOffCentreByMoreThanAQuarterLosesTenPoints) {
    // A narrow "1" 10 pixels wide at position 3 (expected centre 203).
    const GlyphTemplate& one = firstGlyph(candidates(1, 1), '1');
    const std::pair<int, int> cases[] = {{198, 100}, {208, 100}, {209, 90}};
    for (const auto& [left, score] : cases) {
        TestPlane plane(plateWidth, plateHeight);
        drawGlyph(plane, one, left, charTop, 10, charHeight);
        const Reading reading = readPosition(plane, 1, 3);
        EXPECT_EQ(reading.match.code, '1') << left;
        EXPECT_EQ(reading.match.score, score) << left;
    }
}

TEST(SegmentPosition, IgnoresAShortRunAtTheTopOfTheProbeColumns) {
    // A dash across every probe column above an "A": four rows are ignored,
    // five rows are traced and join the box.
    const std::pair<int, int> cases[] = {{4, charTop}, {5, 6}};
    for (const auto& [rows, top] : cases) {
        TestPlane plane = plateWith(standardGlyphs[0], 203, 40);
        plane.fill(180, 6, 226, 6 + rows - 1);
        const Reading reading = readPosition(plane, 1, 3);
        EXPECT_EQ(reading.box.top.y, top) << rows;
    }
}

TEST(SegmentPosition, NeverReadsABoxShorterThanFourFifthsOfACharacter) {
    TestPlane plane(plateWidth, plateHeight);
    plane.fill(183, 30, 222, 92); // 63 rows high, 64 needed
    const Reading reading = readPosition(plane, 1, 3);
    EXPECT_EQ(reading.match.code, 0);
    EXPECT_EQ(reading.match.score, 0);
    EXPECT_EQ(reading.box.height, 63);
    EXPECT_EQ(reading.band.top, firstBandRow);
    EXPECT_EQ(reading.band.bottom, lastBandRow);
}

TEST(SegmentPosition, ReadsANarrowStrokeOnlyWhereAOneIsAllowed) {
    // A lone stroke 80 rows high: narrower than a third of that (26) it can
    // only be a "1" or part of a character, so a list without "1" never reads
    // it; from 27 columns on it is read like any box.
    struct Case {
        int position;
        int width;
        bool read;
    };
    const Case cases[] = {{0, 20, false}, {0, 26, false}, {0, 27, true},
                          {1, 20, false}, {3, 10, true},  {3, 20, true}};
    for (const Case& c : cases) {
        const int centre = plateFormats[1].charCentreX[c.position];
        TestPlane plane(plateWidth, plateHeight);
        plane.fill(centre - c.width / 2, charTop, centre - c.width / 2 + c.width - 1,
                   charTop + charHeight - 1);
        const Reading reading = readPosition(plane, 1, c.position);
        EXPECT_EQ(reading.box.width, c.width) << c.position << " " << c.width;
        EXPECT_EQ(reading.match.code != 0, c.read) << c.position << " " << c.width;
    }
}

TEST(SegmentPosition, StrokesOnThePlaneBorderAreNotTraced) {
    // A bar over the full plate height: every probe column's run starts on
    // row 0 and ends on the last row, where no trace may start.
    TestPlane plane(plateWidth, plateHeight);
    plane.fill(190, 0, 215, plateHeight - 1);
    const Reading reading = readPosition(plane, 1, 3);
    EXPECT_EQ(reading.match.code, 0);
    EXPECT_EQ(reading.box.width, 0);
}

TEST(SegmentPosition, ClearsTheBoxItIsGiven) {
    const TestPlane plane(plateWidth, plateHeight);
    const PlateFormat& format = plateFormats[1];
    OutlinePoints points;
    CharacterBand band{firstBandRow, lastBandRow};
    CharBox box;
    synthesiseBox(box, 203, 58, 90, 80);
    const CharMatch match =
        segmentPosition(plane.view(), format, 3, band, points, box, candidates(1, 1));
    EXPECT_EQ(match.score, 0);
    EXPECT_EQ(box.width, 0);
}

} // namespace
