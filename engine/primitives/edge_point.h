#pragma once
// A point of a traced outline or a fitted edge, in working-plane pixels.

#include "engine/primitives/geometry.h"

#include <cstdint>

namespace kavro {

// Point lists are packed arrays of three 16-bit values a point: x, y and a
// spare value that is carried along and never read.
struct EdgePoint : Point<std::int16_t> {
    std::int16_t spare = 0;
};
static_assert(sizeof(EdgePoint) == 3 * sizeof(std::int16_t));

} // namespace kavro
