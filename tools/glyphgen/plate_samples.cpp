#include "tools/glyphgen/plate_samples.h"

#include "data/character_codes.h"
#include "data/plate_formats.h"
#include "tools/glyphgen/plate_geometry.h"

#include <QDir>
#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <optional>

using namespace kavro;

namespace {

constexpr int blueFormat = 1;
constexpr int maxFrameFreeRow = 52;     // longer horizontal runs are plate frame
constexpr int maxFrameFreeColumn = 100; // and so are longer vertical ones
constexpr int minBlobPixels = 12;       // speckle is smaller
constexpr int minCharHeight = 56;
constexpr int maxCharWidth = 58;
constexpr int maxCentreOffset = 14;    // how far a character may sit from its fitted centre
constexpr int minCharactersFound = 4;  // of the six letters and digits, to trust the fit
constexpr int maxHeightDeviation = 12; // percent of the band's height
constexpr int maxBandDeviation = 8;    // rows

const PlateFormat& layout() {
    return plateFormats[blueFormat];
}

std::optional<std::uint8_t> codeOf(char16_t c) {
    if ((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z')) {
        return static_cast<std::uint8_t>(c);
    }
    for (int code = firstChineseCode; code <= lastChineseCode; ++code) {
        if (provinceChars[static_cast<std::size_t>(code - firstChineseCode)] == c) {
            return static_cast<std::uint8_t>(code);
        }
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> plateCodes(const QString& text) {
    if (text.size() != layout().charCount) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> codes;
    for (const QChar c : text) {
        const auto code = codeOf(c.unicode());
        if (!code) {
            return std::nullopt;
        }
        codes.push_back(*code);
    }
    return codes;
}

// Luma as the blue-plate recognition plane computes it: white characters bright.
GreyImage lumaOf(const QImage& picture) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    GreyImage luma(rgb.width(), rgb.height());
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar* line = rgb.constScanLine(y);
        for (int x = 0; x < rgb.width(); ++x) {
            const int r = line[3 * x], g = line[3 * x + 1], b = line[3 * x + 2];
            luma.at(x, y) = static_cast<std::uint8_t>((b * 7209 + g * 38666 + r * 19661) >> 16);
        }
    }
    return luma;
}

// Sum of the pixels of every rectangle from a summed-area table.
class AreaSums {
public:
    explicit AreaSums(const GreyImage& image)
        : width_(image.width + 1), sums_(static_cast<std::size_t>(width_) * (image.height + 1)) {
        for (int y = 0; y < image.height; ++y) {
            std::int64_t row = 0;
            for (int x = 0; x < image.width; ++x) {
                row += image.at(x, y);
                sums_[index(x + 1, y + 1)] = sums_[index(x + 1, y)] + row;
            }
        }
    }

    // Sum over columns [x0, x1) and rows [y0, y1).
    std::int64_t sum(int x0, int y0, int x1, int y1) const {
        return sums_[index(x1, y1)] - sums_[index(x0, y1)] - sums_[index(x1, y0)] +
               sums_[index(x0, y0)];
    }

private:
    std::size_t index(int x, int y) const { return static_cast<std::size_t>(y) * width_ + x; }

    int width_;
    std::vector<std::int64_t> sums_;
};

// Foreground where a pixel is brighter than the mean of its neighbourhood by a
// margin: uneven light and bright surroundings do not swallow the characters.
GreyImage localThreshold(const GreyImage& luma) {
    constexpr int radius = 20;
    constexpr int margin = 6;
    const AreaSums sums(luma);
    GreyImage plane(luma.width, luma.height);
    for (int y = 0; y < luma.height; ++y) {
        const int y0 = std::max(0, y - radius), y1 = std::min(luma.height, y + radius + 1);
        for (int x = 0; x < luma.width; ++x) {
            const int x0 = std::max(0, x - radius), x1 = std::min(luma.width, x + radius + 1);
            const std::int64_t area = std::int64_t(x1 - x0) * (y1 - y0);
            const std::int64_t mean = sums.sum(x0, y0, x1, y1) / area;
            plane.at(x, y) = luma.at(x, y) >= mean + margin ? 255 : 0;
        }
    }
    return plane;
}

void majorityFilter(GreyImage& plane) {
    for (int y = 1; y < plane.height - 1; ++y) {
        for (int x = 1; x < plane.width - 1; ++x) {
            int sum = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    sum += plane.at(x + dx, y + dy);
                }
            }
            plane.at(x, y) = sum / 9 >= 128 ? 255 : 0;
        }
    }
}

