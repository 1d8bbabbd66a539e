#pragma once
// One-byte character codes: ASCII digits and capitals (never I or O), and
// 0x80..0xA5 for the Chinese characters shown through provinceChars.

#include <array>
#include <cstdint>
#include <string>

namespace kavro {

inline constexpr std::uint8_t firstChineseCode = 0x80;
inline constexpr std::uint8_t lastProvinceCode = 0x9E;
inline constexpr std::uint8_t lastChineseCode = 0xA5;
inline constexpr std::uint8_t learnerCode = 0xA3;   // 学
inline constexpr std::uint8_t policeCode = 0xA4;    // 警
inline constexpr std::uint8_t dumpTruckCode = 0xA5; // 渣

// The 38 Chinese characters in code order, then two zero entries.
extern const std::array<char16_t, 40> provinceChars;

// UTF-8 text of one code as the program shows it: the Chinese character,
// the digit or capital letter itself, or "?" for anything else.
std::string displayCharacter(std::uint8_t code);

} // namespace kavro
