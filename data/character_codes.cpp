#include "data/character_codes.h"

namespace kavro {

const std::array<char16_t, 40> provinceChars = {
    u'京', u'津', u'冀', u'晋', u'蒙', u'辽', u'吉', u'黑', u'沪', u'苏',
    u'浙', u'皖', u'闽', u'赣', u'鲁', u'豫', u'鄂', u'湘', u'粤', u'桂',
    u'琼', u'渝', u'川', u'贵', u'云', u'藏', u'陕', u'甘', u'青', u'宁',
    u'新', u'港', u'澳', u'使', u'领', u'学', u'警', u'渣', 0,     0};

namespace {

// UTF-8 encoding of one character of the Basic Multilingual Plane.
std::string utf8(char16_t c) {
    std::string text;
    if (c < 0x80) {
        text += static_cast<char>(c);
    } else if (c < 0x800) {
        text += static_cast<char>(0xC0 | (c >> 6));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        text += static_cast<char>(0xE0 | (c >> 12));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    }
    return text;
}

bool isDigit(std::uint8_t code) {
    return code >= '0' && code <= '9';
}

bool isCapital(std::uint8_t code) {
    return code >= 'A' && code <= 'Z';
}

} // namespace

std::string displayCharacter(std::uint8_t code) {
    if (code >= firstChineseCode && code <= lastChineseCode) {
        return utf8(provinceChars[code - firstChineseCode]);
    }
    if (isDigit(code) || isCapital(code)) {
        return std::string(1, static_cast<char>(code));
    }
    return "?";
}

} // namespace kavro
