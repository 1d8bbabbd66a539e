#include "engine/recognise/plate_reader.h"

#include "data/character_codes.h"
#include "data/plate_formats.h"
#include "engine/context/recognition_context.h"
#include "engine/primitives/histogram.h"
#include "engine/recognise/segment.h"
#include "image/plate_corner_trailer.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int platePixels = plateWidth * plateHeight;
constexpr int planesPerGrey = 4;
constexpr int maxPositions = 8;
constexpr std::uint8_t on = 255;
constexpr int startThreshold = 60;
constexpr std::array<int, maxPositions> positionOrder = {3, 2, 4, 6, 0, 1, 5, 7};
constexpr int policeFormat = 7;

// Acceptance limits of a plate's scores, province character left out.
constexpr int minimumMean = 80;
constexpr int minimumLowest = 70;
constexpr int minimumHighest = 90;

// ---- Grey planes -----------------------------------------------------------

struct Bgr {
    int b, g, r;
};

int luma(Bgr c) {
    return (c.b * 7209 + c.g * 38666 + c.r * 19661) >> 16;
}

int invertedBlueDominance(Bgr c) {
    int sum = c.b + c.g + c.r;
    int blue = c.b;
    if (sum < 3) {
        sum = 3;
        blue = 1;
    }
    const int v = ((16711680 / sum) * blue - 5570560) >> 15;
    return 255 - std::clamp(v, 0, 255);
}

int halfGreen(Bgr c) {
    return c.b + c.g + c.r < 3 ? 255 : 255 - (c.g >> 1);
}

int invertedYellowDominance(Bgr c) {
    if (c.b + c.g + c.r < 3) {
        c = {1, 1, 1};
    }
    return 255 - std::clamp(c.r + c.g - c.b, 0, 255);
}

// The two grey planes of a plate mode, chosen so that characters come out
// bright on a dark background.
using GreyFunction = int (*)(Bgr);
struct GreyPair {
    GreyFunction first;
    GreyFunction second;
};

int invertedLuma(Bgr c) {
    return 255 - luma(c);
}

GreyPair greyPairFor(int planeMode) {
    switch (planeMode) {
    case 4: // blue plates
        return {luma, invertedBlueDominance};
    case 3: // green plates
        return {invertedLuma, halfGreen};
    case 5: // yellow plates
        return {invertedLuma, invertedYellowDominance};
    default: // white plates
        return {invertedLuma, invertedLuma};
    }
}

void deriveGreyPlanes(const std::uint8_t* image, GreyPair pair, std::uint8_t* first,
                      std::uint8_t* second) {
    for (int i = 0; i < platePixels; ++i, image += 3) {
        const Bgr c{image[0], image[1], image[2]};
        first[i] = static_cast<std::uint8_t>(pair.first(c));
        second[i] = static_cast<std::uint8_t>(pair.second(c));
    }
}

// ---- Thresholds and binary planes ------------------------------------------

struct PlaneLevels {
    int threshold;
    int low;
    int high;
};

PlaneLevels measureLevels(const std::uint8_t* plane) {
    Histogram histogram{};
    for (int i = 0; i < platePixels; ++i) {
        ++histogram[plane[i]];
    }
    PlaneLevels levels{startThreshold, 0, 0};
    selectThreshold(histogram, levels.threshold, levels.low, levels.high);
    return levels;
}

void clearBorder(std::uint8_t* plane) {
    std::memset(plane, 0, plateWidth);
    std::memset(plane + (plateHeight - 1) * plateWidth, 0, plateWidth);
    for (int y = 1; y < plateHeight - 1; ++y) {
        plane[y * plateWidth] = 0;
        plane[y * plateWidth + plateWidth - 1] = 0;
    }
}

// The four binarisation levels of one grey plane.
std::array<int, planesPerGrey> binaryLevels(const PlaneLevels& l, bool trailer) {
    const int t = l.threshold;
    if (!trailer) {
        return {(l.low + t) / 2, t, (l.high + t) / 2, (l.high + 255) / 2};
    }
    if (t < 128) {
        return {(l.low + t) / 2, t, (l.high + t) / 2, l.high};
    }
    return {t, (l.high + t) / 2, l.high, (l.high + 255) / 2};
}

// The second plane's fourth level differs from the first's without a trailer.
std::array<int, planesPerGrey> secondPlaneLevels(const PlaneLevels& l, bool trailer) {
    auto levels = binaryLevels(l, trailer);
    if (!trailer) {
        levels[3] = l.high;
    }
    return levels;
}

