// Plates read from their face alone, as the finder does for a candidate whose
// characters the box search cannot trace: drawn scenes of every kind,
// the candidate the plate's line of characters as the edge map outlines it,
// either true to the plate or stretched by a lamp or bolt beside it.

#include "engine/find/face_read.h"
#include "engine/find/plate_merge.h"
#include "support/scene_context.h"
#include "tools/scenegen/scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

using namespace kavro;

namespace {

constexpr int pictures = 8;
// The face found covers this share of the true one: the scenes' plates are seen
// at angles that turn their sides further than the corner fit follows.
constexpr double minOverlap = 0.85;

struct FaceCase {
    std::string label;
    int format;
    double stretch; // share of the plate's width the candidate reaches past its right end
    FaceFallback fallback;
    int minRead; // of `pictures`, read exactly where the plate lies
};

Quad<double> quadOf(const PlateTruth& truth) {
    const auto point = [&](PlateCorner c) {
        return Point<double>{truth.corners[c].x(), truth.corners[c].y()};
    };
    return {{point(topLeft), point(topRight), point(bottomRight), point(bottomLeft)}};
}

// The band of the plate's characters, level: nearly its width, the middle half
// of its height.
PlateCandidate candidateOf(const PlateTruth& truth, double stretch) {
    const Bounds plate = boundsOf(quadOf(truth));
    const double width = plate.right - plate.left;
    const double height = plate.bottom - plate.top;
    PlateCandidate candidate;
    candidate.left = static_cast<int>(plate.left + 0.03 * width);
    candidate.right = static_cast<int>(plate.right - 0.03 * width + stretch * width);
    candidate.top = static_cast<int>(plate.top + 0.25 * height);
    candidate.bottom = static_cast<int>(plate.bottom - 0.25 * height);
    return candidate;
}

bool readAndPlaced(const FoundPlates& found, const PlateTruth& truth) {
    if (found.size() != 1) {
        return false;
    }
    const FoundPlate& plate = found.front();
    const std::vector<std::uint8_t> codes(plate.text.begin(),
                                          plate.text.begin() + codeCount(plate));
    return codes == truth.codes && overlapShare(plate.corners, quadOf(truth)) >= minOverlap;
}

class FaceRead : public testing::TestWithParam<FaceCase> {};

constexpr FaceFallback line = FaceFallback::lineOfCharacters;
constexpr FaceFallback none = FaceFallback::none;

TEST_P(FaceRead, ReadsThePlateWhereItLies) {
    const FaceCase& face = GetParam();
    SceneOptions options;
    options.formats = {face.format};
    options.pictureSize = QSize(800, 600);
    options.minPlateWidth = 130;
    options.maxPlateWidth = 220;
    int read = 0;
    for (int i = 0; i < pictures; ++i) {
        const Scene scene = drawScene(3000 + static_cast<std::uint32_t>(i), options);
        const auto context = searchableContext(scene);
        FoundPlates found;
        readPlateFace(candidateOf(scene.plates.front(), face.stretch), *context, found,
                      face.fallback);
        read += readAndPlaced(found, scene.plates.front()) ? 1 : 0;
    }
    RecordProperty("read", read);
    EXPECT_GE(read, face.minRead);
}

INSTANTIATE_TEST_SUITE_P(Kinds, FaceRead,
                         testing::Values(FaceCase{"blue", 1, 0, line, 8},
                                         FaceCase{"yellow", 2, 0, line, 8},
                                         FaceCase{"green", 5, 0, line, 8},
                                         // white: the face is told by its grey
                                         // level, less surely than by a hue
                                         FaceCase{"police", 7, 0, line, 6},
                                         // the hue alone must trim the lamp off
                                         FaceCase{"blueBesideALamp", 1, 0.4, none, 8},
                                         FaceCase{"yellowBesideALamp", 2, 0.4, none, 8}),
                         [](const testing::TestParamInfo<FaceCase>& info) {
                             return info.param.label;
                         });

// Where the candidate holds no plate, nothing is read; a white plate's face is
// read only for the strongest candidate (grey candidates are many).
TEST(FaceRead, ReadsNoPlateFreeCandidateNorAWeakerGreyOne) {
    SceneOptions options;
    options.plateCount = 0;
    options.pictureSize = QSize(800, 600);
    int read = 0;
    for (int i = 0; i < pictures; ++i) {
        const Scene scene = drawScene(3100 + static_cast<std::uint32_t>(i), options);
        const auto context = searchableContext(scene);
        FoundPlates found;
        readPlateFace({300, 280, 460, 310}, *context, found, FaceFallback::lineOfCharacters);
        read += static_cast<int>(found.size());
    }
    options.plateCount = 1;
    options.formats = {7};
    const Scene police = drawScene(3200, options);
    const auto context = searchableContext(police);
    FoundPlates found;
    read += readPlateFace(candidateOf(police.plates.front(), 0), *context, found, none) ? 1 : 0;
    EXPECT_EQ(read, 0);
}

} // namespace
