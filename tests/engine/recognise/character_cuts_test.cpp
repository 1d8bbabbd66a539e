#include "engine/recognise/character_cuts.h"

#include "engine/context/recognition_context.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

using namespace kavro;

namespace {

constexpr int platePixels = plateWidth * plateHeight;

struct Plane {
    std::vector<std::uint8_t> pixels = std::vector<std::uint8_t>(platePixels, 0);

    void fill(int left, int top, int width, int height, std::uint8_t value) {
        for (int y = std::max(top, 0); y < std::min(top + height, plateHeight); ++y) {
            for (int x = std::max(left, 0); x < std::min(left + width, plateWidth); ++x) {
                pixels[static_cast<std::size_t>(y * plateWidth + x)] = value;
            }
        }
    }
    BytePlane view() const { return {{pixels.data(), pixels.size()}, plateWidth, plateHeight}; }
};

// Solid character boxes where the format's layout, moved, scaled and slanted,
// puts them: each row of a box moves right by the slant from the middle row.
Plane drawnLayout(const PlateFormat& format, const PlateLayout& layout) {
    Plane plane;
    const int width = layout.charWidth(format);
    for (int p = 0; p < format.charCount; ++p) {
        for (int y = layout.top; y <= layout.bottom; ++y) {
            const int lean = static_cast<int>(
                std::lround((y - plateHeight / 2) * layout.slantPerMille / 1000.0));
            plane.fill(layout.centre(format, p) - width / 2 + lean, y, width, 1, 255);
        }
    }
    return plane;
}

TEST(FitLayout, FindsTheShiftScaleAndBandOfDrawnCharacters) {
    struct Case {
        int formatIndex;
        PlateLayout drawn;
    };
    const Case cases[] = {
        {1, {0, 1000, 0, 18, 97}},   {1, {12, 1040, 0, 20, 95}},   {1, {-17, 920, 200, 10, 100}},
        {4, {5, 980, -100, 25, 90}}, {5, {-8, 1060, 100, 16, 99}}, {7, {20, 1100, 0, 30, 105}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.formatIndex);
        const PlateFormat& format = plateFormats[static_cast<std::size_t>(c.formatIndex)];
        const PlateLayout fitted = fitLayout(drawnLayout(format, c.drawn).view(), format);
        for (int p = 0; p < format.charCount; ++p) {
            EXPECT_NEAR(fitted.centre(format, p), c.drawn.centre(format, p), 1) << p;
        }
        EXPECT_NEAR(fitted.charWidth(format), c.drawn.charWidth(format), 1);
        EXPECT_EQ(fitted.slantPerMille, c.drawn.slantPerMille);
        EXPECT_EQ(fitted.top, c.drawn.top);
        EXPECT_EQ(fitted.bottom, c.drawn.bottom);
    }
}

TEST(FitLayout, KeepsTheFormatsLayoutOnAnEmptyPlane) {
    const PlateFormat& format = plateFormats[1];
    const PlateLayout fitted = fitLayout(Plane{}.view(), format);
    EXPECT_EQ(fitted.shift, 0);
    EXPECT_EQ(fitted.scalePerMille, 1000);
    EXPECT_EQ(fitted.slantPerMille, 0);
    EXPECT_EQ(fitted.bottom - fitted.top + 1, format.charHeight);
}

TEST(FitLayout, PrefersEmptyGapsToWiderCells) {
    // Characters a little narrower than the cells: widening the cells would take
    // in no more stroke, so the fit keeps the cells on the characters.
    const PlateFormat& format = plateFormats[1];
    Plane plane;
    for (int p = 0; p < format.charCount; ++p) {
        plane.fill(format.charCentreX[static_cast<std::size_t>(p)] - 15, 20, 30, 76, 255);
    }
    const PlateLayout fitted = fitLayout(plane.view(), format);
    EXPECT_NEAR(fitted.centre(format, 3), format.charCentreX[3], 2);
    EXPECT_NEAR(fitted.centre(format, 6), format.charCentreX[6], 2);
}

// Characters that all narrow at the same rows (a row of 8s or 9s) leave a dip
// in the band, which the band spans; specks of a frame beyond a dip, and a dip
// wider than an eighth of the character height, end it.
TEST(FitLayout, SpansTheWaistOfCharactersButNotSpecksBeyondIt) {
    struct Case {
        const char* label;
        int dipFirst, dipLast;   // rows cleared from every character, inclusive
        int speckTop, speckRows; // a frame speck below the characters (0 rows: none)
        int top, bottom;         // the band expected
    };
    const Case cases[] = {
        {"waist", 60, 67, 0, 0, 20, 99},
        {"waist and speck", 60, 67, 104, 3, 20, 99},
        {"wide gap", 60, 75, 0, 0, 20, 59},
    };
    const PlateFormat& format = plateFormats[1];
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Plane plane = drawnLayout(format, {0, 1000, 0, 20, 99});
        for (int p = 0; p < format.charCount; ++p) {
            const int left = format.charCentreX[static_cast<std::size_t>(p)] - format.charWidth / 2;
            plane.fill(left, c.dipFirst, format.charWidth, c.dipLast - c.dipFirst + 1, 0);
            plane.fill(left + 4, c.speckTop, 6, c.speckRows, 255);
        }
        const PlateLayout fitted = fitLayout(plane.view(), format);
        EXPECT_EQ(fitted.top, c.top);
        EXPECT_EQ(fitted.bottom, c.bottom);
    }
}

