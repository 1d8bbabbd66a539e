#pragma once
// The trained character network's forward pass: 3 x 3 convolutions (batch norm
// folded in) with ReLU and 2 x 2 max-pooling, a dense hidden layer with ReLU and
// the dense output layer. The weights are generated source (data/generated,
// `make classifier`); nothing is read at run time.

#include "data/generated/char_net_weights.h"

#include <array>

namespace kavro {

// One cut: inputHeight rows of inputWidth standardised grey samples, top row first.
using CharNetInput = std::array<float, char_net::inputWidth * char_net::inputHeight>;
// One value per class, before the softmax.
using CharNetLogits = std::array<float, char_net::classCount>;

CharNetLogits runCharNet(const CharNetInput& input);

} // namespace kavro
