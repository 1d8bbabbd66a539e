#include "engine/context/recognition_context.h"
#include "engine/find/view_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace kavro;

namespace {

PlateCandidate candidate(int left, int top, int width, int height) {
    return {left, top, left + width, top + height, 4, 0, 90};
}

// The window makes a candidate 200 working pixels wide, keeps it in the middle
// when the picture allows and lies inside the picture; its rows cross the band.
TEST(ViewPlan, WindowScalesTheCandidateToTheReadableSize) {
    const struct {
        PlateCandidate candidate;
        int pictureWidth, pictureHeight;
    } cases[] = {
        {candidate(900, 100, 100, 20), 1920, 1080}, // near the top
        {candidate(20, 1040, 100, 20), 1920, 1080}, // in a corner
        {candidate(1500, 500, 400, 80), 4000, 3000},
        {candidate(150, 200, 70, 14), 400, 300},
    };
    for (const auto& c : cases) {
        const std::optional<PlannedView> view =
            planView(c.candidate, c.pictureWidth, c.pictureHeight);
        ASSERT_TRUE(view) << c.candidate.left;
        const PictureWindow& w = view->window;
        EXPECT_EQ(w.width, std::max(128, c.candidate.width() * 512 / 200));
        EXPECT_GE(w.left, 0);
        EXPECT_GE(w.top, 0);
        EXPECT_LE(w.left + w.width, c.pictureWidth);
        EXPECT_LE(w.top + w.height, c.pictureHeight);
        ASSERT_FALSE(view->rows.empty());

        // The rows, mapped into the picture through the prepared view, cross the band.
        const std::vector<std::uint8_t> pixels(
            static_cast<std::size_t>(c.pictureWidth) * c.pictureHeight * 3, 128);
        RecognitionContext picture;
        picture.prepareImage(pixels, c.pictureWidth, c.pictureHeight, false);
        RecognitionContext prepared;
        prepared.prepareView(picture, w);
        for (const int row : view->rows) {
            const double y = prepared.frame.toPicture({0, static_cast<double>(row)}).y;
            EXPECT_GE(y, c.candidate.top - prepared.frame.scale) << row;
            EXPECT_LE(y, c.candidate.bottom) << row;
            EXPECT_LT(row, prepared.planeHeight - 12);
        }
        const double middle = prepared.frame.toPicture({0, double(view->rows.front())}).y;
        EXPECT_NEAR(middle, (c.candidate.top + c.candidate.bottom) / 2.0, 2 * prepared.frame.scale);
    }
}

TEST(ViewPlan, NoViewWhereNoRowCanBeScanned) {
    // A band at the very top of the picture lies in the rows left unscanned.
    EXPECT_FALSE(planView(candidate(900, 0, 100, 4), 1920, 1080));
    // A picture too flat for the smallest window.
    EXPECT_FALSE(planView(candidate(100, 10, 300, 10), 2000, 30));
}

} // namespace
