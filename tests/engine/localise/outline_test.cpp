#include "engine/localise/outline.h"

#include "support/test_plane.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

using namespace kavro;

namespace {

constexpr int threshold = 128;
using XY = std::pair<int, int>;

struct Tracer {
    std::unique_ptr<OutlinePoints> points = std::make_unique<OutlinePoints>();
    TraceRect rect{};

    int trace(const TestPlane& plane, int x, int y, ProbeColumn* probe = nullptr) {
        return traceOutline(plane.view(), threshold, probe, x, y, *points, rect, false);
    }
    std::vector<XY> recorded(int count) const {
        std::vector<XY> out;
        for (int i = 0; i < count; ++i) {
            out.emplace_back((*points)[i].x, (*points)[i].y);
        }
        return out;
    }
};

struct ShapeCase {
    const char* name;
    TestPlane plane;
    int startX;
    int startY;
    int expected;
};

TEST(TraceOutline, CountsClosedOutlinesOfMoreThanEightPoints) {
    const ShapeCase cases[] = {
        {"isolated pixel", TestPlane(12, 12, 5, 5, {"#"}), 5, 5, 0},
        {"3x3 square, 8 points", TestPlane(12, 12, 4, 4, {"###", "###", "###"}), 5, 4, 0},
        {"square with a spur, 9 points", TestPlane(12, 12, 4, 4, {"####", "###", "###"}), 5, 4, 9},
        {"4x3 rectangle", TestPlane(12, 12, 4, 4, {"####", "####", "####"}), 4, 4, 10},
        {"thin line, out and back", TestPlane(20, 12, 5, 5, {"##########"}), 5, 5, 12},
        {"start on background", TestPlane(12, 12, 4, 4, {"###", "###", "###"}), 8, 8, 0},
    };
    for (const ShapeCase& c : cases) {
        Tracer tracer;
        EXPECT_EQ(tracer.trace(c.plane, c.startX, c.startY), c.expected) << c.name;
    }
}

TEST(TraceOutline, FollowsTheOutlineClockwiseAndBoundsIt) {
    const TestPlane plane(12, 12, 4, 4, {"####", "###", "###"});
    Tracer tracer;
    const int count = tracer.trace(plane, 5, 4);
    const std::vector<XY> expected{{5, 4}, {6, 4}, {7, 4}, {6, 5}, {6, 6},
                                   {5, 6}, {4, 6}, {4, 5}, {4, 4}};
    EXPECT_EQ(tracer.recorded(count), expected);
    EXPECT_EQ(tracer.rect.minX, 4);
    EXPECT_EQ(tracer.rect.maxX, 7);
    EXPECT_EQ(tracer.rect.minY, 4);
    EXPECT_EQ(tracer.rect.maxY, 6);
}

TEST(TraceOutline, RectangleBoundsEveryPointWhereverTheExtremesFallInTheOutline) {
    // Filled rectangles traced from the middle of their top row: the left,
    // right and bottom sides are reached at varying places in the point list,
    // also far beyond its first eight points.
    struct RectCase {
        int left, top, right, bottom, startX;
    };
    const RectCase cases[] = {
        {4, 4, 8, 6, 6},   {3, 5, 12, 9, 7},   {5, 3, 7, 20, 6},
        {3, 3, 30, 4, 17}, {6, 7, 25, 19, 20}, {3, 3, 33, 33, 4},
    };
    for (const RectCase& c : cases) {
        TestPlane plane(40, 40);
        plane.fill(c.left, c.top, c.right, c.bottom);
        Tracer tracer;
        const int count = tracer.trace(plane, c.startX, c.top);
        ASSERT_GT(count, 8) << c.left << "," << c.top << " to " << c.right << "," << c.bottom;
        EXPECT_EQ(tracer.rect.minX, c.left);
        EXPECT_EQ(tracer.rect.maxX, c.right);
        EXPECT_EQ(tracer.rect.minY, c.top);
        EXPECT_EQ(tracer.rect.maxY, c.bottom);
    }
}

TEST(TraceOutline, StopsAtTheTwoPixelBorderMargin) {
    // A bar running off the right edge of a 20-pixel plane: the walk along its
    // top stops on reaching x = 18 and keeps what it recorded if that is more
    // than 8 points.
    const std::pair<int, int> cases[] = {{5, 13}, {9, 9}, {10, 0}};
    for (const auto& [left, expected] : cases) {
        TestPlane plane(20, 10);
        plane.fill(left, 3, 19, 5);
        Tracer tracer;
        EXPECT_EQ(tracer.trace(plane, left, 3), expected) << "bar from x " << left;
    }
}

TEST(TraceOutline, RefusesStartsOnTheOutermostRowOrColumn) {
    TestPlane plane(12, 12);
    plane.fill(0, 0, 11, 11);
    const std::pair<int, int> starts[] = {{5, 0}, {5, 11}, {0, 5}, {11, 5}, {-1, 5}, {5, 12}};
    for (const auto& [x, y] : starts) {
        Tracer tracer;
        EXPECT_EQ(tracer.trace(plane, x, y), 0) << x << "," << y;
        EXPECT_EQ(tracer.rect.minX, x);
        EXPECT_EQ(tracer.rect.minY, y);
    }
    // One pixel inside is a valid start: a bar from column 1 is followed
    // along its top, right end and bottom until it is back at column 1.
    TestPlane inner(12, 12);
    inner.fill(1, 5, 8, 7);
    Tracer tracer;
    EXPECT_EQ(tracer.trace(inner, 1, 5), 16);
}

TEST(TraceOutline, RefusesAPlaneShorterThanItsDimensions) {
    const TestPlane plane(12, 12, 4, 4, {"####", "####", "####"});
    const BytePlane truncated{std::span(plane.pixels).first(100), 12, 12};
    OutlinePoints points;
    TraceRect rect{};
    EXPECT_EQ(traceOutline(truncated, threshold, nullptr, 4, 4, points, rect, false), 0);
}

TEST(TraceOutline, ProbeKeepsTheFirstSixteenCrossingsInTracingOrder) {
    // A comb: a spine on the left and eleven two-row teeth. The outline
    // crosses column 10 at the top and bottom row of every tooth.
    TestPlane plane(30, 52);
    plane.fill(3, 3, 4, 44);
    for (int tooth = 0; tooth < 11; ++tooth) {
        plane.fill(3, 3 + 4 * tooth, 20, 4 + 4 * tooth);
    }
    ProbeColumn probe{10};
    Tracer tracer;
    EXPECT_GT(tracer.trace(plane, 3, 3, &probe), 0);
    std::vector<int> expected;
    for (int tooth = 0; tooth < 8; ++tooth) {
        expected.push_back(3 + 4 * tooth);
        expected.push_back(4 + 4 * tooth);
    }
    EXPECT_EQ(std::vector<int>(probe.rows().begin(), probe.rows().end()), expected);
}

TEST(TraceOutline, OutlinesOfMoreThanEightHundredPointsAreRefused) {
    // A filled square of side n has 4 (n - 1) outline points; the rectangle
    // takes in every point recorded, also when the outline is refused.
    const std::pair<int, int> cases[] = {{200, 796}, {201, 800}, {202, 0}};
    for (const auto& [side, expected] : cases) {
        TestPlane plane(210, 210);
        plane.fill(3, 3, 2 + side, 2 + side);
        Tracer tracer;
        EXPECT_EQ(tracer.trace(plane, 3, 3), expected) << "side " << side;
        EXPECT_EQ(tracer.rect.maxX, 2 + side) << "side " << side;
        EXPECT_EQ(tracer.rect.maxY, 2 + side) << "side " << side;
    }
}

TEST(TraceOutline, DeadEndDropsPointsThatTheProbeAndRectangleKeep) {
    // Out along a one-pixel line and back: at its tip the walk finds no turn,
    // drops the last six points and reverses. Column 12, passed on the way out
    // and again on the way back, is crossed twice although one of its points
    // was dropped.
    TestPlane plane(20, 12);
    plane.fill(5, 5, 14, 5);
    ProbeColumn probe{12};
    Tracer tracer;
    const int count = tracer.trace(plane, 5, 5, &probe);
    const std::vector<XY> expected{{5, 5},  {6, 5},  {7, 5}, {14, 5}, {13, 5}, {12, 5},
                                   {11, 5}, {10, 5}, {9, 5}, {8, 5},  {7, 5},  {6, 5}};
    EXPECT_EQ(tracer.recorded(count), expected);
    EXPECT_EQ(std::vector<int>(probe.rows().begin(), probe.rows().end()), (std::vector<int>{5, 5}));
    EXPECT_EQ(tracer.rect.minX, 5);
    EXPECT_EQ(tracer.rect.maxX, 14);
}

TEST(TraceOutline, LimitRectangleRecordsOnlyPointsInside) {
    TestPlane plane(30, 30);
    plane.fill(5, 5, 20, 20);
    Tracer tracer;
    tracer.rect = {5, 12, 0, 29};
    const int count =
        traceOutline(plane.view(), threshold, nullptr, 5, 5, *tracer.points, tracer.rect, true);
    ASSERT_GT(count, 8);
    for (const auto& [x, y] : tracer.recorded(count)) {
        EXPECT_LE(x, 12);
    }
    EXPECT_EQ(tracer.rect.minX, 5);
    EXPECT_EQ(tracer.rect.maxX, 12);
    EXPECT_EQ(tracer.rect.minY, 5);
    EXPECT_EQ(tracer.rect.maxY, 20);
}

TEST(TraceOutline, LimitHoldingTheWholeOutlineChangesNothing) {
    // A 6 x 4 block with a one-pixel spur on its right side at row 6: the
    // outline spans columns 4..10 and rows 4..7. Segmentation relies on a
    // limit that holds the outline tracing it as an unlimited trace does.
    TestPlane plane(20, 14);
    plane.fill(4, 4, 9, 7);
    plane.fill(10, 6, 10, 6);
    Tracer unlimited;
    ProbeColumn unlimitedProbe{6};
    const int expected = unlimited.trace(plane, 4, 4, &unlimitedProbe);
    ASSERT_GT(expected, 0);
    const TraceRect limits[] = {{4, 10, 4, 7}, {0, 19, 0, 13}, {2, 12, 3, 9}};
    for (const TraceRect& limit : limits) {
        Tracer limited;
        limited.rect = limit;
        ProbeColumn probe{6};
        const int count = traceOutline(plane.view(), threshold, &probe, 4, 4, *limited.points,
                                       limited.rect, true);
        ASSERT_EQ(count, expected) << "limit from x " << limit.minX;
        EXPECT_EQ(limited.recorded(count), unlimited.recorded(expected));
        EXPECT_EQ(limited.rect.minX, unlimited.rect.minX);
        EXPECT_EQ(limited.rect.maxX, unlimited.rect.maxX);
        EXPECT_EQ(limited.rect.minY, unlimited.rect.minY);
        EXPECT_EQ(limited.rect.maxY, unlimited.rect.maxY);
        EXPECT_EQ(std::vector<int>(probe.rows().begin(), probe.rows().end()),
                  std::vector<int>(unlimitedProbe.rows().begin(), unlimitedProbe.rows().end()));
    }
}

struct SeekCase {
    const char* name;
    int objectX0, objectY0, objectX1, objectY1;
    int (*seek)(const TestPlane&, int, int, OutlinePoints&, TraceRect&, CharBox&);
    int startX, startY;
    bool found;
};

int seekLeft(const TestPlane& p, int x, int y, OutlinePoints& pts, TraceRect& r, CharBox& b) {
    return seekLeftAndTrace(p.view(), threshold, x, y, pts, r, b);
}
int seekRight(const TestPlane& p, int x, int y, OutlinePoints& pts, TraceRect& r, CharBox& b) {
    return seekRightAndTrace(p.view(), threshold, x, y, pts, r, b, false);
}
int seekUp(const TestPlane& p, int x, int y, OutlinePoints& pts, TraceRect& r, CharBox& b) {
    return seekUpAndTrace(p.view(), threshold, x, y, pts, r, b);
}

TEST(SeekAndTrace, FailsAtTheirMargins) {
    // Plane 120 x 90: the left seek fails at x 50, the right one at x 70,
    // the upward one at row 50.
    const SeekCase cases[] = {
        {"left, found", 55, 55, 65, 70, seekLeft, 100, 60, true},
        {"left, edge at 51", 40, 55, 51, 70, seekLeft, 100, 60, true},
        {"left, edge at 50", 40, 55, 50, 70, seekLeft, 100, 60, false},
        {"left, nothing", 80, 55, 90, 70, seekLeft, 70, 60, false},
        {"right, edge at 69", 69, 55, 80, 70, seekRight, 20, 60, true},
        {"right, edge at 70", 70, 55, 80, 70, seekRight, 20, 60, false},
        {"up, bottom at 51", 55, 40, 65, 51, seekUp, 60, 85, true},
        {"up, bottom at 50", 55, 40, 65, 50, seekUp, 60, 85, false},
    };
    for (const SeekCase& c : cases) {
        TestPlane plane(120, 90);
        plane.fill(c.objectX0, c.objectY0, c.objectX1, c.objectY1);
        OutlinePoints points;
        TraceRect rect{};
        CharBox box;
        const int count = c.seek(plane, c.startX, c.startY, points, rect, box);
        EXPECT_EQ(count > 0, c.found) << c.name;
        if (c.found) {
            EXPECT_EQ(box.traced, BoxOrigin::traced) << c.name;
            EXPECT_EQ(box.left.x, c.objectX0) << c.name;
            EXPECT_EQ(box.bottom.y, c.objectY1) << c.name;
        }
    }
}

TEST(SeekAndTrace, StartOnAPixelAtTheThresholdDoesNotMove) {
    TestPlane plane(120, 90);
    plane.fill(40, 55, 50, 70);
    plane.set(50, 60, threshold);
    OutlinePoints points;
    TraceRect rect{};
    CharBox box;
    EXPECT_EQ(seekLeftAndTrace(plane.view(), threshold, 50, 60, points, rect, box), 0);
    // A lone pixel at the threshold stops the seek, and the trace from it
    // finds no outline; the block further left is never reached.
    plane.fill(60, 55, 70, 70);
    plane.set(80, 60, threshold);
    EXPECT_EQ(seekLeftAndTrace(plane.view(), threshold, 80, 60, points, rect, box), 0);
    EXPECT_EQ(rect.minX, 80);
    EXPECT_GT(seekLeftAndTrace(plane.view(), threshold, 79, 60, points, rect, box), 0);
    EXPECT_EQ(rect.maxX, 70);
}

TEST(MeasureOutline, TakesExtremePointsNearestTheCentre) {
    const TraceRect rect{10, 20, 10, 20}; // centre (15, 15)
    const std::vector<EdgePoint> points{{10, 12, 0}, {10, 16, 0}, {10, 14, 0}, {20, 15, 0},
                                        {14, 10, 0}, {17, 10, 0}, {15, 20, 0}, {16, 14, 0}};
    CharBox box;
    measureOutline(rect, box, points);
    EXPECT_EQ(box.traced, BoxOrigin::traced);
    EXPECT_EQ(XY(box.centre.x, box.centre.y), XY(15, 15));
    EXPECT_EQ(XY(box.width, box.height), XY(11, 11));
    // (10, 16) and (10, 14) are both one row from the centre: the first stays.
    EXPECT_EQ(box.left.y, 16);
    EXPECT_EQ(box.top.x, 14);
    EXPECT_EQ(XY(box.right.x, box.right.y), XY(20, 15));
    EXPECT_EQ(XY(box.midLeft.x, box.midLeft.y), XY(10, 16));
    EXPECT_EQ(box.midRight.x, 20);
    EXPECT_EQ(XY(box.midTop.x, box.midTop.y), XY(14, 10));
    EXPECT_EQ(box.midBottom.y, 20);
}

TEST(MeasureOutline, UnsetMidPointsStayAt512AndZero) {
    const TraceRect rect{10, 20, 10, 20};
    const std::vector<EdgePoint> points{{10, 10, 0}, {20, 20, 0}};
    CharBox box;
    measureOutline(rect, box, points);
    EXPECT_EQ(box.midLeft.x, 512);
    EXPECT_EQ(box.midTop.y, 512);
    EXPECT_EQ(box.midRight.x, 0);
    EXPECT_EQ(box.midBottom.y, 0);
}

// The frame agrees with measureOutline's box on every field that reads it,
// for point lists of any length (the vector pass takes blocks of eight),
// also where all points lie beyond the start values 512 and 0.
TEST(MeasureOutlineFrame, AgreesWithTheFullMeasure) {
    std::mt19937 random(5);
    for (int round = 0; round < 500; ++round) {
        const int offset = std::array{0, 300, 600}[random() % 3];
        std::vector<EdgePoint> points(1 + random() % 40);
        for (EdgePoint& p : points) {
            p = {static_cast<std::int16_t>(offset + random() % 100),
                 static_cast<std::int16_t>(offset + random() % 100), 0};
        }
        const TraceRect rect{static_cast<std::int16_t>(offset + random() % 10),
                             static_cast<std::int16_t>(offset + 90 + random() % 10),
                             static_cast<std::int16_t>(offset + random() % 10),
                             static_cast<std::int16_t>(offset + 90 + random() % 10)};
        CharBox full;
        CharBox frame;
        measureOutline(rect, full, points);
        measureOutlineFrame(rect, frame, points);
        const auto frameOf = [](const CharBox& b) {
            return std::tuple(b.traced, b.left.x, b.right.x, b.top.y, b.bottom.y, b.centre.x,
                              b.centre.y, b.width, b.height);
        };
        ASSERT_EQ(frameOf(frame), frameOf(full)) << "round " << round;
        EXPECT_EQ(XY(frame.midLeft.x, frame.midLeft.y), XY(frame.left.x, frame.centre.y));
        EXPECT_EQ(XY(frame.midBottom.x, frame.midBottom.y), XY(frame.centre.x, frame.bottom.y));
    }
}

TEST(SynthesiseBox, SpansHalfTheSizeRoundedUpEachWay) {
    struct Case {
        int width, height, left, right, top, bottom;
    };
    const Case cases[] = {
        {10, 80, 95, 105, 20, 100}, {9, 79, 95, 105, 20, 100}, {1, 2, 99, 101, 59, 61}};
    for (const Case& c : cases) {
        CharBox box;
        box.traced = BoxOrigin::traced;
        synthesiseBox(box, 100, 60, c.width, c.height);
        EXPECT_EQ(box.traced, BoxOrigin::synthesised);
        EXPECT_EQ(box.left.x, c.left);
        EXPECT_EQ(box.midLeft.x, c.left);
        EXPECT_EQ(box.right.x, c.right);
        EXPECT_EQ(box.midRight.x, c.right);
        EXPECT_EQ(box.top.y, c.top);
        EXPECT_EQ(box.midTop.y, c.top);
        EXPECT_EQ(box.bottom.y, c.bottom);
        EXPECT_EQ(box.midBottom.y, c.bottom);
        EXPECT_EQ(box.left.y, 60);
        EXPECT_EQ(box.top.x, 100);
        EXPECT_EQ(box.width, c.width);
        EXPECT_EQ(box.height, c.height);
    }
}

TEST(MergeBoxes, TakesPointsFurtherOutAndRecomputesWithoutRounding) {
    CharBox target;
    synthesiseBox(target, 100, 60, 10, 40); // x 95..105, y 40..80
    target.traced = BoxOrigin::traced;
    CharBox source;
    synthesiseBox(source, 120, 59, 20, 40); // x 110..130, y 39..79
    source.top.x = 121;
    CharBox& merged = mergeBoxes(source, target);
    EXPECT_EQ(&merged, &target);
    EXPECT_EQ(target.traced, BoxOrigin::traced);
    EXPECT_EQ(target.left.x, 95);
    EXPECT_EQ(target.right.x, 130);
    EXPECT_EQ(target.midRight.x, 130);
    EXPECT_EQ(XY(target.top.x, target.top.y), XY(121, 39));
    EXPECT_EQ(target.midTop.y, 39);
    EXPECT_EQ(target.bottom.y, 80);
    EXPECT_EQ(target.centre.x, 112); // (95 + 130) / 2, no +1
    EXPECT_EQ(target.centre.y, 59);  // (39 + 80) / 2
    EXPECT_EQ(target.width, 36);
    EXPECT_EQ(target.height, 42);
}

TEST(EdgeProfiles, LimitInwardJumpsToTwoPixels) {
    CharBox box;
    box.left.x = 4;
    box.right.x = 20;
    // Rows 0..4, unsorted, several points per row.
    std::vector<EdgePoint> points{{16, 2, 0}, {10, 0, 0}, {25, 0, 0}, {12, 1, 0}, {18, 1, 0},
                                  {5, 3, 0},  {14, 4, 0}, {9, 4, 0},  {21, 2, 0}};
    buildLeftProfile(box, points);
    const std::vector<XY> left{{10, 0}, {12, 1}, {12, 2}, {5, 3}, {5, 4}};
    ASSERT_EQ(box.leftProfileCount(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(XY(box.leftProfile[i].x, box.leftProfile[i].y), left[i]) << i;
    }
    // Right edge, bottom up, starting from leftX: rows 4..0 have greatest x
    // 14, 5, 21, 18, 25; moving left by 3 or more keeps the previous edge.
    buildRightProfile(box, points);
    const std::vector<XY> right{{14, 4}, {14, 3}, {21, 2}, {21, 1}, {25, 0}};
    ASSERT_EQ(box.rightProfileCount(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(XY(box.rightProfile[i].x, box.rightProfile[i].y), right[i]) << i;
    }
}

} // namespace
