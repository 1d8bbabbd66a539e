#include "tools/scenegen/real_characters.h"

#include "tools/glyphgen/evaluation.h"
#include "tools/glyphgen/plate_geometry.h"
#include "tools/glyphgen/plate_samples.h"
#include "tools/scenegen/plate_style.h"
#include "tools/scenegen/plate_text.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>
#include <stdexcept>

using namespace kavro;

namespace {

constexpr int blueFormat = 1;   // the crops are blue plates
constexpr int marginPixels = 4; // frame pixels kept around a character for its soft edges
// How far a blurred stroke reaches beyond the binary plane's box; farther out
// the margin shows the plate frame or a neighbour's edge, left out.
constexpr int fringePixels = 2;
// Stroke and plate closer than this in grey levels: a smudged or unlit cut, left out.
constexpr double minContrast = 32;
// The crops are small and blurred: the ramp from plate to stroke is steepened by
// this factor about its middle, so that strokes are as crisp as a plate's paint.
constexpr double edgeGain = 2;
// Where the plate and the stroke levels are taken among their pixels (percent).
constexpr int platePercentile = 50;
constexpr int strokePercentile = 75;
// Share of each character's sound pictures left out as least typical
// (percent, rounded up: a character with few pictures still loses one).
constexpr int atypicalPercent = 25;
// Fewer cut pictures than this leave none out: with so few, a miscut one (the
// frame inside the box, half a character) cannot be told from a typical one.
constexpr std::size_t minPictures = 100 / atypicalPercent;
// Every character fills the same height of the plate, and a character's width
// hardly varies: a box this much shorter or narrower than the character's
// median is cut off, one this much taller or wider takes in the plate frame or
// a neighbour's edge (share of the median).
constexpr double sizeTolerance = 0.2;
// Ink this much above the character's median share: strokes and the gaps
// between them blurred into one blob (share of the median).
constexpr double blobInkExcess = 0.15;

// Grey levels of the plate and of the stroke about a character.
struct Levels {
    double plate = 0;
    double stroke = 0;
};

// The value below which `percent` of the levels lie.
double percentile(std::vector<std::uint8_t> levels, int percent) {
    const auto nth = levels.begin() + static_cast<std::ptrdiff_t>(levels.size() * percent / 100);
    std::nth_element(levels.begin(), nth, levels.end());
    return *nth;
}

// The stroke is what the binary plane marks inside the character's box; the
// plate is everything else around it. The plane marks a blurred stroke's
// fringe too, so the stroke level is taken high among its pixels.
Levels levelsAround(const GreyImage& luma, const GreyImage& binary, const Box& box,
                    const QRect& region) {
    std::vector<std::uint8_t> plate, stroke;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        for (int x = region.left(); x <= region.right(); ++x) {
            const bool inBox = x >= box.x && x <= box.right() && y >= box.y && y <= box.bottom();
            (inBox && binary.at(x, y) != 0 ? stroke : plate).push_back(luma.at(x, y));
        }
    }
    if (plate.empty() || stroke.empty()) {
        return {};
    }
    return {percentile(plate, platePercentile), percentile(stroke, strokePercentile)};
}

// The share of stroke in each pixel of the region, steepened; nothing outside
// `character`.
GreyImage coverageOf(const GreyImage& luma, const QRect& region, const QRect& character,
                     const Levels& levels) {
    GreyImage coverage(region.width(), region.height());
    for (int y = 0; y < region.height(); ++y) {
        for (int x = 0; x < region.width(); ++x) {
            if (!character.contains(region.left() + x, region.top() + y)) {
                continue;
            }
            const double level = luma.at(region.left() + x, region.top() + y);
            const double share = (level - levels.plate) / (levels.stroke - levels.plate);
            const double steep = std::clamp(0.5 + (share - 0.5) * edgeGain, 0.0, 1.0);
            coverage.at(x, y) = static_cast<std::uint8_t>(std::lround(steep * 255));
        }
    }
    return coverage;
}

