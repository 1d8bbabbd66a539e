// Every AVX2 kernel against its plain twin on random inputs: the two must give
// the same bytes. Skipped where the build or the processor has no AVX2.

#include "engine/primitives/kernel_set.h"
#include "engine/primitives/plate_warp_kernels.h"
#include "engine/recognise/classify_kernels.h"
#include "engine/recognise/plate_planes_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <vector>

using namespace kavro;

namespace {

TEST(KernelSet, PlainCanAlwaysBeChosenAndAvx2OnlyWhereAvailable) {
    const KernelSet before = kernelSet();
    EXPECT_EQ(useKernelSet(KernelSet::plain), KernelSet::plain);
    EXPECT_EQ(kernelSet(), KernelSet::plain);
    const KernelSet granted = useKernelSet(KernelSet::avx2);
    EXPECT_EQ(granted, avx2KernelsAvailable() ? KernelSet::avx2 : KernelSet::plain);
    EXPECT_EQ(kernelSet(), granted);
    useKernelSet(before);
}

#if KAVRO_AVX2_KERNELS

constexpr int trials = 200;

class Avx2Kernels : public testing::Test {
protected:
    void SetUp() override {
        if (!avx2KernelsAvailable()) {
            GTEST_SKIP() << "this processor has no AVX2";
        }
    }

    int uniform(int low, int high) { return std::uniform_int_distribution(low, high)(random_); }
    std::vector<std::uint8_t> bytes(std::size_t count) {
        std::vector<std::uint8_t> result(count);
        for (std::uint8_t& b : result) {
            b = static_cast<std::uint8_t>(uniform(0, 255));
        }
        return result;
    }

private:
    std::mt19937 random_{20261209};
};

// Positions anywhere in the picture, the last pixel and the borders included;
// every other row keeps groups of eight on one source row, up to five columns
// apart: within three the kernel reads them with byte shuffles, else gathers.
TEST_F(Avx2Kernels, SampleRowMatchesThePlainKernel) {
    for (int trial = 0; trial < trials; ++trial) {
        const int width = uniform(1, 90);
        const int height = uniform(1, 40);
        const std::vector<std::uint8_t> pixels =
            bytes(static_cast<std::size_t>(width) * height * 3);
        const PicturePixels source = PicturePixels::packed(pixels, width, height);
        const int maxX = ((width - 1) << warpFixedShift) + 0xFFFF;
        const int maxY = ((height - 1) << warpFixedShift) + 0xFFFF;
        const bool grouped = trial % 2 == 1;
        RowPositions positions{};
        for (int u = 0; u < warpWidth; ++u) {
            const int first = u - u % 8;
            if (grouped && u != first) {
                positions.x[u] = std::min(maxX, positions.x[first] + uniform(0, 5 << 16));
                positions.y[u] = positions.y[first];
            } else {
                positions.x[u] = uniform(0, maxX);
                positions.y[u] = uniform(0, maxY);
            }
        }
        positions.x[warpWidth - 1] = (width - 1) << warpFixedShift; // the very last pixel
        positions.y[warpWidth - 1] = (height - 1) << warpFixedShift;
        std::array<std::uint8_t, warpWidth * warpPixelBytes> plain{};
        std::array<std::uint8_t, warpWidth * warpPixelBytes> avx2{};
        sampleRowPlain(positions, source, plain.data());
        sampleRowAvx2(positions, source, avx2.data());
        ASSERT_EQ(plain, avx2) << "trial " << trial << ", " << width << " x " << height;
    }
}

// Cell columns a box of 20 to 80 pixels gives (the wider ones do not fit the
// kernel's 16-byte pieces), and random corner pairs and fractions.
TEST_F(Avx2Kernels, ClassifierGridMatchesThePlainKernels) {
    using namespace classify_kernels;
    const int planeWidth = 384;
    const int planeHeight = 116;
    const std::vector<std::uint8_t> pixels =
        bytes(static_cast<std::size_t>(planeWidth) * planeHeight);
    const BytePlane plane{pixels, planeWidth, planeHeight};
    for (int trial = 0; trial < trials; ++trial) {
        const int boxWidth = uniform(20, 80);
        const int x = uniform(0, planeWidth - boxWidth - 2);
        CellColumns cellX{};
        CellColumns fractionX{};
        for (int c = 0; c < glyphColumns; ++c) {
            const int position = c * boxWidth * oneUnit / glyphColumns;
            cellX[c] = x + position / oneUnit;
            fractionX[c] = position % oneUnit;
        }
        RowStarts cellY{};
        RowFractions fractionY{};
        const int y = uniform(0, planeHeight - glyphRows - 2);
        for (int r = 0; r < glyphRows; ++r) {
            cellY[r] = y + r;
            fractionY[r] = uniform(0, oneUnit - 1);
        }
        GridCorners plainCorners{};
        GridCorners avx2Corners{};
        innerGridPlain(plane, cellX, cellY, plainCorners);
        innerGridAvx2(plane, cellX, cellY, avx2Corners);
        for (int r = 0; r < glyphRows; ++r) {
            ASSERT_EQ(plainCorners[r].top, avx2Corners[r].top) << "trial " << trial;
            ASSERT_EQ(plainCorners[r].bottom, avx2Corners[r].bottom) << "trial " << trial;
        }
        SampleGrid plainGrid{};
        SampleGrid avx2Grid{};
        gridMasksPlain(plainCorners, fractionX, fractionY, plainGrid);
        gridMasksAvx2(plainCorners, fractionX, fractionY, avx2Grid);
        ASSERT_EQ(plainGrid, avx2Grid) << "trial " << trial;
    }
}

TEST_F(Avx2Kernels, TemplateDistancesMatchThePlainKernel) {
    using namespace classify_kernels;
    std::vector<const GlyphTemplate*> all;
    for (const GlyphTemplate& glyph : standardGlyphs) {
        all.push_back(&glyph);
    }
    for (const GlyphTemplate& glyph : provinceGlyphs) {
        all.push_back(&glyph);
    }
    for (int trial = 0; trial < trials; ++trial) {
        // A template's own rows with a few cells flipped, so that the early stop matters.
        SampleGrid grid =
            all[static_cast<std::size_t>(uniform(0, static_cast<int>(all.size()) - 1))]->rows;
        for (int flips = uniform(0, 200); flips > 0; --flips) {
            grid[static_cast<std::size_t>(uniform(0, glyphRows - 1))] ^= 1u << uniform(0, 31);
        }
        std::vector<const GlyphTemplate*> candidates = all;
        std::shuffle(candidates.begin(), candidates.end(), std::mt19937(trial));
        candidates.resize(static_cast<std::size_t>(uniform(1, static_cast<int>(all.size()))));
        const bool onesSkipped = trial % 2 == 1;
        std::vector<RankEntry> plain(candidates.size());
        std::vector<RankEntry> avx2(candidates.size());
        measureDistancesPlain(grid, candidates, plain, onesSkipped);
        measureDistancesAvx2(grid, candidates, avx2, onesSkipped);
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            ASSERT_EQ(plain[i].code, avx2[i].code) << "trial " << trial;
            ASSERT_EQ(plain[i].distance, avx2[i].distance) << "trial " << trial << ", entry " << i;
        }
    }
}

