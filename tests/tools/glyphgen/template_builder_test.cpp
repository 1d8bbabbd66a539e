// How many variants of a character are learned rather than rendered.

#include "tools/glyphgen/template_builder.h"

#include <gtest/gtest.h>

using namespace kavro;

namespace {

constexpr std::uint8_t zhe = 0x8A; // 浙
constexpr std::uint8_t su = 0x89;  // 苏

SamplesByCode samplesOf(std::uint8_t code, int count) {
    return {{code, std::vector<GlyphRows>(static_cast<std::size_t>(count), GlyphRows{})}};
}

struct LearnableCase {
    std::uint8_t code;
    int samples;
    int variants;
    int learned;
};

TEST(LearnableVariants, ProvinceCharactersNeedFewerSamplesThanLettersAndDigits) {
    const LearnableCase cases[] = {
        {zhe, 4, 1, 0}, {zhe, 5, 1, 1},  {zhe, 60, 1, 1}, // never more than the table holds
        {su, 9, 3, 1},  {su, 10, 3, 2},  {su, 15, 3, 3},  {'Q', 5, 3, 0},
        {'Q', 9, 3, 0}, {'Q', 23, 3, 2}, {'7', 10, 2, 1},
    };
    for (const LearnableCase& c : cases) {
        EXPECT_EQ(learnableVariants(samplesOf(c.code, c.samples), c.code, c.variants), c.learned)
            << int(c.code) << " with " << c.samples << " samples";
    }
}

TEST(LearnableVariants, SamplesOfAnotherCharacterDoNotCount) {
    EXPECT_EQ(learnableVariants(samplesOf(zhe, 20), su, 3), 0);
    EXPECT_EQ(learnableVariants({}, zhe, 1), 0);
}

} // namespace
