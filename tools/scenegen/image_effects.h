#pragma once
// Camera-like degradations applied to a finished picture (Format_RGB888).

#include "tools/scenegen/scene_random.h"

#include <QImage>
#include <QPointF>

// Separable Gaussian blur; a sigma below a tenth of a pixel leaves the picture alone.
void blurImage(QImage& image, double sigma);

// Adds Gaussian noise of the given standard deviation to every channel.
void addNoise(QImage& image, double sigma, SceneRandom& random);

// Smooth blotches of brightness, about `cellSize` pixels across, so that flat
// surfaces are not perfectly flat; `amplitude` is their standard deviation in grey levels.
void addTexture(QImage& image, double amplitude, int cellSize, SceneRandom& random);

// Uneven light: the brightness gain runs linearly from gainFrom at `from`
// to gainTo at `to` (and stays constant beyond them).
void applyLighting(QImage& image, QPointF from, QPointF to, double gainFrom, double gainTo);

// Tints the picture as a light source of another colour would: each channel
// (red, green, blue) scaled by its gain.
void applyColourCast(QImage& image, double redGain, double greenGain, double blueGain);
