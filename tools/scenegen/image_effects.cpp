#include "tools/scenegen/image_effects.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr int channels = 3;
constexpr double minBlurSigma = 0.1;

// Rounded to the nearest level, halves away from zero, then clamped.
std::uint8_t clampToByte(double value) {
    if (!(value > 0)) {
        return 0;
    }
    return value >= 254.5 ? 255 : static_cast<std::uint8_t>(value + 0.5);
}

std::vector<double> gaussianKernel(double sigma) {
    const int radius = static_cast<int>(std::ceil(3 * sigma));
    std::vector<double> kernel(static_cast<std::size_t>(2 * radius + 1));
    double sum = 0;
    for (int i = -radius; i <= radius; ++i) {
        const double weight = std::exp(-(i * i) / (2 * sigma * sigma));
        kernel[static_cast<std::size_t>(i + radius)] = weight;
        sum += weight;
    }
    for (double& weight : kernel) {
        weight /= sum;
    }
    return kernel;
}

// Convolves `count` pixels spaced `step` pixels apart in place, clamping at the ends.
void convolveLine(std::uint8_t* first, int count, std::ptrdiff_t step,
                  const std::vector<double>& kernel, std::vector<std::uint8_t>& scratch) {
    const int radius = static_cast<int>(kernel.size() / 2);
    scratch.resize(static_cast<std::size_t>(count * channels));
    const double* weights = kernel.data();
    for (int i = 0; i < count; ++i) {
        const bool interior = i >= radius && i + radius < count;
        for (int c = 0; c < channels; ++c) {
            double sum = 0;
            if (interior) {
                const std::uint8_t* pixel = first + (i - radius) * step + c;
                for (int k = 0; k <= 2 * radius; ++k, pixel += step) {
                    sum += weights[k] * *pixel;
                }
            } else {
                for (int k = -radius; k <= radius; ++k) {
                    const int j = std::clamp(i + k, 0, count - 1);
                    sum += weights[k + radius] * first[j * step + c];
                }
            }
            scratch[static_cast<std::size_t>(i * channels + c)] = clampToByte(sum);
        }
    }
    for (int i = 0; i < count; ++i) {
        std::copy_n(&scratch[static_cast<std::size_t>(i * channels)], channels, first + i * step);
    }
}

} // namespace

void blurImage(QImage& image, double sigma) {
    if (sigma < minBlurSigma) {
        return;
    }
    const std::vector<double> kernel = gaussianKernel(sigma);
    std::vector<std::uint8_t> scratch;
    const auto stride = static_cast<std::ptrdiff_t>(image.bytesPerLine());
    for (int y = 0; y < image.height(); ++y) {
        convolveLine(image.scanLine(y), image.width(), channels, kernel, scratch);
    }
    for (int x = 0; x < image.width(); ++x) {
        convolveLine(image.bits() + x * channels, image.height(), stride, kernel, scratch);
    }
}

void addNoise(QImage& image, double sigma, SceneRandom& random) {
    for (int y = 0; y < image.height(); ++y) {
        std::uint8_t* row = image.scanLine(y);
        for (int i = 0; i < image.width() * channels; ++i) {
            row[i] = clampToByte(row[i] + sigma * random.gaussian());
        }
    }
}

void addTexture(QImage& image, double amplitude, int cellSize, SceneRandom& random) {
    constexpr int neutral = 128;
    constexpr double levelsPerDeviation = 40; // keeps the coarse grid within a byte
    QImage coarse(image.width() / cellSize + 2, image.height() / cellSize + 2,
                  QImage::Format_Grayscale8);
    for (int y = 0; y < coarse.height(); ++y) {
        std::uint8_t* row = coarse.scanLine(y);
        for (int x = 0; x < coarse.width(); ++x) {
            row[x] = clampToByte(neutral + levelsPerDeviation * random.gaussian());
        }
    }
    const QImage smooth = coarse.scaled(coarse.width() * cellSize, coarse.height() * cellSize,
                                        Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const double gain = amplitude / levelsPerDeviation;
    for (int y = 0; y < image.height(); ++y) {
        std::uint8_t* row = image.scanLine(y);
        const std::uint8_t* offsets = smooth.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            const double offset = gain * (offsets[x] - neutral);
            for (int c = 0; c < channels; ++c) {
                row[x * channels + c] = clampToByte(row[x * channels + c] + offset);
            }
        }
    }
}

void applyLighting(QImage& image, QPointF from, QPointF to, double gainFrom, double gainTo) {
    const QPointF direction = to - from;
    const double lengthSquared = QPointF::dotProduct(direction, direction);
    for (int y = 0; y < image.height(); ++y) {
        std::uint8_t* row = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            const double along =
                lengthSquared > 0
                    ? QPointF::dotProduct(QPointF(x, y) - from, direction) / lengthSquared
                    : 0;
            const double gain = gainFrom + (gainTo - gainFrom) * std::clamp(along, 0.0, 1.0);
            for (int c = 0; c < channels; ++c) {
                row[x * channels + c] = clampToByte(row[x * channels + c] * gain);
            }
        }
    }
}

void applyColourCast(QImage& image, double redGain, double greenGain, double blueGain) {
    const double gains[channels] = {redGain, greenGain, blueGain};
    for (int y = 0; y < image.height(); ++y) {
        std::uint8_t* row = image.scanLine(y);
        for (int x = 0; x < image.width() * channels; ++x) {
            row[x] = clampToByte(row[x] * gains[x % channels]);
        }
    }
}
