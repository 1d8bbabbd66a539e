#include "data/character_codes.h"

#include <gtest/gtest.h>

using namespace kavro;

namespace {

TEST(ProvinceChars, HoldsTheChineseCharactersInCodeOrderThenTwoZeros) {
    EXPECT_EQ(provinceChars[0x80 - firstChineseCode], u'京');
    EXPECT_EQ(provinceChars[0x8B - firstChineseCode], u'皖');
    EXPECT_EQ(provinceChars[lastProvinceCode - firstChineseCode], u'新');
    EXPECT_EQ(provinceChars[learnerCode - firstChineseCode], u'学');
    EXPECT_EQ(provinceChars[policeCode - firstChineseCode], u'警');
    EXPECT_EQ(provinceChars[dumpTruckCode - firstChineseCode], u'渣');
    EXPECT_EQ(provinceChars[38], 0);
    EXPECT_EQ(provinceChars[39], 0);
}

TEST(DisplayCharacter, ShowsChineseDigitsAndCapitalsAndQuestionMarkOtherwise) {
    const struct {
        std::uint8_t code;
        const char* text;
    } cases[] = {
        {0x80, "京"},
        {0x89, "苏"},
        {0x9F, "港"},
        {0xA5, "渣"},
        {'0', "0"},
        {'9', "9"},
        {'A', "A"},
        {'Z', "Z"},
        {0, "?"},
        {'a', "?"},
        {'/', "?"},
        {0x7F, "?"},
        // Codes above the last Chinese character have no table entry.
        {0xA6, "?"},
        {0xFF, "?"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(displayCharacter(c.code), c.text) << "code " << int(c.code);
    }
}

} // namespace
