#include "engine/recognise/plate_reader.h"

#include "data/plate_formats.h"
#include "engine/context/recognition_context.h"
#include "engine/recognise/network_reader.h"
#include "engine/recognise/plate_planes.h"
#include "engine/recognise/plate_vote.h"
#include "engine/recognise/segment.h"
#include "image/plate_corner_trailer.h"

#include <array>
#include <span>

namespace kavro {

namespace {

constexpr int platePixels = plateWidth * plateHeight;
constexpr int greyPlaneCount = 2;
// Middle characters first: a confident reading narrows the band for the rest.
constexpr std::array<int, maxPlatePositions> positionOrder = {3, 2, 4, 6, 0, 1, 5, 7};

// The candidate templates of each allowed list of a format, in fixed room.
class CandidateLists {
public:
    explicit CandidateLists(int formatIndex) {
        for (int list = 0; list < plateFormats[formatIndex].listCount; ++list) {
            counts_[list] = buildCandidates(formatIndex, list, room_[list]);
        }
    }
    std::span<const GlyphTemplate* const> operator[](int list) const {
        return std::span(room_[list]).first(static_cast<std::size_t>(counts_[list]));
    }

private:
    std::array<std::array<const GlyphTemplate*, maxCandidates>, allowedListCount> room_{};
    std::array<int, allowedListCount> counts_{};
};

// The two grey planes and the eight filtered binary planes of the plate in
// the slot about to be stored.
void prepareBinaryPlanes(RecognitionContext& context, const PlateFormat& format, int slot,
                         bool trailer) {
    std::uint8_t* grey[greyPlaneCount] = {context.platePlanes[0].get(),
                                          context.platePlanes[1].get()};
    derivePlatePlanes(context.plateImages[slot].get(), format.planeMode, grey[0], grey[1]);
    for (int g = 0; g < greyPlaneCount; ++g) {
        const auto levels = binaryLevels(measurePlaneLevels(grey[g]), g, trailer);
        clearPlateBorder(grey[g]);
        for (int i = 0; i < levelsPerGreyPlane; ++i) {
            std::uint8_t* binary = context.binaryPlanes[g * levelsPerGreyPlane + i].get();
            binarise(grey[g], levels[i], binary);
            majorityFilter(binary);
        }
    }
}

// Every position of every binary plane, read in the fixed position order.
VoteTable readPlanes(RecognitionContext& context, const PlateFormat& format,
                     const CandidateLists& candidates) {
    OutlinePoints points;
    std::array<std::array<CharBox, maxPlatePositions>, binaryPlaneCount> boxes{};
    VoteTable votes{};
    for (int k = 0; k < binaryPlaneCount; ++k) {
        std::uint8_t* binary = context.binaryPlanes[k].get();
        clearFrameRows(binary);
        const BytePlane plane{{binary, platePixels}, plateWidth, plateHeight};
        CharacterBand band{firstBandRow, lastBandRow};
        for (int i = 0; i < format.charCount; ++i) {
            const int p = positionOrder[i];
            votes[k][p] = segmentPosition(plane, format, p, band, points, boxes[k][p],
                                          candidates[format.charList[p]]);
        }
    }
    return votes;
}

// The eight binary planes read against the glyph templates, and a vote per position.
PlateReading readWithTemplates(RecognitionContext& context, int formatIndex, int slot,
                               bool trailer) {
    const PlateFormat& format = plateFormats[formatIndex];
    const CandidateLists candidates(formatIndex);
    prepareBinaryPlanes(context, format, slot, trailer);
    VoteTable votes = readPlanes(context, format, candidates);

    vetoIncompletePlanes(votes, format.charCount);
    PlateReading reading{};
    for (int p = 0; p < format.charCount; ++p) {
        reading[p] = votePosition(votes, p);
    }
    return reading;
}

} // namespace

int recogniseCharacters(RecognitionContext& context, int formatIndex, RecognitionResult& result) {
    const PlateFormat& format = plateFormats[formatIndex];
    const bool trailer = cornersFromTrailer;
    const bool templates = context.characterClassifier == CharacterClassifier::templates;
    const PlateReading reading =
        templates ? readWithTemplates(context, formatIndex, result.count, trailer)
                  : readWithNetwork(context, formatIndex, result.count,
                                    trailer ? nullptr : &networkLimits);
    const PlateScore score = scorePlate(reading, format.charCount, formatIndex);
    if (isAccepted(score, trailer, templates ? templateLimits : networkLimits)) {
        storePlate(result, formatIndex, score, reading, format.charCount);
    }
    correctText(result.text[0], trailer);
    return result.count;
}

} // namespace kavro
