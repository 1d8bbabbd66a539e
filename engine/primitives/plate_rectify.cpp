#include "engine/primitives/plate_rectify.h"

#include "data/plate_formats.h"
#include "engine/context/recognition_context.h"
#include "engine/primitives/histogram.h"
#include "engine/primitives/line_fit.h"
#include "engine/primitives/plate_edges.h"
#include "engine/primitives/plate_warp.h"
#include "engine/recognise/recognition_result.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

namespace kavro {

namespace {

constexpr int startThreshold = 128;
constexpr std::array<int, 3> middleBoxes = {2, 3, 4}; // top and bottom are sought above these
constexpr std::size_t maxRowPoints = 800;             // per border list, before another box
constexpr int minRowPoints = 3;
constexpr int maxTiltAgainstCentre = 2500; // a border tilted more is replaced
constexpr int fallbackRiseNumerator = 5;   // replacement border: 5/8 of a height off centre
constexpr int fallbackRiseDenominator = 8;
constexpr int fixedOne = 65536;
constexpr int minThresholdStep = 3;
constexpr int acceptedLeftPercent = 90;
constexpr int maxSideSlope = 32768; // half a pixel across per row
constexpr int sixteenths = 16;
constexpr std::array<int, 3> fallbackEighths = {7, 6, 5};
constexpr int halfInEighths = 4;

struct PlanePair {
    BytePlane primary;
    BytePlane fallback;
};

BytePlane planeOf(const RecognitionContext& context, const std::uint8_t* pixels) {
    const auto size = static_cast<std::size_t>(context.planeWidth) *
                      static_cast<std::size_t>(context.planeHeight);
    return {std::span<const std::uint8_t>(pixels, size), context.planeWidth, context.planeHeight};
}

// The planes in which the plate background of the mode comes out dark.
std::optional<PlanePair> planesFor(const RecognitionContext& context, PlaneMode planeMode) {
    const auto pair = [&](const auto& primary, const auto& fallback) {
        return PlanePair{planeOf(context, primary.get()), planeOf(context, fallback.get())};
    };
    switch (planeMode) {
    case PlaneMode::blue:
        return pair(context.bluePlane, context.grayPlane);
    case PlaneMode::yellow:
        return pair(context.yellowPlane, context.inverseGrayPlane);
    case PlaneMode::green:
        return pair(context.greenPlane, context.inverseGrayPlane);
    case PlaneMode::white:
        return pair(context.inverseGrayPlane, context.inverseGrayPlane);
    default:
        return std::nullopt;
    }
}

struct ClassMeans {
    int low = 0;
    int high = 0;
};

// Selects the threshold over twice the box in each direction, starting from
// and updating `threshold`.
ClassMeans selectAround(const BytePlane& plane, const CharBox& box, int& threshold) {
    Histogram histogram{};
    regionHistogram(plane.pixels, box.centre.x - box.width, 2 * box.width, 2 * box.height,
                    box.centre.y - box.height, histogram);
    ClassMeans means;
    selectThreshold(histogram, threshold, means.low, means.high);
    return means;
}

// Runs `tryThreshold` over the thresholds from half the low mean up to half
// way from the high mean to white, until it accepts; true when it did.
template <typename TryThreshold>
bool sweepThresholds(const ClassMeans& means, TryThreshold tryThreshold) {
    int step = (means.high - means.low) / 8;
    if (step <= minThresholdStep) {
        step = minThresholdStep;
    }
    for (int t = means.low / 2; t < (means.high + 255) / 2; t += step) {
        if (tryThreshold(t)) {
            return true;
        }
    }
    return false;
}

// The fitted border, or the centre line moved by 5/8 of `height` (up for
// `direction` -1) when too few points were found or the fit is tilted.
FixedLine rowBorder(const std::vector<EdgePoint>& points, const FixedLine& centre, int height,
                    int direction) {
    FixedLine border{0, 0};
    if (static_cast<int>(points.size()) >= minRowPoints) {
        border = refineRowLine(points).line;
    }
    if (std::abs(border.slope - centre.slope) > maxTiltAgainstCentre || border.intercept == 0) {
        const int shift = (fallbackRiseNumerator * height) / fallbackRiseDenominator;
        border = {centre.slope, centre.intercept + direction * shift * fixedOne};
    }
    return border;
}

// Whether a side scan found enough points to be fitted: more than f/8 of the
// profile, or without a profile more than `rowsNeeded`.
bool qualifies(int count, int profileCount, int eighths, int rowsNeeded) {
    return profileCount > 0 ? count > (profileCount * eighths) / 8 : count > rowsNeeded;
}

struct SideSearch {
    const CharBox& box;
    int centreSlope;
    int& threshold;
    std::vector<EdgePoint> points;
    FixedLine line{0, 0};
};

// Left border: the fit with the highest share of inliers, accepted above 90 %.
class LeftBorder {
public:
    LeftBorder(const CharBox& box, int centreSlope, int& threshold)
        : search_{box, centreSlope, threshold, {}, {0, 0}} {}

    FixedLine find(const PlanePair& planes) {
        const CharBox& box = search_.box;
        if (sweep(planes.primary, halfInEighths)) {
            return search_.line;
        }
        const ClassMeans means = selectAround(planes.fallback, box, search_.threshold);
        for (const int eighths : fallbackEighths) {
            if (sweepThresholds(means, [&](int t) { return tryAt(planes.fallback, t, eighths); })) {
                break;
            }
        }
        return search_.line;
    }

private:
    bool sweep(const BytePlane& plane, int eighths) {
        const ClassMeans means = selectAround(plane, search_.box, search_.threshold);
        return sweepThresholds(means, [&](int t) { return tryAt(plane, t, eighths); });
    }

