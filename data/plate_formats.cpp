#include "data/plate_formats.h"

#include "data/character_codes.h"

#include <string_view>

namespace kavro {

namespace {

using AllowedList = std::array<std::uint8_t, allowedListLength>;

constexpr std::string_view letters = "ABCDEFGHJKLMNPQRSTUVWXYZ";
constexpr std::string_view digits = "0123456789";
constexpr std::string_view digitsAndLetters = "0123456789ABCDEFGHJKLMNPQRSTUVWXYZ";
constexpr std::string_view newEnergyLetters = "0123456789DF";

// A NUL-terminated, zero-padded list: the ASCII characters, then the codes
// first..last (none when first > last). Both parts are ascending, and every
// Chinese code lies above every ASCII one, so the list is sorted.
constexpr AllowedList makeList(std::string_view ascii, std::uint8_t first = 1,
                               std::uint8_t last = 0) {
    AllowedList list{};
    std::size_t n = 0;
    for (const char c : ascii) {
        list[n++] = static_cast<std::uint8_t>(c);
    }
    for (int code = first; code <= last; ++code) {
        list[n++] = static_cast<std::uint8_t>(code);
    }
    return list;
}

constexpr AllowedList provinces() {
    return makeList("", firstChineseCode, lastProvinceCode);
}

constexpr AllowedList single(std::uint8_t code) {
    return makeList("", code, code);
}

constexpr std::array<std::int32_t, 6> blueGapLimits = {80, 120, 170, 220, 270, 320};
constexpr std::array<std::int32_t, 6> greenGapLimits = {80, 140, 200, 240, 290, 340};
constexpr std::array<std::int32_t, maxPlateChars> sevenCentres = {30, 81, 152, 203, 254, 305, 356};
constexpr std::array<std::int32_t, 8> sevenOrder = {3, 2, 4, 6, 0, 1, 5, 0};

constexpr int plateCharWidth = 40;
constexpr int newEnergyCharWidth = 35;
constexpr int plateCharHeight = 80;
constexpr int sparePitch = 58;

constexpr PlateFormat smallCarBlue = {
    .defined = 1,
    .listCount = 3,
    .fontSet = FontSet::standard,
    .spare0 = 0,
    .gapRatioLimits = blueGapLimits,
    .charCount = 7,
    .separatorIndex = 2,
    .spare1 = {1, 4},
    .planeMode = PlaneMode::blue,
    .spare2 = {1, 1},
    .charWidth = plateCharWidth,
    .charHeight = plateCharHeight,
    .pitch = 51,
    .separatorPitch = 71,
    .spare3 = sparePitch,
    .charCentreX = sevenCentres,
    .charList = {2, 0, 1, 1, 1, 1, 1},
    .positionOrder = sevenOrder,
    .reserved = {},
    .allowedChars = {makeList(letters), makeList(digitsAndLetters), provinces(), {}},
};

constexpr PlateFormat largeVehicleYellow = {
    .defined = 1,
    .listCount = 4,
    .fontSet = FontSet::standard,
    .spare0 = 0,
    .gapRatioLimits = blueGapLimits,
    .charCount = 7,
    .separatorIndex = 2,
    .spare1 = {1, 5},
    .planeMode = PlaneMode::yellow,
    .spare2 = {0, 0},
    .charWidth = plateCharWidth,
    .charHeight = plateCharHeight,
    .pitch = 51,
    .separatorPitch = 71,
    .spare3 = sparePitch,
    .charCentreX = sevenCentres,
    .charList = {3, 0, 1, 1, 1, 1, 2},
    .positionOrder = sevenOrder,
    .reserved = {},
    .allowedChars = {makeList(letters), makeList(digitsAndLetters),
                     makeList(digitsAndLetters, learnerCode, learnerCode), provinces()},
};

constexpr PlateFormat dumpTruckYellow = {
    .defined = 1,
    .listCount = 3,
    .fontSet = FontSet::standard,
    .spare0 = 0,
    .gapRatioLimits = blueGapLimits,
    .charCount = 7,
    .separatorIndex = 3,
    .spare1 = {1, 5},
    .planeMode = PlaneMode::yellow,
    .spare2 = {0, 0},
    .charWidth = plateCharWidth,
    .charHeight = plateCharHeight,
    .pitch = 51,
    .separatorPitch = 71,
    .spare3 = sparePitch,
    .charCentreX = {30, 81, 132, 203, 254, 305, 356},
    .charList = {2, 0, 1, 1, 1, 1, 1},
    .positionOrder = sevenOrder,
    .reserved = {},
    .allowedChars = {makeList(letters), makeList(digits), single(dumpTruckCode), {}},
};

constexpr PlateFormat newEnergyGreen = {
    .defined = 1,
    .listCount = 4,
    .fontSet = FontSet::newEnergy,
    .spare0 = 0,
    .gapRatioLimits = greenGapLimits,
    .charCount = 8,
    .separatorIndex = 2,
    .spare1 = {3, 3},
    .planeMode = PlaneMode::green,
    .spare2 = {0, 0},
    .charWidth = newEnergyCharWidth,
    .charHeight = plateCharHeight,
    .pitch = 43,
    .separatorPitch = 80,
    .spare3 = sparePitch,
    .charCentreX = {25, 68, 142, 185, 227, 270, 312, 355},
    .charList = {3, 0, 2, 1, 1, 1, 1, 2},
    .positionOrder = {3, 2, 4, 7, 0, 5, 1, 6},
    .reserved = {},
    .allowedChars = {makeList(letters), makeList(digits), makeList(newEnergyLetters), provinces()},
};

constexpr PlateFormat policeWhite = {
    .defined = 1,
    .listCount = 4,
    .fontSet = FontSet::standard,
    .spare0 = 0,
    .gapRatioLimits = blueGapLimits,
    .charCount = 7,
    .separatorIndex = 1,
    .spare1 = {1, 1},
    .planeMode = PlaneMode::white,
    .spare2 = {0, 2},
    .charWidth = plateCharWidth,
    .charHeight = plateCharHeight,
    .pitch = 51,
    .separatorPitch = 71,
    .spare3 = sparePitch,
    .charCentreX = {30, 101, 152, 203, 254, 305, 356},
    .charList = {3, 0, 1, 1, 1, 1, 2},
    .positionOrder = sevenOrder,
    .reserved = {},
    .allowedChars = {makeList(letters), makeList(digitsAndLetters), single(policeCode),
                     provinces()},
};

constexpr PlateFormat undefinedFormat = {};

} // namespace

const std::array<PlateFormat, plateFormatCount> plateFormats = {
    undefinedFormat, smallCarBlue,   largeVehicleYellow, undefinedFormat,
    dumpTruckYellow, newEnergyGreen, undefinedFormat,    policeWhite,
};

} // namespace kavro
