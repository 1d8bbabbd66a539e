#include "engine/recognise/char_net.h"

#include "engine/primitives/vector_loops.h"

#include <algorithm>
#include <cstring>

namespace kavro {

// Activations are kept channel-last, so the innermost loops run over the output
// channels of one pixel: contiguous floats that the compiler turns into vector
// multiplies and adds. With GCC on x86-64 the pass is built for AVX2 and for plain
// x86-64. Multiplies and adds are not fused: both versions, and so every processor,
// give the same outputs to the last bit.
namespace {

using namespace char_net;

constexpr int kernelSide = 3;
constexpr int kernelTaps = kernelSide * kernelSide;

// Eight floats that the compiler keeps in one vector register (two on processors
// without AVX). Channel counts are multiples of eight.
constexpr int lanes = 8;
using Lanes = float __attribute__((vector_size(lanes * sizeof(float))));

// A channel-last map of W x H pixels with C channels and, when padded, a border
// of one zero pixel all round (the convolution's padding).
template <int W, int H, int C, bool Padded>
struct Map {
    static constexpr int border = Padded ? 1 : 0;
    static constexpr int stride = W + 2 * border;
    std::array<float, (W + 2 * border) * (H + 2 * border) * C> values{};

    float* at(int x, int y) { return values.data() + ((y + border) * stride + x + border) * C; }
    const float* at(int x, int y) const {
        return values.data() + ((y + border) * stride + x + border) * C;
    }
};

// sums[o] += inputs[k] * weights[k][o] over k < Count: the output channels in
// vector registers, one input value at a time spread over all of them.
// (Loads and stores go through memcpy: the floats need not be aligned.)
template <int Count, int Out>
[[gnu::always_inline]] inline void multiplyAdd(const float* inputs, const float* weights,
                                               Lanes (&sums)[Out / lanes]) {
    for (int k = 0; k < Count; ++k) {
        const Lanes value = Lanes{} + inputs[k];
#pragma GCC unroll 8
        for (int j = 0; j < Out / lanes; ++j) {
            Lanes weight;
            std::memcpy(&weight, weights + k * Out + j * lanes, sizeof weight);
            sums[j] += value * weight;
        }
    }
}

// The same for two neighbouring output pixels at once, whose inputs lie `step`
// floats apart: every weight loaded serves both.
template <int Count, int Out, int step>
[[gnu::always_inline]] inline void multiplyAddPair(const float* inputs, const float* weights,
                                                   Lanes (&first)[Out / lanes],
                                                   Lanes (&second)[Out / lanes]) {
    for (int k = 0; k < Count; ++k) {
        const Lanes value = Lanes{} + inputs[k];
        const Lanes next = Lanes{} + inputs[k + step];
#pragma GCC unroll 8
        for (int j = 0; j < Out / lanes; ++j) {
            Lanes weight;
            std::memcpy(&weight, weights + k * Out + j * lanes, sizeof weight);
            first[j] += value * weight;
            second[j] += next * weight;
        }
    }
}

// sums = bias, the start of a multiplyAdd.
template <int Out>
[[gnu::always_inline]] inline void loadBias(const float* bias, Lanes (&sums)[Out / lanes]) {
    for (int j = 0; j < Out / lanes; ++j) {
        std::memcpy(&sums[j], bias + j * lanes, sizeof sums[j]);
    }
}

// out = max(sums, 0).
template <int Out>
[[gnu::always_inline]] inline void storeRectified(const Lanes (&sums)[Out / lanes], float* out) {
    for (int j = 0; j < Out / lanes; ++j) {
        const Lanes rectified = sums[j] > 0 ? sums[j] : Lanes{};
        std::memcpy(out + j * lanes, &rectified, sizeof rectified);
    }
}

// Output channels of row y of a 3 x 3 convolution with ReLU, for the first
// `columns` pixels of the row (an even number), two at a time. The three input
// pixels of a kernel row lie next to each other, so each kernel row is one run
// of 3 x In values.
template <int W, int H, int In, int Out>
[[gnu::always_inline]] inline void convolveRow(const Map<W, H, In, true>& input, int y, int columns,
                                               const float* weights, const float* bias,
                                               float* row) {
    static_assert(Out % lanes == 0);
    constexpr int kernelRow = kernelSide * In;
    for (int x = 0; x < columns; x += 2) {
        Lanes first[Out / lanes];
        Lanes second[Out / lanes];
        loadBias<Out>(bias, first);
        loadBias<Out>(bias, second);
        for (int ky = 0; ky < kernelSide; ++ky) {
            multiplyAddPair<kernelRow, Out, In>(input.at(x - 1, y + ky - 1),
                                                weights + ky * kernelRow * Out, first, second);
        }
        storeRectified<Out>(first, row + x * Out);
        storeRectified<Out>(second, row + (x + 1) * Out);
    }
}

// Convolution, ReLU and a 2 x 2 max-pool (an odd last row or column is dropped).
template <int W, int H, int In, int Out, bool PaddedOutput>
[[gnu::always_inline]] inline void convolvePool(const Map<W, H, In, true>& input,
                                                const float* weights, const float* bias,
                                                Map<W / 2, H / 2, Out, PaddedOutput>& output) {
    constexpr int pooledColumns = W / 2;
    float upper[W * Out];
    float lower[W * Out];
    for (int y = 0; y < H / 2; ++y) {
        convolveRow<W, H, In, Out>(input, 2 * y, 2 * pooledColumns, weights, bias, upper);
        convolveRow<W, H, In, Out>(input, 2 * y + 1, 2 * pooledColumns, weights, bias, lower);
        for (int x = 0; x < pooledColumns; ++x) {
            float* pooled = output.at(x, y);
            for (int o = 0; o < Out; ++o) {
                pooled[o] =
                    std::max(std::max(upper[2 * x * Out + o], upper[(2 * x + 1) * Out + o]),
                             std::max(lower[2 * x * Out + o], lower[(2 * x + 1) * Out + o]));
            }
        }
    }
}

// The hidden layer with ReLU.
template <int In, int Out>
[[gnu::always_inline]] inline void denseRectified(const float* input, const float* weights,
                                                  const float* bias, float* output) {
    Lanes sums[Out / lanes];
    loadBias<Out>(bias, sums);
    multiplyAdd<In, Out>(input, weights, sums);
    storeRectified<Out>(sums, output);
}

// The output layer (its class count need not be a multiple of eight).
template <int In, int Out>
[[gnu::always_inline]] inline void dense(const float* input, const float* weights,
                                         const float* bias, float* output) {
    std::copy_n(bias, Out, output);
    for (int i = 0; i < In; ++i) {
        for (int o = 0; o < Out; ++o) {
            output[o] += input[i] * weights[i * Out + o];
        }
    }
}

constexpr int width0 = inputWidth, height0 = inputHeight;
constexpr int width1 = width0 / 2, height1 = height0 / 2;
constexpr int width2 = width1 / 2, height2 = height1 / 2;
constexpr int width3 = width2 / 2, height3 = height2 / 2;
constexpr int featureCount = width3 * height3 * channels[2];
static_assert(convolutionCount == 3, "the pass runs three convolutions");
static_assert(conv1Weights.size() == kernelTaps * 1 * channels[0]);
static_assert(conv2Weights.size() == kernelTaps * channels[0] * channels[1]);
static_assert(conv3Weights.size() == kernelTaps * channels[1] * channels[2]);
static_assert(hiddenWeights.size() == featureCount * hiddenCount);
static_assert(outputWeights.size() == hiddenCount * classCount);

struct Activations {
    Map<width0, height0, 1, true> input;
    Map<width1, height1, channels[0], true> first;
    Map<width2, height2, channels[1], true> second;
    Map<width3, height3, channels[2], false> third;
    std::array<float, hiddenCount> hidden;
};

KAVRO_WITH_AVX2 void forward(Activations& a, CharNetLogits& logits) {
    convolvePool<width0, height0, 1, channels[0]>(a.input, conv1Weights.data(), conv1Bias.data(),
                                                  a.first);
    convolvePool<width1, height1, channels[0], channels[1]>(a.first, conv2Weights.data(),
                                                            conv2Bias.data(), a.second);
    convolvePool<width2, height2, channels[1], channels[2]>(a.second, conv3Weights.data(),
                                                            conv3Bias.data(), a.third);
    denseRectified<featureCount, hiddenCount>(a.third.values.data(), hiddenWeights.data(),
                                              hiddenBias.data(), a.hidden.data());
    dense<hiddenCount, classCount>(a.hidden.data(), outputWeights.data(), outputBias.data(),
                                   logits.data());
}

} // namespace

CharNetLogits runCharNet(const CharNetInput& input) {
    Activations activations;
    for (int y = 0; y < inputHeight; ++y) {
        std::copy_n(input.data() + y * inputWidth, inputWidth, activations.input.at(0, y));
    }
    CharNetLogits logits;
    forward(activations, logits);
    return logits;
}

} // namespace kavro
