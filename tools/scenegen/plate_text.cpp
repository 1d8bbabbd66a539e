#include "tools/scenegen/plate_text.h"

#include "data/character_codes.h"

#include <algorithm>
#include <stdexcept>
#include <string_view>

using namespace kavro;

namespace {

constexpr std::string_view newEnergyMarks = "DF";

// Display characters of the codes 0x80..0xA5, in code order.
constexpr char16_t chineseChars[] =
    u"京津冀晋蒙辽吉黑沪苏浙皖闽赣鲁豫鄂湘粤桂琼渝川贵云藏陕甘青宁新港澳使领学警渣";

// Share of letters among the letter-or-digit positions: real numbers are mostly digits.
constexpr double letterShare = 0.3;
constexpr double learnerShare = 0.3; // yellow plates ending in 学

std::uint8_t pickFrom(std::string_view chars, SceneRandom& random) {
    return static_cast<std::uint8_t>(
        chars[static_cast<std::size_t>(random.integer(0, static_cast<int>(chars.size()) - 1))]);
}

std::uint8_t province(SceneRandom& random) {
    return static_cast<std::uint8_t>(random.integer(firstChineseCode, lastProvinceCode));
}

std::uint8_t letterOrDigit(SceneRandom& random) {
    return pickFrom(random.chance(letterShare) ? plateLetters : plateDigits, random);
}

// Province, letter, then `count` letters or digits.
std::vector<std::uint8_t> ordinaryNumber(int count, SceneRandom& random) {
    std::vector<std::uint8_t> codes{province(random), pickFrom(plateLetters, random)};
    for (int i = 0; i < count; ++i) {
        codes.push_back(letterOrDigit(random));
    }
    return codes;
}

std::vector<std::uint8_t> yellowNumber(SceneRandom& random) {
    auto codes = ordinaryNumber(5, random);
    if (random.chance(learnerShare)) {
        codes.back() = learnerCode;
    }
    return codes;
}

std::vector<std::uint8_t> dumpTruckNumber(SceneRandom& random) {
    std::vector<std::uint8_t> codes{dumpTruckCode, pickFrom(plateLetters, random)};
    for (int i = 0; i < 5; ++i) {
        codes.push_back(pickFrom(plateDigits, random));
    }
    return codes;
}

// Small new-energy cars carry D or F third, large ones last.
std::vector<std::uint8_t> newEnergyNumber(SceneRandom& random) {
    std::vector<std::uint8_t> codes{province(random), pickFrom(plateLetters, random)};
    const bool small = random.chance(0.5);
    codes.push_back(pickFrom(small ? newEnergyMarks : plateDigits, random));
    for (int i = 0; i < 4; ++i) {
        codes.push_back(pickFrom(plateDigits, random));
    }
    codes.push_back(pickFrom(small ? plateDigits : newEnergyMarks, random));
    return codes;
}

std::vector<std::uint8_t> policeNumber(SceneRandom& random) {
    auto codes = ordinaryNumber(5, random);
    codes.back() = policeCode;
    return codes;
}

} // namespace

bool isDrawableFormat(int formatIndex) {
    return std::ranges::find(drawableFormats, formatIndex) != std::end(drawableFormats);
}

std::vector<std::uint8_t> randomPlateCodes(int formatIndex, SceneRandom& random) {
    switch (formatIndex) {
    case 1:
        return ordinaryNumber(5, random);
    case 2:
        return yellowNumber(random);
    case 4:
        return dumpTruckNumber(random);
    case 5:
        return newEnergyNumber(random);
    case 7:
        return policeNumber(random);
    default:
        throw std::invalid_argument("plate format " + std::to_string(formatIndex) +
                                    " cannot be drawn");
    }
}

QString characterText(std::uint8_t code) {
    if (code >= firstChineseCode && code <= lastChineseCode) {
        return QString(QChar(chineseChars[code - firstChineseCode]));
    }
    const bool plain = (code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z');
    return plain ? QString(QChar(code)) : QStringLiteral("?");
}

std::string plateTextUtf8(std::span<const std::uint8_t> codes) {
    QString text;
    for (const std::uint8_t code : codes) {
        text += characterText(code);
    }
    return text.toStdString();
}
