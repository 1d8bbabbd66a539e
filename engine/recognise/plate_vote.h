#pragma once
// Combining the readings of the eight binary planes into one plate: a plane
// that lost a position is vetoed, each position takes its best-scoring code,
// the plate's scores decide acceptance, and a trailer reading of the first
// plate has its letter 1 corrected.

#include "engine/context/recognition_context.h"
#include "engine/recognise/char_match.h"
#include "engine/recognise/recognition_result.h"

#include <array>

namespace kavro {

inline constexpr int maxPlatePositions = 8;

using PlateReading = std::array<CharMatch, maxPlatePositions>;
using VoteTable = std::array<PlateReading, binaryPlaneCount>;

// Sets every score of a plane to 0 when any of its first charCount positions
// scored 0; the codes stay.
void vetoIncompletePlanes(VoteTable& votes, int charCount);

// The code with the highest score at `position`, taken over the planes in
// order; among equal scores the code seen first wins (vetoed planes count for
// the order), and a score of 0 never wins.
CharMatch votePosition(const VoteTable& votes, int position);

struct PlateScore {
    int mean;
    int lowest;
    int highest;
    int first; // the score of position 0, which the others leave out
};

// Whether position p counts for the plate's scores: the province character
// does not, nor the final 警 of police plates.
bool countsForScore(int position, int charCount, int formatIndex);

// Mean, minimum and maximum over the positions that count, and position 0's score.
PlateScore scorePlate(const PlateReading& reading, int charCount, int formatIndex);

// The least mean, lowest and highest character score of an accepted plate, and
// the least score of its first character.
struct AcceptanceLimits {
    int mean;
    int lowest;
    int highest;
    int first;
};
// The template reading's limits: its first character does not count.
inline constexpr AcceptanceLimits templateLimits{80, 70, 90, 0};

// Trailer corners accept any reading; otherwise the scores must reach `limits`.
bool isAccepted(const PlateScore& score, bool trailer,
                const AcceptanceLimits& limits = templateLimits);

// Appends the plate when the result is empty, or holds one plate of another
// format.
void storePlate(RecognitionResult& result, int formatIndex, const PlateScore& score,
                const PlateReading& reading, int charCount);

// Along trailer corners, a 1 read as the first plate's letter becomes A; other
// readings are left as read.
void correctText(std::array<std::uint8_t, plateTextLength>& text, bool trailer);

} // namespace kavro
