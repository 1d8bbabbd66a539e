#include "engine/find/corner_fit.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

using namespace kavro;

namespace {

using Colour = std::array<std::uint8_t, 3>; // blue, green, red

constexpr Colour plateBlue{168, 62, 12};
constexpr Colour rimWhite{244, 242, 240};
constexpr Colour darkRed{20, 20, 110};
constexpr int pictureWidth = 240;
constexpr int pictureHeight = 140;
constexpr int subsamples = 4; // per pixel and direction, for anti-aliased edges

// A plate `width` x `height` pixels centred at (cx, cy), turned by `degrees`,
// clockwise from the top left; `inset` pixels smaller on every side.
Quad<double> plateQuad(double cx, double cy, double width, double height, double degrees,
                       double inset = 0) {
    const double a = degrees * std::acos(-1.0) / 180;
    const double hw = width / 2 - inset;
    const double hh = height / 2 - inset;
    const auto corner = [&](double u, double v) {
        return Point<double>{cx + u * std::cos(a) - v * std::sin(a),
                             cy + u * std::sin(a) + v * std::cos(a)};
    };
    return {{{corner(-hw, -hh), corner(hw, -hh), corner(hw, hh), corner(-hw, hh)}}};
}

bool insideQuad(const Quad<double>& quad, double x, double y) {
    for (std::size_t i = 0; i < quadCornerCount; ++i) {
        const Point<double>& a = quad.corners[i];
        const Point<double>& b = quad.corners[(i + 1) % quadCornerCount];
        if ((b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x) < 0) {
            return false;
        }
    }
    return true;
}

// A picture of one colour on which quadrilaterals are painted with
// anti-aliased edges; pixel (x, y) covers x .. x + 1 and y .. y + 1.
struct TestPicture {
    std::vector<std::uint8_t> bytes;

    explicit TestPicture(const Colour& background)
        : bytes(static_cast<std::size_t>(pictureWidth) * pictureHeight * 3) {
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = background[i % 3];
        }
    }

    void paint(const Quad<double>& quad, const Colour& colour) {
        for (int y = 0; y < pictureHeight; ++y) {
            for (int x = 0; x < pictureWidth; ++x) {
                int covered = 0;
                for (int sy = 0; sy < subsamples; ++sy) {
                    for (int sx = 0; sx < subsamples; ++sx) {
                        covered += insideQuad(quad, x + (sx + 0.5) / subsamples,
                                              y + (sy + 0.5) / subsamples);
                    }
                }
                std::uint8_t* pixel = &bytes[offsetOf(x, y)];
                for (std::size_t c = 0; c < 3; ++c) {
                    pixel[c] = static_cast<std::uint8_t>(
                        (pixel[c] * (subsamples * subsamples - covered) + colour[c] * covered) /
                        (subsamples * subsamples));
                }
            }
        }
    }

    static std::size_t offsetOf(int x, int y) {
        return (static_cast<std::size_t>(y) * pictureWidth + x) * 3;
    }

    PicturePixels pixels() const {
        return PicturePixels::packed(bytes, pictureWidth, pictureHeight);
    }
};

// The plate's centre, width and height in pixels, and its turn in degrees.
struct PlatePlace {
    double cx = 120, cy = 70, width = 126, height = 40, degrees = 0;

    // The plate, or a rectangle `inset` pixels inside its edge all round.
    Quad<double> quad(double inset = 0) const {
        return plateQuad(cx, cy, width, height, degrees, inset);
    }
    // A character `along` pixels right of the centre, as plates draw them.
    Quad<double> character(double along) const {
        const double a = degrees * std::acos(-1.0) / 180;
        return plateQuad(cx + along * std::cos(a), cy + along * std::sin(a), 0.32 * height,
                         0.64 * height, degrees);
    }
};

// A plate's face: its colour, and a rim line in the characters' colour
// `margin` pixels inside its edge.
struct PlateFace {
    Colour plate;
    Colour ink;
    double margin;
    double rimWidth;
};

constexpr PlateFace blueFace{plateBlue, rimWhite, 2.5, 1};

// A plate with its rim line and two characters close to its ends, on `surround`.
TestPicture platePicture(const PlatePlace& place, const Colour& surround,
                         const PlateFace& face = blueFace) {
    TestPicture picture(surround);
    picture.paint(place.quad(), face.plate);
    picture.paint(place.quad(face.margin), face.ink);
    picture.paint(place.quad(face.margin + face.rimWidth), face.plate);
    const double firstCharacter = place.width / 2 - 0.085 * place.height - 0.16 * place.height;
    picture.paint(place.character(-firstCharacter), face.ink);
    picture.paint(place.character(firstCharacter), face.ink);
    return picture;
}

double worstCorner(const Quad<double>& a, const Quad<double>& b) {
    double worst = 0;
    for (std::size_t i = 0; i < quadCornerCount; ++i) {
        worst = std::max(
            worst, std::hypot(a.corners[i].x - b.corners[i].x, a.corners[i].y - b.corners[i].y));
    }
    return worst;
}

