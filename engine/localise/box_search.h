#pragma once
// The character-box search of one scan row: traces the characters the row
// crosses, keeps those of plate-character size and shape, supplies missing
// ones, checks their spacing against a plate format and hands them to plate
// rectification.

namespace kavro {

struct LabelRow;
struct RecognitionContext;
struct RecognitionResult;

// Searches the stretch recorded in `labelRow` (row labelRow.rowY of the edge
// plane, transitions at `threshold`) for the characters of plate format
// `formatIndex`, supplying at most `missingAllowed` of them. Marks the stretch
// in the work plane. Returns rectifyPlate's result (nonzero: the plate was
// warped into the next plate slot), or 0 when the row is rejected. When the
// boxes fall short of the format by more than `missingAllowed` characters,
// `lacking` is lowered to how many, if that is fewer.
int searchCharacterBoxes(RecognitionContext& context, const LabelRow& labelRow, int threshold,
                         int formatIndex, int missingAllowed, RecognitionResult& result,
                         int& lacking);

} // namespace kavro
