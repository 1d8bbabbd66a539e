#pragma once
// Measures of template quality: held-out reading of real plate characters and
// the closest pairs of different characters in each table.

#include "tools/glyphgen/plate_samples.h"
#include "tools/glyphgen/template_builder.h"

#include <ostream>
#include <vector>

inline constexpr int heldOutEvery = 5; // every fifth plate is held out

// Whether the plate of this index (in loadPlateCrops order) is held out: the
// templates are never learned from it, and tests may draw its characters.
bool isHeldOutPlate(int plateIndex);

struct HeldOutSplit {
    SamplesByCode training;
    std::vector<CharacterSample> test;
};

// Samples of every fifth plate for testing, the others for training.
HeldOutSplit splitHeldOut(const std::vector<CharacterSample>& samples);

// Trains tables on `training` and reads the `test` characters by nearest
// template, per table and per character; compares the learned letters and
// digits with font-only tables, and the Chinese faces with each other.
void printEvaluation(const std::vector<CharacterSample>& test, const SamplesByCode& training,
                     std::ostream& out);

// The smallest distances between templates of different characters, per table.
void printClosestPairs(const std::vector<GeneratedTable>& tables, std::ostream& out);

// Where each table's records came from.
void printSources(const std::vector<GeneratedTable>& tables, std::ostream& out);
