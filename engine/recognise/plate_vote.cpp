#include "engine/recognise/plate_vote.h"

#include <algorithm>
#include <span>
#include <tuple>

namespace kavro {

namespace {

constexpr int policeFormat = 7;

int lastCountedPosition(int charCount, int formatIndex) {
    return formatIndex == policeFormat ? charCount - 2 : charCount - 1;
}

} // namespace

void vetoIncompletePlanes(VoteTable& votes, int charCount) {
    for (PlateReading& plane : votes) {
        const bool lost = std::any_of(plane.begin(), plane.begin() + charCount,
                                      [](const CharMatch& m) { return m.score == 0; });
        if (lost) {
            for (CharMatch& match : plane) {
                match.score = 0;
            }
        }
    }
}

CharMatch votePosition(const VoteTable& votes, int position) {
    // Distinct codes in the order first seen, best score each; at most one per plane.
    std::array<CharMatch, std::tuple_size_v<VoteTable>> room{};
    std::size_t distinct = 0;
    for (const PlateReading& plane : votes) {
        const CharMatch& m = plane[position];
        if (m.code == 0) {
            continue;
        }
        const auto seen = std::span(room).first(distinct);
        const auto known = std::find_if(seen.begin(), seen.end(),
                                        [&](const CharMatch& s) { return s.code == m.code; });
        if (known == seen.end()) {
            room[distinct++] = m;
        } else if (m.score > known->score) {
            *known = m;
        }
    }
    CharMatch winner{};
    for (const CharMatch& s : std::span(room).first(distinct)) {
        if (s.score > winner.score) {
            winner = s;
        }
    }
    return winner;
}

bool countsForScore(int position, int charCount, int formatIndex) {
    return position >= 1 && position <= lastCountedPosition(charCount, formatIndex);
}

PlateScore scorePlate(const PlateReading& reading, int charCount, int formatIndex) {
    const int last = lastCountedPosition(charCount, formatIndex);
    PlateScore score{0, 100, 0, reading[0].score};
    int sum = 0;
    for (int p = 1; p <= last; ++p) {
        sum += reading[p].score;
        score.lowest = std::min<int>(score.lowest, reading[p].score);
        score.highest = std::max<int>(score.highest, reading[p].score);
    }
    score.mean = last >= 1 ? sum / last : 0;
    return score;
}

bool isAccepted(const PlateScore& score, bool trailer, const AcceptanceLimits& limits) {
    return trailer || (score.mean >= limits.mean && score.lowest >= limits.lowest &&
                       score.highest >= limits.highest && score.first >= limits.first);
}

void storePlate(RecognitionResult& result, int formatIndex, const PlateScore& score,
                const PlateReading& reading, int charCount) {
    const bool room =
        result.count == 0 || (result.count == 1 && result.formatIndex[0] != formatIndex);
    if (!room) {
        return;
    }
    const int slot = result.count;
    result.formatIndex[slot] = formatIndex;
    result.confidence[slot] = static_cast<std::uint8_t>(score.mean);
    for (int p = 0; p < charCount; ++p) {
        result.text[slot][p] = reading[p].code;
        result.charScore[slot][p] = reading[p].score;
    }
    ++result.count;
}

void correctText(std::array<std::uint8_t, plateTextLength>& text, bool trailer) {
    // Along trailer corners every reading is kept, and a letter's cell read as
    // the digit 1 is the A it most often is. Readings of other characters stand
    // as read: any rewrite of one valid plate number into another (甘J into 苏A,
    // LF9 into AF9, ...) turns the right reading of real plates wrong.
    if (trailer && text[1] == '1') {
        text[1] = 'A';
    }
}

} // namespace kavro
