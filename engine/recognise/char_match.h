#pragma once
// The reading of one character box.

#include <cstdint>

namespace kavro {

struct CharMatch {
    std::uint8_t code = 0;     // character code, 0 = none
    std::uint8_t score = 0;    // 0..100
    std::int16_t distance = 0; // cells that differ from the chosen template
};

} // namespace kavro
