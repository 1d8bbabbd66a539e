#include "tools/scenegen/plate_style.h"

#include <array>
#include <stdexcept>
#include <string>

namespace {

constexpr double plateWidthMm = 440;
constexpr double newEnergyPlateWidthMm = 480;
constexpr double plateHeightMm = 140;
constexpr double charWidthMm = 45;
constexpr double newEnergyCharWidthMm = 43;
constexpr double charHeightMm = 90;

// Character centres in the rectified plate of the reader, per format.
constexpr std::array<int, 7> ordinaryCentres{30, 81, 152, 203, 254, 305, 356};
constexpr std::array<int, 7> dumpTruckCentres{30, 81, 132, 203, 254, 305, 356};
constexpr std::array<int, 8> newEnergyCentres{25, 68, 142, 185, 227, 270, 312, 355};
constexpr std::array<int, 7> policeCentres{30, 101, 152, 203, 254, 305, 356};

const QColor blue{12, 62, 168};
const QColor yellow{242, 188, 24};
const QColor paleGreen{214, 240, 212};
const QColor green{86, 196, 96};
const QColor policeWhite{236, 236, 232};
const QColor white{240, 242, 244};
const QColor black{24, 24, 24};
const QColor red{196, 22, 26};

template <std::size_t N>
std::vector<double> centresInMm(const std::array<int, N>& frameCentres, double plateWidth) {
    std::vector<double> centres;
    for (const int x : frameCentres) {
        centres.push_back(x * plateWidth / rectifiedPlateWidth);
    }
    return centres;
}

// A 440 mm plate with seven characters in one colour on a plain background.
PlateStyle singleRow(int formatIndex, int separatorIndex, const std::vector<double>& centres,
                     QColor background, QColor ink) {
    return {.formatIndex = formatIndex,
            .widthMm = plateWidthMm,
            .heightMm = plateHeightMm,
            .charWidthMm = charWidthMm,
            .charHeightMm = charHeightMm,
            .separatorIndex = separatorIndex,
            .charCentreXMm = centres,
            .backgroundTop = background,
            .backgroundBottom = background,
            .ink = ink,
            .lastInk = ink,
            .border = ink,
            .latinFace = LatinFace::standard};
}

std::array<PlateStyle, 5> makeStyles() {
    const auto ordinary = centresInMm(ordinaryCentres, plateWidthMm);
    PlateStyle police =
        singleRow(7, 1, centresInMm(policeCentres, plateWidthMm), policeWhite, black);
    police.lastInk = red;
    const PlateStyle newEnergy{.formatIndex = 5,
                               .widthMm = newEnergyPlateWidthMm,
                               .heightMm = plateHeightMm,
                               .charWidthMm = newEnergyCharWidthMm,
                               .charHeightMm = charHeightMm,
                               .separatorIndex = 2,
                               .charCentreXMm =
                                   centresInMm(newEnergyCentres, newEnergyPlateWidthMm),
                               .backgroundTop = paleGreen,
                               .backgroundBottom = green,
                               .ink = black,
                               .lastInk = black,
                               .border = black,
                               .latinFace = LatinFace::newEnergy};
    return {singleRow(1, 2, ordinary, blue, white), singleRow(2, 2, ordinary, yellow, black),
            singleRow(4, 3, centresInMm(dumpTruckCentres, plateWidthMm), yellow, black), newEnergy,
            police};
}

} // namespace

const PlateStyle& plateStyle(int formatIndex) {
    static const std::array<PlateStyle, 5> styles = makeStyles();
    for (const PlateStyle& style : styles) {
        if (style.formatIndex == formatIndex) {
            return style;
        }
    }
    throw std::invalid_argument("plate format " + std::to_string(formatIndex) + " cannot be drawn");
}
