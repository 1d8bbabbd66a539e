#include "engine/find/face_read.h"

#include "engine/context/colour_conversion.h"
#include "engine/context/recognition_context.h"
#include "engine/find/corner_fit.h"
#include "engine/primitives/plate_warp.h"
#include "engine/recognise/plate_reader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace kavro {

namespace {

// A line of plate characters spans about this share of the face's width.
constexpr double lineShareOfFace = 0.95;
constexpr double faceHeightPerWidth = static_cast<double>(warpHeight) / warpWidth;

// Pixels less saturated than this show no plate colour.
constexpr int minChroma = 40;
// Hue limits in degrees: yellow plates from orange under warm light to lime
// under green street light, green plates, blue plates.
constexpr int yellowFrom = 20;
constexpr int greenFrom = 90;
constexpr int blueFrom = 170;
constexpr int blueTo = 270;

constexpr int percent = 100;
// A candidate shows its plate's hue when this share of its pixels do.
constexpr int minCandidateHuePercent = 8;
// A line across the face belongs to it when this share of its pixels show the
// plate's hue (strokes, rims and glare take much of the rest); characters cut
// gaps into the face no wider than these shares of the candidate's width
// (columns, a stroke of a 1) and the face's width (rows).
constexpr int minLineHuePercent = 10;
// A line of a face told by grey level alone needs half its pixels on the face's
// side: grey, unlike a plate hue, is common off the plate.
constexpr int minLineGreyPercent = 50;
constexpr int maxColumnGapDivisor = 12;
constexpr int maxRowGapDivisor = 20;
// A face of plate shape: this wide against the candidate (a line of characters
// spans most of its plate), and this high against its own width; a face beyond
// these took in a surround of the plate's colour.
constexpr int minFaceWidthPercent = 40;
constexpr int maxFaceWidthPercent = 130;
constexpr int minFaceHeightPercent = 15;
constexpr int maxFaceHeightPercent = 45;
// A face is turned when its hue climbs this much per column; the corner fit
// follows smaller turns, which the hue measures less surely than the edges. A
// face fewer rows high than minTurnedHeight shows too little of its hue to
// measure a turn.
constexpr double minTurn = 0.05;
constexpr int minTurnedHeight = 24;

enum class Hue { blue, yellow, green, none };

// The plate colour a pixel shows: none when it is too grey or of another hue.
Hue hueClass(int blue, int green, int red) {
    const int high = std::max({blue, green, red});
    const int chroma = high - std::min({blue, green, red});
    if (chroma < minChroma) {
        return Hue::none;
    }
    int hue = 0;
    if (high == red) {
        hue = 60 * (green - blue) / chroma;
    } else if (high == green) {
        hue = 120 + 60 * (blue - red) / chroma;
    } else {
        hue = 240 + 60 * (red - green) / chroma;
    }
    hue = hue < 0 ? hue + 360 : hue;
    if (hue >= blueFrom && hue < blueTo) {
        return Hue::blue;
    }
    if (hue >= greenFrom && hue < blueFrom) {
        return Hue::green;
    }
    return hue >= yellowFrom && hue < greenFrom ? Hue::yellow : Hue::none;
}

const std::uint8_t* pixelAt(const PicturePixels& picture, int x, int y) {
    return picture.row(y) + std::ptrdiff_t{x} * picturePixelBytes;
}

Hue hueAt(const PicturePixels& picture, int x, int y) {
    const std::uint8_t* pixel = pixelAt(picture, x, y);
    return hueClass(pixel[0], pixel[1], pixel[2]);
}

int greyAt(const PicturePixels& picture, int x, int y) {
    const std::uint8_t* pixel = pixelAt(picture, x, y);
    return lumaOf(pixel[2], pixel[1], pixel[0]);
}

// What tells the face's pixels from its characters and its surround: the
// plate's hue, or on a plate that shows none (faded, or lit by white or sodium
// light) the side of a grey level between its face and its characters.
struct FaceMark {
    Hue hue = Hue::none;
    int level = 0;
    bool lightFace = true;

