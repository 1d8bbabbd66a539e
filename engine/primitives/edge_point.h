#pragma once
// A point of a traced outline or a fitted edge, in working-plane pixels.

#include <cstdint>

struct EdgePoint {
    std::int16_t x;
    std::int16_t y;
    std::int16_t spare; // carried along, never read
};
