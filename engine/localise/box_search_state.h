#pragma once
// The working state of one character-box search, shared by the collection of
// boxes and their repair.

#include "data/plate_formats.h"
#include "engine/localise/box_layout.h"
#include "engine/localise/outline.h"
#include "engine/primitives/byte_plane.h"
#include "engine/primitives/line_fit.h"

#include <array>
#include <memory>
#include <span>

namespace kavro {

struct BoxSearch {
    BytePlane edges;
    int threshold = 0;
    const PlateFormat& format;
    std::array<CharBox, maxSearchBoxes> boxes{};
    int boxCount = 0;
    GapStats gaps{};
    int averageHeight = 0;
    int averageWidth = 0;
    FixedLine centreLine{0, 0};
    CharBox scratch{}; // trial traces
    std::unique_ptr<OutlinePoints> points = std::make_unique<OutlinePoints>();
    std::unique_ptr<OutlinePoints> edgePoints = std::make_unique<OutlinePoints>();

    BoxSearch(BytePlane plane, int t, const PlateFormat& plateFormat)
        : edges(plane), threshold(t), format(plateFormat) {}

    CharBox& box(int index) { return boxes[static_cast<std::size_t>(index)]; }
    std::span<CharBox> found() {
        return std::span(boxes).first(static_cast<std::size_t>(boxCount));
    }
    int gap(int index) const { return gaps.gap[static_cast<std::size_t>(index)]; }
    // The centre line's y at x.
    int lineY(int x) const {
        return static_cast<int>((std::int64_t{x} * centreLine.slope + centreLine.intercept) >> 16);
    }
};

// Supplies the missing characters (charCount - boxCount, 1 or 2), traced where
// possible and otherwise placed where the format expects them.
void repairMissingCharacters(BoxSearch& search);

// Improves the first and the last box and builds their edge profiles.
void refineEndBoxes(BoxSearch& search);

} // namespace kavro