    bool tryAt(const BytePlane& plane, int t, int eighths) {
        const CharBox& box = search_.box;
        const int n = leftEdgePoints(plane, t, search_.centreSlope, box, search_.points);
        if (!qualifies(n, box.leftProfileCount(), eighths, (3 * box.height) / 4)) {
            return false;
        }
        const RefinedLine fit = refineColumnLine(search_.points);
        const int inliers = fit.keptCount * 100 / n;
        if (inliers > bestPercent_) {
            bestPercent_ = inliers;
            search_.line = fit.line;
        }
        return inliers > acceptedLeftPercent;
    }

    SideSearch search_;
    int bestPercent_ = 0;
};

// Right border: the last qualifying fit, accepted when more than 7/8 of the
// points are inliers.
class RightBorder {
public:
    RightBorder(const CharBox& box, int centreSlope, int& threshold)
        : search_{box, centreSlope, threshold, {}, {0, 0}} {}

    FixedLine find(const PlanePair& planes) {
        const CharBox& box = search_.box;
        const ClassMeans primaryMeans = selectAround(planes.primary, box, search_.threshold);
        for (const int eighths : fallbackEighths) {
            if (sweepThresholds(primaryMeans,
                                [&](int t) { return tryAt(planes.primary, t, eighths); })) {
                return search_.line;
            }
        }
        const ClassMeans means = selectAround(planes.fallback, box, search_.threshold);
        sweepThresholds(means, [&](int t) { return tryAt(planes.fallback, t, halfInEighths); });
        return search_.line;
    }

private:
    bool tryAt(const BytePlane& plane, int t, int eighths) {
        const CharBox& box = search_.box;
        const int n = rightEdgePoints(plane, t, search_.centreSlope, box, search_.points);
        if (!qualifies(n, box.rightProfileCount(), eighths, box.height / 2)) {
            return false;
        }
        const RefinedLine fit = refineColumnLine(search_.points);
        search_.line = fit.line;
        return fit.keptCount > (7 * n) / 8;
    }

    SideSearch search_;
};

struct Borders {
    FixedLine top;
    FixedLine bottom;
    FixedLine left;
    FixedLine right;
};

bool usableSide(const FixedLine& side) {
    return side.intercept != 0 && std::abs(side.slope) < maxSideSlope;
}

// The four corners in picture pixels, or none when two borders do not meet.
std::optional<Quad<double>> cornersOf(const Borders& borders, const RecognitionContext& context) {
    const auto corner = [&](const FixedLine& side,
                            const FixedLine& row) -> std::optional<Point<double>> {
        const std::optional<FixedCorner> meet = intersectLines(side, row);
        if (!meet) {
            return std::nullopt;
        }
        return context.frame.toPicture(
            {static_cast<double>(meet->x) / sixteenths, static_cast<double>(meet->y) / sixteenths});
    };
    const auto topLeft = corner(borders.left, borders.top);
    const auto topRight = corner(borders.right, borders.top);
    const auto bottomLeft = corner(borders.left, borders.bottom);
    const auto bottomRight = corner(borders.right, borders.bottom);
    if (!topLeft || !topRight || !bottomLeft || !bottomRight) {
        return std::nullopt;
    }
    return Quad<double>{{*topLeft, *topRight, *bottomRight, *bottomLeft}};
}

FixedLine centreLineOf(std::span<const CharBox> boxes) {
    std::vector<EdgePoint> centres;
    for (const CharBox& box : boxes) {
        centres.push_back({{box.centre.x, box.centre.y}, 0});
    }
    return fitRowLine(centres);
}

} // namespace

int rectifyPlate(int formatIndex, std::span<const CharBox> boxes, RecognitionContext& context,
                 const RecognitionResult& result) {
    const PlateFormat& format = plateFormats[static_cast<std::size_t>(formatIndex)];
    const std::optional<PlanePair> planes = planesFor(context, format.planeMode);
    if (!planes || boxes.size() != static_cast<std::size_t>(format.charCount) || result.count < 0 ||
        result.count >= plateSlotCount) {
        return 0;
    }
    const FixedLine centre = centreLineOf(boxes);
    int threshold = startThreshold;

    std::vector<EdgePoint> topPoints;
    std::vector<EdgePoint> bottomPoints;
    for (const int index : middleBoxes) {
        const CharBox& box = boxes[static_cast<std::size_t>(index)];
        selectAround(planes->primary, box, threshold);
        if (topPoints.size() < maxRowPoints) {
            topEdgePoints(planes->primary, threshold, box, topPoints);
        }
        if (bottomPoints.size() < maxRowPoints) {
            bottomEdgePoints(planes->primary, threshold, box, bottomPoints);
        }
    }
    const int height = boxes[static_cast<std::size_t>(middleBoxes[0])].height;
    Borders borders{};
    borders.top = rowBorder(topPoints, centre, height, -1);
    borders.bottom = rowBorder(bottomPoints, centre, height, +1);
    borders.left = LeftBorder(boxes.front(), centre.slope, threshold).find(*planes);
    borders.right = RightBorder(boxes.back(), centre.slope, threshold).find(*planes);
    if (!usableSide(borders.left) || !usableSide(borders.right)) {
        return 0;
    }
    const std::optional<Quad<double>> corners = cornersOf(borders, context);
    if (!corners) {
        return 0;
    }
    const auto slot = static_cast<std::size_t>(result.count);
    if (!warpPlateFromCorners(context.plateImages[slot].get(), *corners, context.source())) {
        return 0;
    }
    context.plateCorners[slot] = *corners;
    return 1;
}

} // namespace kavro
