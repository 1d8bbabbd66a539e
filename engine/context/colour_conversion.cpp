#include "engine/context/colour_conversion.h"

#include "engine/context/recognition_context.h"
#include "engine/primitives/blue_share.h"
#include "engine/primitives/vector_loops.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace kavro {

namespace {

constexpr int bytesPerPixel = 3;
constexpr int fixedShift = 16; // 16.16 fixed point of the sampling positions
constexpr std::int32_t fixedOne = 1 << fixedShift;
constexpr std::int32_t fractionMask = fixedOne - 1;
constexpr std::int32_t planeHeightMask = ~std::int32_t{63}; // working heights are multiples of 64
constexpr std::int32_t rowRemainderMask = 63;

// The four edge weights of a cell sum to 2^18: the mean of four linear interpolations.
constexpr int sampleShift = 18;

// Hue: a sixth of the circle is 85; the byte is rotated by 16, so pure red lands on 15.
constexpr int hueSextant = 85;
constexpr int blueHueBase = 340;
constexpr int greenHueBase = 170;
constexpr int redHueBase = 510;
constexpr int hueOffset = 16;

constexpr int maxByte = 255;

using ChannelRow = std::array<std::int32_t, workingWidth>;

// One working row as three channel rows, so that the per-pixel arithmetic runs over
// plain arrays that the compiler can vectorise.
struct RowPixels {
    alignas(32) ChannelRow blue;
    alignas(32) ChannelRow green;
    alignas(32) ChannelRow red;
};

// The three interleaved hsv bytes of a row, kept apart until they are written out.
struct HsvRow {
    alignas(32) std::array<std::uint8_t, workingWidth> brightness;
    alignas(32) std::array<std::uint8_t, workingWidth> chroma;
    alignas(32) std::array<std::uint8_t, workingWidth> hue;
};

// Start of one row in every plane.
struct PlaneRow {
    std::uint8_t* colour;
    std::uint8_t* hsv;
    std::uint8_t* green;
    std::uint8_t* blue;
    std::uint8_t* yellow;
    std::uint8_t* gray;
    std::uint8_t* inverseGray;