    // A line across the face belongs to it when this share of its pixels show
    // the mark.
    int minLinePercent() const { return hue != Hue::none ? minLineHuePercent : minLineGreyPercent; }

    bool operator()(const PicturePixels& picture, int x, int y) const {
        if (hue != Hue::none) {
            return hueAt(picture, x, y) == hue;
        }
        return (greyAt(picture, x, y) > level) == lightFace;
    }
};

// The mean grey of the candidate, which divides a face without hue from its
// characters.
int meanGrey(const PicturePixels& picture, const PlateCandidate& candidate) {
    long long sum = 0;
    for (int y = candidate.top; y < candidate.bottom; ++y) {
        for (int x = candidate.left; x < candidate.right; ++x) {
            sum += greyAt(picture, x, y);
        }
    }
    const long long area = std::max(1LL, 1LL * candidate.width() * candidate.height());
    return static_cast<int>(sum / area);
}

// The formats a plate of this mark may be, likeliest first: a light face
// without a hue is a faded yellow plate or a white one, a dark one a blue plate
// seen at night.
std::span<const int> formatsFor(const FaceMark& mark) {
    static constexpr std::array<int, 1> blue = {1};
    static constexpr std::array<int, 2> yellow = {2, 4};
    static constexpr std::array<int, 1> green = {5};
    static constexpr std::array<int, 3> light = {2, 4, 7};
    switch (mark.hue) {
    case Hue::blue:
        return blue;
    case Hue::yellow:
        return yellow;
    case Hue::green:
        return green;
    case Hue::none:
        break;
    }
    return mark.lightFace ? std::span<const int>(light) : std::span<const int>(blue);
}

struct Span {
    int first = 0;
    int last = 0; // inclusive
};

// Whether each line across the picture (columns when `columns`, else rows)
// from `along.first` to `along.last` shows enough of the face between `across`.
std::vector<bool> faceLines(const PicturePixels& picture, const FaceMark& mark, bool columns,
                            Span along, Span across) {
    std::vector<bool> lines;
    const int length = across.last - across.first + 1;
    for (int i = along.first; i <= along.last; ++i) {
        int count = 0;
        for (int j = across.first; j <= across.last; ++j) {
            count += mark(picture, columns ? i : j, columns ? j : i) ? 1 : 0;
        }
        lines.push_back(count * percent >= length * mark.minLinePercent());
    }
    return lines;
}

// The marked lines around `start` reached over unmarked gaps of at most
// `maxGap` lines, as indices; empty when none is marked within reach.
std::optional<Span> markedAround(const std::vector<bool>& marks, int start, int maxGap) {
    const auto reach = [&](int step) {
        int last = -1;
        for (int i = start, gap = 0; i >= 0 && i < static_cast<int>(marks.size()) && gap <= maxGap;
             i += step) {
            if (marks[static_cast<std::size_t>(i)]) {
                last = i;
                gap = 0;
            } else {
                ++gap;
            }
        }
        return last;
    };
    const int first = reach(-1);
    const int last = reach(1);
    if (first < 0 || last < 0) {
        return std::nullopt;
    }
    return Span{first, last};
}

// The hue most pixels of the candidate show, when enough of them do.
Hue candidateHue(const PicturePixels& picture, const PlateCandidate& candidate) {
    std::array<int, 3> counts{};
    for (int y = candidate.top; y < candidate.bottom; ++y) {
        for (int x = candidate.left; x < candidate.right; ++x) {
            const Hue hue = hueAt(picture, x, y);
            if (hue != Hue::none) {
                ++counts[static_cast<std::size_t>(hue)];
            }
        }
    }
    const auto most = std::max_element(counts.begin(), counts.end());
    const int area = candidate.width() * candidate.height();
    if (*most * percent < area * minCandidateHuePercent) {
        return Hue::none;
    }
    return static_cast<Hue>(most - counts.begin());
}

Quad<double> boxCorners(const Bounds& b) {
    return {{{{b.left, b.top}, {b.right, b.top}, {b.right, b.bottom}, {b.left, b.bottom}}}};
}

// The middle row of the face over columns `columns`: per column, half way
// between the first and the last pixel of the face between `rows` (the plate's
// margins, whatever its characters), the median over the columns; empty when
// no column shows the face.
std::optional<double> faceMiddle(const PicturePixels& picture, const FaceMark& mark, Span columns,
                                 Span rows) {
    std::vector<int> middles; // in half rows
    for (int x = columns.first; x <= columns.last; ++x) {
        int first = -1;
        int last = -1;
        for (int y = rows.first; y <= rows.last; ++y) {
            if (mark(picture, x, y)) {
                first = first < 0 ? y : first;
                last = y;
            }
        }
        if (first >= 0) {
            middles.push_back(first + last);
        }
    }
    if (middles.empty()) {
        return std::nullopt;
    }
    const auto median = middles.begin() + static_cast<std::ptrdiff_t>(middles.size() / 2);
    std::nth_element(middles.begin(), median, middles.end());
    return *median / 2.0;
}

// How far the face climbs per column: from the middle row of its left quarter
// to that of its right quarter.
double faceSlope(const PicturePixels& picture, const FaceMark& mark, const Bounds& box) {
    const int left = static_cast<int>(box.left);
    const int right = static_cast<int>(box.right) - 1;
    const int quarter = (right - left + 1) / 4;
    // The box holds the face's rows over its middle half; its ends reach further.
    const int reach = static_cast<int>(box.bottom - box.top) / 2;
    const Span rows{std::max(0, static_cast<int>(box.top) - reach),
                    std::min(picture.height - 1, static_cast<int>(box.bottom) - 1 + reach)};
    if (quarter == 0) {
        return 0;
    }
    const std::optional<double> leftMiddle =
        faceMiddle(picture, mark, {left, left + quarter - 1}, rows);
    const std::optional<double> rightMiddle =
        faceMiddle(picture, mark, {right - quarter + 1, right}, rows);
    if (!leftMiddle || !rightMiddle) {
        return 0;
    }
    return (*rightMiddle - *leftMiddle) / (right - left + 1 - quarter);
}

// The face turned by `slope` that spans the box's columns and, over the middle
// half of them, its rows.
Quad<double> turnedFace(const Bounds& box, double slope) {
    const double c = 1 / std::hypot(1.0, slope);
    const double s = std::abs(slope) * c;
    const double boxWidth = box.right - box.left;
    const double height = c * (box.bottom - box.top - std::abs(slope) * boxWidth / 2);
    const double width = (boxWidth - height * s) / c;
    if (height <= 0 || width <= 0) {
        return boxCorners(box);
    }
    const Point<double> centre{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
    const Point<double> along{c * width / 2, slope * c * width / 2};
    const Point<double> across{-slope * c * height / 2, c * height / 2};
    return {{centre - along - across, centre + along - across, centre + along + across,
             centre - along + across}};
}

// The plate's face as its mark shows it: the rows about the candidate's middle
// that show the face in the middle half of its columns, then the columns about
// its centre that show it over those rows (the margins above and below the
// characters carry it across the whole face), turned as the face climbs across
// the picture. Empty when the mark gives no face of plate shape.
std::optional<Quad<double>> markedFace(const PicturePixels& picture,
                                       const PlateCandidate& candidate, const FaceMark& mark) {
    const int width = candidate.width();
    const int centre = candidate.left + width / 2;
    const int middle = (candidate.top + candidate.bottom) / 2;
    const Span rows{std::max(0, middle - width / 2),
                    std::min(picture.height - 1, middle + width / 2)};
    const std::optional<Span> down = markedAround(
        faceLines(picture, mark, false, rows, {centre - width / 4, centre + width / 4}),
        middle - rows.first, width / maxRowGapDivisor);
    if (!down) {
        return std::nullopt;
    }
    const Span faceRows{rows.first + down->first, rows.first + down->last};
    const Span columns{std::max(0, candidate.left - width / 2),
                       std::min(picture.width - 1, candidate.right + width / 2)};
    const std::optional<Span> across =
        markedAround(faceLines(picture, mark, true, columns, faceRows), centre - columns.first,
                     width / maxColumnGapDivisor);
    if (!across) {
        return std::nullopt;
    }
    const Span faceColumns{columns.first + across->first, columns.first + across->last};
    const int faceWidth = faceColumns.last - faceColumns.first + 1;
    const int faceHeight = faceRows.last - faceRows.first + 1;
    if (faceWidth * percent < width * minFaceWidthPercent ||
        faceWidth * percent > width * maxFaceWidthPercent ||
        faceHeight * percent < faceWidth * minFaceHeightPercent ||
        faceHeight * percent > faceWidth * maxFaceHeightPercent) {
        return std::nullopt;
    }
    const Bounds box{static_cast<double>(faceColumns.first), static_cast<double>(faceRows.first),
                     static_cast<double>(faceColumns.last + 1),
                     static_cast<double>(faceRows.last + 1)};
    const double slope = faceHeight < minTurnedHeight ? 0 : faceSlope(picture, mark, box);
    return std::abs(slope) < minTurn ? boxCorners(box) : turnedFace(box, slope);
}

// The face around the candidate's line of characters, in picture pixels: where
// its mark lies, or failing that, as the fallback says.
std::optional<Quad<double>> faceOf(const PicturePixels& picture, const PlateCandidate& candidate,
                                   const FaceMark& mark, FaceFallback fallback) {
    if (std::optional<Quad<double>> face = markedFace(picture, candidate, mark)) {
        return face;
    }
    if (fallback == FaceFallback::none) {
        return std::nullopt;
    }
    const double width = candidate.width() / lineShareOfFace;
    const double height = width * faceHeightPerWidth;
    const double centreX = candidate.left + candidate.width() / 2.0;
    const double centreY = candidate.top + candidate.height() / 2.0;
    return boxCorners(
        {centreX - width / 2, centreY - height / 2, centreX + width / 2, centreY + height / 2});
}

// Reads the plate on `face` as the formats its mark allows into `found`; false
// when there is no face or no format reads.
bool readFace(const std::optional<Quad<double>>& face, const FaceMark& mark,
              RecognitionContext& reader, FoundPlates& found) {
    if (!face || !warpAlong(reader, fitPlateCorners(reader.source(), *face))) {
        return false;
    }
    RecognitionResult best{};
    for (const int format : formatsFor(mark)) {
        RecognitionResult trial{};
        recogniseCharacters(reader, format, trial);
        if (trial.count > 0 && (best.count == 0 || trial.confidence[0] > best.confidence[0])) {
            best = trial;
        }
    }
    if (best.count == 0) {
        return false;
    }
    found.push_back(foundPlateOf(reader, best, 0));
    return true;
}

} // namespace

bool readPlateFace(const PlateCandidate& candidate, RecognitionContext& reader, FoundPlates& found,
                   FaceFallback fallback) {
    const PicturePixels picture = reader.source();
    const Hue hue = candidateHue(picture, candidate);
    if (hue != Hue::none) {
        const FaceMark mark{hue};
        return readFace(faceOf(picture, candidate, mark, fallback), mark, reader, found);
    }
    if (fallback == FaceFallback::none) {
        return false; // grey candidates are many: only the strongest one's face is read
    }
    // Without a hue the face may be lighter than its characters (a faded
    // yellow or a white plate) or darker (a blue plate at night).
    const int level = meanGrey(picture, candidate);
    return std::ranges::any_of(std::array{true, false}, [&](bool lightFace) {
        const FaceMark mark{Hue::none, level, lightFace};
        return readFace(markedFace(picture, candidate, mark), mark, reader, found);
    });
}

} // namespace kavro
