#pragma once
// The engine's working state for one picture: a top-down copy of the picture, the
// 512-wide working planes derived from it, the rectified plate slots and the label
// plane that localisation works in.

#include "engine/primitives/geometry.h"
#include "engine/primitives/picture_pixels.h"
#include "image/picture_limits.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>

namespace kavro {

inline constexpr int workingWidth = 512;                  // planeWidth of every working plane
inline constexpr int plateWidth = 384, plateHeight = 116; // rectified plate slots
inline constexpr int plateSlotCount = 2;
inline constexpr int binaryPlaneCount = 8;

// Per working row: five counters owned by localisation, then the row's first entry
// in labelPlane.
struct LabelRow {
    std::int32_t rowY, transitionCount, stretchRuns, stretchFirst, stretchLast;
    std::int32_t* row;
};

// What reads the characters of a rectified plate: the trained character
// network, or the binary glyph templates.
enum class CharacterClassifier { trained, templates };

struct RecognitionContext {
    // Allocates the plate slots (not cleared); no picture is prepared yet.
    RecognitionContext();

    // Copies the picture (blue-green-red rows of width*3 bytes; bottomUp when the first
    // row is the picture's bottom row) and derives every working plane except workPlane
    // and edgePlane. Throws std::invalid_argument for sides outside 1..32,767, a pixel span
    // shorter than width*height*3 or a picture so narrow for its height that its working
    // planes would be more than 32,767 rows high (more than 64 times as tall as wide).
    // Buffers whose size stays the same are reused; all allocation happens before anything
    // is replaced: after std::bad_alloc the previous picture is still intact.
    void prepareImage(std::span<const std::uint8_t> pixels, int width, int height, bool bottomUp);

    // Takes over the buffer of a top-down picture (width*height*3 bytes) as sourceImage
    // instead of copying it, with the checks and guarantees of prepareImage (the buffer
    // is gone after an exception, the previous picture is not). With PlaneFill::now the
    // working planes are derived at once; with PlaneFill::later they are only allocated,
    // enough for a plate whose corners are known, which is read from sourceImage alone,
    // until convertPlanes derives them.
    enum class PlaneFill { now, later };
    void adoptImage(std::unique_ptr<std::uint8_t[]> pixels, int width, int height, PlaneFill fill);

    // Derives the working planes an adoptImage with PlaneFill::later left unfilled; they
    // equal those prepareImage gives. Throws std::logic_error when none are waiting.
    void convertPlanes();

    // True while the working planes of the picture wait for convertPlanes.
    bool planesPending() const { return planesPending_; }

    // Derives the working planes from `window` of the prepared picture of `picture`
    // (whose working planes need not be filled), resampled to the working width, without
    // copying the picture: plates are then warped from that picture, which must outlive
    // this use. imageWidth and imageHeight become the window's size, `frame` maps the
    // planes into the picture. Throws std::invalid_argument for a window that does not lie
    // inside the picture or whose working planes would be empty.
    void prepareView(const RecognitionContext& picture, const PictureWindow& window);

    // The picture plates are warped from: sourceImage, or the picture a view was cut from.
    PicturePixels source() const;

    std::unique_ptr<std::uint8_t[]> sourceImage, colourPlane, hsvPlane, workPlane, greenPlane,
        bluePlane, yellowPlane, grayPlane, inverseGrayPlane, edgePlane;
    std::array<std::unique_ptr<std::uint8_t[]>, plateSlotCount> plateImages, platePlanes;
    std::array<std::unique_ptr<std::uint8_t[]>, binaryPlaneCount> binaryPlanes;
    std::int32_t planeWidth = 0, planeHeight = 0, imageWidth = 0, imageHeight = 0;
    // Rows of the picture, scaled to the working width, that lie above working row 0:
    // working y + planeRowOffset, times imageWidth / planeWidth, is a y of sourceImage.
    std::int32_t planeRowOffset = 0;
    std::unique_ptr<std::int32_t[]> labelPlane;
    std::unique_ptr<LabelRow[]> rowTable;
    CharacterClassifier characterClassifier = CharacterClassifier::trained;
    // Where the working planes lie in the picture plates are warped from.
    ViewFrame frame;
    // The corners, in pixels of that picture, of the plate last warped into each slot.
    std::array<Quad<double>, plateSlotCount> plateCorners{};

private:
    bool planesPending_ = false;
    PicturePixels viewed_; // the picture of a view; none for a picture of its own
};

} // namespace kavro
