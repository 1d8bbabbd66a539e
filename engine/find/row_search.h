#pragma once
// The row-by-row plate search of one set of working planes: scan rows from the
// bottom upwards, each offered to localisation, every accepted plate format
// read until a reading sticks.

#include "engine/find/found_plate.h"

struct RecognitionContext;

// The working rows searched: `count` rows from `first` upwards, `spacing` apart.
struct ScanRows {
    int first = 0;
    int spacing = 0;
    int count = 0;
};

// Searches `rows` of the context's planes until `result` holds two plates. Each
// plate stored in `result` is appended to `found` with its corners.
void searchRows(RecognitionContext& context, const ScanRows& rows, RecognitionResult& result,
                FoundPlates& found);
