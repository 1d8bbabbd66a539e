#pragma once
// What surrounds the plates: a cluttered street background and a car front
// around each plate.

#include "tools/scenegen/scene_random.h"

#include <QPainter>
#include <QSize>

// Half the width of a car front, in millimetres.
inline constexpr double vehicleHalfWidthMm = 880;

// Fills the whole picture: sky and road, buildings with windows, poles and
// road lines, and signs with text-like marks that resemble plate characters.
void paintClutter(QPainter& painter, QSize size, SceneRandom& random);

// Paints a car front in millimetres around a plate whose centre is the
// painter's origin: body, windscreen, lamps, grille, bumper and tyres.
void paintVehicle(QPainter& painter, SceneRandom& random);
