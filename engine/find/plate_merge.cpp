#include "engine/find/plate_merge.h"

#include "engine/primitives/geometry.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace {

constexpr double minSharedArea = 0.5;

// Views that read the same text at this place.
int agreeing(const FoundPlate& plate, const std::vector<const FoundPlate*>& place) {
    return static_cast<int>(std::count_if(place.begin(), place.end(), [&](const FoundPlate* p) {
        return p->text == plate.text && p->formatIndex == plate.formatIndex;
    }));
}

const FoundPlate& bestReading(const std::vector<const FoundPlate*>& place) {
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

} // namespace

bool samePlace(const FoundPlate& a, const FoundPlate& b) {
    return overlapShare(a.corners, b.corners) >= minSharedArea;
}

FoundPlates mergePlates(const FoundPlates& found) {
    std::vector<std::vector<const FoundPlate*>> places;
    for (const FoundPlate& plate : found) {
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
        merged.push_back(bestReading(place));
    }
    return merged;
}

void fillResult(const FoundPlates& plates, RecognitionResult& result) {
    result = {};
    for (const FoundPlate& plate : plates) {
        if (result.count == maxPlates ||
            (result.count == 1 && result.formatIndex[0] == plate.formatIndex)) {
            continue;
        }
        const auto slot = static_cast<std::size_t>(result.count++);
        result.formatIndex[slot] = plate.formatIndex;
        result.confidence[slot] = static_cast<std::uint8_t>(plate.confidence);
        result.text[slot] = plate.text;
        result.charScore[slot] = plate.charScore;
    }
}
