#include "tools/scenegen/real_characters.h"

#include "tools/glyphgen/evaluation.h"
#include "tools/glyphgen/glyph_learning.h"
#include "tools/glyphgen/plate_geometry.h"
#include "tools/glyphgen/plate_samples.h"
#include "tools/scenegen/plate_style.h"
#include "tools/scenegen/plate_text.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>

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
// Share of each character's pictures left out as least typical (percent).
constexpr int atypicalPercent = 25;
// Fewer cut pictures than this leave none out: a miscut one (the frame inside
// the box, half a character) would stand for the character in every scene.
constexpr std::size_t minPictures = 100 / atypicalPercent;

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

// A cut character with its sample on the glyph grid.
struct Candidate {
    CharacterPicture picture;
    GlyphRows rows;
};

// The pictures of one character without those whose shape lies farthest from
// the character's mean: blurred, smudged or miscut ones.
std::vector<CharacterPicture> typicalPictures(const std::vector<Candidate>& candidates) {
    std::vector<GlyphRows> rows;
    for (const Candidate& candidate : candidates) {
        rows.push_back(candidate.rows);
    }
    std::vector<CharacterPicture> kept;
    for (const std::size_t i : typicalSamples(rows, atypicalPercent)) {
        kept.push_back(candidates[i].picture);
    }
    return kept;
}

} // namespace

CharacterPictures heldOutCharacters(const QString& directory) {
    const std::vector<PlateCrop> crops = loadPlateCrops(directory, isHeldOutPlate);
    if (crops.empty()) {
        throw std::runtime_error("no plate crops in " + directory.toStdString());
    }
    std::map<std::uint8_t, std::vector<Candidate>> candidates;
    for (const PlateCrop& crop : crops) {
        const GreyImage binary = binaryPlate(crop.luma);
        for (const CharacterSample& sample : plateSamples(crop, crop.index)) {
            if (auto picture = cutCharacter(crop, binary, sample)) {
                candidates[sample.code].push_back({std::move(*picture), sample.rows});
            }
        }
    }
    CharacterPictures pictures;
    for (const auto& [code, found] : candidates) {
        if (found.size() >= minPictures) {
            pictures[code] = typicalPictures(found);
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
