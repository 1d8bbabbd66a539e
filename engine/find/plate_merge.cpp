#include "engine/find/plate_merge.h"

#include "engine/primitives/geometry.h"
#include "engine/recognise/plate_vote.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace kavro {

namespace {

constexpr double minSharedArea = 0.5;
// Of about 670 plates found on photos and generated pictures, ten came out
// more than 4.5 times as wide as high, the flattest two 5.2 and 5.3 (small
// plates whose top and bottom were found along their characters, read right);
// lettering read as a plate comes out flatter still.
constexpr double maxWidthOverHeight = 6;

// Views that read the same text at this place.
int agreeing(const FoundPlate& plate, const std::vector<const FoundPlate*>& place) {
    return static_cast<int>(std::count_if(place.begin(), place.end(), [&](const FoundPlate* p) {
        return p->text == plate.text && p->formatIndex == plate.formatIndex;
    }));
}

// The reading most views agree on, among equals the most confident one.
const FoundPlate& leadingReading(const std::vector<const FoundPlate*>& place) {
    const FoundPlate* best = place.front();
    int bestVotes = agreeing(*best, place);
    for (const FoundPlate* plate : place) {
        const int votes = agreeing(*plate, place);
        if (votes > bestVotes || (votes == bestVotes && plate->confidence > best->confidence)) {
            best = plate;
            bestVotes = votes;
        }
    }
    return *best;
}

// The code of `position` that scores most summed over the readings of the
// leading reading's format and length (ties keep the leading reading's code),
// with its best score.
CharMatch positionVote(const FoundPlate& leading, const std::vector<const FoundPlate*>& place,
                       std::size_t position) {
    const auto voting = [&](const FoundPlate* plate) {
        return plate->formatIndex == leading.formatIndex && codeCount(*plate) == codeCount(leading);
    };
    const auto tally = [&](std::uint8_t code) {
        CharMatch match{code, 0, 0};
        int sum = 0;
        for (const FoundPlate* plate : place) {
            if (voting(plate) && plate->text[position] == code) {
                sum += plate->charScore[position];
                match.score = std::max(match.score, plate->charScore[position]);
            }
        }
        return std::pair{sum, match};
    };
    auto [bestSum, best] = tally(leading.text[position]);
    for (const FoundPlate* plate : place) {
        const auto [sum, match] = tally(plate->text[position]);
        if (voting(plate) && sum > bestSum) {
            bestSum = sum;
            best = match;
        }
    }
    return best;
}

// The place's reading: the leading reading (its format and corners), each
// position voted on by the readings of that format and length.
FoundPlate placeReading(const std::vector<const FoundPlate*>& place) {
    FoundPlate merged = leadingReading(place);
    const int count = codeCount(merged);
    PlateReading reading{};
    for (int p = 0; p < count; ++p) {
        reading[static_cast<std::size_t>(p)] =
            positionVote(merged, place, static_cast<std::size_t>(p));
        merged.text[static_cast<std::size_t>(p)] = reading[static_cast<std::size_t>(p)].code;
        merged.charScore[static_cast<std::size_t>(p)] = reading[static_cast<std::size_t>(p)].score;
    }
    merged.confidence = scorePlate(reading, count, merged.formatIndex).mean;
    return merged;
}

} // namespace

bool samePlace(const FoundPlate& a, const FoundPlate& b) {
    return overlapShare(a.corners, b.corners) >= minSharedArea;
}

bool plateShaped(const FoundPlate& plate) {
    return widthOf(plate.corners) <= maxWidthOverHeight * heightOf(plate.corners);
}

FoundPlates mergePlates(const FoundPlates& found) {
    std::vector<std::vector<const FoundPlate*>> places;
    for (const FoundPlate& plate : found) {
        if (!plateShaped(plate)) {
            continue;
        }
        const auto place = std::find_if(places.begin(), places.end(), [&](const auto& members) {
            return std::any_of(members.begin(), members.end(),
                               [&](const FoundPlate* member) { return samePlace(*member, plate); });
        });
        if (place == places.end()) {
            places.push_back({&plate});
        } else {
            place->push_back(&plate);
        }
    }
    FoundPlates merged;
    for (const auto& place : places) {
        merged.push_back(placeReading(place));
    }
    return merged;
}

void fillResult(FoundPlates& plates, RecognitionResult& result) {
    static_assert(maxPlates == 2, "the result holds a first plate and one of another format");
    result = {};
    if (plates.empty()) {
        return;
    }
    const auto other = std::find_if(plates.begin() + 1, plates.end(), [&](const FoundPlate& plate) {
        return plate.formatIndex != plates.front().formatIndex;
    });
    if (other != plates.end()) {
        std::rotate(plates.begin() + 1, other, other + 1);
    }
    result.count = other == plates.end() ? 1 : 2;
    for (std::size_t slot = 0; slot < static_cast<std::size_t>(result.count); ++slot) {
        result.formatIndex[slot] = plates[slot].formatIndex;
        result.confidence[slot] = static_cast<std::uint8_t>(plates[slot].confidence);
        result.text[slot] = plates[slot].text;
        result.charScore[slot] = plates[slot].charScore;
    }
}

} // namespace kavro
