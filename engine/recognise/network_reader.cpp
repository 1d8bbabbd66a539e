#include "engine/recognise/network_reader.h"

#include "data/character_codes.h"
#include "engine/context/recognition_context.h"
#include "engine/recognise/char_net.h"
#include "engine/recognise/character_cuts.h"
#include "engine/recognise/plate_planes.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace kavro {

namespace {

constexpr int platePixels = plateWidth * plateHeight;
constexpr float percent = 100;
constexpr int maxGrey = 255;
// Cuts tried beside the fitted cell, as shares of the character width, when the
// fitted cell is not read with at least `sureEnough` probability.
constexpr std::array<float, 2> sideOffsets = {-0.1f, 0.1f};
constexpr float sureEnough = 0.95f;
// The positions whose fitted cells decide between the bright and the dark view,
// and the lead in summed probability that ends the comparison early.
constexpr std::array<int, 3> polarityProbes = {3, 2, 4};
constexpr float clearLead = 0.5f;
// Middle characters first: they are the likeliest to be read well, and a
// rejected plate is given up soonest.
constexpr std::array<int, maxPlatePositions> readingOrder = {3, 2, 4, 6, 0, 1, 5, 7};

using ClassMask = std::array<bool, char_net::classCount>;

// What a position's list makes of the network's classes: the characters it
// allows, and the classes its probability is shared among. Those are the allowed
// characters, "no character" and every character of the other kind (Chinese at
// a letter or digit, letters and digits at a Chinese one): a Chinese character
// in a letter's cell (a cut shifted by one) is no evidence of any letter, while
// among letters and digits a position's list decides.
struct PositionClasses {
    ClassMask allowed{};
    ClassMask counted{};
};

bool isChinese(std::uint8_t code) {
    return code >= firstChineseCode;
}

PositionClasses positionClasses(const PlateFormat& format, int list) {
    const auto& allowed = format.allowedChars[static_cast<std::size_t>(list)];
    const auto end = std::find(allowed.begin(), allowed.end(), 0);
    const bool chineseList = end != allowed.begin() && isChinese(allowed[0]);
    PositionClasses classes;
    for (int c = 0; c < char_net::classCount; ++c) {
        const std::uint8_t code = char_net::classCodes[static_cast<std::size_t>(c)];
        const bool isAllowed =
            c != char_net::junkClass && std::find(allowed.begin(), end, code) != end;
        classes.allowed[static_cast<std::size_t>(c)] = isAllowed;
        classes.counted[static_cast<std::size_t>(c)] =
            isAllowed || c == char_net::junkClass || isChinese(code) != chineseList;
    }
    return classes;
}

struct ClassChoice {
    std::uint8_t code = 0;
    float probability = 0;
};

// The most probable allowed character, its probability taken among the
// classes the position counts.
ClassChoice mostProbable(const CharNetLogits& logits, const PositionClasses& classes) {
    float highest = -INFINITY;
    for (int c = 0; c < char_net::classCount; ++c) {
        if (classes.counted[static_cast<std::size_t>(c)]) {
            highest = std::max(highest, logits[static_cast<std::size_t>(c)]);
        }
    }
    float total = 0;
    float best = -INFINITY;
    int bestClass = -1;
    for (int c = 0; c < char_net::classCount; ++c) {
        const float logit = logits[static_cast<std::size_t>(c)];
        if (classes.counted[static_cast<std::size_t>(c)]) {
            total += std::exp(logit - highest);
        }
        if (classes.allowed[static_cast<std::size_t>(c)] && logit > best) {
            best = logit;
            bestClass = c;
        }
    }
    if (bestClass < 0) {
        return {};
    }
    return {char_net::classCodes[static_cast<std::size_t>(bestClass)],
            std::exp(best - highest) / total};
}

CharMatch asMatch(const ClassChoice& choice) {
    const int score = std::clamp(static_cast<int>(choice.probability * percent), 0, 100);
    return {choice.code, static_cast<std::uint8_t>(score), 0};
}

BytePlane plateView(const std::unique_ptr<std::uint8_t[]>& plane) {
    return {{plane.get(), platePixels}, plateWidth, plateHeight};
}

// One way of seeing the plate: a grey plane in which the characters would be
// bright, and the layout fitted to its strokes.
struct PlateView {
    BytePlane grey;
    PlateLayout layout;
};

// The view in which the strokes of `grey` brighter than their surround (marked
// in `binary`, filtered and freed of the frame's rows) are the characters.
PlateView viewOf(const BytePlane& grey, std::uint8_t* binary, const PlateFormat& format) {
    markStrokes(grey, {binary, platePixels});
    majorityFilter(binary);
    clearFrameRows(binary);
    return {grey, fitLayout({{binary, platePixels}, plateWidth, plateHeight}, format)};
}

// Reads the positions of one view; the reading of each fitted cell is kept, so
// the cells read to choose the view are not read again.
class PositionReader {
public:
    PositionReader(const PlateView& view, const PlateFormat& format)
        : view_(view), format_(format) {
        for (int list = 0; list < format.listCount; ++list) {
            classes_[static_cast<std::size_t>(list)] = positionClasses(format, list);
        }
    }

