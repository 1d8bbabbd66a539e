#include "engine/recognise/classify.h"

#include "support/test_plane.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <tuple>
#include <vector>

using namespace kavro;

namespace {

constexpr int plateWidth = 384;
constexpr int plateHeight = 116;

// A template with `setBits` cells set, filled row by row from the top left.
// Against a blank box its distance is exactly `setBits`.
GlyphTemplate glyphWithBits(char code, int setBits) {
    GlyphTemplate glyph{static_cast<std::uint8_t>(code), {}};
    for (int cell = 0; cell < setBits; ++cell) {
        glyph.rows[cell / glyphColumns] |= 0x80000000u >> (cell % glyphColumns);
    }
    return glyph;
}

struct Candidate {
    char code;
    int distance;
};

// Classifies a blank box of the given size against templates at the given
// distances.
CharMatch readBlankBox(const std::vector<Candidate>& list, int w, int h, bool oneRule) {
    const TestPlane plane(plateWidth, plateHeight);
    std::vector<GlyphTemplate> glyphs;
    for (const Candidate& c : list) {
        glyphs.push_back(glyphWithBits(c.code, c.distance));
    }
    std::vector<const GlyphTemplate*> pointers;
    for (const GlyphTemplate& g : glyphs) {
        pointers.push_back(&g);
    }
    return classifyBox(plane.view(), 100, 20, w, h, pointers, oneRule);
}

struct ScoreCase {
    const char* name;
    std::vector<Candidate> candidates;
    int w;
    bool oneRule;
    char code;
    int distance;
    int score;
};

TEST(ClassifyBox, ScoresRankingAndRuleForOne) {
    const ScoreCase cases[] = {
        {"distance 0", {{'A', 0}}, 40, false, 'A', 0, 100},
        {"distance 768", {{'A', 768}}, 40, false, 'A', 768, 50},
        {"distance 1", {{'A', 1}}, 40, false, 'A', 1, 99},
        {"distance 15", {{'A', 15}}, 40, false, 'A', 15, 99},
        {"distance 16", {{'A', 16}}, 40, false, 'A', 16, 98},
        {"distance 1536", {{'A', 1536}}, 40, false, 'A', 1536, 0},
        {"nearest wins", {{'B', 500}, {'A', 400}, {'C', 450}}, 40, false, 'A', 400, 73},
        {"equal distances keep list order", {{'B', 300}, {'A', 300}}, 40, false, 'B', 300, 80},
        {"margin bonus at 601", {{'A', 300}, {'B', 601}}, 40, false, 'A', 300, 85},
        {"no bonus at 600", {{'A', 300}, {'B', 600}}, 40, false, 'A', 300, 80},
        {"bonus skips variants", {{'A', 300}, {'A', 400}, {'B', 700}}, 40, false, 'A', 300, 85},
        {"bonus capped at 100", {{'A', 10}, {'B', 900}}, 40, false, 'A', 10, 100},
        {"narrow box reads 1", {{'7', 400}, {'A', 790}}, 10, true, '1', 400, 73},
        {"narrow 1 with bonus", {{'7', 400}, {'A', 801}}, 10, true, '1', 400, 78},
        {"narrow box halves a 1", {{'1', 200}}, 10, true, '1', 100, 93},
        {"narrow at exactly h/4", {{'7', 400}}, 20, true, '1', 400, 73},
        {"just wider than h/4", {{'7', 400}}, 21, true, '7', 400, 73},
        {"wide box skips 1",
         {{'1', 100}, {'1', 150}, {'7', 400}, {'A', 900}},
         30,
         true,
         '7',
         400,
         78},
        {"wide box, only 1s", {{'1', 100}, {'1', 150}}, 30, true, '1', 100, 93},
        {"rule off: width plays no part", {{'7', 400}, {'1', 500}}, 10, false, '7', 400, 73},
    };
    for (const ScoreCase& c : cases) {
        const CharMatch match = readBlankBox(c.candidates, c.w, 80, c.oneRule);
        EXPECT_EQ(match.code, static_cast<std::uint8_t>(c.code)) << c.name;
        EXPECT_EQ(match.distance, c.distance) << c.name;
        EXPECT_EQ(match.score, c.score) << c.name;
    }
}

// The reading as defined by a full ranking: a stable sort by distance, the
// rule for the digit one on the sorted entries, then score and margin bonus.
CharMatch readBySorting(std::vector<Candidate> ranking, int w, int h, bool oneRule) {
    std::stable_sort(ranking.begin(), ranking.end(), [](const Candidate& a, const Candidate& b) {
        return a.distance < b.distance;
    });
    std::size_t winner = 0;
    if (oneRule && w <= h / 4) {
        if (ranking[0].code == '1') {
            ranking[0].distance /= 2;
        } else {
            ranking[0].code = '1';
        }
    } else if (oneRule && ranking[0].code == '1') {
        while (winner < ranking.size() && ranking[winner].code == '1') {
            ++winner;
        }
        winner = winner == ranking.size() ? 0 : winner;
    }
    const Candidate chosen = ranking[winner];
    int score = ((glyphCells - chosen.distance) * 100) / glyphCells;
    const auto rival =
        std::find_if(ranking.begin() + static_cast<std::ptrdiff_t>(winner), ranking.end(),
                     [&](const Candidate& c) { return c.code != chosen.code; });
    if (ranking.size() >= 2 && rival != ranking.end() && rival->distance > 2 * chosen.distance) {
        score += 5;
    }
    return {static_cast<std::uint8_t>(chosen.code), static_cast<std::uint8_t>(std::min(score, 100)),
            static_cast<std::int16_t>(chosen.distance)};
}

// Random lists, many of them with equal distances, repeated codes, only "1"s
// or a single entry, read narrow, just wide and wide, with and without the
// rule for the digit one.
TEST(ClassifyBox, ReadsAsAFullRankingWould) {
    std::mt19937 random(7);
    const std::vector<char> codeSets[] = {{'1'}, {'1', '7'}, {'1', '7', 'A', 'B'}, {'A', 'B'}};
    const int distanceRanges[] = {3, 40, 600, glyphCells + 1};
    for (int round = 0; round < 3000; ++round) {
        const std::vector<char>& codes = codeSets[random() % std::size(codeSets)];
        const int range = distanceRanges[random() % std::size(distanceRanges)];
        std::vector<Candidate> list(1 + random() % 9);
        for (Candidate& c : list) {
            c = {codes[random() % codes.size()], static_cast<int>(random() % range)};
        }
        const int w = std::array{10, 20, 21, 40}[random() % 4];
        const bool oneRule = random() % 3 != 0;
        const CharMatch match = readBlankBox(list, w, 80, oneRule);
        const CharMatch expected = readBySorting(list, w, 80, oneRule);
        ASSERT_EQ(std::tuple(match.code, match.score, match.distance),
                  std::tuple(expected.code, expected.score, expected.distance))
            << "round " << round;
    }
}

TEST(ClassifyBox, NoCandidatesReadNothing) {
    const CharMatch match = readBlankBox({}, 40, 80, true);
    EXPECT_EQ(match.code, 0);
    EXPECT_EQ(match.score, 0);
}

// Draws `glyph` at twice its size, so that a 64 x 96 box resamples to it
// exactly.
void drawDoubled(TestPlane& plane, const GlyphTemplate& glyph, int x, int y) {
    for (int r = 0; r < glyphRows; ++r) {
        for (int c = 0; c < glyphColumns; ++c) {
            if (glyph.rows[r] & (0x80000000u >> c)) {
                plane.fill(x + 2 * c, y + 2 * r, x + 2 * c + 1, y + 2 * r + 1);
            }
        }
    }
}

TEST(ClassifyBox, BoxIdenticalToATemplateScoresFull) {
    GlyphTemplate ring{'0', {}};
    for (int r = 0; r < glyphRows; ++r) {
        ring.rows[r] = (r < 6 || r >= 42) ? 0x3FFFFFFCu : 0xFC00003Fu;
    }
    const GlyphTemplate bar{'8', {}};
    TestPlane plane(plateWidth, plateHeight);
    drawDoubled(plane, ring, 150, 10);
    const std::vector<const GlyphTemplate*> candidates{&bar, &ring};
    const CharMatch match = classifyBox(plane.view(), 150, 10, 64, 96, candidates, false);
    EXPECT_EQ(match.code, '0');
    EXPECT_EQ(match.distance, 0);
    EXPECT_EQ(match.score, 100);
}

TEST(ClassifyBox, ReadsOutsideThePlaneAsItsEdge) {
    // Column 0 is stroke. A box starting 10 columns left of the plane reads
    // column 0 for its first 11 grid columns (the 11th blends column 0 with
    // column 1 and rounds up to stroke), background after.
    TestPlane plane(plateWidth, plateHeight);
    plane.fill(0, 0, 0, plateHeight - 1);
    GlyphTemplate expected{'L', {}};
    expected.rows.fill(0xFFE00000u);
    const std::vector<const GlyphTemplate*> candidates{&expected};
    const CharMatch match = classifyBox(plane.view(), -10, 80, 32, 48, candidates, false);
    EXPECT_EQ(match.distance, 0);
}

// Sampling clamps at the right and bottom edge as if the edge pixels went on:
// boxes reaching over the edge read the same as in a plane padded by repeating
// them, where every box lies inside.
TEST(ClassifyBox, EdgeBoxesReadAsInAPlaneWithRepeatedEdges) {
    constexpr int width = 60, height = 70, padding = 64;
    std::mt19937 random(23);
    TestPlane plane(width, height);
    for (auto& pixel : plane.pixels) {
        pixel = static_cast<std::uint8_t>(random() % 256);
    }
    TestPlane padded(width + padding, height + padding);
    for (int y = 0; y < padded.height; ++y) {
        for (int x = 0; x < padded.width; ++x) {
            padded.set(x, y,
                       plane.pixels[std::min(y, height - 1) * width + std::min(x, width - 1)]);
        }
    }
    std::vector<GlyphTemplate> glyphs;
    for (const char code : {'A', 'B', 'C', 'D'}) {
        GlyphTemplate glyph{static_cast<std::uint8_t>(code), {}};
        for (auto& row : glyph.rows) {
            row = static_cast<std::uint32_t>(random());
        }
        glyphs.push_back(glyph);
    }
    std::vector<const GlyphTemplate*> candidates;
    for (const GlyphTemplate& g : glyphs) {
        candidates.push_back(&g);
    }
    for (const int w : {1, 20, 33, 40, 57, 64}) {
        for (const int h : {1, 30, 49, 60}) {
            for (int x = 0; x < width; x += 3) {
                for (int y = height - 62; y < height; y += 5) {
                    const CharMatch edge = classifyBox(plane.view(), x, y, w, h, candidates, false);
                    const CharMatch inside =
                        classifyBox(padded.view(), x, y, w, h, candidates, false);
                    ASSERT_EQ(std::tuple(edge.code, edge.score, edge.distance),
                              std::tuple(inside.code, inside.score, inside.distance))
                        << x << "," << y << " " << w << "x" << h;
                }
            }
        }
    }
}

} // namespace

