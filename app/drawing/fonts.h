#pragma once
// The program's faces: the one asked for first, then faces of the same style
// that carry Chinese characters on machines without it.

#include <QFont>

#include <span>

// `families` in order of preference, at `pixelSize`, normal weight.
QFont fontOf(std::span<const char* const> families, int pixelSize);

// The face of plate texts, "黑体" or one like it.
QFont plateFont(int pixelSize);
