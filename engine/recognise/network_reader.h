#pragma once
// Reading a rectified plate with the trained character network: the format's
// layout is fitted to a binary plane of the plate, every position is cut from
// the grey plane in which the characters are bright, a few cuts around the
// fitted one are read, and the most confident allowed character wins.

#include "data/plate_formats.h"
#include "engine/recognise/plate_vote.h"

namespace kavro {

struct RecognitionContext;

// The character probabilities a plate read by the network must reach to be
// accepted without trailer corners.
inline constexpr AcceptanceLimits networkLimits{80, 30, 90, 20};

// The characters of plateImages[slot] read as format `formatIndex`: per position
// the code of the most probable allowed character and its probability in percent
// (truncated), shared with "no character" and the characters of the other kind
// (Chinese or not) than the position allows. Positions
// are read middle first; once a position scores below what `limits` accept (as
// scorePlate counts it: `lowest` for the positions that count, `first` for
// position 0), the rest are left at 0. Null limits read every position.
// The characters are read as bright strokes of the format's first grey plane or
// of its inverse, whichever the network reads with more confidence. Writes
// platePlanes[0] and [1] and binaryPlanes[0] and [1].
PlateReading readWithNetwork(RecognitionContext& context, int formatIndex, int slot,
                             const AcceptanceLimits* limits);

} // namespace kavro
