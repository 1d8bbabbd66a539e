#pragma once
// How each plate format looks when drawn: real plate dimensions in millimetres,
// character boxes, colours and the separator.

#include <QColor>

#include <vector>

// The reader's rectified plate, in whose frame the character centres are given.
inline constexpr int rectifiedPlateWidth = 384;
inline constexpr int rectifiedPlateHeight = 116;

enum class LatinFace {
    standard,  // ordinary plates: "1" is a plain bar
    newEnergy, // green plates: "1" keeps its flag and foot
};

struct PlateStyle {
    int formatIndex;
    double widthMm;
    double heightMm;
    double charWidthMm;
    double charHeightMm;
    int separatorIndex; // first character after the wide gap holding the dot
    std::vector<double> charCentreXMm;
    QColor backgroundTop; // equal to backgroundBottom on single-colour plates
    QColor backgroundBottom;
    QColor ink;
    QColor lastInk; // colour of the final character (red 警 on police plates)
    QColor border;
    LatinFace latinFace;

    int charCount() const { return static_cast<int>(charCentreXMm.size()); }
    double charCentreYMm() const { return heightMm / 2; }
};

// Throws std::invalid_argument for a format that is not drawable.
const PlateStyle& plateStyle(int formatIndex);
