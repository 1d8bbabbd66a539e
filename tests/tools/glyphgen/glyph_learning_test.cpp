#include "tools/glyphgen/glyph_learning.h"

#include <gtest/gtest.h>

using namespace kavro;

namespace {

// A glyph whose rows all hold `mask`, with one extra cell to tell copies apart.
GlyphRows glyph(std::uint32_t mask, int extraRow = -1) {
    GlyphRows rows;
    rows.fill(mask);
    if (extraRow >= 0) {
        rows[static_cast<std::size_t>(extraRow)] ^= 0x00010000U;
    }
    return rows;
}

constexpr std::uint32_t leftBar = 0xFF000001U;  // thick left stroke, thin right one
constexpr std::uint32_t rightBar = 0x800000FFU; // thin left stroke, thick right one

TEST(GlyphLearning, MeanGlyphKeepsCellsSetInAtLeastHalfTheSamples) {
    GlyphRows a = glyph(0x80000001U), b = a, c = a;
    a[10] |= 0x00F00000U;
    b[10] |= 0x00300000U;
    c[20] |= 0x00000F00U;
    const GlyphRows mean = meanGlyph({a, b, c});
    EXPECT_EQ(mean[10], 0x80300001U);
    EXPECT_EQ(mean[20], 0x80000001U);
}

TEST(GlyphLearning, OutliersAreTheSamplesFarthestFromTheMean) {
    std::vector<GlyphRows> samples = {glyph(leftBar, 1), glyph(leftBar, 2), glyph(rightBar),
                                      glyph(leftBar, 3)};
    const std::vector<GlyphRows> kept = withoutOutliers(samples, 25);
    ASSERT_EQ(kept.size(), 3U);
    EXPECT_EQ(kept[0], samples[0]);
    EXPECT_EQ(kept[1], samples[1]);
    EXPECT_EQ(kept[2], samples[3]);
}

TEST(GlyphLearning, ClustersSeparateTheShapesLargestFirst) {
    std::vector<GlyphRows> samples;
    for (int i = 0; i < 6; ++i) {
        samples.push_back(glyph(rightBar, i));
        if (i < 4) {
            samples.push_back(glyph(leftBar, i + 10));
        }
    }
    const std::vector<GlyphRows> clusters = clusterGlyphs(samples, 2);
    ASSERT_EQ(clusters.size(), 2U);
    EXPECT_EQ(clusters[0], glyph(rightBar));
    EXPECT_EQ(clusters[1], glyph(leftBar));
    EXPECT_EQ(clusterGlyphs(samples, 2), clusters);
}

TEST(GlyphLearning, MoreClustersThanSamplesIsAnError) {
    EXPECT_THROW(clusterGlyphs({glyph(leftBar)}, 2), std::logic_error);
}

} // namespace
