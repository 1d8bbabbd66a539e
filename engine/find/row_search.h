#pragma once
// The row-by-row plate search of one set of working planes: scan rows from the
// bottom upwards, each offered to localisation, every accepted plate format
// read until a reading sticks.

#include "engine/find/found_plate.h"

#include <span>
#include <vector>

namespace kavro {

struct RecognitionContext;

// Working rows: `count` rows from `first` upwards, `spacing` apart.
struct ScanRows {
    int first = 0;
    int spacing = 0;
    int count = 0;

    std::vector<int> rows() const;
};

// Searches `rows` of the context's planes, in their order, until `result` holds `enough` plates
// (two, the most it can hold, unless said otherwise). Each plate stored in
// `result` is appended to `found` with its corners.
void searchRows(RecognitionContext& context, std::span<const int> rows, RecognitionResult& result,
                FoundPlates& found, int enough = maxPlates);

} // namespace kavro
