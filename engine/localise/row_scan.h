#pragma once
// The row-by-row search for plate characters: the transitions of one scan row
// of the edge plane, the densest stretch of short runs, the plate colours along
// it and the plate formats they allow, each handed to the character-box search.

#include "engine/primitives/geometry.h"

#include <array>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace kavro {

struct LabelRow;
struct RecognitionContext;
struct RecognitionResult;

inline constexpr int maxRowFormats = 4;
using RowFormats = std::array<int, maxRowFormats>;
// A warped plate image and its corners in the picture.
struct KeptWarp {
    std::vector<std::uint8_t> image;
    Quad<double> corners;
};
// The warp of each accepted format, in the order of the formats.
using RowWarps = std::array<KeptWarp, maxRowFormats>;

// Colour classes of the tally, numbered as the format selection uses them
// (class 2 is never counted).
inline constexpr int blackClass = 0;
inline constexpr int whiteClass = 1;
inline constexpr int greenClass = 3;
inline constexpr int blueClass = 4;
inline constexpr int yellowClass = 5;
inline constexpr int colourClassCount = 6;
using ColourTally = std::array<int, colourClassCount>;

// One sample of the hue/chroma plane.
struct ColourSample {
    std::uint8_t brightness;
    std::uint8_t chroma;
    std::uint8_t hue;
};

// Writes the x of every change between dark (below threshold) and bright into
// `list`, the first entry being the first dark pixel, then closes the list with
// rowPixels.size() - 1. `list` needs room for rowPixels.size() + 1 entries.
// Returns the number of entries written.
int listTransitions(std::span<const std::uint8_t> rowPixels, int threshold,
                    std::span<std::int32_t> list);

// Records in `labelRow` the longest stretch of bright runs that no run of more
// than 50 pixels interrupts; true when it has more than 10 bright runs.
bool findCharacterStretch(LabelRow& labelRow, int entryCount, int rowY);

// Counts the samples per colour class; `chromaThreshold` and
// `brightnessThreshold` separate grey from coloured and black from white.
// Pale reds count as grey, saturated reds not at all.
ColourTally tallyColours(std::span<const ColourSample> samples, int chromaThreshold,
                         int brightnessThreshold);

// The plate formats a colour tally allows, in the order to try them.
int formatsForTally(const ColourTally& tally, RowFormats& formats);

// A coloured background less saturated than this (chroma in percent of
// brightness, the median of the coloured samples) is pale: a white plate, or the
// pale end of a new-energy plate, tinted by the light. Blue and yellow plates
// stay far more saturated than that under any light.
inline constexpr int maxPaleSaturationPercent = 50;

// True when the samples that count as coloured at `chromaThreshold` are pale.
bool paleColours(std::span<const ColourSample> samples, int chromaThreshold);

// Which formats a scan tries: those the row's colours choose, or the pale
// plates' formats (police, new energy) that the colours did not choose, when
// the colour is pale: under tinted light a white background reads as blue,
// green or yellow.
enum class FormatChoice { byColour, paleAlternatives };

// Samples the hue/chroma plane in the middle of every dark run of the row's
// stretch and chooses up to four plate formats from the colours found.
// `pale`, when given, is set to whether a tally that chose formats was pale.
int selectPlateFormats(const RecognitionContext& context, const LabelRow& labelRow,
                       RowFormats& formats, FormatChoice choice = FormatChoice::byColour,
                       bool* pale = nullptr);

// What a row scan found: the number of accepted formats, and whether any of its
// colour tallies was pale.
struct RowScan {
    int accepted = 0;
    bool pale = false;
    // The fewest characters a search lacked beyond those it may supply: a scan
    // that may supply fewer than this repeats this one.
    int fewestLacking = std::numeric_limits<int>::max();
};

// Looks for a line of plate characters on scan row rowY of the edge plane and
// runs the character-box search for every plate format of `choice`.
// Writes the accepted formats to formatsOut and the plate each of them warped
// to warpsOut. Every search warps into the slot of the next plate; the slot is
// left holding the first accepted format's plate.
RowScan scanRowForPlate(RecognitionContext& context, int rowY, int missingAllowed,
                        FormatChoice choice, LabelRow& labelRow, RecognitionResult& result,
                        RowFormats& formatsOut, RowWarps& warpsOut);

// Puts a kept plate image and its corners back into the slot of the next plate.
void restoreWarp(RecognitionContext& context, const RecognitionResult& result,
                 const KeptWarp& warp);

} // namespace kavro
