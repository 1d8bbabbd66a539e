#include "engine/recognise/plate_planes.h"

#include "engine/context/recognition_context.h"
#include "engine/primitives/histogram.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr int platePixels = plateWidth * plateHeight;
constexpr std::uint8_t on = 255;
constexpr int startThreshold = 60;
constexpr int frameRun = 116;
// A 3 x 3 neighbourhood whose mean is at least 128.
constexpr int majoritySum = 9 * 128;

struct Bgr {
    int b, g, r;
};

bool isNearBlack(Bgr c) {
    return c.b + c.g + c.r < 3;
}

int luma(Bgr c) {
    return (c.b * 7209 + c.g * 38666 + c.r * 19661) >> 16;
}

int invertedLuma(Bgr c) {
    return 255 - luma(c);
}

int invertedBlueDominance(Bgr c) {
    int sum = c.b + c.g + c.r;
    int blue = c.b;
    if (isNearBlack(c)) {
        sum = 3;
        blue = 1;
    }
    const int v = ((16711680 / sum) * blue - 5570560) >> 15;
    return 255 - std::clamp(v, 0, 255);
}

int halfGreen(Bgr c) {
    return isNearBlack(c) ? 255 : 255 - (c.g >> 1);
}

int invertedYellowDominance(Bgr c) {
    if (isNearBlack(c)) {
        c = {1, 1, 1};
    }
    return 255 - std::clamp(c.r + c.g - c.b, 0, 255);
}

using GreyFunction = int (*)(Bgr);

// The two grey planes of one plate image; the functions are template arguments
// so that each pair is inlined into its own loop.
template <GreyFunction First, GreyFunction Second>
void deriveGreyPair(const std::uint8_t* image, std::uint8_t* first, std::uint8_t* second) {
    for (int i = 0; i < platePixels; ++i, image += 3) {
        const Bgr c{image[0], image[1], image[2]};
        first[i] = static_cast<std::uint8_t>(First(c));
        second[i] = static_cast<std::uint8_t>(Second(c));
    }
}

bool hasFrameRun(const std::uint8_t* row) {
    int run = 0;
    for (int x = 0; x < plateWidth; ++x) {
        run = row[x] != 0 ? run + 1 : 0;
        if (run >= frameRun) {
            return true;
        }
    }
    return false;
}

} // namespace

void derivePlatePlanes(const std::uint8_t* image, int planeMode, std::uint8_t* first,
                       std::uint8_t* second) {
    switch (planeMode) {
    case 4: // blue plates
        return deriveGreyPair<luma, invertedBlueDominance>(image, first, second);
    case 3: // green plates
        return deriveGreyPair<invertedLuma, halfGreen>(image, first, second);
    case 5: // yellow plates
        return deriveGreyPair<invertedLuma, invertedYellowDominance>(image, first, second);
    default: // white plates
        return deriveGreyPair<invertedLuma, invertedLuma>(image, first, second);
    }
}

PlaneLevels measurePlaneLevels(const std::uint8_t* plane) {
    Histogram histogram{};
    for (int i = 0; i < platePixels; ++i) {
        ++histogram[plane[i]];
    }
    PlaneLevels levels{startThreshold, 0, 0};
    selectThreshold(histogram, levels.threshold, levels.low, levels.high);
    return levels;
}

void clearPlateBorder(std::uint8_t* plane) {
    std::memset(plane, 0, plateWidth);
    std::memset(plane + (plateHeight - 1) * plateWidth, 0, plateWidth);
    for (int y = 1; y < plateHeight - 1; ++y) {
        plane[y * plateWidth] = 0;
        plane[y * plateWidth + plateWidth - 1] = 0;
    }
}

std::array<int, levelsPerGreyPlane> binaryLevels(const PlaneLevels& levels, int greyPlane,
                                                 bool trailer) {
    const int t = levels.threshold;
    const int low = levels.low;
    const int high = levels.high;
    if (trailer) {
        return t < 128 ? std::array{(low + t) / 2, t, (high + t) / 2, high}
                       : std::array{t, (high + t) / 2, high, (high + 255) / 2};
    }
    const int brightest = greyPlane == 0 ? (high + 255) / 2 : high;
    return {(low + t) / 2, t, (high + t) / 2, brightest};
}

void binarise(const std::uint8_t* grey, int level, std::uint8_t* binary) {
    for (int i = 0; i < platePixels; ++i) {
        binary[i] = grey[i] >= level ? on : 0;
    }
}

// Each row starts from the sums of its columns over the row above (already
// filtered), the row itself and the row below. Filtering a pixel changes its
// own column's sum, so the pixel to its right sees the filtered value, as a
// plain in-place filter in raster order does.
void majorityFilter(std::uint8_t* plane) {
    std::array<int, plateWidth> columns{};
    // Per pixel, the window's sum without the filtered pixel to its left.
    std::array<int, plateWidth> partial{};
    for (int y = 1; y < plateHeight - 1; ++y) {
        std::uint8_t* row = plane + y * plateWidth;
        const std::uint8_t* above = row - plateWidth;
        const std::uint8_t* below = row + plateWidth;
        for (int x = 0; x < plateWidth; ++x) {
            columns[x] = above[x] + row[x] + below[x];
        }
        for (int x = 1; x < plateWidth - 1; ++x) {
            partial[x] = columns[x - 1] - row[x - 1] + columns[x] + columns[x + 1];
        }
        // Only this chain is sequential: each pixel sees its left neighbour filtered.
        int left = row[0];
        for (int x = 1; x < plateWidth - 1; ++x) {
            // Arithmetic rather than a branch: on noisy planes the outcome is unpredictable.
            left = on * static_cast<int>(partial[x] + left >= majoritySum);
            row[x] = static_cast<std::uint8_t>(left);
        }
    }
}

void clearFrameRows(std::uint8_t* plane) {
    for (int y = 1; y < plateHeight && hasFrameRun(plane + y * plateWidth); ++y) {
        std::memset(plane + y * plateWidth, 0, plateWidth);
    }
    for (int y = plateHeight - 2; y >= 0 && hasFrameRun(plane + y * plateWidth); --y) {
        std::memset(plane + y * plateWidth, 0, plateWidth);
    }
}
