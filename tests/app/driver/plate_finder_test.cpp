// End to end through the plate finder: drawn scenes of every plate kind at the
// sizes, light, blur and angles of real photographs, plates near the top and
// plates small in large pictures, and streets without plates.

#include "app/driver/plate_text.h"
#include "app/driver/recognition_driver.h"
#include "engine/context/edge_plane.h"
#include "engine/context/recognition_context.h"
#include "engine/find/plate_merge.h"
#include "engine/find/row_search.h"
#include "support/scene_context.h"
#include "tools/scenegen/scene.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using namespace kavro;

namespace {

constexpr double sameShare = 0.5; // a found plate covering half the true one is that plate

// The picture of a scene as a prepared context, searched by the finder.
struct FinderRun {
    std::unique_ptr<RecognitionContext> context;
    RecognitionResult result{};
    FoundPlates plates;

    explicit FinderRun(const Scene& scene) : context(searchableContext(scene)) {
        plates = findPlates(*context, result);
    }
};

Quad<double> quadOf(const PlateTruth& truth) {
    const auto point = [&](PlateCorner c) {
        return Point<double>{truth.corners[c].x(), truth.corners[c].y()};
    };
    return {{point(topLeft), point(topRight), point(bottomRight), point(bottomLeft)}};
}

// The found plates lying on the true plate.
std::vector<const FoundPlate*> platesOn(const FoundPlates& plates, const PlateTruth& truth) {
    std::vector<const FoundPlate*> on;
    for (const FoundPlate& plate : plates) {
        if (overlapShare(plate.corners, quadOf(truth)) >= sameShare) {
            on.push_back(&plate);
        }
    }
    return on;
}

bool readExactly(const FoundPlates& plates, const PlateTruth& truth) {
    for (const FoundPlate* plate : platesOn(plates, truth)) {
        if (plateNumberText(*plate) == truth.text) {
            return true;
        }
    }
    return false;
}

struct Tally {
    int plates = 0;
    int found = 0;
    int exact = 0;
    int elsewhere = 0; // found plates on no true plate

