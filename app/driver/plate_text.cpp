#include "app/driver/plate_text.h"

#include "data/character_codes.h"

#include <algorithm>

namespace kavro {

namespace {

std::size_t textLength(const PlateCodes& text) {
    return static_cast<std::size_t>(std::find(text.begin(), text.end(), 0) - text.begin());
}

std::string numberText(const PlateCodes& text) {
    std::string number;
    const std::size_t length = textLength(text);
    for (std::size_t i = 0; i < length; ++i) {
        number += displayCharacter(text[i]);
    }
    return number;
}

std::string typeText(const PlateCodes& text, int formatIndex) {
    switch (formatIndex) {
    case 1:
        return "小型汽车 - 蓝底白字";
    case 2:
    case 3: {
        const std::size_t length = textLength(text);
        const bool learner = length > 0 && text[length - 1] == learnerCode;
        return learner ? "教练车 - 黄底黑字" : "大型汽车 - 黄底黑字";
    }
    case 4:
        return "渣土车 - 黄底黑字";
    case 5:
        return "新能源汽车 - 绿底黑字";
    case 7:
        return "警车 - 白底黑字";
    default:
        return {};
    }
}

} // namespace

std::string plateNumberText(const RecognitionResult& result, int plate) {
    return numberText(result.text[plate]);
}

std::string plateNumberText(const FoundPlate& plate) {
    return numberText(plate.text);
}

std::string plateTypeText(const RecognitionResult& result, int plate) {
    return typeText(result.text[plate], result.formatIndex[plate]);
}

std::string plateTypeText(const FoundPlate& plate) {
    return typeText(plate.text, plate.formatIndex);
}

} // namespace kavro
