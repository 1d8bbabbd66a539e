#include "engine/find/plate_candidates.h"

#include "engine/context/colour_conversion.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdlib>

namespace kavro {

namespace {

constexpr int maxMapWidth = 2048;    // wider pictures are averaged down by a whole factor
constexpr int rowStep = 3;           // map rows between sampled rows
constexpr int edgeThreshold = 24;    // |luma(x+1) - luma(x-1)| of a character's side
constexpr int minEdgeThreshold = 10; // in rows of little contrast
constexpr int edgeOverMean = 4;      // the threshold is this many mean differences, in between
// A train of edges: runs no further apart than `gap`, at least minRuns of them,
// spanning minSpan..maxSpan gaps. Plates of every size meet one of the gaps.
constexpr std::array<int, 6> trainGaps = {6, 10, 16, 26, 40, 64};
constexpr int minRuns = 9;
constexpr int minSpanGaps = 3;
constexpr int maxSpanGaps = 14;
constexpr int minRegionRows = 2;
constexpr int maxEndShiftPercent = 25; // of the narrower train, to join trains of two rows
constexpr int maxHeightPercent =
    60; // regions taller than this share of their width are not text lines

constexpr int minCalmPercent = 55;
// A region of plate colour may lie among busier parts: a plate between a grille
// above and a grille below.
constexpr int minBusyColourPercent = 40; // of its trains' pixels
constexpr int minBusyCalmPercent = 45;
constexpr int minPlateChroma = 48;
constexpr int minPlateBrightness = 60;
constexpr int minYellowBrightness = 100;
constexpr int minYellowBalancePercent = 70;

struct Train {
    int left;
    int right;
    int gap;
    int coloured; // pixels of plate colour under the train
};

struct Region {
    int left, right, top, bottom; // map pixels; right and bottom inclusive
    int gap;
    int rows;
    int lastRow;
    int spanned;
    int coloured;
    int calm = 0;
};

struct MapRow {
    std::vector<int> blue, green, red, luma;
    explicit MapRow(int width)
        : blue(static_cast<std::size_t>(width)), green(blue), red(blue), luma(blue) {}
};

// One map row: each map pixel the mean of a scale x scale block.
void readMapRow(const PicturePixels& picture, int scale, int mapRow, MapRow& out) {
    const auto mapWidth = static_cast<int>(out.luma.size());
    const int firstRow = mapRow * scale;
    const std::uint8_t* first = picture.row(firstRow);
    int* __restrict blue = out.blue.data();
    int* __restrict green = out.green.data();
    int* __restrict red = out.red.data();
    for (int x = 0; x < mapWidth; ++x) {
        const std::uint8_t* pixel = first + static_cast<std::size_t>(x) * scale * picturePixelBytes;
        blue[x] = pixel[0];
        green[x] = pixel[1];
        red[x] = pixel[2];
    }
    if (scale > 1) {
        for (int dy = 0; dy < scale; ++dy) {
            const std::uint8_t* row = picture.row(firstRow + dy);
            for (int x = 0; x < mapWidth; ++x) {
                const std::uint8_t* pixel =
                    row + static_cast<std::size_t>(x) * scale * picturePixelBytes;
                for (int dx = dy == 0 ? 1 : 0; dx < scale; ++dx) {
                    blue[x] += pixel[3 * dx];
                    green[x] += pixel[3 * dx + 1];
                    red[x] += pixel[3 * dx + 2];
                }
            }
        }
        const int area = scale * scale;
        for (int x = 0; x < mapWidth; ++x) {
            blue[x] /= area;
            green[x] /= area;
            red[x] /= area;
        }
    }
    int* __restrict luma = out.luma.data();
    for (int x = 0; x < mapWidth; ++x) {
        luma[x] = lumaOf(red[x], green[x], blue[x]);
    }
}

// Saturated enough to be the background of a blue, a yellow or a new-energy
// plate: blue well above red and green; red and green both well above blue, the
// lesser at least 70 % of the greater (a yellow plate turns orange under warm
// light; bricks and rust are redder, leaves far greener); or a bright green
// with no less blue than red (leaves and grass lean to yellow instead).
bool plateColoured(int blue, int green, int red) {
    const int high = std::max({blue, green, red});
    const int low = std::min({blue, green, red});
    if (high - low < minPlateChroma) {
        return false;
    }
    if (high == blue) {
        return high >= minPlateBrightness;
    }
    if (high == green && blue >= red) {
        return high >= minYellowBrightness;
    }
    return low == blue && high >= minYellowBrightness &&
           100 * std::min(red, green) >= minYellowBalancePercent * high;
}

struct Run {
    int left;
    int right;
};

// The edge threshold of a row: lower in dark or flat rows, where a plate's
// strokes differ less from its background.
int rowEdgeThreshold(const std::vector<int>& luma) {
    long sum = 0;
    for (std::size_t x = 1; x + 1 < luma.size(); ++x) {
        sum += std::abs(luma[x + 1] - luma[x - 1]);
    }
    const long mean = sum / static_cast<long>(std::max<std::size_t>(luma.size(), 1));
    return static_cast<int>(std::clamp<long>(mean * edgeOverMean, minEdgeThreshold, edgeThreshold));
}

// The runs of pixels whose horizontal luma difference reaches the edge threshold.
std::vector<Run> edgeRuns(const std::vector<int>& luma) {
    std::vector<Run> runs;
    const int width = static_cast<int>(luma.size());
    const int threshold = rowEdgeThreshold(luma);
    bool inside = false;
    for (int x = 1; x + 1 < width; ++x) {
        const bool edge = std::abs(luma[static_cast<std::size_t>(x + 1)] -
                                   luma[static_cast<std::size_t>(x - 1)]) >= threshold;
        if (edge && !inside) {
            runs.push_back({x, x});
        }
        if (edge) {
            runs.back().right = x;
        }
        inside = edge;
    }
    return runs;
}

int colouredPixels(const MapRow& row, int left, int right) {
    int count = 0;
    for (auto x = static_cast<std::size_t>(left); x <= static_cast<std::size_t>(right); ++x) {
        count += plateColoured(row.blue[x], row.green[x], row.red[x]) ? 1 : 0;
    }
    return count;
}

// Trains of runs no more than `gap` apart that are long enough for a plate.
void collectTrains(const std::vector<Run>& runs, int gap, const MapRow& row,
                   std::vector<Train>& trains) {
    std::size_t first = 0;
    for (std::size_t i = 1; i <= runs.size(); ++i) {
        if (i < runs.size() && runs[i].left - runs[i - 1].right <= gap) {
            continue;
        }
        const int count = static_cast<int>(i - first);
        const int span = runs[i - 1].right - runs[first].left;
        if (count >= minRuns && span >= minSpanGaps * gap && span <= maxSpanGaps * gap) {
            const int left = runs[first].left;
            const int right = runs[i - 1].right;
            trains.push_back({left, right, gap, colouredPixels(row, left, right)});
        }
        first = i;
    }
}

// Trains of two rows belong to one line of characters when their ends lie close:
// the line of a plate below a grille keeps to its own width.
bool overlapEnough(int aLeft, int aRight, int bLeft, int bRight) {
    const int tolerance = std::min(aRight - aLeft, bRight - bLeft) * maxEndShiftPercent / 100;
    return std::abs(aLeft - bLeft) <= tolerance && std::abs(aRight - bRight) <= tolerance;
}

// Adds the train of map row y to the open region it continues (same gap,
// overlapping enough), or opens a region.
void joinTrain(const Train& train, int y, std::vector<Region>& open) {
    for (Region& region : open) {
        if (region.gap == train.gap && region.lastRow == y - rowStep &&
            overlapEnough(region.left, region.right, train.left, train.right)) {
            region.left = std::min(region.left, train.left);
            region.right = std::max(region.right, train.right);
            region.bottom = y;
            region.lastRow = y;
            ++region.rows;
            region.spanned += train.right - train.left + 1;
            region.coloured += train.coloured;
            return;
        }
    }
    open.push_back({train.left, train.right, y, y, train.gap, 1, y, train.right - train.left + 1,
                    train.coloured});
}

// Moves the regions that no train of row y continued from `open` to `closed`.
void closeRegions(int y, std::vector<Region>& open, std::vector<Region>& closed) {
    const auto ended = std::stable_partition(open.begin(), open.end(),
                                             [y](const Region& r) { return r.lastRow == y; });
    closed.insert(closed.end(), ended, open.end());
    open.erase(ended, open.end());
}

// Edge pixels of the sampled rows from `first` to `last` (indices) within the columns.
int edgePixels(const std::vector<std::vector<Run>>& rowRuns, int first, int last, int left,
               int right) {
    int count = 0;
    for (int i = std::max(first, 0); i <= last && i < static_cast<int>(rowRuns.size()); ++i) {
        for (const Run& run : rowRuns[static_cast<std::size_t>(i)]) {
            count += std::max(0, std::min(run.right, right) - std::max(run.left, left) + 1);
        }
    }
    return count;
}

// How much denser the region's rows are in edges than as many rows above and below it.
int calmPercent(const Region& region, const std::vector<std::vector<Run>>& rowRuns) {
    const int first = region.top / rowStep;
    const int last = region.bottom / rowStep;
    const int rows = last - first + 1;
    const int inside = edgePixels(rowRuns, first, last, region.left, region.right);
    const int above = edgePixels(rowRuns, first - rows - 1, first - 2, region.left, region.right);
    const int below = edgePixels(rowRuns, last + 2, last + rows + 1, region.left, region.right);
    const int outside = std::max(above, below);
    return inside * 100 / std::max(1, inside + outside);
}

bool lineShaped(const Region& region) {
    const int height = region.bottom - region.top + rowStep;
    return region.rows >= minRegionRows &&
           height * 100 <= maxHeightPercent * (region.right - region.left);
}

} // namespace

std::vector<PlateCandidate> findPlateCandidates(const PicturePixels& picture) {
    const int scale = (picture.width + maxMapWidth - 1) / maxMapWidth;
    const int mapWidth = picture.width / scale;
    const int mapHeight = picture.height / scale;
    std::vector<Region> open;
    std::vector<Region> regions;
    MapRow row(mapWidth);
    std::vector<Train> trains;
    std::vector<std::vector<Run>> rowRuns;
    for (int y = rowStep / 2; y < mapHeight; y += rowStep) {
        readMapRow(picture, scale, y, row);
        rowRuns.push_back(edgeRuns(row.luma));
        const std::vector<Run>& runs = rowRuns.back();
        trains.clear();
        for (const int gap : trainGaps) {
            collectTrains(runs, gap, row, trains);
        }
        for (const Train& train : trains) {
            joinTrain(train, y, open);
        }
        closeRegions(y, open, regions);
    }
    regions.insert(regions.end(), open.begin(), open.end());
    std::erase_if(regions, [&](Region& region) {
        region.calm = calmPercent(region, rowRuns);
        const bool coloured = region.coloured * 100 >= minBusyColourPercent * region.spanned;
        return !lineShaped(region) ||
               region.calm < (coloured ? minBusyCalmPercent : minCalmPercent);
    });
    std::vector<PlateCandidate> candidates;
    for (const Region& region : regions) {
        candidates.push_back({region.left * scale, (region.top - rowStep / 2) * scale,
                              (region.right + 1) * scale,
                              std::min(picture.height, (region.bottom + rowStep / 2 + 1) * scale),
                              region.rows, region.coloured * 100 / region.spanned, region.calm});
    }
    std::stable_sort(
        candidates.begin(), candidates.end(),
        [](const PlateCandidate& a, const PlateCandidate& b) { return a.score() > b.score(); });
    return candidates;
}

} // namespace kavro