    PlaneRow(const ColourPlanes& planes, int planeRow) {
        const auto offset = static_cast<std::ptrdiff_t>(planeRow) * workingWidth;
        colour = planes.colour + offset * bytesPerPixel;
        hsv = planes.hsv + offset * bytesPerPixel;
        green = planes.green + offset;
        blue = planes.blue + offset;
        yellow = planes.yellow + offset;
        gray = planes.gray + offset;
        inverseGray = planes.inverseGray + offset;
    }
};

// Hue numerators are at most 85 * chroma in magnitude, so the quotient is below 86 and a
// non-integral one lies at least 1/255 from the integers: the correctly rounded single
// precision quotient truncates to the exact integer quotient.
KAVRO_WITH_AVX2
void deriveHsv(const RowPixels& pixels, HsvRow& hsv) {
    for (int x = 0; x < workingWidth; ++x) {
        const std::int32_t b = pixels.blue[x];
        const std::int32_t g = pixels.green[x];
        const std::int32_t r = pixels.red[x];
        const std::int32_t brightness = std::max(b, std::max(g, r));
        const std::int32_t chroma = brightness - std::min(b, std::min(g, r));
        const bool blueLeads = brightness == b;
        const bool greenLeads = brightness == g;
        const std::int32_t difference = blueLeads ? r - g : (greenLeads ? b - r : g - b);
        const std::int32_t base =
            blueLeads ? blueHueBase : (greenLeads ? greenHueBase : redHueBase);
        const float divisor = static_cast<float>(std::max(chroma, 1));
        const auto quotient =
            static_cast<std::int32_t>(static_cast<float>(difference * hueSextant) / divisor);
        const std::int32_t hue = pick(chroma == 0, 0, (quotient + base) >> 1);
        hsv.brightness[x] = static_cast<std::uint8_t>(brightness);
        hsv.chroma[x] = static_cast<std::uint8_t>(chroma);
        hsv.hue[x] = static_cast<std::uint8_t>(hue + hueOffset);
    }
}

// Blue dominance of one row: twice the excess of the blue share over a third.
KAVRO_WITH_AVX2
void deriveBlueDominance(const RowPixels& pixels, std::uint8_t* __restrict blue) {
    for (int x = 0; x < workingWidth; ++x) {
        const std::int32_t sum = pixels.blue[x] + pixels.green[x] + pixels.red[x];
        const std::int32_t b = pick(sum < minimumChannelSum, 1, pixels.blue[x]);
        blue[x] =
            static_cast<std::uint8_t>(invertedBlueDominance(std::max(sum, minimumChannelSum), b));
    }
}

// Green and yellow dominance, luma and inverse luma of one row.
KAVRO_WITH_AVX2
void deriveSingleChannels(const RowPixels& pixels, const PlaneRow& out) {
    std::uint8_t* __restrict green = out.green;
    std::uint8_t* __restrict yellow = out.yellow;
    std::uint8_t* __restrict gray = out.gray;
    std::uint8_t* __restrict inverseGray = out.inverseGray;
    for (int x = 0; x < workingWidth; ++x) {
        const std::int32_t sum = pixels.blue[x] + pixels.green[x] + pixels.red[x];
        const bool dark = sum < minimumChannelSum;
        const std::int32_t b = pick(dark, 1, pixels.blue[x]);
        const std::int32_t g = pick(dark, 1, pixels.green[x]);
        const std::int32_t r = pick(dark, 1, pixels.red[x]);
        green[x] = static_cast<std::uint8_t>(maxByte - (g >> 1));
        yellow[x] = static_cast<std::uint8_t>(maxByte - std::clamp(r + g - b, 0, maxByte));
        const std::int32_t luma = lumaOf(r, g, b);
        gray[x] = static_cast<std::uint8_t>(luma);
        inverseGray[x] = static_cast<std::uint8_t>(maxByte - luma);
    }
}

void interleaveHsv(const HsvRow& hsv, std::uint8_t* out) {
    for (int x = 0; x < workingWidth; ++x, out += bytesPerPixel) {
        out[0] = hsv.brightness[x];
        out[1] = hsv.chroma[x];
        out[2] = hsv.hue[x];
    }
}

void convertRow(const RowPixels& pixels, const PlaneRow& out) {
    HsvRow hsv;
    deriveHsv(pixels, hsv);
    deriveBlueDominance(pixels, out.blue);
    deriveSingleChannels(pixels, out);
    interleaveHsv(hsv, out.hsv);
}

// A picture exactly as wide as the working planes: each pixel is taken as it is.
void convertDirectRow(const std::uint8_t* source, const PlaneRow& out, RowPixels& pixels) {
    std::copy_n(source, workingWidth * bytesPerPixel, out.colour);
    for (int x = 0; x < workingWidth; ++x, source += bytesPerPixel) {
        pixels.blue[x] = source[0];
        pixels.green[x] = source[1];
        pixels.red[x] = source[2];
    }
    convertRow(pixels, out);
}

// Where each working column samples the source: byte offsets of its left and right
// neighbours (the right one repeats the last column) and its horizontal fraction.
struct ColumnSampling {
    std::array<std::int32_t, workingWidth> left;
    std::array<std::int32_t, workingWidth> right;
    alignas(32) ChannelRow fraction;

    ColumnSampling(int width, std::int32_t step) {
        const int lastColumn = width - 1;
        std::int32_t sx = 0;
        for (int x = 0; x < workingWidth; ++x, sx += step) {
            const int ix = sx >> fixedShift;
            left[x] = ix * bytesPerPixel;
            right[x] = ix >= lastColumn ? left[x] : left[x] + bytesPerPixel;
            fraction[x] = sx & fractionMask;
        }
    }
};

// One source row read at every working column: its left and right neighbours per channel.
struct GatheredRow {
    int sourceRow = -1;
    alignas(32) std::array<ChannelRow, bytesPerPixel> left;
    alignas(32) std::array<ChannelRow, bytesPerPixel> right;
};

// The last two source rows gathered. Successive working rows usually share a source row,
// which is then read from the source only once.
class GatheredRows {
public:
    GatheredRows(const PicturePixels& picture, const ColumnSampling& columns)
        : pixels_(picture.pixels), rowBytes_(picture.stride), columns_(columns) {}

    // Source row `sourceRow`, gathered if need be into the slot that does not hold `keep`.
    const GatheredRow& row(int sourceRow, int keep) {
        for (const GatheredRow& slot : slots_) {
            if (slot.sourceRow == sourceRow) {
                return slot;
            }
        }
        GatheredRow& slot = slots_[0].sourceRow == keep ? slots_[1] : slots_[0];
        gather(sourceRow, slot);
        return slot;
    }

private:
    void gather(int sourceRow, GatheredRow& slot) const {
        const std::uint8_t* source = pixels_ + sourceRow * rowBytes_;
        for (int x = 0; x < workingWidth; ++x) {
            const std::int32_t left = columns_.left[x];
            const std::int32_t right = columns_.right[x];
            for (int c = 0; c < bytesPerPixel; ++c) {
                slot.left[c][x] = source[left + c];
                slot.right[c][x] = source[right + c];
            }
        }
        slot.sourceRow = sourceRow;
    }

