#pragma once
// Random plate numbers that follow the character rules of each plate format,
// as one-byte character codes and as UTF-8 text.

#include "tools/scenegen/scene_random.h"

#include <QString>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The letters and digits of plate numbers (I and O never occur).
inline constexpr std::string_view plateLetters = "ABCDEFGHJKLMNPQRSTUVWXYZ";
inline constexpr std::string_view plateDigits = "0123456789";

// The plate formats the generator draws (blue, yellow, dump truck, new energy, police).
inline constexpr int drawableFormats[] = {1, 2, 4, 5, 7};

bool isDrawableFormat(int formatIndex);

// Codes of a random plate number of the format; throws std::invalid_argument
// for a format that is not drawable.
std::vector<std::uint8_t> randomPlateCodes(int formatIndex, SceneRandom& random);

// One character as text: the Chinese character of codes 0x80..0xA5, the digit
// or capital letter itself, "?" for anything else.
QString characterText(std::uint8_t code);

std::string plateTextUtf8(std::span<const std::uint8_t> codes);
