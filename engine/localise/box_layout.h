#pragma once
// Geometry of a row of character boxes: which outlines look like plate
// characters, their common height, the gaps between them, where missing
// characters belong and whether the spacing fits a plate format.

#include "engine/localise/outline.h"

#include <array>
#include <optional>
#include <span>

namespace kavro {

struct PlateFormat;

inline constexpr int maxSearchBoxes = 30;

// Taller than wide, more than 10 pixels high and less than eight times as
// high as wide.
bool hasCharacterShape(const CharBox& box);

// The same character traced from another of its strokes: centres within one
// pixel, sizes within two.
bool isSameCharacter(const CharBox& a, const CharBox& b);

// Sorts the boxes by height and moves those within a tolerance of the median
// height (a sixth of it, at least 4) to the front, in height order. Returns
// how many there are.
int keepCommonHeight(std::span<CharBox> boxes);

// On boxes sorted by centre x: drops every box that lies inside its right
// neighbour or holds it, keeping the outer one. Returns the new count.
int removeNestedBoxes(std::span<CharBox> boxes);

// Distances between neighbouring centres and their extremes, as percentages of
// the mean of the two smallest.
struct GapStats {
    std::array<int, maxSearchBoxes> gap{};
    int maxGapIndex = 0;       // first of the widest gaps
    int secondMaxGapIndex = 0; // widest of the others, the last on ties
    int minGapIndex = 0;       // first of the narrowest gaps
    int secondMinGapIndex = 0; // narrowest of the others, the last on ties
    int maxGapRatio = 0;
    int secondGapRatio = 0;
};

// Gaps of boxes sorted by centre x (at least two); empty when the two
// narrowest gaps are both 0.
std::optional<GapStats> measureGaps(std::span<const CharBox> boxes);

struct BoxAverages {
    int averageHeight;
    int averageWidth; // over boxes less than four times as high as wide
};

// Rounded mean height and width; without a box narrow enough to count, the
// width is half the mean height.
BoxAverages averageBoxSize(std::span<const CharBox> boxes);

// Whether the mean box is at least 1.4 times as high as wide. Plate characters
// are twice as high as wide (a little less once traced in the edge plane);
// rows of squatter boxes are lettering on signs.
bool hasPlateProportions(const BoxAverages& averages);

// The slots opened for missing characters, in the order they are opened.
struct MissingSlots {
    int insertAt;
    int secondInsertAt;
};

// Where one missing character of `boxCount` found belongs: in front (0), in
// the widest gap, or at the end.
int oneMissingSlot(const GapStats& gaps, const PlateFormat& format, int boxCount);

// Where two missing characters belong, judged from the two widest gaps.
MissingSlots twoMissingSlots(const GapStats& gaps, const PlateFormat& format, int boxCount);

// True when `boxes` (one per character of the format) are spaced like the
// format's characters: the separator gap and every ordinary gap within the
// format's limits, relative to the mean ordinary gap.
bool layoutFits(std::span<const CharBox> boxes, const PlateFormat& format);

} // namespace kavro
