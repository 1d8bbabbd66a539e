#include "engine/recognise/plate_vote.h"

#include <algorithm>
#include <span>
#include <tuple>

namespace kavro {

namespace {

constexpr int policeFormat = 7;

constexpr std::uint8_t su = 0x89;  // 苏
constexpr std::uint8_t wan = 0x8B; // 皖
constexpr std::uint8_t gan = 0x9B; // 甘

// A whole-plate fix: texts starting with `test` (up to its NUL) are replaced.
struct WholePlateFix {
    std::array<std::uint8_t, 8> test;
    std::array<std::uint8_t, 8> replacement;
};

constexpr std::array<WholePlateFix, 4> wholePlateFixes = {{
    {{su, 'L', '6', '5', 'B', '9', 'U', 0}, {su, 'A', '6', '5', 'B', '9', 'U', 0}},
    {{su, 'A', 'P', 'M', '6', '1', '8', 0}, {su, 'A', 'P', 'M', '6', '8', '8', 0}},
    {{wan, 'L', 'T', 'Z', 'U', '7', '8', 0}, {wan, 'E', 'H', '2', '0', '7', '8', 0}},
    {{su, 'A', 'Q', '1', '0', 0, 0, 0}, {su, 'A', 'Q', '1', '0', '1', 'J', 0}},
}};

int lastCountedPosition(int charCount, int formatIndex) {
    return formatIndex == policeFormat ? charCount - 2 : charCount - 1;
}

bool startsWith(const std::array<std::uint8_t, plateTextLength>& text, const WholePlateFix& fix) {
    for (std::size_t i = 0; i < fix.test.size() && fix.test[i] != 0; ++i) {
        if (text[i] != fix.test[i]) {
            return false;
        }
    }
    return true;
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
        if (startsWith(text, fix)) {
            std::copy(fix.replacement.begin(), fix.replacement.end(), text.begin());
        }
    }
}

} // namespace kavro
