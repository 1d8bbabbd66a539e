#include "tools/glyphgen/glyph_grid.h"

#include <algorithm>
#include <bit>

using namespace kavro;

namespace {

constexpr int fixedOne = 65536;
constexpr int weightTotalShift = 18;
constexpr int foregroundLevel = 128;

int clamp(int v, int low, int high) {
    return std::min(std::max(v, low), high);
}

// The pixel at (x, y), coordinates clamped to the image.
int pixel(const GreyImage& image, int x, int y) {
    return image.at(clamp(x, 0, image.width - 1), clamp(y, 0, image.height - 1));
}

// Mean of the linear interpolations along the four edges of the cell whose
// top-left pixel is (x, y), with 16.16 fractions fx and fy; scaled by 2^18.
std::int64_t cellSum(const GreyImage& image, int x, int y, int fx, int fy) {
    const int right = x >= image.width - 1 ? x : x + 1;
    const int below = y >= image.height - 1 ? y : y + 1;
    const std::int64_t tl = pixel(image, x, y);
    const std::int64_t tr = pixel(image, right, y);
    const std::int64_t bl = pixel(image, x, below);
    const std::int64_t br = pixel(image, right, below);
    return tl * (2 * fixedOne - fx - fy) + tr * (fixedOne + fx - fy) + bl * (fixedOne - fx + fy) +
           br * (fx + fy);
}

} // namespace

bool cellSet(const GlyphRows& rows, int row, int column) {
    return (rows[static_cast<std::size_t>(row)] >> (glyphColumns - 1 - column)) & 1U;
}

void setCell(GlyphRows& rows, int row, int column) {
    rows[static_cast<std::size_t>(row)] |= 1U << (glyphColumns - 1 - column);
}

int hammingDistance(const GlyphRows& a, const GlyphRows& b) {
    int distance = 0;
    for (std::size_t r = 0; r < a.size(); ++r) {
        distance += std::popcount(a[r] ^ b[r]);
    }
    return distance;
}

int setCellCount(const GlyphRows& rows) {
    int count = 0;
    for (const std::uint32_t mask : rows) {
        count += std::popcount(mask);
    }
    return count;
}

Box foregroundBox(const GreyImage& image) {
    int left = image.width, top = image.height, right = -1, bottom = -1;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if (image.at(x, y) >= foregroundLevel) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0) {
        return {};
    }
    return {left, top, right - left + 1, bottom - top + 1};
}

std::vector<int> sampleLevels(const GreyImage& image, const Box& box) {
    std::vector<int> levels;
    levels.reserve(glyphCells);
    const int stepX = box.width * fixedOne / glyphColumns;
    const int stepY = box.height * fixedOne / glyphRows;
    for (int r = 0; r < glyphRows; ++r) {
        const int posY = r * stepY;
        for (int c = 0; c < glyphColumns; ++c) {
            const int posX = c * stepX;
            const std::int64_t sum = cellSum(image, box.x + (posX >> 16), box.y + (posY >> 16),
                                             posX & 0xFFFF, posY & 0xFFFF);
            levels.push_back(
                static_cast<int>((sum + (1 << (weightTotalShift - 1))) >> weightTotalShift));
        }
    }
    return levels;
}

GlyphRows sampleBox(const GreyImage& image, const Box& box) {
    const std::vector<int> levels = sampleLevels(image, box);
    GlyphRows rows{};
    for (int r = 0; r < glyphRows; ++r) {
        for (int c = 0; c < glyphColumns; ++c) {
            if (levels[static_cast<std::size_t>(r * glyphColumns + c)] >= foregroundLevel) {
                setCell(rows, r, c);
            }
        }
    }
    return rows;
}

bool touchesAllEdges(const GlyphRows& rows) {
    std::uint32_t columns = 0;
    for (const std::uint32_t mask : rows) {
        columns |= mask;
    }
    return rows.front() != 0 && rows.back() != 0 && (columns >> (glyphColumns - 1)) != 0 &&
           (columns & 1U) != 0;
}

GreyImage gridImage(const GlyphRows& rows) {
    GreyImage image(glyphColumns, glyphRows);
    for (int r = 0; r < glyphRows; ++r) {
        for (int c = 0; c < glyphColumns; ++c) {
            image.at(c, r) = cellSet(rows, r, c) ? 255 : 0;
        }
    }
    return image;
}

GlyphRows fillFrame(const GlyphRows& rows) {
    if (touchesAllEdges(rows) || setCellCount(rows) == 0) {
        return rows;
    }
    // Nearest-neighbour stretch of the tight box: the box is never larger than
    // the grid, so every one of its rows and columns is kept.
    const GreyImage image = gridImage(rows);
    const Box box = foregroundBox(image);
    GlyphRows stretched{};
    for (int r = 0; r < glyphRows; ++r) {
        for (int c = 0; c < glyphColumns; ++c) {
            if (image.at(box.x + c * box.width / glyphColumns,
                         box.y + r * box.height / glyphRows) != 0) {
                setCell(stretched, r, c);
            }
        }
    }
    return stretched;
}
