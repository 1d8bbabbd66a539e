#include "engine/localise/trace_memo.h"

#include "support/test_plane.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>

using namespace kavro;

namespace {

constexpr int threshold = 128;

// A 5 x 13 block: an outline whose box has a character's shape.
TestPlane blockPlane() {
    TestPlane plane(40, 30);
    plane.fill(10, 10, 14, 22);
    return plane;
}

struct Outcome {
    bool character;
    CharBox box;
};

Outcome traceOnce(const TestPlane& plane, int x, int y, OutlinePoints& points) {
    Outcome outcome{};
    outcome.character = traceCharacterOnce(plane.view(), threshold, x, y, points, outcome.box);
    return outcome;
}

void expectSameBox(const CharBox& a, const CharBox& b) {
    EXPECT_EQ(a.traced, b.traced);
    EXPECT_EQ(a.left.x, b.left.x);
    EXPECT_EQ(a.right.x, b.right.x);
    EXPECT_EQ(a.top.y, b.top.y);
    EXPECT_EQ(a.bottom.y, b.bottom.y);
    EXPECT_EQ(a.midLeft.y, b.midLeft.y);
    EXPECT_EQ(a.centre.x, b.centre.x);
    EXPECT_EQ(a.centre.y, b.centre.y);
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
}

TEST(TraceMemo, GivesTheBoxOfAPlainTraceAndMeasure) {
    const TestPlane plane = blockPlane();
    auto points = std::make_unique<OutlinePoints>();
    TraceRect rect{};
    const int count = traceOutline(plane.view(), threshold, nullptr, 10, 14, *points, rect, false);
    ASSERT_GT(count, 0);
    CharBox expected;
    measureOutline(rect, expected, std::span(*points).first(static_cast<std::size_t>(count)));

    const TraceMemoScope scope;
    const Outcome first = traceOnce(plane, 10, 14, *points);
    (*points)[0] = {-1, -1, 0};
    const Outcome again = traceOnce(plane, 10, 14, *points);
    ASSERT_TRUE(first.character && again.character);
    expectSameBox(first.box, expected);
    expectSameBox(again.box, expected);
    EXPECT_EQ((*points)[0].x, -1) << "a remembered outline is not walked again";
}

// No outline at all, and outlines too wide, too flat or too tall and thin
// for a character, are answered false, again from memory.
TEST(TraceMemo, RemembersFailuresAndLeavesTheBoxAlone) {
    TestPlane plane = blockPlane();
    plane.fill(16, 3, 30, 7);   // wider than high
    plane.fill(18, 14, 20, 17); // 3 x 4: under 11 rows
    plane.fill(34, 2, 35, 27);  // 2 x 26: thinner than an eighth of its height
    auto points = std::make_unique<OutlinePoints>();
    const TraceMemoScope scope;
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& [x, y] : {std::pair{26, 20}, {16, 5}, {18, 15}, {34, 14}}) {
            CharBox box;
            box.width = 77;
            EXPECT_FALSE(traceCharacterOnce(plane.view(), threshold, x, y, *points, box))
                << x << "," << y;
            EXPECT_EQ(box.width, 77);
        }
    }
}

TEST(TraceMemo, KeepsTheProfilesOfTheBoxFilled) {
    const TestPlane plane = blockPlane();
    auto points = std::make_unique<OutlinePoints>();
    const TraceMemoScope scope;
    for (int pass = 0; pass < 2; ++pass) {
        CharBox box;
        box.leftProfile = {{1, 2, 0}};
        ASSERT_TRUE(traceCharacterOnce(plane.view(), threshold, 10, 14, *points, box));
        EXPECT_EQ(box.leftProfileCount(), 1);
    }
}

// Another row, another threshold, another plane or a new scope never see an
// earlier answer.
TEST(TraceMemo, AnswersOnlyTheSameRowThresholdPlaneAndScope) {
    TestPlane plane = blockPlane();
    auto points = std::make_unique<OutlinePoints>();
    {
        const TraceMemoScope scope;
        ASSERT_TRUE(traceOnce(plane, 10, 14, *points).character);
        CharBox box;
        EXPECT_FALSE(traceCharacterOnce(plane.view(), 255, 10, 14, *points, box))
            << "nothing lies above 255";
        EXPECT_TRUE(traceOnce(plane, 10, 15, *points).character);
        const TestPlane other(40, 30);
        EXPECT_FALSE(traceOnce(other, 10, 14, *points).character) << "another plane";
    }
    plane.fill(10, 10, 14, 18, 0);
    {
        const TraceMemoScope scope;
        EXPECT_FALSE(traceOnce(plane, 10, 14, *points).character) << "a new scope forgets";
    }
    plane.fill(10, 10, 14, 18);
    EXPECT_TRUE(traceOnce(plane, 10, 14, *points).character);
    plane.fill(10, 10, 14, 18, 0);
    EXPECT_FALSE(traceOnce(plane, 10, 14, *points).character) << "outside a scope nothing is kept";
}

} // namespace
