#include "engine/find/corner_fit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <tuple>
#include <utility>
#include <vector>

namespace kavro {

namespace {

// Where a side is probed: this many places, spread over the middle of the side
// so that the plate's rounded corners stay out of it.
constexpr int probesPerSide = 24;
constexpr double firstProbe = 0.1; // of the side's length
constexpr double lastProbe = 0.9;
// How far across a side the edge is looked for, as a share of the plate's
// height, and at least minReach pixels: the finder's sides lie up to a tenth of
// the height inside or outside the edge.
constexpr double reachInside = 0.1;
constexpr double reachOutside = 0.15;
constexpr double minReach = 2;
// The colours at the ends of a probe are the means of this many samples.
constexpr int endSamples = 2;
// Plate and surround closer than this in colour (Euclidean, 0..255 per
// channel) tell no edge.
constexpr double minContrast = 40;
// The edge lies where the colour has gone half way from the surround's to the plate's.
constexpr double edgeLevel = 0.5;
// A plate's thin outer margin, blurred, shows as a ridge in the colour's
// distance from the surround's before a rim line: one that rises at least this
// share of the way to the plate's colour...
constexpr double minMarginRise = 0.25;
// ...and falls back below this share of its height at the rim.
constexpr double rimFallBack = 0.6;
// The margin's edge lies where the distance has risen this share of the
// ridge's height (a blurred thin margin peaks below its own colour).
constexpr double marginEdgeLevel = 0.7;
// Edge points further than this from the side's line are dropped, the line
// fitted again through the rest: pixels, widest first.
constexpr std::array<double, 3> inlierDistances = {3, 2, 1};
// A side moves only when this share of its probes agree on a line...
constexpr double minInlierShare = 0.6;
// ...that leans against the old side by at most this much (pixels per pixel):
// the finder's corner at one end of a short side can lie a fifth of the
// plate's height off the true one.
constexpr double maxLean = 0.3;
// New corners further than this share of the plate's height from the old ones
// mean the fit went astray.
constexpr double maxCornerShift = 0.3;

// Where a pixel's centre lies from its top left corner.
constexpr double pixelCentre = 0.5;

struct Colour {
    double blue = 0, green = 0, red = 0;
};

Colour operator+(Colour a, Colour b) {
    return {a.blue + b.blue, a.green + b.green, a.red + b.red};
}
Colour operator-(Colour a, Colour b) {
    return {a.blue - b.blue, a.green - b.green, a.red - b.red};
}
Colour operator*(double f, Colour c) {
    return {f * c.blue, f * c.green, f * c.red};
}
double colourDistance(Colour a, Colour b) {
    const Colour d = a - b;
    return std::sqrt(d.blue * d.blue + d.green * d.green + d.red * d.red);
}

using Vector = Point<double>;

double cross(Vector a, Vector b) {
    return a.x * b.y - a.y * b.x;
}

Vector unit(Vector v) {
    return (1 / std::hypot(v.x, v.y)) * v;
}

// A straight line through `point` along `direction`.
struct Line {
    Vector point;
    Vector direction;
};

// One side of the quadrilateral: from corner `from` to corner `to`, clockwise,
// so that the plate lies on the right and `outward` points left, off the plate.
struct Side {
    Vector from;
    Vector along;   // unit
    Vector outward; // unit
    double length;
};

Side sideOf(Vector from, Vector to) {
    const Vector along = unit(to - from);
    return {from, along, {along.y, -along.x}, distance(from, to)};
}

// The picture's colour at `p`, bilinear between pixel centres; none outside
// the picture. Pixel (x, y) covers x .. x + 1 and y .. y + 1, as it does for a
// painter drawing on the picture, so its centre lies at (x + 0.5, y + 0.5).
std::optional<Colour> colourAt(const PicturePixels& picture, Vector p) {
    const Vector centred = p - Vector{pixelCentre, pixelCentre};
    const int x = static_cast<int>(std::floor(centred.x));
    const int y = static_cast<int>(std::floor(centred.y));
    if (x < 0 || y < 0 || x + 1 >= picture.width || y + 1 >= picture.height) {
        return std::nullopt;
    }
    const double fx = centred.x - x;
    const double fy = centred.y - y;
    const auto pixel = [&](int px, int py) {
        const std::uint8_t* bgr = picture.row(py) + std::ptrdiff_t{px} * picturePixelBytes;
        return Colour{double(bgr[0]), double(bgr[1]), double(bgr[2])};
    };
    const Colour top = (1 - fx) * pixel(x, y) + fx * pixel(x + 1, y);
    const Colour bottom = (1 - fx) * pixel(x, y + 1) + fx * pixel(x + 1, y + 1);
    return (1 - fy) * top + fy * bottom;
}

// Colours across a side at one place: sample k lies `firstOffset` + k pixels
// outward of the side.
struct Probe {
    double along; // pixels from the side's first corner
    double firstOffset;
    std::vector<Colour> colours;
};

std::optional<Probe> probeAt(const PicturePixels& picture, const Side& side, double along,
                             double inside, double outside) {
    Probe probe{along, -inside, {}};
    const Vector base = side.from + along * side.along;
    for (double offset = -inside; offset <= outside; offset += 1) {
        const std::optional<Colour> colour = colourAt(picture, base + offset * side.outward);
        if (!colour) {
            return std::nullopt;
        }
        probe.colours.push_back(*colour);
    }
    return probe;
}

Colour meanOf(std::span<const Colour> colours) {
    Colour sum;
    for (const Colour& c : colours) {
        sum = sum + c;
    }
    return (1.0 / static_cast<double>(colours.size())) * sum;
}

Colour innerColour(const Probe& probe) {
    return meanOf(std::span(probe.colours).first(endSamples));
}

Colour outerColour(const Probe& probe) {
    return meanOf(std::span(probe.colours).last(endSamples));
}

double medianOf(std::vector<double> values) {
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// The plate's colour along a side: the median, channel by channel, of the
// colours at the inner ends of its probes (a few of which may hit a character);
// none without probes.
std::optional<Colour> plateColour(const std::vector<Probe>& probes) {
    if (probes.empty()) {
        return std::nullopt;
    }
    std::vector<double> blue, green, red;
    for (const Probe& probe : probes) {
        const Colour c = innerColour(probe);
        blue.push_back(c.blue);
        green.push_back(c.green);
        red.push_back(c.red);
    }
    return Colour{medianOf(blue), medianOf(green), medianOf(red)};
}

// The plate's colour inside its top and bottom sides. Between the plate's ends
// and its first and last characters there is too little background to tell its
// colour from, so the ends take the mean of the two (new-energy plates shade
// from top to bottom).
struct PlateColours {
    Colour top;
    Colour bottom;

    Colour ofSide(std::size_t side) const {
        return side == 0 ? top : side == 2 ? bottom : 0.5 * (top + bottom);
    }
};

std::optional<PlateColours>
plateColours(const std::array<std::vector<Probe>, quadCornerCount>& probes) {
    const std::optional<Colour> top = plateColour(probes[0]);
    const std::optional<Colour> bottom = plateColour(probes[2]);
    if (!top && !bottom) {
        return std::nullopt;
    }
    return PlateColours{top.value_or(*bottom), bottom.value_or(*top)};
}

// How far each of a probe's colours lies from the surround's.
std::vector<double> distancesFrom(const Probe& probe, const Colour& surround) {
    std::vector<double> distances;
    distances.reserve(probe.colours.size());
    for (const Colour& c : probe.colours) {
        distances.push_back(colourDistance(c, surround));
    }
    return distances;
}

// The height of the first ridge met walking in from the probe's outer end
// (distances from the surround, outermost last): a rise of at least
// minMarginRise of the contrast after which the colour falls back below
// rimFallBack of it. Without such a ridge, the largest distance.
double firstRidgeHeight(std::span<const double> distances, double contrast) {
    double peak = 0;
    for (auto d = distances.rbegin(); d != distances.rend(); ++d) {
        if (*d > peak) {
            peak = *d;
        } else if (peak >= minMarginRise * contrast && *d < rimFallBack * peak) {
            break;
        }
    }
    return peak;
}

// Where, walking in from the outer end, the distance from the surround first
// passes `level`, in pixels outward of the side; none when the outer end
// already lies past it (it straddles an edge: no surround to walk in from).
std::optional<double> crossingOffset(const Probe& probe, std::span<const double> distances,
                                     double level) {
    if (distances.back() > level) {
        return std::nullopt;
    }
    for (std::size_t k = distances.size() - 1; k-- > 0;) {
        if (distances[k] > level) {
            const double fraction = (distances[k] - level) / (distances[k] - distances[k + 1]);
            return probe.firstOffset + static_cast<double>(k) + fraction;
        }
    }
    return std::nullopt;
}

// Where, walking in from the probe's outer end, the colour first leaves the
// surround's: further from it than half the way to the plate's colour. So the
// plate's rim, in whatever colour, counts as plate. Outside a dark rim on a
// light plate (or a light rim on a dark one) the plate's thin outer margin,
// blurred between surround and rim, may come nowhere near half way: where the
// colour falls back toward the surround's at the rim, the edge lies on the
// margin's outer flank. In pixels outward of the side; none when plate and
// surround look alike or the probe never comes half way to the plate's colour.
std::optional<double> edgeOffset(const Probe& probe, const Colour& plate) {
    const Colour surround = outerColour(probe);
    const double contrast = colourDistance(surround, plate);
    if (contrast < minContrast) {
        return std::nullopt;
    }
    const std::vector<double> distances = distancesFrom(probe, surround);
    const double edgeDistance = edgeLevel * contrast;
    if (*std::max_element(distances.begin(), distances.end()) <= edgeDistance) {
        return std::nullopt;
    }
    const double marginDistance = marginEdgeLevel * firstRidgeHeight(distances, contrast);
    return crossingOffset(probe, distances, std::min(edgeDistance, marginDistance));
}

// An edge point: `offset` pixels outward of the side, `along` pixels from its first corner.
struct EdgeSample {
    double along;
    double offset;
};

// offset = intercept + slope * along
struct SideLine {
    double intercept = 0;
    double slope = 0;
};

// Least squares through the samples within `distance` of `line`; the count kept.
std::pair<SideLine, int> refit(const std::vector<EdgeSample>& samples, const SideLine& line,
                               double distance) {
    double n = 0, sa = 0, so = 0, saa = 0, sao = 0;
    for (const EdgeSample& s : samples) {
        if (std::abs(s.offset - (line.intercept + line.slope * s.along)) <= distance) {
            n += 1;
            sa += s.along;
            so += s.offset;
            saa += s.along * s.along;
            sao += s.along * s.offset;
        }
    }
    const double spread = n * saa - sa * sa;
    if (n < 2 || spread <= 0) {
        return {line, static_cast<int>(n)};
    }
    const double slope = (n * sao - sa * so) / spread;
    return {{(so - slope * sa) / n, slope}, static_cast<int>(n)};
}

// The line through most edge points, starting level at their median offset
// so that a few stray points cannot pull it; none when too few agree.
std::optional<SideLine> fitSideLine(const std::vector<EdgeSample>& samples) {
    if (samples.empty()) {
        return std::nullopt;
    }
    std::vector<double> offsets;
    for (const EdgeSample& s : samples) {
        offsets.push_back(s.offset);
    }
    SideLine line{medianOf(offsets), 0};
    int kept = 0;
    for (const double distance : inlierDistances) {
        std::tie(line, kept) = refit(samples, line, distance);
    }
    if (kept < minInlierShare * probesPerSide || std::abs(line.slope) > maxLean) {
        return std::nullopt;
    }
    return line;
}

// The probes across a side that lie inside the picture.
std::vector<Probe> probesAcross(const PicturePixels& picture, const Side& side,
                                double plateHeight) {
    const double inside = std::max(minReach, reachInside * plateHeight);
    const double outside = std::max(minReach, reachOutside * plateHeight);
    std::vector<Probe> probes;
    for (int i = 0; i < probesPerSide; ++i) {
        const double share = firstProbe + (lastProbe - firstProbe) * i / (probesPerSide - 1);
        if (std::optional<Probe> probe =
                probeAt(picture, side, share * side.length, inside, outside)) {
            probes.push_back(std::move(*probe));
        }
    }
    return probes;
}

// The side's line moved onto the plate's outer edge, or the side as it was.
Line fittedSide(const Side& side, const std::vector<Probe>& probes, const Colour& plate) {
    std::vector<EdgeSample> samples;
    for (const Probe& probe : probes) {
        if (const std::optional<double> offset = edgeOffset(probe, plate)) {
            samples.push_back({probe.along, *offset});
        }
    }
    const std::optional<SideLine> line = fitSideLine(samples);
    if (!line) {
        return {side.from, side.along};
    }
    return {side.from + line->intercept * side.outward,
            unit(side.along + line->slope * side.outward)};
}

Vector intersection(const Line& a, const Line& b) {
    const double t = cross(b.point - a.point, b.direction) / cross(a.direction, b.direction);
    return a.point + t * a.direction;
}

// A convex clockwise quadrilateral whose corners each lie near the old ones.
bool sane(const Quad<double>& fitted, const Quad<double>& old) {
    if (!isConvexClockwise(fitted)) {
        return false;
    }
    const double limit = maxCornerShift * heightOf(old);
    for (std::size_t i = 0; i < quadCornerCount; ++i) {
        if (!(distance(fitted.corners[i], old.corners[i]) <= limit)) {
            return false;
        }
    }
    return true;
}

} // namespace

Quad<double> fitPlateCorners(const PicturePixels& picture, const Quad<double>& corners) {
    if (picture.pixels == nullptr || !isConvexClockwise(corners)) {
        return corners;
    }
    // Sides clockwise: top, right, bottom, left; side i runs from corner i to corner i + 1.
    std::array<Side, quadCornerCount> sides;
    std::array<std::vector<Probe>, quadCornerCount> probes;
    for (std::size_t i = 0; i < quadCornerCount; ++i) {
        sides[i] = sideOf(corners.corners[i], corners.corners[(i + 1) % quadCornerCount]);
        probes[i] = probesAcross(picture, sides[i], heightOf(corners));
    }
    const std::optional<PlateColours> colours = plateColours(probes);
    if (!colours) {
        return corners;
    }
    std::array<Line, quadCornerCount> lines;
    for (std::size_t i = 0; i < quadCornerCount; ++i) {
        lines[i] = fittedSide(sides[i], probes[i], colours->ofSide(i));
    }
    Quad<double> fitted;
    for (std::size_t i = 0; i < quadCornerCount; ++i) {
        // Corner i is where the side before it meets side i.
        fitted.corners[i] =
            intersection(lines[(i + quadCornerCount - 1) % quadCornerCount], lines[i]);
    }
    return sane(fitted, corners) ? fitted : corners;
}

} // namespace kavro
