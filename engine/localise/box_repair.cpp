// Missing characters and the first and last box of a row of character boxes.

#include "engine/localise/box_search_state.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <vector>

namespace kavro {

namespace {

constexpr int heightToleranceDivisor = 8; // a traced character's height is within 1/8
constexpr int missingWidthDivisor = 4;    // a traced first character's width within 1/4
constexpr int widthToleranceDivisor = 8;  // an end box's width within 1/8 of the mean
constexpr int maxCentreShift = 5;         // a re-traced end box keeps its centre this close
constexpr int seekGap = 2;                // seeks start this far outside a neighbour
constexpr int edgeScanFirstRow = 2;       // first row of the left-edge collection
constexpr int percent = 100;
constexpr int halfPercent = 200;

bool near(int value, int reference, int tolerance) {
    return std::abs(value - reference) < tolerance;
}

bool hasCharacterHeight(const BoxSearch& search, const CharBox& box) {
    return near(box.height, search.averageHeight, search.averageHeight / heightToleranceDivisor);
}

// Room for a character at `slot`: the boxes from there on and their gaps move
// up by one; the slot keeps its old box until it is filled.
void openSlot(BoxSearch& search, int slot) {
    auto& boxes = search.boxes;
    std::copy_backward(boxes.begin() + slot, boxes.begin() + search.boxCount,
                       boxes.begin() + search.boxCount + 1);
    auto& gap = search.gaps.gap;
    std::move_backward(gap.begin() + slot, gap.end() - 1, gap.end());
    ++search.boxCount;
}

// The expected character at x on the centre line, of mean size.
void synthesiseAt(BoxSearch& search, CharBox& box, int x) {
    synthesiseBox(box, x, search.lineY(x), search.averageWidth, search.averageHeight);
}

int seekLeft(BoxSearch& search, int x, int y, CharBox& box) {
    TraceRect rect{};
    return seekLeftAndTrace(search.edges, search.threshold, x, y, *search.points, rect, box);
}

int seekRight(BoxSearch& search, int x, int y, CharBox& box) {
    TraceRect rect{};
    return seekRightAndTrace(search.edges, search.threshold, x, y, *search.points, rect, box,
                             false);
}

int seekRightWithin(BoxSearch& search, int x, int y, TraceRect limit, CharBox& box) {
    return seekRightAndTrace(search.edges, search.threshold, x, y, *search.points, limit, box,
                             true);
}

std::int16_t narrow(int value) {
    return static_cast<std::int16_t>(value);
}

// ---- One missing character ---------------------------------------------------

// The first character, searched to the left of the former first box from its
// lower part and, to complete a broken character, from its upper part.
bool traceFirstCharacter(BoxSearch& search) {
    const CharBox& next = search.box(1);
    CharBox& first = search.box(0);
    const int widthTolerance = search.averageWidth / missingWidthDivisor;
    const int x = next.left.x - seekGap;
    if (seekLeft(search, x, next.bottom.y - next.height / 8, first) == 0 ||
        !near(first.width, search.averageWidth, widthTolerance)) {
        return false;
    }
    if (seekLeft(search, x, next.top.y + next.height / 8, search.scratch) > 0 &&
        near(search.scratch.width, search.averageWidth, widthTolerance)) {
        mergeBoxes(search.scratch, first);
    }
    return hasCharacterHeight(search, first);
}

// A later character, searched to the right of the box before it and, when a
// box follows, only between the two.
bool traceLaterCharacter(BoxSearch& search, int slot) {
    const CharBox& before = search.box(slot - 1);
    const bool boxFollows = slot < search.boxCount - 1;
    // At the end of the row the box before the slot gives the height.
    const CharBox& neighbour = boxFollows ? search.box(slot + 1) : before;
    const int x = before.midRight.x + seekGap;
    const int y = before.midRight.y - neighbour.height / 8;
    CharBox& box = search.box(slot);
    int count = 0;
    if (boxFollows) {
        const TraceRect limit{narrow(before.right.x + 1), narrow(neighbour.left.x - 1),
                              narrow((before.top.y + neighbour.top.y) / 2),
                              narrow((before.bottom.y + neighbour.bottom.y) / 2)};
        count = seekRightWithin(search, x, y, limit, box);
    } else {
        count = seekRight(search, x, y, box);
    }
    return count > 0 && hasCharacterHeight(search, box);
}

// Places the character where the format has it, mapping the format's centres
// into the picture with a fit through the other boxes.
void placeByPositionFit(BoxSearch& search, int slot) {
    std::vector<EdgePoint> pairs;
    for (int k = 0; k < search.boxCount; ++k) {
        if (k != slot) {
            pairs.push_back({{search.box(k).centre.x,
                              narrow(search.format.charCentreX[static_cast<std::size_t>(k)])},
                             0});
        }
    }
    const FixedLine position = fitColumnLine(pairs);
    const std::int64_t plateX = search.format.charCentreX[static_cast<std::size_t>(slot)];
    const int x = static_cast<int>((plateX * position.slope + position.intercept) >> 16);
    synthesiseAt(search, search.box(slot), x);
}

void repairOneMissing(BoxSearch& search) {
    const int slot = oneMissingSlot(search.gaps, search.format, search.boxCount);
    openSlot(search, slot);
    const bool found = slot == 0 ? traceFirstCharacter(search) : traceLaterCharacter(search, slot);
    if (!found) {
        placeByPositionFit(search, slot);
    }
}

// ---- Two missing characters --------------------------------------------------

// Where a missing character is expected and where its search starts.
struct SlotSearch {
    int predictedX;
    int startX;
    int startY;
    bool leftward;
};

SlotSearch rightOf(const CharBox& box, int predictedX) {
    return {predictedX, box.midRight.x + seekGap, box.midRight.y, false};
}

SlotSearch leftOf(const CharBox& box, int predictedX) {
    return {predictedX, box.midLeft.x - seekGap, box.midLeft.y, true};
}

SlotSearch secondSlotSearch(BoxSearch& search, int a, int b) {
    const int n = search.boxCount;
    const auto g = [&](int k) { return search.gap(k); };
    if (b == 1) {
        const CharBox& after = search.box(2);
        const int spread = (g(2) + g(3) + 1) * search.format.separatorPitch * percent /
                           search.format.pitch / halfPercent;
        const int offset = search.averageHeight / 2;
        return {after.centre.x - spread, after.left.x - seekGap,
                after.centre.y + (search.centreLine.slope > 0 ? -offset : offset), true};
    }
    if (b == 2) {
        const CharBox& after = search.box(3);
        return {after.centre.x - (g(3) + g(4) + 1) / 2, after.midLeft.x - seekGap, after.midRight.y,
                true};
    }
    if (b == n - 1) {
        const CharBox& before = search.box(b - 1);
        if (a < b - 3) {
            return rightOf(before, before.centre.x + (g(b - 3) + g(b - 2) + 1) / 2);
        }
        if (a == b - 3) {
            return rightOf(before, before.centre.x + (g(b - 4) + g(b - 2) + 1) / 2);
        }
        const CharBox& twoBefore = search.box(b - 2);
        return {twoBefore.centre.x + g(b - 4) + g(b - 3) + 1,
                twoBefore.midRight.x + g(b - 3) + seekGap, twoBefore.midRight.y, false};
    }
    if (a < b - 1) {
        const CharBox& before = search.box(b - 1);
        return rightOf(before, before.centre.x + g(b - 2));
    }
    const CharBox& after = search.box(b + 1);
    return leftOf(after, after.centre.x - g(b + 1));
}

SlotSearch firstSlotSearch(BoxSearch& search, int a) {
    if (a == 0) {
        const CharBox& after = search.box(1);
        return {after.centre.x - (search.gap(2) + search.gap(3) + 1) / 2, after.left.x - seekGap,
                after.centre.y, true};
    }
    if (a == 1 || a == search.boxCount - 1) {
        const CharBox& before = search.box(a - 1);
        return rightOf(before, before.centre.x + search.gap(a - 1));
    }
    const CharBox& after = search.box(a + 1);
    return leftOf(after, after.centre.x - search.gap(a + 1));
}

int runSlotSearch(BoxSearch& search, const SlotSearch& plan, CharBox& box) {
    return plan.leftward ? seekLeft(search, plan.startX, plan.startY, box)
                         : seekRight(search, plan.startX, plan.startY, box);
}

void fillSecondSlot(BoxSearch& search, int a, int b) {
    const SlotSearch plan = secondSlotSearch(search, a, b);
    CharBox& box = search.box(b);
    if (runSlotSearch(search, plan, box) == 0 || !hasCharacterHeight(search, box)) {
        synthesiseAt(search, box, plan.predictedX);
    }
}

// A first character of the wrong height may be the lower part of a broken
// one: completed from above, it is kept when it then has the mean width.
bool completeFromAbove(BoxSearch& search, CharBox& first) {
    CharBox& upper = search.scratch;
    TraceRect rect{};
    if (seekUpAndTrace(search.edges, search.threshold, first.midTop.x, first.midTop.y - 1,
                       *search.points, rect, upper) == 0) {
        return false;
    }
    mergeBoxes(upper, first);
    return near(first.width, search.averageWidth, search.averageWidth / widthToleranceDivisor) &&
           near(first.centre.x, upper.centre.x, maxCentreShift);
}

void fillFirstSlot(BoxSearch& search, int a) {
    const SlotSearch plan = firstSlotSearch(search, a);
    CharBox& box = search.box(a);
    const int count = runSlotSearch(search, plan, box);
    if (count > 0 && hasCharacterHeight(search, box)) {
        return;
    }
    if (count > 0 && a == 0 && completeFromAbove(search, box)) {
        return;
    }
    synthesiseAt(search, box, plan.predictedX);
}

void repairTwoMissing(BoxSearch& search) {
    const MissingSlots slots = twoMissingSlots(search.gaps, search.format, search.boxCount);
    openSlot(search, slots.insertAt);
    openSlot(search, slots.secondInsertAt);
    fillSecondSlot(search, slots.insertAt, slots.secondInsertAt);
    fillFirstSlot(search, slots.insertAt);
}

// ---- End boxes ---------------------------------------------------------------

// Rebuilds `box` at the mean width and its own height, centred at x.
void resizeTo(BoxSearch& search, CharBox& box, int x) {
    synthesiseBox(box, x, search.lineY(x), search.averageWidth, box.height);
}

// A first box of the wrong width is widened by what lies to its left, or
// otherwise given the mean width with its right edge kept.
void fitFirstBoxWidth(BoxSearch& search) {
    CharBox& first = search.box(0);
    const int meanWidth = search.averageWidth;
    const int tolerance = meanWidth / widthToleranceDivisor;
    if (meanWidth - first.width > tolerance) {
        CharBox& wider = search.scratch;
        const int count = seekLeft(search, first.centre.x - meanWidth / 2 - seekGap,
                                   first.bottom.y - first.height / 8, wider);
        if (count > 0) {
            mergeBoxes(first, wider);
        }
        if (count > 0 && near(wider.width, meanWidth, tolerance) &&
            near(wider.centre.x, first.centre.x, maxCentreShift)) {
            first = wider;
        } else {
            resizeTo(search, first, first.centre.x - (meanWidth - first.width) / 2);
        }
    }
    if (first.width - meanWidth > tolerance) {
        resizeTo(search, first, first.centre.x + (first.width - meanWidth) / 2);
    }
}

// The left edge of the first character from the outlines met walking right
// from its left side, every eighth of its height.
void buildFirstBoxProfile(BoxSearch& search) {
    CharBox& first = search.box(0);
    const int step = std::max(first.height / 8, 1);
    std::size_t total = 0;
    for (int k = edgeScanFirstRow; k < first.height; k += step) {
        const TraceRect limit{narrow(first.left.x - seekGap), narrow(first.right.x + seekGap),
                              first.top.y, first.bottom.y};
        const int count =
            seekRightWithin(search, first.left.x - seekGap, first.top.y + k, limit, search.scratch);
        const int centre = search.scratch.centre.x;
        if (count == 0 || centre <= first.left.x || centre >= first.right.x) {
            continue;
        }
        if (total + static_cast<std::size_t>(count) >= maxOutlinePoints) {
            break;
        }
        std::copy_n(search.points->begin(), count, search.edgePoints->begin() + total);
        total += static_cast<std::size_t>(count);
    }
    buildLeftProfile(first, std::span(*search.edgePoints).first(total));
}

// The last character traced again from its left side; a trace of character
// height replaces it and gives its right edge profile. A much too narrow box
// (a narrow digit) is widened about its centre, a too wide one narrowed with
// its left edge kept.
void refineLastBox(BoxSearch& search) {
    CharBox& last = search.box(search.format.charCount - 1);
    CharBox& traced = search.scratch;
    const int x = last.midLeft.x - seekGap;
    int count = seekRight(search, x, last.midLeft.y, traced);
    if (count == 0) {
        const TraceRect limit{narrow(last.left.x - seekGap), narrow(last.right.x + seekGap),
                              last.top.y, last.bottom.y};
        count = seekRightWithin(search, x, last.midLeft.y, limit, traced);
    }
    // With small characters the seek may start on the edge of the character
    // before: only an outline centred within the last box replaces it.
    if (count > 0 && hasCharacterHeight(search, traced) && traced.centre.x > last.left.x &&
        traced.centre.x < last.right.x) {
        last = traced;
        buildRightProfile(last, std::span(*search.points).first(static_cast<std::size_t>(count)));
    }
    const int meanWidth = search.averageWidth;
    if (meanWidth / 2 < meanWidth - last.width) {
        last.width = narrow((meanWidth + last.width) / 2);
        last.left.x = last.midLeft.x = narrow(last.centre.x - last.width / 2);
        last.right.x = last.midRight.x = narrow(last.centre.x + last.width / 2);
    }
    if (meanWidth / widthToleranceDivisor < last.width - meanWidth) {
        resizeTo(search, last, last.centre.x - (last.width - meanWidth) / 2);
    }
}

} // namespace

void repairMissingCharacters(BoxSearch& search) {
    if (search.format.charCount - search.boxCount == 1) {
        repairOneMissing(search);
    } else {
        repairTwoMissing(search);
    }
}

void refineEndBoxes(BoxSearch& search) {
    fitFirstBoxWidth(search);
    buildFirstBoxProfile(search);
    refineLastBox(search);
}

} // namespace kavro