// The stroke test pixel by pixel: brighter than its clipped neighbourhood's mean
// by more than the margin.
bool strokeAt(const Plane& plane, int x, int y) {
    int sum = 0;
    int area = 0;
    for (int v = std::max(y - strokeRadius, 0); v <= std::min(y + strokeRadius, plateHeight - 1);
         ++v) {
        for (int u = std::max(x - strokeRadius, 0); u <= std::min(x + strokeRadius, plateWidth - 1);
             ++u) {
            sum += plane.pixels[static_cast<std::size_t>(v * plateWidth + u)];
            ++area;
        }
    }
    return plane.pixels[static_cast<std::size_t>(y * plateWidth + x)] * area - sum >
           strokeMargin * area;
}

TEST(MarkStrokes, MarksWhatStandsOutFromItsNeighbourhood) {
    std::mt19937 random(19);
    std::uniform_int_distribution<int> level(0, 255);
    Plane plane;
    for (int y = 0; y < plateHeight; ++y) {
        for (int x = 0; x < plateWidth; ++x) {
            // A light gradient with noise, and a bright bar in a dark corner.
            plane.pixels[static_cast<std::size_t>(y * plateWidth + x)] =
                static_cast<std::uint8_t>(std::min(255, x / 3 + level(random) / 8));
        }
    }
    plane.fill(2, 2, 40, 50, 0);
    plane.fill(10, 5, 6, 40, 60);
    std::vector<std::uint8_t> strokes(static_cast<std::size_t>(platePixels));
    markStrokes(plane.view(), strokes);
    int marked = 0;
    for (int y = 0; y < plateHeight; ++y) {
        for (int x = 0; x < plateWidth; ++x) {
            const std::uint8_t expected = strokeAt(plane, x, y) ? 255 : 0;
            ASSERT_EQ(strokes[static_cast<std::size_t>(y * plateWidth + x)], expected)
                << x << "," << y;
            marked += expected != 0;
        }
    }
    EXPECT_EQ(strokes[static_cast<std::size_t>(20 * plateWidth + 12)],
              255); // the dim bar stands out
    EXPECT_GT(marked, 0);
    EXPECT_LT(marked, platePixels / 2);
}

TEST(SampleCut, StandardisesTheCut) {
    Plane plane;
    plane.fill(0, 0, plateWidth, plateHeight, 90);
    const CharacterCut cut{200.5f, 58, 40, 80, 0};
    for (const float v : sampleCut(plane.view(), cut)) {
        EXPECT_FLOAT_EQ(v, 0); // a flat cut stays flat, not stretched into noise
    }

    plane.fill(180, 18, 40, 80, 250); // a bright box exactly where the cut's box is
    const CharNetInput input = sampleCut(plane.view(), cut);
    float sum = 0;
    float squares = 0;
    for (const float v : input) {
        sum += v;
        squares += v * v;
    }
    EXPECT_NEAR(sum / static_cast<float>(input.size()), 0, 1e-4);
    EXPECT_NEAR(squares / static_cast<float>(input.size()), 1, 1e-3);
    // The box fills the middle boxWidth x boxHeight inputs, the margin is ground.
    const auto at = [&](int x, int y) {
        return input[static_cast<std::size_t>(y * char_net::inputWidth + x)];
    };
    const int marginX = (char_net::inputWidth - char_net::boxWidth) / 2;
    const int marginY = (char_net::inputHeight - char_net::boxHeight) / 2;
    EXPECT_GT(at(char_net::inputWidth / 2, char_net::inputHeight / 2), 0);
    EXPECT_GT(at(marginX + 1, marginY + 1), 0);
    EXPECT_LT(at(marginX - 2, char_net::inputHeight / 2), 0);
    EXPECT_LT(at(char_net::inputWidth / 2, marginY - 2), 0);
    EXPECT_LT(at(char_net::inputWidth - marginX + 1, char_net::inputHeight - marginY + 1), 0);
}

TEST(SampleCut, FollowsTheSlantAndReadsTheEdgeBeyondThePlane) {
    Plane plane;
    // A slanted bar: one column further right every four rows.
    for (int y = 0; y < plateHeight; ++y) {
        plane.fill(100 + (y - 58) / 4, y, 6, 1, 255);
    }
    const CharacterCut upright{103.5f, 58, 40, 80, 0};
    const CharacterCut slanted{103.5f, 58, 40, 80, 0.25f};
    const auto column = [](const CharNetInput& input, int x) {
        float sum = 0;
        for (int y = 0; y < char_net::inputHeight; ++y) {
            sum += input[static_cast<std::size_t>(y * char_net::inputWidth + x)];
        }
        return sum;
    };
    const CharNetInput straightened = sampleCut(plane.view(), slanted);
    const CharNetInput leaning = sampleCut(plane.view(), upright);
    // Along the slant the bar stays in the middle columns on every row.
    for (int y = 0; y < char_net::inputHeight; ++y) {
        EXPECT_GT(straightened[static_cast<std::size_t>(y * char_net::inputWidth +
                                                        char_net::inputWidth / 2)],
                  0)
            << y;
    }
    EXPECT_GT(column(straightened, char_net::inputWidth / 2),
              column(leaning, char_net::inputWidth / 2));

    // A cut reaching past the plate's left edge reads the edge column there.
    plane.fill(0, 0, 2, plateHeight, 200);
    const CharNetInput edge = sampleCut(plane.view(), CharacterCut{0.5f, 58, 40, 80, 0});
    EXPECT_GT(edge[static_cast<std::size_t>(char_net::inputHeight / 2 * char_net::inputWidth)], 0);
}

} // namespace
