#include "engine/find/view_search.h"

#include "engine/context/colour_conversion.h"
#include "engine/context/edge_plane.h"
#include "engine/context/recognition_context.h"
#include "engine/find/face_read.h"
#include "engine/find/row_search.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

namespace kavro {

namespace {

constexpr int secondLookPlateWidth = 140;
constexpr int minWindowWidth = 128; // a window is enlarged at most four times
constexpr std::array<int, 3> viewPlaneHeights = {192, 128, 64};
constexpr int rowSpacing = 6;
constexpr int maxViewRows = 3;
constexpr int rowMargin = 12;           // rows this close to a plane's edge are not scanned
constexpr int columnMarginPercent = 50; // of the candidate's width, searched on either side
constexpr int maxViews = 6;
constexpr double sameScaleRatio = 1.5; // views closer in scale than this cover each other

// The smallest window height whose working planes are `planeHeight` rows high.
int windowHeightFor(int planeHeight, int windowWidth) {
    return ((planeHeight + 1) * windowWidth + workingWidth - 1) / workingWidth;
}

int clampedStart(int centre, int size, int limit) {
    return std::clamp(centre - size / 2, 0, limit - size);
}

// Where a prepared window's working planes lie in the picture.
ViewFrame frameOf(const PictureWindow& window) {
    const double scale = static_cast<double>(window.width) / workingWidth;
    const PlaneGeometry geometry = planeGeometry(window.width, window.height);
    return {{window.left / scale, window.top / scale + geometry.skipRows}, scale};
}

// Rows from the middle of the band outwards, alternately below and above it.
std::vector<int> bandRows(int highest, int lowest) {
    std::vector<int> rows;
    const int middle = (highest + lowest) / 2;
    for (int step = 0; static_cast<int>(rows.size()) < maxViewRows; ++step) {
        const int distance = (step + 1) / 2 * rowSpacing;
        if (middle - distance < highest && middle + distance > lowest) {
            break;
        }
        const int y = step % 2 == 0 ? middle + distance : middle - distance;
        if (y >= highest && y <= lowest) {
            rows.push_back(y);
        }
    }
    return rows;
}

bool inside(const Point<double>& p, const Bounds& b) {
    return p.x >= b.left && p.x <= b.right && p.y >= b.top && p.y <= b.bottom;
}

// True when a found plate covers the view's candidate.
bool coveredByPlate(const PlannedView& view, const FoundPlates& found) {
    return std::any_of(found.begin(), found.end(), [&](const FoundPlate& plate) {
        return inside(view.centre, boundsOf(plate.corners));
    });
}

// True when an earlier view of about the same scale scanned the candidate.
bool coveredByView(const PlannedView& view, const std::vector<PlannedView>& searched) {
    return std::any_of(searched.begin(), searched.end(), [&](const PlannedView& earlier) {
        const double ratio = static_cast<double>(view.window.width) / earlier.window.width;
        const ViewFrame other = frameOf(earlier.window);
        const double x = view.centre.x / other.scale - other.offset.x;
        const double y = view.centre.y / other.scale - other.offset.y;
        const auto [low, high] = std::minmax_element(earlier.rows.begin(), earlier.rows.end());
        return ratio < sameScaleRatio && ratio > 1 / sameScaleRatio && x >= earlier.firstColumn &&
               x <= earlier.lastColumn && y >= *low - rowSpacing && y <= *high + rowSpacing;
    });
}

// Clears the edge plane outside the view's columns, so that the row search
// looks at the candidate alone.
void keepColumns(const PlannedView& planned, RecognitionContext& view) {
    for (int y = 0; y < view.planeHeight; ++y) {
        std::uint8_t* row = view.edgePlane.get() + static_cast<std::ptrdiff_t>(y) * workingWidth;
        std::fill(row, row + planned.firstColumn, 0);
        std::fill(row + planned.lastColumn + 1, row + workingWidth, 0);
    }
}

void searchView(const PlannedView& planned, const RecognitionContext& picture,
                RecognitionContext& view, FoundPlates& found) {
    view.prepareView(picture, planned.window);
    computeEdgePlane(view.planeHeight, view.grayPlane.get(), view.edgePlane.get(), view.planeWidth);
    keepColumns(planned, view);
    RecognitionResult result{};
    searchRows(view, planned.rows, result, found, 1); // one candidate, one plate
}

} // namespace

std::optional<PlannedView> planView(const PlateCandidate& candidate, int pictureWidth,
                                    int pictureHeight, int plateWidth) {
    const int width =
        std::clamp(candidate.width() * workingWidth / plateWidth, minWindowWidth, pictureWidth);
    const auto fits = [&](int planeHeight) {
        return windowHeightFor(planeHeight, width) <= pictureHeight;
    };
    const auto planeHeight = std::find_if(viewPlaneHeights.begin(), viewPlaneHeights.end(), fits);
    if (planeHeight == viewPlaneHeights.end()) {
        return std::nullopt;
    }
    const int height = windowHeightFor(*planeHeight, width);
    PlannedView view;
    view.window = {clampedStart(candidate.left + candidate.width() / 2, width, pictureWidth),
                   clampedStart(candidate.top + candidate.height() / 2, height, pictureHeight),
                   width, height};
    const ViewFrame frame = frameOf(view.window);
    const auto toRow = [&](int y) {
        return static_cast<int>(std::floor(y / frame.scale - frame.offset.y));
    };
    const auto toColumn = [&](int x) {
        return static_cast<int>(std::floor(x / frame.scale - frame.offset.x));
    };
    view.rows = bandRows(std::max(toRow(candidate.top), rowMargin),
                         std::min(toRow(candidate.bottom), *planeHeight - 1 - rowMargin));
    if (view.rows.empty()) {
        return std::nullopt;
    }
    const int margin = candidate.width() * columnMarginPercent / 100;
    view.firstColumn = std::max(0, toColumn(candidate.left - margin));
    view.lastColumn = std::min(workingWidth - 1, toColumn(candidate.right + margin));
    view.centre = {candidate.left + candidate.width() / 2.0,
                   candidate.top + candidate.height() / 2.0};
    return view;
}

void searchViews(const RecognitionContext& picture, FoundPlates& found) {
    const PicturePixels pixels = picture.source();
    if (pixels.pixels == nullptr) {
        return;
    }
    std::unique_ptr<RecognitionContext> view;
    std::vector<PlannedView> searched;
    for (const PlateCandidate& candidate : findPlateCandidates(pixels)) {
        if (static_cast<int>(searched.size()) >= maxViews) {
            break;
        }
        const std::optional<PlannedView> planned = planView(candidate, pixels.width, pixels.height);
        if (!planned || coveredByPlate(*planned, found) || coveredByView(*planned, searched)) {
            continue;
        }
        if (!view) {
            view = std::make_unique<RecognitionContext>();
            view->characterClassifier = picture.characterClassifier;
        }
        const bool strongest = searched.empty();
        const std::size_t before = found.size();
        searchView(*planned, picture, *view, found);
        searched.push_back(*planned);
        // The strongest candidate gets a second look at a smaller scale: the row
        // search reads some plates only at one size or the other.
        if (found.size() == before && searched.size() == 1) {
            const std::optional<PlannedView> smaller =
                planView(candidate, pixels.width, pixels.height, secondLookPlateWidth);
            if (smaller) {
                searchView(*smaller, picture, *view, found);
                searched.push_back(*smaller);
            }
        }
        if (found.size() == before) {
            // Guessing the face from the line of characters alone costs a
            // reading for every coloured sign and grille: only the strongest
            // candidate's is read.
            readPlateFace(candidate, *view, found,
                          strongest ? FaceFallback::lineOfCharacters : FaceFallback::none);
        }
    }
}

} // namespace kavro
