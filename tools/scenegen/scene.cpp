#include "tools/scenegen/scene.h"

#include "data/character_codes.h"

#include "tools/scenegen/gui_application.h"
#include "tools/scenegen/image_effects.h"
#include "tools/scenegen/plate_painter.h"
#include "tools/scenegen/plate_text.h"
#include "tools/scenegen/scene_backdrop.h"

#include <QPolygonF>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <stdexcept>

using namespace kavro;

namespace {

struct DifficultyParameters {
    double minPlateWidth; // pixels of the picture
    double maxPlateWidth;
    double minWidthShare; // plate width over picture width
    double maxWidthShare;
    double maxAngleDegrees;
    double maxPerspective; // relative shrink of the far edge
    double minBlur;        // Gaussian sigma in pixels
    double maxBlur;
    double minNoise; // standard deviation in grey levels
    double maxNoise;
    double minLightGain; // brightness across the picture
    double maxLightGain;
    double maxColourCast; // largest relative change of one channel by the light's colour
    std::span<const int> pictureWidths;
};

constexpr int pictureWidths[] = {640, 800, 1024, 1280, 1600};
constexpr int realPictureWidths[] = {400, 640, 800, 1024, 1280, 1600, 1920, 2560, 3264, 4000};
constexpr double minLightGain = 0.75;
constexpr double maxLightGain = 1.15;

constexpr DifficultyParameters easyScene{
    150, 260, 0.22, 0.45, 3, 0.02, 0.3, 0.7, 1, 3, minLightGain, maxLightGain, 0, pictureWidths};
constexpr DifficultyParameters normalScene{
    100, 250, 0.15, 0.40, 8, 0.05, 0.5, 1.1, 2, 5, minLightGain, maxLightGain, 0, pictureWidths};
constexpr DifficultyParameters hardScene{
    70, 160, 0.08, 0.30, 12, 0.10, 0.8, 1.6, 4, 9, minLightGain, maxLightGain, 0, pictureWidths};
// Night and glare: from less than half to 1.3 times the light, tinted by up to 20 %.
constexpr DifficultyParameters realScene{60,  400, 0.02, 0.35, 8,   0.08, 0.5,
                                         1.6, 2,   8,    0.4,  1.3, 0.2,  realPictureWidths};
constexpr QSize minPictureSize{160, 120};
constexpr QSize maxPictureSize{4000, 4000};
constexpr double wideAspectShare = 0.25; // pictures 16:9 instead of 4:3
// Two cars side by side: plates below a fifth of the picture width leave room
// for both car bodies.
constexpr double twoPlateMaxWidthShare = 0.18;
constexpr double widestPlateHalfWidthMm = 240; // new-energy plates are 480 mm wide
// Distance between two plate centres at which neither car covers the other plate.
constexpr double carClearanceMm = vehicleHalfWidthMm + widestPlateHalfWidthMm;
constexpr int maxPlates = 2;
// The reader looks for plates only below the top third of the picture.
constexpr double searchedTopShare = 1.0 / 3;
constexpr double plateMarginShare = 0.5; // free room around a plate, in plate heights
constexpr double plateShrink = 0.9;
constexpr int maxPlacementTries = 40;
constexpr double plateWidthSpread = 0.1; // the second plate differs in size by up to this
constexpr double textureAmplitude = 6;
constexpr int minTextureCell = 12;
constexpr int maxTextureCell = 40;
constexpr int minJpegQuality = 80;
constexpr int maxJpegQuality = 95;
constexpr std::uint32_t pictureStreamSalt = 0x9E3779B9; // seeds the choice of character pictures
constexpr std::uint32_t chinesePictureStreamSalt = 0x85EBCA6B; // and of Chinese character pictures

struct PlatePlacement {
    std::array<QPointF, 4> corners;
    QTransform plateToPicture;   // plate millimetres to picture, with perspective
    QTransform vehicleToPicture; // the car's millimetres around the plate centre
};

const DifficultyParameters& parameters(Difficulty difficulty) {
    switch (difficulty) {
    case Difficulty::easy:
        return easyScene;
    case Difficulty::hard:
        return hardScene;
    case Difficulty::real:
        return realScene;
    case Difficulty::normal:
        break;
    }
    return normalScene;
}

struct PictureLayout {
    QSize size;
    double plateWidth;
    double widestPlate; // that fits the picture
};

bool explicitWidths(const SceneOptions& options) {
    return options.maxPlateWidth > 0;
}

// The picture size: the requested one, or a listed width in which the plate
// takes its share. The plate width is adjusted to its share of the width; widths
// given in the options only so far as the plate has to fit.
PictureLayout choosePicture(double plateWidth, const DifficultyParameters& difficulty,
                            const SceneOptions& options, SceneRandom& random) {
    const double maxShare = options.plateCount == 1
                                ? difficulty.maxWidthShare
                                : std::min(difficulty.maxWidthShare, twoPlateMaxWidthShare);
    QSize size = options.pictureSize;
    if (size.isEmpty()) {
        std::vector<int> fitting;
        for (const int width : difficulty.pictureWidths) {
            const double share = plateWidth / width;
            if (share >= difficulty.minWidthShare && share <= maxShare) {
                fitting.push_back(width);
            }
        }
        const int width = fitting.empty() ? difficulty.pictureWidths.front()
                                          : random.pick(std::span<const int>(fitting));
        size = QSize(width, random.chance(wideAspectShare) ? width * 9 / 16 : width * 3 / 4);
    }
    const double widest = maxShare * size.width();
    if (explicitWidths(options)) {
        return {size, std::min(plateWidth, widest), widest};
    }
    return {size, std::clamp(plateWidth, difficulty.minWidthShare * size.width(), widest), widest};
}

// The part of the picture where plates may lie, split side by side for two plates.
QRectF plateSlot(QSize size, int index, int count, Placement placement) {
    const double third = size.height() * searchedTopShare;
    const double top = placement == Placement::lowerTwoThirds ? third : 0;
    const double bottom = placement == Placement::top ? third : size.height();
    const double width = static_cast<double>(size.width()) / count;
    return {index * width, top, width, bottom - top};
}

QPointF rotated(QPointF point, double radians) {
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    return {point.x() * c - point.y() * s, point.x() * s + point.y() * c};
}

// Corners around the plate centre: `turn` tilts the plate sideways (one side
// edge shorter), `tip` tilts it backwards (the top edge shorter or longer).
std::array<QPointF, 4> localCorners(double width, double height, double turn, double tip,
                                    double radians) {
    const double w = width / 2;
    const double h = height / 2;
    return {rotated({-w * (1 + tip), -h * (1 - turn)}, radians),
            rotated({w * (1 + tip), -h * (1 + turn)}, radians),
            rotated({-w * (1 - tip), h * (1 - turn)}, radians),
            rotated({w * (1 - tip), h * (1 + turn)}, radians)};
}

QRectF boundsOf(const std::array<QPointF, 4>& corners) {
    const auto [left, right] =
        std::ranges::minmax({corners[0].x(), corners[1].x(), corners[2].x(), corners[3].x()});
    const auto [top, bottom] =
        std::ranges::minmax({corners[0].y(), corners[1].y(), corners[2].y(), corners[3].y()});
    return {QPointF(left, top), QPointF(right, bottom)};
}

QPolygonF clockwise(const std::array<QPointF, 4>& corners) {
    return QPolygonF(
        {corners[topLeft], corners[topRight], corners[bottomRight], corners[bottomLeft]});
}

// The range of plate centres that keeps the plate and a margin inside the slot;
// empty when the plate is too large for it.
QRectF centreRange(const std::array<QPointF, 4>& corners, double height, const QRectF& slot) {
    const double margin = height * plateMarginShare;
    const QRectF bounds = boundsOf(corners);
    return slot.adjusted(margin - bounds.left(), margin - bounds.top(), -margin - bounds.right(),
                         -margin - bounds.bottom());
}

// Side by side, each car keeps near the middle of its slot so that neither
// car body reaches the other car's plate.
QRectF keepCarsApart(const QRectF& centres, const QRectF& slot, double pixelsPerMm) {
    const double jitter = std::max(0.0, slot.width() / 2 - carClearanceMm / 2 * pixelsPerMm);
    const double left = std::max(centres.left(), slot.center().x() - jitter);
    const double right = std::min(centres.right(), slot.center().x() + jitter);
    if (left > right) {
        const double x = std::clamp(slot.center().x(), centres.left(), centres.right());
        return {QPointF(x, centres.top()), QPointF(x, centres.bottom())};
    }
    return {QPointF(left, centres.top()), QPointF(right, centres.bottom())};
}

PlatePlacement placePlate(const PlateStyle& style, double width, const QRectF& slot,
                          bool sideBySide, const DifficultyParameters& difficulty,
                          SceneRandom& random) {
    const double degrees = random.real(-difficulty.maxAngleDegrees, difficulty.maxAngleDegrees);
    const double turn = random.real(-difficulty.maxPerspective, difficulty.maxPerspective);
    const double tip = random.real(-difficulty.maxPerspective, difficulty.maxPerspective);
    const double radians = qDegreesToRadians(degrees);
    const double aspect = style.heightMm / style.widthMm;
    auto corners = localCorners(width, width * aspect, turn, tip, radians);
    QRectF centres = centreRange(corners, width * aspect, slot);
    for (int attempt = 1; attempt < maxPlacementTries && centres.isEmpty(); ++attempt) {
        width *= plateShrink;
        corners = localCorners(width, width * aspect, turn, tip, radians);
        centres = centreRange(corners, width * aspect, slot);
    }
    const double pixelsPerMm = width / style.widthMm;
    if (sideBySide) {
        centres = keepCarsApart(centres, slot, pixelsPerMm);
    }
    const QPointF centre(random.real(centres.left(), centres.right()),
                         random.real(centres.top(), centres.bottom()));
    PlatePlacement placement;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        placement.corners[i] = corners[i] + centre;
    }
    const QRectF plate(0, 0, style.widthMm, style.heightMm);
    QTransform::quadToQuad(QPolygonF(plate).first(4), clockwise(placement.corners),
                           placement.plateToPicture);
    placement.vehicleToPicture.translate(centre.x(), centre.y());
    placement.vehicleToPicture.rotate(degrees);
    placement.vehicleToPicture.scale(pixelsPerMm, pixelsPerMm);
    return placement;
}