QImage toImage(const GreyImage& grey) {
    QImage image(grey.width, grey.height, QImage::Format_Grayscale8);
    for (int y = 0; y < grey.height; ++y) {
        std::copy_n(&grey.pixels[static_cast<std::size_t>(y) * grey.width], grey.width,
                    image.scanLine(y));
    }
    return image;
}

// The character around the sample's box, with the box redrawn where the
// coverage crosses one half: the binary plane's box is wider than the stroke
// by the blur of the small crops.
std::optional<CharacterPicture> cutCharacter(const PlateCrop& crop, const GreyImage& binary,
                                             const CharacterSample& sample) {
    const Box& found = sample.box;
    const QRect foundRect(found.x, found.y, found.width, found.height);
    const QRect region =
        foundRect.adjusted(-marginPixels, -marginPixels, marginPixels, marginPixels)
            .intersected(QRect(0, 0, crop.luma.width, crop.luma.height));
    const Levels levels = levelsAround(crop.luma, binary, found, region);
    if (levels.stroke - levels.plate < minContrast) {
        return std::nullopt;
    }
    const GreyImage coverage = coverageOf(
        crop.luma, region,
        foundRect.adjusted(-fringePixels, -fringePixels, fringePixels, fringePixels), levels);
    const Box box = foregroundBox(coverage);
    if (box.empty()) {
        return std::nullopt;
    }
    const PlateStyle& blue = plateStyle(blueFormat);
    const QSizeF sizeMm(box.width * blue.widthMm / plateWidth,
                        box.height * blue.heightMm / plateHeight);
    return CharacterPicture{toImage(coverage), QRect(box.x, box.y, box.width, box.height), sizeMm};
}

GreyImage toGrey(const QImage& image) {
    GreyImage grey(image.width(), image.height());
    for (int y = 0; y < grey.height; ++y) {
        std::copy_n(image.constScanLine(y), grey.width,
                    &grey.pixels[static_cast<std::size_t>(y) * grey.width]);
    }
    return grey;
}

// What the rule compares of a picture: its box size and its coverage on the
// glyph grid, where pictures of any size line up.
struct PictureShape {
    QSizeF sizeMm;
    std::vector<int> levels; // glyphCells grey levels
    double ink = 0;          // mean level
};

PictureShape shapeOf(const CharacterPicture& picture) {
    const QRect& box = picture.box;
    PictureShape shape{
        picture.sizeMm,
        sampleLevels(toGrey(picture.coverage), Box{box.x(), box.y(), box.width(), box.height()})};
    shape.ink = std::accumulate(shape.levels.begin(), shape.levels.end(), 0.0) / glyphCells;
    return shape;
}

