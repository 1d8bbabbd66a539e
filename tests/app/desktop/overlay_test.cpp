// Screenshots of the view over generated pictures: each plate read is outlined
// where it lies on the picture, labelled with its place in the list, and shown
// rectified beside its text; View > 车牌位置 hides all of it.

#include "app/desktop/kavro_doc.h"
#include "app/desktop/view_drawing.h"
#include "desktop_fixture.h"
#include "support/mark_pixels.h"

#include <QAction>
#include <QSettings>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace kavro;

namespace {

constexpr int workingWidth = 512;
constexpr int nearTruth = 3; // view pixels: corner error, line width and antialiasing

// The true outer corners, clockwise from the top left, in view pixels.
QPolygonF trueOutline(const PlateTruth& truth, int pictureWidth) {
    const double scale = static_cast<double>(workingWidth) / pictureWidth;
    QPolygonF outline;
    for (const PlateCorner corner : {topLeft, topRight, bottomRight, bottomLeft}) {
        outline << truth.corners[corner] * scale;
    }
    return outline;
}

// Distance from `point` to the nearest point of the polygon's area (0 inside).
double distanceTo(const QPolygonF& polygon, QPointF point) {
    if (polygon.containsPoint(point, Qt::OddEvenFill)) {
        return 0;
    }
    double nearest = std::numeric_limits<double>::max();
    for (int side = 0; side < polygon.size(); ++side) {
        const QPointF a = polygon[side];
        const QPointF ab = polygon[(side + 1) % polygon.size()] - a;
        const double t =
            std::clamp(QPointF::dotProduct(point - a, ab) / QPointF::dotProduct(ab, ab), 0.0, 1.0);
        const QPointF off = point - (a + ab * t);
        nearest = std::min(nearest, std::hypot(off.x(), off.y()));
    }
    return nearest;
}

struct MarkPixels {
    int onPlate = 0;
    int offPlate = 0;
};

// The mark-coloured pixels of `area` outside `label`, on the plate (at most
// nearTruth from it) or off it.
MarkPixels markPixels(const QImage& image, const QRect& area, const QRect& label,
                      const QPolygonF& plate) {
    MarkPixels pixels;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (isMark(image.pixel(x, y)) && !label.contains(x, y)) {
                const bool on = distanceTo(plate, QPointF(x + 0.5, y + 0.5)) <= nearTruth;
                (on ? pixels.onPlate : pixels.offPlate)++;
            }
        }
    }
    return pixels;
}

int changedPixelsOutside(const QImage& before, const QImage& after, const QRect& area,
                         const QRegion& allowed) {
    int outside = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            outside += before.pixel(x, y) != after.pixel(x, y) && !allowed.contains(QPoint(x, y));
        }
    }
    return outside;
}

class OverlayTest : public DesktopTest {};

// Plates of four kinds, found by the search and along a corner trailer.
TEST_F(OverlayTest, OutlinesLieOnThePlateAndEachImageIsBesideItsText) {
    struct Case {
        const char* name;
        int format;
        bool withTrailer;
        std::uint32_t seed;
    };
    const Case cases[] = {
        {"blue-trailer", 1, true, 7301},
        {"blue", 1, false, 101},
        {"yellow", 2, false, 101},
        {"police", 7, false, 101},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SceneOptions options;
        options.formats = {c.format};
        options.difficulty = Difficulty::easy;
        options.pictureSize = QSize(800, 600);
        const Scene scene = drawScene(c.seed, options);
        ASSERT_TRUE(
            view().OpenFile(writeScene(QString::fromUtf8(c.name) + ".jpg", scene, c.withTrailer)));
        const PictureSession& session = view().GetSession();
        ASSERT_GE(session.result.count, 1);
        const RecognitionContext& context = session.context;
        const QRect picture(0, 0, context.planeWidth, context.planeHeight);

        ASSERT_TRUE(view().AreOverlaysShown());
        const QImage shown = render();
        view().SetOverlaysShown(false);
        const QImage bare = render();
        view().SetOverlaysShown(true);

        // Every pixel of the outline lies on the plate, all the way round the
        // corners found; the label "1" sits next to it inside the picture, and
        // nothing else on the picture changes.
        const PlateMark mark = viewMarks(context, listedPlates(session)).front();
        EXPECT_EQ(mark.label, QStringLiteral("1"));
        const QRect label = labelRect(mark, viewMarkStyle, picture);
        const QPolygonF truth = trueOutline(scene.plates.front(), scene.image.width());
        const MarkPixels outline = markPixels(shown, picture, label, truth);
        EXPECT_EQ(outline.offPlate, 0);
        EXPECT_GT(outline.onPlate, truth.boundingRect().width() * 2);
        EXPECT_EQ(unmarkedSidePoints(shown, mark.outline, nearTruth), 0);
        EXPECT_EQ(markPixels(bare, picture, label, truth).onPlate, 0);

        EXPECT_TRUE(picture.contains(label));
        EXPECT_TRUE(isMark(shown.pixel(label.topLeft())));
        const QRect nearPlate = truth.boundingRect().toAlignedRect().adjusted(
            -nearTruth - 1, -nearTruth - 1, nearTruth + 1, nearTruth + 1);
        EXPECT_LE(label.bottom(), nearPlate.top() + nearTruth);
        EXPECT_EQ(changedPixelsOutside(bare, shown, picture, QRegion(nearPlate) + label), 0);

        // The rectified plate beside the text block, right of its widest line.
        const QRect image = plateImageRect(session.result, context.planeWidth, 0);
        EXPECT_GT(image.left(), firstResultRect(context.planeWidth).left() + 200);
        EXPECT_EQ(regionOf(shown, image),
                  plateImageOf(session.plates.front()).convertToFormat(QImage::Format_RGB32));
        EXPECT_EQ(regionOf(bare, image), regionOf(QImage(), image)); // white without overlays
    }
}

// View > 车牌位置 hides the overlays, and the choice outlives the program.
TEST_F(OverlayTest, TheViewMenuSettingIsRemembered) {
    QAction& toggle = frame().PlateOverlaysToggle();
    EXPECT_TRUE(toggle.isCheckable());
    EXPECT_TRUE(toggle.isChecked());
    toggle.trigger();
    EXPECT_FALSE(view().AreOverlaysShown());
    EXPECT_FALSE(QSettings().value("Settings/PlateOverlays").toBool());

    CKavroDoc document;
    const CMainFrame next(document);
    EXPECT_FALSE(next.PlateOverlaysToggle().isChecked());
    EXPECT_FALSE(next.View().AreOverlaysShown());
    toggle.trigger();
    EXPECT_TRUE(QSettings().value("Settings/PlateOverlays").toBool());
}

} // namespace