    const std::uint8_t* pixels_;
    std::ptrdiff_t rowBytes_;
    const ColumnSampling& columns_;
    std::array<GatheredRow, 2> slots_;
};

// The two source rows around a sampling row and its vertical fraction.
struct SampleRows {
    const GatheredRow& top;
    const GatheredRow& bottom;
    std::int32_t fractionY;
};

// Each channel is the mean of the linear interpolations along the four edges of the cell,
// TL(2 - fx - fy) + TR(1 + fx - fy) + BL(1 - fx + fy) + BR(fx + fy), regrouped by fraction.
KAVRO_WITH_AVX2
void interpolateChannel(const std::int32_t* topLeft, const std::int32_t* topRight,
                        const std::int32_t* bottomLeft, const std::int32_t* bottomRight,
                        const std::int32_t* fractionX, std::int32_t fy,
                        std::int32_t* __restrict out) {
    for (int x = 0; x < workingWidth; ++x) {
        const std::int32_t tl = topLeft[x];
        const std::int32_t tr = topRight[x];
        const std::int32_t bl = bottomLeft[x];
        const std::int32_t br = bottomRight[x];
        out[x] = (fixedOne * (2 * tl + tr + bl) + fractionX[x] * (tr - tl + br - bl) +
                  fy * (bl - tl + br - tr)) >>
                 sampleShift;
    }
}

// Every other width: neighbours beyond the last source column repeat that column.
void convertSampledRow(const SampleRows& rows, const ColumnSampling& columns, const PlaneRow& out,
                       RowPixels& pixels) {
    const std::array<std::int32_t*, bytesPerPixel> channels{pixels.blue.data(), pixels.green.data(),
                                                            pixels.red.data()};
    for (int c = 0; c < bytesPerPixel; ++c) {
        interpolateChannel(rows.top.left[c].data(), rows.top.right[c].data(),
                           rows.bottom.left[c].data(), rows.bottom.right[c].data(),
                           columns.fraction.data(), rows.fractionY, channels[c]);
    }
    std::uint8_t* colour = out.colour;
    for (int x = 0; x < workingWidth; ++x, colour += bytesPerPixel) {
        colour[0] = static_cast<std::uint8_t>(pixels.blue[x]);
        colour[1] = static_cast<std::uint8_t>(pixels.green[x]);
        colour[2] = static_cast<std::uint8_t>(pixels.red[x]);
    }
    convertRow(pixels, out);
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

void copySourceImage(const PicturePixels& picture, bool bottomUp, std::uint8_t* destination) {
    const auto rowBytes = static_cast<std::size_t>(picture.width) * bytesPerPixel;
    const auto rowCount = static_cast<std::size_t>(picture.height);
    if (!bottomUp) {
        std::copy_n(picture.pixels, rowBytes * rowCount, destination);
        return;
    }
    const std::uint8_t* source = picture.pixels;
    std::uint8_t* target = destination + rowBytes * rowCount;
    for (std::size_t row = 0; row < rowCount; ++row, source += rowBytes) {
        target -= rowBytes;
        std::copy_n(source, rowBytes, target);
    }
}

void convertColourPlanes(const PicturePixels& picture, bool bottomUp, const PlaneGeometry& geometry,
                         const ColourPlanes& planes) {
    const std::ptrdiff_t rowBytes = picture.stride;
    const std::uint8_t* const pixels = picture.pixels;
    const int lastRow = picture.height - 1;
    const bool direct = picture.width == workingWidth;
    RowPixels rowPixels;
    if (direct) {
        for (int k = 0; k < geometry.planeHeight; ++k) {
            const PlaneRow out(planes, bottomUp ? geometry.planeHeight - 1 - k : k);
            convertDirectRow(pixels + (geometry.skipRows + k) * rowBytes, out, rowPixels);
        }
        return;
    }
    const ColumnSampling columns(picture.width, geometry.step);
    GatheredRows gathered(picture, columns);
    std::int32_t sy = geometry.skipRows * geometry.step;
    for (int k = 0; k < geometry.planeHeight; ++k, sy += geometry.step) {
        const PlaneRow out(planes, bottomUp ? geometry.planeHeight - 1 - k : k);
        const int iy = sy >> fixedShift;
        const int below = iy >= lastRow ? iy : iy + 1;
        const GatheredRow& top = gathered.row(iy, below);
        const GatheredRow& bottom = gathered.row(below, iy);
        convertSampledRow(SampleRows{top, bottom, sy & fractionMask}, columns, out, rowPixels);
    }
}

} // namespace kavro
