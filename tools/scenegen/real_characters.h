#pragma once
// Characters cut from photographs of real blue plates, for drawing plates in
// the plate face rather than in a generic font. Only the plates that
// the glyph generator holds out are used: the reader's templates are never
// learned from them, so reading a drawn plate is not circular.

#include "tools/scenegen/scene_random.h"

#include <QImage>
#include <QRect>
#include <QSizeF>
#include <QString>

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

// A real character as grey-level coverage: 255 on the stroke, 0 on the plate,
// soft in between. `box` is the character's bounding box within `coverage`,
// which keeps a margin around it for the soft edges.
struct CharacterPicture {
    QImage coverage; // Format_Grayscale8
    QRect box;
    QSizeF sizeMm; // the box on the real plate, in millimetres
};

using CharacterPictures = std::map<std::uint8_t, std::vector<CharacterPicture>>;

// The characters of the held-out plate crops in `directory` (file name =
// plate text) that the sample finder cuts out at least four times: letters,
// digits and common province characters, each with its sound pictures in a
// fixed order. Throws when the folder has no crops.
CharacterPictures heldOutCharacters(const QString& directory);

// Which of one character's cut pictures are fit to draw it, in order: those
// whose box height, box width and ink share lie near the character's medians
// (not cut off, not widened by the plate frame or a neighbour, not blurred into
// a blob), less the least typical quarter of them (rounded up) by their
// distance on the glyph grid to the per-cell median of those. At least one is
// kept; none only of none.
std::vector<std::size_t> soundPictures(std::span<const CharacterPicture> pictures);

// The held-out characters of the project's own plate crops
// (tools/glyphgen/plates), cut once per process. Needs a QGuiApplication.
const CharacterPictures& bundledCharacters();

// One of the pictures of `code`, chosen by `random`; null when there is none.
const CharacterPicture* pickCharacter(const CharacterPictures& pictures, std::uint8_t code,
                                      SceneRandom& random);

// The plate letters and digits (no I or O) that have no picture, in code order.
std::string charactersWithoutPictures(const CharacterPictures& pictures);