void degrade(QImage& image, const DifficultyParameters& difficulty, SceneRandom& random) {
    const QPointF from(random.real(0, image.width()), random.real(0, image.height()));
    const QPointF to(random.real(0, image.width()), random.real(0, image.height()));
    applyLighting(image, from, to, random.real(difficulty.minLightGain, difficulty.maxLightGain),
                  random.real(difficulty.minLightGain, difficulty.maxLightGain));
    addTexture(image, textureAmplitude, random.integer(minTextureCell, maxTextureCell), random);
    blurImage(image, random.real(difficulty.minBlur, difficulty.maxBlur));
    addNoise(image, random.real(difficulty.minNoise, difficulty.maxNoise), random);
    if (difficulty.maxColourCast > 0) {
        const double cast = difficulty.maxColourCast;
        applyColourCast(image, 1 + random.real(-cast, cast), 1 + random.real(-cast, cast),
                        1 + random.real(-cast, cast));
    }
}

// Streams of their own for the choice of character pictures, so that the
// pictures leave the rest of the scene as it was, and the Chinese characters'
// pictures leave those of the letters and digits as they were.
struct PictureStreams {
    SceneRandom latin;
    SceneRandom chinese;

    explicit PictureStreams(std::uint32_t seed)
        : latin(seed ^ pictureStreamSalt), chinese(seed ^ chinesePictureStreamSalt) {}

