#include "tools/glyphgen/plate_geometry.h"

#include <algorithm>
#include <vector>

using namespace kavro;

namespace {

constexpr std::int64_t fixedOne = 65536;
constexpr int perMille = 1000;
constexpr int middleColumn = plateWidth / 2;
constexpr int middleRow = plateHeight / 2;
constexpr int maxTilt = 240;
constexpr int maxSlant = 400;
constexpr int shearStep = 20;

// 16.16 source position of frame position `d16` (16.16) when `to` frame pixels
// span `from` source pixels, pixel centres aligned, clamped to the source.
std::int64_t toSource(std::int64_t d16, int from, int to) {
    const std::int64_t position = ((2 * d16 + fixedOne) * from) / (2 * to) - fixedOne / 2;
    return std::clamp<std::int64_t>(position, 0, (from - 1) * fixedOne);
}

std::uint8_t bilinear(const GreyImage& image, std::int64_t x16, std::int64_t y16) {
    const int x0 = static_cast<int>(x16 >> 16), y0 = static_cast<int>(y16 >> 16);
    const std::int64_t fx = x16 & 0xFFFF, fy = y16 & 0xFFFF;
    const int x1 = std::min(x0 + 1, image.width - 1), y1 = std::min(y0 + 1, image.height - 1);
    const std::int64_t top = image.at(x0, y0) * (fixedOne - fx) + image.at(x1, y0) * fx;
    const std::int64_t bottom = image.at(x0, y1) * (fixedOne - fx) + image.at(x1, y1) * fx;
    return static_cast<std::uint8_t>((top * (fixedOne - fy) + bottom * fy + (1LL << 31)) >> 32);
}

// Sharpness of a profile: the sum of squared steps between neighbours.
std::int64_t stepEnergy(const std::vector<std::int64_t>& profile) {
    std::int64_t energy = 0;
    for (std::size_t i = 1; i < profile.size(); ++i) {
        energy += (profile[i] - profile[i - 1]) * (profile[i] - profile[i - 1]);
    }
    return energy;
}

// Foreground counts along lines sheared by `shear` per mille: rows when
// `alongRows`, columns otherwise.
std::vector<std::int64_t> shearedProfile(const GreyImage& binary, int shear, bool alongRows) {
    std::vector<std::int64_t> profile(
        static_cast<std::size_t>(alongRows ? binary.height : binary.width));
    for (int y = 0; y < binary.height; ++y) {
        for (int x = 0; x < binary.width; ++x) {
            if (binary.at(x, y) == 0) {
                continue;
            }
            const int line = alongRows ? y - shear * (x - middleColumn) / perMille
                                       : x - shear * (y - middleRow) / perMille;
            if (line >= 0 && line < static_cast<int>(profile.size())) {
                ++profile[static_cast<std::size_t>(line)];
            }
        }
    }
    return profile;
}

// The shear in [-limit, limit] with the sharpest profile; the smallest
// magnitude wins ties.
int sharpestShear(const GreyImage& binary, int limit, bool alongRows) {
    int best = 0;
    std::int64_t bestEnergy = stepEnergy(shearedProfile(binary, 0, alongRows));
    for (int magnitude = shearStep; magnitude <= limit; magnitude += shearStep) {
        for (const int shear : {-magnitude, magnitude}) {
            const std::int64_t energy = stepEnergy(shearedProfile(binary, shear, alongRows));
            if (energy > bestEnergy) {
                bestEnergy = energy;
                best = shear;
            }
        }
    }
    return best;
}

} // namespace

GreyImage mapToFrame(const GreyImage& source, const PlateMapping& mapping) {
    GreyImage frame(plateWidth, plateHeight);
    for (int y = 0; y < plateHeight; ++y) {
        for (int x = 0; x < plateWidth; ++x) {
            const std::int64_t xv =
                x * fixedOne + mapping.slant * (y - middleRow) * fixedOne / perMille;
            const std::int64_t yv =
                y * fixedOne + mapping.tilt * (xv - middleColumn * fixedOne) / perMille;
            frame.at(x, y) = bilinear(source, toSource(xv, source.width, plateWidth),
                                      toSource(yv, source.height, plateHeight));
        }
    }
    return frame;
}

int levellingTilt(const GreyImage& binary) {
    return sharpestShear(binary, maxTilt, true);
}

int uprightSlant(const GreyImage& binary) {
    return sharpestShear(binary, maxSlant, false);
}
