#pragma once
// What the fuzz targets share: silence for the readers' messages, a reference
// picture to check that a refused file leaves the previous one in place, and a
// check that ends the run when a property does not hold.

#include "image/dib.h"

#include <cstdint>
#include <span>

// Sends the readers' messages of this thread nowhere.
void silenceMessages();

// Loads the small reference picture into `dib` (a bitmap: it clears the corner state).
void loadReferencePicture(kavro::CDib& dib);

// True when `dib` still holds the reference picture.
bool holdsReferencePicture(const kavro::CDib& dib);

// True when the picture's sides are valid and its pixel block has them.
bool isWellFormed(const kavro::CDib& dib);

// Aborts (a finding for libFuzzer) when `condition` is false.
void require(bool condition, const char* what);