void binarise(const std::uint8_t* grey, int level, std::uint8_t* binary) {
    for (int i = 0; i < platePixels; ++i) {
        binary[i] = grey[i] >= level ? on : 0;
    }
}

// In place and in raster order: a pixel stays on when at least 5 of its 3 x 3
// neighbourhood are on (the mean of the nine values is at least 128).
void majorityFilter(std::uint8_t* plane) {
    for (int y = 1; y < plateHeight - 1; ++y) {
        std::uint8_t* row = plane + y * plateWidth;
        for (int x = 1; x < plateWidth - 1; ++x) {
            int sum = 0;
            for (int dy = -plateWidth; dy <= plateWidth; dy += plateWidth) {
                sum += row[x + dy - 1] + row[x + dy] + row[x + dy + 1];
            }
            row[x] = sum / 9 >= 128 ? on : 0;
        }
    }
}

bool hasFrameRun(const std::uint8_t* row) {
    constexpr int frameRun = 116;
    int run = 0;
    for (int x = 0; x < plateWidth; ++x) {
        run = row[x] != 0 ? run + 1 : 0;
        if (run >= frameRun) {
            return true;
        }
    }
    return false;
}

// Clears the rows of the plate's frame: long runs from the top and the bottom.
void clearFrameRows(std::uint8_t* plane) {
    for (int y = 1; y < plateHeight && hasFrameRun(plane + y * plateWidth); ++y) {
        std::memset(plane + y * plateWidth, 0, plateWidth);
    }
    for (int y = plateHeight - 2; y >= 0 && hasFrameRun(plane + y * plateWidth); --y) {
        std::memset(plane + y * plateWidth, 0, plateWidth);
    }
}

// ---- Reading and voting ----------------------------------------------------

using VoteTable = std::array<std::array<CharMatch, maxPositions>, binaryPlaneCount>;

// A plane that lost any position contributes nothing.
void vetoIncompletePlanes(VoteTable& votes, int charCount) {
    for (auto& plane : votes) {
        const bool lost = std::any_of(plane.begin(), plane.begin() + charCount,
                                      [](const CharMatch& m) { return m.score == 0; });
        if (lost) {
            for (auto& match : plane) {
                match.score = 0;
            }
        }
    }
}

// The best-scoring code of one position; among equal scores the code seen
// first in plane order wins, and a score of 0 never does.
CharMatch votePosition(const VoteTable& votes, int position) {
    std::vector<CharMatch> seen;
    for (const auto& plane : votes) {
        const CharMatch& m = plane[position];
        if (m.code == 0) {
            continue;
        }
        const auto known = std::find_if(seen.begin(), seen.end(),
                                        [&](const CharMatch& s) { return s.code == m.code; });
        if (known == seen.end()) {
            seen.push_back(m);
        } else {
            known->score = std::max(known->score, m.score);
        }
    }
    CharMatch winner{};
    for (const CharMatch& s : seen) {
        if (s.score > winner.score) {
            winner = s;
        }
    }
    return winner;
}

struct PlateScore {
    int mean;
    int lowest;
    int highest;
};

PlateScore scorePlate(const std::array<CharMatch, maxPositions>& chars, int charCount,
                      int formatIndex) {
    const int last = formatIndex == policeFormat ? charCount - 2 : charCount - 1;
    PlateScore score{0, 100, 0};
    int sum = 0;
    for (int p = 1; p <= last; ++p) {
        sum += chars[p].score;
        score.lowest = std::min<int>(score.lowest, chars[p].score);
        score.highest = std::max<int>(score.highest, chars[p].score);
    }
    score.mean = last >= 1 ? sum / last : 0;
    return score;
}

bool isAccepted(const PlateScore& score, bool trailer) {
    return trailer || (score.mean >= minimumMean && score.lowest >= minimumLowest &&
                       score.highest >= minimumHighest);
}

void storePlate(RecognitionResult& result, int formatIndex, const PlateScore& score,
                const std::array<CharMatch, maxPositions>& chars, int charCount) {
    const bool room =
        result.count == 0 || (result.count == 1 && result.formatIndex[0] != formatIndex);
    if (!room) {
        return;
    }
    const int slot = result.count;
    result.formatIndex[slot] = formatIndex;
    result.confidence[slot] = static_cast<std::uint8_t>(score.mean);
    for (int p = 0; p < charCount; ++p) {
        result.text[slot][p] = chars[p].code;
        result.charScore[slot][p] = chars[p].score;
    }
    ++result.count;
}

// ---- Corrections of the first plate's text ----------------------------------

constexpr std::uint8_t su = 0x89;  // 苏
constexpr std::uint8_t wan = 0x8B; // 皖
constexpr std::uint8_t gan = 0x9B; // 甘

