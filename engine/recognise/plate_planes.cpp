#include "engine/recognise/plate_planes.h"

#include "engine/context/recognition_context.h"
#include "engine/primitives/blue_share.h"
#include "engine/primitives/histogram.h"
#include "engine/primitives/kernel_set.h"
#include "engine/primitives/vector_loops.h"
#include "engine/recognise/plate_planes_kernels.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kavro {

namespace {

using namespace majority_kernels;

constexpr int platePixels = plateWidth * plateHeight;
constexpr int maxLevel = 255;
constexpr int startThreshold = 60;
constexpr int frameRun = 116;

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
    const int sum = c.b + c.g + c.r;
    const int blue = pick(isNearBlack(c), 1, c.b);
    return kavro::invertedBlueDominance(std::max(sum, minimumChannelSum), blue);
}

int halfGreen(Bgr c) {
    return isNearBlack(c) ? 255 : 255 - (c.g >> 1);
}

int invertedYellowDominance(Bgr c) {
    const bool dark = isNearBlack(c);
    const int excess = pick(dark, 1, c.r + c.g - c.b);
    return 255 - std::clamp(excess, 0, 255);
}

using GreyFunction = int (*)(Bgr);

// One row of a plate image split into its channels: the grey functions then run
// over plain arrays, which the compiler vectorises.
struct ChannelRows {
    alignas(32) std::array<int, plateWidth> b;
    alignas(32) std::array<int, plateWidth> g;
    alignas(32) std::array<int, plateWidth> r;

    explicit ChannelRows(const std::uint8_t* row) {
        for (int x = 0; x < plateWidth; ++x, row += 3) {
            b[x] = row[0];
            g[x] = row[1];
            r[x] = row[2];
        }
    }
};

