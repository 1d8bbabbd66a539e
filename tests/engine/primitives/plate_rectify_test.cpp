#include "engine/context/recognition_context.h"
#include "engine/primitives/plate_edges.h"
#include "engine/primitives/plate_rectify.h"
#include "engine/recognise/recognition_result.h"

#include "support/test_plane.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace kavro;

namespace {

constexpr int threshold = 128;

CharBox boxAt(int centreX, int centreY, int width, int height) {
    CharBox box;
    synthesiseBox(box, centreX, centreY, width, height);
    return box;
}

std::vector<int> xs(const std::vector<EdgePoint>& points) {
    std::vector<int> out;
    for (const EdgePoint& p : points) {
        out.push_back(p.x);
    }
    return out;
}

std::vector<int> ys(const std::vector<EdgePoint>& points) {
    std::vector<int> out;
    for (const EdgePoint& p : points) {
        out.push_back(p.y);
    }
    return out;
}

// A character (x 90..109, y 40..79) on a dark plate whose bright frame is the
// row `frameRow`.
TestPlane plateAbove(int frameRow) {
    TestPlane plane(200, 140);
    plane.fill(0, frameRow, 199, frameRow);
    plane.fill(90, 40, 109, 79);
    return plane;
}

const CharBox character = boxAt(100, 60, 20, 40);

TEST(TopEdgePoints, FindTheBrightRowAboveTheDarkBackground) {
    std::vector<EdgePoint> points;
    ASSERT_EQ(topEdgePoints(plateAbove(25).view(), threshold, character, points), 22);
    EXPECT_EQ(points.front().x, 89); // from centreX - 9 * width / 16 ...
    EXPECT_EQ(points.back().x, 110); // ... over width + width / 8 columns
    EXPECT_EQ(ys(points), std::vector<int>(22, 25));
}

TEST(TopEdgePoints, BudgetOfHalfTheHeightThenASecondPassFromAbove) {
    std::vector<EdgePoint> points;
    // From row 40 the frame at row 21 is 19 moves away.
    EXPECT_EQ(topEdgePoints(plateAbove(21).view(), threshold, character, points), 22);
    EXPECT_EQ(points.front().y, 21);
    // At row 20 it is the 20th move, whose pixel is not tested; the second
    // pass, starting at row 20, finds it.
    points.clear();
    EXPECT_EQ(topEdgePoints(plateAbove(20).view(), threshold, character, points), 22);
    EXPECT_EQ(points.front().y, 20);
    // Neither pass reaches a frame at row 15.
    points.clear();
    EXPECT_EQ(topEdgePoints(plateAbove(15).view(), threshold, character, points), 0);
}

TEST(BottomEdgePoints, AppendToTheList) {
    TestPlane plane = plateAbove(25);
    plane.fill(0, 95, 199, 95);
    std::vector<EdgePoint> points(3, EdgePoint{1, 1, 0});
    ASSERT_EQ(bottomEdgePoints(plane.view(), threshold, character, points), 22);
    ASSERT_EQ(points.size(), 25u);
    EXPECT_EQ(points[3].y, 95);
}

TEST(EdgeScans, StopAtThePlanesEdgeWithoutAPoint) {
    TestPlane plane(200, 140);
    plane.fill(90, 0, 109, 30);
    const CharBox nearTop = boxAt(100, 15, 20, 40); // scans start above row 0
    std::vector<EdgePoint> points;
    EXPECT_EQ(topEdgePoints(plane.view(), threshold, nearTop, points), 0);
    const CharBox nearLeft = boxAt(5, 60, 20, 40);
    EXPECT_EQ(leftEdgePoints(plane.view(), threshold, 0, nearLeft, points), 0);
}

// A character (x 90..109, y 40..79) right of a bright plate border at column 80.
TestPlane plateRightOf(int borderX) {
    TestPlane plane(200, 140);
    plane.fill(borderX, 0, borderX, 139);
    plane.fill(90, 40, 109, 79);
    return plane;
}

TEST(LeftEdgePoints, OnePointPerRowWithoutAProfile) {
    std::vector<EdgePoint> points;
    ASSERT_EQ(leftEdgePoints(plateRightOf(80).view(), threshold, 0, character, points), 40);
    EXPECT_EQ(xs(points), std::vector<int>(40, 80));
    EXPECT_EQ(points.front().y, character.bottom.y);
}

TEST(LeftEdgePoints, FollowTheProfile) {
    CharBox box = character;
    for (int y = 45; y < 55; ++y) {
        box.leftProfile.push_back({90, static_cast<std::int16_t>(y), 0});
    }
    std::vector<EdgePoint> points;
    ASSERT_EQ(leftEdgePoints(plateRightOf(70).view(), threshold, 0, box, points), 10);
    EXPECT_EQ(xs(points), std::vector<int>(10, 70));
    EXPECT_EQ(points.front().y, 45);
    // Beyond width + width / 4 moves the border is not reached.
    EXPECT_EQ(leftEdgePoints(plateRightOf(65).view(), threshold, 0, box, points), 0);
}

TEST(RightEdgePoints, FewerThanThreePointsCountAsNone) {
    TestPlane plane(200, 140);
    plane.fill(90, 40, 109, 79);
    plane.fill(120, 40, 120, 41); // border beside two rows only
    std::vector<EdgePoint> points;
    EXPECT_EQ(rightEdgePoints(plane.view(), threshold, 0, character, points), 0);
    EXPECT_TRUE(points.empty());
    plane.fill(120, 40, 120, 42);
    EXPECT_EQ(rightEdgePoints(plane.view(), threshold, 0, character, points), 3);
}

// A 512 x 256 picture: light grey with a dark blue plate (x plateLeft..405,
// y plateTop..194) holding seven white characters 20 x 50 centred on row 150.
struct PlateScene {
    static constexpr std::array<int, 7> centres = {130, 170, 225, 265, 305, 345, 385};
    std::unique_ptr<RecognitionContext> context = std::make_unique<RecognitionContext>();
    std::vector<CharBox> boxes;

