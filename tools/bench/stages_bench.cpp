// Every stage of one read, on drawn pictures of 640 x 480 and 1920 x 1080 with
// a blue plate: JPEG decoding, preparing the working planes, the edge plane,
// the search of all scan rows, and the corner path (warp and reading) whole and
// in its two steps, rectification and recogniseCharacters. Run as one program
// so that the stages can be compared with each other.

#include "app/driver/recognition_driver.h"
#include "engine/context/edge_plane.h"
#include "engine/context/recognition_context.h"
#include "engine/recognise/plate_reader.h"
#include "image/dib.h"
#include "image/plate_corner_trailer.h"
#include "tools/scenegen/encoders.h"
#include "tools/scenegen/scene.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <vector>

using namespace kavro;

namespace {

constexpr std::uint32_t sceneSeed = 7100;

// One drawn picture, its JPEG bytes with the corner trailer, and a context
// prepared from it.
struct Fixture {
    std::vector<std::uint8_t> jpeg;
    CDib picture;
    RecognitionContext context;
    TrailerCorners corners{};

    Fixture(int width, int height) {
        SceneOptions options;
        options.formats = {1};
        options.pictureSize = QSize(width, height);
        const Scene scene = drawScene(sceneSeed, options);
        jpeg = encodeJpegWithTrailer(scene);
        if (!picture.LoadJpegData(jpeg)) {
            throw std::runtime_error("the drawn picture did not decode");
        }
        corners = trailerCorners;
        prepare();
        computeEdgePlane(context.planeHeight, context.grayPlane.get(), context.edgePlane.get(),
                         context.planeWidth);
    }

    void prepare() {
        context.prepareImage(picture.GetPixels(), picture.GetWidth(), picture.GetHeight(),
                             picture.IsBottomUp());
    }
};

Fixture& fixtureFor(const benchmark::State& state) {
    static Fixture small(640, 480);
    static Fixture large(1920, 1080);
    return state.range(0) == 640 ? small : large;
}

void jpegDecode(benchmark::State& state) {
    Fixture& fixture = fixtureFor(state);
    CDib picture;
    for (auto _ : state) {
        benchmark::DoNotOptimize(picture.LoadJpegData(fixture.jpeg));
    }
}

void prepareImage(benchmark::State& state) {
    Fixture& fixture = fixtureFor(state);
    for (auto _ : state) {
        fixture.prepare();
        benchmark::ClobberMemory();
    }
}

void edgePlane(benchmark::State& state) {
    Fixture& fixture = fixtureFor(state);
    RecognitionContext& context = fixture.context;
    for (auto _ : state) {
        computeEdgePlane(context.planeHeight, context.grayPlane.get(), context.edgePlane.get(),
                         context.planeWidth);
        benchmark::ClobberMemory();
    }
}

void searchAllRows(benchmark::State& state) {
    Fixture& fixture = fixtureFor(state);
    RecognitionResult result{};
    cornersFromTrailer = false;
    for (auto _ : state) {
        benchmark::DoNotOptimize(recognisePlates(fixture.context, result));
    }
}

void trailerPath(benchmark::State& state) {
    Fixture& fixture = fixtureFor(state);
    RecognitionResult result{};
    cornersFromTrailer = true;
    trailerCorners = fixture.corners;
    for (auto _ : state) {
        benchmark::DoNotOptimize(recognisePlates(fixture.context, result));
    }
    cornersFromTrailer = false;
}

void rectification(benchmark::State& state) {
    Fixture& fixture = fixtureFor(state);
    RecognitionContext& context = fixture.context;
    trailerCorners = fixture.corners;
    const Quad<double> corners = trailerCornersInPicture(context);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            warpPlateFromCorners(context.plateImages[0].get(), corners, context.source()));
    }
}

void readPlate(benchmark::State& state) {
    Fixture& fixture = fixtureFor(state);
    RecognitionContext& context = fixture.context;
    trailerCorners = fixture.corners;
    warpPlateFromCorners(context.plateImages[0].get(), trailerCornersInPicture(context),
                         context.source());
    cornersFromTrailer = true;
    RecognitionResult result{};
    for (auto _ : state) {
        result = {};
        benchmark::DoNotOptimize(recogniseCharacters(context, 1, result));
    }
    cornersFromTrailer = false;
}

void pictureSizes(benchmark::internal::Benchmark* benchmark) {
    benchmark->Arg(640)->Arg(1920)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();
}

} // namespace

BENCHMARK(jpegDecode)->Apply(pictureSizes);
BENCHMARK(prepareImage)->Apply(pictureSizes);
BENCHMARK(edgePlane)->Apply(pictureSizes);
BENCHMARK(searchAllRows)->Apply(pictureSizes);
BENCHMARK(trailerPath)->Apply(pictureSizes);
BENCHMARK(rectification)->Apply(pictureSizes);
BENCHMARK(readPlate)->Apply(pictureSizes);

BENCHMARK_MAIN();