// The two grey planes of one plate image; the functions are template arguments
// so that each pair is inlined into its own loop, and the loops into the
// AVX2-cloned derivePlatePlanes.
template <GreyFunction First, GreyFunction Second>
[[gnu::always_inline]] inline void deriveGreyPair(const std::uint8_t* image,
                                                  std::uint8_t* __restrict first,
                                                  std::uint8_t* __restrict second) {
    for (int y = 0; y < plateHeight; ++y) {
        const ChannelRows row(image + y * plateWidth * 3);
        std::uint8_t* firstRow = first + y * plateWidth;
        std::uint8_t* secondRow = second + y * plateWidth;
        for (int x = 0; x < plateWidth; ++x) {
            const Bgr c{row.b[x], row.g[x], row.r[x]};
            firstRow[x] = static_cast<std::uint8_t>(First(c));
            secondRow[x] = static_cast<std::uint8_t>(Second(c));
        }
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

// Per inner pixel x of a row (at index x - 1), padded to whole words: whether the
// pixel is on for certain, and whether it is on when its left neighbour is.
struct MajorityFlags {
    alignas(32) std::array<std::uint8_t, paddedWidth> sure;
    alignas(32) std::array<std::uint8_t, paddedWidth> ifLeft;
};

void markMajorityFlags(const std::uint8_t* above, const std::uint8_t* row,
                       const std::uint8_t* below, MajorityFlags& flags) {
    alignas(32) std::array<int, plateWidth> columns;
    for (int x = 0; x < plateWidth; ++x) {
        columns[x] = above[x] + row[x] + below[x];
    }
    for (int i = 0; i < innerWidth; ++i) {
        // The window's sum without the filtered pixel to the left.
        const int partial = columns[i] - row[i] + columns[i + 1] + columns[i + 2];
        flags.sure[i] = static_cast<std::uint8_t>(partial >= majoritySum);
        flags.ifLeft[i] = static_cast<std::uint8_t>(partial >= ifLeftSum);
    }
}

// Sixty-four flags of 0 or 1 as the bits of one word, the first flag in bit 0.
std::uint64_t packFlags(const std::uint8_t* flags) {
    std::uint64_t word = 0;
    for (int i = 0; i < wordBits; i += 8) {
        std::uint64_t eight = 0;
        std::memcpy(&eight, flags + i, sizeof eight);
        // Gathers the low bit of each byte into the top byte, byte j into bit j.
        word |= ((eight * 0x0102040810204080ULL) >> 56) << i;
    }
    return word;
}

// Writes the word's bits as sixty-four pixels, on (255) or off, the first from bit 0.
void unpackFlags(std::uint64_t bits, std::uint8_t* pixels) {
    for (int i = 0; i < wordBits; i += 8) {
        // Byte j of the spread holds bit j alone; a nonzero byte becomes 255.
        const std::uint64_t spread =
            (((bits >> i) & 0xFF) * 0x0101010101010101ULL) & 0x8040201008040201ULL;
        const std::uint64_t nonzero = (spread + 0x7F7F7F7F7F7F7F7FULL) & 0x8080808080808080ULL;
        const std::uint64_t eight = (nonzero >> 7) * on;
        std::memcpy(pixels + i, &eight, sizeof eight);
    }
}

} // namespace

namespace majority_kernels {

void markMajorityBitsPlain(const std::uint8_t* above, const std::uint8_t* row,
                           const std::uint8_t* below, MajorityBits& bits) {
    MajorityFlags flags{};
    markMajorityFlags(above, row, below, flags);
    for (int w = 0; w < maskWords; ++w) {
        bits.sure[w] = packFlags(flags.sure.data() + w * wordBits);
        bits.ifLeft[w] = packFlags(flags.ifLeft.data() + w * wordBits);
    }
}

void writeBitsPlain(const RowWords& words, std::uint8_t* pixels) {
    for (int w = 0; w < maskWords; ++w) {
        unpackFlags(words[w], pixels + w * wordBits);
    }
}

} // namespace majority_kernels

KAVRO_WITH_AVX2
void derivePlatePlanes(const std::uint8_t* image, PlaneMode planeMode, std::uint8_t* first,
                       std::uint8_t* second) {
    switch (planeMode) {
    case PlaneMode::blue:
        return deriveGreyPair<luma, invertedBlueDominance>(image, first, second);
    case PlaneMode::green:
        return deriveGreyPair<invertedLuma, halfGreen>(image, first, second);
    case PlaneMode::yellow:
        return deriveGreyPair<invertedLuma, invertedYellowDominance>(image, first, second);
    case PlaneMode::white:
        break;
    }
    deriveGreyPair<invertedLuma, invertedLuma>(image, first, second);
}

PlaneLevels measurePlaneLevels(const std::uint8_t* plane) {
    // Neighbouring pixels mostly share a level; counting them into separate
    // histograms, added up at the end, keeps one count from waiting on the last.
    constexpr int ways = 4;
    static_assert(platePixels % ways == 0);
    std::array<Histogram, ways> partial{};
    for (int i = 0; i < platePixels; i += ways) {
        for (int w = 0; w < ways; ++w) {
            ++partial[w][plane[i + w]];
        }
    }
    Histogram histogram{};
    for (std::size_t level = 0; level < histogram.size(); ++level) {
        for (const Histogram& part : partial) {
            histogram[level] += part[level];
        }
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

KAVRO_WITH_AVX2
void binarise(const std::uint8_t* grey, int level, std::uint8_t* __restrict binary) {
    if (level <= 0 || level > maxLevel) { // every byte is above, or none
        std::memset(binary, level <= 0 ? on : 0, platePixels);
        return;
    }
    // Compared as bytes, sixteen or thirty-two pixels to a vector instruction.
    const auto byteLevel = static_cast<std::uint8_t>(level);
    for (int i = 0; i < platePixels; ++i) {
        binary[i] = grey[i] >= byteLevel ? on : 0;
    }
}

// Each row starts from the sums of its columns over the row above (already
// filtered), the row itself and the row below. Filtering a pixel changes its
// own column's sum, so the pixel to its right sees the filtered value, as a
// plain in-place filter in raster order does.
//
// That chain from left to right is solved as the carries of a binary addition.
// A pixel whose window holds enough without its filtered left neighbour is on
// for certain ("sure"); one that needs the neighbour on is on when it is
// ("ifLeft", a superset of "sure"). So out[x] = sure[x] | (ifLeft[x] & out[x-1]),
// which is the carry out of bit x when the bit sets sure and ifLeft are added:
// sixty-four pixels take one addition.
void majorityFilter(std::uint8_t* plane) {
    MajorityBits bits;
    RowWords out;
    alignas(32) std::array<std::uint8_t, paddedWidth> filtered;
    for (int y = 1; y < plateHeight - 1; ++y) {
        std::uint8_t* row = plane + y * plateWidth;
        const std::uint8_t* above = row - plateWidth;
        const std::uint8_t* below = row + plateWidth;
        KAVRO_KERNEL(markMajorityBits)(above, row, below, bits);
        // The first pixel's left neighbour is the border pixel, never filtered and
        // of any value: its whole window is known.
        const int first = above[0] + row[0] + below[0] + above[1] + row[1] + below[1] + above[2] +
                          row[2] + below[2];
        const std::uint64_t firstOn = first >= majoritySum ? 1 : 0;
        bits.sure[0] = (bits.sure[0] & ~std::uint64_t{1}) | firstOn;
        bits.ifLeft[0] = (bits.ifLeft[0] & ~std::uint64_t{1}) | firstOn;
        std::uint64_t carry = 0;
        for (int w = 0; w < maskWords; ++w) {
            const std::uint64_t a = bits.sure[w];
            const std::uint64_t b = bits.ifLeft[w];
            const std::uint64_t carriesIn = (a + b + carry) ^ a ^ b;
            out[w] = a | (b & carriesIn);
            carry = out[w] >> (wordBits - 1);
        }
        KAVRO_KERNEL(writeBits)(out, filtered.data());
        std::memcpy(row + 1, filtered.data(), innerWidth);
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

} // namespace kavro
