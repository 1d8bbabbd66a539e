#include "engine/context/colour_conversion.h"

#include "engine/context/recognition_context.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace {

constexpr int bytesPerPixel = 3;
constexpr int fixedShift = 16; // 16.16 fixed point of the sampling positions
constexpr std::int32_t fixedOne = 1 << fixedShift;
constexpr std::int32_t fractionMask = fixedOne - 1;
constexpr std::int32_t planeHeightMask = ~std::int32_t{63}; // working heights are multiples of 64
constexpr std::int32_t rowRemainderMask = 63;

// The four edge weights of a cell sum to 2^18: the mean of four linear interpolations.
constexpr int sampleShift = 18;
constexpr std::int32_t diagonalWeight = 2 * fixedOne;

// Hue: a sixth of the circle is 85; the byte is rotated by 16, so pure red lands on 15.
constexpr int hueSextant = 85;
constexpr int blueHueBase = 340;
constexpr int greenHueBase = 170;
constexpr int redHueBase = 510;
constexpr int hueOffset = 16;

// Channel sums below 3 are taken as a pixel of ones so that the share division is defined.
constexpr int minimumSum = 3;
constexpr std::int32_t shareScale = 255 * fixedOne;      // 16,711,680
constexpr std::int32_t neutralBlueShare = 85 * fixedOne; // 5,570,560
constexpr int blueShareShift = 15;

constexpr std::int32_t redLuma = 19'661;
constexpr std::int32_t blueLuma = 7'209;
constexpr std::int32_t greenLuma = 38'666;

constexpr int maxByte = 255;
constexpr int maxSum = 3 * maxByte;

// 16,711,680 / s for every channel sum s, computed once instead of per pixel.
constexpr auto shareFactors = [] {
    std::array<std::int32_t, maxSum + 1> factors{};
    for (int sum = minimumSum; sum <= maxSum; ++sum) {
        factors[sum] = shareScale / sum;
    }
    return factors;
}();

// Hue numerators are at most 255 * 85 in magnitude. For such n and a chroma c of 1..255,
// (|n| * (2^32 / c + 1)) >> 32 equals |n| / c: the excess |n| / 2^32 stays below 1 / c.
constexpr int reciprocalShift = 32;
constexpr auto chromaReciprocals = [] {
    std::array<std::uint64_t, maxByte + 1> reciprocals{};
    for (int chroma = 1; chroma <= maxByte; ++chroma) {
        reciprocals[chroma] = (std::uint64_t{1} << reciprocalShift) / chroma + 1;
    }
    return reciprocals;
}();

// numerator / chroma, truncated toward zero.
int divideByChroma(int numerator, int chroma) {
    const auto magnitude = static_cast<std::uint64_t>(numerator < 0 ? -numerator : numerator);
    const auto quotient =
        static_cast<int>((magnitude * chromaReciprocals[chroma]) >> reciprocalShift);
    return numerator < 0 ? -quotient : quotient;
}

struct Bgr {
    int blue;
    int green;
    int red;
};

int hueOf(const Bgr& pixel, int brightness, int chroma) {
    if (brightness == 0 || chroma == 0) {
        return 0;
    }
    int hue = 0;
    if (brightness == pixel.blue) {
        hue = divideByChroma((pixel.red - pixel.green) * hueSextant, chroma) + blueHueBase;
    } else if (brightness == pixel.green) {
        hue = divideByChroma((pixel.blue - pixel.red) * hueSextant, chroma) + greenHueBase;
    } else {
        hue = divideByChroma((pixel.green - pixel.blue) * hueSextant, chroma) + redHueBase;
    }
    return hue >> 1;
}

std::uint8_t clampByte(std::int32_t value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, maxByte));
}

// Running write positions, one per plane.
struct PlaneCursor {
    std::uint8_t* colour;
    std::uint8_t* hsv;
    std::uint8_t* green;
    std::uint8_t* blue;
    std::uint8_t* yellow;
    std::uint8_t* gray;
    std::uint8_t* inverseGray;

    PlaneCursor(const ColourPlanes& planes, int planeRow) {
        const auto offset = static_cast<std::ptrdiff_t>(planeRow) * workingWidth;
        colour = planes.colour + offset * bytesPerPixel;
        hsv = planes.hsv + offset * bytesPerPixel;
        green = planes.green + offset;
        blue = planes.blue + offset;
        yellow = planes.yellow + offset;
        gray = planes.gray + offset;
        inverseGray = planes.inverseGray + offset;
    }

