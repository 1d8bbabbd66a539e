// Reading one rectified plate, and its parts: the character network's forward
// pass, cutting a character from the grey plate, fitting the layout, and
// recogniseCharacters whole with the trained network and with the glyph
// templates, on the plate of a drawn picture cut out along its corners.

#include "app/driver/recognition_driver.h"
#include "data/plate_formats.h"
#include "engine/context/recognition_context.h"
#include "engine/recognise/char_net.h"
#include "engine/recognise/character_cuts.h"
#include "engine/recognise/plate_planes.h"
#include "engine/recognise/plate_reader.h"
#include "image/dib.h"
#include "image/plate_corner_trailer.h"
#include "tools/scenegen/encoders.h"
#include "tools/scenegen/scene.h"

#include <benchmark/benchmark.h>

#include <stdexcept>

using namespace kavro;

namespace {

constexpr std::uint32_t sceneSeed = 7100;
constexpr int blueFormat = 1;
constexpr int platePixels = plateWidth * plateHeight;

// The blue plate of a drawn picture, warped into slot 0, with its planes.
struct PlateFixture {
    RecognitionContext context;

    PlateFixture() {
        SceneOptions options;
        options.formats = {blueFormat};
        options.pictureSize = QSize(640, 480);
        CDib picture;
        if (!picture.LoadJpegData(encodeJpegWithTrailer(drawScene(sceneSeed, options)))) {
            throw std::runtime_error("the drawn picture did not decode");
        }
        context.prepareImage(picture.GetPixels(), picture.GetWidth(), picture.GetHeight(),
                             picture.IsBottomUp());
        warpPlateFromCorners(context.plateImages[0].get(), trailerCornersInPicture(context),
                             context.source());
        cornersFromTrailer = false;
        RecognitionResult result{};
        recogniseCharacters(context, blueFormat, result); // fills the planes
    }

    BytePlane plane(const std::unique_ptr<std::uint8_t[]>& pixels) const {
        return {{pixels.get(), platePixels}, plateWidth, plateHeight};
    }
};

PlateFixture& fixture() {
    static PlateFixture plate;
    return plate;
}

void forwardPass(benchmark::State& state) {
    const PlateFixture& plate = fixture();
    const PlateLayout layout =
        fitLayout(plate.plane(plate.context.binaryPlanes[0]), plateFormats[blueFormat]);
    const CharNetInput input = sampleCut(plate.plane(plate.context.platePlanes[0]),
                                         layoutCut(layout, plateFormats[blueFormat], 3, 0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(runCharNet(input));
    }
}

void cutCharacter(benchmark::State& state) {
    const PlateFixture& plate = fixture();
    const PlateLayout layout =
        fitLayout(plate.plane(plate.context.binaryPlanes[0]), plateFormats[blueFormat]);
    const CharacterCut cut = layoutCut(layout, plateFormats[blueFormat], 3, 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(sampleCut(plate.plane(plate.context.platePlanes[0]), cut));
    }
}

void fitPlateLayout(benchmark::State& state) {
    const PlateFixture& plate = fixture();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            fitLayout(plate.plane(plate.context.binaryPlanes[0]), plateFormats[blueFormat]));
    }
}

void readPlate(benchmark::State& state) {
    PlateFixture& plate = fixture();
    plate.context.characterClassifier =
        state.range(0) == 0 ? CharacterClassifier::trained : CharacterClassifier::templates;
    state.SetLabel(state.range(0) == 0 ? "trained" : "templates");
    cornersFromTrailer = true;
    for (auto _ : state) {
        RecognitionResult result{};
        benchmark::DoNotOptimize(recogniseCharacters(plate.context, blueFormat, result));
    }
    cornersFromTrailer = false;
    plate.context.characterClassifier = CharacterClassifier::trained;
}

} // namespace

BENCHMARK(forwardPass)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();
BENCHMARK(cutCharacter)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();
BENCHMARK(fitPlateLayout)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();
BENCHMARK(readPlate)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

BENCHMARK_MAIN();
