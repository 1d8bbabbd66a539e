#include "engine/find/plate_candidates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

using namespace kavro;

namespace {

using Bgr = std::array<std::uint8_t, 3>;

struct Picture {
    int width, height;
    std::vector<std::uint8_t> pixels;

    Picture(int w, int h, Bgr colour) : width(w), height(h) {
        for (int i = 0; i < w * h; ++i) {
            pixels.insert(pixels.end(), colour.begin(), colour.end());
        }
    }
    void fill(int x0, int y0, int x1, int y1, Bgr colour) {
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                std::copy(colour.begin(), colour.end(),
                          pixels.begin() + (static_cast<std::ptrdiff_t>(y) * width + x) * 3);
            }
        }
    }
    PicturePixels view() const { return PicturePixels::packed(pixels, width, height); }
};

const Bgr grey{120, 120, 120};
const Bgr plateBlue{150, 40, 20};
const Bgr white{240, 240, 240};

// A plate `plateWidth` wide at (left, top), blue unless told: seven characters
// of two strokes each, a character's height 0.64 of the plate's.
void drawPlate(Picture& picture, int left, int top, int plateWidth, Bgr background = plateBlue) {
    const int height = plateWidth * 140 / 440;
    picture.fill(left, top, left + plateWidth, top + height, background);
    const int charHeight = height * 64 / 100;
    const int charTop = top + (height - charHeight) / 2;
    const int pitch = plateWidth * 51 / 384;
    const int stroke = std::max(2, plateWidth / 50);
    for (int c = 0; c < 7; ++c) {
        const int x = left + plateWidth * 12 / 384 + c * pitch + (c >= 2 ? pitch / 3 : 0);
        picture.fill(x, charTop, x + stroke, charTop + charHeight, white);
        picture.fill(x + pitch / 2, charTop, x + pitch / 2 + stroke, charTop + charHeight, white);
    }
}

bool covers(const PlateCandidate& c, int x, int y) {
    return x >= c.left && x < c.right && y >= c.top && y < c.bottom;
}

// Plates from 60 to 600 pixels wide, in pictures up to 4,000 wide (averaged
// down above 2,048): the first candidate covers the plate, at least the half of
// it beyond the separator gap, and is not much wider.
TEST(PlateCandidates, APlateIsTheStrongestCandidateOfAPlainPicture) {
    const struct {
        int pictureWidth, plateWidth;
    } cases[] = {{400, 60}, {640, 120}, {1920, 120}, {1920, 400}, {4000, 200}, {4000, 600}};
    for (const auto& c : cases) {
        Picture picture(c.pictureWidth, c.pictureWidth * 3 / 4, grey);
        const int left = c.pictureWidth / 3;
        const int top = c.pictureWidth / 5;
        drawPlate(picture, left, top, c.plateWidth);
        const std::vector<PlateCandidate> found = findPlateCandidates(picture.view());
        ASSERT_FALSE(found.empty()) << c.pictureWidth << " " << c.plateWidth;
        const PlateCandidate& first = found.front();
        EXPECT_TRUE(covers(first, left + c.plateWidth / 2, top + c.plateWidth * 140 / 880))
            << c.pictureWidth << " " << c.plateWidth;
        EXPECT_GT(first.width() * 2, c.plateWidth) << c.plateWidth;
        EXPECT_LT(first.width() * 10, c.plateWidth * 13) << c.plateWidth;
        EXPECT_GT(first.colourPercent, 30);
    }
}

// The colours of plates count towards a candidate, those of leaves and walls do not.
TEST(PlateCandidates, PlateColoursAreTold) {
    const struct {
        const char* name;
        Bgr background;
        bool plate;
    } cases[] = {{"blue", plateBlue, true},
                 {"yellow", {30, 190, 230}, true},
                 {"yellow under warm light", {30, 140, 200}, true},
                 {"brick", {60, 90, 170}, false},
                 {"new-energy green", {145, 255, 140}, true},
                 {"leaf green", {40, 150, 90}, false},
                 {"grey", {90, 90, 90}, false}};
    for (const auto& c : cases) {
        Picture picture(640, 480, grey);
        drawPlate(picture, 200, 200, 200, c.background);
        const std::vector<PlateCandidate> found = findPlateCandidates(picture.view());
        ASSERT_FALSE(found.empty()) << c.name;
        EXPECT_EQ(found.front().colourPercent > 30, c.plate) << c.name;
    }
}

// Vertical bars twice as dense as the characters' strokes, a plate's height
// high, just above and below it.
void drawGrilles(Picture& picture, int left, int top, int plateWidth) {
    const int height = plateWidth * 140 / 440;
    const int bar = std::max(2, plateWidth / 100);
    const int period = plateWidth * 51 / 1024;
    for (const int y : {top - height - 2, top + height + 2}) {
        for (int x = left; x + bar <= left + plateWidth; x += period) {
            picture.fill(x, y, x + bar, y + height, white);
        }
    }
}

// A grille above and below a plate makes its rows no calmer than theirs: a line
// of plate colour is still a candidate, one of grey is not.
TEST(PlateCandidates, APlateBetweenGrillesIsACandidateByItsColour) {
    for (const bool blue : {true, false}) {
        Picture picture(800, 600, grey);
        const int left = 250, top = 250, plateWidth = 220;
        drawPlate(picture, left, top, plateWidth);
        if (!blue) {
            picture.fill(left, top, left + plateWidth, top + 4, grey); // keeps the plate's rim
            for (int y = top; y < top + plateWidth * 140 / 440; ++y) {
                for (int x = left; x < left + plateWidth; ++x) {
                    std::uint8_t* pixel =
                        &picture.pixels[(static_cast<std::size_t>(y) * 800 + x) * 3];
                    if (Bgr{pixel[0], pixel[1], pixel[2]} == plateBlue) {
                        std::copy(grey.begin(), grey.end(), pixel);
                    }
                }
            }
        }
        drawGrilles(picture, left, top, plateWidth);
        const std::vector<PlateCandidate> found = findPlateCandidates(picture.view());
        const bool onPlate = std::any_of(found.begin(), found.end(), [&](const PlateCandidate& c) {
            return covers(c, left + plateWidth / 2, top + plateWidth * 140 / 880);
        });
        EXPECT_EQ(onPlate, blue) << (blue ? "blue" : "grey");
    }
}

// Tiles repeat in every direction: no row of them stands out from its neighbours.
TEST(PlateCandidates, TiledPatternsAndPlainPicturesGiveNone) {
    EXPECT_TRUE(findPlateCandidates(Picture(640, 480, grey).view()).empty());
    for (const int tile : {6, 11, 24}) {
        Picture tiles(640, 480, grey);
        for (int y = 0; y < 480; y += tile) {
            for (int x = (y / tile) % 2 * tile; x < 640; x += 2 * tile) {
                tiles.fill(x, y, std::min(x + tile, 640), std::min(y + tile, 480), white);
            }
        }
        EXPECT_TRUE(findPlateCandidates(tiles.view()).empty()) << tile;
    }
}

} // namespace
