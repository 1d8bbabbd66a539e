#pragma once
// One plate per place: plates found in several views whose corners overlap are
// the same plate, read once from the evidence of all of them.

#include "engine/find/found_plate.h"

namespace kavro {

// Plates whose quadrilaterals overlap by at least half of the smaller one are
// the same plate.
bool samePlace(const FoundPlate& a, const FoundPlate& b);

// Whether a found plate has a plate's shape: a plate is 3.1 (green 3.4) times
// as wide as high, a little more when its borders are found inside the frame;
// a much flatter find is lettering or a grille, read as characters.
bool plateShaped(const FoundPlate& plate);

// The plate-shaped plates of `found` merged place by place, in the order in which
// each place was first found. A place found more than once takes the format and
// corners of the reading that the most views agree on (among readings seen
// equally often, the most confident one); each of its characters is the code
// whose scores, summed over the readings of that format and length, are highest.
FoundPlates mergePlates(const FoundPlates& found);

// Fills `result` with the first plates of `plates` as the desktop shows them: the
// first plate, then the first one of another format, which moves up to second
// place so that `plates` begins with the plates of `result`, in its order.
void fillResult(FoundPlates& plates, RecognitionResult& result);

} // namespace kavro