// Clears every run of foreground longer than `limit` along rows (dx = 1) or
// columns (dx = 0). No character is that long; the plate frame is.
void clearLongRuns(GreyImage& plane, int limit, bool alongRows) {
    const int lines = alongRows ? plane.height : plane.width;
    const int length = alongRows ? plane.width : plane.height;
    auto pixel = [&](int line, int i) -> std::uint8_t& {
        return alongRows ? plane.at(i, line) : plane.at(line, i);
    };
    for (int line = 0; line < lines; ++line) {
        int runStart = 0;
        for (int i = 0; i <= length; ++i) {
            if (i < length && pixel(line, i) != 0) {
                continue;
            }
            if (i - runStart > limit) {
                for (int j = runStart; j < i; ++j) {
                    pixel(line, j) = 0;
                }
            }
            runStart = i + 1;
        }
    }
}

struct Blob {
    Box box;
    int pixels = 0;

    int centreX() const { return box.x + box.width / 2; }
};

Box unite(const Box& a, const Box& b) {
    if (a.empty()) {
        return b;
    }
    const int left = std::min(a.x, b.x), top = std::min(a.y, b.y);
    const int right = std::max(a.right(), b.right()), bottom = std::max(a.bottom(), b.bottom());
    return {left, top, right - left + 1, bottom - top + 1};
}

// 8-connected foreground components, in raster order of their first pixel.
std::vector<Blob> findBlobs(const GreyImage& plane) {
    std::vector<int> label(plane.pixels.size(), -1);
    std::vector<Blob> blobs;
    std::vector<int> stack;
    for (int start = 0; start < static_cast<int>(plane.pixels.size()); ++start) {
        if (plane.pixels[static_cast<std::size_t>(start)] == 0 ||
            label[static_cast<std::size_t>(start)] >= 0) {
            continue;
        }
        Blob blob;
        label[static_cast<std::size_t>(start)] = static_cast<int>(blobs.size());
        stack.assign(1, start);
        while (!stack.empty()) {
            const int index = stack.back();
            stack.pop_back();
            const int x = index % plane.width, y = index / plane.width;
            blob.box = unite(blob.box, {x, y, 1, 1});
            ++blob.pixels;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= plane.width || ny >= plane.height) {
                        continue;
                    }
                    const int next = ny * plane.width + nx;
                    if (plane.pixels[static_cast<std::size_t>(next)] != 0 &&
                        label[static_cast<std::size_t>(next)] < 0) {
                        label[static_cast<std::size_t>(next)] =
                            label[static_cast<std::size_t>(start)];
                        stack.push_back(next);
                    }
                }
            }
        }
        blobs.push_back(blob);
    }
    return blobs;
}

bool isCharacterBlob(const Blob& blob) {
    return blob.box.height >= minCharHeight && blob.box.width <= maxCharWidth;
}

// The expected centres of the letters and digits after a small shift and
// scale about the plate's middle.
struct Alignment {
    int shift = 0;
    int scalePercent = 100;

    int centre(int position) const {
        const int expected = layout().charCentreX[static_cast<std::size_t>(position)];
        return plateWidth / 2 + (expected - plateWidth / 2) * scalePercent / 100 + shift;
    }
};

// How far the character blobs lie from the fitted centres of positions 1..6.
int alignmentCost(const std::vector<Blob>& blobs, const Alignment& alignment) {
    int cost = 0;
    for (int p = 1; p < layout().charCount; ++p) {
        int nearest = maxCentreOffset;
        for (const Blob& blob : blobs) {
            if (isCharacterBlob(blob)) {
                nearest = std::min(nearest, std::abs(blob.centreX() - alignment.centre(p)));
            }
        }
        cost += nearest;
    }
    return cost;
}

Alignment bestAlignment(const std::vector<Blob>& blobs) {
    constexpr int maxShift = 30;
    constexpr int minScale = 88, maxScale = 112, scaleStep = 2;
    Alignment best;
    int bestCost = alignmentCost(blobs, best);
    for (int scale = minScale; scale <= maxScale; scale += scaleStep) {
        for (int shift = -maxShift; shift <= maxShift; ++shift) {
            const Alignment candidate{shift, scale};
            const int cost = alignmentCost(blobs, candidate);
            if (cost < bestCost) {
                bestCost = cost;
                best = candidate;
            }
        }
    }
    return best;
}

// The character blob whose centre lies nearest the fitted centre of a position.
std::optional<Blob> nearestCharacter(const std::vector<Blob>& blobs, int centre) {
    std::optional<Blob> nearest;
    for (const Blob& blob : blobs) {
        const int offset = std::abs(blob.centreX() - centre);
        if (isCharacterBlob(blob) && offset <= maxCentreOffset &&
            (!nearest || offset < std::abs(nearest->centreX() - centre))) {
            nearest = blob;
        }
    }
    return nearest;
}

