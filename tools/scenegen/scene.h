#pragma once
// Synthetic photographs of vehicles with known plates: a cluttered street
// scene, a car front around each plate, the plate rotated and seen in mild
// perspective, then lighting, blur and noise. One seed always gives the same
// picture and the same truths.

#include <QImage>
#include <QPointF>
#include <QSize>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Width of the frame in which the reader works and the corner trailer counts.
inline constexpr int frameWidth = 512;

// `real`: the spread of real photographs: plates 60 to 400 pixels wide in
// pictures 400 to 4,000 wide, tilted and seen at an angle, blurred, dark or
// glaring, under warm, green or blue light.
enum class Difficulty { easy, normal, hard, real };

// Where plates may lie: the lower two-thirds (the part the whole-picture search
// scans), anywhere, or the top third alone.
enum class Placement { lowerTwoThirds, anywhere, top };

struct SceneOptions {
    std::vector<int> formats{1, 2, 4, 5, 7}; // chosen from at random, per plate
    int plateCount = 1;                      // 0 (a street without plates), 1 or 2
    Difficulty difficulty = Difficulty::normal;
    // Empty: a picture from 640 x 480 to 1600 x 1200, chosen by the seed.
    // Otherwise this size (160 x 120 up to 4000 x 4000).
    QSize pictureSize;
    // Every character drawn from the fonts instead of from real plate pictures.
    bool fontCharacters = false;
    // Plate widths in picture pixels, each plate's drawn from this range; 0 for
    // the difficulty's widths.
    double minPlateWidth = 0;
    double maxPlateWidth = 0;
    Placement placement = Placement::lowerTwoThirds;
};

// A point of the picture scaled to frameWidth pixels across.
struct FramePoint {
    std::int16_t x;
    std::int16_t y;
    bool operator==(const FramePoint&) const = default;
};

enum PlateCorner { topLeft, topRight, bottomLeft, bottomRight };

struct PlateTruth {
    int formatIndex;
    std::vector<std::uint8_t> codes; // one character code per plate character
    std::string text;                // the same characters as UTF-8
    std::array<QPointF, 4> corners;  // outer plate corners in picture pixels, in PlateCorner order
    std::array<FramePoint, 4> frameCorners; // the same corners in the 512-wide frame
};

struct Scene {
    QImage image; // Format_RGB888
    std::vector<PlateTruth> plates;
    int jpegQuality; // the quality the picture is meant to be saved with
};

// Throws std::invalid_argument for options outside the ranges above.
void validateSceneOptions(const SceneOptions& options);

// The scene of this seed; throws as validateSceneOptions does.
Scene drawScene(std::uint32_t seed, const SceneOptions& options);

// The picture point scaled to the 512-wide frame, rounded.
FramePoint toFrame(const QPointF& point, int pictureWidth);