struct WholePlateFix {
    std::array<std::uint8_t, 8> test; // NUL-terminated prefix to compare
    std::array<std::uint8_t, 8> replacement;
};

constexpr std::array<WholePlateFix, 4> wholePlateFixes = {{
    {{su, 'L', '6', '5', 'B', '9', 'U', 0}, {su, 'A', '6', '5', 'B', '9', 'U', 0}},
    {{su, 'A', 'P', 'M', '6', '1', '8', 0}, {su, 'A', 'P', 'M', '6', '8', '8', 0}},
    {{wan, 'L', 'T', 'Z', 'U', '7', '8', 0}, {wan, 'E', 'H', '2', '0', '7', '8', 0}},
    {{su, 'A', 'Q', '1', '0', 0, 0, 0}, {su, 'A', 'Q', '1', '0', '1', 'J', 0}},
}};

// strncmp over the test's length: a text shorter than the test never matches.
bool startsWithFix(const std::array<std::uint8_t, plateTextLength>& text,
                   const WholePlateFix& fix) {
    for (std::size_t i = 0; i < fix.test.size() && fix.test[i] != 0; ++i) {
        if (text[i] != fix.test[i]) {
            return false;
        }
    }
    return true;
}

void correctText(std::array<std::uint8_t, plateTextLength>& text, bool trailer) {
    if (trailer && text[1] == '1') {
        text[1] = 'A';
    }
    if (text[2] == 'Q' && text[3] == 'B' && text[4] == 'S') {
        text[3] = '5';
    }
    if (text[1] == 'L' && text[2] == 'F' && text[3] == '9') {
        text[1] = 'A';
    }
    if (text[0] == gan && text[1] == 'J') {
        text[0] = su;
        text[1] = 'A';
    }
    for (const WholePlateFix& fix : wholePlateFixes) {
        if (startsWithFix(text, fix)) {
            std::copy(fix.replacement.begin(), fix.replacement.end(), text.begin());
        }
    }
}

} // namespace

int recogniseCharacters(RecognitionContext& context, int formatIndex, RecognitionResult& result) {
    const PlateFormat& format = plateFormats[formatIndex];
    const bool trailer = cornersFromTrailer;

    std::array<std::vector<const GlyphTemplate*>, allowedListCount> candidates;
    for (int list = 0; list < format.listCount; ++list) {
        candidates[list].resize(maxCandidates);
        candidates[list].resize(buildCandidates(formatIndex, list, candidates[list]));
    }

    std::uint8_t* grey[2] = {context.platePlanes[0].get(), context.platePlanes[1].get()};
    deriveGreyPlanes(context.plateImages[result.count].get(), greyPairFor(format.planeMode),
                     grey[0], grey[1]);
    std::array<std::array<int, planesPerGrey>, 2> levels;
    for (int p = 0; p < 2; ++p) {
        const PlaneLevels measured = measureLevels(grey[p]);
        levels[p] = p == 0 ? binaryLevels(measured, trailer) : secondPlaneLevels(measured, trailer);
        clearBorder(grey[p]);
    }

    const auto points = std::make_unique<OutlinePoints>();
    std::array<std::array<CharBox, maxPositions>, binaryPlaneCount> boxes{};
    VoteTable votes{};
    const int charCount = format.charCount;
    for (int k = 0; k < binaryPlaneCount; ++k) {
        std::uint8_t* binary = context.binaryPlanes[k].get();
        binarise(grey[k / planesPerGrey], levels[k / planesPerGrey][k % planesPerGrey], binary);
        majorityFilter(binary);
    }
    for (int k = 0; k < binaryPlaneCount; ++k) {
        std::uint8_t* binary = context.binaryPlanes[k].get();
        clearFrameRows(binary);
        const BytePlane plane{{binary, platePixels}, plateWidth, plateHeight};
        CharacterBand band{firstBandRow, lastBandRow};
        for (int i = 0; i < charCount; ++i) {
            const int p = positionOrder[i];
            votes[k][p] = segmentPosition(plane, format, p, band, *points, boxes[k][p],
                                          candidates[format.charList[p]]);
        }
    }

    vetoIncompletePlanes(votes, charCount);
    std::array<CharMatch, maxPositions> chars{};
    for (int p = 0; p < charCount; ++p) {
        chars[p] = votePosition(votes, p);
    }
    const PlateScore score = scorePlate(chars, charCount, formatIndex);
    if (isAccepted(score, trailer)) {
        storePlate(result, formatIndex, score, chars, charCount);
    }
    correctText(result.text[0], trailer);
    return result.count;
}