    void put(Bgr pixel) {
        *colour++ = static_cast<std::uint8_t>(pixel.blue);
        *colour++ = static_cast<std::uint8_t>(pixel.green);
        *colour++ = static_cast<std::uint8_t>(pixel.red);

        const int brightness = std::max({pixel.blue, pixel.green, pixel.red});
        const int chroma = brightness - std::min({pixel.blue, pixel.green, pixel.red});
        *hsv++ = static_cast<std::uint8_t>(brightness);
        *hsv++ = static_cast<std::uint8_t>(chroma);
        *hsv++ = static_cast<std::uint8_t>(hueOf(pixel, brightness, chroma) + hueOffset);

        std::int32_t sum = pixel.blue + pixel.green + pixel.red;
        if (sum < minimumSum) {
            pixel = Bgr{1, 1, 1};
            sum = minimumSum;
        }
        const std::int32_t shareFactor = shareFactors[sum];
        *green++ = static_cast<std::uint8_t>(maxByte - (pixel.green >> 1));
        *blue++ = static_cast<std::uint8_t>(
            maxByte - clampByte((shareFactor * pixel.blue - neutralBlueShare) >> blueShareShift));
        *yellow++ =
            static_cast<std::uint8_t>(maxByte - clampByte(pixel.red + pixel.green - pixel.blue));
        const std::int32_t luma =
            (pixel.red * redLuma + pixel.blue * blueLuma + pixel.green * greenLuma) >> fixedShift;
        *gray++ = static_cast<std::uint8_t>(luma);
        *inverseGray++ = static_cast<std::uint8_t>(maxByte - luma);
    }
};

// A picture exactly as wide as the working planes: each pixel is taken as it is.
void convertDirectRow(const std::uint8_t* source, PlaneCursor& cursor) {
    for (int x = 0; x < workingWidth; ++x, source += bytesPerPixel) {
        cursor.put(Bgr{source[0], source[1], source[2]});
    }
}

// The two source rows around a sampling row and its vertical fraction.
struct SampleRows {
    const std::uint8_t* top;
    const std::uint8_t* bottom;
    std::int32_t fractionY;
};

// Every other width: each channel is the mean of the linear interpolations along the four
// edges of the cell; neighbours beyond the last source column repeat that column.
void convertSampledRow(const SampleRows& rows, int width, std::int32_t step, PlaneCursor& cursor) {
    const int lastColumn = width - 1;
    const std::int32_t fy = rows.fractionY;
    std::int32_t sx = 0;
    for (int x = 0; x < workingWidth; ++x, sx += step) {
        const int ix = sx >> fixedShift;
        const std::int32_t fx = sx & fractionMask;
        const std::ptrdiff_t left = static_cast<std::ptrdiff_t>(ix) * bytesPerPixel;
        const std::ptrdiff_t right = ix >= lastColumn ? left : left + bytesPerPixel;
        const std::int32_t topLeft = diagonalWeight - fx - fy;
        const std::int32_t topRight = fixedOne + fx - fy;
        const std::int32_t bottomLeft = fixedOne - fx + fy;
        const std::int32_t bottomRight = fx + fy;
        const auto channel = [&](int c) {
            return (rows.top[left + c] * topLeft + rows.top[right + c] * topRight +
                    rows.bottom[left + c] * bottomLeft + rows.bottom[right + c] * bottomRight) >>
                   sampleShift;
        };
        cursor.put(Bgr{channel(0), channel(1), channel(2)});
    }
}

} // namespace

PlaneGeometry planeGeometry(int width, int height) {
    PlaneGeometry geometry{};
    geometry.step = width * fixedOne / workingWidth;
    geometry.scaledHeight = height * fixedOne / geometry.step;
    geometry.planeHeight = geometry.scaledHeight & planeHeightMask;
    geometry.skipRows = (geometry.scaledHeight & rowRemainderMask) / 2;
    return geometry;
}

void copySourceImage(const SourcePicture& picture, std::uint8_t* destination) {
    const auto rowBytes = static_cast<std::size_t>(picture.width) * bytesPerPixel;
    const auto rowCount = static_cast<std::size_t>(picture.height);
    if (!picture.bottomUp) {
        std::copy_n(picture.pixels.data(), rowBytes * rowCount, destination);
        return;
    }
    const std::uint8_t* source = picture.pixels.data();
    std::uint8_t* target = destination + rowBytes * rowCount;
    for (std::size_t row = 0; row < rowCount; ++row, source += rowBytes) {
        target -= rowBytes;
        std::copy_n(source, rowBytes, target);
    }
}

void convertColourPlanes(const SourcePicture& picture, const PlaneGeometry& geometry,
                         const ColourPlanes& planes) {
    const auto rowBytes = static_cast<std::ptrdiff_t>(picture.width) * bytesPerPixel;
    const std::uint8_t* const pixels = picture.pixels.data();
    const int lastRow = picture.height - 1;
    std::int32_t sy = geometry.skipRows * geometry.step;
    for (int k = 0; k < geometry.planeHeight; ++k, sy += geometry.step) {
        PlaneCursor cursor(planes, picture.bottomUp ? geometry.planeHeight - 1 - k : k);
        if (picture.width == workingWidth) {
            convertDirectRow(pixels + (geometry.skipRows + k) * rowBytes, cursor);
            continue;
        }
        const int iy = sy >> fixedShift;
        const std::uint8_t* top = pixels + iy * rowBytes;
        const SampleRows rows{top, iy >= lastRow ? top : top + rowBytes, sy & fractionMask};
        convertSampledRow(rows, picture.width, geometry.step, cursor);
    }
}