    SceneRandom& forCode(std::uint8_t code) { return code >= firstChineseCode ? chinese : latin; }
};

// The picture of each character that has one, "1" on green plates excepted:
// there it keeps the font's flag and foot, which the blue plates' bar does not show.
std::vector<PlateCharacter> plateCharacters(const PlateStyle& style,
                                            std::span<const std::uint8_t> codes,
                                            const CharacterPictures& pictures,
                                            PictureStreams& streams, bool fontOnly) {
    std::vector<PlateCharacter> characters;
    for (const std::uint8_t code : codes) {
        if (fontOnly) {
            characters.push_back({code, nullptr});
            continue;
        }
        const bool fontOne = code == '1' && style.latinFace == LatinFace::newEnergy;
        characters.push_back(
            {code, fontOne ? nullptr : pickCharacter(pictures, code, streams.forCode(code))});
    }
    return characters;
}

PlateTruth makeTruth(int formatIndex, std::vector<std::uint8_t> codes,
                     const PlatePlacement& placement, int pictureWidth) {
    PlateTruth truth{formatIndex, std::move(codes), {}, placement.corners, {}};
    truth.text = plateTextUtf8(truth.codes);
    for (std::size_t i = 0; i < truth.corners.size(); ++i) {
        truth.frameCorners[i] = toFrame(truth.corners[i], pictureWidth);
    }
    return truth;
}

} // namespace