// The flags of the inner pixels alone: the filter never reads those of the
// padding beyond them.
majority_kernels::RowWords innerBits(majority_kernels::RowWords words) {
    using namespace majority_kernels;
    constexpr int lastWordBits = innerWidth - (maskWords - 1) * wordBits;
    words.back() &= (std::uint64_t{1} << lastWordBits) - 1;
    return words;
}

// Rows of strokes and gaps (0 and 255, as the filter sees them) and rows of any
// grey level.
TEST_F(Avx2Kernels, MajorityFilterMatchesThePlainKernels) {
    using namespace majority_kernels;
    for (int trial = 0; trial < trials; ++trial) {
        std::vector<std::uint8_t> rows = bytes(3 * static_cast<std::size_t>(plateWidth));
        if (trial % 2 == 0) {
            for (std::uint8_t& b : rows) {
                b = b < 128 ? 0 : on;
            }
        }
        const std::uint8_t* above = rows.data();
        const std::uint8_t* row = above + plateWidth;
        const std::uint8_t* below = row + plateWidth;
        MajorityBits plain{};
        MajorityBits avx2{};
        markMajorityBitsPlain(above, row, below, plain);
        markMajorityBitsAvx2(above, row, below, avx2);
        ASSERT_EQ(innerBits(plain.sure), innerBits(avx2.sure)) << "trial " << trial;
        ASSERT_EQ(innerBits(plain.ifLeft), innerBits(avx2.ifLeft)) << "trial " << trial;

        RowWords words{};
        for (std::uint64_t& word : words) {
            word = (std::uint64_t{static_cast<std::uint32_t>(uniform(0, INT32_MAX))} << 33) ^
                   static_cast<std::uint64_t>(uniform(0, INT32_MAX));
        }
        alignas(32) std::array<std::uint8_t, paddedWidth> plainPixels{};
        alignas(32) std::array<std::uint8_t, paddedWidth> avx2Pixels{};
        writeBitsPlain(words, plainPixels.data());
        writeBitsAvx2(words, avx2Pixels.data());
        ASSERT_EQ(plainPixels, avx2Pixels) << "trial " << trial;
    }
}

#endif

} // namespace
