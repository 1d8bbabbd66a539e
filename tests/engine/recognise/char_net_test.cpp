#include "engine/recognise/char_net.h"

#include "engine/recognise/char_net_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace kavro;

namespace {

// Float sums in another order (and fused multiply-adds) differ in the last bits.
constexpr float tolerance = 2e-4f;

TEST(CharNet, GivesTheOutputsTheTrainingRecorded) {
    static_assert(char_net_reference::inputSize == std::tuple_size_v<CharNetInput>);
    static_assert(char_net_reference::outputSize == std::tuple_size_v<CharNetLogits>);
    for (int c = 0; c < char_net_reference::caseCount; ++c) {
        SCOPED_TRACE(c);
        CharNetInput input;
        std::copy(char_net_reference::inputs[c].begin(), char_net_reference::inputs[c].end(),
                  input.begin());
        const CharNetLogits logits = runCharNet(input);
        const auto& expected = char_net_reference::outputs[c];
        for (std::size_t k = 0; k < logits.size(); ++k) {
            EXPECT_NEAR(logits[k], expected[k], tolerance * std::max(1.0f, std::abs(expected[k])))
                << "class " << k;
        }
    }
}

TEST(CharNet, ReadsTheRenderedCharactersOfTheReference) {
    for (std::size_t c = 0; c < char_net_reference::renderedCodes.size(); ++c) {
        CharNetInput input;
        std::copy(char_net_reference::inputs[c].begin(), char_net_reference::inputs[c].end(),
                  input.begin());
        const CharNetLogits logits = runCharNet(input);
        const auto best = std::max_element(logits.begin(), logits.end()) - logits.begin();
        EXPECT_EQ(char_net::classCodes[static_cast<std::size_t>(best)],
                  char_net_reference::renderedCodes[c]);
    }
}

} // namespace