struct FitCase {
    const char* name;
    double degrees;
    double startInset; // of the quadrilateral handed in: positive inside the edge
};

// Whether the finder's quadrilateral lies on the rim, inside it or outside the
// plate, the fit brings every corner onto the plate's outer edge.
TEST(CornerFit, MovesEverySideOntoThePlatesOuterEdge) {
    const FitCase cases[] = {
        {"level, on the rim", 0, 3},    {"level, outside", 0, -3},
        {"turned, on the rim", 6, 3},   {"turned the other way, inside", -4, 2},
        {"level, already right", 0, 0},
    };
    for (const FitCase& c : cases) {
        const PlatePlace place{.degrees = c.degrees};
        const TestPicture picture = platePicture(place, darkRed);
        const Quad<double> start = place.quad(c.startInset);
        EXPECT_LE(worstCorner(fitPlateCorners(picture.pixels(), start), place.quad()), 0.5)
            << c.name;
    }
}

// The finder often misplaces one corner, so that a short side leans against
// the plate's: the fit turns the side onto the edge.
TEST(CornerFit, TurnsALeaningSideOntoTheEdge) {
    const PlatePlace place{.degrees = 2};
    const TestPicture picture = platePicture(place, darkRed);
    Quad<double> start = place.quad();
    start.corners[quadTopLeft].x += 2.5; // the left side leans by 0.125
    start.corners[quadBottomLeft].x -= 2.5;
    EXPECT_LE(worstCorner(fitPlateCorners(picture.pixels(), start), place.quad()), 0.5);
}

// A white plate whose margin outside a black rim line is hardly a pixel wide,
// on grey: no pixel shows the margin's white, and walking in reaches half the
// contrast only inside the rim, 1.8 pixels in. The fit finds the faint margin.
TEST(CornerFit, FindsTheThinMarginOutsideADarkRim) {
    constexpr Colour plateWhite{236, 236, 236};
    constexpr Colour grey{140, 140, 140};
    constexpr Colour black{20, 20, 20};
    constexpr PlateFace policeFace{plateWhite, black, 1.0, 0.8};
    constexpr double marginTolerance = 1.25; // the margin's blurred flank
    for (const double degrees : {0.0, 3.0}) {
        // Edges half way across pixels: no pixel is all margin.
        const PlatePlace place{.cx = 120.5, .cy = 70.5, .degrees = degrees};
        const TestPicture picture = platePicture(place, grey, policeFace);
        EXPECT_LE(worstCorner(fitPlateCorners(picture.pixels(), place.quad(2)), place.quad()),
                  marginTolerance)
            << degrees << " degrees";
    }
}

// A plate on a surround of its own colour shows no edge: the corners stay.
TEST(CornerFit, KeepsTheCornersWhereNoEdgeShows) {
    const PlatePlace place{.degrees = 3};
    const TestPicture picture = platePicture(place, plateBlue);
    const Quad<double> start = place.quad(3);
    EXPECT_LE(worstCorner(fitPlateCorners(picture.pixels(), start), start), 1e-9);
}

// A side whose surround matches the plate stays where it was while the others move.
TEST(CornerFit, ASideWithoutEvidenceStaysOnItsLine) {
    const PlatePlace place;
    const Quad<double> truth = place.quad();
    TestPicture picture = platePicture(place, darkRed);
    picture.paint(plateQuad(203, 70, 40, 80, 0), plateBlue); // along the right side
    const Quad<double> start = place.quad(3);
    const Quad<double> fitted = fitPlateCorners(picture.pixels(), start);
    EXPECT_NEAR(fitted[quadTopRight].x, start[quadTopRight].x, 1e-9);
    EXPECT_NEAR(fitted[quadBottomRight].x, start[quadBottomRight].x, 1e-9);
    EXPECT_NEAR(fitted[quadTopLeft].x, truth[quadTopLeft].x, 0.5);
    EXPECT_NEAR(fitted[quadTopLeft].y, truth[quadTopLeft].y, 0.5);
    EXPECT_NEAR(fitted[quadBottomRight].y, truth[quadBottomRight].y, 0.5);
}

// Quadrilaterals the fit cannot work on come back as they were: corners out
// of order, a plate running off the picture, no picture at all.
TEST(CornerFit, LeavesWhatItCannotFitAlone) {
    const PlatePlace place;
    const TestPicture picture = platePicture(place, darkRed);
    const Quad<double> level = place.quad(3);
    const Quad<double> anticlockwise{
        {{level[quadTopLeft], level[quadBottomLeft], level[quadBottomRight], level[quadTopRight]}}};
    EXPECT_EQ(fitPlateCorners(picture.pixels(), anticlockwise), anticlockwise);
    const Quad<double> offPicture = plateQuad(120, 70, 400, 200, 0);
    EXPECT_EQ(fitPlateCorners(picture.pixels(), offPicture), offPicture);
    EXPECT_EQ(fitPlateCorners(PicturePixels{}, level), level);
}

} // namespace