// Boxes whose last pixel squares reach the plane's last row and column read
// as the same boxes in a plane that goes on below, however the samples are
// gathered.
TEST(ClassifyBox, BoxesAtTheEndOfThePlaneReadAsInATallerPlane) {
    constexpr int width = 90, height = 60, extraRows = 20;
    std::mt19937 random(31);
    TestPlane taller(width, height + extraRows);
    for (auto& pixel : taller.pixels) {
        pixel = static_cast<std::uint8_t>(random() % 256);
    }
    TestPlane plane(width, height);
    std::copy_n(taller.pixels.begin(), plane.pixels.size(), plane.pixels.begin());
    GlyphTemplate glyph{'A', {}};
    for (auto& row : glyph.rows) {
        row = static_cast<std::uint32_t>(random());
    }
    const std::vector<const GlyphTemplate*> candidates{&glyph};
    for (const int w : {8, 31, 48, 64, 70}) {
        for (const int h : {10, 48, 59}) {
            // The last squares of these boxes end at the last row and column.
            for (int x = width - w - 9; x < width - w; ++x) {
                const int y = height - h - 1;
                const CharMatch end = classifyBox(plane.view(), x, y, w, h, candidates, false);
                const CharMatch inside = classifyBox(taller.view(), x, y, w, h, candidates, false);
                ASSERT_EQ(end.distance, inside.distance) << x << "," << y << " " << w << "x" << h;
            }
        }
    }
}