    // The fitted cell of position p, and the cells beside it unless the fitted
    // one is read with at least `sureEnough` probability.
    ClassChoice read(int p) {
        ClassChoice best = centred(p);
        const float width = static_cast<float>(view_.layout.charWidth(format_));
        for (const float offset : sideOffsets) {
            if (best.probability >= sureEnough) {
                break;
            }
            const ClassChoice choice = readCut(p, offset * width);
            if (choice.probability > best.probability) {
                best = choice;
            }
        }
        return best;
    }

    // The fitted cell of position p alone (read once, then remembered).
    ClassChoice centred(int p) {
        auto& known = centred_[static_cast<std::size_t>(p)];
        if (!known) {
            known = readCut(p, 0);
        }
        return *known;
    }

private:
    ClassChoice readCut(int p, float offset) const {
        const CharacterCut cut = layoutCut(view_.layout, format_, p, offset);
        const PositionClasses& classes =
            classes_[static_cast<std::size_t>(format_.charList[static_cast<std::size_t>(p)])];
        return mostProbable(runCharNet(sampleCut(view_.grey, cut)), classes);
    }

    const PlateView& view_;
    const PlateFormat& format_;
    std::array<PositionClasses, allowedListCount> classes_{};
    std::array<std::optional<ClassChoice>, maxPlatePositions> centred_{};
};

// Which of the two views holds the characters: the one whose middle positions
// the network reads with more confidence. Positions are added until one view
// leads by `clearLead`.
int likelierView(std::array<PositionReader, 2>& readers) {
    float lead = 0;
    for (const int p : polarityProbes) {
        lead += readers[0].centred(p).probability - readers[1].centred(p).probability;
        if (std::abs(lead) > clearLead) {
            break;
        }
    }
    return lead >= 0 ? 0 : 1;
}

// The least score of position p that `limits` accept.
int leastAccepted(const AcceptanceLimits& limits, int p, int charCount, int formatIndex) {
    if (p == 0) {
        return limits.first;
    }
    return countsForScore(p, charCount, formatIndex) ? limits.lowest : 0;
}

} // namespace

PlateReading readWithNetwork(RecognitionContext& context, int formatIndex, int slot,
                             const AcceptanceLimits* limits) {
    const PlateFormat& format = plateFormats[static_cast<std::size_t>(formatIndex)];
    // The format's grey plane, and its inverse: a plate of another colour than its
    // format says (a yellow plate read as a blue one along trailer corners) shows
    // its characters dark in the first.
    std::uint8_t* grey = context.platePlanes[0].get();
    std::uint8_t* inverse = context.platePlanes[1].get();
    derivePlatePlanes(context.plateImages[slot].get(), format.planeMode, grey, inverse);
    for (int i = 0; i < platePixels; ++i) {
        inverse[i] = static_cast<std::uint8_t>(maxGrey - grey[i]);
    }
    const std::array<PlateView, 2> views = {
        viewOf(plateView(context.platePlanes[0]), context.binaryPlanes[0].get(), format),
        viewOf(plateView(context.platePlanes[1]), context.binaryPlanes[1].get(), format)};
    std::array<PositionReader, 2> readers = {PositionReader(views[0], format),
                                             PositionReader(views[1], format)};
    PositionReader& reader = readers[static_cast<std::size_t>(likelierView(readers))];

    PlateReading reading{};
    for (int i = 0; i < format.charCount; ++i) {
        const int p = readingOrder[static_cast<std::size_t>(i)];
        const CharMatch match = asMatch(reader.read(p));
        reading[static_cast<std::size_t>(p)] = match;
        if (limits != nullptr &&
            match.score < leastAccepted(*limits, p, format.charCount, formatIndex)) {
            break; // the plate is rejected whatever the other positions read
        }
    }
    return reading;
}

} // namespace kavro
