#include "engine/primitives/line_fit.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kavro;

namespace {

std::vector<EdgePoint> points(std::initializer_list<std::pair<int, int>> xy) {
    std::vector<EdgePoint> out;
    for (const auto& [x, y] : xy) {
        out.push_back({static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), 0});
    }
    return out;
}

// The same points with x and y exchanged, for the column-line counterparts.
std::vector<EdgePoint> transposed(const std::vector<EdgePoint>& in) {
    std::vector<EdgePoint> out;
    for (const EdgePoint& p : in) {
        out.push_back({p.y, p.x, p.spare});
    }
    return out;
}

// Ten points on y = 50 at x = 0, 10, ..., 90, then the given extra points.
std::vector<EdgePoint> levelLineWith(std::initializer_list<std::pair<int, int>> extra) {
    std::vector<EdgePoint> out;
    for (int x = 0; x < 100; x += 10) {
        out.push_back({static_cast<std::int16_t>(x), 50, 0});
    }
    const auto more = points(extra);
    out.insert(out.end(), more.begin(), more.end());
    return out;
}

struct FitCase {
    const char* name;
    std::vector<EdgePoint> points;
    FixedLine expected;
};

TEST(LineFit, RowAndColumnFitsAreExactWithTruncatingDivision) {
    const std::vector<FitCase> cases = {
        {"three points on y = x + 10", points({{0, 10}, {10, 20}, {20, 30}}), {65536, 655360}},
        {"single point gives y = 0", points({{7, 3}}), {0, 0}},
        {"no points", {}, {0, 0}},
        {"all on one vertical", points({{5, 1}, {5, 2}, {5, 3}}), {0, 0}},
        // -196608 / 9 = -21845.3 truncates toward zero
        {"negative slope truncates toward zero", points({{0, 0}, {3, -1}}), {-21845, 0}},
    };
    for (const FitCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(fitRowLine(c.points), c.expected);
        EXPECT_EQ(fitColumnLine(transposed(c.points)), c.expected);
    }
}

struct RefineCase {
    const char* name;
    std::vector<EdgePoint> points;
    int kept;
    FixedLine line;
};

TEST(LineFit, RefinementPassesWithTolerancesFourThreeTwo) {
    const std::vector<RefineCase> cases = {
        // The outlier pulls the first fit, is dropped, and the second fit is exact and keeps
        // the same ten points.
        {"outlier dropped after first fit", levelLineWith({{45, 55}}), 10, {0, 3276800}},
        // The first fit, tilted by (90, 62), drops x = 70, 80, 90 of the level line; they
        // return in the second pass and survive the third, whose fit is returned.
        {"dropped points return", levelLineWith({{0, 49}, {90, 62}}), 11, {265, 3259973}},
        // The second pass brings back (0, 50) and keeps (5, 49); the third drops (5, 49) again
        // and ends the refinement with the count of that pass and the line of the second fit.
        {"three fits, last tolerance two", levelLineWith({{0, 40}, {5, 49}}), 10, {245, 3260684}},
        // Residuals are rounded by truncating toward zero, not down.
        {"rounding of negative residuals", levelLineWith({{97, 52}, {60, 58}}), 11, {578, 3259941}},
        {"two points fit exactly", points({{0, 0}, {10, 40}}), 2, {262144, 0}},
        // Nobody within tolerance of the first fit: stop with that fit.
        {"scattered points", points({{0, 0}, {10, 40}, {20, -30}}), 0, {-98304, 1201493}},
        {"single point", points({{5, 7}}), 0, {0, 0}},
        {"no points", {}, 0, {0, 0}},
    };
    for (const RefineCase& c : cases) {
        SCOPED_TRACE(c.name);
        const RefinedLine row = refineRowLine(c.points);
        EXPECT_EQ(row.keptCount, c.kept);
        EXPECT_EQ(row.line, c.line);
        const RefinedLine column = refineColumnLine(transposed(c.points));
        EXPECT_EQ(column.keptCount, c.kept);
        EXPECT_EQ(column.line, c.line);
    }
}

struct IntersectCase {
    const char* name;
    FixedLine column;
    FixedLine row;
    FixedCorner expected;
};

TEST(LineFit, IntersectionInSixteenthsTruncatesTowardZero) {
    const std::vector<IntersectCase> cases = {
        {"vertical side and level line", {0, 100 * 65536 + 32768}, {0, 40 * 65536}, {1608, 640}},
        {"negative values", {0, -(3 * 65536 + 100)}, {0, -2048}, {-48, 0}},
        // x = 100 + 0.1 y meets y = 50 - 0.05 x at (104.478, 44.776)
        {"tilted pair", {6554, 100 * 65536}, {-3277, 50 * 65536}, {1671, 716}},
    };
    for (const IntersectCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto corner = intersectLines(c.column, c.row);
        ASSERT_TRUE(corner.has_value());
        EXPECT_EQ(*corner, c.expected);
    }
}

TEST(LineFit, IntersectionRejectsParallelAndFarAwayLines) {
    // Slopes 1 and 1: the column line x = y + 10 and the row line y = x are parallel.
    EXPECT_FALSE(intersectLines({65536, 10 * 65536}, {65536, 0}).has_value());
    // y = 3000 px is 48000 sixteenths, beyond 16 bits.
    EXPECT_FALSE(intersectLines({0, 0}, {0, 3000 * 65536}).has_value());
    EXPECT_TRUE(intersectLines({0, 0}, {0, 2000 * 65536}).has_value());
}

} // namespace
