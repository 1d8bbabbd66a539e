#pragma once
// One plate per place: plates found in several views whose corners overlap are
// the same plate, read once from the evidence of all of them.

#include "engine/find/found_plate.h"

// Plates whose quadrilaterals overlap by at least half of the smaller one are
// the same plate.
bool samePlace(const FoundPlate& a, const FoundPlate& b);

// The plates of `found` merged place by place, in the order in which each place
// was first found. A place found more than once takes the reading that the most
// views agree on; among readings seen equally often, the one with the highest
// confidence, and with it its corners.
FoundPlates mergePlates(const FoundPlates& found);

// Fills `result` with the first plates of `plates` as the desktop shows them: the
// first plate, then the first one of another format.
void fillResult(const FoundPlates& plates, RecognitionResult& result);