int median(std::vector<int> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Where the letters and digits of one plate lie vertically.
struct TextBand {
    int top = 0;
    int bottom = 0;

    int height() const { return bottom - top + 1; }
};

TextBand medianBand(const std::vector<std::optional<Blob>>& characters) {
    std::vector<int> tops, bottoms;
    for (const auto& blob : characters) {
        if (blob) {
            tops.push_back(blob->box.y);
            bottoms.push_back(blob->box.bottom());
        }
    }
    return {median(tops), median(bottoms)};
}

// A letter or digit agrees with its neighbours in height and top row.
bool fitsBand(const Box& box, const TextBand& band) {
    return std::abs(box.height - band.height()) * 100 <= band.height() * maxHeightDeviation &&
           std::abs(box.y - band.top) <= maxBandDeviation;
}

// The province character may fall apart into several blobs: the union of the
// blobs near its centre that stay inside the band.
Box provinceBox(const std::vector<Blob>& blobs, const Alignment& alignment, const TextBand& band) {
    const int centre = alignment.centre(0);
    const int halfWidth = layout().charWidth * alignment.scalePercent / 200;
    Box box;
    for (const Blob& blob : blobs) {
        if (blob.pixels >= minBlobPixels && std::abs(blob.centreX() - centre) <= halfWidth &&
            blob.box.y >= band.top - maxBandDeviation &&
            blob.box.bottom() <= band.bottom + maxBandDeviation) {
            box = unite(box, blob.box);
        }
    }
    const bool plausible = !box.empty() && box.width <= maxCharWidth &&
                           box.width >= layout().charWidth / 2 &&
                           box.height * 100 >= band.height() * (100 - maxHeightDeviation);
    return plausible ? box : Box{};
}

} // namespace

GreyImage straightened(const GreyImage& photo) {
    PlateMapping mapping;
    mapping.tilt = levellingTilt(binaryPlate(mapToFrame(photo, mapping)));
    mapping.slant = uprightSlant(binaryPlate(mapToFrame(photo, mapping)));
    return mapToFrame(photo, mapping);
}

std::vector<PlateCrop> loadPlateCrops(const QString& directory, PlateSelection wanted) {
    std::vector<std::string> names;
    for (const QString& file : QDir(directory).entryList({"*.jpg"}, QDir::Files)) {
        names.push_back(file.toStdString());
    }
    std::sort(names.begin(), names.end());
    std::vector<PlateCrop> crops;
    int index = 0;
    for (const std::string& file : names) {
        const QString name = QString::fromStdString(file);
        const auto codes = plateCodes(name.left(name.size() - 4));
        const QImage picture(QDir(directory).filePath(name));
        if (!codes || picture.isNull()) {
            continue;
        }
        if (wanted == nullptr || wanted(index)) {
            crops.push_back(
                {file.substr(0, file.size() - 4), *codes, straightened(lumaOf(picture)), index});
        }
        ++index;
    }
    return crops;
}

GreyImage binaryPlate(const GreyImage& luma) {
    GreyImage plane = localThreshold(luma);
    majorityFilter(plane);
    clearLongRuns(plane, maxFrameFreeRow, true);
    clearLongRuns(plane, maxFrameFreeColumn, false);
    return plane;
}

std::vector<CharacterSample> plateSamples(const PlateCrop& crop, int plateIndex) {
    const GreyImage plane = binaryPlate(crop.luma);
    const std::vector<Blob> blobs = findBlobs(plane);
    const Alignment alignment = bestAlignment(blobs);
    std::vector<std::optional<Blob>> characters(static_cast<std::size_t>(layout().charCount));
    int found = 0;
    for (int p = 1; p < layout().charCount; ++p) {
        characters[static_cast<std::size_t>(p)] = nearestCharacter(blobs, alignment.centre(p));
        found += characters[static_cast<std::size_t>(p)].has_value();
    }
    std::vector<CharacterSample> samples;
    if (found < minCharactersFound) {
        return samples;
    }
    const TextBand band = medianBand(characters);
    auto take = [&](int p, const Box& box) {
        samples.push_back(
            {crop.codes[static_cast<std::size_t>(p)], plateIndex, p, box, sampleBox(plane, box)});
    };
    if (const Box box = provinceBox(blobs, alignment, band); !box.empty()) {
        take(0, box);
    }
    for (int p = 1; p < layout().charCount; ++p) {
        const auto& blob = characters[static_cast<std::size_t>(p)];
        if (blob && fitsBand(blob->box, band)) {
            take(p, blob->box);
        }
    }
    return samples;
}

std::vector<CharacterSample> collectSamples(const std::vector<PlateCrop>& crops) {
    std::vector<CharacterSample> samples;
    for (const PlateCrop& crop : crops) {
        const std::vector<CharacterSample> found = plateSamples(crop, crop.index);
        samples.insert(samples.end(), found.begin(), found.end());
    }
    return samples;
}
