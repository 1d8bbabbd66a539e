#pragma once
// The texts the program shows for a stored plate: its number in display
// characters and its vehicle type.

#include "engine/find/found_plate.h"
#include "engine/recognise/recognition_result.h"

#include <string>

namespace kavro {

// The plate's characters up to the first zero byte, as UTF-8.
std::string plateNumberText(const RecognitionResult& result, int plate);
std::string plateNumberText(const FoundPlate& plate);

// The vehicle type of the plate's format ("小型汽车 - 蓝底白字" ...), empty for
// formats without one.
std::string plateTypeText(const RecognitionResult& result, int plate);
std::string plateTypeText(const FoundPlate& plate);

} // namespace kavro