// The grid of a box sampled cell by cell as the classifier describes it: the
// four edge weights of each pixel square, neighbours past the last column or
// row repeating it, coordinates outside the plane clamped to its edge.
GlyphTemplate sampledAsDescribed(const TestPlane& plane, int x, int y, int w, int h) {
    const auto pixel = [&](int px, int py) {
        return int{plane.pixels[static_cast<std::size_t>(std::clamp(py, 0, plane.height - 1)) *
                                    plane.width +
                                static_cast<std::size_t>(std::clamp(px, 0, plane.width - 1))]};
    };
    const std::int64_t sx = (w * std::int64_t{65536}) / 32;
    const std::int64_t sy = (h * std::int64_t{65536}) / 48;
    GlyphTemplate grid{'S', {}};
    for (int r = 0; r < 48; ++r) {
        const int cy = y + static_cast<int>((r * sy) >> 16);
        const int fy = static_cast<int>((r * sy) & 0xFFFF);
        for (int c = 0; c < 32; ++c) {
            const int cx = x + static_cast<int>((c * sx) >> 16);
            const int fx = static_cast<int>((c * sx) & 0xFFFF);
            const int rx = cx >= plane.width - 1 ? cx : cx + 1;
            const int by = cy >= plane.height - 1 ? cy : cy + 1;
            const std::int64_t sum = std::int64_t{pixel(cx, cy)} * (131072 - fx - fy) +
                                     std::int64_t{pixel(rx, cy)} * (65536 + fx - fy) +
                                     std::int64_t{pixel(cx, by)} * (65536 - fx + fy) +
                                     std::int64_t{pixel(rx, by)} * (fx + fy);
            if (((sum + 131072) >> 18) >= 128) {
                grid.rows[static_cast<std::size_t>(r)] |= 0x80000000u >> c;
            }
        }
    }
    return grid;
}

// Random grey planes and boxes of every kind (inside, at and over the edges,
// narrow and wide) sample to exactly the described grid.
TEST(ClassifyBox, SamplesEveryBoxAsDescribed) {
    std::mt19937 random(47);
    TestPlane plane(plateWidth, plateHeight);
    for (auto& pixel : plane.pixels) {
        pixel = static_cast<std::uint8_t>(random() % 256);
    }
    for (int i = 0; i < 3000; ++i) {
        const int w = 1 + static_cast<int>(random() % 120);
        const int h = 1 + static_cast<int>(random() % 130);
        const int x = static_cast<int>(random() % (plateWidth + 40)) - 20;
        const int y = static_cast<int>(random() % (plateHeight + 40)) - 20;
        const GlyphTemplate expected = sampledAsDescribed(plane, x, y, w, h);
        const std::vector<const GlyphTemplate*> candidates{&expected};
        ASSERT_EQ(classifyBox(plane.view(), x, y, w, h, candidates, false).distance, 0)
            << x << "," << y << " " << w << "x" << h;
    }
}
