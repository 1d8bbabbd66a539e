#pragma once
// The planes a rectified plate is read from: two grey planes in which the
// characters come out bright on a dark background, and binary planes cut from
// them at four levels each, cleaned by a majority filter and freed of the
// plate frame's rows. Every plane is plateWidth x plateHeight bytes.

#include "data/plate_formats.h"

#include <array>
#include <cstdint>

namespace kavro {

inline constexpr int levelsPerGreyPlane = 4;

// Fills the two grey planes of `planeMode`
// from a blue-green-red plate image.
void derivePlatePlanes(const std::uint8_t* image, PlaneMode planeMode, std::uint8_t* first,
                       std::uint8_t* second);

// A grey plane's threshold and the means of its two classes.
struct PlaneLevels {
    int threshold;
    int low;
    int high;
};

// Threshold selection over the whole plane, starting at 60.
PlaneLevels measurePlaneLevels(const std::uint8_t* plane);

// Sets the plane's outermost rows and columns to 0.
void clearPlateBorder(std::uint8_t* plane);

// The four binarisation levels of grey plane 0 or 1. With trailer corners
// they follow the plane's threshold; otherwise they are fixed per plane.
std::array<int, levelsPerGreyPlane> binaryLevels(const PlaneLevels& levels, int greyPlane,
                                                 bool trailer);

// 255 where the grey value is at least `level`, else 0.
void binarise(const std::uint8_t* grey, int level, std::uint8_t* binary);

// In place and in raster order: an inner pixel becomes 255 when the mean of
// its 3 x 3 neighbourhood is at least 128, else 0.
void majorityFilter(std::uint8_t* plane);

// Clears rows holding a run of 116 or more set pixels, from row 1 downwards
// and from row 114 upwards, each pass stopping at the first row without one.
void clearFrameRows(std::uint8_t* plane);

} // namespace kavro
