// The refinement of the first and last box of a row of character boxes.

#include "data/plate_formats.h"
#include "engine/localise/box_search_state.h"

#include "support/test_plane.h"

#include <gtest/gtest.h>

using namespace kavro;

namespace {

constexpr int threshold = 128;
constexpr int charWidth = 8;
constexpr int charHeight = 24;
constexpr int charTop = 40;
constexpr int firstCharX = 200;

// A row of seven characters `pitch` apart, traced into a search. Each is the
// one-pixel outline of its rectangle, as strokes come out in the edge plane.
struct CharacterRow {
    TestPlane plane{512, 100};
    BoxSearch search;

    explicit CharacterRow(int pitch) : search(plane.view(), threshold, plateFormats[1]) {
        for (int k = 0; k < 7; ++k) {
            const int left = firstCharX + k * pitch;
            const int right = left + charWidth - 1;
            const int bottom = charTop + charHeight - 1;
            plane.fill(left, charTop, right, bottom);
            plane.fill(left + 1, charTop + 1, right - 1, bottom - 1, 0);
        }
        const int centreY = charTop + charHeight / 2;
        for (int k = 0; k < 7; ++k) {
            CharBox& box = search.box(k);
            TraceRect rect{};
            EXPECT_GT(seekRightAndTrace(search.edges, threshold, firstCharX + k * pitch - 1,
                                        centreY, *search.points, rect, box, false),
                      0);
        }
        search.boxCount = 7;
        search.averageWidth = search.box(1).width;
        search.averageHeight = search.box(1).height;
        search.centreLine = {0, centreY * 65536};
    }
};

// With one dark column between characters, the re-trace of the last character
// starts on the edge of the character before it; that outline must not replace
// the last box. With wider gaps the re-trace gives the last box its right
// edge profile.
TEST(RefineEndBoxes, LastBoxKeepsItsPlaceWhenTheReTraceMeetsItsNeighbour) {
    CharacterRow row(charWidth + 1);
    const int lastCentre = row.search.box(6).centre.x;
    refineEndBoxes(row.search);
    EXPECT_EQ(row.search.box(6).centre.x, lastCentre);
}

TEST(RefineEndBoxes, LastBoxGetsItsRightProfileFromItsOwnOutline) {
    constexpr int pitch = charWidth + 4;
    CharacterRow row(pitch);
    const int lastCentre = row.search.box(6).centre.x;
    refineEndBoxes(row.search);
    const CharBox& last = row.search.box(6);
    EXPECT_EQ(last.centre.x, lastCentre);
    ASSERT_EQ(last.rightProfileCount(), charHeight);
    for (const EdgePoint& point : last.rightProfile) {
        EXPECT_EQ(point.x, firstCharX + 6 * pitch + charWidth - 1);
    }
}

} // namespace
