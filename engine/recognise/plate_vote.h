#pragma once
// Combining the readings of the eight binary planes into one plate: a plane
// that lost a position is vetoed, each position takes its best-scoring code,
// the plate's scores decide acceptance, and the first plate's text passes a
// short table of corrections.

#include "engine/context/recognition_context.h"
#include "engine/recognise/char_match.h"
#include "engine/recognise/recognition_result.h"

#include <array>

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
};

// Mean, minimum and maximum over positions 1 .. charCount - 1: the province
// character is left out, and for police plates the final 警 as well.
PlateScore scorePlate(const PlateReading& reading, int charCount, int formatIndex);

// Trailer corners accept any reading; otherwise mean >= 80, min >= 70, max >= 90.
bool isAccepted(const PlateScore& score, bool trailer);

// Appends the plate when the result is empty, or holds one plate of another
// format.
void storePlate(RecognitionResult& result, int formatIndex, const PlateScore& score,
                const PlateReading& reading, int charCount);

// The corrections of a stored text, applied in order.
void correctText(std::array<std::uint8_t, plateTextLength>& text, bool trailer);
