// Preparing a picture (top-down copy, working planes, edge plane) against a plain memcpy of
// the same picture's bytes, for three picture sizes.

#include "engine/context/colour_conversion.h"
#include "engine/context/edge_plane.h"
#include "engine/context/recognition_context.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

using namespace kavro;

namespace {

// Smooth colour gradients with noise, so that every branch of the conversion is taken.
std::vector<std::uint8_t> syntheticPicture(int width, int height) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 3);
    std::mt19937 random(width * 31 + height);
    std::uniform_int_distribution<int> noise(0, 31);
    std::size_t i = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            pixels[i++] = static_cast<std::uint8_t>(x * 255 / width + noise(random));
            pixels[i++] = static_cast<std::uint8_t>(y * 255 / height + noise(random));
            pixels[i++] = static_cast<std::uint8_t>((x + y) / 8 + noise(random));
        }
    }
    return pixels;
}

void prepareAndEdges(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const auto pixels = syntheticPicture(width, height);
    RecognitionContext context;
    for (auto _ : state) {
        context.prepareImage(pixels, width, height, true);
        computeEdgePlane(context.planeHeight, context.grayPlane.get(), context.edgePlane.get(),
                         context.planeWidth);
        benchmark::DoNotOptimize(context.edgePlane.get());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(pixels.size()));
}

// The same work into buffers allocated once, to tell the arithmetic from the cost of
// fresh memory.
void conversionOnly(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const auto pixels = syntheticPicture(width, height);
    const PlaneGeometry geometry = planeGeometry(width, height);
    const std::size_t planeSize = std::size_t{workingWidth} * geometry.planeHeight;
    std::vector<std::uint8_t> source(pixels.size()), threeChannel(planeSize * 6),
        singleChannel(planeSize * 6), edges(planeSize);
    const ColourPlanes planes{threeChannel.data(),
                              threeChannel.data() + planeSize * 3,
                              singleChannel.data(),
                              singleChannel.data() + planeSize,
                              singleChannel.data() + planeSize * 2,
                              singleChannel.data() + planeSize * 3,
                              singleChannel.data() + planeSize * 4};
    const PicturePixels picture = PicturePixels::packed(pixels, width, height);
    for (auto _ : state) {
        copySourceImage(picture, true, source.data());
        convertColourPlanes(picture, true, geometry, planes);
        computeEdgePlane(geometry.planeHeight, planes.gray, edges.data(), workingWidth);
        benchmark::DoNotOptimize(edges.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(pixels.size()));
}

void plainCopy(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const auto pixels = syntheticPicture(width, height);
    std::vector<std::uint8_t> copy(pixels.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), pixels.data(), pixels.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(pixels.size()));
}

void pictureSizes(benchmark::internal::Benchmark* benchmark) {
    benchmark->Args({640, 480})->Args({1920, 1080})->Args({4000, 3000});
    benchmark->Unit(benchmark::kMicrosecond);
}

} // namespace

BENCHMARK(prepareAndEdges)->Apply(pictureSizes);
BENCHMARK(conversionOnly)->Apply(pictureSizes);
BENCHMARK(plainCopy)->Apply(pictureSizes);

BENCHMARK_MAIN();
