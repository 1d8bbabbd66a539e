#pragma once
// The search of finer views of a picture: windows around the regions that may
// hold plates, each resampled to the working width so that its plate comes out
// at the size the row search reads best, and searched along that region's rows.

#include "engine/find/found_plate.h"
#include "engine/find/plate_candidates.h"

#include <optional>
#include <vector>

namespace kavro {

struct RecognitionContext;

// One view: a window of the picture, the rows of its working planes to scan
// (the middle of the candidate's band first, then rows further up and down in
// turn) and the columns around the candidate that the search looks at.
struct PlannedView {
    PictureWindow window;
    std::vector<int> rows;
    int firstColumn = 0;
    int lastColumn = 0;
    Point<double> centre; // of the candidate, in picture pixels
};

// Working pixels a plate should span in its view.
inline constexpr int viewPlateWidth = 200;

// The view in which `candidate` of a picture of `pictureWidth` x `pictureHeight`
// is searched with the candidate `plateWidth` working pixels wide; none when the
// picture cannot hold a window for it or its band lies where no row is scanned.
std::optional<PlannedView> planView(const PlateCandidate& candidate, int pictureWidth,
                                    int pictureHeight, int plateWidth = viewPlateWidth);

// Searches the views of the candidates of `picture` (a prepared context) that no
// plate in `found` covers already, strongest first, and appends their plates; a
// candidate whose views give no plate is read from its plate face.
void searchViews(const RecognitionContext& picture, FoundPlates& found);

} // namespace kavro