    explicit PlateScene(int plateTop, int plateLeft = 106) {
        std::vector<std::uint8_t> pixels(512 * 256 * 3, 200);
        const auto paint = [&](int x0, int y0, int x1, int y1, std::array<std::uint8_t, 3> bgr) {
            for (int y = y0; y <= y1; ++y) {
                for (int x = x0; x <= x1; ++x) {
                    std::copy(bgr.begin(), bgr.end(), pixels.begin() + (y * 512 + x) * 3);
                }
            }
        };
        paint(plateLeft, plateTop, 405, 194, {150, 40, 20});
        for (const int x : centres) {
            paint(x - 10, 125, x + 9, 174, {255, 255, 255});
            boxes.push_back(boxAt(x, 150, 20, 50));
        }
        context->prepareImage(pixels, 512, 256, false);
    }

    // Colour (blue, green, red) of a pixel of a rectified plate slot.
    std::array<int, 3> plateColour(int slot, int u, int v) const {
        const std::uint8_t* p =
            context->plateImages[static_cast<std::size_t>(slot)].get() + (v * plateWidth + u) * 3;
        return {p[0], p[1], p[2]};
    }
};

const std::array<int, 3> plateBlue = {150, 40, 20};
const std::array<int, 3> grey = {200, 200, 200};

// Within a few levels in every channel: the warp interpolates at the borders.
bool near(const std::array<int, 3>& colour, const std::array<int, 3>& expected) {
    for (std::size_t i = 0; i < colour.size(); ++i) {
        if (std::abs(colour[i] - expected[i]) > 4) {
            return false;
        }
    }
    return true;
}

TEST(RectifyPlate, WarpsThePlateInsideItsBorders) {
    PlateScene scene(105);
    const RecognitionResult result{};
    ASSERT_EQ(rectifyPlate(1, scene.boxes, *scene.context, result), 1);
    // The borders are the bright pixels just outside the plate.
    EXPECT_TRUE(near(scene.plateColour(0, 0, 0), grey));
    EXPECT_TRUE(near(scene.plateColour(0, 383, 115), grey));
    EXPECT_EQ(scene.plateColour(0, 3, 3), plateBlue);
    EXPECT_EQ(scene.plateColour(0, 380, 112), plateBlue);
}

TEST(RectifyPlate, ReplacesAnUnfoundTopBorderByTheCentreLineRaised) {
    // The plate's top lies beyond the scans' reach: the top border becomes
    // row 150 - (5 * 50) / 8 = 119, inside the plate.
    PlateScene scene(60);
    const RecognitionResult result{};
    ASSERT_EQ(rectifyPlate(1, scene.boxes, *scene.context, result), 1);
    EXPECT_EQ(scene.plateColour(0, 192, 0), plateBlue);
}

TEST(RectifyPlate, WritesTheSlotOfTheNextPlate) {
    PlateScene scene(105);
    std::fill_n(scene.context->plateImages[0].get(), plateWidth * plateHeight * 3, 7);
    RecognitionResult result{};
    result.count = 1;
    ASSERT_EQ(rectifyPlate(1, scene.boxes, *scene.context, result), 1);
    EXPECT_EQ(scene.plateColour(0, 3, 3), (std::array<int, 3>{7, 7, 7}));
    EXPECT_EQ(scene.plateColour(1, 3, 3), plateBlue);
    result.count = 2; // no slot left
    EXPECT_EQ(rectifyPlate(1, scene.boxes, *scene.context, result), 0);
}

TEST(RectifyPlate, RejectsAPlateWithoutALeftBorder) {
    // The plate's left side lies beyond the reach of the left scans.
    PlateScene scene(105, 20);
    EXPECT_EQ(rectifyPlate(1, scene.boxes, *scene.context, RecognitionResult{}), 0);
}

// The plate's corners lie on its borders (the bright pixels just outside it), in
// pixels of the picture the planes were prepared from, also when that is a window of a
// larger picture.
TEST(RectifyPlate, KeepsTheCornersInPicturePixels) {
    PlateScene scene(105);
    ASSERT_EQ(rectifyPlate(1, scene.boxes, *scene.context, RecognitionResult{}), 1);
    const Quad<double> corners = scene.context->plateCorners[0];
    const Quad<double> borders{{{{105, 104}, {406, 104}, {406, 195}, {105, 195}}}};
    for (std::size_t c = 0; c < quadCornerCount; ++c) {
        EXPECT_NEAR(corners.corners[c].x, borders.corners[c].x, 1.5) << c;
        EXPECT_NEAR(corners.corners[c].y, borders.corners[c].y, 1.5) << c;
    }

    // The same picture inside a larger one, seen through a window around it.
    constexpr int left = 300;
    constexpr int top = 100;
    constexpr int wideWidth = 1024;
    std::vector<std::uint8_t> wide(std::size_t{3} * wideWidth * 512, 90);
    const std::uint8_t* scenePixels = scene.context->sourceImage.get();
    for (int y = 0; y < 256; ++y) {
        std::copy_n(scenePixels + y * 512 * 3, 512 * 3,
                    wide.begin() + ((top + y) * wideWidth + left) * 3);
    }
    RecognitionContext picture;
    picture.prepareImage(wide, wideWidth, 512, false);
    RecognitionContext view;
    view.prepareView(picture, {left, top, 512, 256});
    ASSERT_EQ(rectifyPlate(1, scene.boxes, view, RecognitionResult{}), 1);
    for (std::size_t c = 0; c < quadCornerCount; ++c) {
        EXPECT_DOUBLE_EQ(view.plateCorners[0].corners[c].x, corners.corners[c].x + left) << c;
        EXPECT_DOUBLE_EQ(view.plateCorners[0].corners[c].y, corners.corners[c].y + top) << c;
    }
    EXPECT_TRUE(std::equal(view.plateImages[0].get(), view.plateImages[0].get() + warpImageBytes,
                           scene.context->plateImages[0].get()));
}

} // namespace