// The middle value; of an even count the upper of the two middle ones.
double median(std::vector<double> values) {
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

template <typename Measure>
double medianOf(const std::vector<PictureShape>& shapes, std::span<const std::size_t> chosen,
                Measure measure) {
    std::vector<double> values;
    for (const std::size_t i : chosen) {
        values.push_back(measure(shapes[i]));
    }
    return median(values);
}

bool within(double value, double reference, double tolerance) {
    return std::abs(value - reference) <= reference * tolerance;
}

// The pictures whose box and ink are like most of the character's: not cut
// off, not widened by the frame or a neighbour, not blurred into a blob.
std::vector<std::size_t> wellCut(const std::vector<PictureShape>& shapes) {
    std::vector<std::size_t> all(shapes.size());
    std::iota(all.begin(), all.end(), 0);
    const double height = medianOf(shapes, all, [](const auto& s) { return s.sizeMm.height(); });
    const double width = medianOf(shapes, all, [](const auto& s) { return s.sizeMm.width(); });
    const double ink = medianOf(shapes, all, [](const auto& s) { return s.ink; });
    std::vector<std::size_t> kept;
    for (const std::size_t i : all) {
        const PictureShape& shape = shapes[i];
        if (within(shape.sizeMm.height(), height, sizeTolerance) &&
            within(shape.sizeMm.width(), width, sizeTolerance) &&
            shape.ink <= ink * (1 + blobInkExcess)) {
            kept.push_back(i);
        }
    }
    return kept.empty() ? all : kept;
}

// The `chosen` pictures without the least typical share: those whose grid lies
// farthest from the per-cell median of the chosen ones.
std::vector<std::size_t> mostTypical(const std::vector<PictureShape>& shapes,
                                     std::vector<std::size_t> chosen) {
    std::vector<int> middle(glyphCells);
    for (std::size_t cell = 0; cell < middle.size(); ++cell) {
        middle[cell] = static_cast<int>(
            medianOf(shapes, chosen, [cell](const auto& s) { return s.levels[cell]; }));
    }
    std::vector<long> distance(shapes.size(), 0);
    for (const std::size_t i : chosen) {
        for (std::size_t cell = 0; cell < middle.size(); ++cell) {
            distance[i] += std::abs(shapes[i].levels[cell] - middle[cell]);
        }
    }
    std::stable_sort(chosen.begin(), chosen.end(),
                     [&](std::size_t a, std::size_t b) { return distance[a] < distance[b]; });
    const std::size_t left = (chosen.size() * atypicalPercent + 99) / 100;
    chosen.resize(std::max<std::size_t>(1, chosen.size() - left));
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

// The sound pictures among a character's cuts.
std::vector<CharacterPicture> soundOnes(const std::vector<CharacterPicture>& cuts) {
    std::vector<CharacterPicture> kept;
    for (const std::size_t i : soundPictures(cuts)) {
        kept.push_back(cuts[i]);
    }
    return kept;
}

} // namespace

std::vector<std::size_t> soundPictures(std::span<const CharacterPicture> pictures) {
    if (pictures.empty()) {
        return {};
    }
    std::vector<PictureShape> shapes;
    for (const CharacterPicture& picture : pictures) {
        shapes.push_back(shapeOf(picture));
    }
    return mostTypical(shapes, wellCut(shapes));
}

CharacterPictures heldOutCharacters(const QString& directory) {
    const std::vector<PlateCrop> crops = loadPlateCrops(directory, isHeldOutPlate);
    if (crops.empty()) {
        throw std::runtime_error("no plate crops in " + directory.toStdString());
    }
    std::map<std::uint8_t, std::vector<CharacterPicture>> cuts;
    for (const PlateCrop& crop : crops) {
        const GreyImage binary = binaryPlate(crop.luma);
        for (const CharacterSample& sample : plateSamples(crop, crop.index)) {
            if (auto picture = cutCharacter(crop, binary, sample)) {
                cuts[sample.code].push_back(std::move(*picture));
            }
        }
    }
    CharacterPictures pictures;
    for (const auto& [code, found] : cuts) {
        if (found.size() >= minPictures) {
            pictures[code] = soundOnes(found);
        }
    }
    return pictures;
}

const CharacterPictures& bundledCharacters() {
    static const CharacterPictures pictures =
        heldOutCharacters(QString::fromUtf8(KAVRO_PLATE_CROPS_DIR));
    return pictures;
}

const CharacterPicture* pickCharacter(const CharacterPictures& pictures, std::uint8_t code,
                                      SceneRandom& random) {
    const auto found = pictures.find(code);
    if (found == pictures.end() || found->second.empty()) {
        return nullptr;
    }
    return &random.pick(std::span<const CharacterPicture>(found->second));
}

std::string charactersWithoutPictures(const CharacterPictures& pictures) {
    std::string missing;
    for (const std::string_view chars : {plateDigits, plateLetters}) {
        for (const char c : chars) {
            if (!pictures.contains(static_cast<std::uint8_t>(c))) {
                missing += c;
            }
        }
    }
    return missing;
}
