#pragma once
// Draws a plate as vector shapes in millimetre coordinates, so that any
// transformation of the painter (rotation, perspective) stays sharp.

#include "tools/scenegen/plate_style.h"
#include "tools/scenegen/real_characters.h"
#include "tools/scenegen/scene_random.h"

#include <QFont>
#include <QImage>
#include <QPainter>

#include <cstdint>
#include <span>

// The faces of the characters drawn from a font: Chinese characters, and
// letters and digits without a real picture. They differ from the faces the
// reader's glyph templates were made from, so that reading a drawn plate tests
// more than the generator's own rendering.
struct PlateFaces {
    QFont latin;
    QFont chinese;
    double chineseEmboldenMm; // extra stroke width around each Chinese glyph
};

// Resolves the faces; needs a QGuiApplication (see ensureGuiApplication).
PlateFaces defaultPlateFaces();

// One character of a plate: drawn from a picture of a real plate character
// when `picture` is set, otherwise from the font.
struct PlateCharacter {
    std::uint8_t code;
    const CharacterPicture* picture = nullptr;
};

// Paints the plate with its top-left corner at (0, 0) and its bottom-right
// corner at (widthMm, heightMm) of the painter's coordinates.
void paintPlate(QPainter& painter, const PlateStyle& style,
                std::span<const PlateCharacter> characters, const PlateFaces& faces);

// Dirt and a shadow from above on the plate face, in the same coordinates.
void paintPlateWear(QPainter& painter, const PlateStyle& style, SceneRandom& random);

// The plate alone, face on, at the given resolution.
QImage renderFlatPlate(const PlateStyle& style, std::span<const PlateCharacter> characters,
                       const PlateFaces& faces, double pixelsPerMm);