void validateSceneOptions(const SceneOptions& options) {
    if (options.formats.empty() || !std::ranges::all_of(options.formats, isDrawableFormat)) {
        throw std::invalid_argument("plate formats must be among 1, 2, 4, 5 and 7");
    }
    if (options.plateCount < 0 || options.plateCount > maxPlates) {
        throw std::invalid_argument("a scene holds no plate, one or two");
    }
    if (options.minPlateWidth < 0 || options.maxPlateWidth < options.minPlateWidth ||
        (options.minPlateWidth > 0 && options.maxPlateWidth == 0)) {
        throw std::invalid_argument("plate widths must form a range of positive widths");
    }
    const QSize size = options.pictureSize;
    if (!size.isEmpty() &&
        (size.width() < minPictureSize.width() || size.height() < minPictureSize.height() ||
         size.width() > maxPictureSize.width() || size.height() > maxPictureSize.height())) {
        throw std::invalid_argument("pictures are 160 x 120 to 4000 x 4000 pixels");
    }
}

FramePoint toFrame(const QPointF& point, int pictureWidth) {
    const auto scale = [pictureWidth](double value) {
        return static_cast<std::int16_t>(std::lround(value * frameWidth / pictureWidth));
    };
    return {scale(point.x()), scale(point.y())};
}

Scene drawScene(std::uint32_t seed, const SceneOptions& options) {
    validateSceneOptions(options);
    ensureGuiApplication();
    SceneRandom random(seed);
    const DifficultyParameters& difficulty = parameters(options.difficulty);

    const double minWidth =
        explicitWidths(options) ? options.minPlateWidth : difficulty.minPlateWidth;
    const double maxWidth =
        explicitWidths(options) ? options.maxPlateWidth : difficulty.maxPlateWidth;
    const PictureLayout layout =
        choosePicture(random.real(minWidth, maxWidth), difficulty, options, random);
    std::vector<int> formats;
    std::vector<PlatePlacement> placements;
    for (int i = 0; i < options.plateCount; ++i) {
        const int format = random.pick(std::span<const int>(options.formats));
        const double width =
            explicitWidths(options)
                ? std::min(random.real(minWidth, maxWidth), layout.widestPlate)
                : layout.plateWidth * random.real(1 - plateWidthSpread, 1 + plateWidthSpread);
        formats.push_back(format);
        placements.push_back(
            placePlate(plateStyle(format), width,
                       plateSlot(layout.size, i, options.plateCount, options.placement),
                       options.plateCount > 1, difficulty, random));
    }

    QImage canvas(layout.size, QImage::Format_RGB32);
    QPainter painter(&canvas);
    paintClutter(painter, layout.size, random);
    for (const PlatePlacement& placement : placements) {
        painter.setTransform(placement.vehicleToPicture);
        paintVehicle(painter, random);
    }
    Scene scene{{}, {}, 0};
    const PlateFaces faces = defaultPlateFaces();
    PictureStreams pictureStreams(seed);
    for (std::size_t i = 0; i < placements.size(); ++i) {
        const PlateStyle& style = plateStyle(formats[i]);
        std::vector<std::uint8_t> codes = randomPlateCodes(formats[i], random);
        painter.setTransform(placements[i].plateToPicture);
        paintPlate(painter, style,
                   plateCharacters(style, codes, bundledCharacters(), pictureStreams,
                                   options.fontCharacters),
                   faces);
        paintPlateWear(painter, style, random);
        scene.plates.push_back(
            makeTruth(formats[i], std::move(codes), placements[i], layout.size.width()));
    }
    painter.end();

    scene.image = canvas.convertToFormat(QImage::Format_RGB888);
    degrade(scene.image, difficulty, random);
    scene.jpegQuality = random.integer(minJpegQuality, maxJpegQuality);
    return scene;
}