    void add(const Scene& scene, const FoundPlates& plates) {
        for (const PlateTruth& truth : scene.plates) {
            ++this->plates;
            found += platesOn(plates, truth).empty() ? 0 : 1;
            exact += readExactly(plates, truth) ? 1 : 0;
        }
        for (const FoundPlate& plate : plates) {
            bool onTruth = false;
            for (const PlateTruth& truth : scene.plates) {
                onTruth = onTruth || overlapShare(plate.corners, quadOf(truth)) >= sameShare;
            }
            elsewhere += onTruth ? 0 : 1;
        }
    }
};

SceneOptions realScenes(std::vector<int> formats, QSize size, double minWidth, double maxWidth) {
    SceneOptions options;
    options.formats = std::move(formats);
    options.difficulty = Difficulty::real;
    options.pictureSize = size;
    options.minPlateWidth = minWidth;
    options.maxPlateWidth = maxWidth;
    return options;
}

struct KindCase {
    int format;
    int minFound; // of 40
    int minExact;
};

class EveryKind : public testing::TestWithParam<KindCase> {};

// Forty pictures per kind, 400 to 1,600 pixels wide, plates from 60 pixels to a
// third of the width, in the light, blur and angles of real photographs (the
// larger pictures have tests of their own below: they take long to draw).
// Reached with the trained reader: found 39, 38, 40, 38, 39 and read exactly
// 37, 36, 40, 35, 37 of 40 (blue, yellow, dump truck, green, police). Missed
// are mostly plates under 80 pixels blurred into their surround; misread are
// province characters blurred past reading and one green plate read as a
// seven-character one under warm light.
TEST_P(EveryKind, FoundAndReadInScenesLikeRealPhotographs) {
    constexpr std::array<int, 6> widths = {400, 640, 800, 1024, 1280, 1600};
    constexpr int pictures = 40;
    const KindCase& kind = GetParam();
    Tally tally;
    for (int i = 0; i < pictures; ++i) {
        const int width = widths[static_cast<std::size_t>(i) % widths.size()];
        const Scene scene = drawScene(2000 + static_cast<std::uint32_t>(i),
                                      realScenes({kind.format}, QSize(width, width * 3 / 4), 60,
                                                 std::min(400.0, 0.35 * width)));
        tally.add(scene, FinderRun(scene).plates);
    }
    RecordProperty("found", tally.found);
    RecordProperty("exact", tally.exact);
    EXPECT_GE(tally.found, kind.minFound);
    EXPECT_GE(tally.exact, kind.minExact);
    EXPECT_LE(tally.elsewhere, 1);
}

INSTANTIATE_TEST_SUITE_P(Kinds, EveryKind,
                         testing::Values(KindCase{1, 39, 37}, KindCase{2, 38, 36},
                                         KindCase{4, 40, 40}, KindCase{5, 38, 35},
                                         KindCase{7, 39, 37}),
                         [](const testing::TestParamInfo<KindCase>& info) {
                             return "format" + std::to_string(info.param.format);
                         });

// Streets with signs, lettering, building windows and foliage but no plate.
TEST(PlateFinder, NoPlateInPicturesWithoutPlates) {
    for (std::uint32_t seed = 3000; seed < 3012; ++seed) {
        SceneOptions options = realScenes({1, 2, 4, 5, 7}, QSize(1280, 960), 0, 0);
        options.plateCount = 0;
        EXPECT_TRUE(FinderRun(drawScene(seed, options)).plates.empty()) << seed;
    }
}

// The whole-picture search neither reaches the top third nor reads a plate
// 120 pixels wide in 1,920 (32 working pixels): the views do. White police
// plates, without a plate colour to single them out, are missed most.
TEST(PlateFinder, APlateNearTheTopOfAFullHdPicture) {
    Tally tally;
    for (std::uint32_t seed = 3100; seed < 3108; ++seed) {
        SceneOptions options = realScenes({1, 2, 7}, QSize(1920, 1080), 110, 130);
        options.placement = Placement::top;
        const Scene scene = drawScene(seed, options);
        tally.add(scene, FinderRun(scene).plates);
    }
    EXPECT_GE(tally.found, 6); // reached: 6 of 8
    EXPECT_GE(tally.exact, 6); // reached: 6
    EXPECT_EQ(tally.elsewhere, 0);
}

// Two plates of different kinds, 90 to 380 pixels wide, anywhere in a 3,000
// pixel picture: both found, and listed each once.
TEST(PlateFinder, TwoPlatesOfDifferentKindsAndScalesInALargePicture) {
    int scenes = 0;
    Tally tally;
    for (std::uint32_t seed = 3300; scenes < 3; ++seed) {
        SceneOptions options = realScenes({1, 2, 5}, QSize(3000, 2000), 90, 380);
        options.plateCount = 2;
        options.placement = Placement::anywhere;
        const Scene scene = drawScene(seed, options);
        if (scene.plates[0].formatIndex == scene.plates[1].formatIndex) {
            continue;
        }
        ++scenes;
        const FinderRun run(scene);
        tally.add(scene, run.plates);
        for (const PlateTruth& truth : scene.plates) {
            EXPECT_LE(platesOn(run.plates, truth).size(), 1u) << seed;
        }
    }
    EXPECT_EQ(tally.found, 2 * scenes);
    EXPECT_EQ(tally.exact, 2 * scenes);
    EXPECT_EQ(tally.elsewhere, 0);
}

// Plates 60 to 90 pixels wide in 400 x 300 pictures: enlarged beyond the working
// width they come out 77 to 115 pixels wide; views enlarge them further.
TEST(PlateFinder, SmallPlatesInASmallPicture) {
    Tally tally;
    for (std::uint32_t seed = 3200; seed < 3220; ++seed) {
        SceneOptions options = realScenes({1, 2, 4, 5, 7}, QSize(400, 300), 60, 90);
        options.difficulty = Difficulty::normal;
        const Scene scene = drawScene(seed, options);
        tally.add(scene, FinderRun(scene).plates);
    }
    EXPECT_GE(tally.found, 19); // reached: 19 of 20
    EXPECT_EQ(tally.elsewhere, 0);
}

// A plate searched in two overlapping windows is read in each and reported once,
// with the corners of the reading kept.
TEST(PlateFinder, APlateSeenInOverlappingWindowsIsReportedOnce) {
    SceneOptions options;
    options.formats = {1};
    options.difficulty = Difficulty::easy;
    options.pictureSize = QSize(1280, 960);
    options.minPlateWidth = 200;
    options.maxPlateWidth = 220;
    const Scene scene = drawScene(3400, options);
    const FinderRun whole(scene);
    const PlateTruth& truth = scene.plates.front();
    const Point<double> centre = centreOf(quadOf(truth));
    FoundPlates found;
    RecognitionContext view;
    for (const int shift : {-120, 80}) {
        const PictureWindow window{static_cast<int>(centre.x) - 330 + shift,
                                   static_cast<int>(centre.y) - 125, 660, 250};
        view.prepareView(*whole.context, window);
        computeEdgePlane(view.planeHeight, view.grayPlane.get(), view.edgePlane.get(),
                         view.planeWidth);
        RecognitionResult result{};
        std::vector<int> rows;
        for (int y = 40; y < view.planeHeight - 20; y += 6) {
            rows.push_back(y);
        }
        searchRows(view, rows, result, found, 1);
    }
    ASSERT_EQ(found.size(), 2u); // one reading per window
    EXPECT_GE(overlapShare(found[0].corners, found[1].corners), sameShare);
    const FoundPlates merged = mergePlates(found);
    ASSERT_EQ(merged.size(), 1u);
    EXPECT_EQ(plateNumberText(merged[0]), truth.text);
    EXPECT_GE(overlapShare(merged[0].corners, quadOf(truth)), 0.8);
    // The finder itself lists the plate once too.
    EXPECT_EQ(platesOn(whole.plates, truth).size(), 1u);
}

// A found plate is read again along its corners: a reading that lost its
// characters (a cut inside the plate face) gives way to the plate's own, one
// that scores higher stays.
TEST(PlateFinder, AFoundPlateIsReadAgainAlongItsCorners) {
    SceneOptions options = realScenes({5}, QSize(800, 600), 200, 220);
    options.difficulty = Difficulty::easy;
    const Scene scene = drawScene(3500, options);
    const PlateTruth& truth = scene.plates.front();
    const auto context = searchableContext(scene);
    constexpr std::uint8_t perfect = 100;
    const struct {
        std::uint8_t score;
        std::string text;
    } cases[] = {{0, truth.text}, {perfect, "京A00000"}};
    for (const auto& c : cases) {
        FoundPlate plate;
        plate.corners = quadOf(truth);
        plate.formatIndex = truth.formatIndex;
        plate.text = {0x80, 'A', '0', '0', '0', '0', '0'}; // 京A00000
        plate.charScore.fill(c.score);
        rereadAlongCorners(*context, plate);
        EXPECT_EQ(plateNumberText(plate), c.text) << int{c.score};
    }
}

} // namespace
