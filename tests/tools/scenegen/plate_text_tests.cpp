#include "data/character_codes.h"
#include "tools/scenegen/plate_text.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace kavro;

namespace {

const std::string letters = "ABCDEFGHJKLMNPQRSTUVWXYZ";
const std::string digits = "0123456789";

bool isProvince(std::uint8_t code) {
    return code >= 0x80 && code <= 0x9E;
}
bool isLetter(std::uint8_t code) {
    return letters.find(static_cast<char>(code)) != std::string::npos;
}
bool isDigit(std::uint8_t code) {
    return digits.find(static_cast<char>(code)) != std::string::npos;
}
bool isLetterOrDigit(std::uint8_t code) {
    return isLetter(code) || isDigit(code);
}

// The characters each format allows at each position, written out from the
// plate rules rather than taken from the generator.
bool allowedAt(int format, std::size_t position, std::uint8_t code) {
    switch (format) {
    case 1:
        return position == 0   ? isProvince(code)
               : position == 1 ? isLetter(code)
                               : isLetterOrDigit(code);
    case 2:
        if (position == 6) {
            return isLetterOrDigit(code) || code == 0xA3;
        }
        return position == 0   ? isProvince(code)
               : position == 1 ? isLetter(code)
                               : isLetterOrDigit(code);
    case 4:
        return position == 0 ? code == 0xA5 : position == 1 ? isLetter(code) : isDigit(code);
    case 5:
        if (position == 2 || position == 7) {
            return isDigit(code) || code == 'D' || code == 'F';
        }
        return position == 0 ? isProvince(code) : position == 1 ? isLetter(code) : isDigit(code);
    case 7:
        if (position == 6) {
            return code == 0xA4;
        }
        return position == 0   ? isProvince(code)
               : position == 1 ? isLetter(code)
                               : isLetterOrDigit(code);
    default:
        return false;
    }
}

struct FormatRule {
    int format;
    std::size_t length;
};

class PlateTextRules : public testing::TestWithParam<FormatRule> {};

TEST_P(PlateTextRules, EveryNumberFollowsTheFormat) {
    const FormatRule rule = GetParam();
    SceneRandom random(static_cast<std::uint32_t>(rule.format));
    for (int n = 0; n < 500; ++n) {
        const std::vector<std::uint8_t> codes = randomPlateCodes(rule.format, random);
        ASSERT_EQ(codes.size(), rule.length);
        for (std::size_t i = 0; i < codes.size(); ++i) {
            ASSERT_TRUE(allowedAt(rule.format, i, codes[i]))
                << "format " << rule.format << " position " << i << " code " << int{codes[i]};
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllFormats, PlateTextRules,
                         testing::Values(FormatRule{1, 7}, FormatRule{2, 7}, FormatRule{4, 7},
                                         FormatRule{5, 8}, FormatRule{7, 7}),
                         [](const auto& info) {
                             return "format" + std::to_string(info.param.format);
                         });

std::set<std::uint8_t> codesSeenAt(int format, std::size_t position) {
    SceneRandom random(99);
    std::set<std::uint8_t> seen;
    for (int n = 0; n < 2000; ++n) {
        seen.insert(randomPlateCodes(format, random)[position]);
    }
    return seen;
}

TEST(PlateText, NumbersCoverTheVariantsOfEachFormat) {
    const auto provinces = codesSeenAt(1, 0);
    EXPECT_EQ(provinces.size(), 31u); // every province shows up
    const auto yellowEndings = codesSeenAt(2, 6);
    EXPECT_TRUE(yellowEndings.contains(0xA3)); // coaches ending in 学
    EXPECT_TRUE(std::ranges::any_of(yellowEndings, isLetterOrDigit));
    const auto newEnergyThird = codesSeenAt(5, 2);
    const auto newEnergyLast = codesSeenAt(5, 7);
    for (const auto& seen : {newEnergyThird, newEnergyLast}) {
        EXPECT_TRUE(seen.contains('D') && seen.contains('F') && seen.contains('0'));
    }
    const auto letterPositions = codesSeenAt(1, 1);
    EXPECT_FALSE(letterPositions.contains('I') || letterPositions.contains('O'));
}

TEST(PlateText, TextShowsChineseLettersAndDigits) {
    const std::vector<std::uint8_t> police{0x8A, 'B', '1', '2', 'Z', '5', 0xA4};
    EXPECT_EQ(plateTextUtf8(police), "浙B12Z5警");
    const std::vector<std::uint8_t> specials{0x80, 0x9E, 0xA3, 0xA5};
    EXPECT_EQ(plateTextUtf8(specials), "京新学渣");
    EXPECT_EQ(characterText(0xA6), "?");
    EXPECT_EQ(characterText('a'), "?");
}

TEST(PlateText, UndrawableFormatsAreRefused) {
    SceneRandom random(1);
    for (const int format : {0, 3, 6, 8}) {
        EXPECT_FALSE(isDrawableFormat(format));
        EXPECT_THROW(randomPlateCodes(format, random), std::invalid_argument);
    }
}

} // namespace
